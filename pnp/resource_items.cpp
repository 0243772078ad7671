// The resource data format: item names, labels, information bits, IRQ types, the item iterator
// and the EISA ID text.
#include "pnp/resource_items.h"

#include <cstdio>

#include "pnp/registers.h"

namespace {

// ORDER: one row per small item name 0x0..0xF.
const RES_LABEL small_labels[RES_SMALL_NAMES] = {
    {"sunknown_TAG", "Reserved small item"},
    {"pnpverno_TAG", "PnP version"},
    {"logdevid_TAG", "Logical device ID"},
    {"cmptdevid_TAG", "Compatible device ID"},
    {"irq_TAG", "IRQ"},
    {"dma_TAG", "DMA"},
    {"startdep_TAG", "Start dependent functions"},
    {"enddep_TAG", "End dependent functions"},
    {"ioport_TAG", "I/O port"},
    {"fixedio_TAG", "Fixed I/O port"},
    {"rsvdA_TAG", "Reserved small item"},
    {"rsvdB_TAG", "Reserved small item"},
    {"rsvdC_TAG", "Reserved small item"},
    {"rsvdD_TAG", "Reserved small item"},
    {"svendor_TAG", "Vendor defined"},
    {"end_TAG", "End tag"},
};

// ORDER: one row per large item name 0x0..RES_LARGE_LAST_KNOWN, then the row every reserved
// name shares.
const RES_LABEL large_labels[RES_LARGE_LAST_KNOWN + 2] = {
    {"lunknown_TAG", "Reserved large item"},
    {"mem_TAG", "24-bit memory range"},
    {"ansistr_TAG", "ANSI identifier string"},
    {"unicodestr_TAG", "Unicode identifier string"},
    {"lvendor_TAG", "Vendor defined"},
    {"mem32_TAG", "32-bit memory range"},
    {"fixedmem32_TAG", "32-bit fixed memory range"},
    {"lrsvd_TAG", "Reserved large item"},
};

}  // namespace

// ORDER: information bit order, which is the order the types are offered and listed in.
const RES_IRQ_TYPE res_irq_type_table[RES_IRQ_TYPE_COUNT] = {
    {RES_IRQ_HIGH_EDGE, PNP_IRQ_HIGH, "HIGH", "EDGE", "HIGH EDGE", "high-true edge", "he"},
    {RES_IRQ_LOW_EDGE, 0, "LOW", "EDGE", "LOW EDGE", "low-true edge", "ld"},
    {RES_IRQ_HIGH_LEVEL, PNP_IRQ_HIGH | PNP_IRQ_LEVEL_TRIGGERED, "HIGH", "LEVEL", "HIGH LEVEL", "high-true level",
     "hl"},
    {RES_IRQ_LOW_LEVEL, PNP_IRQ_LEVEL_TRIGGERED, "LOW", "LEVEL", "LOW LEVEL", "low-true level", "ll"},
};

short res_small_length(unsigned char tag) {
    if (res_small_name(tag) == RES_END) return 1;
    return (short)(tag & RES_SMALL_LENGTH);
}

void res_items_start(RES_ITEMS* it, const unsigned char* data, long len) {
    it->data = data;
    it->len = data && len > 0 ? len : 0;
    it->pos = 0;
    it->done = it->len == 0;
}

short res_items_next(RES_ITEMS* it, RES_ITEM* item) {
    if (it->done || it->pos >= it->len) {
        it->done = 1;
        return 0;
    }
    const unsigned char* at = it->data + it->pos;
    long left = it->len - it->pos;  // at least 1: the tag
    unsigned char tag = at[0];
    item->tag = tag;
    item->large = (tag & RES_TAG_LARGE) != 0;
    long header;
    if (item->large) {
        item->name = tag & RES_LARGE_NAME_MASK;
        item->length_bytes = (short)(left - 1 < 2 ? left - 1 : 2);
        item->want = (item->length_bytes > 0 ? at[1] : 0) | (item->length_bytes > 1 ? at[2] : 0) << 8;
        header = 1 + item->length_bytes;
    } else {
        item->name = res_small_name(tag);
        item->length_bytes = 0;
        item->want = res_small_length(tag);
        header = 1;
    }
    long stored = left - header;
    item->have = item->want <= stored ? item->want : stored;
    item->cut = item->have < item->want || (item->large && item->length_bytes < 2);
    item->data = item->have > 0 ? at + header : nullptr;
    item->size = header + item->have;
    it->pos += item->size;
    if (item->cut || (!item->large && item->name == RES_END)) it->done = 1;
    return 1;
}

const RES_LABEL* res_label(unsigned char tag) {
    if (!(tag & RES_TAG_LARGE)) return &small_labels[res_small_name(tag)];
    unsigned name = tag & RES_LARGE_NAME_MASK;
    return &large_labels[name <= RES_LARGE_LAST_KNOWN ? name : RES_LARGE_LAST_KNOWN + 1];
}

const RES_IRQ_TYPE* res_irq_type_of(unsigned char type) {
    for (const RES_IRQ_TYPE& row : res_irq_type_table)
        if (row.type == (type & (PNP_IRQ_HIGH | PNP_IRQ_LEVEL_TRIGGERED))) return &row;
    return &res_irq_type_table[0];  // not reached: the four rows cover both bits
}

const RES_IRQ_TYPE* res_irq_type_first(unsigned char types) {
    for (const RES_IRQ_TYPE& row : res_irq_type_table)
        if (types & row.info) return &row;
    return &res_irq_type_table[0];
}

void res_eisa_id_text(const unsigned char* id, char* text) {
    snprintf(text, RES_EISA_ID_SIZE, "%c%c%c%x%x%x%x", 64 + (id[0] >> 2), 64 + ((id[0] & 3) << 3 | id[1] >> 5),
             64 + (id[1] & 31), id[2] >> 4, id[2] & 15, id[3] >> 4, id[3] & 15);
}
