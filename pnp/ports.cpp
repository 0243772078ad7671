// Port layer (placeholder).
#include "pnp/ports.h"
static int no_permit(unsigned short, int) { return -1; }
static int no_privilege(int) { return -1; }
static void no_out(unsigned short, unsigned char) {}
static unsigned char no_in(unsigned short) { return 0xFF; }
static void no_delay(long) {}
const PORT_BUS hw_bus = {"hardware", no_permit, no_privilege, no_out, no_in, no_delay};
const PORT_BUS* bus = &hw_bus;
void use_bus(const PORT_BUS* b) { bus = b; }
void port_out(unsigned short port, unsigned char value) { bus->out(port, value); }
unsigned char port_in(unsigned short port) { return bus->in(port); }
int port_permit(unsigned short port, int on) { return bus->permit(port, on); }
int port_privilege(int level) { return bus->privilege(level); }
void udelay(long usec) { bus->delay(usec); }
short trace_open(const char*) { return 0; }
void trace_close() {}
