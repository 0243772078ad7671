// Output and mode commands (placeholder).
#include "script/output.h"
#include "input/input_stack.h"
#include <cstdio>
short shell_disabled = 0;
const char* file_confine_dir = nullptr;
short exec_debug() { return 0; }
short exec_echo(unsigned short*) { return 0; }
short exec_quote() { return 0; }
short exec_file() { return 0; }
short exec_print() { return 0; }
short exec_shell() { return 0; }
void close_outfile() {
    if (outfp && outfp != stdout) fclose(outfp);
    outfp = stdout;
}
