// Variable commands: INT, INT32, CHAR declarations, SHOW, GET, DELETE; continuation-line readers.
#ifndef VELKOR_SCRIPT_VARIABLES_H
#define VELKOR_SCRIPT_VARIABLES_H

short exec_defvar();
short exec_show();
short exec_get();
short exec_delete();

// Reads lines through the input stack until one is loaded into P. Returns 1, or 0 when no more
// input can come (the keyboard reached end of input): the construct being read is then abandoned.
short getline(const char* prompt, unsigned short substitute);
// Leaves the first token of the next non-empty, non-comment line current. 1, or 0 at end of input.
short getword(const char* prompt);

#endif
