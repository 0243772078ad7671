// The cards the kernel's own ISA PnP driver manages, read from the host's sysfs
// (sys/bus/pnp/devices) or, on older kernels, proc/bus/isapnp, under a root directory as
// pnp/host_resources.h says (host_root). Nothing is printed: the warnings are returned for the
// caller, who prints them on stderr after its own "velkor: warning: " prefix.
#ifndef VELKOR_PNP_KERNEL_PNP_H
#define VELKOR_PNP_KERNEL_PNP_H

#include "pnp/host_resources.h"

enum {
    KPNP_MAXCARDS = 16,  // cards kept in a KERNEL_PNP (all are counted)
    KPNP_MAXDEVS = 8,    // logical devices kept a card
    KPNP_ID_SIZE = 16,
    KPNP_NAME_SIZE = 9,  // a sysfs device name "PP:CC.DD" with its NUL
    KPNP_DRIVER_SIZE = 32,
    KPNP_CARD_NAME_SIZE = 64,  // a card's name as kept, with its NUL
    KPNP_LINE_SIZE = 128       // a line of a device's file as kernel_pnp_device_lines gives it
};
// Where a KERNEL_PNP was read from.
enum { KPNP_NONE = 0, KPNP_SYSFS = 1, KPNP_PROCFS = 2 };

struct KERNEL_PNP_DEVICE {
    short number;                   // its logical device number
    char name[KPNP_NAME_SIZE];      // its sysfs entry's name ("01:01.00"); from procfs empty
    char id[KPNP_ID_SIZE];          // the first line of its id file ("CTL0031"); from procfs empty
    char driver[KPNP_DRIVER_SIZE];  // the driver bound to it ("snd-sbawe"), empty when none
};
struct KERNEL_PNP_CARD {
    short number;           // the kernel's card number
    char id[KPNP_ID_SIZE];  // its card_id ("CTL00e4"), or "card N" when not known
    short has_id;           // 1 when id is the card's card_id
    char name[KPNP_CARD_NAME_SIZE];  // the first line of the name file beside card_id, or ""
    short ndevs;
    short devs_more;                       // devices seen past the first KPNP_MAXDEVS by number
    KERNEL_PNP_DEVICE devs[KPNP_MAXDEVS];  // by number
};
struct KERNEL_PNP {
    short source;  // KPNP_SYSFS, KPNP_PROCFS, or KPNP_NONE when neither told of a card
    short ncards;  // every card seen
    short kept;    // the first KPNP_MAXCARDS of them by number, in cards[]
    KERNEL_PNP_CARD cards[KPNP_MAXCARDS];
};

// Reads which cards the kernel's ISA PnP driver manages into *k (always filled in). From sysfs:
// every entry of sys/bus/pnp/devices named "PP:CC.DD" (protocol, card, device, hex) that is a
// directory, or a link to one, is a device of an ISA PnP card; entries without the device part
// ("00:0a", PnP BIOS and ACPI) are not, nor are files, FIFOs and links that lead nowhere. A
// device's id is the first line of its id file (else its entry name), its driver the last part
// of its driver link, its card's id the card_id file of the device directory's parent (the card
// directory, as the entry is a link into sys/devices/pnpN/PP:CC/). In a copy of sysfs that
// followed the links, where an entry is a directory of its own, the card's id is read from
// sys/devices/pnpN/PP:CC/card_id and the driver is the first one whose
// sys/bus/pnp/drivers/DRIVER directory has an entry named as the device: once the devices are
// read, sys/bus/pnp/drivers and sys/devices are each read once for the kept devices and cards
// still without them. When sysfs lists no ISA PnP device, proc/bus/isapnp is read: each directory
// named by two hex digits is a card, each file in it named so a device (no ids there). Devices
// past KPNP_MAXDEVS a card are left out. Returns k->ncards. Can't fail.
short kernel_pnp_read(const char* root, KERNEL_PNP* k);
// Gives line(text, ctx) each line of the file file ("id", "resources", "options") of the
// kernel's device entry sys/bus/pnp/devices/NAME under root, in order, at most max of them:
// each without its surrounding blanks, a tab inside it as a blank, every other byte outside
// printable ASCII as '?', cut to KPNP_LINE_SIZE - 1 characters; empty lines are left out.
// Returns the count of lines given, or -1 when the file cannot be read (missing, not a regular
// file, or name not an ISA PnP device's).
short kernel_pnp_device_lines(const char* root, const char* name, const char* file,
                              void (*line)(const char* text, void* ctx), void* ctx, short max);

// The warnings about the kernel's ISA PnP driver, at most max lines: first, when it manages any
// card,
//   the kernel's ISA PnP driver manages 2 cards (CTL00e4, RTL8019); ISOLATE renumbers them
// (", ..." ends the list when more cards were seen than kept), then one line a device bound to a
// driver:
//   device CTL0031 of card CTL00e4 is bound to driver snd-sbawe: DEVICE SET moves its resources under it
// Returns the number of lines written (0 when the kernel manages no card, or max < 1).
short kernel_pnp_warnings(const char* root, char lines[][HOST_TEXT_SIZE], short max);

#endif
