// Card resource reading and register capture: serial identifier, resource data, logical devices.
#include "pnp/resources.h"

#include <cstdlib>
#include <cstring>

#include "pnp/isolation.h"
#include "pnp/ports.h"
#include "pnp/registers.h"
#include "pnp/resource_items.h"
#include "pnp/state.h"
#include "shell/errhdl.h"
#include "shell/memory.h"

enum {
    STATUS_POLLS = 32767,  // polls of the Status bit before a card counts as silent
};

// The resource data of the card being loaded; nothing is kept here across loads.
static unsigned char buf[RESBUF_SIZE];
static short buf_len;

short getresdata_PNP(unsigned short& ok) {
    if (!ok) return 0;
    short polls = 0;
    for (;;) {
        if (readreg_PNP(PNP_STATUS) & PNP_STATUS_READY) break;
        if (++polls >= STATUS_POLLS) {
            ok = 0;
            return 0;
        }
    }
    return readreg_PNP(PNP_RESOURCE_DATA);
}

unsigned short readINTU2(short reg) {
    unsigned short high = readreg_PNP(reg);
    unsigned short low = readreg_PNP((short)(reg + 1));
    return (unsigned short)(high * 256 + low);
}

// Reads a 32-bit value from four registers, most significant byte first.
static unsigned long readINTU4(short reg) {
    unsigned long high = readINTU2(reg);
    return high * 65536UL + readINTU2((short)(reg + 2));
}

// Adds a cleared device record (no DMA channel) to the card. 1, or 0 with 1001 queued (the
// records already there stay).
static short newdevice(CARD_TYP* r) {
    void* grown = mem_realloc(r->devs, sizeof(DEVICE_TYP) * (size_t)(r->ndevs + 1));
    if (!grown) {
        set_errhdl(ERR_MEMORY);
        return 0;
    }
    r->devs = (DEVICE_TYP*)grown;
    DEVICE_TYP* d = &r->devs[r->ndevs];
    memset(d, 0, sizeof *d);
    for (short k = 0; k < PNP_DMA_DESCS; k++) d->dma[k] = PNP_DMA_NONE;
    return 1;
}

// Reads the serial identifier and the resource data of the card at index into its record. 1 when
// the card answered through to the End item (or until the buffer was full), 0 when it did not.
// Nothing is ever stored past the 4096-byte buffer: a large item's tag and length, or an End tag
// and its checksum, are kept only when all of them fit; otherwise reading stops before the item.
static short loadresource_PNP(short index) {
    CARD_TYP* r = &PNP_cards[index];
    unsigned short ok = 1;

    wake_PNP((short)r->csn);
    for (short i = 0; i < 9 && ok; i++) r->serial[i] = (unsigned char)getresdata_PNP(ok);
    short same = 1;
    for (short i = 1; i < 9; i++)
        if (r->serial[i] != r->serial[i - 1]) same = 0;
    if (same) return 0;  // no card drives the bus for this CSN

    buf_len = 0;
    for (;;) {
        if (!ok) return 0;
        if (buf_len > RESBUF_SIZE - 1) break;
        unsigned char tag = (unsigned char)getresdata_PNP(ok);
        if (tag & RES_TAG_LARGE) {
            if (buf_len + RES_LARGE_HEADER > RESBUF_SIZE) break;
            buf[buf_len] = tag;
            buf[buf_len + 1] = (unsigned char)getresdata_PNP(ok);
            buf[buf_len + 2] = (unsigned char)getresdata_PNP(ok);
            unsigned short len = (unsigned short)(buf[buf_len + 1] | buf[buf_len + 2] << 8);
            buf_len += RES_LARGE_HEADER;
            if (!ok) return 0;
            if (buf_len + len > RESBUF_SIZE) break;
            for (unsigned short k = 0; k < len && ok; k++) buf[buf_len++] = (unsigned char)getresdata_PNP(ok);
        } else if (res_small_name(tag) == RES_END) {
            short size = (short)(1 + res_small_length(tag));  // the tag and its checksum
            if (buf_len + size > RESBUF_SIZE) break;
            buf[buf_len++] = tag;
            for (short k = 1; k < size && ok; k++) buf[buf_len++] = (unsigned char)getresdata_PNP(ok);
            break;
        } else {
            short ldid = res_small_name(tag) == RES_LOGICAL_DEVICE_ID;
            if (ldid && !newdevice(r)) return 0;
            buf[buf_len++] = tag;
            short start = buf_len;
            for (short k = 0; k < res_small_length(tag) && ok && buf_len <= RESBUF_SIZE - 1; k++)
                buf[buf_len++] = (unsigned char)getresdata_PNP(ok);
            if (ldid) {
                // An item cut short (by the card or the full buffer) names the missing ID bytes 0.
                unsigned char id[4] = {0, 0, 0, 0};
                for (short k = 0; k < 4 && start + k < buf_len; k++) id[k] = buf[start + k];
                DEVICE_TYP* d = &r->devs[r->ndevs];
                d->number = r->ndevs;
                memcpy(d->id, devid_PNP(id), sizeof d->id);
                r->ndevs++;
            }
        }
        if (!ok) return 0;
    }
    if (!ok) return 0;
    memcpy(r->vendor, devid_PNP(r->serial), sizeof r->vendor);
    r->serialno = (unsigned short)(r->serial[4] + 256 * r->serial[5]);
    r->reslen = buf_len;
    r->resdata = (unsigned char*)mem_alloc(buf_len > 0 ? (size_t)buf_len : 1);
    if (!r->resdata) {
        set_errhdl(ERR_MEMORY);
        r->reslen = 0;
        return 1;
    }
    memcpy(r->resdata, buf, (size_t)buf_len);
    return 1;
}

// Reads the card-level registers and every logical device's configuration registers.
static void loadregisters_PNP(short index) {
    CARD_TYP* r = &PNP_cards[index];

    wake_PNP((short)r->csn);
    for (short i = 0; i < PNP_CARD_VENDOR_REGS; i++) r->cardregs[i] = readreg_PNP(PNP_CARD_VENDOR_FIRST + i);
    for (short n = 0; n < r->ndevs; n++) {
        DEVICE_TYP* d = &r->devs[n];
        logdev_PNP(d->number);
        d->activate = readreg_PNP(PNP_ACTIVATE);
        d->rangecheck = readreg_PNP(PNP_IO_RANGE_CHECK);
        for (short k = 0; k < PNP_MEM_DESCS; k++) {
            d->mem[k].base = readINTU2(pnp_mem_base(k));
            d->mem[k].control = readreg_PNP(pnp_mem_control(k));
            d->mem[k].limit = readINTU2(pnp_mem_limit(k));
        }
        for (short k = 0; k < PNP_MEM32_DESCS; k++) {
            d->mem32[k].base = readINTU4(pnp_mem32_base(k));
            d->mem32[k].control = readreg_PNP(pnp_mem32_control(k));
            d->mem32[k].limit = readINTU4(pnp_mem32_limit(k));
        }
        for (short k = 0; k < PNP_IO_DESCS; k++) d->io[k] = readINTU2(pnp_io_base(k));
        for (short k = 0; k < PNP_IRQ_DESCS; k++) {
            d->irq[k].level = readreg_PNP(pnp_irq_level(k));
            d->irq[k].type = readreg_PNP(pnp_irq_type(k));
        }
        for (short k = 0; k < PNP_DMA_DESCS; k++) d->dma[k] = readreg_PNP(pnp_dma_channel(k));
        for (short i = 0; i < PNP_DEVICE_VENDOR_REGS; i++)
            d->vendorregs[i] = readreg_PNP(PNP_DEVICE_VENDOR_FIRST + i);
    }
}

short loadcard_PNP(short csn) {
    short index = findcard_PNP(csn);
    if (index >= 0) {
        freecard_PNP(&PNP_cards[index]);
    } else {
        // The table is never overrun: a new CSN with every record in use is refused.
        if (PNP_cards_len >= PNP_MAXCARDS) {
            set_errhdl(ERR_DEVICE);
            set_errdetail(": the card table is full (%d cards)", (int)PNP_MAXCARDS);
            return 0;
        }
        index = PNP_cards_len++;
        freecard_PNP(&PNP_cards[index]);
    }
    PNP_cards[index].csn = (unsigned short)csn;

    initkey_PNP();
    setrdport_PNP();
    short loaded = loadresource_PNP(index);
    if (loaded) loadregisters_PNP(index);
    waitforkey_PNP();
    return loaded;
}
