// Test support: the simulated bus with a port log that a test reads as one string.
#ifndef VELKOR_TESTS_SUPPORT_RECORDING_BUS_H
#define VELKOR_TESTS_SUPPORT_RECORDING_BUS_H

#include <string>

#include "pnp/ports.h"

// Passes every call on to the simulated bus (whose answers it returns) and logs it, one line
// each, in the words of the trace: "out 0279 07", "in 020B FF", "delay 250", and also
// "permit 0279 1" and "privilege 3", which the trace leaves out. Put it in place with use_bus.
extern const PORT_BUS recording_bus;
// While set, permit or privilege requests are refused (-1) instead of passed on. The fixture
// clears both.
extern int refuse_permit, refuse_privilege;

// The log since it was last cleared, every line ended by "\n".
std::string bus_log();
void clear_bus_log();

// The port writes of a log (or of a trace file's text) as register writes: "RR=VV" for an index
// then a data write, "key" for the whole initiation key, "aRR" or "dVV" for a lone index or data
// write; separated by blanks. Reads, delays and permission requests are left out.
std::string register_writes(const std::string& log);
// The register writes of the bus log; the log is cleared.
std::string take_register_writes();

#endif
