// One structured reading of a card's resource data: its logical devices, the resources each of
// them offers (the fixed ones and every dependent function's), and queries that say whether a
// register value is one the device offers. Nothing here prints, allocates or touches a port.
//
// Register order: the k-th descriptor of a kind (I/O, IRQ, DMA, 24-bit or 32-bit memory) of a
// configuration is the one its k-th register set takes. A configuration is one dependent
// function with the device's fixed resources, and its descriptors count in resource data order:
// the fixed ones before the first Start Dependent Function, then the function's, then the fixed
// ones after End Dependent Functions. So the k-th value of DEVICE SET IOPORT (I/O base register
// pair k) belongs to the k-th I/O descriptor, and DEVICE SET IRQ n to the n-th IRQ descriptor.
#ifndef VELKOR_PNP_RESOURCE_MODEL_H
#define VELKOR_PNP_RESOURCE_MODEL_H

#include <cstddef>

#include "pnp/registers.h"
#include "pnp/resource_items.h"

// Bounds. Real cards have up to 4 logical devices and 8 dependent functions. A set keeps as many
// descriptors of a kind as a device has registers for them (pnp/registers.h): a descriptor
// beyond those could not be configured anyway.
enum RES_BOUND {
    RES_MAX_DEVICES = 16,
    RES_MAX_FUNCTIONS = 16,
    RES_NAME_MAX = 64,  // an ANSI identifier string keeps at most 63 characters and a NUL
    RES_MAX_COMPAT = 8,  // compatible IDs kept a device (all are counted)
};

// The priority of a set: the fixed part, or a Start Dependent Function's priority byte (0..255;
// a Start Dependent Function without one is acceptable).
enum RES_PRIORITY { RES_FIXED = -1, RES_GOOD = 0, RES_ACCEPTABLE = 1, RES_SUBOPTIMAL = 2 };

// The word for a dependent function's priority, "good", "acceptable" or "sub-optimal" (RES_FIXED:
// "fixed"); null for a reserved value.
const char* res_priority_name(short priority);

// The kinds of descriptor, for res_count.
enum RES_KIND { RES_KIND_IO, RES_KIND_IRQ, RES_KIND_DMA, RES_KIND_MEM, RES_KIND_MEM32 };

// An I/O port descriptor: bases min..max in steps of align (0: min only), len ports. A fixed I/O
// descriptor has min = max = its base (as stored, bits 15..10 included), align 1 and info 0.
struct RES_IO {
    unsigned short min, max, align, len;
    unsigned char info;
    short fixed;
};
// An IRQ format: the levels of mask; info is the information byte when has_info is 1.
struct RES_IRQ {
    unsigned short mask;
    unsigned char info;
    short has_info;
};
// A DMA format: the channels of mask, and the flags byte.
struct RES_DMA {
    unsigned char mask, flags;
};
// A memory range descriptor, 24-bit or 32-bit, as byte addresses and byte counts (a 24-bit
// descriptor's min and max are its values shifted left by 8, its length its value times 256,
// its alignment 0 read as 0x10000). Bases min..max in steps of align (0: min only). A 32-bit
// fixed descriptor has min = max = its base, align 1 and fixed 1.
struct RES_MEM {
    unsigned long min, max, align, len;
    unsigned char info;
    short fixed;
};

// The descriptors of one part of a device, each kind in resource data order.
struct RES_SET {
    short priority;  // RES_PRIORITY
    RES_IO io[PNP_IO_DESCS];
    short nio;
    RES_IRQ irq[PNP_IRQ_DESCS];
    short nirq;
    RES_DMA dma[PNP_DMA_DESCS];
    short ndma;
    RES_MEM mem[PNP_MEM_DESCS];  // 24-bit memory ranges
    short nmem;
    RES_MEM mem32[PNP_MEM32_DESCS];  // 32-bit memory ranges, fixed ones too
    short nmem32;
};

// One logical device. common and after are both fixed resources that go with every dependent
// function; they are kept apart because the register order follows the resource data order. A
// device without dependent functions has everything in common.
struct RES_DEVICE {
    unsigned char id[4];      // its Logical Device ID
    char idtext[8];           // that ID as text, as DUMP shows it ("CTL0045", "PNPb02f")
    char name[RES_NAME_MAX];  // its first ANSI identifier string ("" when none)
    char compat[RES_MAX_COMPAT][RES_EISA_ID_SIZE];  // its Compatible Device IDs as text, in order
    short ncompat;
    short compat_seen;  // Compatible Device ID items of the device, kept or not
    RES_SET common;           // before the first Start Dependent Function
    RES_SET after;            // after End Dependent Functions
    RES_SET functions[RES_MAX_FUNCTIONS];
    short nfunctions;
    short functions_seen;  // Start Dependent Function items of the device, kept or not
};

// A card: its name (the ANSI identifier string before the first Logical Device ID) and its
// devices, devices[k] being the card's logical device number k. About 130 KB: keep it static.
struct RES_CARD {
    char name[RES_NAME_MAX];
    RES_DEVICE devices[RES_MAX_DEVICES];
    short ndevices;
    short devices_seen;  // Logical Device ID items, kept or not
    long truncated;   // items that had no room (those of a device or function that had none too)
    short cut;        // the data ended inside an item or before the End tag
    short malformed;  // an item of the wrong length, a resource outside a device, dependent
                      // functions not opened or closed as the standard lays out
};

// Reads len bytes of resource data (the bytes after the 9-byte serial identifier, up to the End
// tag; what follows End is not read) into *out, which is cleared first. No byte at or past
// data + len is read. Names are cut at a NUL byte and at RES_NAME_MAX - 1 characters, control
// characters read as '?'. An item shorter than its standard length reads its missing bytes as
// 0, as DUMP shows them; an item cut by the end of the data is left out. Returns 1 when the data
// was read whole and well formed (truncated may still count items that had no room); 0 when cut
// or malformed is set, with all that could be read kept.
short res_decode(const unsigned char* data, long len, RES_CARD* out);

// The configurations a device can take: its dependent functions, or 1 (the fixed resources
// alone) when it has none. Configuration f below that number is function f with the fixed
// resources, or the fixed resources alone.
short res_choices(const RES_DEVICE* dev);
// How many descriptors of kind (RES_KIND) configuration f has in all; 0 when f is out of range.
short res_count(const RES_DEVICE* dev, short f, short kind);
// The k-th descriptor (register order, see the top) of configuration f; null when there is none.
// res_mem_at takes bits 32 for the 32-bit memory descriptors, any other value for the 24-bit ones.
const RES_IO* res_io_at(const RES_DEVICE* dev, short f, short k);
const RES_IRQ* res_irq_at(const RES_DEVICE* dev, short f, short k);
const RES_DMA* res_dma_at(const RES_DEVICE* dev, short f, short k);
const RES_MEM* res_mem_at(const RES_DEVICE* dev, short bits, short f, short k);
// The IRQ types (RES_IRQ_HIGH_EDGE ...) a descriptor offers: its information byte's low four
// bits; high-true edge when it has no information byte or one that offers no type.
unsigned char res_irq_types(const RES_IRQ* irq);

// The queries. Each asks whether a value written to descriptor index of a kind is one the device
// offers there: the index-th descriptor of some configuration (index < 0: any descriptor of that
// kind) allows it. Each returns 1 when it does, 0 when not, and fills text (size bytes, NUL
// ended, cut to fit; nothing when text is null or size 0) with what the device offers there:
//   "offers no IRQ"                  no descriptor of the kind in any configuration
//   "offers only 1 IRQ descriptor"   some, but no configuration has an index-th one
//   or the list of what the index-th descriptors allow, as below.
// The value that means "not used" always fits: I/O base 0, IRQ level 0, DMA channel 4 (no
// channel), memory base 0.

// I/O base register pair: base within min..max at the alignment (a fixed descriptor: equal).
// *len (when not null) gets the port count of the first descriptor that allows it, else 0.
// Text: "I/O 0x0220-0x0280 step 0x20, 0x0388", each range once.
short res_io_fits(const RES_DEVICE* dev, short index, unsigned short base, unsigned short* len, char* text,
                  size_t size);
// The descriptor that allows an I/O base at index: the first that res_io_fits finds (configurations
// in order, the index-th descriptor of each, or every one when index < 0), the one whose port count
// it gives in *len. Null when none allows base, and for base 0 (not used). Its RES_IO_16BIT_DECODE
// information bit tells whether the card decodes 16 address bits there or 10 (a fixed descriptor,
// whose info is 0, always 10). Can't fail.
const RES_IO* res_io_allowing(const RES_DEVICE* dev, short index, unsigned short base);
// Interrupt level register: level in the mask. Text: "IRQ 5 7 9 10", ascending, each once.
short res_irq_fits(const RES_DEVICE* dev, short index, unsigned char level, char* text, size_t size);
// Interrupt type register (PNP_IRQ_HIGH, PNP_IRQ_LEVEL_TRIGGERED; other bits ignored) written
// with level: whether a descriptor that allows level offers that type (when none allows it,
// any descriptor at index). Level 0 always fits, and so does any type when there is no
// descriptor. Text: the DEVICE SET IRQ keywords of the types offered, "HIGH EDGE or LOW LEVEL";
// when there is no descriptor, as above.
short res_irq_type_fits(const RES_DEVICE* dev, short index, unsigned char level, unsigned char type,
                        char* text, size_t size);
// DMA channel select: channel in the mask. Text: "DMA 0 1 3", ascending, each once.
short res_dma_fits(const RES_DEVICE* dev, short index, unsigned char channel, char* text, size_t size);
// Memory base of a 32-bit (bits 32: base is the address) or 24-bit (any other bits: base is the
// register value, address bits 23..8, of which its low 16 bits count) memory descriptor: the
// address within min..max at the alignment. *len (when not null) gets the byte count of the
// first descriptor that allows it, else 0. Text: "memory 0x0C8000-0x0DC000 step 0x4000" or
// "32-bit memory 0x000E0000", byte addresses.
short res_mem_fits(const RES_DEVICE* dev, short bits, short index, unsigned long base, unsigned long* len,
                   char* text, size_t size);

#endif
