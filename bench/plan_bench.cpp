// The planner on sets of cards, each planned with --plan's own time limit: the six real cards one
// by one and all together (read port 0x203), three generated 17-card sets and a pigeonhole (17
// devices that each want one of the same 11 IRQs). One line a set: the time, the devices placed
// of all, and whether no plan places more (proven). No host is checked.
//
// Usage: velkor-plan-bench [N] [CARD-DIR]: each set planned N times (default 1), the median time
// reported; CARD-DIR holds the real cards (default the source tree's tests/cards/real).
// Exits 0 when every plan is proven within 1 s (the median), 1 if not, saying why.
//        velkor-plan-bench [N] --read-sets FILE...: plans the sets of those files instead, inputs of
// the plan fuzzer (tests/fuzz/plan_input.h; their read port counts, the time limit is --plan's).
//        velkor-plan-bench --write-sets DIR [CARD-DIR]: writes each set into DIR as such an input,
// which the plan fuzzer checks the plans of, and plans nothing.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <string>
#include <vector>

#include "app/plan.h"
#include "pnp/resource_model.h"
#include "sim/card_file.h"
#include "tests/fuzz/plan_input.h"

#ifndef VELKOR_SOURCE_DIR
#define VELKOR_SOURCE_DIR "."
#endif

typedef std::vector<unsigned char> BYTES;

static const long MAX_MS = 1000;

// ---- Resource data ----

static void put(BYTES* b, std::initializer_list<unsigned char> bytes) { b->insert(b->end(), bytes); }

// A Logical Device ID "BEN" followed by number.
static void device_id(BYTES* b, unsigned number) {
    // "BEN": 5-bit letter codes 2, 5, 14
    put(b, {0x15, (unsigned char)(2 << 2 | 5 >> 3), (unsigned char)((5 & 7) << 5 | 14),
            (unsigned char)(number >> 8), (unsigned char)number, 0x00});
}
static void io_range(BYTES* b, unsigned min, unsigned max, unsigned char align, unsigned char len,
                     int bits16) {
    put(b, {0x47, (unsigned char)(bits16 ? 1 : 0), (unsigned char)min, (unsigned char)(min >> 8),
            (unsigned char)max, (unsigned char)(max >> 8), align, len});
}
static void irq_levels(BYTES* b, unsigned mask) {
    put(b, {0x22, (unsigned char)mask, (unsigned char)(mask >> 8)});
}
static void dma_channels(BYTES* b, unsigned mask) {
    put(b, {0x2A, (unsigned char)mask, 0x01});
}  // 8- and 16-bit
// 24-bit memory, 16-bit wide, range length: min, max and len in units of 256 bytes, align in bytes.
static void memory(BYTES* b, unsigned min, unsigned max, unsigned align, unsigned len) {
    put(b, {0x81, 0x09, 0x00, 0x08, (unsigned char)min, (unsigned char)(min >> 8), (unsigned char)max,
            (unsigned char)(max >> 8), (unsigned char)align, (unsigned char)(align >> 8), (unsigned char)len,
            (unsigned char)(len >> 8)});
}
static void end_tag(BYTES* b) {
    unsigned char sum = 0x79;
    for (unsigned char c : *b) sum = (unsigned char)(sum + c);
    put(b, {0x79, (unsigned char)-sum});
}

// ---- The generated sets ----

struct RANDOM {
    unsigned state;
    unsigned next() {  // xorshift32: the same numbers on every machine
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    }
    unsigned below(unsigned n) { return next() % n; }
    // count different members of the levels list, as a mask
    unsigned pick(const unsigned* levels, unsigned nlevels, unsigned count) {
        unsigned mask = 0;
        while (count) {
            unsigned l = levels[below(nlevels)];
            if (!(mask >> l & 1)) mask |= 1u << l, count--;
        }
        return mask;
    }
};

static const unsigned IRQS[] = {3, 4, 5, 6, 7, 9, 10, 11, 12, 14, 15};
static const unsigned DMAS[] = {0, 1, 3, 5, 6, 7};

// A device's shape, the same in each of its functions: 1 or 2 I/O ranges (each 10-bit or 16-bit
// decoding), an IRQ (3 in 4 devices), a DMA channel (1 in 3), a memory range (1 in 4). Each
// function draws its own ranges and levels: I/O somewhere in 0x100-0x3F8, step 8, of 2 to 16
// ports; 4 to 8 IRQs; 2 or 3 channels; memory in 0xC0000-0xEFFFF, step 2 KB, of 2 to 16 KB. The
// first function is good, the last sub-optimal, those between acceptable.
static void generated_device(BYTES* b, RANDOM* r, unsigned number) {
    static const unsigned char lens[] = {2, 4, 8, 8, 16};
    device_id(b, number);
    unsigned nio = 1 + r->below(2), has_irq = r->below(4) != 0, has_dma = r->below(3) == 0,
             has_mem = r->below(4) == 0;
    int bits16[2] = {(int)r->below(2), (int)r->below(2)};
    unsigned nfunctions = 3 + r->below(4);
    for (unsigned f = 0; f < nfunctions; f++) {
        put(b, {0x31, (unsigned char)(f == 0 ? 0 : f + 1 == nfunctions ? 2 : 1)});
        for (unsigned i = 0; i < nio; i++) {
            unsigned min = 0x100 + 8 * r->below(32), max = 0x3F8 - 8 * r->below(32);
            io_range(b, min, max, 8, lens[r->below(5)], bits16[i]);
        }
        if (has_irq) irq_levels(b, r->pick(IRQS, 11, 4 + r->below(5)));
        if (has_dma) dma_channels(b, r->pick(DMAS, 6, 2 + r->below(2)));
        if (has_mem) {
            unsigned len = 8 * (1 + r->below(8));  // 2 to 16 KB, in units of 256 bytes
            memory(b, 0xC00, 0xF00 - len, 0x800, len);
        }
    }
    put(b, {0x38});
}

static BYTES generated_card(RANDOM* r, unsigned card) {
    BYTES b;
    put(&b, {0x0A, 0x10, 0x10});  // PnP version 1.0
    unsigned ndevices = 2 + r->below(3);
    for (unsigned d = 0; d < ndevices; d++) generated_device(&b, r, card * 16 + d);
    end_tag(&b);
    return b;
}

// One device that wants one of the 11 IRQs, and nothing else.
static BYTES pigeon_card(unsigned card) {
    BYTES b;
    device_id(&b, card);
    unsigned mask = 0;
    for (unsigned l : IRQS) mask |= 1u << l;
    irq_levels(&b, mask);
    end_tag(&b);
    return b;
}

// ---- Sets and their runs ----

static RES_CARD cards[PLAN_MAX_CARDS];
static const RES_CARD* card_ptrs[PLAN_MAX_CARDS];
static PLAN plan;

struct SET {
    std::string name;
    std::vector<BYTES> data;  // each card's resource data
    unsigned short read_port;
};

static double now_ms() {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (double)t.tv_sec * 1000.0 + (double)t.tv_nsec / 1e6;
}

// Plans the set runs times; prints its line. Returns 1 when every run was proven and the median
// within MAX_MS, else 0 with the reason printed.
static int run_set(const SET& set, int runs) {
    short n = 0;
    for (const BYTES& d : set.data) {
        if (n == PLAN_MAX_CARDS) break;
        if (!res_decode(d.data(), (long)d.size(), &cards[n]))
            fprintf(stderr, "plan-bench: %s: card %d is cut or malformed\n", set.name.c_str(), n + 1);
        card_ptrs[n] = &cards[n];
        n++;
    }
    PLAN_SETUP setup = {nullptr, set.read_port, PLAN_TIME_LIMIT_MS};
    std::vector<double> times;
    int proven = 1;
    for (int i = 0; i < runs; i++) {
        double t0 = now_ms();
        plan_search(card_ptrs, n, &setup, &plan);
        times.push_back(now_ms() - t0);
        proven &= plan.proven;
    }
    std::sort(times.begin(), times.end());
    double median = times[times.size() / 2];
    if (runs % 2 == 0) median = (times[times.size() / 2 - 1] + median) / 2;
    printf("%-44s %8.1f ms %4d of %3d placed  %s\n", set.name.c_str(), median, plan.placed, plan.ndevices,
           proven ? "proven" : "NOT proven");
    int ok = 1;
    if (!proven) {
        printf("  %s: not proven: %s; no plan places more than %d\n", set.name.c_str(),
               plan.stopped ? "the search stopped at its time limit"
                            : "a range offers more places than were tried",
               plan.most);
        ok = 0;
    }
    if (median > MAX_MS) {
        printf("  %s: took %.1f ms, over %ld ms\n", set.name.c_str(), median, MAX_MS);
        ok = 0;
    }
    fflush(stdout);
    return ok;
}

// The real cards' resource data, by file name; empty when the directory cannot be read.
static std::vector<std::pair<std::string, BYTES>> real_cards(const std::string& dir) {
    std::vector<std::pair<std::string, BYTES>> out;
    DIR* d = opendir(dir.c_str());
    if (!d) return out;
    std::vector<std::string> names;
    while (struct dirent* e = readdir(d)) {
        std::string name = e->d_name;
        if (name.size() > 4 && name.compare(name.size() - 4, 4, ".hex") == 0) names.push_back(name);
    }
    closedir(d);
    std::sort(names.begin(), names.end());
    static unsigned char bytes[CARD_BYTES_MAX];
    for (const std::string& name : names) {
        char err[256];
        long len = read_card_file((dir + "/" + name).c_str(), bytes, sizeof bytes, err, sizeof err);
        if (len < 9) {
            fprintf(stderr, "plan-bench: %s\n", err);
            continue;
        }
        out.push_back({name.substr(0, name.size() - 4), BYTES(bytes + 9, bytes + len)});
    }
    return out;
}

// Writes each set as the plan fuzzer reads its input: an options byte (bit 0: read port 0x203),
// then the cards' resource data separated by "CARD". Returns 0, or 1 when a file was not written.
static int write_sets(const std::vector<SET>& sets, const std::string& dir) {
    int status = 0;
    for (size_t i = 0; i < sets.size(); i++) {
        std::string path = dir + "/set-" + std::to_string(i + 1);
        FILE* f = fopen(path.c_str(), "wb");
        if (!f) {
            perror(path.c_str());
            status = 1;
            continue;
        }
        fputc(sets[i].read_port == 0x203 ? PLAN_INPUT_READ_PORT : 0, f);
        for (size_t c = 0; c < sets[i].data.size(); c++) {
            if (c) fputs(PLAN_INPUT_MARKER, f);
            fwrite(sets[i].data[c].data(), 1, sets[i].data[c].size(), f);
        }
        if (fclose(f) != 0) {
            perror(path.c_str());
            status = 1;
        }
        printf("%s: %s\n", path.c_str(), sets[i].name.c_str());
    }
    return status;
}

// A set from a plan fuzzer input; false when the file cannot be read.
static bool read_set(const char* path, SET* set) {
    FILE* f = fopen(path, "rb");
    if (!f) return false;
    BYTES all;
    for (int c; (c = fgetc(f)) != EOF;) all.push_back((unsigned char)c);
    bool ok = !ferror(f) && !all.empty();
    fclose(f);
    if (!ok) return false;
    size_t at[PLAN_MAX_CARDS], len[PLAN_MAX_CARDS];
    short n = plan_input_split(all.data() + 1, all.size() - 1, PLAN_MAX_CARDS, at, len);
    set->name = path;
    set->read_port = (all[0] & PLAN_INPUT_READ_PORT) ? 0x203 : 0;
    for (short c = 0; c < n; c++)
        set->data.push_back(BYTES(all.begin() + 1 + at[c], all.begin() + 1 + at[c] + len[c]));
    return true;
}

// The sets the benchmark is made of: the real cards in dir one by one and together, the generated
// sets, the pigeonhole. False when dir holds no card file.
static bool builtin_sets(const std::string& dir, std::vector<SET>* sets) {
    std::vector<std::pair<std::string, BYTES>> real = real_cards(dir);
    if (real.empty()) {
        fprintf(stderr, "plan-bench: no card files in %s\n", dir.c_str());
        return false;
    }
    SET all = {"real: all " + std::to_string(real.size()) + " cards", {}, 0x203};
    for (const auto& card : real) {
        sets->push_back(SET{"real: " + card.first, {card.second}, 0x203});
        all.data.push_back(card.second);
    }
    sets->push_back(all);
    for (unsigned seed : {1u, 2u, 3u}) {
        RANDOM r = {seed * 0x9E3779B9u};
        SET s = {"", {}, 0};
        unsigned devices = 0, with_irq = 0;
        for (unsigned c = 0; c < PLAN_MAX_CARDS; c++) {
            s.data.push_back(generated_card(&r, c));
            static RES_CARD count;
            res_decode(s.data.back().data(), (long)s.data.back().size(), &count);
            devices += (unsigned)count.ndevices;
            for (short d = 0; d < count.ndevices; d++)
                with_irq += res_count(&count.devices[d], 0, RES_KIND_IRQ) > 0;
        }
        s.name = "generated: seed " + std::to_string(seed) + ", " + std::to_string(devices) + " devices, " +
                 std::to_string(with_irq) + " want an IRQ";
        sets->push_back(s);
    }
    SET pigeons = {"pigeonhole: 17 devices, the same 11 IRQs", {}, 0};
    for (unsigned c = 0; c < PLAN_MAX_CARDS; c++) pigeons.data.push_back(pigeon_card(c));
    sets->push_back(pigeons);
    return true;
}

int main(int argc, char** argv) {
    int runs = 1, i = 1;
    const char* write_dir = nullptr;
    std::string dir = VELKOR_SOURCE_DIR "/tests/cards/real";
    std::vector<SET> sets;
    bool from_files = false;
    if (i < argc && argv[i][0] >= '0' && argv[i][0] <= '9') runs = atoi(argv[i++]);
    if (i + 1 < argc && strcmp(argv[i], "--write-sets") == 0) {
        write_dir = argv[i + 1];
        i += 2;
    } else if (i + 1 < argc && strcmp(argv[i], "--read-sets") == 0) {
        for (i++; i < argc; i++) {
            sets.emplace_back();
            if (!read_set(argv[i], &sets.back())) {
                fprintf(stderr, "plan-bench: %s cannot be read\n", argv[i]);
                return 2;
            }
        }
        from_files = true;
    }
    if (i < argc && !from_files) dir = argv[i++];
    if (runs < 1 || i < argc) {
        fprintf(stderr,
                "usage: velkor-plan-bench [N] [CARD-DIR]\n"
                "       velkor-plan-bench [N] --read-sets FILE...\n"
                "       velkor-plan-bench --write-sets DIR [CARD-DIR]\n");
        return 2;
    }
    if (!from_files && !builtin_sets(dir, &sets)) return 1;
    if (write_dir) return write_sets(sets, write_dir);

    printf("plan-bench: %d run%s a set, median time; time limit %d ms\n", runs, runs == 1 ? "" : "s",
           (int)PLAN_TIME_LIMIT_MS);
    int failed = 0;
    for (const SET& s : sets) failed += !run_set(s, runs);
    if (failed)
        printf("plan-bench: %d of %zu sets not proven within %ld ms\n", failed, sets.size(), MAX_MS);
    else
        printf("plan-bench: every set proven within %ld ms\n", MAX_MS);
    return failed ? 1 : 0;
}
