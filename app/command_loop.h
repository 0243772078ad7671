// Command loop: banner, predefined lines, the read-dispatch loop and its handler chain.
#ifndef VELKOR_APP_COMMAND_LOOP_H
#define VELKOR_APP_COMMAND_LOOP_H

extern const char* const PROMPT;  // "PnP> "
extern unsigned short echo_flag;  // the loop's echo flag (ECHO command)

// Prints the banner, pushes the predefined lines and runs the loop until EXIT, QUIT or the end
// of keyboard input.
void process();
void load_localdefs();
// Turns the loop may still run before it stops as on SIGTERM; negative: no limit (fuzzing).
extern long loop_turn_budget;

// -e: the first error report ends the loop, right after it is printed (stopped_on_error 1).
extern short exit_on_error;
extern short stopped_on_error;
// -q (cgets_quiet, shell/cgets.h) makes the loop quiet as well: no banner, no prompt, no listing
// of lines read (ECHO ON), no "\n" of the terminal's end of input or Ctrl-C; the error reports go
// to standard error, one "velkor: FILE:LINE: MESSAGE" line for each code, in place of standard
// output's report.

// The error report of one turn: standard output's "ERROR (code): message" report (not with -q),
// and on standard error a "velkor: FILE:LINE: MESSAGE DETAIL" line for every code that came
// from a command file (with -q for every code, placed or not). Empties the queue; with -e marks
// the run as stopped. Nothing when nothing is queued.
void report_queued_errors();

// Runs the loop without the banner and predefined lines (tests, fuzzing).
void run_loop();

#endif
