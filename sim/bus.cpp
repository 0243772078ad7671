// Simulated bus (placeholder).
#include "sim/bus.h"
static int ok_permit(unsigned short, int) { return 0; }
static int ok_privilege(int) { return 0; }
static void sim_out(unsigned short, unsigned char) {}
static unsigned char sim_in(unsigned short) { return 0xFF; }
static void sim_delay(long) {}
const PORT_BUS sim_bus = {"simulated", ok_permit, ok_privilege, sim_out, sim_in, sim_delay};
void sim_reset() {}
short sim_add_card(const unsigned char*, unsigned short) { return -1; }
short sim_card_count() { return 0; }
void sim_add_builtin_cards() {}
unsigned long long sim_clock() { return 0; }
