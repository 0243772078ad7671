// Application hooks: start-up and clean-up.
#ifndef VELKOR_APP_APPLICATION_H
#define VELKOR_APP_APPLICATION_H

// Start-up of the PnP layer: init_PNP (a refusal has queued 1003, reported at the first prompt;
// start-up goes on), the PnP help, the read port 0x203 (Uport with it), and the script variables
// PNP_PORT, VERBOSE, PNP_CSN and PNP_DEVICE bound to their globals. Returns 1; 0 with 1001
// queued when memory ran out for a variable's name (the ones bound before it stay).
unsigned short init_APP();
// Exit: clean_PNP, then end_DEVICE (configuration mode left on sends every card back to Wait
// for Key). Runs once. Can't fail.
void clean_APP();

#endif
