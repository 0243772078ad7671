// Loops and conditionals: WHILE, FOR, BREAK, CONTINUE, IF, ELSE IF, ELSE.
#ifndef VELKOR_SCRIPT_CONTROL_H
#define VELKOR_SCRIPT_CONTROL_H

// The handlers take the line in P with its first token read. Each returns 0 when the line is
// not its command, else 1 (also when it queued an error). Headers and bodies may go on over
// further lines (read as next_line does); at the end of input, on a signal, or when the body of
// the loop they are read from ends first (7006), the construct is dropped and nothing of it runs.
// A part that does not fit its buffer is 6004 and the construct is refused whole.

// WHILE (expr) { body }   reads the condition raw up to the '{' (2047 bytes at most; not
// substituted now: the loop substitutes it afresh at every test) and the body up to the matching
// '}' (4096 bytes), then pushes the loop frame, with the rest of the line after the '}' in a frame
// below it, to run when the loop is done. Nothing runs here; the stack tests the condition before
// every pass. A failed push queues 1001 or 6002 and removes the frames pushed.
short exec_while();
// FOR ( init, ... ; (expr) ; step, ... ) { body }   reads the three header parts (a line end or
// '#' reads on and stands as a blank; a ',' ends a statement of init and step; the step ends at
// the ')' that closes the header), then the body, and pushes as WHILE does, with the init
// statements in a frame on top: they run first, then condition, body, step, condition ...
// An empty init or step is left out.
short exec_for();
// BREAK | CONTINUE | CONT   only when the top frame is a loop (the command comes from the loop's
// own body, or a block of an IF in it), else 5002. BREAK pops the loop; CONTINUE ends the pass,
// so the next read runs the step and tests the condition. The rest of the line is dropped.
short exec_loopctl();
// IF (expr) { block }   reads the condition up to its '{' (substituted; 1023 bytes at most) and
// evaluates it. True: the block's lines run as commands from here, the rest of the '{' line
// first; its '}' and an ELSE are exec_ifctl's. False: the block is skipped to its matching '}'
// and the rest of that line (an ELSE) is the next command. A condition that does not evaluate
// has its error queued (none for a character literal left open: see eval_expr) and the block
// runs as if it held, without the rest of the '{' line. A condition too long queues 6004 and
// the block and an ELSE after it are skipped.
short exec_if();
// Offered every command before the handler chain; every command clears the top frame's
// endbrace. '}' sets it again (a block ran to its end) and holds the rest of the line as the
// next command. ELSE after such a '}' skips its part (an ELSE IF's condition too) to its
// matching '}' and sets endbrace again, so a further ELSE is skipped too; after anything else
// its part runs: words up to its '{' are dropped, ELSE IF runs as IF. Returns 1 for '}' and
// ELSE, else 0.
short exec_ifctl();

#endif
