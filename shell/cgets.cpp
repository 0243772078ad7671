// Keyboard line reading with GNU readline and history.
#include "shell/cgets.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

#include <readline/history.h>
#include <readline/readline.h>

#include "shell/signals.h"

namespace {
short at_eof;
short discard;  // the line being typed was cut short by Ctrl-C

// Reads keys for readline. A signal ends the line being typed: Ctrl-C with an accept-line
// (the text is then thrown away), SIGTERM/SIGHUP as end of input.
int velkor_getc(FILE* stream) {
    for (;;) {
        if (sig_terminate) return EOF;
        if (sig_interrupt) {
            discard = 1;
            return '\n';
        }
        unsigned char c;
        ssize_t n = read(fileno(stream), &c, 1);
        if (n == 1) return c;
        if (n == 0) return EOF;
        if (errno != EINTR) return EOF;
    }
}

void setup_readline() {
    static short done;
    if (done) return;
    done = 1;
    rl_catch_signals = 0;  // our own handlers only raise flags
    rl_getc_function = velkor_getc;
}
}  // namespace

char* cgets(char* buf, const char* prompt) {
    buf[0] = 0;
    if (at_eof) return buf;
    setup_readline();
    fflush(stdout);
    discard = 0;
    char* line = readline(prompt ? prompt : "");
    if (!line) {
        if (!sig_terminate) at_eof = 1;
        return buf;
    }
    if (discard) {
        free(line);
        return buf;
    }
    // A line longer than the buffer is cut: its first CGETS_BUFSIZE - 1 characters are kept.
    strncpy(buf, line, CGETS_BUFSIZE - 1);
    buf[CGETS_BUFSIZE - 1] = 0;
    const char* p = line;
    while (*p == ' ') p++;
    if (*p) add_history(line);
    free(line);
    return buf;
}

short cgets_eof() { return at_eof; }
void cgets_reset() { at_eof = 0; }
