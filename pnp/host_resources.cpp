// Host resources: the host's own use of ports, memory, IRQs and DMA channels from /proc, read
// under a root directory.
#include "pnp/host_resources.h"

#include <ctype.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "pnp/host_files.h"
#include "shell/memory.h"

enum {
    LABEL_SIZE = 16  // the label of a row of interrupts ("NMI", "4")
};

const char* host_root(short hardware_bus) {
    const char* root = getenv("VELKOR_SYSROOT");
    if (root && *root) return root;
    return hardware_bus ? "/" : nullptr;
}

// ---- proc/ioports and proc/iomem ----

// One entry: "  03f8-03ff : serial", depth 1.
struct RANGE_ENTRY {
    short depth;
    unsigned long long lo, hi;
    char name[HOST_NAME_SIZE];
};

// Parses the hex number at *s (1 to 16 digits), moving *s past it. 1, or 0 when there is none.
static short parse_hex(const char** s, unsigned long long& v) {
    const char* p = *s;
    v = 0;
    short digits = 0;
    while (isxdigit((unsigned char)*p)) {
        if (++digits > 16) return 0;
        v = v * 16 + (unsigned long long)host_hex_digit(*p++);
    }
    *s = p;
    return digits > 0;
}

// Parses a line of ioports or iomem. 1, or 0 when it is not "INDENT LO-HI : NAME" with lo <= hi
// and a name.
static short parse_range_line(const char* s, RANGE_ENTRY& e) {
    short spaces = 0;
    while (*s == ' ') s++, spaces++;
    e.depth = (short)(spaces / 2);
    if (!parse_hex(&s, e.lo) || *s++ != '-' || !parse_hex(&s, e.hi) || e.lo > e.hi) return 0;
    while (*s == ' ') s++;
    if (*s++ != ':') return 0;
    host_copy_text(e.name, sizeof e.name, s, strlen(s));
    return e.name[0] != 0;
}

static short has_prefix(const char* s, const char* prefix) { return strncmp(s, prefix, strlen(prefix)) == 0; }

// Whether name contains word (lower case) in any case.
static short contains_nocase(const char* name, const char* word) {
    size_t wl = strlen(word);
    for (; *name; name++) {
        size_t i = 0;
        while (i < wl && tolower((unsigned char)name[i]) == word[i]) i++;
        if (i == wl) return 1;
    }
    return 0;
}

// Whether an entry of this name can hold a resource: bus windows and the ISA PnP interface's own
// ports never do.
static short may_hold(const char* name) {
    if (has_prefix(name, "PCI Bus") || has_prefix(name, "PCI CardBus")) return 0;
    return !contains_nocase(name, "isapnp");
}

// ---- proc/interrupts and proc/dma ----

// The number a label of decimal digits (at most 5) stands for, or -1.
static long label_number(const char* s, size_t len) {
    while (len && isspace((unsigned char)*s)) s++, len--;
    if (!len || len > 5) return -1;
    long v = 0;
    for (size_t i = 0; i < len; i++) {
        if (!isdigit((unsigned char)s[i])) return -1;
        v = v * 10 + (s[i] - '0');
    }
    return v;
}

// Reads one row of interrupts: its label, the text before ':' (at most LABEL_SIZE - 1
// characters), and what follows the per-CPU counts, however many there are, into rest (cut
// to n - 1 characters). The row is read a character at a time, so that a machine of many CPUs
// (rows of many kilobytes) is read whole. 1 a row; -1 a line without a label, read to its end;
// 0 end of file.
static short read_irq_row(HOST_FILE& hf, char* label, char* rest, size_t n) {
    size_t ll = 0, rl = 0;
    int c;
    while ((c = host_next_char(hf)) == ' ' || c == '\t') {}
    if (c == EOF) return 0;
    while (c != ':' && c != '\n' && c != EOF) {
        if (ll + 1 < LABEL_SIZE) label[ll++] = (char)c;
        c = host_next_char(hf);
    }
    label[ll] = 0;
    rest[0] = 0;
    if (c != ':') return -1;
    for (;;) {
        while ((c = host_next_char(hf)) == ' ' || c == '\t') {}
        char digits[24];
        size_t dl = 0;
        while (isdigit(c)) {
            if (dl + 1 < sizeof digits) digits[dl++] = (char)c;
            c = host_next_char(hf);
        }
        if (dl && (c == ' ' || c == '\t')) continue;  // a count
        if (dl && (c == '\n' || c == EOF)) break;     // the last count ends the row
        for (size_t i = 0; i < dl && rl + 1 < n; i++) rest[rl++] = digits[i];
        break;
    }
    for (; c != '\n' && c != EOF; c = host_next_char(hf))
        if (rl + 1 < n) rest[rl++] = (char)c;
    rest[rl] = 0;
    return 1;
}

// Moves past one blank-separated word of s and the blanks after it.
static const char* skip_word(const char* s) {
    while (*s && !isspace((unsigned char)*s)) s++;
    while (isspace((unsigned char)*s)) s++;
    return s;
}

// Whether the word at s is the "4-edge" kind newer kernels print after the chip.
static short is_irq_kind(const char* s) {
    if (!isdigit((unsigned char)*s)) return 0;
    while (isdigit((unsigned char)*s)) s++;
    return *s == '-';
}

// ---- The tables: each file read once under a root ----

// The files, by index: HOST_IO and HOST_MEM first, as host_range_held takes them.
enum { FILE_IOPORTS = HOST_IO, FILE_IOMEM = HOST_MEM, FILE_INTERRUPTS, FILE_DMA, FILE_KINDS };
// Their paths on the host; under a root the same without the first '/'.
static const char* const FILE_PATH[FILE_KINDS] = {"/proc/ioports", "/proc/iomem", "/proc/interrupts",
                                                  "/proc/dma"};

// One entry of a table, in file order. ioports and iomem: a range that may hold (bus windows, the
// ISA PnP interface's ports and 0-0 entries are not kept) and its depth. interrupts: a row with
// an IRQ number, lo and hi that number, its device list the name (empty for a row without
// devices). dma: a line with a channel number and an owner.
struct TABLE_ENTRY {
    unsigned long long lo, hi;
    unsigned name;  // offset of the NUL-ended name in the table's names
    short depth;
};

// A run of addresses some entry holds: the held ranges merged, sorted, disjoint and not adjacent.
struct HELD_RANGE {
    unsigned long long lo, hi;
};

enum { TABLE_UNREAD = 0, TABLE_READ = 1, TABLE_UNKNOWN = 2 };
enum {
    FIRST_ENTRIES = 64,  // entries room first made for, doubled when full
    FIRST_NAMES = 4096   // bytes of names room first made for, doubled when full; > HOST_NAME_SIZE
};

// One file's table. Its blocks grow with what the file holds, which HOST_READ_MAX bounds: a
// kept entry took at least 3 bytes of the file ("5:\n"), and its name with its NUL no more
// bytes than its line, so there are fewer than 2^23 entries and fewer than 2^25 bytes of names
// room (the offsets fit in 32 bits).
struct HOST_TABLE {
    short state;  // TABLE_*: READ has entries (maybe none), UNKNOWN tells nothing
    TABLE_ENTRY* entry;
    long n, room;
    char* names;
    unsigned long used, size;
    HELD_RANGE* held;  // ioports and iomem only
    long nheld;
};

// The tables of the root they were read under (rooted: root holds one).
struct HOST_TABLES {
    short rooted;
    char root[HOST_PATH_SIZE];
    HOST_TABLE file[FILE_KINDS];
};

static HOST_TABLES tables;

// Frees t's blocks and makes it unread.
static void drop_table(HOST_TABLE& t) {
    free(t.entry);
    free(t.names);
    free(t.held);
    memset(&t, 0, sizeof t);
}

void host_forget() {
    for (short k = 0; k < FILE_KINDS; k++) drop_table(tables.file[k]);
    tables.rooted = 0;
    tables.root[0] = 0;
}

// Appends an entry lo..hi of this depth and name (shorter than HOST_NAME_SIZE) to t, growing
// its blocks when full. 1, or 0 when the memory is not there (t as it was).
static short add_entry(HOST_TABLE& t, unsigned long long lo, unsigned long long hi, short depth,
                       const char* name) {
    size_t len = strlen(name) + 1;
    if (t.n == t.room) {
        long room = t.room ? t.room * 2 : (long)FIRST_ENTRIES;
        void* p = mem_realloc(t.entry, (size_t)room * sizeof *t.entry);
        if (!p) return 0;
        t.entry = (TABLE_ENTRY*)p;
        t.room = room;
    }
    if (t.size - t.used < len) {  // doubled, the room left is more than FIRST_NAMES > len
        unsigned long size = t.size ? t.size * 2 : (unsigned long)FIRST_NAMES;
        void* p = mem_realloc(t.names, size);
        if (!p) return 0;
        t.names = (char*)p;
        t.size = size;
    }
    memcpy(t.names + t.used, name, len);
    t.entry[t.n++] = TABLE_ENTRY{lo, hi, (unsigned)t.used, depth};
    t.used += len;
    return 1;
}

// Reads ioports or iomem into t. 1, or 0 when the file tells nothing (no entry other than 0-0)
// or the memory is not there.
static short read_ranges(HOST_FILE& hf, HOST_TABLE& t) {
    char line[HOST_LINE_SIZE];
    RANGE_ENTRY e;
    short told = 0, got;
    while ((got = host_read_line(hf, line, sizeof line)) != 0) {
        if (got < 0 || !parse_range_line(line, e)) continue;
        if (e.lo == 0 && e.hi == 0) continue;  // zeroed for a reader without privilege
        told = 1;
        if (may_hold(e.name) && !add_entry(t, e.lo, e.hi, e.depth, e.name)) return 0;
    }
    return told;
}

// Reads interrupts into t: every row labelled by a number. 1, or 0 when the memory is not there.
static short read_interrupts(HOST_FILE& hf, HOST_TABLE& t) {
    char label[LABEL_SIZE], rest[HOST_LINE_SIZE], devices[HOST_NAME_SIZE];
    short got;
    while ((got = read_irq_row(hf, label, rest, sizeof rest)) != 0) {
        long irq = got > 0 ? label_number(label, strlen(label)) : -1;
        if (irq < 0) continue;
        const char* s = rest;
        while (isspace((unsigned char)*s)) s++;
        s = skip_word(s);  // the chip
        if (is_irq_kind(s)) s = skip_word(s);
        host_copy_text(devices, sizeof devices, s, strlen(s));
        if (!add_entry(t, (unsigned long long)irq, (unsigned long long)irq, 0, devices)) return 0;
    }
    return 1;
}

// Reads dma into t: every line of a numbered channel with an owner. 1, or 0 when the memory is
// not there.
static short read_dma(HOST_FILE& hf, HOST_TABLE& t) {
    char line[HOST_LINE_SIZE], owner[HOST_NAME_SIZE];
    short got;
    while ((got = host_read_line(hf, line, sizeof line)) != 0) {
        const char* colon = strchr(line, ':');
        long channel = got > 0 && colon ? label_number(line, (size_t)(colon - line)) : -1;
        if (channel < 0) continue;
        host_copy_text(owner, sizeof owner, colon + 1, strlen(colon + 1));
        if (owner[0] && !add_entry(t, (unsigned long long)channel, (unsigned long long)channel, 0, owner))
            return 0;
    }
    return 1;
}

static int by_start(const void* a, const void* b) {
    const HELD_RANGE* x = (const HELD_RANGE*)a;
    const HELD_RANGE* y = (const HELD_RANGE*)b;
    return x->lo < y->lo ? -1 : x->lo > y->lo;
}

// Makes t's held ranges from its entries. 1, or 0 when the memory is not there.
static short merge_held(HOST_TABLE& t) {
    if (!t.n) return 1;
    t.held = (HELD_RANGE*)mem_alloc((size_t)t.n * sizeof *t.held);
    if (!t.held) return 0;
    for (long i = 0; i < t.n; i++) t.held[i] = HELD_RANGE{t.entry[i].lo, t.entry[i].hi};
    qsort(t.held, (size_t)t.n, sizeof *t.held, by_start);
    long m = 0;
    for (long i = 1; i < t.n; i++) {
        HELD_RANGE& last = t.held[m];
        if (last.hi == ~0ull || t.held[i].lo <= last.hi + 1) {  // overlapping or adjacent
            if (t.held[i].hi > last.hi) last.hi = t.held[i].hi;
        } else {
            t.held[++m] = t.held[i];
        }
    }
    t.nheld = m + 1;
    return 1;
}

// Reads file k under root into t (unread): TABLE_READ, or TABLE_UNKNOWN with nothing kept when
// the file cannot be opened, tells nothing, or its memory is not there.
static void read_table(const char* root, short k, HOST_TABLE& t) {
    HOST_FILE hf;
    short ok = 0;
    if (host_open(root, FILE_PATH[k] + 1, hf)) {
        switch (k) {
        case FILE_INTERRUPTS: ok = read_interrupts(hf, t); break;
        case FILE_DMA: ok = read_dma(hf, t); break;
        default: ok = read_ranges(hf, t) && merge_held(t); break;
        }
        fclose(hf.f);
    }
    if (!ok) drop_table(t);
    t.state = ok ? TABLE_READ : TABLE_UNKNOWN;
}

// The table of file k under root, read on the first question under this root: the tables of
// another root are dropped first. Null when nothing is known of the file: root null or too long
// for any path under it, the file absent, unreadable or telling nothing, or its memory not there.
static const HOST_TABLE* table_of(const char* root, short k) {
    if (!root) return nullptr;
    if (!tables.rooted || strcmp(tables.root, root) != 0) {
        host_forget();
        size_t len = strlen(root);
        if (len >= sizeof tables.root) return nullptr;
        memcpy(tables.root, root, len + 1);
        tables.rooted = 1;
    }
    HOST_TABLE& t = tables.file[k];
    if (t.state == TABLE_UNREAD) read_table(root, k, t);
    return t.state == TABLE_READ ? &t : nullptr;
}

// Fills in *h (when h is given) for a holder of this name and range found in file. HOST_IN_USE,
// or HOST_FREE when the name is empty (nothing found).
static short give_holder(const char* name, unsigned long lo, unsigned long hi, const char* file,
                         HOST_HOLDER* h) {
    if (!name[0]) return HOST_FREE;
    if (h) {
        snprintf(h->name, sizeof h->name, "%s", name);
        h->lo = lo;
        h->hi = hi;
        h->file = file;
    }
    return HOST_IN_USE;
}

static void swap_order(unsigned long& lo, unsigned long& hi) {
    if (lo <= hi) return;
    unsigned long t = lo;
    lo = hi;
    hi = t;
}

// ---- The questions ----

// The holder of lo..hi in the table of ioports or iomem (file k), as host_io_holder says.
static short range_holder(const char* root, short k, unsigned long lo, unsigned long hi, HOST_HOLDER* h) {
    const HOST_TABLE* t = table_of(root, k);
    if (!t) return HOST_UNKNOWN;
    swap_order(lo, hi);
    const TABLE_ENTRY* best = nullptr;
    for (long i = 0; i < t->n; i++) {
        const TABLE_ENTRY& e = t->entry[i];
        if (e.hi < lo || e.lo > hi) continue;
        if (!best || e.depth > best->depth) best = &e;
    }
    if (!best) return HOST_FREE;
    return give_holder(t->names + best->name, (unsigned long)best->lo, (unsigned long)best->hi, FILE_PATH[k],
                       h);
}

short host_io_holder(const char* root, unsigned long lo, unsigned long hi, HOST_HOLDER* h) {
    return range_holder(root, FILE_IOPORTS, lo, hi, h);
}

short host_mem_holder(const char* root, unsigned long lo, unsigned long hi, HOST_HOLDER* h) {
    return range_holder(root, FILE_IOMEM, lo, hi, h);
}

// The holder of IRQ or channel number in the table of interrupts or dma (file k): its first
// entry of that number.
static short number_holder(const char* root, short k, short number, HOST_HOLDER* h) {
    const HOST_TABLE* t = table_of(root, k);
    if (!t) return HOST_UNKNOWN;
    for (long i = 0; i < t->n && number >= 0; i++)
        if (t->entry[i].lo == (unsigned long long)number)
            return give_holder(t->names + t->entry[i].name, (unsigned long)number, (unsigned long)number,
                               FILE_PATH[k], h);
    return HOST_FREE;
}

short host_irq_holder(const char* root, short irq, HOST_HOLDER* h) {
    return number_holder(root, FILE_INTERRUPTS, irq, h);
}

short host_dma_holder(const char* root, short channel, HOST_HOLDER* h) {
    return number_holder(root, FILE_DMA, channel, h);
}

short host_range_held(const char* root, short file, unsigned long lo, unsigned long hi, unsigned long* past) {
    const HOST_TABLE* t = file == HOST_IO || file == HOST_MEM ? table_of(root, file) : nullptr;
    if (!t) return 0;
    swap_order(lo, hi);
    long a = 0, b = t->nheld;  // the held ranges before a start at or below hi, those from b above it
    while (a < b) {
        long m = a + (b - a) / 2;
        if (t->held[m].lo <= hi)
            a = m + 1;
        else
            b = m;
    }
    // The last range starting at or below hi is the one of the highest end that can overlap; when
    // it ends below lo, so do all before it.
    if (a == 0 || t->held[a - 1].hi < lo) return 0;
    if (past) *past = (unsigned long)t->held[a - 1].hi;
    return 1;
}

unsigned short host_irqs_held(const char* root) {
    unsigned short held = 0;
    for (short l = 0; l < 16; l++)
        if (host_irq_holder(root, l, nullptr) == HOST_IN_USE) held |= (unsigned short)(1u << l);
    return held;
}

unsigned short host_dmas_held(const char* root) {
    unsigned short held = 0;
    for (short c = 0; c < 8; c++)
        if (host_dma_holder(root, c, nullptr) == HOST_IN_USE) held |= (unsigned short)(1u << c);
    return held;
}

// ---- Conflict texts ----

// Ends text empty (n > 0) and returns 0, or writes "WHAT is in use by NAME (FILE)" and returns 1.
static short conflict_text(short answer, const HOST_HOLDER& h, const char* what, char* text, size_t n) {
    if (!n) return answer == HOST_IN_USE;
    text[0] = 0;
    if (answer != HOST_IN_USE) return 0;
    snprintf(text, n, "%s is in use by %s (%s)", what, h.name, h.file);
    return 1;
}

// The range lo..hi (either order) as "0x03F8-0x03FF", digits wide, or one address when lo == hi.
static void range_text(char* buf, size_t n, unsigned long lo, unsigned long hi, int digits) {
    swap_order(lo, hi);
    if (lo == hi)
        snprintf(buf, n, "0x%0*lX", digits, lo);
    else
        snprintf(buf, n, "0x%0*lX-0x%0*lX", digits, lo, digits, hi);
}

short host_io_conflict(const char* root, unsigned long lo, unsigned long hi, char* text, size_t n) {
    HOST_HOLDER h;
    char what[64] = "I/O ";
    range_text(what + 4, sizeof what - 4, lo, hi, 4);
    return conflict_text(host_io_holder(root, lo, hi, &h), h, what, text, n);
}

short host_mem_conflict(const char* root, unsigned long lo, unsigned long hi, char* text, size_t n) {
    HOST_HOLDER h;
    char what[64] = "memory ";
    range_text(what + 7, sizeof what - 7, lo, hi, 8);
    return conflict_text(host_mem_holder(root, lo, hi, &h), h, what, text, n);
}

short host_irq_conflict(const char* root, short irq, char* text, size_t n) {
    HOST_HOLDER h;
    char what[16];
    snprintf(what, sizeof what, "IRQ %d", irq);
    return conflict_text(host_irq_holder(root, irq, &h), h, what, text, n);
}

short host_dma_conflict(const char* root, short channel, char* text, size_t n) {
    HOST_HOLDER h;
    char what[16];
    snprintf(what, sizeof what, "DMA %d", channel);
    return conflict_text(host_dma_holder(root, channel, &h), h, what, text, n);
}
