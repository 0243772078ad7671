// The warnings of DEVICE SET: collected while a line is parsed, said before its write pass.
#include "app/write_warnings.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "app/host_checks.h"
#include "pnp/host_resources.h"
#include "pnp/io_decode.h"
#include "pnp/registers.h"
#include "pnp/resource_model.h"

namespace {

// The card's resource data as read at BEGIN, and the device's part of it (null when the card
// was not loaded or the data holds no such device): what the device offers, for the warnings.
RES_CARD res_card;
const RES_DEVICE* res_dev;
short res_devno;

// The warnings of the SET being parsed, said on standard error just before its write pass, so
// that a refused line says none. Each is one line after "velkor: warning: ".
// The most a line draws is an IOPORT line's: for each of its 8 values, not offered, the host's
// for the range, for each of the two pieces of its alias below 0x400, and the three PnP ports.
enum { IO_WARNINGS_MAX = 7, SET_WARNINGS = IO_WARNINGS_MAX * PNP_IO_DESCS, SET_WARNING_LEN = 256 };
char pending[SET_WARNINGS][SET_WARNING_LEN];
short npending;
long dropped;  // warnings that found the list full
// A value of the line was cut to fit its register: the cut is what the line is warned about,
// so its values are not checked against the device or the host.
short line_cut;

// The last port of len ports at base, within the I/O space.
unsigned long io_last(unsigned short base, unsigned short len) {
    unsigned long hi = (unsigned long)base + len - 1;
    return hi < PNP_IO_SPACE ? hi : PNP_IO_SPACE - 1;
}

// The host's use of what a SET writes, warned about before the write; nothing when the run has
// no host to look at. The texts name the holder and the host file.
void check_host_io(unsigned short base, unsigned short len) {
    const char* root = host_checks_root();
    char text[HOST_TEXT_SIZE];
    if (root && base != 0 && host_io_conflict(root, base, io_last(base, len ? len : 1), text, sizeof text))
        warn_before_write("%s", text);
}

// Ports lo..hi as the warnings show them, as the host's texts do: "0x0220-0x022F", or one port
// alone ("0x0279").
void ports_text(unsigned long lo, unsigned long hi, char* text, size_t n) {
    if (lo == hi)
        snprintf(text, n, "0x%04lX", lo);
    else
        snprintf(text, n, "0x%04lX-0x%04lX", lo, hi);
}

// A range that decodes 10 address bits also answers below 0x400, in the ISA bus's own space,
// where the host's ISA devices sit (above it PCI devices take their addresses before the ISA
// bus sees them, so the host is not asked about the aliases up there). The alias below 0x400
// runs from the low 10 bits of base; a range that crosses a 0x400 boundary wraps past 0x3FF to
// 0x000, so it comes in two pieces, checked each alone in that order. A piece that is the range
// itself (base below 0x400) has been checked already. range is the range as the warnings show it.
void check_host_alias(unsigned short base, unsigned short len, const char* range) {
    const char* root = host_checks_root();
    if (!root || len == 0) return;
    unsigned long lo[2], hi[2];
    short n = io_low_alias(base, len, lo, hi);
    for (short i = base < PNP_IO_ALIAS_STEP ? 1 : 0; i < n; i++) {
        char text[HOST_TEXT_SIZE];
        if (!host_io_conflict(root, lo[i], hi[i], text, sizeof text)) continue;
        const char* held = strncmp(text, "I/O ", 4) ? text : text + 4;  // "0x0220-0x022F is in use by ..."
        warn_before_write("I/O %s decodes 10 address bits: its alias %s", range, held);
    }
}

// No card may answer at the PnP ports: ADDRESS, WRITE_DATA and the READ_DATA port in use (when
// one is). Each port the range answers at is said, in that order: as the range's own, or (ten_bit)
// through the alias that holds it, shown as its ports within the I/O space.
void check_pnp_ports(unsigned short base, unsigned short len, short ten_bit, const char* range) {
    const struct {
        unsigned short port;
        const char* name;
    } ports[3] = {
        {PNP_ADDRESS, "ADDRESS"}, {PNP_WRITE_DATA, "WRITE_DATA"}, {(unsigned short)PNP_port, "READ_DATA"}};
    for (short i = 0; i < 3; i++) {
        unsigned short port = ports[i].port;
        short again = 0;  // a read port set on ADDRESS or WRITE_DATA is said once, as that
        for (short j = 0; j < i; j++) again |= ports[j].port == port;
        if (port == 0 || again || !io_range_answers(base, len, ten_bit, port)) continue;
        if (io_range_answers(base, len, 0, port)) {
            warn_before_write("I/O %s answers at the PnP %s port 0x%03X", range, ports[i].name, port);
            continue;
        }
        // The alias that holds port starts off ports below it (off < len), at 0 at the lowest.
        long off = (long)((port + PNP_IO_SPACE - base) & (PNP_IO_ALIAS_STEP - 1));
        long start = (long)port - off, last = start + len - 1;
        char alias[24];
        ports_text(start > 0 ? start : 0, last < PNP_IO_SPACE ? last : PNP_IO_SPACE - 1, alias, sizeof alias);
        warn_before_write("I/O %s decodes 10 address bits: its alias %s answers at the PnP %s port 0x%03X",
                          range, alias, ports[i].name, port);
    }
}

void check_host_irq(unsigned char level) {
    const char* root = host_checks_root();
    char text[HOST_TEXT_SIZE];
    if (root && level > 0 && level < PNP_IRQ_LEVELS && host_irq_conflict(root, level, text, sizeof text))
        warn_before_write("%s", text);
}

void check_host_dma(unsigned char channel) {
    const char* root = host_checks_root();
    char text[HOST_TEXT_SIZE];
    if (root && channel < PNP_DMA_CHANNELS && channel != PNP_DMA_NONE &&
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

}  // namespace

void check_io(short k, unsigned short base) {
    if (line_cut) return;
    char text[HOST_TEXT_SIZE], value[16], range[24];
    if (base == 0) return;
    if (res_dev && !res_io_fits(res_dev, k, base, nullptr, text, sizeof text)) {
        snprintf(value, sizeof value, "I/O 0x%04X", base);
        warn_not_offered(value, "I/O", text);
    }
    // The ports and decoding of the descriptor that allows base; a base none allows is the one
    // port, with all 16 bits.
    const RES_IO* io = res_dev ? res_io_allowing(res_dev, k, base) : nullptr;
    unsigned short len = io && io->len ? io->len : 1;
    short ten_bit = io && (io->fixed || !(io->info & RES_IO_16BIT_DECODE));
    ports_text(base, io_last(base, len), range, sizeof range);
    check_host_io(base, len);
    if (ten_bit) check_host_alias(base, len, range);
    check_pnp_ports(base, len, ten_bit, range);
}

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
                res_irq_type_of(q.type)->prose, text);
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

namespace {

// A value as the warnings show it: hexadecimal, or signed decimal when negative.
void value_text(long value, char* text, size_t n) {
    if (value < 0)
        snprintf(text, n, "%ld", value);
    else
        snprintf(text, n, "0x%lX", (unsigned long)value);
}

}  // namespace

void warn_cut(long value, long max, unsigned long written, short digits, const char* what, const char* note) {
    if (value >= 0 && value <= max) return;
    line_cut = 1;
    char text[24];
    value_text(value, text, sizeof text);
    warn_before_write("%s %s does not fit its %d-bit register%s: 0x%0*lX is written", what, text, digits * 4,
                      note ? note : "", digits, written);
}

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

void warnings_for_device(const CARD_TYP* card, short devno) {
    res_dev = nullptr;
    if (!card || !card->resdata || card->reslen <= 0 || devno < 0) return;
    res_decode(card->resdata, card->reslen, &res_card);  // what a cut or odd card holds is kept
    if (devno < res_card.ndevices) {
        res_dev = &res_card.devices[devno];
        res_devno = devno;
    }
}

void warnings_drop() { res_dev = nullptr; }

void warnings_new_line() {
    npending = 0;
    dropped = 0;
    line_cut = 0;
}

void warn_before_write(const char* fmt, ...) {
    if (npending >= SET_WARNINGS) {
        dropped++;
        return;
    }
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(pending[npending++], SET_WARNING_LEN, fmt, ap);
    va_end(ap);
}

long say_warnings() {
    for (short k = 0; k < npending; k++) fprintf(stderr, "velkor: warning: %s\n", pending[k]);
    if (dropped) fprintf(stderr, "velkor: warning: and %ld more\n", dropped);
    long said = npending + dropped;
    npending = 0;
    dropped = 0;
    return said;
}

void note_cut() { line_cut = 1; }
