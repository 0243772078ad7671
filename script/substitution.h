// $ substitution: variable references in a line replaced by their values before it is parsed;
// and the script services the input stack is given (substitution, loop conditions).
#ifndef VELKOR_SCRIPT_SUBSTITUTION_H
#define VELKOR_SCRIPT_SUBSTITUTION_H

// Gives the input stack its substitution and its loop conditions (input_hooks). Called once at
// start-up, before the first line is read. Can't fail.
//
// Substitution replaces the $ references of a line (unless it is a loop head, whose condition
// is substituted afresh at every test, or has no '$') and loads the result into P: 1 when P holds
// the line, 0 when it was dropped (6004, 6005, 7008 or 1001 queued; P keeps its previous line).
void attach_script_to_input();

#endif
