// PnP state: permission, read port, card table, current card and device, register primitives.
#include "pnp/state.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "pnp/ports.h"
#include "pnp/registers.h"
#include "pnp/resource_items.h"
#include "shell/errhdl.h"

short verbose;
short PNP_port;
short PNP_csn;
short PNP_csn_idx = -1;
short PNP_device = -1;
short PNP_last_csn = 1;
short PNP_cards_isolated;
short PNP_cards_len;
short Uport;
CARD_TYP PNP_cards[PNP_MAXCARDS];
// -1 not tried yet, 0 refused, 1 granted (ports_PNP treats everything but 1 as refused).
short PNP_permitted = -1;
int PNP_refusal_errno;
const char* PNP_refusal_call;

// The read port the kernel granted us and we still hold, 0 for none: only that one is given back.
static unsigned short held_port;

static char resstd[RES_EISA_ID_SIZE] = "PNP0000";

void writereg_PNP(short reg, short value) {
    port_out(PNP_ADDRESS, (unsigned char)reg);
    port_out(PNP_WRITE_DATA, (unsigned char)value);
}

unsigned char readreg_PNP(short reg) {
    port_out(PNP_ADDRESS, (unsigned char)reg);
    return port_in((unsigned short)PNP_port);
}

void wake_PNP(short csn) { writereg_PNP(PNP_WAKE, csn); }

void setrdport_PNP() { writereg_PNP(PNP_SET_RD_DATA, pnp_rd_data_value((unsigned short)PNP_port)); }

void logdev_PNP(short n) { writereg_PNP(PNP_LOGICAL_DEVICE_NUMBER, n); }

void waitforkey_PNP() { writereg_PNP(PNP_CONFIG_CONTROL, PNP_CONFIG_WAIT_FOR_KEY); }

void askport_PNP() {
    if (PNP_permitted != 1 || held_port == (unsigned short)PNP_port) return;
    dropport_PNP();
    if (port_permit((unsigned short)PNP_port, 1) == 0) held_port = (unsigned short)PNP_port;
}

void dropport_PNP() {
    if (held_port == 0) return;
    port_permit(held_port, 0);
    held_port = 0;
}

short init_PNP() {
    for (short i = 0; i < PNP_MAXCARDS; i++) freecard_PNP(&PNP_cards[i]);
    verbose = 0;
    PNP_port = 0;
    PNP_csn = 0;
    PNP_csn_idx = -1;
    PNP_device = -1;
    PNP_last_csn = 1;
    PNP_cards_isolated = 0;
    PNP_cards_len = 0;
    Uport = 0;
    held_port = 0;
    PNP_permitted = 0;
    PNP_refusal_errno = 0;
    PNP_refusal_call = nullptr;
    errno = 0;
    if (port_permit(PNP_ADDRESS, 1) != 0) {
        PNP_refusal_errno = errno;
        PNP_refusal_call = "ioperm";
        set_errhdl(ERR_PERMISSION);
        return 1;
    }
    // 0xA79 lies above 0x3FF, where ioperm grants nothing: WRITE_DATA needs iopl(3).
    errno = 0;
    if (port_privilege(3) != 0) {
        PNP_refusal_errno = errno;
        PNP_refusal_call = "iopl";
        set_errhdl(ERR_PERMISSION);
        port_permit(PNP_ADDRESS, 0);
        return 1;
    }
    PNP_permitted = 1;
    return 0;
}

void defaultport_PNP(short port) {
    if (port == 0) port = PNP_READ_DATA_FIRST;
    if (port == PNP_port) return;
    PNP_port = port;
    askport_PNP();
}

short findcard_PNP(short csn) {
    for (short i = 0; i < PNP_cards_len && i < PNP_MAXCARDS; i++)
        if (PNP_cards[i].csn != 0 && PNP_cards[i].csn == (unsigned short)csn) return i;
    return -1;
}

CARD_TYP* usedcard_PNP(short index) {
    if (index < 0 || index >= PNP_cards_len || index >= PNP_MAXCARDS) return nullptr;
    return PNP_cards[index].csn != 0 ? &PNP_cards[index] : nullptr;
}

short current_PNP(short csn) {
    if (csn == -1) csn = PNP_csn;
    for (short i = 0; i < PNP_cards_len && i < PNP_MAXCARDS; i++) {
        if (PNP_cards[i].csn != (unsigned short)csn) continue;
        PNP_csn_idx = i;
        PNP_csn = (short)PNP_cards[i].csn;
        if (PNP_cards[i].ndevs > 0) PNP_device = 0;
        return 0;
    }
    return 1;
}

const char* const PNP_NO_CARD_DETAIL = ": no card is selected (ISOLATE, then PNP_CSN = 0 and DETECT n)";

short testcsn_PNP(unsigned short report) {
    if (PNP_csn > 0 && PNP_csn_idx >= 0) return 1;
    if (report) {
        set_errhdl(ERR_DEVICE);
        set_errdetail("%s", PNP_NO_CARD_DETAIL);
    }
    return 0;
}

short testdev_PNP(unsigned short report) {
    if (PNP_device >= 0) return 1;
    if (report) {
        set_errhdl(ERR_DEVICE);
        set_errdetail(": no logical device is selected (PNP_DEVICE = n)");
    }
    return 0;
}

void clean_PNP() {
    if (PNP_permitted == 1) {
        port_permit(PNP_ADDRESS, 0);
        dropport_PNP();
    }
    for (short i = 0; i < PNP_cards_len && i < PNP_MAXCARDS; i++)
        if (PNP_cards[i].csn != 0) freecard_PNP(&PNP_cards[i]);
}

short ports_PNP() {
    if (PNP_permitted == 1) return 1;
    set_errhdl(ERR_PERMISSION);
    return 0;
}

const char* devid_PNP(const unsigned char* id) {
    res_eisa_id_text(id, resstd);
    return resstd;
}

const char* binstring1(unsigned char v) {
    static char text[10];
    for (int bit = 7; bit >= 0; bit--) text[7 - bit] = (v >> bit) & 1 ? '1' : '0';
    text[8] = 'b';
    text[9] = '\0';
    return text;
}

const char* binstring2(short v) {
    static char text[18];
    unsigned short u = (unsigned short)v;
    for (int bit = 15; bit >= 0; bit--) text[15 - bit] = (u >> bit) & 1 ? '1' : '0';
    text[16] = 'b';
    text[17] = '\0';
    return text;
}

void freecard_PNP(CARD_TYP* card) {
    free(card->resdata);
    free(card->devs);
    memset(card, 0, sizeof *card);
}

unsigned long serialnum_PNP(const unsigned char* serial) {
    return (unsigned long)serial[4] | (unsigned long)serial[5] << 8 | (unsigned long)serial[6] << 16 |
           (unsigned long)serial[7] << 24;
}
