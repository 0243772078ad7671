// Loops and conditionals (placeholder).
#include "script/control.h"
short exec_while() { return 0; }
short exec_for() { return 0; }
short exec_loopctl() { return 0; }
short exec_if() { return 0; }
short exec_ifctl() { return 0; }
