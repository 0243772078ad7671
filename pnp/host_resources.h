// Host resources: what the host already uses (I/O ports, memory, IRQs, DMA channels), read from
// the host's /proc files. The cards of the kernel's own ISA PnP driver are pnp/kernel_pnp.h's.
//
// Every function reads under a root directory that stands for "/" (see host_root); a null root
// means no host to look at, and every function then answers as for absent files. Nothing is
// printed: the texts are returned for the caller, who prints them on stderr after its own
// "velkor: warning: " prefix (the texts do not carry it). Host files are read a bounded line at
// a time (at most HOST_READ_MAX bytes of a file); a line that cannot be parsed, or is longer
// than the reader keeps, is skipped. Only regular files are read.
//
// Each of proc/ioports, proc/iomem, proc/interrupts and proc/dma is read once, at the first
// question about it, into a table on the heap that answers every later question under the same
// root; what an absent or silent file told (nothing) is kept as well. A question under another
// root drops every table and reads anew, as does any question after host_forget. A file that
// changes after it was read is not seen until then. When the memory for a file's table is not
// there, the file counts as unknown (HOST_UNKNOWN, as an absent file) until the tables are
// dropped; the program goes on without it.
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
// HOST_IN_USE; h may be null. Answered from the file's table: its entries are looked at in turn.
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

// Drops the tables of every file read so far and frees their memory: the next question, under
// any root, reads its file again. Can't fail.
void host_forget();

// What host_range_held asks about: proc/ioports or proc/iomem.
enum { HOST_IO = 0, HOST_MEM = 1 };
// Whether lo..hi (either order) overlaps a range that holds in file (HOST_IO or HOST_MEM), by
// the holder rule above: any entry that may hold, at any depth. Returns 1 with *past (when past
// is not null) set to the highest end of the held addresses it overlaps, where held ranges that
// overlap or touch count as one; 0 when none overlaps, and also when the file is unknown
// (HOST_UNKNOWN counts as free), root is null, or file is neither; *past changes only for 1.
// A binary search of the held ranges, merged and sorted once with the table.
short host_range_held(const char* root, short file, unsigned long lo, unsigned long hi, unsigned long* past);
// IRQs 0 to 15 (bit l: IRQ l) and DMA channels 0 to 7 (bit c) that are HOST_IN_USE by
// host_irq_holder and host_dma_holder; 0 for an unknown file or a null root. Can't fail.
unsigned short host_irqs_held(const char* root);
unsigned short host_dmas_held(const char* root);

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

#endif
