// The warnings of DEVICE SET: what a line is about to write that the device does not offer, that
// the host already uses, that would answer at a PnP port, or that its register cuts. They are
// collected while the line is parsed and said on standard error ("velkor: warning: ...") just
// before its write pass, so that a line refused with an error says none. They stop the write
// only with --strict (see device_config.h).
#ifndef VELKOR_APP_WRITE_WARNINGS_H
#define VELKOR_APP_WRITE_WARNINGS_H

#include "pnp/state.h"

// At DEVICE BEGIN: reads what logical device devno of card offers from the card's resource data
// (what a cut or odd card holds is kept). With card null, or no resource data, or no such device
// in it, the device is not checked (the host and the registers still are). Can't fail.
void warnings_for_device(const CARD_TYP* card, short devno);
// At DEVICE END: no device is checked any more. Can't fail.
void warnings_drop();

// A new SET line: nothing collected, nothing cut.
void warnings_new_line();
// Collects one warning (the text after "velkor: warning: "). A line draws 56 at the most (seven
// for each of 8 I/O ports, see check_io); should more come, they are counted and said as one
// closing line.
__attribute__((format(printf, 1, 2))) void warn_before_write(const char* fmt, ...);
// Says the warnings collected, each on a line of standard error, and forgets them. Returns how
// many there were.
long say_warnings();

// A value of the line was cut to fit its register: the cut is what the line is warned about,
// so its values are not checked against the device or the host.
void note_cut();
// A value that its register cuts: said with the value written (what names the value, "I/O
// port"; digits is the register's width in hexadecimal digits). note is said after "register"
// (null: nothing). Nothing when value lies in 0..max.
void warn_cut(long value, long max, unsigned long written, short digits, const char* what, const char* note);
// An IRQ level or DMA channel outside 0..max: the low byte is written, of which the card reads
// the bits of mask; the value none (-1: no such value) is "no channel". Nothing when value lies
// in 0..max.
void warn_level(long value, long max, unsigned char mask, short none, const char* what, const char* unit);

// The checks of one value about to be written to descriptor k, against the device and the host
// (and, for an I/O base, the PnP ports).
// None runs after a cut (note_cut), and none for the value that means "not used".
// I/O base: the range checked is the ports of the descriptor that allows base, decoded as it says
// (16 or 10 address bits); a base no descriptor allows is the one port, with 16 bits. Its
// warnings, in this order: not offered; the host holds the range; (10 bits) the host holds its
// alias below 0x400, in one piece or two when it wraps past 0x3FF; the range or one of its aliases
// answers at the PnP ADDRESS, WRITE_DATA, READ_DATA port (one warning for each, in that order).
void check_io(short k, unsigned short base);
// IRQ level and type; the type is judged once the level is one the device offers.
void check_irq(short k, const IRQ_DESC& q);
// DMA channel.
void check_dma(short k, unsigned char channel);
// Memory of bits 24 or 32, as the registers take it: base and limit (a 24-bit value holds
// address bits 23..8), control bit 0 telling whether limit is an upper limit or a length. The
// host check covers base to the limit, or base and the length.
void check_mem(short bits, short k, const MEM32_DESC& m);

#endif
