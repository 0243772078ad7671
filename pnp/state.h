// PnP state: ports, permission, card table, current card and device, register primitives.
#ifndef VELKOR_PNP_STATE_H
#define VELKOR_PNP_STATE_H

#include "pnp/registers.h"

enum { PNP_MAXCARDS = 17 };

struct MEM_DESC {
    unsigned short base;     // address bits 23..8
    unsigned char control;
    unsigned short limit;
};
struct MEM32_DESC {
    unsigned long base;      // 32-bit values, held in the low 32 bits
    unsigned char control;
    unsigned long limit;
};
struct IRQ_DESC {
    unsigned char level;
    unsigned char type;
};

struct DEVICE_TYP {
    short number;
    unsigned char activate;
    unsigned char rangecheck;
    char id[8];
    MEM_DESC mem[PNP_MEM_DESCS];
    MEM32_DESC mem32[PNP_MEM32_DESCS];
    unsigned short io[PNP_IO_DESCS];
    IRQ_DESC irq[PNP_IRQ_DESCS];
    unsigned char dma[PNP_DMA_DESCS];
    unsigned char vendorregs[PNP_DEVICE_VENDOR_REGS];
};

struct CARD_TYP {
    unsigned short csn;
    unsigned char serial[9];
    short reslen;
    unsigned char* resdata;
    char vendor[8];
    unsigned short serialno;
    unsigned char cardregs[PNP_CARD_VENDOR_REGS];
    short ndevs;
    DEVICE_TYP* devs;
};

extern short verbose;
extern short PNP_port;
extern short PNP_csn;
extern short PNP_csn_idx;
extern short PNP_device;
extern short PNP_last_csn;
extern short PNP_cards_len;
extern short Uport;
extern CARD_TYP PNP_cards[PNP_MAXCARDS];
// 1 when start-up obtained port permission, 0 when not: no port instruction is issued then.
// -1 before init_PNP has asked.
extern short PNP_permitted;

void writereg_PNP(short reg, short value);
unsigned char readreg_PNP(short reg);
void wake_PNP(short csn);
void setrdport_PNP();
void logdev_PNP(short n);
void waitforkey_PNP();

short init_PNP();                 // 0 permission granted, 1 not (1003 queued)
void defaultport_PNP(short port);
short current_PNP(short csn);     // 0 made current, 1 no record has that CSN
short testcsn_PNP(unsigned short report);
short testdev_PNP(unsigned short report);
void clean_PNP();
// 1 when port permission is held; otherwise queues 1003 and returns 0. Every command that would
// touch the ports asks first.
short ports_PNP();
const char* devid_PNP(const unsigned char* id);
const char* binstring1(unsigned char v);
const char* binstring2(short v);
// Frees a record's resource data and device array and clears it to zero.
void freecard_PNP(CARD_TYP* card);
// Index of the first record in use whose csn is non-zero and equals csn, or -1.
short findcard_PNP(short csn);
// The record at index when it is in use (index below PNP_cards_len, csn not 0), else null.
CARD_TYP* usedcard_PNP(short index);
// Asks for permission on PNP_port (giving back the read port held before), or gives the held
// read port back. Only with start-up permission; the kernel's answer is remembered, not reported.
void askport_PNP();
void dropport_PNP();

#endif
