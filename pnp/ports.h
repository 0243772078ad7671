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
    void (*delay)(long usec);  // waits the whole time
};

extern const PORT_BUS hw_bus;  // pnp/hw_ports.cpp: x86 in/out after ioperm/iopl(3)
extern const PORT_BUS* bus;    // the bus in use; hw_bus unless start-up chose another

// Makes b the bus in use (null: hw_bus). Can't fail.
void use_bus(const PORT_BUS* b);

// The protocol's only way to the bus: each passes its call to the bus in use. The accesses and
// delays are also written to the trace, when one is open: "out PPPP VV", "in PPPP VV",
// "delay N"; permission requests are not. port_permit and port_privilege return the bus's
// answer (0 granted, -1 refused); the others can't fail. udelay waits the whole usec on the
// bus's clock.
void port_out(unsigned short port, unsigned char value);
unsigned char port_in(unsigned short port);
int port_permit(unsigned short port, int on);
int port_privilege(int level);
void udelay(long usec);

// Opens the trace file path for appending, closing the trace open before. 1, or 0 when it
// cannot be opened (no trace is open then).
short trace_open(const char* path);
// Closes the trace file, if one is open; a write it lost counts as lost output. Can't fail.
void trace_close();

#endif
