// Ctrl-C, SIGTERM, SIGHUP and SIGPIPE handling: flags raised here, acted on by the command loop.
#include "shell/signals.h"

#include <cstring>

volatile sig_atomic_t sig_interrupt;
volatile sig_atomic_t sig_terminate;
volatile sig_atomic_t sig_last;

namespace {
void on_signal(int signo) {
    sig_last = signo;
    if (signo == SIGINT)
        sig_interrupt = 1;
    else
        sig_terminate = 1;
}
}  // namespace

void install_signals() {
    struct sigaction sa;
    memset(&sa, 0, sizeof sa);
    sa.sa_handler = on_signal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = 0;  // no SA_RESTART: a read at the prompt returns with EINTR
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGHUP, &sa, nullptr);
    // A reader that went away ends the run through the same clean-up as SIGTERM (the cards
    // back in Wait for Key, files flushed and closed) instead of killing it on the spot.
    sigaction(SIGPIPE, &sa, nullptr);
}

short sig_pending() { return (sig_interrupt || sig_terminate) ? 1 : 0; }
