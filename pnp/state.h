// PnP state: ports, permission, card table, current card and device, register primitives.
#ifndef VELKOR_PNP_STATE_H
#define VELKOR_PNP_STATE_H

#include "pnp/registers.h"

// The card table holds at most this many records.
enum { PNP_MAXCARDS = 17 };

// The captured registers of one logical device (the field's registers in pnp/registers.h).
struct MEM_DESC {
    unsigned short base;  // address bits 23..8
    unsigned char control;
    unsigned short limit;  // upper limit or range length, bits 23..8
};
struct MEM32_DESC {
    unsigned long base;  // 32-bit values, held in the low 32 bits
    unsigned char control;
    unsigned long limit;
};
struct IRQ_DESC {
    unsigned char level;
    unsigned char type;
};

struct DEVICE_TYP {
    short number;  // its Logical Device Number: the place of its ID item, from 0
    unsigned char activate;
    unsigned char rangecheck;
    char id[8];  // devid_PNP text of its Logical Device ID
    MEM_DESC mem[PNP_MEM_DESCS];
    MEM32_DESC mem32[PNP_MEM32_DESCS];
    unsigned short io[PNP_IO_DESCS];
    IRQ_DESC irq[PNP_IRQ_DESCS];
    unsigned char dma[PNP_DMA_DESCS];  // PNP_DMA_NONE: no channel
    unsigned char vendorregs[PNP_DEVICE_VENDOR_REGS];
};

// One card. A record whose csn is 0 holds no card. resdata and devs are heap blocks owned by
// the record (or null), freed by freecard_PNP.
struct CARD_TYP {
    unsigned short csn;
    unsigned char serial[9];  // vendor ID, serial number, checksum, as read
    short reslen;
    unsigned char* resdata;   // the resource data after the serial identifier
    char vendor[8];           // devid_PNP text of the vendor ID
    unsigned short serialno;  // serial bytes 4 and 5, little-endian
    unsigned char cardregs[PNP_CARD_VENDOR_REGS];
    short ndevs;
    DEVICE_TYP* devs;
};

// The PnP state, set by init_PNP. verbose, Uport, PNP_csn and PNP_device are also the script
// variables VERBOSE, PNP_PORT, PNP_CSN and PNP_DEVICE, which a script may set to anything.
extern short verbose;        // non-zero: isolation and the dumps print raw values too
extern short PNP_port;       // the READ_DATA port in use; 0 before one is chosen
extern short PNP_csn;        // CSN of the current card; 0 or less: none
extern short PNP_csn_idx;    // its index in PNP_cards; negative: none
extern short PNP_device;     // the current logical device; negative: none
extern short PNP_last_csn;   // the CSN isolation gives next; never reset after start-up
extern short PNP_cards_len;  // records 0 .. PNP_cards_len-1 are in use
extern short Uport;          // the read port DETECT and DEVICE BEGIN choose (0: the default)
extern CARD_TYP PNP_cards[PNP_MAXCARDS];
// The number of cards the last isolate_PNP gave a CSN (they hold the CSNs just below
// PNP_last_csn); 0 before any isolation and after one that numbered none. Scripts read it as
// $PNP_CARDS.
extern short PNP_cards_isolated;
// 1 when start-up obtained port permission, 0 when not: no port instruction is issued then.
// -1 before init_PNP has asked.
extern short PNP_permitted;
// Why init_PNP was refused: the errno of the call that failed (0 when the bus gave none) and
// that call ("ioperm" or "iopl"); 0 and null when permission was granted.
extern int PNP_refusal_errno;
extern const char* PNP_refusal_call;

// The register primitives: one register access each, with no delay, no check and no error
// (they need port permission: callers ask ports_PNP first). Register numbers and values are
// bytes; only the low byte of what is passed goes out.

// ADDRESS <- reg, then WRITE_DATA <- value.
void writereg_PNP(short reg, short value);
// ADDRESS <- reg, then returns the byte read at READ_DATA (PNP_port); 0xFF where nothing drives.
unsigned char readreg_PNP(short reg);
// Wake[CSN] <- csn: the card with that CSN enters Config, the others Sleep; with 0 the cards
// without a CSN enter Isolation. Cards in Wait for Key ignore it.
void wake_PNP(short csn);
// Set RD_DATA Port <- PNP_port: the cards answer at PNP_port from now on.
void setrdport_PNP();
// Logical Device Number <- n: the registers from 0x30 up are those of device n.
void logdev_PNP(short n);
// Config Control <- Wait for Key: every card leaves configuration for Wait for Key.
void waitforkey_PNP();

// Start-up: every record freed and cleared, the globals at their start values, then permission
// for ADDRESS and the I/O privilege level that WRITE_DATA needs. Returns 0 when granted
// (PNP_permitted 1); 1 with 1003 queued when not (PNP_permitted 0, ADDRESS given back).
short init_PNP();
// Makes port (0: the default 0x203) the READ_DATA port and asks permission for it when it
// changed; the port held before is given back. Can't fail: the kernel's answer is not reported.
void defaultport_PNP(short port);
// Makes the first record with this CSN (-1: PNP_csn) current: PNP_csn, PNP_csn_idx, and
// PNP_device 0 when the card has logical devices (otherwise PNP_device stays). Returns 0 when it
// did; 1 when no record has that CSN, with nothing changed and nothing queued.
short current_PNP(short csn);
// 1 when a current card is selected (PNP_csn > 0 and PNP_csn_idx >= 0); otherwise 0, with 1002
// queued when report is non-zero. The record itself is not looked at (see usedcard_PNP).
short testcsn_PNP(unsigned short report);
// What the report on standard error adds to a 1002 for a card command run with no card selected.
extern const char* const PNP_NO_CARD_DETAIL;
// 1 when a current logical device is selected (PNP_device >= 0); otherwise 0, with 1002 queued
// when report is non-zero. PNP_device is not compared with the card's device count.
short testdev_PNP(unsigned short report);
// Exit: gives back ADDRESS and the read port (when start-up had permission) and frees every
// record in use. PNP_cards_len and the privilege level stay. Can't fail.
void clean_PNP();
// 1 when port permission is held; otherwise queues 1003 and returns 0. Every command that would
// touch the ports asks first.
short ports_PNP();
// The text of a 4-byte PnP identifier, such as "ABC0001" (three letters of 5 bits, four
// lower-case hexadecimal digits). The text is in a static buffer, valid until the next call.
const char* devid_PNP(const unsigned char* id);
// The serial number of a serial identifier: its bytes 4 to 7, byte 7 the most significant.
unsigned long serialnum_PNP(const unsigned char* serial);
// v as 8 binary digits, bit 7 first, and "b" ("00000101b"); a static buffer, valid until the
// next call of binstring1.
const char* binstring1(unsigned char v);
// v as 16 binary digits, bit 15 first, and "b"; a static buffer, valid until the next call of
// binstring2.
const char* binstring2(short v);
// Frees a record's resource data and device array and clears it to zero. Can't fail.
void freecard_PNP(CARD_TYP* card);
// Index of the first record in use whose csn is non-zero and equals csn, or -1.
short findcard_PNP(short csn);
// The record at index when it is in use (index below PNP_cards_len, csn not 0), else null.
CARD_TYP* usedcard_PNP(short index);
// Asks for permission on PNP_port (giving back the read port held before), or gives the held
// read port back. Only with start-up permission; the kernel's answer is remembered, not reported.
// Neither can fail.
void askport_PNP();
void dropport_PNP();

#endif
