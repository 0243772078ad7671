// The program: command line, start-up, the loop and clean-up.
#ifndef VELKOR_APP_CMDLINE_H
#define VELKOR_APP_CMDLINE_H

// The whole program: reads the options, puts the simulated bus and its cards in place when
// asked, opens the trace, runs the command files named and then the keyboard, and cleans up.
// Returns the exit status: 0; 1 when output was lost (a report or the trace is incomplete); 2
// for a bad option, card file or trace file, or command files named with --plan (the message is
// on standard error). --help and --version print to standard output and return 0 at once; --plan
// returns run_plan's status (1 too when output was lost).
int velkor_main(int argc, char** argv);

#endif
