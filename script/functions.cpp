// User functions (placeholder).
#include "script/functions.h"
short exec_deffunct() { return 0; }
short exec_call() { return 0; }
