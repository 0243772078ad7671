// Device configuration commands: DEVICE BEGIN/SET/END and TEST.
#include "app/device_config.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "app/host_checks.h"
#include "pnp/host_resources.h"
#include "pnp/isolation.h"
#include "pnp/resource_model.h"
#include "pnp/registers.h"
#include "pnp/state.h"
#include "script/expression.h"
#include "shell/errhdl.h"
#include "shell/parse.h"

namespace {

// Configuration mode: on (inited 1) from DEVICE BEGIN to DEVICE END. card and dev are the
// records resolved at BEGIN; null when BEGIN found no card or device in use.
short inited;
CARD_TYP* card;
DEVICE_TYP* dev;
// The card's resource data as read at BEGIN, and the device's part of it (null when the card
// was not loaded or the data holds no such device): what the device offers, for the warnings.
RES_CARD res_card;
const RES_DEVICE* res_dev;
short res_devno;

// The warnings of the SET being parsed, said on standard error just before its write pass, so
// that a refused line says none. Each is one line after "velkor: warning: ".
enum { SET_WARNINGS = 16, SET_WARNING_LEN = 256 };
char pending[SET_WARNINGS][SET_WARNING_LEN];
short npending;
// A value of the line was cut to fit its register: the cut is what the line is warned about,
// so its values are not checked against the device or the host.
short line_cut;

__attribute__((format(printf, 1, 2))) void warn_before_write(const char* fmt, ...) {
    if (npending >= SET_WARNINGS) return;
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(pending[npending++], SET_WARNING_LEN, fmt, ap);
    va_end(ap);
}

// The write pass is about to start: the warnings are said.
void say_warnings() {
    for (short k = 0; k < npending; k++) fprintf(stderr, "velkor: warning: %s\n", pending[k]);
    npending = 0;
}

// The host's use of what a SET writes, warned about before the write; nothing when the run has
// no host to look at. The texts name the holder and the host file.
void check_host_io(unsigned short base, unsigned short len) {
    const char* root = host_checks_root();
    char text[HOST_TEXT_SIZE];
    if (!root || base == 0) return;
    unsigned long hi = (unsigned long)base + (len ? len : 1) - 1;
    if (host_io_conflict(root, base, hi > 0xFFFF ? 0xFFFF : hi, text, sizeof text))
        warn_before_write("%s", text);
}

void check_host_irq(unsigned char level) {
    const char* root = host_checks_root();
    char text[HOST_TEXT_SIZE];
    if (root && level > 0 && level <= 15 && host_irq_conflict(root, level, text, sizeof text))
        warn_before_write("%s", text);
}

void check_host_dma(unsigned char channel) {
    const char* root = host_checks_root();
    char text[HOST_TEXT_SIZE];
    if (root && channel <= 7 && channel != PNP_DMA_NONE &&
        host_dma_conflict(root, channel, text, sizeof text))
        warn_before_write("%s", text);
}

// lo..hi are byte addresses.
void check_host_mem(unsigned long lo, unsigned long hi) {
    const char* root = host_checks_root();
    char text[HOST_TEXT_SIZE];
    if (root && lo != 0 && host_mem_conflict(root, lo, hi, text, sizeof text)) warn_before_write("%s", text);
}

// What the device's own resource data offers, warned about before the write. text is a
// query's answer: "offers no IRQ" is said as it stands, a list ("IRQ 5 7 9 10") after the value
// with its kind word (prefix) taken off.
void warn_not_offered(const char* value, const char* prefix, const char* text) {
    if (!strncmp(text, "offers", 6)) {
        warn_before_write("device %d (%s) %s", res_devno, res_dev->idtext, text);
        return;
    }
    size_t n = strlen(prefix);
    if (!strncmp(text, prefix, n) && text[n] == ' ') text += n + 1;
    warn_before_write("device %d (%s) %s is not among %s", res_devno, res_dev->idtext, value, text);
}

// The I/O base written to descriptor k: the device and the host. The host check covers the
// ports of the descriptor that allows it, or the single port.
void check_io(short k, unsigned short base) {
    if (line_cut) return;
    unsigned short len = 0;
    char text[HOST_TEXT_SIZE], value[16];
    if (base == 0) return;
    if (res_dev && !res_io_fits(res_dev, k, base, &len, text, sizeof text)) {
        snprintf(value, sizeof value, "I/O 0x%04X", base);
        warn_not_offered(value, "I/O", text);
    }
    check_host_io(base, len ? len : 1);
}

const char* const irq_type_names[4] = {"low-true edge", "low-true level", "high-true edge",
                                       "high-true level"};

void check_irq(short k, const IRQ_DESC& q) {
    if (line_cut) return;
    char text[HOST_TEXT_SIZE], value[16];
    if (q.level == 0) return;
    if (res_dev) {
        snprintf(value, sizeof value, "IRQ %u", q.level);
        // The type is judged once the level is one the device offers.
        if (!res_irq_fits(res_dev, k, q.level, text, sizeof text))
            warn_not_offered(value, "IRQ", text);
        else if (!res_irq_type_fits(res_dev, k, q.level, q.type, text, sizeof text))
            warn_before_write(
                "device %d (%s) %s is set %s, a type the device does not offer; %s gives one it does",
                res_devno, res_dev->idtext, value,
                irq_type_names[q.type & (PNP_IRQ_HIGH | PNP_IRQ_LEVEL_TRIGGERED)], text);
    }
    check_host_irq(q.level);
}

void check_dma(short k, unsigned char channel) {
    if (line_cut) return;
    char text[HOST_TEXT_SIZE], value[16];
    if (channel == PNP_DMA_NONE) return;
    if (res_dev && !res_dma_fits(res_dev, k, channel, text, sizeof text)) {
        snprintf(value, sizeof value, "DMA %u", channel);
        warn_not_offered(value, "DMA", text);
    }
    check_host_dma(channel);
}

// A memory descriptor as written: base and limit as the registers take them (a 24-bit value
// holds address bits 23..8), control bit 0 telling whether limit is the upper limit or the
// length. The host check covers base to the limit, or base and the length.
void check_mem(short bits, short k, const MEM32_DESC& m) {
    if (line_cut) return;
    char text[HOST_TEXT_SIZE], value[48];
    unsigned long len = 0;
    if (m.base == 0) return;
    unsigned long lo = bits == 32 ? m.base : (m.base & 0xFFFF) << 8;
    if (res_dev && !res_mem_fits(res_dev, bits, k, m.base, &len, text, sizeof text)) {
        snprintf(value, sizeof value, bits == 32 ? "32-bit memory 0x%08lX" : "memory 0x%06lX", lo);
        warn_not_offered(value, bits == 32 ? "32-bit memory" : "memory", text);
    }
    unsigned long limit = bits == 32 ? m.limit : (m.limit & 0xFFFF) << 8;
    unsigned long hi;
    if (m.control & PNP_MEM_UPPER_LIMIT)
        hi = limit > lo ? (bits == 32 ? limit : limit - 1)
                        : lo;  // a 24-bit upper limit is the first address past
    else
        hi = lo + (limit ? limit : len ? len : 1) - 1;
    check_host_mem(lo, hi);
}

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
        line_cut |= checked < 0;
        if (checked < 0)
            warn_before_write("%s %ld does not fit its 32-bit register: 0x%08lX is written", what, checked,
                              *out);
        return 1;
    }
    unsigned long long v;
    if (s[0] == '0' && (s[1] == 'b' || s[1] == 'B'))
        v = strtoull(s + 2, nullptr, 2);
    else
        v = strtoull(s, nullptr, 0);
    *out = v > 0xFFFFFFFFull ? 0xFFFFFFFFul : (unsigned long)v;
    line_cut |= v > 0xFFFFFFFFull;
    if (v > 0xFFFFFFFFull)
        warn_before_write("%s 0x%llX does not fit its 32-bit register: 0x%08lX is written", what, v, *out);
    return 1;
}

// A value as the warnings show it: hexadecimal, or signed decimal when negative.
void value_text(long value, char* text, size_t n) {
    if (value < 0)
        snprintf(text, n, "%ld", value);
    else
        snprintf(text, n, "0x%lX", (unsigned long)value);
}

// A value that its register cuts: said before the write, with the byte or word written (what
// names the value, "I/O port"; bits is the register's width; the token is the value as typed).
// note is said after the register (null: nothing).
void warn_cut(long value, long max, unsigned long written, short digits, const char* what, const char* note) {
    if (value >= 0 && value <= max) return;
    line_cut = 1;
    char text[24];
    value_text(value, text, sizeof text);
    warn_before_write("%s %s does not fit its %d-bit register%s: 0x%0*lX is written", what, text, digits * 4,
                      note ? note : "", digits, written);
}

// An IRQ level or DMA channel outside what its register holds (0..max): the low byte is
// written, of which the card reads the low bits (mask); the value none (-1: no such value) means
// "no channel".
void warn_level(long value, long max, unsigned char mask, short none, const char* what, const char* unit) {
    if (value >= 0 && value <= max) return;
    line_cut = 1;
    unsigned char written = (unsigned char)value;
    unsigned char seen = written & mask;
    if (seen == none)
        warn_before_write("%s %ld is not 0 to %ld: 0x%02X is written, which the card reads as no channel",
                          what, value, max, written);
    else
        warn_before_write("%s %ld is not 0 to %ld: 0x%02X is written, which the card reads as %s %u", what,
                          value, max, written, unit, seen);
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
    const char* name;  // "MEM", "MEM32"
    short count;
    short (*convert)(unsigned long* out, const char* what);  // the current token as a base or limit
    const WIDTH_TYP* widths;                    // ORDER: tested in this order; ends with a null word
    unsigned char width_mask;                   // control bits a width keyword replaces
    MEM32_DESC (*get)(short k);                 // descriptor k of dev
    void (*put)(short k, const MEM32_DESC& m);  // into dev and out to the registers
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

MEM32_DESC get_mem(short k) {
    const MEM_DESC& m = dev->mem[k];
    return MEM32_DESC{m.base, m.control, m.limit};
}

void put_mem(short k, const MEM32_DESC& w) {
    MEM_DESC& m = dev->mem[k];
    m.base = (unsigned short)w.base;
    m.control = w.control;
    m.limit = (unsigned short)w.limit;
    writeINTU2(pnp_mem_base(k), m.base);
    writereg_PNP(pnp_mem_control(k), m.control);
    writeINTU2(pnp_mem_limit(k), m.limit);
}

MEM32_DESC get_mem32(short k) { return dev->mem32[k]; }

void put_mem32(short k, const MEM32_DESC& m) {
    dev->mem32[k] = m;
    writeINTU4(pnp_mem32_base(k), m.base);
    writereg_PNP(pnp_mem32_control(k), m.control);
    writeINTU4(pnp_mem32_limit(k), m.limit);
}

const WIDTH_TYP mem24_widths[] = {{"8BIT", 0}, {"16BIT", PNP_MEM_16BIT}, {nullptr, 0}};
const WIDTH_TYP mem32_widths[] = {
    {"8BIT", 0}, {"16BIT", PNP_MEM32_16BIT}, {"32BIT", PNP_MEM32_32BIT}, {nullptr, 0}};
const MEM_KIND_TYP mem24 = {"MEM",         PNP_MEM_DESCS, token_value16, mem24_widths,
                            PNP_MEM_16BIT, get_mem,       put_mem};
const MEM_KIND_TYP mem32 = {"MEM32",         PNP_MEM32_DESCS, token_value32, mem32_widths,
                            PNP_MEM32_WIDTH, get_mem32,       put_mem32};

// 1 when the current token is CLEAR (abbreviation): the setter writes its empty state.
short is_clear() { return WC::streq(P.token, "CLEAR"); }

// DEVICE SET MEM and MEM32 after the keyword: "n base limit [width]" or CLEAR, in the common
// shape of the setters (below). Without a width keyword the descriptor gets none of the width
// bits; bit 0 (how the card decodes) is kept from the record.
void set_memory(const MEM_KIND_TYP& kind) {
    MEM32_DESC work[PNP_MEM_DESCS > PNP_MEM32_DESCS ? PNP_MEM_DESCS : PNP_MEM32_DESCS] = {};
    for (short k = 0; k < kind.count; k++) work[k].control = kind.get(k).control & PNP_MEM_UPPER_LIMIT;
    long n = -1;
    if (!need_token()) return;
    if (!is_clear()) {
        if (!descriptor((unsigned long)kind.count - 1, &n)) return;
        unsigned long base, limit;
        char what[24];
        snprintf(what, sizeof what, "%s base", kind.name);
        if (!need_token() || !kind.convert(&base, what)) return;
        if (!next_token()) return;  // no limit: nothing to write, and no error
        snprintf(what, sizeof what, "%s limit", kind.name);
        if (!kind.convert(&limit, what)) return;
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
    if (n >= 0) check_mem(strcmp(kind.name, "MEM32") ? 24 : 32, (short)n, work[n]);
    say_warnings();
    for (short k = 0; k < kind.count; k++) {
        if (n >= 0 && n != k) continue;
        if (kind.get(k).base == 0 && work[k].base == 0) continue;
        kind.put(k, work[k]);
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
    defaultport_PNP(Uport);
    initkey_PNP();
    setrdport_PNP();
    card = nullptr;
    dev = nullptr;
    if (findcard_PNP(PNP_csn) >= 0) card = usedcard_PNP(PNP_csn_idx);
    wake_PNP(PNP_csn);
    if (card && card->devs && PNP_device >= 0 && PNP_device < card->ndevs) dev = &card->devs[PNP_device];
    res_dev = nullptr;
    if (dev && card->resdata && card->reslen > 0) {
        res_decode(card->resdata, card->reslen, &res_card);  // what a cut or odd card holds is kept
        if (PNP_device < res_card.ndevices) {
            res_dev = &res_card.devices[PNP_device];
            res_devno = PNP_device;
        }
    }
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
    res_dev = nullptr;
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
    say_warnings();
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
        warn_level(level, 15, 0x0F, -1, "IRQ", "IRQ");
        q.level = (unsigned char)level;
        while (next_token() && !is_comment()) {
            if (WC::streq(P.token, "HIGH"))
                q.type |= PNP_IRQ_HIGH;
            else if (WC::streq(P.token, "LOW"))
                q.type &= (unsigned char)~PNP_IRQ_HIGH;
            else if (WC::streq(P.token, "LEVEL"))
                q.type |= PNP_IRQ_LEVEL_TRIGGERED;
            else if (WC::streq(P.token, "EDGE"))
                q.type &= (unsigned char)~PNP_IRQ_LEVEL_TRIGGERED;
            else {
                set_errhdl(ERR_SETTINGS);
                return;
            }
        }
    }
    if (n >= 0) check_irq((short)n, work[n]);
    say_warnings();
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
        warn_level(channel, 7, 0x07, PNP_DMA_NONE, "DMA", "channel");
        work[n] = (unsigned char)channel;
    }
    if (n >= 0) check_dma((short)n, work[n]);
    say_warnings();
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

// DEVICE SET {MEM|MEM32|IOPORT|IRQ|DMA} ... | DEVICE SET {ACTIVE|INACTIVE}
void exec_set() {
    if (!testcsn_PNP(1) || !testdev_PNP(1)) return;
    if (!valid_DEVICE()) {
        set_errhdl(ERR_SETTINGS);
        return;
    }
    if (!card || !dev) {  // BEGIN found no card or device in use for the selection
        set_errhdl(ERR_DEVICE);
        return;
    }
    if (!need_token()) return;
    npending = 0;
    line_cut = 0;

    // ORDER: the keywords are tested in this order, exactly (any case).
    static const struct {
        const char* word;
        void (*run)();
    } setters[] = {
        {"MEM", mem_USR}, {"MEM32", mem32_USR}, {"IOPORT", ioport_USR}, {"IRQ", irq_USR}, {"DMA", dma_USR},
    };
    for (const auto& s : setters) {
        if (strcasecmp(P.token, s.word) != 0) continue;
        s.run();
        return;
    }
    if (strcasecmp(P.token, "ACTIVE") == 0)
        device_USR(1);
    else if (strcasecmp(P.token, "INACTIVE") == 0)
        device_USR(0);
    else
        set_errhdl(ERR_SETTINGS);
}

}  // namespace

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
