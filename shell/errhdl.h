// Error queue: numbered failures queued where they happen, printed by the command loop.
#ifndef VELKOR_SHELL_ERRHDL_H
#define VELKOR_SHELL_ERRHDL_H

#include <cstdio>

// Queues code (at most 31 are kept; later ones are dropped silently) and returns it unchanged,
// so a caller can pass it on as its own result.
short set_errhdl(short code);
// Empties the queue: all 32 slots 0, count 0.
void clr_errhdl();
// Prints every queued code as "%s (%04X): %s\n" after one "\n", then empties the queue.
void errhdl(const char* title, FILE* out);
// The same, then ends the process with exit status 1.
void xerrhdl(const char* title, FILE* out);
void l_errhdl(const char* title, unsigned short fatal, FILE* out);
// Registers a message for a code the built-in table does not know. The first registration of a
// code stays; at most 50 rows. The text is not copied.
void setusr_err(short code, const char* message);

// Queue inspection, for the command loop and tests.
short errhdl_count();
short errhdl_code(short slot);   // 0 for an empty or out-of-range slot
// The message of a code as the report prints it ("Unknown error" when neither table has it).
const char* errhdl_message(short code);
// Forgets the user messages (tests only).
void errhdl_reset_user();

#endif
