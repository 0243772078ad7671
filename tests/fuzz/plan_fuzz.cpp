// Fuzz target: the planner on up to 17 cards' resource data, planned without a host and again
// beside a small fixed host, each plan checked against the cards' offers and its own rules, and
// its script written and read back.
//
// Input: tests/fuzz/plan_input.h (an options byte, then the cards' resource data separated by
// "CARD").
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <sys/stat.h>

#include "app/plan.h"
#include "harness.h"
#include "plan_input.h"
#include "pnp/host_resources.h"
#include "pnp/resource_items.h"
#include "pnp/resource_model.h"

namespace {

const long TIME_LIMIT_MS = 200, SHORT_LIMIT_MS = 1;
// A search that runs this long past its limit has not kept to it (the sanitizers slow it down,
// and the machine may be busy: the bound is generous).
const long OVERRUN_MS = 5000;

RES_CARD cards[PLAN_MAX_CARDS];
const RES_CARD* card_ptrs[PLAN_MAX_CARDS];
PLAN plan;
short port_owner[0x10000];  // the placed device that answers at each port, -1: none

[[noreturn]] void fail(const char* what, const PLAN_DEVICE* p) {
    if (p)
        fprintf(stderr, "plan_fuzz: card %d device %d: %s\n", p->card, p->device, what);
    else
        fprintf(stderr, "plan_fuzz: %s\n", what);
    abort();
}

void write_file(const std::string& path, const char* text) {
    FILE* f = fopen(path.c_str(), "w");
    if (!f) abort();
    fputs(text, f);
    fclose(f);
}

// A sound-card machine: a few ports, the video and system ROMs, the board's and two cards' IRQs,
// DMA 1 and 5 held. Written once.
const char* host_root_dir() {
    static std::string root;
    if (!root.empty()) return root.c_str();
    root = std::string(fuzz_workdir()) + "/host";
    mkdir(root.c_str(), 0700);
    mkdir((root + "/proc").c_str(), 0700);
    write_file(root + "/proc/ioports",
               "0000-001f : dma1\n0020-0021 : pic1\n0040-0043 : timer0\n0060-006f : keyboard\n"
               "0070-0077 : rtc\n0080-008f : dma page reg\n00a0-00a1 : pic2\n00c0-00df : dma2\n"
               "00f0-00ff : fpu\n0170-0177 : ide1\n01f0-01f7 : ide0\n0220-022f : soundblaster\n"
               "0279-0279 : isapnp index\n02f8-02ff : serial\n0330-0331 : MPU401 UART\n"
               "0376-0376 : ide1\n0378-037a : parport0\n03c0-03df : vga+\n03f8-03ff : serial\n"
               "0620-0623 : EMU8000\n0cf8-0cff : PCI conf1\ne000-e01f : 0000:00:07.2\n"
               "  e000-e01f : uhci_hcd\n");
    write_file(root + "/proc/iomem",
               "00000000-0009fbff : System RAM\n000a0000-000bffff : Video RAM area\n"
               "000c0000-000c7fff : Video ROM\n000d0000-000d3fff : Adapter ROM\n"
               "000f0000-000fffff : System ROM\n00100000-07ffffff : System RAM\n"
               "e0000000-e3ffffff : 0000:00:08.0\nffff0000-ffffffff : reserved\n");
    write_file(root + "/proc/interrupts",
               "           CPU0       \n  0:    2783118          XT-PIC  timer\n"
               "  1:       3512          XT-PIC  i8042\n  2:          0          XT-PIC  cascade\n"
               "  5:        841          XT-PIC  snd_sb16\n  8:          1          XT-PIC  rtc\n"
               " 12:      41533          XT-PIC  i8042\n 14:      21004          XT-PIC  ide0\n"
               "NMI:          0 \n");
    write_file(root + "/proc/dma", " 1: SoundBlaster8\n 4: cascade\n 5: SoundBlaster16\n");
    return root.c_str();
}

// Splits the cards' data at the markers and decodes each. Returns the number of cards.
short decode_cards(const uint8_t* data, size_t size) {
    size_t at[PLAN_MAX_CARDS], len[PLAN_MAX_CARDS];
    short n = plan_input_split(data, size, PLAN_MAX_CARDS, at, len);
    for (short c = 0; c < n; c++) {
        res_decode(data + at[c], (long)len[c], &cards[c]);
        card_ptrs[c] = &cards[c];
    }
    return n;
}

// The ports a range answers at, by the card's decoding: the range itself, or with 10 address bits
// every port whose low 10 bits fall in it.
template <typename F>
void each_port(unsigned long start, unsigned long len, short ten_bit, F f) {
    if (!ten_bit) {
        for (unsigned long p = start; p < start + len; p++) f(p);
        return;
    }
    if (len >= 0x400) {
        for (unsigned long p = 0; p < 0x10000; p++) f(p);
        return;
    }
    for (unsigned long i = 0; i < len; i++)
        for (unsigned long alias = 0; alias < 0x10000; alias += 0x400) f(alias + ((start + i) & 0x3FF));
}

// Whether value lies in min..max at align (0: min alone).
short on_grid(unsigned long value, unsigned long min, unsigned long max, unsigned long align) {
    if (value < min || value > max) return 0;
    return align ? (value - min) % align == 0 : value == min;
}

// The resource matches the k-th descriptor of its kind in the device's configuration, takes
// nothing only when that descriptor takes nothing, and fits its register.
void check_resource(const RES_DEVICE* dev, const PLAN_DEVICE* p, const PLAN_RESOURCE& r) {
    short nothing = (r.flags & PLAN_NOTHING) != 0;
    switch (r.kind) {
    case PLAN_IO: {
        const RES_IO* d = res_io_at(dev, p->function, r.k);
        if (!d) fail("an I/O value for a descriptor it does not have", p);
        short ten_bit = d->fixed || !(d->info & RES_IO_16BIT_DECODE);
        if (nothing != (d->len == 0))
            fail("an I/O range that takes nothing, or one that takes some, wrongly", p);
        if (nothing) break;
        if (r.start < 1 || r.end > 0xFFFF || r.end != r.start + d->len - 1)
            fail("an I/O range out of bounds", p);
        if (!on_grid(r.start, d->min, d->max, d->align)) fail("an I/O base the descriptor does not offer", p);
        if (ten_bit != ((r.flags & PLAN_DECODES_10) != 0)) fail("an I/O range's decoding misread", p);
        break;
    }
    case PLAN_IRQ: {
        const RES_IRQ* d = res_irq_at(dev, p->function, r.k);
        if (!d) fail("an IRQ for a descriptor it does not have", p);
        if (nothing != (d->mask == 0)) fail("an IRQ that takes nothing, or one that takes some, wrongly", p);
        if (nothing) break;
        if (r.start < 1 || r.start > 15 || r.end != r.start || (PLAN_RESERVED_IRQS >> r.start & 1))
            fail("an IRQ its register cannot hold, or a system board's", p);
        if (!(d->mask >> r.start & 1)) fail("an IRQ the descriptor does not offer", p);
        break;
    }
    case PLAN_DMA: {
        const RES_DMA* d = res_dma_at(dev, p->function, r.k);
        if (!d) fail("a DMA channel for a descriptor it does not have", p);
        if (nothing != (d->mask == 0))
            fail("a DMA channel that takes nothing, or one that takes some, wrongly", p);
        if (nothing) {
            if (r.start != PNP_DMA_NONE) fail("no DMA channel written as a channel", p);
            break;
        }
        if (r.start > 7 || r.end != r.start || (PLAN_RESERVED_DMAS >> r.start & 1))
            fail("a DMA channel its register cannot hold, or the cascade", p);
        if (!(d->mask >> r.start & 1)) fail("a DMA channel the descriptor does not offer", p);
        break;
    }
    case PLAN_MEM:
    case PLAN_MEM32: {
        short bits = r.kind == PLAN_MEM32 ? 32 : 24;
        const RES_MEM* d = res_mem_at(dev, bits, p->function, r.k);
        if (!d) fail("a memory range for a descriptor it does not have", p);
        if (nothing != (d->len == 0))
            fail("a memory range that takes nothing, or one that takes some, wrongly", p);
        if (nothing) break;
        if (r.start == 0 || r.end < r.start || r.end != r.start + d->len - 1)
            fail("a memory range out of bounds", p);
        if (bits == 24 && (r.start % 0x100 || r.end + 1 > 0xFFFF00))
            fail("a 24-bit memory range its registers cannot hold", p);
        if (bits == 32 && r.end > 0xFFFFFFFFul) fail("a 32-bit memory range past 4 GB", p);
        if (!on_grid(r.start, d->min, d->max, d->align))
            fail("a memory base the descriptor does not offer", p);
        if (((d->info & RES_MEM_UPPER_LIMIT) != 0) != ((r.flags & PLAN_UPPER_LIMIT) != 0))
            fail("a memory range's decoding misread", p);
        break;
    }
    default: fail("a resource of no kind", p);
    }
}

// Whether the host holds the range itself or, for a 10-bit range, what it answers at below 0x400.
short host_holds(const char* root, const PLAN_RESOURCE& r) {
    unsigned long past;
    short file = r.kind == PLAN_IO ? HOST_IO : HOST_MEM;
    if (host_range_held(root, file, r.start, r.end, &past) == 1) return 1;
    if (r.kind != PLAN_IO || !(r.flags & PLAN_DECODES_10)) return 0;
    short held = 0;
    each_port(r.start, r.end - r.start + 1, 1, [&](unsigned long port) {
        if (port < 0x400 && !held) held = host_range_held(root, HOST_IO, port, port, &past) == 1;
    });
    return held;
}

void check_plan(short ncards, const PLAN_SETUP& setup) {
    short devices = 0;
    for (short c = 0; c < ncards; c++) devices = (short)(devices + cards[c].ndevices);
    if (plan.ndevices != devices) fail("the plan does not count every device", nullptr);
    if (plan.placed > plan.ndevices || plan.most < plan.placed || plan.most > plan.ndevices) {
        fprintf(stderr, "plan_fuzz: %d devices, %d placed, most %d, proven %d, stopped %d\n", plan.ndevices,
                plan.placed, plan.most, plan.proven, plan.stopped);
        fail("placed, most and the devices do not agree", nullptr);
    }
    if (plan.proven && plan.most != plan.placed) fail("proven, yet more may be placed", nullptr);
    unsigned host_irqs = host_irqs_held(setup.root), host_dmas = host_dmas_held(setup.root);
    short placed = 0, irq_owner[16], dma_owner[8];
    memset(irq_owner, -1, sizeof irq_owner);
    memset(dma_owner, -1, sizeof dma_owner);
    memset(port_owner, -1, sizeof port_owner);
    for (short e = 0; e < plan.ndevices; e++) {
        const PLAN_DEVICE* p = &plan.devices[e];
        if (p->card < 0 || p->card >= ncards || p->device < 0 || p->device >= cards[p->card].ndevices)
            fail("a device of no card", p);
        if (e && (p->card < plan.devices[e - 1].card ||
                  (p->card == plan.devices[e - 1].card && p->device <= plan.devices[e - 1].device)))
            fail("the devices are not in card and device order", p);
        if (!p->placed) {
            if (!p->why[0]) fail("not placed, and no reason given", p);
            continue;
        }
        placed++;
        const RES_DEVICE* dev = &cards[p->card].devices[p->device];
        if (p->function < 0 || p->function >= res_choices(dev))
            fail("a configuration the device does not have", p);
        short counts[PLAN_KINDS] = {}, active = 0;
        static const short res_kinds[PLAN_KINDS] = {RES_KIND_IO, RES_KIND_IRQ, RES_KIND_DMA, RES_KIND_MEM,
                                                    RES_KIND_MEM32};
        for (short r = 0; r < p->nres; r++) {
            const PLAN_RESOURCE& res = p->res[r];
            if (res.kind < 0 || res.kind >= PLAN_KINDS || res.k != counts[res.kind])
                fail("the resources are not in kind and register order", p);
            if (r && res.kind < p->res[r - 1].kind) fail("the resources are not in kind order", p);
            counts[res.kind]++;
            check_resource(dev, p, res);
            if (res.flags & PLAN_NOTHING) continue;
            active = 1;
            if (res.kind == PLAN_IRQ) {
                if (irq_owner[res.start] >= 0 && irq_owner[res.start] != e)
                    fail("two devices share an IRQ", p);
                if (host_irqs >> res.start & 1) fail("an IRQ the host holds", p);
                irq_owner[res.start] = e;
            } else if (res.kind == PLAN_DMA) {
                if (dma_owner[res.start] >= 0 && dma_owner[res.start] != e)
                    fail("two devices share a DMA channel", p);
                if (host_dmas >> res.start & 1) fail("a DMA channel the host holds", p);
                dma_owner[res.start] = e;
            } else {
                if (setup.root && host_holds(setup.root, res)) fail("a range the host holds", p);
                if (res.kind != PLAN_IO) continue;
                each_port(res.start, res.end - res.start + 1, (res.flags & PLAN_DECODES_10) != 0,
                          [&](unsigned long port) {
                              if (port_owner[port] >= 0 && port_owner[port] != e)
                                  fail("two devices share a port", p);
                              port_owner[port] = e;
                          });
                if (port_owner[0x279] >= 0 || port_owner[0xA79] >= 0 ||
                    (setup.read_port && port_owner[setup.read_port] >= 0))
                    fail("a range answers at a PnP port", p);
            }
        }
        for (short kind = 0; kind < PLAN_KINDS; kind++)
            if (counts[kind] != res_count(dev, p->function, res_kinds[kind]))
                fail("not every descriptor of the configuration has its register set", p);
        if (p->active != active) fail("active, yet taking nothing (or the reverse)", p);
    }
    if (placed != plan.placed) fail("the placed devices are not counted right", nullptr);
    // the memory ranges, both widths in one address space
    for (short e = 0; e < plan.ndevices; e++) {
        const PLAN_DEVICE* p = &plan.devices[e];
        if (!p->placed) continue;
        for (short r = 0; r < p->nres; r++) {
            const PLAN_RESOURCE& a = p->res[r];
            if ((a.kind != PLAN_MEM && a.kind != PLAN_MEM32) || (a.flags & PLAN_NOTHING)) continue;
            for (short o = (short)(e + 1); o < plan.ndevices; o++) {
                const PLAN_DEVICE* q = &plan.devices[o];
                if (!q->placed) continue;
                for (short s = 0; s < q->nres; s++) {
                    const PLAN_RESOURCE& b = q->res[s];
                    if ((b.kind != PLAN_MEM && b.kind != PLAN_MEM32) || (b.flags & PLAN_NOTHING)) continue;
                    if (a.start <= b.end && b.start <= a.end) fail("two devices share a memory address", p);
                }
            }
        }
    }
}

// ---- The script read back ----

// Reads a number at *s written as the script writes it: decimal, or "0x" and upper-case
// hexadecimal digits (exactly digits of them when digits > 0). Returns 0 when there is none.
short read_number(const char** s, short hex, short digits, unsigned long* value) {
    const char* t = *s;
    if (hex) {
        if (strncmp(t, "0x", 2) != 0) return 0;
        t += 2;
    }
    const char* first = t;
    unsigned long v = 0;
    for (; hex ? ((*t >= '0' && *t <= '9') || (*t >= 'A' && *t <= 'F')) : (*t >= '0' && *t <= '9'); t++) {
        if (t - first >= 10) return 0;
        v = v * (hex ? 16 : 10) + (unsigned long)(*t <= '9' ? *t - '0' : *t - 'A' + 10);
    }
    if (t == first || (digits && t - first != digits)) return 0;
    if (!hex && t - first > 1 && *first == '0') return 0;
    *s = t;
    *value = v;
    return 1;
}

short read_word(const char** s, const char* word) {
    size_t n = strlen(word);
    if (strncmp(*s, word, n) != 0) return 0;
    *s += n;
    return 1;
}

// The resource r of kind and register set k among p's, or null.
const PLAN_RESOURCE* resource_at(const PLAN_DEVICE* p, short kind, unsigned long k) {
    for (short r = 0; r < p->nres; r++)
        if (p->res[r].kind == kind && (unsigned long)p->res[r].k == k) return &p->res[r];
    return nullptr;
}

// One DEVICE SET line (after "DEVICE SET ") of placed device p: well formed, and what the plan says.
void check_set_line(const char* s, const PLAN_DEVICE* p) {
    unsigned long k, v, limit;
    if (read_word(&s, "IOPORT ")) {
        unsigned long n = 0;
        do {
            const PLAN_RESOURCE* r = resource_at(p, PLAN_IO, n++);
            if (!read_number(&s, 1, 0, &v) || !r || v != r->start || v > 0xFFFF)
                fail("a DEVICE SET IOPORT line is not the plan's", p);
        } while (read_word(&s, " , "));
        if (*s || resource_at(p, PLAN_IO, n)) fail("a DEVICE SET IOPORT line is not the plan's", p);
        return;
    }
    if (read_word(&s, "IRQ ")) {
        if (!read_number(&s, 0, 0, &k) || !read_word(&s, " ") || !read_number(&s, 0, 0, &v))
            fail("a malformed DEVICE SET IRQ line", p);
        const PLAN_RESOURCE* r = resource_at(p, PLAN_IRQ, k);
        if (!r || k >= PNP_IRQ_DESCS) fail("a DEVICE SET IRQ line of no IRQ", p);
        if (r->flags & PLAN_NOTHING) {
            if (v != 0 || *s) fail("a DEVICE SET IRQ line that should say 0", p);
            return;
        }
        if (v != r->start) fail("a DEVICE SET IRQ line of another level", p);
        for (short t = 0; t < RES_IRQ_TYPE_COUNT; t++) {
            const char* after = s;
            if (read_word(&after, " ") && read_word(&after, res_irq_type_table[t].keywords) && !*after) {
                if (res_irq_type_table[t].type != r->info) fail("a DEVICE SET IRQ line of another type", p);
                return;
            }
        }
        fail("a malformed DEVICE SET IRQ line", p);
    }
    if (read_word(&s, "DMA ")) {
        if (!read_number(&s, 0, 0, &k) || !read_word(&s, " ") || !read_number(&s, 0, 0, &v) || *s)
            fail("a malformed DEVICE SET DMA line", p);
        const PLAN_RESOURCE* r = resource_at(p, PLAN_DMA, k);
        if (!r || k >= PNP_DMA_DESCS || v != r->start || v > 7)
            fail("a DEVICE SET DMA line is not the plan's", p);
        return;
    }
    short bits = read_word(&s, "MEM32 ") ? 32 : read_word(&s, "MEM ") ? 24 : 0;
    if (!bits) fail("an unknown DEVICE SET line", p);
    short digits = bits == 32 ? 8 : 0;
    if (!read_number(&s, 0, 0, &k) || !read_word(&s, " ") || !read_number(&s, 1, digits, &v) ||
        !read_word(&s, " ") || !read_number(&s, 1, digits, &limit))
        fail("a malformed DEVICE SET MEM line", p);
    const PLAN_RESOURCE* r = resource_at(p, bits == 32 ? PLAN_MEM32 : PLAN_MEM, k);
    if (!r || k >= (bits == 32 ? PNP_MEM32_DESCS : PNP_MEM_DESCS))
        fail("a DEVICE SET MEM line of no range", p);
    if (bits == 24 && (v > 0xFFFF || limit > 0xFFFF)) fail("a DEVICE SET MEM value past its register", p);
    unsigned long base = bits == 24 ? v << 8 : v;
    if (base != r->start) fail("a DEVICE SET MEM line of another base", p);
    if (*s && strcmp(s, " 16BIT") != 0 && !(bits == 32 && strcmp(s, " 32BIT") == 0))
        fail("a malformed DEVICE SET MEM line", p);
}

// The script: every DEVICE SET line is in the block of the device it belongs to, well formed and
// what the plan chose; a placed device's block ends with ACTIVE or INACTIVE as the plan says.
void check_script(const char* text) {
    short e = -1;  // the device whose block is open, -1: none
    short next = 0;
    const char* line = text;
    while (*line) {
        const char* nl = strchr(line, '\n');
        std::string l(line, nl ? (size_t)(nl - line) : strlen(line));
        line = nl ? nl + 1 : line + l.size();
        if (l.compare(0, 13, "PNP_DEVICE = ") == 0) {
            while (next < plan.ndevices && !plan.devices[next].placed) next++;
            if (next == plan.ndevices || l != "PNP_DEVICE = " + std::to_string(plan.devices[next].device))
                fail("the script sets up a device the plan does not place", nullptr);
            e = next++;
            continue;
        }
        if (l.compare(0, 11, "DEVICE SET ") != 0) {
            if (l == "DEVICE END") e = -1;
            continue;
        }
        if (e < 0) fail("a DEVICE SET line outside a device", nullptr);
        const PLAN_DEVICE* p = &plan.devices[e];
        if (l == "DEVICE SET ACTIVE" || l == "DEVICE SET INACTIVE") {
            if ((l == "DEVICE SET ACTIVE") != (p->active != 0))
                fail("the script activates what the plan does not", p);
            continue;
        }
        if (!p->active) fail("a DEVICE SET line for an inactive device", p);
        check_set_line(l.c_str() + 11, p);
    }
    while (next < plan.ndevices && !plan.devices[next].placed) next++;
    if (next != plan.ndevices) fail("the script leaves out a placed device", nullptr);
}

void print_and_check(short ncards) {
    static PLAN_CARD_INFO info[PLAN_MAX_CARDS];
    static unsigned char serials[PLAN_MAX_CARDS][9];
    for (short c = 0; c < ncards; c++) {
        memset(serials[c], 0, 9);
        serials[c][4] = (unsigned char)(c + 1);
        info[c] = PLAN_CARD_INFO{(short)(c + 1), "FUZ0001", serials[c], &cards[c]};
    }
    char* text = nullptr;
    size_t size = 0;
    FILE* fp = open_memstream(&text, &size);
    if (!fp) abort();
    short ok = plan_print(fp, &plan, info, ncards, "Thu Jan  1 00:00:00 1998");
    fclose(fp);
    if (!ok) fail("the script could not be written", nullptr);
    check_script(text);
    free(text);
}

long clock_ms() {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (long)t.tv_sec * 1000 + t.tv_nsec / 1000000;
}

void plan_and_check(short ncards, const char* root, unsigned short read_port, long limit_ms) {
    PLAN_SETUP setup = {root, read_port, limit_ms};
    long t0 = clock_ms();
    short all = plan_search(card_ptrs, ncards, &setup, &plan);
    long took = clock_ms() - t0;
    if (took > limit_ms + OVERRUN_MS) {
        fprintf(stderr, "plan_fuzz: the search took %ld ms with a limit of %ld ms\n", took, limit_ms);
        abort();
    }
    if (all != (plan.placed == plan.ndevices))
        fail("plan_search's result is not whether all were placed", nullptr);
    check_plan(ncards, setup);
    print_and_check(ncards);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* root = host_root_dir();
    if (size == 0) return 0;
    unsigned short read_port = (data[0] & PLAN_INPUT_READ_PORT) ? 0x203 : 0;
    long limit_ms = (data[0] & PLAN_INPUT_SHORT_LIMIT) ? SHORT_LIMIT_MS : TIME_LIMIT_MS;
    short ncards = decode_cards(data + 1, size - 1);
    plan_and_check(ncards, nullptr, read_port, limit_ms);
    plan_and_check(ncards, root, read_port, limit_ms);
    return 0;
}
