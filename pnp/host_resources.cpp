// Host resources: the host's own use of ports, memory, IRQs and DMA channels from /proc, and the
// cards of the kernel's ISA PnP driver from /sys or /proc, all read under a root directory.
#include "pnp/host_resources.h"

#include <ctype.h>
#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

enum {
    PATH_SIZE = 4096,
    LINE_SIZE = 512,  // a line of ioports, iomem or dma longer than this is skipped
    LABEL_SIZE = 16   // the label of a row of interrupts ("NMI", "4")
};

const char* host_root(short hardware_bus) {
    const char* root = getenv("VELKOR_SYSROOT");
    if (root && *root) return root;
    return hardware_bus ? "/" : nullptr;
}

// ---- Reading host files ----

// Joins root and rel (relative) into path. 1, or 0 when root is null or the path does not fit.
static short host_path(const char* root, const char* rel, char* path, size_t n) {
    if (!root) return 0;
    size_t len = strlen(root);
    const char* sep = len && root[len - 1] == '/' ? "" : "/";
    int w = snprintf(path, n, "%s%s%s", root, sep, rel);
    return w >= 0 && (size_t)w < n;
}

// A host file being read, and how many more bytes of it may be read.
struct HOST_FILE {
    FILE* f;
    unsigned long left;
};

// Opens the regular file at path for reading. 1, or 0 when it is absent, unreadable or not a
// regular file (a FIFO or device is never waited on).
static short open_path(const char* path, HOST_FILE& hf) {
    int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return 0;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || !(hf.f = fdopen(fd, "r"))) {
        close(fd);
        return 0;
    }
    hf.left = HOST_READ_MAX;
    return 1;
}

// Opens root/rel as open_path does.
static short open_host_file(const char* root, const char* rel, HOST_FILE& hf) {
    char path[PATH_SIZE];
    return host_path(root, rel, path, sizeof path) && open_path(path, hf);
}

static int next_char(HOST_FILE& hf) {
    if (!hf.left) return EOF;
    hf.left--;
    return getc(hf.f);
}

// Reads the next line into buf (n > 0) without its newline. 1 a whole line; -1 a line longer
// than buf holds, read to its end and dropped (buf keeps its start); 0 end of file.
static short read_line(HOST_FILE& hf, char* buf, size_t n) {
    size_t len = 0;
    short whole = 1;
    int c;
    while ((c = next_char(hf)) != EOF && c != '\n') {
        if (len + 1 < n)
            buf[len++] = (char)c;
        else
            whole = 0;
    }
    buf[len] = 0;
    if (c == EOF && len == 0) return 0;
    return whole ? 1 : -1;
}

// Copies the text s..s+len into dst (n > 0) without its surrounding blanks, cut to fit, each
// control character made '?' so that the texts are safe to print.
static void bounded_copy(char* dst, size_t n, const char* s, size_t len) {
    while (len && isspace((unsigned char)*s)) s++, len--;
    while (len && isspace((unsigned char)s[len - 1])) len--;
    if (len > n - 1) len = n - 1;
    for (size_t i = 0; i < len; i++) dst[i] = iscntrl((unsigned char)s[i]) ? '?' : s[i];
    dst[len] = 0;
}

// The first line of the small file at path into buf, as bounded_copy keeps it. 1, or 0 when
// the file cannot be read or the line is empty.
static short read_first_line(const char* path, char* buf, size_t n) {
    HOST_FILE hf;
    if (!open_path(path, hf)) return 0;
    char line[LINE_SIZE];
    short got = read_line(hf, line, sizeof line);
    fclose(hf.f);
    if (!got) return 0;
    bounded_copy(buf, n, line, strlen(line));
    return buf[0] != 0;
}

// ---- proc/ioports and proc/iomem ----

// One entry: "  03f8-03ff : serial", depth 1.
struct RANGE_ENTRY {
    short depth;
    unsigned long long lo, hi;
    char name[HOST_NAME_SIZE];
};

static int hex_value(char c) {
    return isdigit((unsigned char)c) ? c - '0' : tolower((unsigned char)c) - 'a' + 10;
}

// Parses the hex number at *s (1 to 16 digits), moving *s past it. 1, or 0 when there is none.
static short parse_hex(const char** s, unsigned long long& v) {
    const char* p = *s;
    v = 0;
    short digits = 0;
    while (isxdigit((unsigned char)*p)) {
        if (++digits > 16) return 0;
        v = v * 16 + (unsigned long long)hex_value(*p++);
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
    bounded_copy(e.name, sizeof e.name, s, strlen(s));
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
    if (!open_host_file(root, rel, hf)) return HOST_UNKNOWN;
    swap_order(lo, hi);
    char line[LINE_SIZE];
    RANGE_ENTRY e, best = {};
    short told = 0, found = 0;
    short got;
    while ((got = read_line(hf, line, sizeof line)) != 0) {
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
    while ((c = next_char(hf)) == ' ' || c == '\t') {}
    if (c == EOF) return 0;
    while (c != ':' && c != '\n' && c != EOF) {
        if (ll + 1 < LABEL_SIZE) label[ll++] = (char)c;
        c = next_char(hf);
    }
    label[ll] = 0;
    rest[0] = 0;
    if (c != ':') return -1;
    for (;;) {
        while ((c = next_char(hf)) == ' ' || c == '\t') {}
        char digits[24];
        size_t dl = 0;
        while (isdigit(c)) {
            if (dl + 1 < sizeof digits) digits[dl++] = (char)c;
            c = next_char(hf);
        }
        if (dl && (c == ' ' || c == '\t')) continue;  // a count
        if (dl && (c == '\n' || c == EOF)) break;     // the last count ends the row
        for (size_t i = 0; i < dl && rl + 1 < n; i++) rest[rl++] = digits[i];
        break;
    }
    for (; c != '\n' && c != EOF; c = next_char(hf))
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
    if (!open_host_file(root, "proc/interrupts", hf)) return HOST_UNKNOWN;
    char label[LABEL_SIZE], rest[LINE_SIZE], devices[HOST_NAME_SIZE] = "";
    short got;
    while ((got = read_irq_row(hf, label, rest, sizeof rest)) != 0) {
        if (got < 0 || irq < 0 || label_number(label, strlen(label)) != irq) continue;
        const char* s = rest;
        while (isspace((unsigned char)*s)) s++;
        s = skip_word(s);  // the chip
        if (is_irq_kind(s)) s = skip_word(s);
        bounded_copy(devices, sizeof devices, s, strlen(s));
        break;
    }
    fclose(hf.f);
    return give_holder(devices, (unsigned long)irq, (unsigned long)irq, "/proc/interrupts", h);
}

short host_dma_holder(const char* root, short channel, HOST_HOLDER* h) {
    HOST_FILE hf;
    if (!open_host_file(root, "proc/dma", hf)) return HOST_UNKNOWN;
    char line[LINE_SIZE], owner[HOST_NAME_SIZE] = "";
    short got;
    while ((got = read_line(hf, line, sizeof line)) != 0) {
        const char* colon = strchr(line, ':');
        if (got < 0 || !colon || channel < 0 || label_number(line, (size_t)(colon - line)) != channel)
            continue;
        bounded_copy(owner, sizeof owner, colon + 1, strlen(colon + 1));
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

// ---- The kernel's ISA PnP cards ----

// Parses two hex digits at s into v. 1, or 0.
static short hex2(const char* s, short& v) {
    if (!isxdigit((unsigned char)s[0]) || !isxdigit((unsigned char)s[1])) return 0;
    v = (short)(hex_value(s[0]) * 16 + hex_value(s[1]));
    return 1;
}

// Parses a sysfs device name "PP:CC.DD" into its card and device numbers. 1, or 0 for any other
// name (a PnP BIOS or ACPI device "00:0a" among them).
static short parse_isapnp_name(const char* name, short& card, short& dev) {
    short protocol;
    return strlen(name) == 8 && hex2(name, protocol) && name[2] == ':' && hex2(name + 3, card) &&
           name[5] == '.' && hex2(name + 6, dev);
}

// A reading of the kernel's cards under way: the result, the card numbers seen (a bit each), the
// card whose devices are being read.
struct KPNP_READ {
    KERNEL_PNP* k;
    unsigned char seen[32];
    KERNEL_PNP_CARD* card;
    const char* root;
};

// The card numbered number, added in order of numbers when new (the one past KPNP_MAXCARDS falls
// out), or null when it falls out itself. Every new number counts in k->ncards.
static KERNEL_PNP_CARD* card_of(KPNP_READ& r, short number) {
    KERNEL_PNP* k = r.k;
    if (!(r.seen[number / 8] & (1 << number % 8))) {
        r.seen[number / 8] |= (unsigned char)(1 << number % 8);
        k->ncards++;
    }
    short i = 0;
    while (i < k->kept && k->cards[i].number < number) i++;
    if (i < k->kept && k->cards[i].number == number) return &k->cards[i];
    if (i == KPNP_MAXCARDS) return nullptr;
    short last = k->kept < KPNP_MAXCARDS ? k->kept++ : (short)(KPNP_MAXCARDS - 1);
    memmove(&k->cards[i + 1], &k->cards[i], sizeof k->cards[0] * (size_t)(last - i));
    KERNEL_PNP_CARD* c = &k->cards[i];
    memset(c, 0, sizeof *c);
    c->number = number;
    snprintf(c->id, sizeof c->id, "card %d", number);
    return c;
}

// A new device record numbered number in c, in order of numbers, or null when it is there
// already or does not fit.
static KERNEL_PNP_DEVICE* new_device(KERNEL_PNP_CARD* c, short number) {
    short i = 0;
    while (i < c->ndevs && c->devs[i].number < number) i++;
    if ((i < c->ndevs && c->devs[i].number == number) || i == KPNP_MAXDEVS) return nullptr;
    short last = c->ndevs < KPNP_MAXDEVS ? c->ndevs++ : (short)(KPNP_MAXDEVS - 1);
    memmove(&c->devs[i + 1], &c->devs[i], sizeof c->devs[0] * (size_t)(last - i));
    KERNEL_PNP_DEVICE* d = &c->devs[i];
    memset(d, 0, sizeof *d);
    d->number = number;
    return d;
}

// Calls visit(path, name, r) for each entry NAME of the directory dir but "." and "..", path
// being dir/NAME. A directory that cannot be opened has no entries.
static void each_entry(const char* dir, void (*visit)(const char*, const char*, KPNP_READ&), KPNP_READ& r) {
    DIR* dp = opendir(dir);
    if (!dp) return;
    char path[PATH_SIZE];
    struct dirent* ent;
    while ((ent = readdir(dp)) != nullptr)
        if (strcmp(ent->d_name, ".") && strcmp(ent->d_name, "..") &&
            host_path(dir, ent->d_name, path, sizeof path))
            visit(path, ent->d_name, r);
    closedir(dp);
}

// Offers the entries of root/rel but those beginning with '.' to found(name, ctx), one by one,
// until it returns 1. 1 when one did; 0 when none did or the directory cannot be read.
static short any_entry(const char* root, const char* rel, short (*found)(const char*, void*), void* ctx) {
    char dir[PATH_SIZE];
    if (!host_path(root, rel, dir, sizeof dir)) return 0;
    DIR* dp = opendir(dir);
    if (!dp) return 0;
    short done = 0;
    struct dirent* ent;
    while (!done && (ent = readdir(dp)) != nullptr)
        if (ent->d_name[0] != '.') done = found(ent->d_name, ctx);
    closedir(dp);
    return done;
}

// What card_id_of and bound_driver look for: the device's name under root, and where the answer
// goes.
struct SYSFS_LOOKUP {
    const char* root;
    const char* name;
    char* out;
    size_t n;
};

// sys/devices/ENTRY/PP:CC/card_id, for an entry pnpN.
static short card_id_in(const char* entry, void* ctx) {
    SYSFS_LOOKUP& q = *(SYSFS_LOOKUP*)ctx;
    char rel[64], path[PATH_SIZE];
    if (strncmp(entry, "pnp", 3) != 0) return 0;
    snprintf(rel, sizeof rel, "sys/devices/%.16s/%.5s/card_id", entry, q.name);
    return host_path(q.root, rel, path, sizeof path) && read_first_line(path, q.out, q.n);
}

// sys/bus/pnp/drivers/ENTRY/NAME: the driver ENTRY has the device.
static short driver_has(const char* entry, void* ctx) {
    SYSFS_LOOKUP& q = *(SYSFS_LOOKUP*)ctx;
    char rel[PATH_SIZE], path[PATH_SIZE];
    struct stat st;
    snprintf(rel, sizeof rel, "sys/bus/pnp/drivers/%.255s/%.64s", entry, q.name);
    if (!host_path(q.root, rel, path, sizeof path) || lstat(path, &st) != 0) return 0;
    bounded_copy(q.out, q.n, entry, strlen(entry));
    return 1;
}

// Where the device entry is a directory of its own rather than sysfs's link into the card's
// directory (a copy of sysfs made by following links), the card's id is read from
// sys/devices/pnpN/PP:CC/card_id, PP:CC being the first five characters of the device's name
// PP:CC.DD. 1 with id set, or 0.
static short card_id_of(const char* root, const char* name, char* id, size_t n) {
    SYSFS_LOOKUP q = {root, name, id, n};
    return any_entry(root, "sys/devices", card_id_in, &q);
}

// The same for a device's driver, when its entry has no driver link: the driver whose directory
// sys/bus/pnp/drivers/DRIVER holds an entry named as the device. 1 with driver set, or 0.
static short bound_driver(const char* root, const char* name, char* driver, size_t n) {
    SYSFS_LOOKUP q = {root, name, driver, n};
    return any_entry(root, "sys/bus/pnp/drivers", driver_has, &q);
}

// A sysfs device entry dir (sys/bus/pnp/devices/NAME): its id, driver, and its card's id.
static void visit_sysfs_device(const char* dir, const char* name, KPNP_READ& r) {
    short card, dev;
    if (!parse_isapnp_name(name, card, dev)) return;
    KERNEL_PNP_CARD* c = card_of(r, card);
    KERNEL_PNP_DEVICE* d = c ? new_device(c, dev) : nullptr;
    if (!d) return;
    char path[PATH_SIZE], link[PATH_SIZE];
    if (!host_path(dir, "id", path, sizeof path) || !read_first_line(path, d->id, sizeof d->id))
        bounded_copy(d->id, sizeof d->id, name, strlen(name));
    ssize_t len;
    if (host_path(dir, "driver", path, sizeof path) && (len = readlink(path, link, sizeof link)) > 0 &&
        (size_t)len < sizeof link) {
        link[len] = 0;
        const char* base = strrchr(link, '/');
        base = base ? base + 1 : link;
        bounded_copy(d->driver, sizeof d->driver, base, strlen(base));
    }
    if (!d->driver[0]) bound_driver(r.root, name, d->driver, sizeof d->driver);
    char id[KPNP_ID_SIZE];
    if ((host_path(dir, "../card_id", path, sizeof path) && read_first_line(path, id, sizeof id)) ||
        card_id_of(r.root, name, id, sizeof id))
        memcpy(c->id, id, sizeof c->id);
}

// Whether the entry name at path is two hex digits (number gets their value) and a directory
// (want_dir) or a regular file.
static short hex2_entry(const char* path, const char* name, short want_dir, short& number) {
    struct stat st;
    if (strlen(name) != 2 || !hex2(name, number) || stat(path, &st) != 0) return 0;
    return want_dir ? S_ISDIR(st.st_mode) : S_ISREG(st.st_mode);
}

// A file of a card directory of proc/bus/isapnp: a device of r.card when named by its number.
static void visit_proc_device(const char* path, const char* name, KPNP_READ& r) {
    short dev;
    if (hex2_entry(path, name, 0, dev)) new_device(r.card, dev);
}

// An entry of proc/bus/isapnp: a card when it is a directory named by the card's number.
static void visit_proc_card(const char* path, const char* name, KPNP_READ& r) {
    short card;
    if (hex2_entry(path, name, 1, card) && (r.card = card_of(r, card)) != nullptr)
        each_entry(path, visit_proc_device, r);
}

short kernel_pnp_read(const char* root, KERNEL_PNP* k) {
    memset(k, 0, sizeof *k);
    KPNP_READ r = {k, {0}, nullptr, root};
    char dir[PATH_SIZE];
    if (host_path(root, "sys/bus/pnp/devices", dir, sizeof dir)) each_entry(dir, visit_sysfs_device, r);
    if (k->ncards) {
        k->source = KPNP_SYSFS;
        return k->ncards;
    }
    if (host_path(root, "proc/bus/isapnp", dir, sizeof dir)) each_entry(dir, visit_proc_card, r);
    if (k->ncards) k->source = KPNP_PROCFS;
    return k->ncards;
}

// Appends s to the text in buf (n bytes), cut to fit.
static void append(char* buf, size_t n, const char* s) {
    size_t len = strlen(buf);
    while (*s && len + 1 < n) buf[len++] = *s++;
    buf[len] = 0;
}

short kernel_pnp_warnings(const char* root, char lines[][HOST_TEXT_SIZE], short max) {
    KERNEL_PNP k;
    if (max < 1 || !kernel_pnp_read(root, &k)) return 0;
    char* line = lines[0];
    snprintf(line, HOST_TEXT_SIZE, "the kernel's ISA PnP driver manages %d card%s (", k.ncards,
             k.ncards == 1 ? "" : "s");
    for (short i = 0; i < k.kept; i++) {
        if (i) append(line, HOST_TEXT_SIZE, ", ");
        append(line, HOST_TEXT_SIZE, k.cards[i].id);
    }
    if (k.ncards > k.kept) append(line, HOST_TEXT_SIZE, ", ...");
    append(line, HOST_TEXT_SIZE, "); ISOLATE renumbers them");
    short count = 1;
    for (short i = 0; i < k.kept; i++) {
        const KERNEL_PNP_CARD& c = k.cards[i];
        for (short j = 0; j < c.ndevs && count < max; j++) {
            if (!c.devs[j].driver[0]) continue;
            snprintf(lines[count++], HOST_TEXT_SIZE,
                     "device %s of card %s is bound to driver %s: DEVICE SET moves its resources under it",
                     c.devs[j].id, c.id, c.devs[j].driver);
        }
    }
    return count;
}
