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
