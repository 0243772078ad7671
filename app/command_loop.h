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

// Runs the loop without the banner and predefined lines (tests, fuzzing).
void run_loop();

#endif
