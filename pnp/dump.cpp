// Resource data decoding and dumps of cards and logical devices to outfp.
#include "pnp/dump.h"

#include <cstdio>

#include "pnp/registers.h"
#include "pnp/resource_items.h"
#include "pnp/state.h"
#include "script/output.h"
#include "shell/errhdl.h"

namespace {

const char SEPARATOR[] = "  ---------------\n";

// 1 right after a separator line was printed, so a Logical Device ID item that follows does not
// print a second one.
short dashed;

void print_bits(unsigned mask, int nbits) {
    fputs("( ", outfp);
    for (int bit = 0; bit < nbits; bit++)
        if (mask & (1u << bit)) fprintf(outfp, "%d ", bit);
    fputc(')', outfp);
}

// Prints the identifier in data bytes 0..3, and a blank.
void print_id(const RES_ITEM& b) {
    unsigned char id[4] = {(unsigned char)b.b(0), (unsigned char)b.b(1), (unsigned char)b.b(2),
                           (unsigned char)b.b(3)};
    char text[RES_EISA_ID_SIZE];
    res_eisa_id_text(id, text);
    fprintf(outfp, "%s ", text);
}

// Prints the fields of a whole small item (its length L, its data bytes). Returns 1 when the
// item was the End tag.
short print_small_fields(const RES_ITEM& b) {
    int len = b.tag & RES_SMALL_LENGTH;
    switch (b.name) {
    case RES_PNP_VERSION:
        fprintf(outfp, "%u.%u", b.b(0) >> 4, b.b(0) & 0xF);
        if (len > 1) fprintf(outfp, " - x%02X", b.b(1));
        break;
    case RES_LOGICAL_DEVICE_ID:
        print_id(b);
        fprintf(outfp, " %s (0x3F-31 0=bootable)", binstring2((short)b.w(4)));
        break;
    case RES_COMPATIBLE_ID: print_id(b); break;
    case RES_IRQ_FORMAT:
        print_bits(b.w(0), PNP_IRQ_LEVELS);
        if (len > 2) fprintf(outfp, " Sense: %s", binstring1((unsigned char)b.b(2)));
        break;
    case RES_DMA_FORMAT:
        print_bits(b.b(0), PNP_DMA_CHANNELS);
        fprintf(outfp, " flg: %s", binstring1((unsigned char)b.b(1)));
        break;
    case RES_START_DEPENDENT:
        if (len == 0) break;
        switch (b.b(0)) {
        case 0: fputs("Good Cfg", outfp); break;
        case 1: fputs("Acceptable Cfg", outfp); break;
        case 2: fputs("Sub-optimal Cfg", outfp); break;
        default: fputs("Reserved", outfp); break;
        }
        break;
    case RES_END_DEPENDENT:
        fputs("\n  --------------- ", outfp);
        dashed = 1;
        break;
    case RES_IO_PORT:
        fprintf(outfp, "%d bits", (b.b(0) & RES_IO_16BIT_DECODE) ? 16 : 10);
        fprintf(outfp, " x%04X-", b.w(1));
        fprintf(outfp, "x%04X", b.w(3));
        fprintf(outfp, " Align: x%02X", b.b(5));
        fprintf(outfp, " Len: %u", b.b(6));
        break;
    case RES_FIXED_IO_PORT:
        fprintf(outfp, "10 bits x%04X", b.w(0));
        fprintf(outfp, " Len: %u", b.b(2));
        break;
    case RES_SMALL_VENDOR:
        for (int i = 0; i < len; i++) fprintf(outfp, "[x%02X] ", b.b(i));
        break;
    case RES_END: fprintf(outfp, "checksum: x%02X", b.b(0)); return 1;
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
    fprintf(outfp, "%d (%s)", d.irq[k].level, res_irq_type_of(d.irq[k].type)->dump);
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
    if (!card) {
        set_errhdl(ERR_DEVICE);
        set_errdetail("%s", PNP_NO_CARD_DETAIL);
    }
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
    RES_ITEMS items;
    RES_ITEM b;
    res_items_start(&items, *cursor, *left);
    if (!res_items_next(&items, &b)) return;

    if (!dashed && b.name == RES_LOGICAL_DEVICE_ID) {
        fputs(SEPARATOR, outfp);
        dashed = 1;
    } else {
        dashed = 0;
    }
    fprintf(outfp, "  %-15.15s  ", res_label(b.tag)->dump);
    if (verbose) fprintf(outfp, "(x%02X) [%3d] ", b.name, b.tag & RES_SMALL_LENGTH);

    short end = 0;
    if (b.cut) {
        for (long i = 0; i < b.have; i++) fprintf(outfp, "[x%02X] ", b.b(i));
        fprintf(outfp, "(cut: %ld of %ld data bytes)", b.have, b.want);
        end = b.name == RES_END;
    } else {
        end = print_small_fields(b);
    }
    fputc('\n', outfp);

    if (end) {
        // End tag: the dump stops here, whatever data may follow it.
        *cursor += 1;
        *left = 0;
        return;
    }
    *cursor += b.size;
    *left = (short)(*left - b.size);
}

// Prints one large item. Only the ANSI identifier string has its data shown. An item cut short
// by the end of the stored data is marked "(cut: H of L data bytes)", or "(cut: H of 2 length
// bytes)" when even its length is incomplete; nothing past *left is read.
void parse_longTAG(unsigned char** cursor, short* left) {
    RES_ITEMS items;
    RES_ITEM b;
    res_items_start(&items, *cursor, *left);
    if (!res_items_next(&items, &b)) return;
    unsigned len = (unsigned)b.want;
    short trailing_blank = 1;  // the last text printed ends with a blank

    fprintf(outfp, "  %-15.15s* ", res_label(b.tag)->dump);
    if (b.name > RES_LARGE_LAST_KNOWN) {
        if (verbose) {
            fprintf(outfp, " [x%04X-%u]", b.name, len);
            trailing_blank = 0;
        }
    } else {
        if (verbose) fprintf(outfp, "[%04X-%u] ", b.name, len);
        if (b.name == RES_ANSI_STRING) {
            fputc('"', outfp);
            for (long i = 0; i < b.have; i++) fputc(b.data[i], outfp);
            fputc('"', outfp);
            trailing_blank = 0;
        }
    }
    if (b.cut) {
        if (!trailing_blank) fputc(' ', outfp);
        if (b.length_bytes < 2)
            fprintf(outfp, "(cut: %d of 2 length bytes)", b.length_bytes);
        else
            fprintf(outfp, "(cut: %ld of %u data bytes)", b.have, len);
    }
    fputc('\n', outfp);

    *cursor += b.size;
    *left = (short)(*left - b.size);
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
        if (*cursor & RES_TAG_LARGE)
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
        set_errdetail(": card %d has no logical device %d", (int)card.csn, (int)devno);
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
