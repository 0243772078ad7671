// Variable commands: INT, INT32, CHAR declarations, SHOW, GET, DELETE; continuation-line readers.
#ifndef VELKOR_SCRIPT_VARIABLES_H
#define VELKOR_SCRIPT_VARIABLES_H

// The handlers take the line in P with its first token read; their keywords are matched whole,
// in any case. Each returns 0 when the line is not its command, else 1 (also when it queued an
// error). Their lists of names end at the end of the line or at a ';' or '#' token.

// INT | INT32 | CHAR name [size] [, name ...]   every name not yet defined becomes a zeroed
// variable of 2, 4 or size bytes (a CHAR size: "[expr]", a bare number, or none for 80). Any
// token is taken as a name (a number, or a ',' in first place, too); commas may be left out.
// 7005 for a name defined already, 7007 after the evaluator's error for a size that does not
// evaluate: that name is skipped. 7004 when no name follows. A size is kept modulo 65536 as a
// 16-bit count: 0 declares nothing and queues nothing, 32768 to 65535 are negative and fail as
// memory that runs out does: 1001, and the names after it are not read.
short exec_defvar();
// SHOW [HEX] [name [, name ...]] [*]   the table on standard output: the rows of the names given
// (an INT in hexadecimal; an unknown name as NOT DEFINED), or without names every symbol (an INT
// in hexadecimal with HEX). A '*' ends the names. An empty table is said as "No variables have
// been declared!". Can't fail.
short exec_show();
// GET name ["prompt" | 'prompt']   reads one keyboard line (cgets, whatever frame is on top) into
// an INT, INT32 or CHAR variable: a CHAR takes the text cut to its size less one, a number goes
// through toINT and store_number. 5001 without a name or for a prompt not closed, 7011 when name
// is no such variable with storage, toINT's code and 7001 for a line that is no number. Ctrl-C and a
// line too long (6004) leave the variable alone; so does the end of input, which also clears hold
// and pops every frame above the keyboard.
short exec_get();
// DELETE | DEL name [, name ...]   removes each named symbol: variables, functions and bound
// variables alike. 7016 for each name that is not there (and after 1001 when the table could not
// shrink: the symbol is gone), and when no name follows.
short exec_delete();

// Reads lines through the input stack (input.setup) until one is loaded into P, passing over
// turns that yield none: a frame run dry and popped, a line dropped with its error queued, a loop
// frame's step or condition (so it reads on into a loop's next pass; next_line does not). Returns
// 1, or 0 when no more input can come (the keyboard reached end of input) or a signal is pending:
// the construct being read is then abandoned. The stack must not be empty: it would wait without
// end (6002 queued each turn).
short getline(const char* prompt, unsigned short substitute);
// Takes the next token of P. When the line has none left, or the token is '#', it reads on
// through getline (without substitution) to the first token of a line that has one and is no
// comment. 1 with that token current, or 0 as getline.
short getword(const char* prompt);

#endif
