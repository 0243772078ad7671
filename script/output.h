// Output and mode commands: DEBUG, ECHO, QUOTE, FILE, PRINT, SHELL.
#ifndef VELKOR_SCRIPT_OUTPUT_H
#define VELKOR_SCRIPT_OUTPUT_H

#include <cstdio>

extern FILE* outfp;   // report stream: standard output unless FILE redirected it
extern short udebug;  // DEBUG flag: its state is shown by DEBUG, and nothing else reads it
extern short uquote;  // QUOTE flag: substituted CHAR values are put between quotes

// The handlers take the line in P with its first token read; their keywords are matched whole,
// in any case. Each returns 0 when the line is not its command, else 1 (also when it queued an
// error).

// DEBUG, QUOTE, ECHO [ON | OFF]   ON or OFF (by abbreviation) sets the flag: udebug, uquote, or
// *echo for ECHO (null: no flag is set, and the state shows OFF). Without a word the state goes
// to standard output ("Debug state is ON"); another word queues 4003.
short exec_debug();
short exec_echo(unsigned short* echo);
short exec_quote();
// FILE                      prints "Output File: " and the name, or "screen"
// FILE CLOSE                close_outfile
// FILE [-a] name | "name"   closes the output file, then opens name for writing as outfp,
// watched for lost output (appending when an option word begins with A; others are ignored).
// An unquoted name is the raw text up to the next blank. A name of 64 characters or more, one
// outside file_confine_dir, or one that does not open queues 6003 and leaves reports on
// standard output. An option or opening quote with nothing after it on the line does nothing.
short exec_file();
// PRINT [-n] [-e] [-o] text   prints the raw rest of the line, ended by a '#' and cut at its last
// ';' (1023 characters at most, built in smallbuf), and a newline: -n no newline, -e backslash
// escapes (\e \n \r \f \t; another character stands for itself), -o to outfp instead of
// standard output. Option letters combine ("-ne"); another letter ends the options and begins
// the text. Can't fail.
short exec_print();
// SHELL | SH | ! command   runs the raw rest of the line with system(), after flushing every
// stream and giving back what the keyboard read ahead (cgets_unread); the whole line is taken.
// A non-zero wait status is printed as "Error: N"; a command that Ctrl-C ended sets
// sig_interrupt. Without a command, or with shell_disabled, nothing runs.
short exec_shell();

// Closes the output file, if any (a failed write or close counts as lost output), and sends
// reports to the standard output again. Can't fail.
void close_outfile();
// Harness switches: SHELL refused (fuzzing); FILE names confined below a directory (null: none).
extern short shell_disabled;
extern const char* file_confine_dir;

#endif
