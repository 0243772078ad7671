// Loops and conditionals: WHILE, FOR, BREAK, CONTINUE, IF, ELSE IF, ELSE.
#ifndef VELKOR_SCRIPT_CONTROL_H
#define VELKOR_SCRIPT_CONTROL_H

short exec_while();
short exec_for();
short exec_loopctl();
short exec_if();
// Closing brace and ELSE handling, offered every command before the handler chain.
short exec_ifctl();

#endif
