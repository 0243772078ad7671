// Keyboard line reading with GNU readline and history.
#include "shell/cgets.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <readline/history.h>
#include <readline/readline.h>

namespace {
short at_eof;
}

char* cgets(char* buf, const char* prompt) {
    buf[0] = 0;
    if (at_eof) return buf;
    fflush(stdout);
    char* line = readline(prompt ? prompt : "");
    if (!line) {
        at_eof = 1;
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
