// User functions: FUNCTION definitions and CALL.
#ifndef VELKOR_SCRIPT_FUNCTIONS_H
#define VELKOR_SCRIPT_FUNCTIONS_H

short exec_deffunct();
short exec_call();

#endif
