// Card commands (placeholder).
#include "app/card_commands.h"
short exec_isolate() { return 0; }
short exec_detect() { return 0; }
short exec_status() { return 0; }
short getINT(long*, unsigned short) { return 0; }
