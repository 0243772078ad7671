// Device configuration commands: DEVICE BEGIN/SET/END and TEST.
#ifndef VELKOR_APP_DEVICE_CONFIG_H
#define VELKOR_APP_DEVICE_CONFIG_H

// DEVICE BEGIN | DEVICE END | DEVICE SET resource ...   (also DEV; action words by abbreviation)
// The handler takes the line in P with its first token read. Returns 0 when the line is not
// DEVICE, else 1 (also when it queued an error). No action word or another word: 5003. Without
// port permission: 1003 and nothing runs. SET with no current card or device: 1002; while
// configuration mode is off, or with bad arguments: 5003; a value that is no number: 7001 or
// 7002. A refused SET writes nothing and leaves the device record as it was.
short exec_device();
// --strict: a SET line whose values draw a warning writes nothing. It is refused with 5003, and
// standard error says "velkor: FILE:LINE: refused: LINE (...)" after the warnings. 0 at start.
extern short strict_writes;

// The resource words of DEVICE SET (MEM, MEM32, IOPORT, IRQ, DMA, ACTIVE, INACTIVE): the k-th
// (from 0) in the order they are tried, null past the last; *values (when not null) is set to 1
// when values or CLEAR follow the word, else 0.
const char* device_set_word(short k, short* values);
// The width words of DEVICE SET MEM or MEM32 (resource, exact, any case): the k-th in the order
// they are tried, null past the last or for another resource.
const char* device_width_word(const char* resource, short k);
// Turns configuration mode off and returns every card to Wait for Key; nothing while it is off.
// Also run by the program's clean-up. Can't fail.
void end_DEVICE();
// 1 while configuration mode is on, else 0.
short valid_DEVICE();
// Writes a 16-bit value to the register pair reg, reg+1: the high byte to reg first. Can't fail.
void writeINTU2(short reg, unsigned short value);
// TEST   configures logical device 2 of CSN 1 with I/O base 0x0201 and activates it, outside
// configuration mode and without touching the card table; PNP_csn, PNP_csn_idx and PNP_device
// become 1, 0 and 2, and configuration mode ends. Returns 0 when the line is not TEST, else 1;
// without port permission 1003 is queued and nothing is sent.
short test_USR();
// Ends configuration mode without bus traffic (ISOLATE, DETECT and TEST put every card back in
// Wait for Key themselves). Can't fail.
void drop_DEVICE();

#endif
