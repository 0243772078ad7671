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
    char path[HOST_PATH_SIZE];
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
    char dir[HOST_PATH_SIZE];
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
    char rel[64], path[HOST_PATH_SIZE];
    if (strncmp(entry, "pnp", 3) != 0) return 0;
    snprintf(rel, sizeof rel, "sys/devices/%.16s/%.5s/card_id", entry, q.name);
    return host_path(q.root, rel, path, sizeof path) && read_first_line(path, q.out, q.n);
}

// sys/bus/pnp/drivers/ENTRY/NAME: the driver ENTRY has the device.
static short driver_has(const char* entry, void* ctx) {
    SYSFS_LOOKUP& q = *(SYSFS_LOOKUP*)ctx;
    char rel[HOST_PATH_SIZE], path[HOST_PATH_SIZE];
    struct stat st;
    snprintf(rel, sizeof rel, "sys/bus/pnp/drivers/%.255s/%.64s", entry, q.name);
    if (!host_path(q.root, rel, path, sizeof path) || lstat(path, &st) != 0) return 0;
    host_copy_text(q.out, q.n, entry, strlen(entry));
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
    char path[HOST_PATH_SIZE], link[HOST_PATH_SIZE];
    if (!host_path(dir, "id", path, sizeof path) || !read_first_line(path, d->id, sizeof d->id))
        host_copy_text(d->id, sizeof d->id, name, strlen(name));
    ssize_t len;
    if (host_path(dir, "driver", path, sizeof path) && (len = readlink(path, link, sizeof link)) > 0 &&
        (size_t)len < sizeof link) {
        link[len] = 0;
        const char* base = strrchr(link, '/');
        base = base ? base + 1 : link;
        host_copy_text(d->driver, sizeof d->driver, base, strlen(base));
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
    char dir[HOST_PATH_SIZE];
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
