// The planner: the search on resource data built here, and --plan run on the simulated bus with
// the real cards, its script run back on the same bus.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "app/plan.h"
#include "pnp/host_resources.h"
#include "pnp/resource_model.h"
#include "sim/card_file.h"
#include "support/run_program.h"
#include "support/sim_cards.h"

namespace {

const std::string source_dir = VELKOR_SOURCE_DIR;
const std::string real_dir = source_dir + "/tests/cards/real/";
const std::string serial_host = source_dir + "/tests/host/pc-serial";

BYTES irq_item(unsigned short mask) { return {0x22, (unsigned char)mask, (unsigned char)(mask >> 8)}; }
BYTES dma_item(unsigned char mask) { return {0x2A, mask, 0x08}; }  // 8-bit, count by byte
BYTES fixed_io(unsigned short base, unsigned char len) {
    return {0x4B, (unsigned char)base, (unsigned char)(base >> 8), len};
}
BYTES start_dep(unsigned char priority) { return {0x31, priority}; }
BYTES end_dep() { return {0x38}; }
// 24-bit memory: min, max and len in address bits 23..8 as the descriptor holds them, align in bytes.
BYTES mem_item(unsigned short min, unsigned short max, unsigned short align, unsigned short len) {
    return {0x81,
            0x09,
            0x00,
            0x08,  // 16-bit memory
            (unsigned char)min,
            (unsigned char)(min >> 8),
            (unsigned char)max,
            (unsigned char)(max >> 8),
            (unsigned char)align,
            (unsigned char)(align >> 8),
            (unsigned char)len,
            (unsigned char)(len >> 8)};
}

// Cards made of items, decoded as the planner reads them.
struct CARDS {
    static RES_CARD res[PLAN_MAX_CARDS];
    const RES_CARD* ptr[PLAN_MAX_CARDS];
    short n = 0;
    void add(const BYTES& items) {
        BYTES card = make_card(serial_of("TST0001", (unsigned long)n + 1), items);
        EXPECT_EQ(res_decode(card.data() + 9, (long)card.size() - 9, &res[n]), 1);
        ptr[n] = &res[n];
        n++;
    }
    void add_file(const std::string& name) {
        static unsigned char bytes[8192];
        char err[256];
        long len = read_card_file((real_dir + name).c_str(), bytes, sizeof bytes, err, sizeof err);
        ASSERT_GT(len, 9) << err;
        res_decode(bytes + 9, len - 9, &res[n]);
        ptr[n] = &res[n];
        n++;
    }
};
RES_CARD CARDS::res[PLAN_MAX_CARDS];

PLAN plan;

short search(const CARDS& c, const char* root = nullptr, long bound = PLAN_STEP_BOUND) {
    return plan_search(c.ptr, c.n, root, bound, &plan);
}

// No two placed devices of a plan share a port, an address, an IRQ or a DMA channel, and none
// is the host's or one the planner keeps for the system board.
void expect_disjoint(const PLAN& p, const char* root) {
    struct RANGE {
        unsigned long lo, hi;
        short dev;
    };
    std::vector<RANGE> io, mem;
    std::map<int, short> irq, dma;
    for (short e = 0; e < p.ndevices; e++) {
        const PLAN_DEVICE& d = p.devices[e];
        if (!d.placed) continue;
        for (short k = 0; k < d.nio; k++)
            if (d.io[k]) io.push_back({d.io[k], (unsigned long)d.io[k] + d.iolen[k] - 1, e});
        for (short k = 0; k < d.nmem; k++)
            if (d.mem[k]) mem.push_back({d.mem[k], d.mem[k] + d.memlen[k] - 1, e});
        for (short k = 0; k < d.nmem32; k++)
            if (d.mem32[k]) mem.push_back({d.mem32[k], d.mem32[k] + d.mem32len[k] - 1, e});
        for (short k = 0; k < d.nirq; k++) {
            if (!d.irq[k]) continue;
            EXPECT_EQ(irq.count(d.irq[k]), 0u) << "IRQ " << (int)d.irq[k] << " twice";
            EXPECT_FALSE(PLAN_RESERVED_IRQS & 1u << d.irq[k]) << "IRQ " << (int)d.irq[k];
            if (root) {
                EXPECT_NE(host_irq_holder(root, d.irq[k], nullptr), HOST_IN_USE) << (int)d.irq[k];
            }
            irq[d.irq[k]] = e;
        }
        for (short k = 0; k < d.ndma; k++) {
            if (d.dma[k] == PNP_DMA_NONE) continue;
            EXPECT_EQ(dma.count(d.dma[k]), 0u) << "DMA " << (int)d.dma[k] << " twice";
            if (root) {
                EXPECT_NE(host_dma_holder(root, d.dma[k], nullptr), HOST_IN_USE) << (int)d.dma[k];
            }
            dma[d.dma[k]] = e;
        }
    }
    for (const std::vector<RANGE>* list : {&io, &mem})
        for (size_t i = 0; i < list->size(); i++) {
            const RANGE& a = (*list)[i];
            for (size_t j = i + 1; j < list->size(); j++) {
                const RANGE& b = (*list)[j];
                EXPECT_FALSE(a.lo <= b.hi && b.lo <= a.hi)
                    << std::hex << a.lo << "-" << a.hi << " and " << b.lo << "-" << b.hi;
            }
            if (!root) continue;
            if (list == &io)
                EXPECT_NE(host_io_holder(root, a.lo, a.hi, nullptr), HOST_IN_USE) << std::hex << a.lo;
            else
                EXPECT_NE(host_mem_holder(root, a.lo, a.hi, nullptr), HOST_IN_USE) << std::hex << a.lo;
        }
}

// ---- The search ----

TEST(PlanSearch, JointChoiceWhereFirstFitFails) {
    // A offers IRQ 5 or 7, B only 5: first fit gives A 5 and leaves B nothing.
    CARDS c;
    c.add(cat({ldid("TST0010"), irq_item(1 << 5 | 1 << 7), ldid("TST0011"), irq_item(1 << 5)}));
    EXPECT_EQ(search(c), 1);
    EXPECT_EQ(plan.placed, 2);
    EXPECT_EQ(plan.devices[0].irq[0], 7);
    EXPECT_EQ(plan.devices[1].irq[0], 5);
    EXPECT_EQ(plan.devices[0].irqtype[0], PNP_IRQ_HIGH);  // high-true edge, as offered by default
    EXPECT_FALSE(plan.stopped);

    // The same across cards, with I/O ranges: the first card's device must move off 0x300.
    CARDS d;
    d.add(cat({ldid("TST0020"), io_item(0x300, 0x310, 0x08, 8)}));
    d.add(cat({ldid("TST0021"), fixed_io(0x300, 8), ldid("TST0022"), fixed_io(0x310, 4)}));
    EXPECT_EQ(search(d), 1);
    EXPECT_EQ(plan.devices[0].io[0], 0x308);
    EXPECT_EQ(plan.devices[1].io[0], 0x300);
    EXPECT_EQ(plan.devices[2].io[0], 0x310);
    expect_disjoint(plan, nullptr);
}

TEST(PlanSearch, PrefersBetterPriorityThenLowestValues) {
    CARDS c;
    // function 0 acceptable, function 1 good: the good one is taken although it comes second
    c.add(cat({ldid("TST0030"), start_dep(1), irq_item(1 << 3), start_dep(0), irq_item(1 << 11 | 1 << 9),
               io_item(0x220, 0x280, 0x20, 16), end_dep()}));
    EXPECT_EQ(search(c), 1);
    const PLAN_DEVICE& d = plan.devices[0];
    EXPECT_EQ(d.function, 1);
    EXPECT_EQ(d.priority, RES_GOOD);
    EXPECT_EQ(d.irq[0], 9);
    EXPECT_EQ(d.io[0], 0x220);

    // when the good function cannot be placed the acceptable one is
    CARDS e;
    e.add(cat({ldid("TST0031"), fixed_io(0x220, 16), ldid("TST0032"), start_dep(0), fixed_io(0x220, 8),
               start_dep(1), io_item(0x200, 0x240, 0x20, 8), end_dep()}));
    EXPECT_EQ(search(e), 1);
    EXPECT_EQ(plan.devices[1].function, 1);
    EXPECT_EQ(plan.devices[1].io[0], 0x200);
}

TEST(PlanSearch, NeverTakesTheSystemBoardsIrqsAndDma) {
    CARDS c;
    c.add(cat({ldid("TST0040"), irq_item(1 << 0 | 1 << 1 | 1 << 2 | 1 << 8 | 1 << 13)}));
    c.add(cat({ldid("TST0041"), dma_item(1 << 4)}));
    c.add(cat({ldid("TST0042"), irq_item(1 << 2 | 1 << 9), dma_item(1 << 4 | 1 << 6)}));
    EXPECT_EQ(search(c), 0);
    EXPECT_EQ(plan.placed, 1);
    EXPECT_FALSE(plan.devices[0].placed);
    EXPECT_STREQ(plan.devices[0].why, "no IRQ is left (0 1 2 8 13 are taken)");
    EXPECT_FALSE(plan.devices[1].placed);
    EXPECT_STREQ(plan.devices[1].why, "no 8-bit DMA channel is left (4 is taken)");
    EXPECT_EQ(plan.devices[2].irq[0], 9);
    EXPECT_EQ(plan.devices[2].dma[0], 6);
}

TEST(PlanSearch, KeepsOffTheHostsResources) {
    CARDS c;
    // serial at 0x2F8, ttyS0 on IRQ 4
    c.add(
        cat({ldid("TST0050"), io_item(0x2F8, 0x308, 0x08, 8), irq_item(1 << 4 | 1 << 5), dma_item(1 << 5)}));
    EXPECT_EQ(search(c, serial_host.c_str()), 1);
    EXPECT_EQ(plan.devices[0].io[0], 0x300);
    EXPECT_EQ(plan.devices[0].irq[0], 5);
    // no host root: IRQ 4 is free
    EXPECT_EQ(search(c), 1);
    EXPECT_EQ(plan.devices[0].irq[0], 4);

    CARDS d;
    d.add(cat({ldid("TST0051"), io_item(0x3F8, 0x408, 0x08, 8)}));  // 0x400-0x47f is pnp 00:09's
    EXPECT_EQ(search(d, serial_host.c_str()), 0);
    EXPECT_STREQ(plan.devices[0].why, "no range of 8 I/O ports is left at 0x03F8-0x0408");
    expect_disjoint(plan, serial_host.c_str());
}

TEST(PlanSearch, KeepsOffAHostWithMoreEntriesThanItKeeps) {
    // 1100 ranges of 4 ports with gaps of 4 between them, 0x1000 up: every range is kept, and a
    // gap past the 1024th (0x3004) is as free as the first ones.
    std::string root = testing::TempDir() + "plan_host";
    std::string cmd = "mkdir -p " + root + "/proc";
    ASSERT_EQ(system(cmd.c_str()), 0);
    {
        std::ofstream f(root + "/proc/ioports");
        char line[64];
        for (int i = 0; i < 1100; i++) {
            snprintf(line, sizeof line, "%04x-%04x : dev%d\n", 0x1000 + 8 * i, 0x1003 + 8 * i, i);
            f << line;
        }
    }
    CARDS c;
    c.add(cat({ldid("TST0052"), io_item(0x1000, 0x1F00, 0x04, 4), ldid("TST0053"),
               io_item(0x1000, 0x1F00, 0x04, 4), ldid("TST0054"), io_item(0x3000, 0x4000, 0x04, 4)}));
    EXPECT_EQ(search(c, root.c_str()), 1);
    EXPECT_EQ(plan.devices[0].io[0], 0x1004);  // the first gaps
    EXPECT_EQ(plan.devices[1].io[0], 0x100C);
    EXPECT_EQ(plan.devices[2].io[0], 0x3004);  // the gap after the 1025th range
    expect_disjoint(plan, root.c_str());
}

TEST(PlanSearch, RangesOfNoLengthAndMemory) {
    CARDS c;
    // an I/O descriptor of length 0 takes no ports; memory 0xC8000-0xDC000 step 16 KB, 16 KB each
    c.add(cat({ldid("TST0060"), io_item(0x300, 0x300, 0x08, 0), fixed_io(0x300, 4),
               mem_item(0xC80, 0xDC0, 0x4000, 0x40), ldid("TST0061"), mem_item(0xC80, 0xDC0, 0x4000, 0x40)}));
    EXPECT_EQ(search(c), 1);
    EXPECT_EQ(plan.devices[0].nio, 2);
    EXPECT_EQ(plan.devices[0].io[0], 0);
    EXPECT_EQ(plan.devices[0].io[1], 0x300);
    EXPECT_EQ(plan.devices[0].mem[0], 0xC8000ul);
    EXPECT_EQ(plan.devices[0].memlen[0], 0x4000ul);
    EXPECT_EQ(plan.devices[1].mem[0], 0xCC000ul);
    expect_disjoint(plan, nullptr);
}

TEST(PlanSearch, PlacesTheMostDevicesWhenNotAllFit) {
    CARDS c;
    // Four devices each want one 8-bit channel of 0 1 3: the last in order is left out.
    for (int i = 0; i < 4; i++) c.add(cat({ldid("TST0070"), dma_item(1 << 0 | 1 << 1 | 1 << 3)}));
    EXPECT_EQ(search(c), 0);
    EXPECT_EQ(plan.placed, 3);
    EXPECT_FALSE(plan.stopped);
    EXPECT_FALSE(plan.devices[3].placed);
    EXPECT_STREQ(plan.devices[3].why, "no 8-bit DMA channel is left (0 1 3 are taken)");

    // A wants two of IRQ 5 and 7, B only 5, C only 7: placing A alone is worse than B and C.
    CARDS d;
    d.add(cat({ldid("TST0071"), irq_item(1 << 5 | 1 << 7), irq_item(1 << 5 | 1 << 7), ldid("TST0072"),
               irq_item(1 << 5), ldid("TST0073"), irq_item(1 << 7)}));
    EXPECT_EQ(search(d), 0);
    EXPECT_EQ(plan.placed, 2);
    EXPECT_FALSE(plan.devices[0].placed);
    EXPECT_STREQ(plan.devices[0].why, "no IRQ is left (5 7 are taken)");
    EXPECT_EQ(plan.devices[1].irq[0], 5);
    EXPECT_EQ(plan.devices[2].irq[0], 7);
}

TEST(PlanSearch, StopsAtItsBoundWithTheBestPartialPlan) {
    // Seven devices for six places of 16 ports: the search for a plan of all seven tries the
    // places in every order, more than 500 steps.
    CARDS c;
    BYTES items;
    for (int i = 0; i < 7; i++) {
        BYTES dev = cat({ldid("TST0080"), io_item(0x100, 0x150, 0x10, 16)});
        items.insert(items.end(), dev.begin(), dev.end());
    }
    c.add(items);
    EXPECT_EQ(search(c, nullptr, 500), 0);
    EXPECT_TRUE(plan.stopped);
    EXPECT_EQ(plan.steps, 500);
    EXPECT_EQ(plan.placed, 6);
    expect_disjoint(plan, nullptr);
    // a bound too small for the first fit: three steps place 0x100, try 0x100 and place 0x110
    EXPECT_EQ(search(c, nullptr, 3), 0);
    EXPECT_TRUE(plan.stopped);
    EXPECT_EQ(plan.placed, 2);
    EXPECT_EQ(plan.devices[1].io[0], 0x110);
    EXPECT_FALSE(plan.devices[2].placed);
    // unbounded, the search ends on its own
    EXPECT_EQ(search(c), 0);
    EXPECT_FALSE(plan.stopped);
    EXPECT_EQ(plan.placed, 6);
    EXPECT_STREQ(plan.devices[6].why, "no range of 16 I/O ports is left at 0x0100-0x0150");
}

TEST(PlanSearch, RealCardsKeepClearOfEachOtherAndTheHost) {
    CARDS c;
    for (const char* f : {"dlk2201-dlink-de220p.hex", "rtl8019-realtek-rtl8019as.hex",
                          "ctl00e4-creative-sb-awe64-ct4520.hex", "csc4232-crystal-cs4232.hex"})
        c.add_file(f);
    EXPECT_EQ(search(c, serial_host.c_str()), 1);
    expect_disjoint(plan, serial_host.c_str());
    // the three cards of the runs below, on both test machines
    for (const char* host : {"pc-serial", "pc-sound"}) {
        CARDS d;
        for (const char* f :
             {"dlk2201-dlink-de220p.hex", "rtl8019-realtek-rtl8019as.hex", "ess0968-ess-es968.hex"})
            d.add_file(f);
        std::string root = source_dir + "/tests/host/" + host;
        // pc-sound's own sound card holds 0x388 and 0x330, which the ESS audio device cannot do without
        EXPECT_EQ(search(d, root.c_str()), std::string(host) == "pc-serial") << host;
        EXPECT_GE(plan.placed, 3) << host;
        expect_disjoint(plan, root.c_str());
    }
}

// The most devices that can be placed, by trying every configuration and value of every device
// (small cases only): a check on the search's shortcuts.
struct BRUTE {
    std::vector<const RES_DEVICE*> devs;
    std::vector<std::pair<unsigned long, unsigned long>> io, mem;
    unsigned irqs = 0, dmas = 0;
    int best = 0;

    // A range at each place min..max at align, when it does not overlap those of used.
    void ranges(std::vector<std::pair<unsigned long, unsigned long>>& used, unsigned long min,
                unsigned long max, unsigned long align, unsigned long len, size_t e, short f, short n,
                int placed) {
        for (unsigned long b = min; b <= max; b += align) {
            bool clash = false;
            for (auto& u : used) clash |= u.first <= b + len - 1 && b <= u.second;
            if (!clash) {
                used.push_back({b, b + len - 1});
                value(e, f, n + 1, placed);
                used.pop_back();
            }
            if (!align) break;
        }
    }

    // device e, configuration f, descriptor n of its kinds in turn (IRQ, DMA, I/O, memory)
    void value(size_t e, short f, short n, int placed) {
        const RES_DEVICE* d = devs[e];
        short ni = res_count(d, f, RES_KIND_IRQ), nd = res_count(d, f, RES_KIND_DMA),
              nio = res_count(d, f, RES_KIND_IO), nm = res_count(d, f, RES_KIND_MEM);
        if (n == ni + nd + nio + nm) return device(e + 1, placed + 1);
        if (n < ni) {
            unsigned mask = res_irq_at(d, f, n)->mask;
            if (!mask) return value(e, f, n + 1, placed);
            for (unsigned l = 0; l < 16; l++)
                if (mask & 1u << l && !(irqs & 1u << l) && !(PLAN_RESERVED_IRQS & 1u << l)) {
                    irqs |= 1u << l;
                    value(e, f, n + 1, placed);
                    irqs &= ~(1u << l);
                }
        } else if (n < ni + nd) {
            unsigned mask = res_dma_at(d, f, n - ni)->mask;
            if (!mask) return value(e, f, n + 1, placed);
            for (unsigned c = 0; c < 8; c++)
                if (mask & 1u << c && !(dmas & 1u << c) && !(PLAN_RESERVED_DMAS & 1u << c)) {
                    dmas |= 1u << c;
                    value(e, f, n + 1, placed);
                    dmas &= ~(1u << c);
                }
        } else if (n < ni + nd + nio) {
            const RES_IO* r = res_io_at(d, f, n - ni - nd);
            ranges(io, r->min, r->max, r->align, r->len, e, f, n, placed);
        } else {
            const RES_MEM* m = res_mem_at(d, 24, f, n - ni - nd - nio);
            ranges(mem, m->min, m->max, m->align, m->len, e, f, n, placed);
        }
    }
    void device(size_t e, int placed) {
        if (placed + (int)(devs.size() - e) <= best) return;
        if (e == devs.size()) {
            best = placed;
            return;
        }
        for (short f = 0; f < res_choices(devs[e]); f++) value(e, f, 0, placed);
        device(e + 1, placed);
    }
};

TEST(PlanSearch, PlacesAsManyAsTryingEverything) {
    unsigned seed = 12345;
    auto next = [&seed](unsigned n) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) % n;
    };
    const unsigned short irq_pool[] = {1 << 3, 1 << 5, 1 << 7, 1 << 9, 1 << 2};
    for (int round = 0; round < 2000; round++) {
        CARDS c;
        BYTES items;
        int ndev = 2 + (int)next(4);
        for (int k = 0; k < ndev; k++) {
            BYTES dev = ldid("TST0090");
            int nf = (int)next(3);  // 0: the fixed resources alone
            for (int f = 0; f < (nf ? nf : 1); f++) {
                if (nf) dev = cat({dev, start_dep((unsigned char)next(3))});
                int nirq = (int)next(3), ndma = (int)next(2), nio = (int)next(3), nmem = (int)next(2);
                for (int i = 0; i < nirq; i++)
                    dev = cat({dev, irq_item((unsigned short)(irq_pool[next(5)] | irq_pool[next(5)]))});
                for (int i = 0; i < ndma; i++)
                    dev = cat({dev, dma_item((unsigned char)(1 << next(4) | 1 << next(4)))});
                for (int i = 0; i < nio; i++) {
                    unsigned short min = (unsigned short)(0x200 + 8 * next(4));
                    dev = cat({dev, io_item(min, (unsigned short)(min + 8 * next(3)), 8,
                                            (unsigned char)(4 + 4 * next(3)))});
                }
                for (int i = 0; i < nmem; i++) {
                    unsigned short min = (unsigned short)(0xC80 + 0x10 * next(3));
                    dev = cat({dev, mem_item(min, (unsigned short)(min + 0x10 * next(3)), 0x1000,
                                             (unsigned short)(0x10 + 0x10 * next(2)))});
                }
            }
            if (nf) dev = cat({dev, end_dep()});
            items.insert(items.end(), dev.begin(), dev.end());
        }
        c.add(items);
        BRUTE brute;
        for (short k = 0; k < c.res[0].ndevices; k++) brute.devs.push_back(&c.res[0].devices[k]);
        brute.device(0, 0);
        search(c);
        ASSERT_FALSE(plan.stopped) << "round " << round << " placed " << plan.placed << " best "
                                   << brute.best;
        ASSERT_EQ(plan.placed, brute.best) << "round " << round;
        expect_disjoint(plan, nullptr);
    }
}

// ---- --plan on the bus ----

std::vector<std::string> card_args(const std::vector<std::string>& files) {
    std::vector<std::string> args;
    for (const std::string& f : files) {
        args.push_back("--card");
        args.push_back(real_dir + f);
    }
    return args;
}

RUN_RESULT run_plan_with(const std::vector<std::string>& files, const char* host) {
    std::vector<std::string> args = {"--plan"};
    std::vector<std::string> cards = card_args(files);
    args.insert(args.end(), cards.begin(), cards.end());
    if (host) setenv("VELKOR_SYSROOT", host, 1);
    RUN_RESULT r = run_velkor(args);
    unsetenv("VELKOR_SYSROOT");
    return r;
}

std::string without_date(const std::string& script) {
    return std::regex_replace(script, std::regex("made by velkor --plan on [0-9-]+ [0-9:]+"), "DATE");
}

const std::vector<std::string> three = {"dlk2201-dlink-de220p.hex", "rtl8019-realtek-rtl8019as.hex",
                                        "ess0968-ess-es968.hex"};

TEST(PlanRun, TheScriptConfiguresEveryDeviceAsPlanned) {
    RUN_RESULT r = run_plan_with(three, serial_host.c_str());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.find("VELKOR V2.10"), std::string::npos);  // no banner, no shell
    EXPECT_EQ(r.out.find("PnP>"), std::string::npos);
    EXPECT_EQ(r.out.find("not placed"), std::string::npos);

    // What the script sets, device by device: DETECT n, PNP_DEVICE = k, then the values.
    std::map<std::string, std::string> ports, irqs, dmas;
    std::string script = r.out, key, tail;
    std::istringstream lines(script);
    std::string line, csn;
    int devices = 0;
    while (std::getline(lines, line)) {
        std::smatch m;
        if (std::regex_match(line, m, std::regex("DETECT ([0-9]+)"))) csn = m[1];
        if (std::regex_match(line, m, std::regex("PNP_DEVICE = ([0-9]+)")))
            key = csn + "." + std::string(m[1]), devices++;
        if (std::regex_match(line, m, std::regex("DEVICE SET IOPORT (.*)"))) ports[key] = m[1];
        if (std::regex_match(line, m, std::regex("DEVICE SET IRQ 0 ([0-9]+) HIGH EDGE"))) irqs[key] = m[1];
        if (std::regex_match(line, m, std::regex("DEVICE SET DMA 0 ([0-7])"))) dmas[key] = m[1];
    }
    ASSERT_EQ(devices, 5);  // DLK2201; RTL8019; ESS0968, its game port, its IDE interface
    for (int n = 1; n <= 3; n++) script += "PNP_CSN = 0\nDETECT " + std::to_string(n) + "\nDUMP DEVICE ALL\n";
    std::string path = testing::TempDir() + "plan_three.pnp";
    std::ofstream(path) << script;
    std::vector<std::string> args = card_args(three);
    args.push_back(path);
    RUN_RESULT run = run_velkor(args);
    std::remove(path.c_str());
    ASSERT_EQ(run.status, 0) << run.err;

    // The dumps, in card order: every device ACTIVE with the ports and IRQ the script set.
    std::istringstream dump(run.out.substr(run.out.find("Device 000")));
    int card = 0, active = 0;
    std::string dev;
    while (std::getline(dump, line)) {
        std::smatch m;
        if (std::regex_search(line, m, std::regex("Device 0*([0-9]+): \\S+ \\((\\w+)\\)"))) {
            if (m[1] == "0") card++;
            dev = std::to_string(card) + "." + std::string(m[1]);
            EXPECT_EQ(m[2], "ACTIVE") << dev;
            active += m[2] == "ACTIVE";
        }
        if (std::regex_search(line, m, std::regex("I/O Port: (.*\\S)"))) {
            std::string want = std::regex_replace(ports[dev], std::regex(" , "), " ");
            std::string got = std::regex_replace(std::string(m[1]), std::regex("0x0+([0-9A-F])"), "0x$1");
            EXPECT_EQ(got, want) << dev;
        }
        if (std::regex_search(line, m, std::regex("IRQ: ([0-9]+) \\(he\\)"))) {
            EXPECT_EQ(m[1], irqs[dev]) << dev;
        }
        if (std::regex_search(line, m, std::regex("DMA0: ([0-7])"))) {
            EXPECT_EQ(m[1], dmas[dev]) << dev;
        }
    }
    EXPECT_EQ(active, 5);
    EXPECT_EQ(dmas.size(), 1u);  // the ESS audio's channel was looked for
}

TEST(PlanRun, SixRealCardsNameWhatDoesNotFit) {
    RUN_RESULT r = run_plan_with(
        {"azt1008-aztech-azt2320.hex", "csc4232-crystal-cs4232.hex", "ctl00e4-creative-sb-awe64-ct4520.hex",
         "dlk2201-dlink-de220p.hex", "ess0968-ess-es968.hex", "rtl8019-realtek-rtl8019as.hex"},
        serial_host.c_str());
    EXPECT_EQ(r.status, 1);
    // Four sound devices, three 8-bit channels: one of them is named, in the script and on stderr.
    EXPECT_NE(r.out.find("is not placed: no 8-bit DMA channel is left (0 1 3 are taken)"), std::string::npos)
        << r.out;
    EXPECT_TRUE(std::regex_search(
        r.err,
        std::regex("velkor: plan: card [1-6] device [0-9] \\((CTL0045|ESS0968|AZT1008|CSC0000)\\) cannot "
                   "be placed: no 8-bit DMA channel is left \\(0 1 3 are taken\\)")))
        << r.err;
    EXPECT_NE(r.out.find("DEVICE SET ACTIVE"), std::string::npos);  // what fits is still planned
    EXPECT_EQ(r.out.rfind("DEVICE END\n") == std::string::npos, false);
}

TEST(PlanRun, SameCardsAndHostGiveTheSameScript) {
    RUN_RESULT a = run_plan_with(three, serial_host.c_str());
    RUN_RESULT b = run_plan_with(three, serial_host.c_str());
    EXPECT_EQ(a.status, 0);
    EXPECT_EQ(without_date(a.out), without_date(b.out));
    EXPECT_NE(without_date(a.out), a.out);  // the date line is there
    // another host, another plan: pc-sound holds IRQ 5 and 10
    RUN_RESULT c = run_plan_with(three, (source_dir + "/tests/host/pc-sound").c_str());
    EXPECT_NE(without_date(a.out), without_date(c.out));
}

TEST(PlanRun, WithoutPortPermissionNothingIsPlanned) {
    RUN_RESULT r = run_velkor({"--plan"});
    if (r.status == 0) GTEST_SKIP() << "this machine grants port access";
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("velkor: plan: no permission for the PnP ports"), std::string::npos) << r.err;
}

}  // namespace
