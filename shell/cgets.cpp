// Keyboard line reading with GNU readline and history.
#include "shell/cgets.h"

#include <cerrno>
#include <cstdio>
#include <poll.h>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

#include <readline/history.h>
#include <readline/readline.h>

#include "shell/errhdl.h"
#include "shell/signals.h"

short cgets_quiet;
static long lines_read;  // lines handed out, for placing errors of piped input (-q)

namespace {
short at_eof;
short discard;      // the line being typed was cut short by Ctrl-C
short overlong;     // the line being read outgrew the buffer: readline was given its end early
short interactive;  // standard input is a terminal: lines go to the history

// Input that is not a terminal is read a block at a time: byte by byte, readline would make a
// read and a select for every character, and a piped script would run far slower than the same
// lines as a command file.
unsigned char inbuf[4096];
size_t inpos, inlen;
short readline_started;  // readline has read a line: its terminal settings are known

// Reads keys for readline. A signal ends the line being typed: Ctrl-C with an accept-line
// (the text is then thrown away), SIGTERM/SIGHUP as end of input.
int velkor_getc(FILE* stream) {
    for (;;) {
        if (sig_terminate) return EOF;
        if (sig_interrupt) {
            discard = 1;
            return '\n';
        }
        if (inpos < inlen) {
            int c = inbuf[inpos];
            // A line already longer than the buffer is ended here, so that readline never holds
            // more of it (cgets throws the rest away). At the terminal the editing keys still
            // work; only a key that would make the line longer ends it.
            if (rl_end >= CGETS_BUFSIZE && c != '\n' && c != '\r' &&
                (!interactive || c == '\t' || (c >= 0x20 && c != 0x7F))) {
                overlong = 1;
                return '\n';
            }
            inpos++;
            return c;
        }
        ssize_t n = read(fileno(stream), inbuf, interactive ? 1 : sizeof inbuf);
        if (n > 0) {
            inpos = 0;
            inlen = (size_t)n;
            continue;
        }
        if (n == 0) return EOF;
        if (errno != EINTR) return EOF;
    }
}

// Readline asks this whether more input is waiting (it then takes typed-ahead keys together).
// The block already read counts, as the bytes the system still holds do.
int velkor_input_available() {
    if (inpos < inlen) return 1;
    struct pollfd p = {fileno(rl_instream ? rl_instream : stdin), POLLIN, 0};
    return poll(&p, 1, 0) > 0 && (p.revents & POLLIN) ? 1 : 0;
}

short plain_text(const unsigned char* p, size_t n) {
    for (size_t i = 0; i < n; i++)
        if (p[i] < 0x20 || p[i] > 0x7E) return 0;
    return 1;
}

// When input is not a terminal and the next line lies whole in the block, holding nothing but
// printable ASCII (as does the prompt), readline would only show the prompt, the line and a
// newline: that is done here, without readline's terminal set-up for every line. Returns the
// line's length, with *line pointing at it in the block (consumed), or -1 when readline must
// read it (control characters, a tab, bytes above ASCII, or no whole line waiting).
// It must also fit readline's screen width, which it learns at its first line: a longer line
// is wrapped or scrolled by readline's own display.
long take_plain_line(const char* prompt, const char** line) {
    if (interactive || inpos >= inlen || !readline_started) return -1;
    const unsigned char* start = inbuf + inpos;
    const unsigned char* nl = (const unsigned char*)memchr(start, '\n', inlen - inpos);
    if (!nl) return -1;
    size_t n = (size_t)(nl - start);
    size_t plen = strlen(prompt);
    int rows = 0, cols = 0;
    rl_get_screen_size(&rows, &cols);
    if (cols < 2 || plen + n >= (size_t)cols - 1) return -1;
    if (!plain_text(start, n) || !plain_text((const unsigned char*)prompt, plen)) return -1;
    fputs(prompt, stdout);
    fwrite(start, 1, n, stdout);
    putchar('\n');
    inpos += n + 1;
    *line = (const char*)start;
    return (long)n;
}

// Throws away the rest of a line that outgrew the buffer, up to and with its newline, reading
// no more than a block at a time: a line that never ends is read until end of input or a signal.
void discard_rest_of_line() {
    for (;;) {
        if (sig_pending()) return;
        if (inpos < inlen) {
            const unsigned char* nl = (const unsigned char*)memchr(inbuf + inpos, '\n', inlen - inpos);
            if (nl) {
                inpos = (size_t)(nl - inbuf) + 1;
                return;
            }
            inpos = inlen;
        }
        ssize_t n = read(STDIN_FILENO, inbuf, interactive ? 1 : sizeof inbuf);
        if (n > 0) {
            inpos = 0;
            inlen = (size_t)n;
        } else if (n == 0 || errno != EINTR) {
            return;
        }
    }
}

// With -q, a line of input that is not a terminal, read with no output at all: up to its newline
// (a carriage return before it is dropped, as readline takes it for the end of the line). What
// outgrows the buffer is thrown away, and the line refused, as readline's overlong lines are.
// Returns the line's length, QUIET_TOO_LONG for a line refused (6004 queued), or QUIET_NONE when
// no line was read (end of input, or a signal).
enum { QUIET_NONE = -1, QUIET_TOO_LONG = -2 };
long read_quiet_line(char* buf) {
    long n = 0;
    short too_long = 0, any = 0;
    for (;;) {
        if (sig_terminate) return QUIET_NONE;
        if (sig_interrupt) return QUIET_NONE;
        if (inpos >= inlen) {
            ssize_t got = read(STDIN_FILENO, inbuf, sizeof inbuf);
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) {
                if (!any) {
                    at_eof = 1;
                    return QUIET_NONE;
                }
                break;  // a last line without its newline
            }
            inpos = 0;
            inlen = (size_t)got;
        }
        any = 1;
        unsigned char c = inbuf[inpos++];
        if (c == '\n') break;
        if (n < CGETS_BUFSIZE - 1)
            buf[n++] = (char)c;
        else
            too_long = 1;
    }
    if (too_long) {
        buf[0] = 0;
        lines_read++;  // the refused line counts, and its error is placed there
        set_errhdl(ERR_TOO_LONG);
        return QUIET_TOO_LONG;
    }
    if (n > 0 && buf[n - 1] == '\r') n--;
    buf[n] = 0;
    return n;
}

// TAB completion at a terminal (cgets_set_completer): the completer, what the completion under
// way offers (CGETS_OFFER_ bits) and how many candidates it has yielded.
const CGETS_COMPLETER* completer;
short offer;
long offered;
short files_begun;

// Readline's generator: the completer's words, then file names; each a copy that readline frees.
char* next_completion(const char* text, int state) {
    if (state == 0) offered = files_begun = 0;
    if (offered >= CGETS_COMPLETIONS_MAX) return nullptr;
    if (offer & CGETS_OFFER_WORDS) {
        const char* word = completer->next();
        if (word) {
            offered++;
            return strdup(word);
        }
        offer &= ~CGETS_OFFER_WORDS;
    }
    if (!(offer & CGETS_OFFER_FILES)) return nullptr;
    char* name = rl_filename_completion_function(text, files_begun);
    files_begun = 1;
    if (name) offered++;
    return name;
}

// Readline asks this at a TAB. Without a completer, readline completes file names itself; with
// one, nothing but what the completer offers.
char** attempt_completion(const char* text, int start, int end) {
    static char line[CGETS_BUFSIZE];
    if (!completer) return nullptr;
    rl_attempted_completion_over = 1;
    if (start < 0 || start > end || end >= CGETS_BUFSIZE) return nullptr;
    memcpy(line, rl_line_buffer, (size_t)end);
    line[end] = 0;
    offer = completer->begin(line, start);
    return offer ? rl_completion_matches(text, next_completion) : nullptr;
}

char* completion_breaks() { return completer ? const_cast<char*>(completer->breaks) : nullptr; }

void setup_readline() {
    static short done;
    if (done) return;
    done = 1;
    interactive = isatty(STDIN_FILENO) ? 1 : 0;
    rl_catch_signals = 0;  // our own handlers only raise flags
    rl_getc_function = velkor_getc;
    rl_input_available_hook = velkor_input_available;
    if (interactive) {
        rl_attempted_completion_function = attempt_completion;
        rl_completion_word_break_hook = completion_breaks;
    } else {
        // A TAB in piped input is part of the line, as in a command file: readline would
        // complete it to a file name of the working directory, changing the script's text.
        rl_bind_key('\t', rl_insert);
    }
    stifle_history(CGETS_HISTORY_MAX);
}
}  // namespace

char* cgets(char* buf, const char* prompt) {
    buf[0] = 0;
    if (at_eof) return nullptr;
    if (!prompt) prompt = "";
    setup_readline();
    if (cgets_quiet && !interactive) {
        long n = read_quiet_line(buf);
        if (n >= 0) lines_read++;
        return n >= 0 ? buf : nullptr;
    }
    const char* plain = nullptr;
    long plain_len = take_plain_line(prompt, &plain);
    if (plain_len >= 0) {
        if (plain_len > CGETS_BUFSIZE - 1) {
            set_errhdl(ERR_TOO_LONG);
            return nullptr;
        }
        memcpy(buf, plain, (size_t)plain_len);
        buf[plain_len] = 0;
        lines_read++;
        return buf;
    }
    fflush(stdout);
    discard = 0;
    overlong = 0;
    char* line = readline(prompt);
    readline_started = 1;
    if (!line) {
        if (!sig_terminate) at_eof = 1;
        return nullptr;
    }
    if (discard) {
        free(line);
        return nullptr;
    }
    if (overlong) {
        free(line);
        discard_rest_of_line();
        if (!sig_pending()) set_errhdl(ERR_TOO_LONG);
        return nullptr;
    }
    const char* p = line;
    while (*p == ' ') p++;
    if (*p && interactive) add_history(line);
    // A line longer than the buffer is refused whole, as a command-file line is.
    size_t n = strlen(line);
    if (n > CGETS_BUFSIZE - 1) {
        free(line);
        set_errhdl(ERR_TOO_LONG);
        return nullptr;
    }
    memcpy(buf, line, n + 1);
    free(line);
    lines_read++;
    return buf;
}

void cgets_unread() {
    if (inpos >= inlen) return;
    if (lseek(STDIN_FILENO, -(off_t)(inlen - inpos), SEEK_CUR) != (off_t)-1) inpos = inlen = 0;
}

short cgets_eof() { return at_eof; }
long cgets_lines() { return lines_read; }
void cgets_close() { at_eof = 1; }
void cgets_reset() { at_eof = 0; }
void cgets_set_completer(const CGETS_COMPLETER* c) { completer = c; }
