// Output and mode commands: DEBUG, ECHO, QUOTE, FILE, PRINT, SHELL.
#ifndef VELKOR_SCRIPT_OUTPUT_H
#define VELKOR_SCRIPT_OUTPUT_H

#include <cstdio>

extern FILE* outfp;   // report stream: standard output unless FILE redirected it
extern short udebug;  // DEBUG flag: its state is shown by DEBUG, and nothing else reads it
extern short uquote;  // QUOTE flag: substituted CHAR values are put between quotes

short exec_debug();
short exec_echo(unsigned short* echo);
short exec_quote();
short exec_file();
short exec_print();
short exec_shell();

// Closes the output file, if any, and sends reports to the standard output again.
void close_outfile();
// Harness switches: SHELL refused (fuzzing); FILE names confined below a directory (null: none).
extern short shell_disabled;
extern const char* file_confine_dir;

#endif
