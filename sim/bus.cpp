// Simulated ISA bus: Plug and Play cards that answer as the Plug and Play ISA Specification 1.0a
// describes, on a virtual clock.
#include "sim/bus.h"

#include <cstdlib>
#include <cstring>

#include "pnp/registers.h"
#include "pnp/resource_items.h"

enum {
    SIM_MAXCARDS = 32,
    SIM_MAXDEVS = 256,       // the Logical Device Number register is one byte
    DEVICE_REGS = 256,       // register addresses of one logical device (0x30..0xFF used)
    SERIAL_SIZE = 9,         // the serial identifier before the resource data
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
    unsigned char* upper;    // per device: the memory register sets that decode an upper limit
                             // (memctl bits)
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

// A device's memory register sets as bits of one byte: 24-bit set k is bit k, 32-bit set k bit
// MEM32_SHIFT + k.
enum { MEM32_SHIFT = PNP_MEM_DESCS };
static_assert(PNP_MEM_DESCS + PNP_MEM32_DESCS <= 8, "every memory register set has a bit");

// The memory control registers, whose bit 0 only reports how the card decodes: the bit of the
// register set a control register belongs to, 0 for every other register.
static unsigned char memctl(short reg) {
    for (short n = 0; n < PNP_MEM_DESCS; n++)
        if (reg == pnp_mem_control(n)) return (unsigned char)(1u << n);
    for (short n = 0; n < PNP_MEM32_DESCS; n++)
        if (reg == pnp_mem32_control(n)) return (unsigned char)(1u << (MEM32_SHIFT + n));
    return 0;
}

static unsigned char decode_bit(const SIM_CARD* c, short dev, short reg) {
    return c->upper[dev] & memctl(reg) ? PNP_MEM_UPPER_LIMIT : 0;
}

// Power-up values of one logical device: IRQ type high/edge, no DMA channel, everything else 0.
static void powerup_device(SIM_CARD* c, short dev) {
    unsigned char* r = device_regs(c, dev);
    memset(r, 0, DEVICE_REGS);
    for (short k = 0; k < PNP_IRQ_DESCS; k++) r[pnp_irq_type(k)] = PNP_IRQ_HIGH;
    for (short k = 0; k < PNP_DMA_DESCS; k++) r[pnp_dma_channel(k)] = PNP_DMA_NONE;
    for (short reg = PNP_ACTIVATE; reg < DEVICE_REGS; reg++) r[reg] |= decode_bit(c, dev, reg);
}

// The memory descriptors of one part of a device (its fixed ones before or after the dependent
// functions, or one function), by width (0: 24-bit, 1: 32-bit, fixed ones too): how many, and
// which of the first eight decode an upper limit (bit k: the k-th).
struct MEM_PART {
    long n[2];
    unsigned char upper[2];
};

static void add_memory(MEM_PART* part, const RES_ITEM& item) {
    short width = item.name == RES_MEM_RANGE ? 0 : 1;
    if (part->n[width] < 8 && (item.b(0) & RES_MEM_UPPER_LIMIT)) part->upper[width] |= (unsigned char)(1u << part->n[width]);
    part->n[width]++;
}

static short is_memory(const RES_ITEM& item) {
    return item.large &&
           (item.name == RES_MEM_RANGE || item.name == RES_MEM32_RANGE || item.name == RES_FIXED_MEM32_RANGE);
}

// Register sets that a configuration (the fixed parts with one function, or alone) declares and
// that no configuration before it did are decided by it: set k of a width takes the k-th
// descriptor of that width in resource data order (before, function, after).
static void decide(const MEM_PART& before, const MEM_PART& function, const MEM_PART& after,
                   unsigned char* decided, unsigned char* upper) {
    static const short sets[2] = {PNP_MEM_DESCS, PNP_MEM32_DESCS};
    for (short width = 0; width < 2; width++) {
        for (short k = 0; k < sets[width]; k++) {
            unsigned char bit = (unsigned char)(1u << (width ? MEM32_SHIFT + k : k));
            if (*decided & bit) continue;
            long at = k;
            const MEM_PART* parts[3] = {&before, &function, &after};
            for (const MEM_PART* part : parts) {
                if (at < part->n[width]) {
                    *decided |= bit;
                    if (part->upper[width] >> at & 1) *upper |= bit;
                    break;
                }
                at -= part->n[width];
            }
        }
    }
}

// How a device decodes its memory: for each register set, bit 0 of its control register reads
// 1 (upper limit) when the descriptor that set takes says so (bit 2 of its information byte).
// A set takes the descriptor of the first configuration, in resource data order, that has one
// for it; a set no configuration has one for reads 0. items stands after the device's Logical
// Device ID item, and is read up to the next one.
static unsigned char memory_decoding(RES_ITEMS items) {
    enum { BEFORE, IN_FUNCTION, AFTER };
    MEM_PART before = {}, after = {}, function = {};
    RES_ITEM item;
    short place = BEFORE, functions = 0;
    RES_ITEMS again = items;
    // The fixed parts first: the after part counts in every configuration.
    while (res_items_next(&items, &item) && !item.cut) {
        if (!item.large && item.name == RES_LOGICAL_DEVICE_ID) break;
        if (!item.large && item.name == RES_START_DEPENDENT) place = IN_FUNCTION, functions++;
        if (!item.large && item.name == RES_END_DEPENDENT) place = AFTER;
        if (is_memory(item) && place != IN_FUNCTION) add_memory(place == BEFORE ? &before : &after, item);
    }
    unsigned char decided = 0, upper = 0;
    if (!functions) {
        decide(before, function, after, &decided, &upper);
        return upper;
    }
    // Then each function with them, in order.
    place = BEFORE;
    while (res_items_next(&again, &item) && !item.cut) {
        if (!item.large && item.name == RES_LOGICAL_DEVICE_ID) break;
        short starts = !item.large && item.name == RES_START_DEPENDENT;
        short ends = !item.large && item.name == RES_END_DEPENDENT;
        if (place == IN_FUNCTION && (starts || ends)) decide(before, function, after, &decided, &upper);
        if (starts) place = IN_FUNCTION, function = MEM_PART{};
        if (ends) place = AFTER;
        if (is_memory(item) && place == IN_FUNCTION) add_memory(&function, item);
    }
    if (place == IN_FUNCTION) decide(before, function, after, &decided, &upper);  // no End Dependent Functions
    return upper;
}

// Walks the resource data after the serial identifier: counts the Logical Device ID items and,
// when upper is not null, notes how each device decodes its memory (memory_decoding).
static short scan_devices(const SIM_CARD* c, unsigned char* upper) {
    short dev = -1;
    RES_ITEMS items;
    RES_ITEM item;
    res_items_start(&items, c->len > SERIAL_SIZE ? c->bytes + SERIAL_SIZE : nullptr, (long)c->len - SERIAL_SIZE);
    while (res_items_next(&items, &item)) {
        if (item.large || item.name != RES_LOGICAL_DEVICE_ID) continue;
        if (dev + 1 >= SIM_MAXDEVS) break;
        dev++;
        if (upper) upper[dev] = memory_decoding(items);
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
    free(c->upper);
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
    c->upper = (unsigned char*)calloc((size_t)blocks, 1);
    if (!c->devregs || !c->upper) {
        free_card(c);
        return -1;
    }
    scan_devices(c, c->upper);
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
