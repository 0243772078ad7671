// The cards of the simulated bus, from the command line.
#ifndef VELKOR_APP_SIM_SETUP_H
#define VELKOR_APP_SIM_SETUP_H

// Empties the simulated bus and puts its cards on it: the built-in sample cards when builtin is
// not 0, then the card of each of the npaths files of paths, in order. Messages go to standard
// error as "PROGRAM: ..." (a card file that cannot be used, or a warning for a serial identifier
// whose checksum will fail isolation). Returns 1, or 0 when a card file could not be used.
// Does not choose the bus: the port trap runs these cards behind the hardware bus.
short load_sim_cards(short builtin, const char* const* paths, int npaths, const char* program);

#endif
