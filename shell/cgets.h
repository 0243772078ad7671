// Keyboard line reading with GNU readline and history.
#ifndef VELKOR_SHELL_CGETS_H
#define VELKOR_SHELL_CGETS_H

// Size of the caller's buffer that cgets fills (smallbuf); the most lines the history keeps.
enum { CGETS_BUFSIZE = 1024, CGETS_HISTORY_MAX = 1000 };

// Reads one keyboard line into buf showing prompt. Returns buf, or null with buf empty when no
// line was read: end of input (see cgets_eof), Ctrl-C or a termination signal, or a line longer
// than CGETS_BUFSIZE - 1 characters (refused whole, 6004 queued). When standard input is a
// terminal, non-blank lines go to the history, which keeps the last CGETS_HISTORY_MAX.
char* cgets(char* buf, const char* prompt);
// Input that is not a terminal is read ahead a block at a time. Before another program shares
// standard input (SHELL), what was read ahead and not used is given back to a standard input
// that can seek (a file), so the program reads on where the script stands. From a pipe it
// cannot be given back: the other program then reads after the block. Can't fail.
void cgets_unread();
// 1 once the keyboard has reached end of input (Ctrl-D, or stdin at end of file).
short cgets_eof();
// Lines cgets has handed out so far (with -q a piped line refused as too long counts too).
long cgets_lines();
// Marks the keyboard as at end of input without reading it (harnesses that have no keyboard).
void cgets_close();
// Clears the end-of-input mark (tests only).
void cgets_reset();
// -q, the run's one quiet switch: input that is not a terminal is read without a trace on
// standard output (readline would show the prompt and each line as if typed); the command loop
// and the input stack read it too (no banner or prompt, errors placed on standard error). 0 at
// start.
extern short cgets_quiet;

// TAB completion at a terminal, by a layer above the shell. A word being completed ends at the
// cursor and starts after the last blank or character of breaks before it. begin is handed the
// line up to the cursor (NUL-ended there) and the index where the word starts; it answers what
// to offer for it: CGETS_OFFER_ bits, 0 for nothing at all. next then yields the completer's
// words one by one, each beginning with the typed word (without case) in the case it is to
// take, and null after the last; at most CGETS_COMPLETIONS_MAX are taken, each copied. File
// names (readline's, from the directory the typed word names) come after them.
enum { CGETS_OFFER_WORDS = 1, CGETS_OFFER_FILES = 2, CGETS_COMPLETIONS_MAX = 10000 };
struct CGETS_COMPLETER {
    const char* breaks;
    short (*begin)(const char* line, int start);
    const char* (*next)();
};
// Installs completer (null: none, and TAB at a terminal completes file names as readline does
// by default), which is not copied. Only lines read from a terminal are completed with it;
// input that is not a terminal is read as without it. Can't fail.
void cgets_set_completer(const CGETS_COMPLETER* completer);

#endif
