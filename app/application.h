// Application hooks: start-up and clean-up.
#ifndef VELKOR_APP_APPLICATION_H
#define VELKOR_APP_APPLICATION_H

#include <cstddef>

// Start-up of the PnP layer: init_PNP (a refusal has queued 1003, reported at the first prompt;
// standard error says why at once, and start-up goes on), the PnP help, the read port 0x203 (Uport with it), and the script variables
// PNP_PORT, VERBOSE, PNP_CSN and PNP_DEVICE bound to their globals. Returns 1; 0 with 1001
// queued when memory ran out for a variable's name (the ones bound before it stay).
unsigned short init_APP();
// The line (with its "velkor: " prefix) that says why port permission was refused: the errno
// of the refused call ("ioperm" or "iopl"), the effective user ID, and what to do. Into text
// (n bytes, always terminated).
void permission_advice(int err, const char* call, int euid, char* text, size_t n);
// Exit: clean_PNP, then end_DEVICE (configuration mode left on sends every card back to Wait
// for Key). Runs once. Can't fail.
void clean_APP();

#endif
