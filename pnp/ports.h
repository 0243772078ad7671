// Port layer: the one seam between the PnP protocol and the bus (hardware ports or simulation).
#ifndef VELKOR_PNP_PORTS_H
#define VELKOR_PNP_PORTS_H

// One access method, filled in by each backend and chosen once at start-up.
struct PORT_BUS {
    const char* name;
    // ioperm-like: 0 when permission for the port was granted (on) or given back (off), -1 not.
    int (*permit)(unsigned short port, int on);
    // iopl-like: 0 when the I/O privilege level was set, -1 not.
    int (*privilege)(int level);
    void (*out)(unsigned short port, unsigned char value);
    unsigned char (*in)(unsigned short port);
    void (*delay)(long usec);    // waits the whole time
};

extern const PORT_BUS hw_bus;    // pnp/hw_ports.cpp: x86 in/out after ioperm/iopl(3)
extern const PORT_BUS* bus;      // the bus in use; hw_bus unless start-up chose another

void use_bus(const PORT_BUS* b);

// The protocol's only way to the bus. Each call is also written to the trace, when one is open:
// "out PPPP VV", "in PPPP VV", "delay N".
void port_out(unsigned short port, unsigned char value);
unsigned char port_in(unsigned short port);
int port_permit(unsigned short port, int on);
int port_privilege(int level);
void udelay(long usec);

// Trace file, opened for appending. 1, or 0 when it cannot be opened.
short trace_open(const char* path);
void trace_close();

#endif
