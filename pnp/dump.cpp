// Resource data decoding and dumps of cards and logical devices to outfp.
#include "pnp/dump.h"

#include <cstdio>

#include "pnp/registers.h"
#include "pnp/state.h"
#include "script/output.h"
#include "shell/errhdl.h"

namespace {

const char SEPARATOR[] = "  ---------------\n";

// Small-item labels, keyed by the tag byte masked with 0x78 (the item name shifted left by
// three). ORDER: one row per item name 0x0..0xF, then the end row.
struct STAG_ROW {
    unsigned char key;
    const char* label;
};
const STAG_ROW stags[] = {
    {0x00, "sunknown_TAG"}, {0x08, "pnpverno_TAG"}, {0x10, "logdevid_TAG"}, {0x18, "cmptdevid_TAG"},
    {0x20, "irq_TAG"},      {0x28, "dma_TAG"},      {0x30, "startdep_TAG"}, {0x38, "enddep_TAG"},
    {0x40, "ioport_TAG"},   {0x48, "fixedio_TAG"},  {0x50, "rsvdA_TAG"},    {0x58, "rsvdB_TAG"},
    {0x60, "rsvdC_TAG"},    {0x68, "rsvdD_TAG"},    {0x70, "svendor_TAG"},  {0x78, "end_TAG"},
    {0xFF, nullptr},
};
static_assert(sizeof stags / sizeof stags[0] == 17, "16 small-item names and the end row");

// Small-item keys the decoder acts on.
enum {
    K_PNPVER = 0x08,
    K_LOGDEVID = 0x10,
    K_CMPTDEVID = 0x18,
    K_IRQ = 0x20,
    K_DMA = 0x28,
    K_STARTDEP = 0x30,
    K_ENDDEP = 0x38,
    K_IOPORT = 0x40,
    K_FIXEDIO = 0x48,
    K_SVENDOR = 0x70,
    K_END = 0x78
};

// Large-item labels, indexed by the item name; names above 6 are shown as "lrsvd_TAG".
// ORDER: item names 0..6, then the end row.
const char* const ltags[] = {
    "lunknown_TAG", "mem_TAG",   "ansistr_TAG",    "unicodestr_TAG",
    "lvendor_TAG",  "mem32_TAG", "fixedmem32_TAG", nullptr,
};
static_assert(sizeof ltags / sizeof ltags[0] == 8, "7 large-item names and the end row");
enum { L_ANSISTR = 2, L_LAST_KNOWN = 6 };

// Labels of an IRQ type value (type & 3): edge/level, low/high.
const char* const irqtags[] = {"ld", "ll", "he", "hl"};

// 1 right after a separator line was printed, so a Logical Device ID item that follows does not
// print a second one.
short dashed;

const char* stag_label(unsigned key) {
    for (const STAG_ROW* row = stags; row->label; row++)
        if (row->key == key) return row->label;
    return "sunknown_TAG";
}

// The bytes of one item that lie inside the stored data. Data byte i (from 1) of an item that
// has fewer than i data bytes reads as 0: that is how the optional trailing bytes of the
// standard (the second flag byte of a Logical Device ID, the IRQ information byte) are absent.
struct ITEM_BYTES {
    const unsigned char* data;  // first data byte
    int have;                   // data bytes present (item length, or fewer when cut)
    unsigned d(int i) const { return i >= 1 && i <= have ? data[i - 1] : 0; }
    unsigned w(int i) const { return d(i) + 256 * d(i + 1); }
};

void print_bits(unsigned mask, int nbits) {
    fputs("( ", outfp);
    for (int bit = 0; bit < nbits; bit++)
        if (mask & (1u << bit)) fprintf(outfp, "%d ", bit);
    fputc(')', outfp);
}

// Prints the identifier in data bytes 1..4, and a blank.
void print_id(const ITEM_BYTES& b) {
    unsigned char id[4] = {(unsigned char)b.d(1), (unsigned char)b.d(2), (unsigned char)b.d(3),
                           (unsigned char)b.d(4)};
    fprintf(outfp, "%s ", devid_PNP(id));
}

// Prints the fields of a complete small item (key, length L, data bytes). Returns 1 when the
// item was the End tag.
short print_small_fields(unsigned key, int len, const ITEM_BYTES& b) {
    switch (key) {
    case K_PNPVER:
        fprintf(outfp, "%u.%u", b.d(1) >> 4, b.d(1) & 0xF);
        if (len > 1) fprintf(outfp, " - x%02X", b.d(2));
        break;
    case K_LOGDEVID:
        print_id(b);
        fprintf(outfp, " %s (0x3F-31 0=bootable)", binstring2((short)b.w(5)));
        break;
    case K_CMPTDEVID: print_id(b); break;
    case K_IRQ:
        print_bits(b.w(1), 16);
        if (len > 2) fprintf(outfp, " Sense: %s", binstring1((unsigned char)b.d(3)));
        break;
    case K_DMA:
        print_bits(b.d(1), 8);
        fprintf(outfp, " flg: %s", binstring1((unsigned char)b.d(2)));
        break;
    case K_STARTDEP:
        if (len == 0) break;
        switch (b.d(1)) {
        case 0: fputs("Good Cfg", outfp); break;
        case 1: fputs("Acceptable Cfg", outfp); break;
        case 2: fputs("Sub-optimal Cfg", outfp); break;
        default: fputs("Reserved", outfp); break;
        }
        break;
    case K_ENDDEP:
        fputs("\n  --------------- ", outfp);
        dashed = 1;
        break;
    case K_IOPORT:
        fprintf(outfp, "%d bits", (b.d(1) & 1) ? 16 : 10);
        fprintf(outfp, " x%04X-", b.w(2));
        fprintf(outfp, "x%04X", b.w(4));
        fprintf(outfp, " Align: x%02X", b.d(6));
        fprintf(outfp, " Len: %u", b.d(7));
        break;
    case K_FIXEDIO:
        fprintf(outfp, "10 bits x%04X", b.w(1));
        fprintf(outfp, " Len: %u", b.d(3));
        break;
    case K_SVENDOR:
        for (int i = 1; i <= len; i++) fprintf(outfp, "[x%02X] ", b.d(i));
        break;
    case K_END: fprintf(outfp, "checksum: x%02X", b.d(1)); return 1;
    default:  // name 0x0 and the reserved names have no decoding
        break;
    }
    return 0;
}

// The rows of a device dump. A row shows the descriptors first .. first+count-1 that are in
// use, after its label; with none in use it shows "none", and only when verbose.
struct DEVICE_ROW {
    const char* label;
    short first;
    short count;
    short (*used)(const DEVICE_TYP& d, short k);
    void (*print)(const DEVICE_TYP& d, short k);
};

short mem_used(const DEVICE_TYP& d, short k) { return d.mem[k].base != 0; }

void print_mem(const DEVICE_TYP& d, short k) {
    const MEM_DESC& m = d.mem[k];
    fprintf(outfp, "x%04X ", m.base);
    fputs((m.control & PNP_MEM_UPPER_LIMIT) ? "...." : "size", outfp);
    fprintf(outfp, " x%04X ", m.limit);
    fprintf(outfp, "(%02d-bit) ", (m.control & PNP_MEM_16BIT) ? 16 : 8);
}

short mem32_used(const DEVICE_TYP& d, short k) { return d.mem32[k].base != 0; }

void print_mem32(const DEVICE_TYP& d, short k) {
    const MEM32_DESC& m = d.mem32[k];
    fprintf(outfp, "x%08lX ", m.base & 0xFFFFFFFFul);
    fputs((m.control & PNP_MEM_UPPER_LIMIT) ? "...." : "size", outfp);
    fprintf(outfp, " x%08lX ", m.limit & 0xFFFFFFFFul);
    unsigned width_bits = m.control & PNP_MEM32_WIDTH;
    int width = width_bits == PNP_MEM32_32BIT ? 32 : width_bits == PNP_MEM32_16BIT ? 16 : 8;
    fprintf(outfp, "(%02d-bit) ", width);
}

short io_used(const DEVICE_TYP& d, short k) { return d.io[k] != 0; }

void print_io(const DEVICE_TYP& d, short k) { fprintf(outfp, "0x%04X ", d.io[k]); }

short irq_used(const DEVICE_TYP& d, short k) { return d.irq[k].level != 0; }

void print_irq(const DEVICE_TYP& d, short k) {
    fprintf(outfp, "%d (%s)", d.irq[k].level, irqtags[d.irq[k].type & 3]);
}

short dma_used(const DEVICE_TYP& d, short k) { return d.dma[k] != PNP_DMA_NONE; }

void print_dma(const DEVICE_TYP& d, short k) { fprintf(outfp, "%d", d.dma[k]); }

// ORDER: printed in this order; each DMA channel is a row of its own.
const DEVICE_ROW device_rows[] = {
    {"MEM", 0, PNP_MEM_DESCS, mem_used, print_mem},
    {"MEM32", 0, PNP_MEM32_DESCS, mem32_used, print_mem32},
    {"I/O Port", 0, PNP_IO_DESCS, io_used, print_io},
    {"IRQ", 0, PNP_IRQ_DESCS, irq_used, print_irq},
    {"DMA0", 0, 1, dma_used, print_dma},
    {"DMA1", 1, 1, dma_used, print_dma},
};
static_assert(PNP_DMA_DESCS == 2, "one DMA row per channel");

// The record at index when it holds a card; otherwise null with 1002 queued.
const CARD_TYP* card_to_dump(short index) {
    const CARD_TYP* card = usedcard_PNP(index);
    if (!card) set_errhdl(ERR_DEVICE);
    return card;
}

// Prints one row; its label stands right-aligned in 12 columns, as every label of the dump.
void print_row(const DEVICE_ROW& row, const DEVICE_TYP& d) {
    short shown = 0;
    for (short k = row.first; k < row.first + row.count; k++) {
        if (!row.used(d, k)) continue;
        if (!shown++) fprintf(outfp, "%12s: ", row.label);
        row.print(d, k);
    }
    if (shown)
        fputc('\n', outfp);
    else if (verbose)
        fprintf(outfp, "%12s: none\n", row.label);
}

}  // namespace

// Prints one small item. An item cut short by the end of the stored data shows the data bytes
// that are there as "[xNN] " and "(cut: H of L data bytes)"; nothing past *left is read.
void parse_shortTAG(unsigned char** cursor, short* left) {
    if (*left <= 0) return;
    const unsigned char* item = *cursor;
    unsigned tag = item[0];
    unsigned key = tag & 0x78;
    int len = tag & 7;
    int avail = *left - 1;  // data bytes stored after the tag
    if (avail < 0) avail = 0;
    // The End item's one data byte is its checksum, stored after the tag whatever its length
    // bits say: the loader always reads it.
    int need = key == K_END ? 1 : len;
    short cut = need > avail;
    ITEM_BYTES b = {item + 1, cut ? avail : need};

    if (!dashed && key == K_LOGDEVID) {
        fputs(SEPARATOR, outfp);
        dashed = 1;
    } else {
        dashed = 0;
    }
    fprintf(outfp, "  %-15.15s  ", stag_label(key));
    if (verbose) fprintf(outfp, "(x%02X) [%3d] ", (tag >> 3) & 0xF, len);

    short end = 0;
    if (cut) {
        for (int i = 1; i <= b.have; i++) fprintf(outfp, "[x%02X] ", b.d(i));
        fprintf(outfp, "(cut: %d of %d data bytes)", b.have, need);
        end = key == K_END;
    } else {
        end = print_small_fields(key, len, b);
    }
    fputc('\n', outfp);

    if (end) {
        // End tag: the dump stops here, whatever data may follow it.
        *cursor += 1;
        *left = 0;
        return;
    }
    int step = cut ? b.have + 1 : len + 1;
    *cursor += step;
    *left = (short)(*left - step);
}

// Prints one large item. Only the ANSI identifier string has its data shown. An item cut short
// by the end of the stored data is marked "(cut: H of L data bytes)", or "(cut: H of 2 length
// bytes)" when even its length is incomplete; nothing past *left is read.
void parse_longTAG(unsigned char** cursor, short* left) {
    if (*left <= 0) return;
    const unsigned char* item = *cursor;
    unsigned name = item[0] & 0x7F;
    int hdr = *left - 1 < 2 ? (*left - 1 < 0 ? 0 : *left - 1) : 2;  // length bytes stored
    unsigned len = (hdr > 0 ? item[1] : 0) + 256u * (hdr > 1 ? item[2] : 0);
    long avail = hdr < 2 ? 0 : *left - 3;  // data bytes stored after the header
    short cut = hdr < 2 || (long)len > avail;
    long have = cut ? avail : (long)len;
    short trailing_blank = 1;  // the last text printed ends with a blank

    if (name > L_LAST_KNOWN) {
        fprintf(outfp, "  %-15.15s* ", "lrsvd_TAG");
        if (verbose) {
            fprintf(outfp, " [x%04X-%u]", name, len);
            trailing_blank = 0;
        }
    } else {
        fprintf(outfp, "  %-15.15s* ", ltags[name]);
        if (verbose) fprintf(outfp, "[%04X-%u] ", name, len);
        if (name == L_ANSISTR) {
            fputc('"', outfp);
            for (long i = 0; i < have; i++) fputc(item[3 + i], outfp);
            fputc('"', outfp);
            trailing_blank = 0;
        }
    }
    if (cut) {
        if (!trailing_blank) fputc(' ', outfp);
        if (hdr < 2)
            fprintf(outfp, "(cut: %d of 2 length bytes)", hdr);
        else
            fprintf(outfp, "(cut: %ld of %u data bytes)", have, len);
    }
    fputc('\n', outfp);

    long step = cut ? 1 + hdr + have : 3 + (long)len;
    *cursor += step;
    *left = (short)(*left - step);
}

short dumprcs_PNP(short index) {
    if (index == -1) index = PNP_csn_idx;
    const CARD_TYP* used = card_to_dump(index);
    if (!used) return 1;
    const CARD_TYP& card = *used;

    fprintf(outfp, "card[%02d]<%03d>: ", card.csn, card.ndevs);
    fprintf(outfp, "%.7s x%04X", card.vendor, card.serialno);
    if (verbose) {
        // The first two bytes of the vendor ID and of the serial number, each little-endian.
        unsigned vendor16 = card.serial[0] + 256u * card.serial[1];
        unsigned serial16 = card.serial[4] + 256u * card.serial[5];
        fprintf(outfp, " -> 0x%08X%08X", vendor16, serial16);
        fprintf(outfp, " (d=%d)", card.reslen);
        fprintf(outfp, "\n%16s", "");
        for (int i = 0; i < PNP_CARD_VENDOR_REGS; i++) fprintf(outfp, "%02X ", card.cardregs[i]);
    }
    fputc('\n', outfp);
    dashed = 1;
    fputs(SEPARATOR, outfp);

    unsigned char* cursor = card.resdata;
    short left = cursor ? card.reslen : 0;
    while (left > 0) {
        if (*cursor & 0x80)
            parse_longTAG(&cursor, &left);
        else
            parse_shortTAG(&cursor, &left);
    }
    if (!dashed) fputs(SEPARATOR, outfp);
    return 0;
}

short dumpdev_PNP(short devno, short index) {
    if (index < 0) index = PNP_csn_idx;
    const CARD_TYP* used = card_to_dump(index);
    if (!used) return 1;
    const CARD_TYP& card = *used;
    if (devno < 0) devno = PNP_device;
    if (devno < 0 || devno >= card.ndevs || !card.devs) {
        set_errhdl(ERR_DEVICE);
        return 1;
    }
    const DEVICE_TYP& d = card.devs[devno];

    fputs("  ===========\n", outfp);
    fprintf(outfp, "  Device %03d: %.7s ", devno, d.id);
    fputs((d.activate & PNP_ACTIVATE_ON) ? "(ACTIVE" : "(INACTIVE", outfp);
    if (verbose) fprintf(outfp, "-x%02X", d.activate);
    fputs(") ", outfp);
    if (verbose) fprintf(outfp, "RANGECHECK=x%02X", d.rangecheck);
    fputc('\n', outfp);

    for (const DEVICE_ROW& row : device_rows) print_row(row, d);

    if (verbose) {
        fprintf(outfp, "%12s: ", "Vendor");
        for (int i = 0; i < PNP_DEVICE_VENDOR_REGS; i++) fprintf(outfp, "%02X ", d.vendorregs[i]);
        fputc('\n', outfp);
    }
    fputs("  ===========\n", outfp);
    return 0;
}
