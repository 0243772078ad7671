// DUMP command (placeholder).
#include "app/card_commands.h"
short exec_dump() { return 0; }
