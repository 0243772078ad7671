// Which ports an ISA I/O range answers at, with 16-bit and 10-bit decoding.
#include "pnp/io_decode.h"

#include "pnp/registers.h"

short io_range_answers(unsigned long base, unsigned long len, short ten_bit, unsigned long port) {
    if (len == 0) return 0;
    if (!ten_bit) return port >= base && port - base < len;
    if (port >= PNP_IO_SPACE) return 0;
    return ((port - base) & (PNP_IO_ALIAS_STEP - 1)) < len;
}

unsigned short io_range_pnp_port(unsigned long base, unsigned long len, short ten_bit, unsigned short read_port) {
    const unsigned short ports[3] = {PNP_ADDRESS, PNP_WRITE_DATA, read_port};
    for (unsigned short port : ports)
        if (port && io_range_answers(base, len, ten_bit, port)) return port;
    return 0;
}

short io_low_alias(unsigned long base, unsigned long len, unsigned long lo[2], unsigned long hi[2]) {
    const unsigned long step = PNP_IO_ALIAS_STEP;
    if (len == 0) return 0;
    unsigned long first = base & (step - 1);
    unsigned long last = first + (len < step ? len : step) - 1;  // up to 0x7FE
    lo[0] = first;
    hi[0] = last < step ? last : step - 1;
    if (last < step) return 1;
    lo[1] = 0;
    hi[1] = last - step;
    return 2;
}
