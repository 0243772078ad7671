// Host resources: what the host already uses (I/O ports, memory, IRQs, DMA channels), and which
// cards the kernel's own ISA PnP driver manages, read from the host's /proc and /sys files.
//
// Every function reads under a root directory that stands for "/" (see host_root); a null root
// means no host to look at, and every function then answers as for absent files. Nothing is
// printed: the texts are returned for the caller, who prints them on stderr after its own
// "velkor: warning: " prefix (the texts do not carry it). Host files are read a bounded line at
// a time (at most HOST_READ_MAX bytes of a file); a line that cannot be parsed, or is longer
// than the reader keeps, is skipped. Only regular files are read.
#ifndef VELKOR_PNP_HOST_RESOURCES_H
#define VELKOR_PNP_HOST_RESOURCES_H

#include <stddef.h>

enum {
    HOST_NAME_SIZE = 96,              // a holder's name as kept, with its NUL
    HOST_TEXT_SIZE = 512,             // room enough for every text below
    HOST_READ_MAX = 16 * 1024 * 1024  // bytes of one host file read at most
};

// The root the host's files are read under: the value of VELKOR_SYSROOT when it is set and not
// empty (on either bus), else "/" on the hardware bus (hardware_bus non-zero), else null: the
// simulated bus has no host to check. The environment is read at each call. Can't fail.
const char* host_root(short hardware_bus);

// The answers of the holder lookups.
enum { HOST_UNKNOWN = -1, HOST_FREE = 0, HOST_IN_USE = 1 };

// Who holds a resource.
struct HOST_HOLDER {
    char name[HOST_NAME_SIZE];  // the entry's name; for an IRQ the device list ("snd_sb16, eth0")
    unsigned long lo, hi;       // the holder's own range; for an IRQ or DMA channel its number twice
    const char* file;           // the host path read ("/proc/ioports"), not the path under the root
};

// The holder of the I/O ports lo..hi in proc/ioports (host_io_holder) or of the memory lo..hi in
// proc/iomem (host_mem_holder); lo and hi are taken in either order. The holder is the deepest
// entry, by the file's indentation, that overlaps the range, leaving out:
// - bus windows: entries named "PCI Bus ..." or "PCI CardBus ...", which only route addresses
//   (an ISA card sits behind them), whatever their children;
// - the ISA PnP interface's own ports: entries whose name contains "isapnp" in any case ("isapnp
//   read", "isapnp index", "isapnp write");
// - entries shown as 0-0, as the kernel shows every range to a reader without privilege.
// Among overlapping entries of one depth the first in the file wins. Returns HOST_IN_USE with *h
// filled in, HOST_FREE when no entry holds the range, HOST_UNKNOWN when the file is absent or
// unreadable, or tells nothing (no entry with a range other than 0-0). *h changes only for
// HOST_IN_USE; h may be null.
short host_io_holder(const char* root, unsigned long lo, unsigned long hi, HOST_HOLDER* h);
short host_mem_holder(const char* root, unsigned long lo, unsigned long hi, HOST_HOLDER* h);
// The holder of IRQ irq in proc/interrupts: the device names after the chip columns of its row
// (the per-CPU counts, the chip, and the "4-edge" kind of newer kernels are passed over), as
// the kernel lists them. A row without device names, and an IRQ with no row, are HOST_FREE; rows
// such as NMI: and LOC: are never an IRQ. HOST_UNKNOWN when the file is absent or unreadable.
// *h changes only for HOST_IN_USE; h may be null.
short host_irq_holder(const char* root, short irq, HOST_HOLDER* h);
// The holder of DMA channel channel in proc/dma (" 4: cascade"). HOST_FREE when the channel has
// no line, HOST_UNKNOWN when the file is absent or unreadable. *h changes only for HOST_IN_USE;
// h may be null.
short host_dma_holder(const char* root, short channel, HOST_HOLDER* h);

// The conflict texts. Each returns 1 with text set when the resource is in use, 0 (text empty,
// when n > 0) when it is free or nothing is known. The range printed is the one asked about
// (I/O in 4 upper-case hex digits, memory in 8; one address alone when lo equals hi):
//   I/O 0x03F8-0x03FF is in use by serial (/proc/ioports)
//   memory 0x000C8000-0x000CBFFF is in use by Adapter ROM (/proc/iomem)
//   IRQ 4 is in use by ttyS0 (/proc/interrupts)
//   DMA 4 is in use by cascade (/proc/dma)
// A text longer than n is cut; HOST_TEXT_SIZE always holds it.
short host_io_conflict(const char* root, unsigned long lo, unsigned long hi, char* text, size_t n);
short host_mem_conflict(const char* root, unsigned long lo, unsigned long hi, char* text, size_t n);
short host_irq_conflict(const char* root, short irq, char* text, size_t n);
short host_dma_conflict(const char* root, short channel, char* text, size_t n);

enum {
    KPNP_MAXCARDS = 16,  // cards kept in a KERNEL_PNP (all are counted)
    KPNP_MAXDEVS = 8,    // logical devices kept a card
    KPNP_ID_SIZE = 16,
    KPNP_DRIVER_SIZE = 32
};
// Where a KERNEL_PNP was read from.
enum { KPNP_NONE = 0, KPNP_SYSFS = 1, KPNP_PROCFS = 2 };

struct KERNEL_PNP_DEVICE {
    short number;                   // its logical device number
    char id[KPNP_ID_SIZE];          // the first line of its id file ("CTL0031"); from procfs empty
    char driver[KPNP_DRIVER_SIZE];  // the driver bound to it ("snd-sbawe"), empty when none
};
struct KERNEL_PNP_CARD {
    short number;           // the kernel's card number
    char id[KPNP_ID_SIZE];  // its card_id ("CTL00e4"), or "card N" when not known
    short ndevs;
    KERNEL_PNP_DEVICE devs[KPNP_MAXDEVS];  // by number
};
struct KERNEL_PNP {
    short source;  // KPNP_SYSFS, KPNP_PROCFS, or KPNP_NONE when neither told of a card
    short ncards;  // every card seen
    short kept;    // the first KPNP_MAXCARDS of them by number, in cards[]
    KERNEL_PNP_CARD cards[KPNP_MAXCARDS];
};

// Reads which cards the kernel's ISA PnP driver manages into *k (always filled in). From sysfs:
// every entry of sys/bus/pnp/devices named "PP:CC.DD" (protocol, card, device, hex) is a device
// of an ISA PnP card; entries without the device part ("00:0a", PnP BIOS and ACPI) are not. A
// device's id is the first line of its id file (else its entry name), its driver the last part
// of its driver link, its card's id the card_id file of the device directory's parent (the card
// directory, as the entry is a link into sys/devices/pnpN/PP:CC/). In a copy of sysfs that
// followed the links, where an entry is a directory of its own, the card's id is read from
// sys/devices/pnpN/PP:CC/card_id and the driver is the one whose sys/bus/pnp/drivers/DRIVER
// directory has an entry named as the device. When sysfs lists no ISA PnP
// device, proc/bus/isapnp is read: each directory named by two hex digits is a card, each file
// in it named so a device (no ids there). Devices past KPNP_MAXDEVS a card are left out. Returns
// k->ncards. Can't fail.
short kernel_pnp_read(const char* root, KERNEL_PNP* k);
// The warnings about the kernel's ISA PnP driver, at most max lines: first, when it manages any
// card,
//   the kernel's ISA PnP driver manages 2 cards (CTL00e4, RTL8019); ISOLATE renumbers them
// (", ..." ends the list when more cards were seen than kept), then one line a device bound to a
// driver:
//   device CTL0031 of card CTL00e4 is bound to driver snd-sbawe: DEVICE SET moves its resources under it
// Returns the number of lines written (0 when the kernel manages no card, or max < 1).
short kernel_pnp_warnings(const char* root, char lines[][HOST_TEXT_SIZE], short max);

#endif
