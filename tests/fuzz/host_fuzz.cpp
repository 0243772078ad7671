// Fuzz target: the host readers (the /proc holders and the kernel's ISA PnP cards) under a root of
// files, links, directories and FIFOs that the input makes, every question asked, and each answer
// checked against what the readers promise.
//
// Input: records, each a kind byte, three selector bytes PP CC DD, a length (two bytes, low first)
// and that many content bytes (cut at the input's end). The kind byte: its low four bits what is
// made (the numbers of KIND below, taken modulo KINDS), bits 4-5 how a device's name is spelled
// (SPELL_*), bits 6-7 a form that the kind tells (form bit 0 is bit 6). NAME is the device's name (01:02.00 for PP 01,
// CC 02, DD 00), CARD its card's (01:02), PNP the directory sys/devices/pnpN (N the value of PP).
//    0-3  proc/ioports, proc/iomem, proc/interrupts, proc/dma: the content; form bit 0 appends
//    4    sys/bus/pnp/devices/NAME, a directory; the content its file by form: 0 id, 1 none,
//         2 resources, 3 options
//    5    PNP/CARD/NAME/id (PNP/NAME/id for a short name) the content, and the link
//         sys/bus/pnp/devices/NAME to that directory, as sysfs has them
//    6    a driver link whose target is the content: in sys/bus/pnp/devices/NAME/, or with form bit
//         0 in PNP/CARD/NAME/
//    7    sys/bus/pnp/drivers/DRIVER/NAME, DRIVER the content made a name: an empty file, or with
//         form bit 0 a link to ../../devices/NAME
//    8    PNP/CARD/card_id, the content; with form bit 0 PNP/CARD/name
//    9    proc/bus/isapnp/CC/DD (two hex digits each), the content; with form bit 0 CC is made a
//         file of the content instead, when it is not there
//    10   an odd entry (form: 0 a FIFO, 1 a regular file of the content, 2 a link to itself, 3 a link
//         to nowhere) at the place the first content byte picks (odd_place), the rest its content
// At most MAX_RECORDS records are read, each of at most 65,535 content bytes. The records write
// under a fixed directory of the process, removed before and after each input.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <json-c/json.h>
#include <fcntl.h>
#include <ftw.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "app/list.h"
#include "harness.h"
#include "pnp/host_resources.h"
#include "pnp/kernel_pnp.h"

namespace {

enum {
    KIND_IOPORTS,
    KIND_IOMEM,
    KIND_INTERRUPTS,
    KIND_DMA,
    KIND_DEVICE_DIR,
    KIND_DEVICE_LINKED,
    KIND_DRIVER_LINK,
    KIND_DRIVER_ENTRY,
    KIND_CARD_ID,
    KIND_PROC_ISAPNP,
    KIND_ODD,
    KINDS
};
// How a device's name is spelled: 01:0a.00, 01:0A.00, 01:0a (a PnP BIOS or ACPI device), 01:0a.0.
enum { SPELL_LOWER, SPELL_UPPER, SPELL_SHORT, SPELL_BAD };
const int MAX_RECORDS = 64;     // records read of an input; the rest is not
const size_t MAX_NAME = 40;     // bytes of content made a driver's name, at most
const size_t MAX_TARGET = 200;  // bytes of content made a link's target, at most
const int HEADER = 6;           // kind, PP, CC, DD, length

[[noreturn]] void fail(const char* what, const char* text) {
    fprintf(stderr, "host_fuzz: %s: \"%s\"\n", what, text);
    abort();
}

// The root of the made files, under the process's own directory.
const std::string& root_dir() {
    static const std::string root = std::string(fuzz_workdir()) + "/root";
    return root;
}

int remove_entry(const char* path, const struct stat*, int, struct FTW*) {
    remove(path);
    return 0;
}

// Removes the root and all below it, links as links (nothing they lead to).
void remove_root() { nftw(root_dir().c_str(), remove_entry, 16, FTW_DEPTH | FTW_PHYS); }

// Makes each directory of rel (a path under the root whose last part is not made) that is not
// there. What cannot be made is left: the write after it fails, as it may.
void make_parents(const std::string& rel) {
    for (size_t i = rel.find('/'); i != std::string::npos; i = rel.find('/', i + 1))
        mkdir((root_dir() + "/" + rel.substr(0, i)).c_str(), 0700);
}

void write_file(const std::string& rel, const uint8_t* data, size_t n, bool append) {
    make_parents(rel);
    int fd = open((root_dir() + "/" + rel).c_str(),
                  O_WRONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC | (append ? O_APPEND : O_TRUNC), 0600);
    if (fd < 0) return;
    struct stat st;
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode))
        for (size_t done = 0; done < n;) {
            ssize_t w = write(fd, data + done, n - done);
            if (w <= 0) break;
            done += (size_t)w;
        }
    close(fd);
}

void make_link(const std::string& target, const std::string& rel) {
    make_parents(rel);
    symlink(target.c_str(), (root_dir() + "/" + rel).c_str());
}

// The content made a file name: no '/' or NUL, not "." or "..", at most MAX_NAME bytes.
std::string name_of(const uint8_t* data, size_t n) {
    std::string s;
    for (size_t i = 0; i < n && s.size() < MAX_NAME; i++)
        s += data[i] == '/' || data[i] == 0 ? '_' : (char)data[i];
    if (s.empty() || s == "." || s == "..") s = "d" + s;
    return s;
}

// The content made a link's target: up to its first NUL, at most MAX_TARGET bytes.
std::string target_of(const uint8_t* data, size_t n) {
    std::string s;
    for (size_t i = 0; i < n && i < MAX_TARGET && data[i]; i++) s += (char)data[i];
    return s.empty() ? "none" : s;
}

// The names a record's selector bytes make.
struct NAMES {
    std::string device, card, pnp, cc, dd;
};

// v in two hex digits, spelled so (one or two digits for SPELL_BAD).
std::string hex_of(uint8_t v, int spell) {
    char buf[4];
    snprintf(buf, sizeof buf, spell == SPELL_UPPER ? "%02X" : spell == SPELL_BAD ? "%x" : "%02x", v);
    return buf;
}

NAMES names_of(int spell, uint8_t pp, uint8_t cc, uint8_t dd) {
    NAMES n;
    n.pnp = "sys/devices/pnp" + std::to_string(pp);
    n.cc = hex_of(cc, spell);
    n.dd = hex_of(dd, spell);
    n.card = hex_of(pp, spell == SPELL_BAD ? SPELL_LOWER : spell) + ":" +
             hex_of(cc, spell == SPELL_BAD ? SPELL_LOWER : spell);
    n.device = spell == SPELL_SHORT ? n.card : n.card + "." + n.dd;
    return n;
}

// The directory of a device as sysfs has it: PNP/CARD/NAME, or PNP/NAME for a short name.
std::string sysfs_dir(const NAMES& n, int spell) {
    return n.pnp + "/" + (spell == SPELL_SHORT ? n.device : n.card + "/" + n.device);
}

// An odd entry of this form at rel.
void make_odd(const std::string& rel, int form, const uint8_t* data, size_t n) {
    make_parents(rel);
    std::string path = root_dir() + "/" + rel;
    switch (form) {
    case 0: mkfifo(path.c_str(), 0600); break;
    case 1: write_file(rel, data, n, false); break;
    case 2: symlink(path.substr(path.rfind('/') + 1).c_str(), path.c_str()); break;
    default: symlink("nowhere/at/all", path.c_str()); break;
    }
}

// Where an odd entry goes, by its first content byte (ODD_PLACES of them).
const int ODD_PLACES = 8;
std::string odd_place(uint8_t which, const NAMES& n) {
    switch (which % ODD_PLACES) {
    case 0: return "sys/bus/pnp/devices/" + n.device;
    case 1: return "sys/bus/pnp/drivers/" + n.device;
    case 2: return n.pnp;
    case 3: return n.pnp + "/" + n.card + "/card_id";
    case 4: return "sys/bus/pnp/devices/" + n.device + "/id";
    case 5: return "proc/bus/isapnp/" + n.cc;
    case 6: return "proc/bus/isapnp/" + n.cc + "/" + n.dd;
    default: return "proc/ioports";
    }
}

void make_record(int kind_byte, uint8_t pp, uint8_t cc, uint8_t dd, const uint8_t* data, size_t n) {
    static const char* const PROC[] = {"proc/ioports", "proc/iomem", "proc/interrupts", "proc/dma"};
    int kind = (kind_byte & 15) % KINDS, spell = (kind_byte >> 4) & 3, form = kind_byte >> 6;
    NAMES names = names_of(spell, pp, cc, dd);
    const std::string devices = "sys/bus/pnp/devices/" + names.device;
    switch (kind) {
    case KIND_IOPORTS:
    case KIND_IOMEM:
    case KIND_INTERRUPTS:
    case KIND_DMA: write_file(PROC[kind], data, n, form & 1); break;
    case KIND_DEVICE_DIR:
        make_parents(devices + "/");
        if (form != 1) write_file(devices + (form == 0 ? "/id" : form == 2 ? "/resources" : "/options"), data, n, false);
        break;
    case KIND_DEVICE_LINKED:
        write_file(sysfs_dir(names, spell) + "/id", data, n, false);
        make_link("../../../devices/" + sysfs_dir(names, spell).substr(strlen("sys/devices/")), devices);
        break;
    case KIND_DRIVER_LINK:
        make_parents(((form & 1) ? sysfs_dir(names, spell) : devices) + "/");
        make_link(target_of(data, n), ((form & 1) ? sysfs_dir(names, spell) : devices) + "/driver");
        break;
    case KIND_DRIVER_ENTRY: {
        std::string entry = "sys/bus/pnp/drivers/" + name_of(data, n) + "/" + names.device;
        if (form & 1)
            make_link("../../devices/" + names.device, entry);
        else
            write_file(entry, nullptr, 0, false);
        break;
    }
    case KIND_CARD_ID:
        write_file(names.pnp + "/" + names.card + ((form & 1) ? "/name" : "/card_id"), data, n, false);
        break;
    case KIND_PROC_ISAPNP:
        if (form & 1)
            write_file("proc/bus/isapnp/" + names.cc, data, n, false);
        else
            write_file("proc/bus/isapnp/" + names.cc + "/" + names.dd, data, n, false);
        break;
    default: make_odd(odd_place(n ? data[0] : 0, names), form, n ? data + 1 : data, n ? n - 1 : 0); break;
    }
}

// Makes the root from the input's records. The addresses that the selector bytes of the ioports
// and iomem records make go to ports and mem for the questions: the first eight of each (the
// arrays' size), later ones are not asked about.
void make_root(const uint8_t* data, size_t size, unsigned long* ports, unsigned long* mem, int& nports,
               int& nmem) {
    mkdir(root_dir().c_str(), 0700);
    for (int r = 0; r < MAX_RECORDS && size >= (size_t)HEADER; r++) {
        size_t n = data[4] | (size_t)data[5] << 8;
        if (n > size - HEADER) n = size - HEADER;
        int kind = (data[0] & 15) % KINDS;
        unsigned long at = (unsigned long)data[1] << 16 | (unsigned long)data[2] << 8 | data[3];
        if (kind == KIND_IOPORTS && nports < 8) ports[nports++] = at & 0xffff;
        if (kind == KIND_IOMEM && nmem < 8) mem[nmem++] = at << 8;
        make_record(data[0], data[1], data[2], data[3], data + HEADER, n);
        data += HEADER + n;
        size -= HEADER + n;
    }
}

// A text a reader returns: ended within n bytes, and of printable ASCII alone.
void check_text(const char* what, const char* text, size_t n) {
    size_t len = strnlen(text, n);
    if (len == n) fail(what, "not ended");
    for (size_t i = 0; i < len; i++)
        if ((unsigned char)text[i] < 0x20 || (unsigned char)text[i] > 0x7e) fail(what, text);
}

// host_range_held against the holder of the same range, and the end of the run it gives.
void check_range(const char* root, short file, unsigned long lo, unsigned long hi) {
    short (*holder)(const char*, unsigned long, unsigned long, HOST_HOLDER*) =
        file == HOST_IO ? host_io_holder : host_mem_holder;
    short (*conflict)(const char*, unsigned long, unsigned long, char*, size_t) =
        file == HOST_IO ? host_io_conflict : host_mem_conflict;
    HOST_HOLDER h;
    short answer = holder(root, lo, hi, &h);
    if (answer == HOST_IN_USE) {
        check_text("holder", h.name, sizeof h.name);
        if (h.lo > h.hi || h.hi < (lo < hi ? lo : hi) || h.lo > (lo < hi ? hi : lo))
            fail("holder range", h.name);
    }
    char text[HOST_TEXT_SIZE];
    if (conflict(root, lo, hi, text, sizeof text) != (answer == HOST_IN_USE)) fail("conflict text", text);
    check_text("conflict text", text, sizeof text);
    unsigned long past = 7;
    short held = host_range_held(root, file, lo, hi, &past);
    if (held != (answer == HOST_IN_USE)) fail("held against the holder", h.name);
    if (held && (holder(root, past, past, nullptr) != HOST_IN_USE ||
                 (past != ~0ul && holder(root, past + 1, past + 1, nullptr) == HOST_IN_USE)))
        fail("the end of a held run", "");
}

void ask_host(const char* root, const unsigned long* ports, int nports, const unsigned long* mem, int nmem) {
    for (unsigned long port = 0; port <= 0x10000; port += 0x100) {
        check_range(root, HOST_IO, port, port);
        check_range(root, HOST_IO, port + 0xff, port);
    }
    for (int i = 0; i < nports; i++) check_range(root, HOST_IO, ports[i], ports[i] + 7);
    for (unsigned long a = 0; a < 0x100000; a += 0x8000) check_range(root, HOST_MEM, a, a + 0x7fff);
    for (int i = 0; i < nmem; i++) check_range(root, HOST_MEM, mem[i], mem[i] + 0xfff);
    for (short file : {HOST_IO, HOST_MEM}) {
        check_range(root, file, 0, ~0ul);
        check_range(root, file, ~0ul, ~0ul);
        check_range(root, file, ~0ul - 0xfff, 0x10000);
    }
    char text[HOST_TEXT_SIZE];
    unsigned short irqs = 0, dmas = 0;
    for (short l = -1; l <= 16; l++) {
        short answer = host_irq_holder(root, l, nullptr);
        if (answer == HOST_IN_USE && l >= 0 && l < 16) irqs |= (unsigned short)(1u << l);
        if (host_irq_conflict(root, l, text, sizeof text) != (answer == HOST_IN_USE)) fail("IRQ text", text);
        check_text("IRQ text", text, sizeof text);
    }
    for (short c = -1; c <= 8; c++) {
        short answer = host_dma_holder(root, c, nullptr);
        if (answer == HOST_IN_USE && c >= 0 && c < 8) dmas |= (unsigned short)(1u << c);
        if (host_dma_conflict(root, c, text, sizeof text) != (answer == HOST_IN_USE)) fail("DMA text", text);
        check_text("DMA text", text, sizeof text);
    }
    if (host_irqs_held(root) != irqs || host_dmas_held(root) != dmas) fail("held masks", "");
}

void check_kernel(const char* root) {
    static KERNEL_PNP k, again;
    short n = kernel_pnp_read(root, &k);
    if (n != k.ncards || k.kept < 0 || k.kept > KPNP_MAXCARDS || k.kept > k.ncards ||
        k.kept != (k.ncards < KPNP_MAXCARDS ? k.ncards : KPNP_MAXCARDS) ||
        (k.source == KPNP_NONE) != (n == 0))
        fail("kernel card counts", "");
    for (short i = 0; i < k.kept; i++) {
        const KERNEL_PNP_CARD& c = k.cards[i];
        if ((i && c.number <= k.cards[i - 1].number) || c.ndevs < 0 || c.ndevs > KPNP_MAXDEVS)
            fail("kernel card order", c.id);
        check_text("card id", c.id, sizeof c.id);
        for (short j = 0; j < c.ndevs; j++) {
            const KERNEL_PNP_DEVICE& d = c.devs[j];
            if (j && d.number <= c.devs[j - 1].number) fail("device order", d.id);
            check_text("device id", d.id, sizeof d.id);
            check_text("driver", d.driver, sizeof d.driver);
            if (strnlen(d.name, sizeof d.name) == sizeof d.name) fail("device name", "not ended");
        }
    }
    kernel_pnp_read(root, &again);
    if (memcmp(&k, &again, sizeof k) != 0) fail("a second read differs", "");
    static char lines[40][HOST_TEXT_SIZE];
    for (short max : {0, 1, 3, 40}) {
        short got = kernel_pnp_warnings(root, lines, max);
        if (got < 0 || got > max || (n > 0 && max > 0) != (got > 0)) fail("warning count", "");
        for (short i = 0; i < got; i++) check_text("warning", lines[i], sizeof lines[i]);
    }
}

// The kernel's view as --list reads it: printed as text and as JSON, which must read back as
// valid JSON in UTF-8 with one card for each card listed.
void check_list(const char* root) {
    static LIST list;
    short n = list_from_kernel(root, &list);
    if (n < 0 || list.ncards > LIST_MAX_CARDS || (n == 0) != (list.ncards == 0)) fail("list counts", "");
    for (short c = 0; c < list.ncards; c++) {
        const LIST_CARD& card = list.cards[c];
        check_text("list card", card.name, sizeof card.name);
        for (short d = 0; d < card.ndevs; d++) {
            const LIST_DEVICE& dev = card.devs[d];
            check_text("list device", dev.id, sizeof dev.id);
            if (dev.nres < 0 || dev.nres > LIST_MAX_RES || dev.ncompat > RES_MAX_COMPAT) fail("list device", dev.id);
        }
    }
    FILE* null = fopen("/dev/null", "w");
    if (null) {
        list_print(null, &list, 1, root);
        fclose(null);
    }
    char* doc = nullptr;
    size_t len = 0;
    FILE* mem = open_memstream(&doc, &len);
    if (!mem) return;
    short written = list_print_json(mem, &list, 1, root);
    fclose(mem);
    json_tokener* tok = json_tokener_new();
    json_tokener_set_flags(tok, JSON_TOKENER_STRICT | JSON_TOKENER_VALIDATE_UTF8);
    json_object* back = written && doc ? json_tokener_parse_ex(tok, doc, (int)len) : nullptr;
    json_object* cards = nullptr;
    if (written && (!back || !json_object_object_get_ex(back, "cards", &cards) ||
                    (int)json_object_array_length(cards) != list.ncards))
        fail("list JSON", doc ? doc : "");
    json_object_put(back);
    json_tokener_free(tok);
    free(doc);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    remove_root();
    unsigned long ports[8], mem[8];
    int nports = 0, nmem = 0;
    make_root(data, size, ports, mem, nports, nmem);
    const char* root = root_dir().c_str();
    host_forget();
    ask_host(root, ports, nports, mem, nmem);
    check_kernel(root);
    check_list(root);
    host_forget();
    remove_root();
    return 0;
}
