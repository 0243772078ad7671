// Simulated ISA bus with simulated Plug and Play cards, on a virtual clock.
#ifndef VELKOR_SIM_BUS_H
#define VELKOR_SIM_BUS_H

#include "pnp/ports.h"

extern const PORT_BUS sim_bus;

// Removes every card and foreign device, sets the clock to 0.
void sim_reset();
// Adds a card that returns these bytes through Resource Data after a Wake: the 9-byte serial
// identifier, then the resource data. Returns the card's index, or -1 when the bus is full (32
// cards) or memory ran out.
short sim_add_card(const unsigned char* bytes, unsigned short len);
short sim_card_count();
// Adds the built-in sample cards (a sound card with three logical devices, a modem).
void sim_add_builtin_cards();
// The time the cards keep, in microseconds: the virtual clock, which only the bus's delays
// advance, unless sim_use_clock gave another.
unsigned long long sim_clock();
// Makes the cards read the time from now() (microseconds, never going back) at every access
// instead of the virtual clock; null goes back to the virtual clock. The port trap runs the
// cards on the real monotonic clock this way, so that real waits are held to the card's rules.
void sim_use_clock(unsigned long long (*now)());

// A timing rule a card saw broken: a bit pair of the serial isolation started before the card
// was ready, waited microseconds after the pair before (or after Wake[0], for the first pair of
// an attempt) where it needs needed.
struct SIM_TIMING_FAULT {
    short card;
    short first_pair;
    long waited;
    long needed;
};
// How many timing rules were broken since sim_reset; the last one is copied to last (when not
// null; all zero when none was).
long sim_timing_faults(SIM_TIMING_FAULT* last);

// Card-side inspection for tests.
unsigned char sim_card_csn(short card);
short sim_card_state(short card);    // SIM_WAIT_FOR_KEY, SIM_SLEEP, SIM_ISOLATION, SIM_CONFIG
short sim_card_devices(short card);  // number of Logical Device ID items in its resource data
unsigned char sim_card_reg(short card, short ldn, unsigned char reg);  // ldn ignored below 0x30
enum { SIM_WAIT_FOR_KEY = 0, SIM_SLEEP = 1, SIM_ISOLATION = 2, SIM_CONFIG = 3 };

// Fault injection (tests only).
void sim_card_no_status(short card);  // never raises the Status bit
// After nbytes Resource Data bytes in all (counted since the card was added) the Status bit
// stays clear for good.
void sim_card_stop_after(short card, long nbytes);
void sim_foreign_device(unsigned short port);  // another device drives 0x00 on this port
// Sets a register as if something had written it before (0x20..0x2F card level, 0x30..0xFE of
// device ldn). The read-only decode bit of the memory control registers keeps its value.
void sim_preset_reg(short card, short ldn, unsigned char reg, unsigned char value);

#endif
