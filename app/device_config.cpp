// Device configuration commands: DEVICE BEGIN/SET/END and TEST.
#include "app/device_config.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "app/host_checks.h"
#include "app/write_warnings.h"
#include "pnp/host_resources.h"
#include "pnp/isolation.h"
#include "pnp/registers.h"
#include "pnp/resource_items.h"
#include "pnp/state.h"
#include "script/expression.h"
#include "shell/errhdl.h"
#include "shell/parse.h"

short strict_writes;

namespace {

// Says the line's warnings before its write pass. With --strict a line that drew any is refused
// here: nothing is written, 5003 is queued, and standard error says which line it was. Returns
// 1 when the write may go on.
short write_allowed() {
    long warned = say_warnings();
    if (!strict_writes || warned == 0) return 1;
    say_placed(stderr, "refused: %s (%ld warning%s; --strict writes nothing)", P.line ? P.line : "", warned,
               warned == 1 ? "" : "s");
    set_errhdl(ERR_SETTINGS);
    set_errsaid();
    return 0;
}

// Configuration mode: on (inited 1) from DEVICE BEGIN to DEVICE END. card and dev are the
// records resolved at BEGIN; null when BEGIN found no card or device in use.
short inited;
CARD_TYP* card;
DEVICE_TYP* dev;
// Takes the next token of the line. 1 when there was one, 0 at the end of the line.
short next_token() { return P.get(0) == 0 ? 1 : 0; }

// The next token, which must be there: 1, or 0 with 5003 queued.
short need_token() {
    if (next_token()) return 1;
    set_errhdl(ERR_SETTINGS);
    return 0;
}

// A token that ends an argument list: a comment.
short is_comment() { return P.token[0] == ';' || P.token[0] == '#'; }

// Converts the current token as a number. 1, or 0 with 7001/7002 queued by the conversion.
short token_value(long* out) { return toINT(out, P.token, nullptr); }

// Converts the current token as an unsigned 32-bit value: the literal forms of toINT, but
// without its saturation at 0x7FFFFFFF, so a 32-bit address such as 0xFEC00000 keeps its value.
// Values above 0xFFFFFFFF saturate there, and a negative value is taken modulo 2^32: both are
// warned about as a cut, with what is written (what names the value: "MEM32 base"). 1, or 0 with
// the conversion's error queued.
short token_value32(unsigned long* out, const char* what) {
    long checked;
    *out = 0;
    if (!toINT(&checked, P.token, nullptr)) return 0;  // validates the literal, queues errors
    const char* s = P.token;
    while (*s == ' ') s++;
    if (*s == '\'' || *s == '+' || *s == '-') {  // character literal or signed: as is
        *out = (unsigned long)checked & 0xFFFFFFFFul;
        if (checked < 0) {
            note_cut();
            warn_before_write("%s %ld does not fit its 32-bit register: 0x%08lX is written", what, checked,
                              *out);
        }
        return 1;
    }
    unsigned long long v;
    if (s[0] == '0' && (s[1] == 'b' || s[1] == 'B'))
        v = strtoull(s + 2, nullptr, 2);
    else
        v = strtoull(s, nullptr, 0);
    *out = v > 0xFFFFFFFFull ? 0xFFFFFFFFul : (unsigned long)v;
    if (v > 0xFFFFFFFFull) {
        note_cut();
        warn_before_write("%s 0x%llX does not fit its 32-bit register: 0x%08lX is written", what, v, *out);
    }
    return 1;
}

// Reads "n" from the current token: a descriptor number, at most max (compared unsigned).
// 1, or 0 with the error queued.
short descriptor(unsigned long max, long* n) {
    if (!token_value(n)) return 0;
    if ((unsigned long)*n > max) {
        set_errhdl(ERR_SETTINGS);
        return 0;
    }
    return 1;
}

// Reads "n" (as descriptor) and the required value after it. 1, or 0 with the error queued.
short descriptor_and_value(unsigned long max, long* n, long* value) {
    if (!descriptor(max, n) || !need_token()) return 0;
    return token_value(value);
}

// Writes a 32-bit value to four registers, most significant byte first.
void writeINTU4(short reg, unsigned long value) {
    writeINTU2(reg, (unsigned short)(value >> 16));
    writeINTU2((short)(reg + 2), (unsigned short)(value & 0xFFFF));
}

// What tells the two kinds of memory descriptor apart for DEVICE SET MEM and MEM32. Both are
// handled in the wider MEM32_DESC; a 24-bit value is held there as the record holds it.
struct WIDTH_TYP {
    const char* word;    // by abbreviation
    unsigned char bits;  // control bits it sets
};
struct MEM_KIND_TYP {
    const char* name;         // "MEM", "MEM32"
    short bits;               // 24 or 32: the addresses its registers take
    short count;              // its register sets
    const WIDTH_TYP* widths;  // ORDER: tested in this order; ends with a null word
    unsigned char width_mask;  // control bits a width keyword replaces
};

// A 24-bit memory base or limit: the token's value, cut to the record's 16 bits (address bits
// 23..8), with a warning when that changes it. 1, or 0 with the conversion's error queued.
short token_value16(unsigned long* out, const char* what) {
    long value;
    if (!token_value(&value)) return 0;
    *out = (unsigned short)value;
    warn_cut(value, 0xFFFF, *out, 4, what, " (address bits 23..8)");
    return 1;
}

// The current token as a base or limit of kind. 1, or 0 with the conversion's error queued.
short mem_value(const MEM_KIND_TYP& kind, unsigned long* out, const char* what) {
    return kind.bits == 32 ? token_value32(out, what) : token_value16(out, what);
}

// Descriptor k of kind of dev, in the wider record.
MEM32_DESC mem_get(const MEM_KIND_TYP& kind, short k) {
    if (kind.bits == 32) return dev->mem32[k];
    const MEM_DESC& m = dev->mem[k];
    return MEM32_DESC{m.base, m.control, m.limit};
}

// Descriptor k of kind into dev and out to its registers.
void mem_put(const MEM_KIND_TYP& kind, short k, const MEM32_DESC& w) {
    if (kind.bits == 32) {
        dev->mem32[k] = w;
        writeINTU4(pnp_mem32_base(k), w.base);
        writereg_PNP(pnp_mem32_control(k), w.control);
        writeINTU4(pnp_mem32_limit(k), w.limit);
        return;
    }
    MEM_DESC& m = dev->mem[k];
    m.base = (unsigned short)w.base;
    m.control = w.control;
    m.limit = (unsigned short)w.limit;
    writeINTU2(pnp_mem_base(k), m.base);
    writereg_PNP(pnp_mem_control(k), m.control);
    writeINTU2(pnp_mem_limit(k), m.limit);
}

const WIDTH_TYP mem24_widths[] = {{"8BIT", 0}, {"16BIT", PNP_MEM_16BIT}, {nullptr, 0}};
const WIDTH_TYP mem32_widths[] = {
    {"8BIT", 0}, {"16BIT", PNP_MEM32_16BIT}, {"32BIT", PNP_MEM32_32BIT}, {nullptr, 0}};
const MEM_KIND_TYP mem24 = {"MEM", 24, PNP_MEM_DESCS, mem24_widths, PNP_MEM_16BIT};
const MEM_KIND_TYP mem32 = {"MEM32", 32, PNP_MEM32_DESCS, mem32_widths, PNP_MEM32_WIDTH};

// The current token as a word of an IRQ type (by abbreviation): a polarity (HIGH, LOW) sets
// the polarity bit of *type, a trigger (EDGE, LEVEL) its trigger bit, as the row with that word
// has it; polarities are tried first, so "L" is LOW. 1, or 0 when it is no such word.
short irq_type_word(unsigned char* type) {
    for (const RES_IRQ_TYPE& row : res_irq_type_table)
        if (WC::streq(P.token, row.polarity)) {
            *type = (unsigned char)((*type & ~PNP_IRQ_HIGH) | (row.type & PNP_IRQ_HIGH));
            return 1;
        }
    for (const RES_IRQ_TYPE& row : res_irq_type_table)
        if (WC::streq(P.token, row.trigger)) {
            *type = (unsigned char)((*type & ~PNP_IRQ_LEVEL_TRIGGERED) | (row.type & PNP_IRQ_LEVEL_TRIGGERED));
            return 1;
        }
    return 0;
}

// 1 when the current token is CLEAR (abbreviation): the setter writes its empty state.
short is_clear() { return WC::streq(P.token, "CLEAR"); }

// DEVICE SET MEM and MEM32 after the keyword: "n base limit [width]" or CLEAR, in the common
// shape of the setters (below). Without a width keyword the descriptor gets none of the width
// bits; bit 0 (how the card decodes) is kept from the record.
void set_memory(const MEM_KIND_TYP& kind) {
    MEM32_DESC work[PNP_MEM_DESCS > PNP_MEM32_DESCS ? PNP_MEM_DESCS : PNP_MEM32_DESCS] = {};
    for (short k = 0; k < kind.count; k++) work[k].control = mem_get(kind, k).control & PNP_MEM_UPPER_LIMIT;
    long n = -1;
    if (!need_token()) return;
    if (!is_clear()) {
        if (!descriptor((unsigned long)kind.count - 1, &n)) return;
        unsigned long base, limit;
        char what[24];
        snprintf(what, sizeof what, "%s base", kind.name);
        if (!need_token() || !mem_value(kind, &base, what)) return;
        if (!next_token()) return;  // no limit: nothing to write, and no error
        snprintf(what, sizeof what, "%s limit", kind.name);
        if (!mem_value(kind, &limit, what)) return;
        MEM32_DESC& m = work[n];
        m.base = base;
        m.limit = limit;
        if (next_token()) {
            const WIDTH_TYP* w = kind.widths;
            while (w->word && !WC::streq(P.token, w->word)) w++;
            if (!w->word) {
                set_errhdl(ERR_SETTINGS);
                return;
            }
            m.control = (unsigned char)((m.control & ~kind.width_mask) | w->bits);
        }
    }
    if (n >= 0) check_mem(kind.bits, (short)n, work[n]);
    if (!write_allowed()) return;
    for (short k = 0; k < kind.count; k++) {
        if (n >= 0 && n != k) continue;
        if (mem_get(kind, k).base == 0 && work[k].base == 0) continue;
        mem_put(kind, k, work[k]);
    }
}

}  // namespace

short valid_DEVICE() { return inited; }

void writeINTU2(short reg, unsigned short value) {
    writereg_PNP(reg, value >> 8);
    writereg_PNP(reg + 1, value & 0xFF);
}

namespace {

// Turns configuration mode on: key, read port, Wake[PNP_csn], Logical Device Number PNP_device.
// Does nothing while the mode is on. card is the record at PNP_csn_idx, resolved only when that
// record is in use and PNP_csn names a card of the table; dev only when PNP_device is below the
// card's device count. SET refuses to run without them, so it never reaches past a device array.
void beg_DEVICE() {
    if (inited) return;
    warn_kernel_pnp_once();
    host_forget();  // the host's files are read again for this configuration, once
    defaultport_PNP(Uport);
    initkey_PNP();
    setrdport_PNP();
    card = nullptr;
    dev = nullptr;
    if (findcard_PNP(PNP_csn) >= 0) card = usedcard_PNP(PNP_csn_idx);
    wake_PNP(PNP_csn);
    if (card && card->devs && PNP_device >= 0 && PNP_device < card->ndevs) dev = &card->devs[PNP_device];
    warnings_for_device(dev ? card : nullptr, PNP_device);
    logdev_PNP(PNP_device);
    inited = 1;
}

}  // namespace

// Without port permission the mode can never be on: clean-up then sends nothing.
void end_DEVICE() {
    if (!inited) return;
    waitforkey_PNP();
    drop_DEVICE();
}

void drop_DEVICE() {
    inited = 0;
    card = nullptr;
    dev = nullptr;
    warnings_drop();
}

namespace {

// The resource setters run from exec_set with dev resolved and the token after their keyword
// still to be read. Each builds a working copy of all its descriptors and parses the whole line
// before the write pass, so a refused line writes nothing. The write pass leaves a descriptor
// alone when both the record and the working copy hold its empty value; every other descriptor
// it copies into the record and writes out, register by register.

// DEVICE SET MEM n base limit [8BIT|16BIT] | DEVICE SET MEM CLEAR
void mem_USR() { set_memory(mem24); }

// DEVICE SET MEM32 n base limit [8BIT|16BIT|32BIT] | DEVICE SET MEM32 CLEAR
void mem32_USR() { set_memory(mem32); }

// DEVICE SET IOPORT port [, port ...] | DEVICE SET IOPORT CLEAR   at most 8 ports; the ports
// not named are cleared, so the command sets the whole list.
void ioport_USR() {
    unsigned short work[PNP_IO_DESCS] = {};
    if (!need_token()) return;
    if (!is_clear()) {
        short count = 0;
        for (;;) {
            long value;
            if (!token_value(&value)) return;
            if (count >= PNP_IO_DESCS) {
                set_errhdl(ERR_SETTINGS);
                return;
            }
            warn_cut(value, 0xFFFF, (unsigned short)value, 4, "I/O port", nullptr);
            work[count++] = (unsigned short)value;
            if (!next_token() || is_comment()) break;
            if (strcmp(P.token, ",") != 0) {
                set_errhdl(ERR_SETTINGS);
                return;
            }
            if (!need_token()) return;
            if (is_comment()) break;
        }
    }
    for (short k = 0; k < PNP_IO_DESCS; k++) check_io(k, work[k]);
    if (!write_allowed()) return;
    for (short k = 0; k < PNP_IO_DESCS; k++) {
        if (dev->io[k] == 0 && work[k] == 0) continue;
        dev->io[k] = work[k];
        writeINTU2(pnp_io_base(k), work[k]);
    }
}

// DEVICE SET IRQ n level [HIGH|LOW] [LEVEL|EDGE] | DEVICE SET IRQ CLEAR
void irq_USR() {
    IRQ_DESC work[PNP_IRQ_DESCS] = {};
    long n = -1;
    if (!need_token()) return;
    if (!is_clear()) {
        long level;
        if (!descriptor_and_value(PNP_IRQ_DESCS - 1, &n, &level)) return;
        IRQ_DESC& q = work[n];
        warn_level(level, PNP_IRQ_LEVELS - 1, PNP_IRQ_LEVEL_MASK, -1, "IRQ", "IRQ");
        q.level = (unsigned char)level;
        while (next_token() && !is_comment()) {
            if (!irq_type_word(&q.type)) {
                set_errhdl(ERR_SETTINGS);
                return;
            }
        }
    }
    if (n >= 0) check_irq((short)n, work[n]);
    if (!write_allowed()) return;
    for (short k = 0; k < PNP_IRQ_DESCS; k++) {
        if (n >= 0 && n != k) continue;
        if (dev->irq[k].level == 0 && work[k].level == 0) continue;
        dev->irq[k] = work[k];
        writereg_PNP(pnp_irq_level(k), work[k].level);
        writereg_PNP(pnp_irq_type(k), work[k].type);
    }
}

// DEVICE SET DMA n channel | DEVICE SET DMA CLEAR   channel 4 means none
void dma_USR() {
    unsigned char work[PNP_DMA_DESCS] = {PNP_DMA_NONE, PNP_DMA_NONE};
    long n = -1;
    if (!need_token()) return;
    if (!is_clear()) {
        long channel;
        if (!descriptor_and_value(PNP_DMA_DESCS - 1, &n, &channel)) return;
        warn_level(channel, PNP_DMA_CHANNELS - 1, PNP_DMA_CHANNEL_MASK, PNP_DMA_NONE, "DMA", "channel");
        work[n] = (unsigned char)channel;
    }
    if (n >= 0) check_dma((short)n, work[n]);
    if (!write_allowed()) return;
    for (short k = 0; k < PNP_DMA_DESCS; k++) {
        if (n >= 0 && n != k) continue;
        if (dev->dma[k] == PNP_DMA_NONE && work[k] == PNP_DMA_NONE) continue;
        dev->dma[k] = work[k];
        writereg_PNP(pnp_dma_channel(k), work[k]);
    }
}

// DEVICE SET ACTIVE | DEVICE SET INACTIVE
// A device with its I/O range check on (bit 0 or the standard's enable bit 1 of the captured
// register) would answer its own check pattern on the bus: the check is turned off first.
void device_USR(unsigned short on) {
    if (on) {
        if (dev->rangecheck & (PNP_RANGE_CHECK_PATTERN | PNP_RANGE_CHECK_ENABLE))
            writereg_PNP(PNP_IO_RANGE_CHECK, 0x00);
        dev->activate = PNP_ACTIVATE_ON;
        writereg_PNP(PNP_ACTIVATE, PNP_ACTIVATE_ON);
    } else {
        dev->activate = 0;
        writereg_PNP(PNP_ACTIVATE, 0x00);
    }
}

void active_USR() { device_USR(1); }
void inactive_USR() { device_USR(0); }

// ORDER: the keywords are tested in this order, exactly (any case). values: values or CLEAR
// follow the keyword.
const struct {
    const char* word;
    void (*run)();
    short values;
} setters[] = {
    {"MEM", mem_USR, 1}, {"MEM32", mem32_USR, 1},   {"IOPORT", ioport_USR, 1},     {"IRQ", irq_USR, 1},
    {"DMA", dma_USR, 1}, {"ACTIVE", active_USR, 0}, {"INACTIVE", inactive_USR, 0},
};

// DEVICE SET {MEM|MEM32|IOPORT|IRQ|DMA} ... | DEVICE SET {ACTIVE|INACTIVE}
void exec_set() {
    if (!testcsn_PNP(1) || !testdev_PNP(1)) return;
    if (!valid_DEVICE()) {
        set_errhdl(ERR_SETTINGS);
        return;
    }
    if (!card || !dev) {  // BEGIN found no card or device in use for the selection
        set_errhdl(ERR_DEVICE);
        set_errdetail(": DEVICE BEGIN found no card or logical device in use to set");
        return;
    }
    if (!need_token()) return;
    warnings_new_line();
    for (const auto& s : setters) {
        if (strcasecmp(P.token, s.word) != 0) continue;
        s.run();
        return;
    }
    set_errhdl(ERR_SETTINGS);
}

}  // namespace

const char* device_set_word(short k, short* values) {
    if (k < 0 || k >= (short)(sizeof setters / sizeof setters[0])) return nullptr;
    if (values) *values = setters[k].values;
    return setters[k].word;
}

const char* device_width_word(const char* resource, short k) {
    const MEM_KIND_TYP* kind = !resource                               ? nullptr
                               : strcasecmp(resource, mem24.name) == 0 ? &mem24
                               : strcasecmp(resource, mem32.name) == 0 ? &mem32
                                                                       : nullptr;
    for (short i = 0; kind && kind->widths[i].word; i++)
        if (i == k) return kind->widths[i].word;
    return nullptr;
}

// DEVICE BEGIN | DEVICE END | DEVICE SET ...
short exec_device() {
    if (strcasecmp(P.token, "DEVICE") != 0 && strcasecmp(P.token, "DEV") != 0) return 0;
    if (!next_token()) {
        set_errhdl(ERR_SETTINGS);
        return 1;
    }
    void (*action)() = nullptr;
    if (WC::streq(P.token, "BEGIN"))
        action = beg_DEVICE;
    else if (WC::streq(P.token, "END"))
        action = end_DEVICE;
    else if (WC::streq(P.token, "SET"))
        action = exec_set;
    if (!action) {
        set_errhdl(ERR_SETTINGS);
        return 1;
    }
    if (ports_PNP()) action();
    return 1;
}

// TEST   a fixed sequence for logical device 2 of CSN 1
short test_USR() {
    if (strcasecmp(P.token, "TEST") != 0) return 0;
    if (!ports_PNP()) return 1;
    PNP_csn = 1;
    PNP_csn_idx = 0;
    PNP_device = 2;
    initkey_PNP();
    setrdport_PNP();
    wake_PNP(1);
    logdev_PNP(2);
    writeINTU2(pnp_io_base(0), 0x0201);
    writereg_PNP(PNP_ACTIVATE, PNP_ACTIVATE_ON);
    waitforkey_PNP();
    drop_DEVICE();  // every card is back in Wait for Key: configuration mode is over
    return 1;
}
