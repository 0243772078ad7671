// Help system (placeholder until the help texts land).
#include "shell/help.h"
short set_sum_help(const char*) { return 1; }
short set_desc_help(const char*, const char*) { return 1; }
void summary(const char*) {}
short exec_help() { return 0; }
void help_reset() {}
