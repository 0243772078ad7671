// Keyboard line reading with GNU readline and history.
#ifndef VELKOR_SHELL_CGETS_H
#define VELKOR_SHELL_CGETS_H

// Size of the caller's buffer that cgets fills (smallbuf).
enum { CGETS_BUFSIZE = 1024 };

// Reads one keyboard line into buf (at most CGETS_BUFSIZE - 1 characters) showing prompt.
// Returns buf; empty at end of input (see cgets_eof). Non-blank lines go to the history.
char* cgets(char* buf, const char* prompt);
// 1 once the keyboard has reached end of input (Ctrl-D, or stdin at end of file).
short cgets_eof();
// Marks the keyboard as at end of input without reading it (harnesses that have no keyboard).
void cgets_close();
// Clears the end-of-input mark (tests only).
void cgets_reset();

#endif
