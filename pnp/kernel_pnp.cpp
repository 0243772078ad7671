// The kernel's ISA PnP cards: sysfs's device entries, else proc/bus/isapnp's card folders, read
// under a root directory.
#include "pnp/kernel_pnp.h"

#include <ctype.h>
#include <dirent.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "pnp/host_files.h"

// The first line of the small file at path into buf, as host_copy_text keeps it. 1, or 0 when
// the file cannot be read or the line is empty.
static short read_first_line(const char* path, char* buf, size_t n) {
    HOST_FILE hf;
    if (!host_open_path(path, hf)) return 0;
    char line[HOST_LINE_SIZE];
    short got = host_read_line(hf, line, sizeof line);
    fclose(hf.f);
    if (!got) return 0;
    host_copy_text(buf, n, line, strlen(line));
    return buf[0] != 0;
}

// Parses two hex digits at s into v. 1, or 0.
static short hex2(const char* s, short& v) {
    if (!isxdigit((unsigned char)s[0]) || !isxdigit((unsigned char)s[1])) return 0;
    v = (short)(host_hex_digit(s[0]) * 16 + host_hex_digit(s[1]));
    return 1;
}

// Parses a sysfs device name "PP:CC.DD" into its card and device numbers. 1, or 0 for any other
// name (a PnP BIOS or ACPI device "00:0a" among them).
static short parse_isapnp_name(const char* name, short& card, short& dev) {
    short protocol;
    return strlen(name) == 8 && hex2(name, protocol) && name[2] == ':' && hex2(name + 3, card) &&
           name[5] == '.' && hex2(name + 6, dev);
}

// A reading of the kernel's cards under way: the result, the card numbers seen and those whose
// card_id was read (a bit each), the card whose devices are being read (procfs), the driver
// whose directory is being read (sysfs).
struct KPNP_READ {
    KERNEL_PNP* k;
    unsigned char seen[32];
    unsigned char named[32];
    KERNEL_PNP_CARD* card;
    const char* driver;
};

// Bit number of the bits.
static short bit_of(const unsigned char* bits, short number) { return (bits[number / 8] >> number % 8) & 1; }
static void set_bit(unsigned char* bits, short number) {
    bits[number / 8] |= (unsigned char)(1 << number % 8);
}

// The card numbered number, added in order of numbers when new (the one past KPNP_MAXCARDS falls
// out), or null when it falls out itself. Every new number counts in k->ncards.
static KERNEL_PNP_CARD* card_of(KPNP_READ& r, short number) {
    KERNEL_PNP* k = r.k;
    if (!bit_of(r.seen, number)) {
        set_bit(r.seen, number);
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

// The kept card numbered number, or null.
static KERNEL_PNP_CARD* kept_card(KERNEL_PNP* k, short number) {
    for (short i = 0; i < k->kept; i++)
        if (k->cards[i].number == number) return &k->cards[i];
    return nullptr;
}

// A new device record numbered number in c, in order of numbers, or null when it is there
// already or does not fit.
static KERNEL_PNP_DEVICE* new_device(KERNEL_PNP_CARD* c, short number) {
    short i = 0;
    while (i < c->ndevs && c->devs[i].number < number) i++;
    if (i < c->ndevs && c->devs[i].number == number) return nullptr;
    // A full record: this device, or the last one it pushes out, is left out and counted.
    if (c->ndevs == KPNP_MAXDEVS && c->devs_more < 0x7FFF) c->devs_more++;
    if (i == KPNP_MAXDEVS) return nullptr;
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
    char path[HOST_PATH_SIZE];
    struct dirent* ent;
    while ((ent = readdir(dp)) != nullptr)
        if (strcmp(ent->d_name, ".") && strcmp(ent->d_name, "..") &&
            host_path(dir, ent->d_name, path, sizeof path))
            visit(path, ent->d_name, r);
    closedir(dp);
}

// Calls each_entry(root/rel, visit, r), when the path can be made.
static void each_entry_of(const char* root, const char* rel,
                          void (*visit)(const char*, const char*, KPNP_READ&), KPNP_READ& r) {
    char dir[HOST_PATH_SIZE];
    if (host_path(root, rel, dir, sizeof dir)) each_entry(dir, visit, r);
}

// How many kept devices have no driver yet.
static short devices_without_driver(const KERNEL_PNP* k) {
    short n = 0;
    for (short i = 0; i < k->kept; i++)
        for (short j = 0; j < k->cards[i].ndevs; j++) n += !k->cards[i].devs[j].driver[0];
    return n;
}

// How many kept cards have no card_id read yet.
static short cards_without_id(const KPNP_READ& r) {
    short n = 0;
    for (short i = 0; i < r.k->kept; i++) n += !bit_of(r.named, r.k->cards[i].number);
    return n;
}

// Reads c's id from the card_id file at path and counts c as named, and its name from the name
// file beside it. 1, or 0 (c as it was) when card_id cannot be read or its line is empty.
static short read_card_id(const char* path, KPNP_READ& r, KERNEL_PNP_CARD* c) {
    char id[KPNP_ID_SIZE] = "";  // whole, so that the card's id has no bytes left unset
    if (!read_first_line(path, id, sizeof id)) return 0;
    memcpy(c->id, id, sizeof c->id);
    c->has_id = 1;
    set_bit(r.named, c->number);
    char name_path[HOST_PATH_SIZE];
    size_t len = strlen(path), dir = len - strlen("card_id");  // path ends with "card_id"
    if (len >= strlen("card_id") && dir + sizeof "name" <= sizeof name_path) {
        memcpy(name_path, path, dir);
        memcpy(name_path + dir, "name", sizeof "name");
        read_first_line(name_path, c->name, sizeof c->name);
    }
    return 1;
}

// A sysfs device entry dir (sys/bus/pnp/devices/NAME): kept by its name when NAME is an ISA PnP
// device's and the entry a directory (through its link). Nothing is opened: a FIFO is never waited
// on, and the files of a device that falls out of the tables later are never read.
static void visit_sysfs_device(const char* dir, const char* name, KPNP_READ& r) {
    short card, dev;
    struct stat st;
    if (!parse_isapnp_name(name, card, dev) || stat(dir, &st) != 0 || !S_ISDIR(st.st_mode)) return;
    KERNEL_PNP_CARD* c = card_of(r, card);
    KERNEL_PNP_DEVICE* d = c ? new_device(c, dev) : nullptr;
    if (d) memcpy(d->name, name, sizeof d->name);  // parse_isapnp_name took 8 characters
}

// A kept device d of card c from its directory under devices (sys/bus/pnp/devices): its id, the
// driver its driver link names, and, while c has none, its card's id from the card directory above
// it (sysfs's link leads into it).
static void read_sysfs_device(const char* devices, KERNEL_PNP_CARD* c, KERNEL_PNP_DEVICE* d, KPNP_READ& r) {
    char dir[HOST_PATH_SIZE], path[HOST_PATH_SIZE], link[HOST_PATH_SIZE];
    if (!host_path(devices, d->name, dir, sizeof dir)) return;
    if (!host_path(dir, "id", path, sizeof path) || !read_first_line(path, d->id, sizeof d->id))
        host_copy_text(d->id, sizeof d->id, d->name, strlen(d->name));
    ssize_t len;
    if (host_path(dir, "driver", path, sizeof path) && (len = readlink(path, link, sizeof link)) > 0 &&
        (size_t)len < sizeof link) {
        link[len] = 0;
        const char* base = strrchr(link, '/');
        base = base ? base + 1 : link;
        host_copy_text(d->driver, sizeof d->driver, base, strlen(base));
    }
    if (!bit_of(r.named, c->number) && host_path(dir, "../card_id", path, sizeof path))
        read_card_id(path, r, c);
}

// An entry of the driver directory r.driver: the driver of the kept device of that name when it
// has none yet.
static void visit_driver_entry(const char*, const char* name, KPNP_READ& r) {
    short card, dev;
    if (!parse_isapnp_name(name, card, dev)) return;
    KERNEL_PNP_CARD* c = kept_card(r.k, card);
    for (short j = 0; c && j < c->ndevs; j++) {
        KERNEL_PNP_DEVICE& d = c->devs[j];
        if (d.number == dev && !d.driver[0] && strcmp(d.name, name) == 0)
            host_copy_text(d.driver, sizeof d.driver, r.driver, strlen(r.driver));
    }
}

// An entry DRIVER of sys/bus/pnp/drivers: its directory read, while a kept device lacks a driver.
static void visit_driver(const char* path, const char* name, KPNP_READ& r) {
    if (name[0] == '.' || !devices_without_driver(r.k)) return;
    r.driver = name;
    each_entry(path, visit_driver_entry, r);
}

// An entry PP:CC of a directory sys/devices/pnpN: the card_id of the kept card CC when it has
// none yet and a device of it is named PP:CC.DD.
static void visit_card_dir(const char* path, const char* name, KPNP_READ& r) {
    short protocol, card;
    if (strlen(name) != 5 || !hex2(name, protocol) || name[2] != ':' || !hex2(name + 3, card) ||
        bit_of(r.named, card))
        return;
    KERNEL_PNP_CARD* c = kept_card(r.k, card);
    short has_device = 0;
    for (short j = 0; c && j < c->ndevs; j++) has_device |= strncmp(c->devs[j].name, name, 5) == 0;
    char file[HOST_PATH_SIZE];
    if (has_device && host_path(path, "card_id", file, sizeof file)) read_card_id(file, r, c);
}

// An entry of sys/devices: its directory read when it is named pnpN and a kept card lacks its id.
static void visit_devices_entry(const char* path, const char* name, KPNP_READ& r) {
    if (strncmp(name, "pnp", 3) == 0 && cards_without_id(r)) each_entry(path, visit_card_dir, r);
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
    KPNP_READ r = {k, {0}, {0}, nullptr, nullptr};
    char devices[HOST_PATH_SIZE];
    if (host_path(root, "sys/bus/pnp/devices", devices, sizeof devices))
        each_entry(devices, visit_sysfs_device, r);
    if (k->ncards) {
        for (short i = 0; i < k->kept; i++)
            for (short j = 0; j < k->cards[i].ndevs; j++)
                read_sysfs_device(devices, &k->cards[i], &k->cards[i].devs[j], r);
        // A copy of sysfs made by following links has device directories of their own: no driver
        // links, no card directory above them. Each directory that can tell is read once.
        if (devices_without_driver(k)) each_entry_of(root, "sys/bus/pnp/drivers", visit_driver, r);
        if (cards_without_id(r)) each_entry_of(root, "sys/devices", visit_devices_entry, r);
        k->source = KPNP_SYSFS;
        return k->ncards;
    }
    each_entry_of(root, "proc/bus/isapnp", visit_proc_card, r);
    if (k->ncards) k->source = KPNP_PROCFS;
    return k->ncards;
}

short kernel_pnp_device_lines(const char* root, const char* name, const char* file,
                              void (*line)(const char* text, void* ctx), void* ctx, short max) {
    short card, dev;
    char rel[HOST_PATH_SIZE];
    if (!parse_isapnp_name(name, card, dev)) return -1;
    snprintf(rel, sizeof rel, "sys/bus/pnp/devices/%s/%.64s", name, file);
    HOST_FILE hf;
    if (!host_open(root, rel, hf)) return -1;
    char buf[HOST_LINE_SIZE], text[KPNP_LINE_SIZE];
    short given = 0, got;
    while (given < max && (got = host_read_line(hf, buf, sizeof buf)) != 0) {
        for (char* p = buf; *p; p++)
            if (*p == '\t') *p = ' ';
        host_copy_text(text, sizeof text, buf, strlen(buf));
        if (!text[0]) continue;
        line(text, ctx);
        given++;
    }
    fclose(hf.f);
    return given;
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
