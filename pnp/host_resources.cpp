// Host resources: the host's own use of ports, memory, IRQs and DMA channels from /proc, read
// under a root directory.
#include "pnp/host_resources.h"

#include <ctype.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "pnp/host_files.h"

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

// The holder of lo..hi in the range file rel (host path file), as host_io_holder says.
static short range_holder(const char* root, const char* rel, const char* file, unsigned long lo,
                          unsigned long hi, HOST_HOLDER* h) {
    HOST_FILE hf;
    if (!host_open(root, rel, hf)) return HOST_UNKNOWN;
    swap_order(lo, hi);
    char line[HOST_LINE_SIZE];
    RANGE_ENTRY e, best = {};
    short told = 0, found = 0;
    short got;
    while ((got = host_read_line(hf, line, sizeof line)) != 0) {
        if (got < 0 || !parse_range_line(line, e)) continue;
        if (e.lo == 0 && e.hi == 0) continue;  // zeroed for a reader without privilege
        told = 1;
        if (e.hi < lo || e.lo > hi || !may_hold(e.name)) continue;
        if (!found || e.depth > best.depth) best = e;
        found = 1;
    }
    fclose(hf.f);
    if (!told) return HOST_UNKNOWN;
    return give_holder(found ? best.name : "", (unsigned long)best.lo, (unsigned long)best.hi, file, h);
}

short host_io_holder(const char* root, unsigned long lo, unsigned long hi, HOST_HOLDER* h) {
    return range_holder(root, "proc/ioports", "/proc/ioports", lo, hi, h);
}

short host_mem_holder(const char* root, unsigned long lo, unsigned long hi, HOST_HOLDER* h) {
    return range_holder(root, "proc/iomem", "/proc/iomem", lo, hi, h);
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

short host_irq_holder(const char* root, short irq, HOST_HOLDER* h) {
    HOST_FILE hf;
    if (!host_open(root, "proc/interrupts", hf)) return HOST_UNKNOWN;
    char label[LABEL_SIZE], rest[HOST_LINE_SIZE], devices[HOST_NAME_SIZE] = "";
    short got;
    while ((got = read_irq_row(hf, label, rest, sizeof rest)) != 0) {
        if (got < 0 || irq < 0 || label_number(label, strlen(label)) != irq) continue;
        const char* s = rest;
        while (isspace((unsigned char)*s)) s++;
        s = skip_word(s);  // the chip
        if (is_irq_kind(s)) s = skip_word(s);
        host_copy_text(devices, sizeof devices, s, strlen(s));
        break;
    }
    fclose(hf.f);
    return give_holder(devices, (unsigned long)irq, (unsigned long)irq, "/proc/interrupts", h);
}

short host_dma_holder(const char* root, short channel, HOST_HOLDER* h) {
    HOST_FILE hf;
    if (!host_open(root, "proc/dma", hf)) return HOST_UNKNOWN;
    char line[HOST_LINE_SIZE], owner[HOST_NAME_SIZE] = "";
    short got;
    while ((got = host_read_line(hf, line, sizeof line)) != 0) {
        const char* colon = strchr(line, ':');
        if (got < 0 || !colon || channel < 0 || label_number(line, (size_t)(colon - line)) != channel)
            continue;
        host_copy_text(owner, sizeof owner, colon + 1, strlen(colon + 1));
        if (owner[0]) break;
    }
    fclose(hf.f);
    return give_holder(owner, (unsigned long)channel, (unsigned long)channel, "/proc/dma", h);
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

