// Card isolation: initiation key, serial isolation and CSN assignment.
#include "pnp/isolation.h"

#include <cstdio>
#include <cstring>

#include "pnp/ports.h"
#include "pnp/registers.h"
#include "pnp/state.h"

// The initiation key of the Plug and Play ISA Specification: each byte is the previous one shifted
// right, with bit 7 the exclusive-or of the previous byte's bits 0 and 1.
const unsigned char initdata[32] = {0x6A, 0xB5, 0xDA, 0xED, 0xF6, 0xFB, 0x7D, 0xBE, 0xDF, 0x6F, 0x37,
                                    0x1B, 0x0D, 0x86, 0xC3, 0x61, 0xB0, 0x58, 0x2C, 0x16, 0x8B, 0x45,
                                    0xA2, 0xD1, 0xE8, 0x74, 0x3A, 0x9D, 0xCE, 0xE7, 0x73, 0x39};

enum {
    PAIR_DELAY = 250,    // before each isolation bit pair and around each key byte
    SETTLE_DELAY = 750,  // before the first pair of an attempt, and after a Config Control reset
    PORT_STEP = 8        // the READ_DATA ports tried: 0x203, 0x20B, ... 0x3FB
};

// Two zero writes reset the cards' key detectors, then the 32 key bytes move every card that
// waits for the key to Sleep.
void initkey_PNP() {
    port_out(PNP_ADDRESS, 0x00);
    udelay(PAIR_DELAY);
    port_out(PNP_ADDRESS, 0x00);
    for (short i = 0; i < 32; i++) {
        udelay(PAIR_DELAY);
        port_out(PNP_ADDRESS, initdata[i]);
    }
    udelay(PAIR_DELAY);
}

unsigned char testserial_PNP(const unsigned char* serial) {
    unsigned char lfsr = 0x6A;
    for (short i = 0; i < 8; i++) {
        for (short j = 0; j < 8; j++) {
            unsigned char in = (serial[i] >> j) & 1;
            unsigned char top = (in ^ lfsr ^ (lfsr >> 1)) & 1;
            lfsr = (unsigned char)((lfsr >> 1) | (top << 7));
        }
    }
    return lfsr;
}

short PNP_cards_beyond;

namespace {
// One serial isolation at PNP_port, with the cards out of Wait for Key: the cards without a CSN
// are woken and the 72 bit pairs read into serial. Returns 1 when the bytes make a valid serial
// identifier (a card won isolation and waits in Isolation for its CSN), else 0.
short isolate_serial(unsigned char* serial) {
    short seen_one = 0;
    memset(serial, 0, 9);
    wake_PNP(0);  // cards without a CSN enter isolation, the others sleep
    setrdport_PNP();
    port_out(PNP_ADDRESS, PNP_SERIAL_ISOLATION);
    udelay(SETTLE_DELAY);
    for (short i = 0; i < 9; i++) {
        for (short j = 0; j < 8; j++) {
            udelay(PAIR_DELAY);
            unsigned char first = port_in((unsigned short)PNP_port);
            unsigned char second = port_in((unsigned short)PNP_port);
            if (first == PNP_ISOLATION_ONE_FIRST && second == PNP_ISOLATION_ONE_SECOND) {
                serial[i] |= (unsigned char)(1 << j);
                seen_one = 1;
            }
        }
    }
    return seen_one && testserial_PNP(serial) == serial[8] ? 1 : 0;
}
}  // namespace

short discover_PNP() {
    unsigned char serial[9];
    if (!isolate_serial(serial)) {
        if (verbose) {
            printf("CHK: P=%04X ", (unsigned short)PNP_port);
            printf("%s ", devid_PNP(serial));
            printf("%02X ", serial[8]);
            printf("\n");
        }
        return 0;
    }
    short csn = PNP_last_csn++;
    writereg_PNP(PNP_CARD_SELECT_NUMBER, csn);  // the card leaves isolation for configuration mode
    CARD_TYP* card = &PNP_cards[PNP_cards_len++];
    card->csn = (unsigned short)csn;
    memcpy(card->serial, serial, sizeof serial);
    memcpy(card->vendor, devid_PNP(serial), sizeof card->vendor);
    card->serialno = (unsigned short)(serial[4] + 256 * serial[5]);
    return 1;
}

short isolate_PNP(short mode) {
    dropport_PNP();
    PNP_port = PNP_READ_DATA_FIRST;
    initkey_PNP();
    writereg_PNP(PNP_CONFIG_CONTROL, mode);
    if (mode != PNP_CONFIG_RESET_CSN) udelay(SETTLE_DELAY);
    // Bit 1 of Config Control has sent every card back to Wait for Key, where it would ignore the
    // Wake[0] below: it needs the key again.
    if (mode & PNP_CONFIG_WAIT_FOR_KEY) initkey_PNP();

    short found = 0;
    PNP_cards_beyond = 0;
    PNP_cards_isolated = 0;
    while (PNP_port <= PNP_READ_DATA_LAST && PNP_cards_len < PNP_MAXCARDS) {
        askport_PNP();
        if (discover_PNP()) {
            found = PNP_port;
            PNP_cards_isolated++;
            continue;
        }
        if (found) break;
        dropport_PNP();
        PNP_port += PORT_STEP;
    }
    // The table filled up at the port the cards answer at: one more attempt, which numbers no
    // card and prints nothing, tells whether a card is left without a CSN.
    unsigned char serial[9];
    if (found && PNP_cards_len >= PNP_MAXCARDS && isolate_serial(serial)) PNP_cards_beyond = 1;
    waitforkey_PNP();
    if (!found) return 0;
    PNP_port = found;
    return 1;
}
