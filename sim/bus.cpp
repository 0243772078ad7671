// Simulated ISA bus: Plug and Play cards that answer as the Plug and Play ISA Specification 1.0a
// describes, on a virtual clock.
#include "sim/bus.h"

#include <cstdlib>
#include <cstring>

#include "pnp/registers.h"

enum {
    SIM_MAXCARDS = 32,
    SIM_MAXDEVS = 256,       // the Logical Device Number register is one byte
    DEVICE_REGS = 256,       // register addresses of one logical device (0x30..0xFF used)
    DECODE_UPPER24 = 0x01,   // SIM_CARD::decode: the 24-bit memory decodes an upper limit
    DECODE_UPPER32 = 0x02,   // the same for 32-bit memory
    PAIR_GAP = 250,          // microseconds a card needs between two isolation bit pairs
    ISOLATION_SETTLE = 750,  // microseconds from Wake[0] to the first bit pair
    SERIAL_BITS = 72
};

struct SIM_CARD {
    unsigned char* bytes;  // serial identifier, then resource data
    unsigned short len;
    short state;
    unsigned char csn;
    unsigned short rdport;   // the READ_DATA port it answers at; 0 until Set RD_DATA Port
    unsigned char addr;      // register selected by the last ADDRESS write
    short keypos;            // initiation key bytes matched so far (Wait for Key only)
    unsigned short readpos;  // next byte of bytes for Resource Data
    long delivered;          // Resource Data bytes handed out since the card was added
    short ldn;
    short ndevs;
    unsigned char cardregs[16];
    unsigned char* devregs;  // ndevs blocks of DEVICE_REGS registers
    unsigned char* decode;   // per device: DECODE_UPPER24 | DECODE_UPPER32
    // Serial isolation.
    short iso_bit;                 // next bit of the serial identifier, 0..72
    short iso_phase;               // 0: the next read is the first of a pair, 1: the second
    short iso_valid;               // the pair under way is in time and within the 72 bits
    unsigned char iso_first;       // what the card saw on the bus at the first read of the pair
    unsigned long long iso_ready;  // time from which the next pair may start
    unsigned long long iso_since;  // when the wait for that began (the pair before, or Wake[0])
    // Fault injection.
    short no_status;
    long stop_after;  // -1: answers for ever
};

static SIM_CARD cards[SIM_MAXCARDS];
static short ncards;
static unsigned long long clock_us;
static unsigned long long (*clock_source)();  // null: the virtual clock_us
static long timing_faults;
static SIM_TIMING_FAULT last_fault;
static unsigned short foreign_port;  // 0: none
static unsigned char key[32];

// The time the cards see now, in microseconds.
static unsigned long long now_us() { return clock_source ? clock_source() : clock_us; }

// The key as a card's own detector computes it: an LFSR seeded with 0x6A.
static void make_key() {
    key[0] = 0x6A;
    for (int i = 1; i < 32; i++) {
        unsigned char p = key[i - 1];
        key[i] = (unsigned char)((p >> 1) | (((p ^ (p >> 1)) & 1) << 7));
    }
}

static short serial_bit(const SIM_CARD* c, short bit) {
    short byte = bit / 8;
    if (byte >= c->len) return 0;
    return (c->bytes[byte] >> (bit % 8)) & 1;
}

// The registers of logical device ldn (below ndevs), indexed by register number.
static unsigned char* device_regs(const SIM_CARD* c, short ldn) { return c->devregs + DEVICE_REGS * ldn; }

static short card_vendor_reg(short reg) {
    return reg >= PNP_CARD_VENDOR_FIRST && reg <= PNP_CARD_VENDOR_LAST;
}

// The memory control registers, whose bit 0 only reports how the card decodes: DECODE_UPPER24
// for a 24-bit descriptor's, DECODE_UPPER32 for a 32-bit one's, 0 for every other register.
static unsigned char memctl(short reg) {
    for (short n = 0; n < PNP_MEM_DESCS; n++)
        if (reg == pnp_mem_control(n)) return DECODE_UPPER24;
    for (short n = 0; n < PNP_MEM32_DESCS; n++)
        if (reg == pnp_mem32_control(n)) return DECODE_UPPER32;
    return 0;
}

static unsigned char decode_bit(const SIM_CARD* c, short dev, short reg) {
    return c->decode[dev] & memctl(reg) ? PNP_MEM_UPPER_LIMIT : 0;
}

// Power-up values of one logical device: IRQ type high/edge, no DMA channel, everything else 0.
static void powerup_device(SIM_CARD* c, short dev) {
    unsigned char* r = device_regs(c, dev);
    memset(r, 0, DEVICE_REGS);
    for (short k = 0; k < PNP_IRQ_DESCS; k++) r[pnp_irq_type(k)] = PNP_IRQ_HIGH;
    for (short k = 0; k < PNP_DMA_DESCS; k++) r[pnp_dma_channel(k)] = PNP_DMA_NONE;
    for (short reg = PNP_ACTIVATE; reg < DEVICE_REGS; reg++) r[reg] |= decode_bit(c, dev, reg);
}

// Walks the resource data after the serial identifier: counts the Logical Device ID items and,
// when decode is not null, notes bit 2 of the information byte of each device's first 24-bit and
// first 32-bit memory descriptor.
static short scan_devices(const SIM_CARD* c, unsigned char* decode) {
    short dev = -1;
    unsigned char seen24 = 0, seen32 = 0;
    unsigned long pos = 9;
    while (pos < c->len) {
        unsigned char tag = c->bytes[pos];
        unsigned long data, next;
        if (tag & 0x80) {
            if (pos + 3 > c->len) break;
            data = pos + 3;
            next = data + (c->bytes[pos + 1] | c->bytes[pos + 2] << 8);
            short name = tag & 0x7F;
            if (decode && dev >= 0 && data < c->len) {
                unsigned char upper = (c->bytes[data] >> 2) & 1;
                if (name == 0x01 && !seen24) {
                    decode[dev] |= upper ? DECODE_UPPER24 : 0;
                    seen24 = 1;
                }
                if ((name == 0x05 || name == 0x06) && !seen32) {
                    decode[dev] |= upper ? DECODE_UPPER32 : 0;
                    seen32 = 1;
                }
            }
        } else {
            short name = (tag >> 3) & 0xF;
            if (name == 0xF) break;
            data = pos + 1;
            next = data + (tag & 7);
            if (name == 0x2) {
                if (dev + 1 >= SIM_MAXDEVS) break;
                dev++;
                seen24 = seen32 = 0;
            }
        }
        pos = next;
    }
    return (short)(dev + 1);
}

static void wait_for_key(SIM_CARD* c) {
    c->state = SIM_WAIT_FOR_KEY;
    c->keypos = 0;
}

static void free_card(SIM_CARD* c) {
    free(c->bytes);
    free(c->devregs);
    free(c->decode);
    memset(c, 0, sizeof *c);
}

void sim_reset() {
    for (short i = 0; i < ncards; i++) free_card(&cards[i]);
    ncards = 0;
    clock_us = 0;
    foreign_port = 0;
    timing_faults = 0;
    last_fault = SIM_TIMING_FAULT{};
}

void sim_use_clock(unsigned long long (*now)()) { clock_source = now; }

long sim_timing_faults(SIM_TIMING_FAULT* last) {
    if (last) *last = last_fault;
    return timing_faults;
}

short sim_add_card(const unsigned char* bytes, unsigned short len) {
    if (ncards >= SIM_MAXCARDS) return -1;
    SIM_CARD* c = &cards[ncards];
    memset(c, 0, sizeof *c);
    c->bytes = (unsigned char*)malloc(len ? len : 1);
    if (!c->bytes) return -1;
    if (len) memcpy(c->bytes, bytes, len);
    c->len = len;
    c->ndevs = scan_devices(c, nullptr);
    short blocks = c->ndevs ? c->ndevs : 1;
    c->devregs = (unsigned char*)malloc(DEVICE_REGS * (size_t)blocks);
    c->decode = (unsigned char*)calloc((size_t)blocks, 1);
    if (!c->devregs || !c->decode) {
        free_card(c);
        return -1;
    }
    scan_devices(c, c->decode);
    for (short d = 0; d < c->ndevs; d++) powerup_device(c, d);
    c->stop_after = -1;
    wait_for_key(c);
    make_key();
    return ncards++;
}

short sim_card_count() { return ncards; }

unsigned long long sim_clock() { return now_us(); }

static SIM_CARD* card_at(short card) { return card >= 0 && card < ncards ? &cards[card] : nullptr; }

unsigned char sim_card_csn(short card) {
    SIM_CARD* c = card_at(card);
    return c ? c->csn : 0;
}

short sim_card_state(short card) {
    SIM_CARD* c = card_at(card);
    return c ? c->state : -1;
}

short sim_card_devices(short card) {
    SIM_CARD* c = card_at(card);
    return c ? c->ndevs : -1;
}

unsigned char sim_card_reg(short card, short ldn, unsigned char reg) {
    SIM_CARD* c = card_at(card);
    if (!c) return 0xFF;
    if (reg == PNP_SET_RD_DATA) return pnp_rd_data_value(c->rdport);
    if (reg == PNP_CARD_SELECT_NUMBER) return c->csn;
    if (reg == PNP_LOGICAL_DEVICE_NUMBER) return (unsigned char)c->ldn;
    if (reg < PNP_CARD_VENDOR_FIRST) return 0xFF;
    if (card_vendor_reg(reg)) return c->cardregs[reg - PNP_CARD_VENDOR_FIRST];
    if (ldn < 0 || ldn >= c->ndevs) return 0xFF;
    return device_regs(c, ldn)[reg];
}

void sim_card_no_status(short card) {
    SIM_CARD* c = card_at(card);
    if (c) c->no_status = 1;
}

void sim_card_stop_after(short card, long nbytes) {
    SIM_CARD* c = card_at(card);
    if (c) c->stop_after = nbytes;
}

void sim_foreign_device(unsigned short port) { foreign_port = port; }

void sim_preset_reg(short card, short ldn, unsigned char reg, unsigned char value) {
    SIM_CARD* c = card_at(card);
    if (!c) return;
    if (card_vendor_reg(reg)) {
        c->cardregs[reg - PNP_CARD_VENDOR_FIRST] = value;
    } else if (reg >= PNP_ACTIVATE && ldn >= 0 && ldn < c->ndevs) {
        unsigned char ro = decode_bit(c, ldn, reg);
        if (memctl(reg)) value = (unsigned char)((value & ~PNP_MEM_UPPER_LIMIT) | ro);
        device_regs(c, ldn)[reg] = value;
    }
}

// The card has a Resource Data byte ready.
static short data_ready(const SIM_CARD* c) {
    if (c->no_status || c->readpos >= c->len) return 0;
    return c->stop_after < 0 || c->delivered < c->stop_after;
}

static void wake(SIM_CARD* c, unsigned char value) {
    c->readpos = 0;
    if (value == 0 && c->csn == 0) {
        c->state = SIM_ISOLATION;
        c->iso_bit = 0;
        c->iso_phase = 0;
        c->iso_since = now_us();
        c->iso_ready = c->iso_since + ISOLATION_SETTLE;
    } else if (value != 0 && value == c->csn) {
        c->state = SIM_CONFIG;
    } else {
        c->state = SIM_SLEEP;
    }
}

// Config Control: each bit is judged by the state the card was in before the write.
static void config_control(SIM_CARD* c, unsigned char value) {
    if (value & PNP_CONFIG_RESET)
        for (short d = 0; d < c->ndevs; d++) powerup_device(c, d);
    if (value & PNP_CONFIG_RESET_CSN) c->csn = 0;
    if (value & PNP_CONFIG_WAIT_FOR_KEY) wait_for_key(c);
}

static void write_register(SIM_CARD* c, unsigned char value) {
    unsigned char reg = c->addr;
    switch (reg) {
    case PNP_SET_RD_DATA: c->rdport = pnp_rd_data_port(value); return;
    case PNP_CONFIG_CONTROL: config_control(c, value); return;
    case PNP_WAKE: wake(c, value); return;
    case PNP_CARD_SELECT_NUMBER:
        if (c->state == SIM_ISOLATION || c->state == SIM_CONFIG) {
            c->csn = value;
            c->state = SIM_CONFIG;
        }
        return;
    default: break;
    }
    if (c->state != SIM_CONFIG) return;
    if (reg == PNP_LOGICAL_DEVICE_NUMBER) {
        if (value < c->ndevs) c->ldn = value;
    } else if (card_vendor_reg(reg)) {
        c->cardregs[reg - PNP_CARD_VENDOR_FIRST] = value;
    } else if (reg >= PNP_ACTIVATE && c->ndevs > 0) {
        unsigned char* r = device_regs(c, c->ldn);
        if (memctl(reg))
            value = (unsigned char)((value & ~PNP_MEM_UPPER_LIMIT) | (r[reg] & PNP_MEM_UPPER_LIMIT));
        r[reg] = value;
    }
}

static void sim_out(unsigned short port, unsigned char value) {
    for (short i = 0; i < ncards; i++) {
        SIM_CARD* c = &cards[i];
        if (port == PNP_ADDRESS) {
            if (c->state != SIM_WAIT_FOR_KEY) {
                c->addr = value;
            } else if (value == key[c->keypos]) {
                // A byte that breaks the sequence restarts the detector and is not tried as a
                // first byte.
                if (++c->keypos == 32) {
                    c->keypos = 0;
                    c->state = SIM_SLEEP;
                }
            } else {
                c->keypos = 0;
            }
        } else if (port == PNP_WRITE_DATA && c->state != SIM_WAIT_FOR_KEY) {
            write_register(c, value);
        }
    }
}

// The byte a card in configuration mode drives for its selected register, or 0xFF (not driven).
static unsigned char config_read(SIM_CARD* c) {
    unsigned char reg = c->addr;
    if (reg == PNP_RESOURCE_DATA) {
        if (!data_ready(c)) return 0xFF;
        c->delivered++;
        return c->bytes[c->readpos++];
    }
    if (reg == PNP_STATUS) return data_ready(c) ? PNP_STATUS_READY : 0x00;
    if (reg == PNP_CARD_SELECT_NUMBER) return c->csn;
    if (reg == PNP_LOGICAL_DEVICE_NUMBER) return (unsigned char)c->ldn;
    if (card_vendor_reg(reg)) return c->cardregs[reg - PNP_CARD_VENDOR_FIRST];
    if (reg >= PNP_ACTIVATE && c->ndevs > 0) return device_regs(c, c->ldn)[reg];
    return 0xFF;
}

static short isolating(const SIM_CARD* c, unsigned short port) {
    return c->state == SIM_ISOLATION && c->addr == PNP_SERIAL_ISOLATION && c->rdport == port;
}

// Reads of READ_DATA: every driver pulls bits low, an undriven bus floats at 0xFF.
static unsigned char sim_in(unsigned short port) {
    unsigned char value = 0xFF;
    if (foreign_port != 0 && port == foreign_port) value = 0x00;

    // Serial isolation: cards whose current bit is 1 drive 0x55 then 0xAA; a pair read less
    // than 250 microseconds after the one before (750 after Wake[0]) brings no data, and counts
    // as a broken timing rule.
    unsigned long long now = now_us();
    for (short i = 0; i < ncards; i++) {
        SIM_CARD* c = &cards[i];
        if (!isolating(c, port)) continue;
        if (c->iso_phase == 0) {
            c->iso_valid = now >= c->iso_ready && c->iso_bit < SERIAL_BITS;
            if (now < c->iso_ready && c->iso_bit < SERIAL_BITS) {
                timing_faults++;
                last_fault.card = i;
                last_fault.waited = (long)(now - c->iso_since);
                last_fault.needed = (long)(c->iso_ready - c->iso_since);
                last_fault.first_pair = c->iso_bit == 0;
            }
            c->iso_since = now;
            c->iso_ready = now + PAIR_GAP;
        }
        if (c->iso_valid && serial_bit(c, c->iso_bit))
            value &= c->iso_phase == 0 ? PNP_ISOLATION_ONE_FIRST : PNP_ISOLATION_ONE_SECOND;
    }
    for (short i = 0; i < ncards; i++) {
        SIM_CARD* c = &cards[i];
        if (c->rdport == port && c->state == SIM_CONFIG) value &= config_read(c);
    }
    // Cards whose bit is 0 watch the bus: 0x55 then 0xAA means another card outranks them.
    for (short i = 0; i < ncards; i++) {
        SIM_CARD* c = &cards[i];
        if (!isolating(c, port)) continue;
        if (c->iso_phase == 0) {
            c->iso_first = value;
            c->iso_phase = 1;
            continue;
        }
        c->iso_phase = 0;
        if (!c->iso_valid) continue;
        short mine = serial_bit(c, c->iso_bit);
        c->iso_bit++;
        if (!mine && c->iso_first == PNP_ISOLATION_ONE_FIRST && value == PNP_ISOLATION_ONE_SECOND)
            c->state = SIM_SLEEP;
    }
    return value;
}

static int sim_permit(unsigned short, int) { return 0; }
static int sim_privilege(int) { return 0; }
static void sim_delay(long usec) {
    if (usec > 0) clock_us += (unsigned long long)usec;
}

const PORT_BUS sim_bus = {"simulated", sim_permit, sim_privilege, sim_out, sim_in, sim_delay};
