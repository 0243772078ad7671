// The Plug and Play ISA resource data format, in one place: the item names, their labels, the
// bits of the descriptors' information bytes, the IRQ types, an iterator over the items of
// stored data, and the EISA ID as text. Every reader of resource data walks it with this
// iterator; the loader that reads it from the card a byte at a time uses the same names and the
// same length rule. Nothing here prints, allocates or touches a port.
//
// An item is small (tag bit 7 clear: the name in bits 6..3, the data length 0..7 in bits 2..0)
// or large (tag bit 7 set: the name in bits 6..0, then a 16-bit little-endian data length).
// The End item is the one exception to its length bits: a card always sends one checksum byte
// after its tag, and the loader always stores it, whatever the length bits say.
#ifndef VELKOR_PNP_RESOURCE_ITEMS_H
#define VELKOR_PNP_RESOURCE_ITEMS_H

#include <cstddef>

// The tag byte.
enum RES_TAG_BITS {
    RES_TAG_LARGE = 0x80,       // a large item
    RES_SMALL_NAME_SHIFT = 3,   // small item: name in bits 6..3
    RES_SMALL_NAME_MASK = 0x0F,
    RES_SMALL_LENGTH = 0x07,    // small item: data length in bits 2..0
    RES_LARGE_NAME_MASK = 0x7F, // large item: name in bits 6..0
    RES_LARGE_HEADER = 3,       // large item: the tag and two length bytes
};

// The small item names.
enum RES_SMALL_NAME {
    RES_SMALL_NAME0 = 0x0,  // no item of the standard
    RES_PNP_VERSION = 0x1,
    RES_LOGICAL_DEVICE_ID = 0x2,
    RES_COMPATIBLE_ID = 0x3,
    RES_IRQ_FORMAT = 0x4,
    RES_DMA_FORMAT = 0x5,
    RES_START_DEPENDENT = 0x6,
    RES_END_DEPENDENT = 0x7,
    RES_IO_PORT = 0x8,
    RES_FIXED_IO_PORT = 0x9,
    // 0xA..0xD are reserved
    RES_SMALL_VENDOR = 0xE,
    RES_END = 0xF,
    RES_SMALL_NAMES = 16,
};

// The large item names; every name above RES_LARGE_LAST_KNOWN is reserved.
enum RES_LARGE_NAME {
    RES_LARGE_NAME0 = 0x0,  // no item of the standard
    RES_MEM_RANGE = 0x1,    // 24-bit memory range
    RES_ANSI_STRING = 0x2,  // identifier string (ANSI)
    RES_UNICODE_STRING = 0x3,
    RES_LARGE_VENDOR = 0x4,
    RES_MEM32_RANGE = 0x5,
    RES_FIXED_MEM32_RANGE = 0x6,
    RES_LARGE_LAST_KNOWN = 0x6,
};

// Bits of the descriptors' information bytes.
enum RES_INFO_BIT {
    // I/O port descriptor
    RES_IO_16BIT_DECODE = 0x01,  // decodes 16 address bits (else 10)
    // IRQ format: the types offered
    RES_IRQ_HIGH_EDGE = 0x01,
    RES_IRQ_LOW_EDGE = 0x02,
    RES_IRQ_HIGH_LEVEL = 0x04,
    RES_IRQ_LOW_LEVEL = 0x08,
    RES_IRQ_TYPES = 0x0F,
    // DMA format flags bits 1..0: transfer type
    RES_DMA_TRANSFER = 0x03,
    RES_DMA_8BIT = 0x00,
    RES_DMA_8_16BIT = 0x01,
    RES_DMA_16BIT = 0x02,
    // Memory range descriptors (24-bit, 32-bit and fixed 32-bit alike)
    RES_MEM_WRITABLE = 0x01,       // RAM (else ROM)
    RES_MEM_CACHEABLE = 0x02,      // read cacheable, write-through
    RES_MEM_UPPER_LIMIT = 0x04,    // decodes an upper limit (else a range length)
    RES_MEM_WIDTH = 0x18,          // bits 4..3: the widths it supports
    RES_MEM_WIDTH_8 = 0x00,        //   8-bit only
    RES_MEM_WIDTH_16 = 0x08,       //   16-bit only
    RES_MEM_WIDTH_8_16 = 0x10,     //   8-bit and 16-bit
    RES_MEM_WIDTH_32 = 0x18,       //   32-bit only (32-bit descriptors; reserved in a 24-bit one)
    RES_MEM_SHADOWABLE = 0x20,
    RES_MEM_EXPANSION_ROM = 0x40,
};

// The name of a small item (tag bit 7 clear) from its tag.
inline unsigned char res_small_name(unsigned char tag) {
    return (unsigned char)(tag >> RES_SMALL_NAME_SHIFT & RES_SMALL_NAME_MASK);
}
// The data length a small item with this tag carries after it: its length bits, but 1 for the
// End item (its checksum) whatever they say.
short res_small_length(unsigned char tag);

// One item of stored resource data, as res_item_next finds it.
struct RES_ITEM {
    short large;                // 1: a large item
    unsigned char tag;          // its tag byte
    unsigned char name;         // RES_SMALL_NAME or RES_LARGE_NAME
    const unsigned char* data;  // its first data byte (null when no data byte is stored)
    long have;                  // data bytes stored
    long want;                  // data bytes its length asks for (End: 1)
    short length_bytes;         // large item: length bytes stored (0..2); small: 0
    short cut;                  // the data ends inside it: have < want, or length bytes missing
    long size;                  // bytes it takes in the data: tag, length bytes stored, have

    // Data byte i (from 0), 16-bit word and 32-bit value starting there, little-endian. A byte
    // that is not stored (past have, or i < 0) reads as 0: that is how the standard's optional
    // trailing bytes are absent.
    unsigned b(long i) const { return i >= 0 && i < have ? data[i] : 0; }
    unsigned w(long i) const { return b(i) | b(i + 1) << 8; }
    unsigned long l(long i) const { return w(i) | (unsigned long)w(i + 2) << 16; }
};

// An iterator over the items of len bytes of resource data at data (the bytes after the serial
// identifier). It never reads at or past data + len.
struct RES_ITEMS {
    const unsigned char* data;
    long len;
    long pos;    // where the next item starts
    short done;  // the End item or a cut item was given, or the data is used up
};

// Starts *it at the first item of data (null data or len <= 0: no items).
void res_items_start(RES_ITEMS* it, const unsigned char* data, long len);
// Gives the next item in *item: 1 when there is one, 0 when there are no more. The items end
// after the End item (what follows it is not read), after an item cut by the end of the data
// (a cut item is given, with cut set, and takes every byte left), or where the data ends.
short res_items_next(RES_ITEMS* it, RES_ITEM* item);

// The labels of an item: DUMP's and the saved card file's comment.
struct RES_LABEL {
    const char* dump;   // "ioport_TAG"
    const char* saved;  // "I/O port"
};
// The labels of an item by its tag byte. Never null: every small name has a row, and every
// large name above RES_LARGE_LAST_KNOWN shares the reserved row.
const RES_LABEL* res_label(unsigned char tag);

// The IRQ types, in the order of their information bits, which is the order they are offered
// and listed in.
struct RES_IRQ_TYPE {
    unsigned char info;      // RES_IRQ_HIGH_EDGE ...: its bit in the IRQ format's information byte
    unsigned char type;      // its Interrupt Type register value (PNP_IRQ_HIGH, PNP_IRQ_LEVEL_TRIGGERED)
    const char* polarity;    // DEVICE SET IRQ keywords: "HIGH" or "LOW"
    const char* trigger;     //   "EDGE" or "LEVEL"
    const char* keywords;    // both: "HIGH EDGE"
    const char* prose;       // "high-true edge"
    const char* dump;        // DUMP's label: "he"
};
enum { RES_IRQ_TYPE_COUNT = 4 };
extern const RES_IRQ_TYPE res_irq_type_table[RES_IRQ_TYPE_COUNT];
// The row of an Interrupt Type register value (bits other than PNP_IRQ_HIGH and
// PNP_IRQ_LEVEL_TRIGGERED are ignored). Never null.
const RES_IRQ_TYPE* res_irq_type_of(unsigned char type);
// The first row, in table order, whose information bit is in types; the high-true edge row
// when none is.
const RES_IRQ_TYPE* res_irq_type_first(unsigned char types);

// The EISA ID of 4 bytes (a vendor ID, a logical or compatible device ID) as the 7 characters
// the standard gives it and a NUL, in text (8 bytes): three letters from the compressed
// 5-bit codes, then four lower-case hexadecimal digits ("CTL00e4").
enum { RES_EISA_ID_SIZE = 8 };
void res_eisa_id_text(const unsigned char* id, char* text);

#endif
