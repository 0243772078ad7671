// Hardware backend of the port layer: x86 in/out after ioperm/iopl(3), precise waits.
#include "pnp/ports.h"

#include "pnp/delay.h"

// VELKOR_NO_PORT_IO builds the refusing backend on x86 too (to check that it builds).
#if defined(__has_include) && !defined(VELKOR_NO_PORT_IO)
#if __has_include(<sys/io.h>) && (defined(__i386__) || defined(__x86_64__))
#define VELKOR_HAVE_PORT_IO 1
#endif
#endif

#ifdef VELKOR_HAVE_PORT_IO
#include <sys/io.h>

// 0 when the kernel granted (on) or took back (off) the single port, -1 when it refused.
static int hw_permit(unsigned short port, int on) { return ioperm(port, 1, on) == 0 ? 0 : -1; }

// 0 when the I/O privilege level was set, -1 when refused (not root, or a locked-down kernel).
static int hw_privilege(int level) { return iopl(level) == 0 ? 0 : -1; }

static void hw_out(unsigned short port, unsigned char value) { outb(value, port); }

static unsigned char hw_in(unsigned short port) { return inb(port); }

#else

// Without x86 port instructions there is nothing to grant: every request is refused, so start-up
// reports 1003 and no command ever reaches out/in.
static int hw_permit(unsigned short, int) { return -1; }
static int hw_privilege(int) { return -1; }
static void hw_out(unsigned short, unsigned char) {}
static unsigned char hw_in(unsigned short) { return 0xFF; }

#endif

// Waits the whole time and little more: the protocol's waits are many and short (an empty-bus
// ISOLATE makes 4,706 of them), so a sleep's usual overshoot would stretch it by a third.
static void hw_delay(long usec) { precise_wait(usec); }

const PORT_BUS hw_bus = {"hardware", hw_permit, hw_privilege, hw_out, hw_in, hw_delay};
