// Port layer: the seam between the PnP protocol and the bus in use, with the access trace.
#include "pnp/ports.h"

#include <cstdio>

#include "shell/lost_output.h"

const PORT_BUS* bus = &hw_bus;

// The trace file, or null. Every access and delay on either bus is one line of it.
static FILE* trace_fp;

void use_bus(const PORT_BUS* b) { bus = b ? b : &hw_bus; }

void port_out(unsigned short port, unsigned char value) {
    if (trace_fp) fprintf(trace_fp, "out %04X %02X\n", port, value);
    bus->out(port, value);
}

unsigned char port_in(unsigned short port) {
    unsigned char value = bus->in(port);
    if (trace_fp) fprintf(trace_fp, "in %04X %02X\n", port, value);
    return value;
}

// Permission requests are not port accesses: they are not traced.
int port_permit(unsigned short port, int on) { return bus->permit(port, on); }

int port_privilege(int level) { return bus->privilege(level); }

void udelay(long usec) {
    if (trace_fp) fprintf(trace_fp, "delay %ld\n", usec);
    bus->delay(usec);
}

short trace_open(const char* path) {
    trace_close();
    if (!path) return 0;
    trace_fp = fopen(path, "a");
    if (!trace_fp) return 0;
    watch_output(trace_fp, path);
    return 1;
}

void trace_close() {
    if (trace_fp) close_watched_output(trace_fp);
    trace_fp = nullptr;
}
