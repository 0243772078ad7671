// Ctrl-C, SIGTERM, SIGHUP and SIGPIPE: the handlers only raise flags; the command loop acts on them
// between commands, so no port access sequence is ever cut in half.
#ifndef VELKOR_SHELL_SIGNALS_H
#define VELKOR_SHELL_SIGNALS_H

#include <csignal>

extern volatile sig_atomic_t sig_interrupt;  // Ctrl-C: stop what runs, back to the prompt
extern volatile sig_atomic_t sig_terminate;  // SIGTERM, SIGHUP, SIGPIPE: end through the normal clean-up
extern volatile sig_atomic_t sig_last;       // the number of the last of these signals, 0 before one

// Installs the handlers (without SA_RESTART, so a blocked read returns).
void install_signals();
// 1 when a signal asks the running command, script or construct to stop.
short sig_pending();

#endif
