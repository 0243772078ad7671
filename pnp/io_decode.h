// Which ports an ISA I/O range answers at. A card that decodes 16 address bits answers at its
// range alone; one that decodes only 10 (the I/O descriptor's information bit 0 clear, and every
// fixed I/O descriptor) answers wherever the low 10 bits fall in its range: at the range and at
// each alias every 0x400 ports across the 64 KB I/O space. No PnP card may answer at the PnP ports
// themselves: ADDRESS 0x279, WRITE_DATA 0xA79 (itself an alias of 0x279) and the READ_DATA port.
#ifndef VELKOR_PNP_IO_DECODE_H
#define VELKOR_PNP_IO_DECODE_H

enum {
    PNP_IO_SPACE = 0x10000,   // ports 0..0xFFFF
    PNP_IO_ALIAS_STEP = 0x400  // a 10-bit decoder's aliases
};

// Whether a range of len ports at base answers at port (ten_bit: it decodes 10 address bits).
// A range of no ports answers nowhere. Can't fail.
short io_range_answers(unsigned long base, unsigned long len, short ten_bit, unsigned long port);
// The first of the PnP ports (0x279, 0xA79, then read_port unless 0) that the range answers at, or 0
// when it answers at none. Can't fail.
unsigned short io_range_pnp_port(unsigned long base, unsigned long len, short ten_bit, unsigned short read_port);

// The ports below 0x400 that a 10-bit range of len ports at base answers at, as at most two
// pieces lo[i]..hi[i]: from the low 10 bits of base up, then, for a range that crosses a 0x400
// boundary, wrapped past 0x3FF to 0x000. Returns how many (0 when len is 0). The first piece is
// the range itself when base is below 0x400.
short io_low_alias(unsigned long base, unsigned long len, unsigned long lo[2], unsigned long hi[2]);

#endif
