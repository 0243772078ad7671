// velkor --list: every card and its logical devices in one command, for people (a text in the
// conventions of the kernel's PnP files: "io 0x220-0x22f", "irq 5 (high edge)", "dma 1") or for
// scripts (--json). The cards are read from the bus as --plan reads them, or, when the kernel's
// own ISA PnP driver manages them, from what the kernel shows, without touching a port.
#ifndef VELKOR_APP_LIST_H
#define VELKOR_APP_LIST_H

#include <cstdio>

#include "app/bus_cards.h"
#include "pnp/kernel_pnp.h"
#include "pnp/resource_model.h"

enum LIST_BOUND {
    LIST_MAX_CARDS = PNP_MAXCARDS,     // the card table's cards (the kernel's view keeps fewer)
    LIST_MAX_DEVICES = RES_MAX_DEVICES,
    LIST_MAX_RES = PNP_IO_DESCS + PNP_MEM_DESCS + PNP_MEM32_DESCS + PNP_IRQ_DESCS + PNP_DMA_DESCS,
    LIST_ID_SIZE = 16,
    LIST_DRIVER_SIZE = KPNP_DRIVER_SIZE,
};

// Where a list was read from.
enum LIST_SOURCE { LIST_FROM_BUS, LIST_FROM_KERNEL };
// The kinds of a resource, in the order a device's resources are listed.
enum LIST_KIND { LIST_IO, LIST_MEM, LIST_IRQ, LIST_DMA };

// A resource a device is set to: ports or byte addresses start..end (end == start when its
// length is not known), an IRQ level or a DMA channel in start.
struct LIST_RES {
    short kind;          // LIST_KIND
    short bits;          // memory: 24 or 32
    unsigned long start, end;
    short has_type;      // IRQ: type holds its Interrupt Type register value
    unsigned char type;  // PNP_IRQ_HIGH, PNP_IRQ_LEVEL_TRIGGERED bits
};

struct LIST_DEVICE {
    short number;  // its logical device number
    char id[LIST_ID_SIZE];
    char compat[RES_MAX_COMPAT][LIST_ID_SIZE];
    short ncompat;
    short compat_more;  // compatible IDs that were not kept
    char name[RES_NAME_MAX];  // "" when it has none
    short active;
    short unknown;  // active and resources are not known (the kernel's procfs view)
    LIST_RES res[LIST_MAX_RES];
    short nres;
    short res_more;  // resources past LIST_MAX_RES (the kernel's file can name more), not kept
    char driver[LIST_DRIVER_SIZE];  // the kernel driver bound to it, "" when none is known
    const RES_DEVICE* model;        // what it can be set to (read from the bus), or null
    char entry[LIST_ID_SIZE];       // read from the kernel: its sysfs name ("01:02.00"), for its options
};

struct LIST_CARD {
    short number;  // its CSN; from the kernel, the kernel's card number
    char vendor[LIST_ID_SIZE];
    char serial[9];  // the serial number as 8 hex digits; "" when not known
    char name[RES_NAME_MAX];
    LIST_DEVICE devs[LIST_MAX_DEVICES];
    short ndevs;
    short devs_more;  // devices that were not kept
};

// About 170 KB: keep it static.
struct LIST {
    short source;  // LIST_SOURCE
    LIST_CARD cards[LIST_MAX_CARDS];
    short ncards;
    short cards_more;  // cards the source told of but did not keep (the kernel's view keeps 16)
};

// Fills *out from the cards read from the bus: each device's registers (active, and the values of
// its register sets that are in use: an I/O base or memory base not 0, an IRQ level not 0, a DMA
// channel not 4) and its resource model (name, compatible IDs, and the length of an I/O or memory
// range, from the descriptor that allows the base at its register set). Can't fail.
void list_from_bus(const BUS_CARD* cards, short ncards, LIST* out);
// Fills *out from the kernel's view under root, as kernel_pnp_read gives it: from sysfs each
// card's card_id and name, and each device's ID and compatible IDs (the lines of its id file),
// driver, and whether it is active and its resources (its resources file: "state = active",
// "io 0x220-0x22f", "irq 5", ...; a resource marked disabled is left out); from procfs the card
// and device numbers alone. Returns the count of cards the kernel manages (0: out is empty).
short list_from_kernel(const char* root, LIST* out);

// Keeps only what the IDs name, compared without case: a card whose vendor ID is one of them
// whole, else those devices of a card whose ID or a compatible ID is. With nids 0 everything
// stays. Returns the count of cards left.
short list_narrow(LIST* list, const char* const* ids, short nids);

// The text: per card a line "Card N: VENDOR "NAME"", then tab-indented lines (vendor name, serial
// number, each device with its compatible IDs, active, resources and driver); with verbose each
// device's options too ("Fixed: ...", "Function 0 (good): ..."). Cards are separated by an empty
// line. Returns 1, or 0 when a write failed (left in fp's error flag).
short list_print(FILE* fp, const LIST* list, short verbose, const char* root);
// The same as one JSON document (the manual page gives its schema). Returns as json_write.
short list_print_json(FILE* fp, const LIST* list, short verbose, const char* root);

// The --list run: reads the cards (from the kernel's view when its ISA PnP driver manages them,
// said on standard error; else from the bus), narrows them to ids, prints the text or JSON on
// standard output. Returns the exit status: 0; 1 without port permission, when IDs were given
// and none matched (said on standard error), when output was lost, or when a signal ended it.
int run_list(short verbose, short json, const char* const* ids, short nids);

#endif
