// Card resource reading and register capture.
#ifndef VELKOR_PNP_RESOURCES_H
#define VELKOR_PNP_RESOURCES_H

// The most resource-data bytes a load keeps; reading stops before an item that would not fit.
enum { RESBUF_SIZE = 4096 };

// Loads card csn into its record (the one with that CSN, or a new one at the end of the table):
// sends the key and Set RD_DATA Port, reads the serial identifier, the resource data (one
// device record per Logical Device ID item) and the registers, and leaves every card in Wait for
// Key. The current card and device stay as they were. Returns 1 when the resource data and the
// registers were read, also when no copy of the resource data could be kept (1001 queued, reslen
// 0). Returns 0 when the card did not answer to the end, or with 1001 queued when a device
// record could not be allocated: the record keeps its CSN and what was read. A new CSN with no
// record left is refused: 0 with 1002 queued, nothing sent.
short loadcard_PNP(short csn);
// The next Resource Data byte of the woken card, once Status says it is ready. ok is in/out:
// while it is 1 the card is polled (at most 32767 times); a card that never gets ready sets it
// to 0. With ok 0 the result is 0 and no port is touched. Queues nothing.
short getresdata_PNP(unsigned short& ok);
// The 16-bit value of the register pair reg, reg+1: high byte at reg, read first. Can't fail.
unsigned short readINTU2(short reg);

#endif
