// User functions: FUNCTION definitions and CALL.
#ifndef VELKOR_SCRIPT_FUNCTIONS_H
#define VELKOR_SCRIPT_FUNCTIONS_H

// The handlers take the line in P with its first token read. Each returns 0 when the line is
// not its command, else 1 (also when it queued an error).

// FUNCTION name( [n] ) { body }   stores the body (without substitution; 4096 bytes at most,
// else 6004) as a FUNCTION symbol of n arguments (0 to 31), with $1 ... $n encoded. The header's
// tokens may be spread over lines; the rest of the line after the closing '}' is the next
// command. 7005 when the name exists, 7012 for a bad header (with 7002 for a bad count), 1001
// when memory runs out. A definition refused at its header reads nothing further, so its
// remaining lines run as commands. At the end of input (see next_line) nothing is defined.
short exec_deffunct();
// CALL name(arg, arg, ...)   reads the argument texts as written (substituted; a line end, ';'
// or '#' also ends one and reading goes on with the next line), puts them in for $1 ... $n in
// a copy of the body and pushes it as a text frame; text after the ')' is pushed below it and
// runs once the function is done. 7013 without a name, 7014 when name is no function, 7015 for
// the wrong number of arguments, 6004 when the expansion (4096 bytes) or the rest of the line
// does not fit, 1001 or 6002 when a push fails (nothing is left pushed).
short exec_call();

#endif
