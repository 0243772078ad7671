// The planner: the search on resource data built here, and --plan run on the simulated bus with
// the real cards, its script run back on the same bus.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <sys/wait.h>
#include <unistd.h>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "app/plan.h"
#include "pnp/host_resources.h"
#include "pnp/resource_model.h"
#include "shell/signals.h"
#include "sim/card_file.h"
#include "support/pnp_ids_env.h"
#include "support/run_program.h"
#include "support/scratch_dir.h"
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

// What a search takes: the host root, no read port, and time enough.
short search(const CARDS& c, const char* root = nullptr, unsigned short read_port = 0,
             long time_ms = PLAN_TIME_LIMIT_MS) {
    PLAN_SETUP setup = {root, read_port, time_ms};
    return plan_search(c.ptr, c.n, &setup, &plan);
}

// The resource of register set k of kind of a placed device; null when it has none.
const PLAN_RESOURCE* res(const PLAN_DEVICE& d, short kind, short k = 0) {
    for (short r = 0; r < d.nres; r++)
        if (d.res[r].kind == kind && d.res[r].k == k) return &d.res[r];
    return nullptr;
}
unsigned long value(const PLAN_DEVICE& d, short kind, short k = 0) {
    const PLAN_RESOURCE* r = res(d, kind, k);
    return r ? r->start : ~0ul;
}
short count_of(const PLAN_DEVICE& d, short kind) {
    short n = 0;
    for (short r = 0; r < d.nres; r++) n += d.res[r].kind == kind;
    return n;
}

// The ports an I/O resource answers at: its range, or with 10-bit decoding every port whose
// low 10 bits fall in it.
std::vector<unsigned> ports_of(const PLAN_RESOURCE& r) {
    std::vector<unsigned> ports;
    unsigned long len = r.end - r.start + 1;
    for (unsigned long p = 0; p <= 0xFFFF; p++) {
        bool in = (r.flags & PLAN_DECODES_10) ? ((p - r.start) & 0x3FF) < len : p >= r.start && p <= r.end;
        if (in) ports.push_back((unsigned)p);
    }
    return ports;
}

// No two placed devices of a plan share a port, an address, an IRQ or a DMA channel; none is the
// host's, the system board's or a PnP port; every value fits its register.
void expect_disjoint(const PLAN& p, const char* root, unsigned short read_port = 0) {
    struct RANGE {
        unsigned long lo, hi;
    };
    std::vector<RANGE> mem;
    std::vector<short> port_user(0x10000, -1);
    std::map<int, short> irq, dma;
    for (short e = 0; e < p.ndevices; e++) {
        const PLAN_DEVICE& d = p.devices[e];
        if (!d.placed) continue;
        for (short r = 0; r < d.nres; r++) {
            const PLAN_RESOURCE& x = d.res[r];
            if (x.flags & PLAN_NOTHING) continue;
            switch (x.kind) {
            case PLAN_IRQ:
            case PLAN_DMA: {
                bool is_irq = x.kind == PLAN_IRQ;
                std::map<int, short>& users = is_irq ? irq : dma;
                const char* what = is_irq ? "IRQ " : "DMA ";
                unsigned top = is_irq ? 16 : 8, reserved = is_irq ? PLAN_RESERVED_IRQS : PLAN_RESERVED_DMAS;
                EXPECT_EQ(users.count((int)x.start), 0u) << what << x.start << " twice";
                EXPECT_TRUE(x.start < top && !(reserved & 1u << x.start)) << what << x.start;
                if (root) {
                    short held = is_irq ? host_irq_holder(root, (short)x.start, nullptr)
                                        : host_dma_holder(root, (short)x.start, nullptr);
                    EXPECT_NE(held, HOST_IN_USE) << what << x.start;
                }
                users[(int)x.start] = e;
                break;
            }
            case PLAN_IO:
                EXPECT_TRUE(x.start > 0 && x.end <= 0xFFFF && x.start <= x.end) << std::hex << x.start;
                for (unsigned port : ports_of(x)) {
                    EXPECT_EQ(port_user[port], -1) << "port 0x" << std::hex << port << " twice";
                    EXPECT_TRUE(port != 0x279 && port != 0xA79 && port != read_port) << std::hex << port;
                    port_user[port] = e;
                }
                if (root) {
                    EXPECT_NE(host_io_holder(root, x.start, x.end, nullptr), HOST_IN_USE) << std::hex << x.start;
                }
                break;
            default:
                EXPECT_GT(x.start, 0u);
                if (x.kind == PLAN_MEM) {
                    EXPECT_EQ(x.start % 0x100, 0u) << std::hex << x.start;
                    EXPECT_LE(x.end + 1, 0xFFFF00ul) << std::hex << x.end;  // the upper limit fits
                } else {
                    EXPECT_LE(x.end, 0xFFFFFFFFul);
                }
                for (const RANGE& o : mem)
                    EXPECT_FALSE(o.lo <= x.end && x.start <= o.hi) << std::hex << o.lo << " and " << x.start;
                mem.push_back({x.start, x.end});
                if (root) {
                    EXPECT_NE(host_mem_holder(root, x.start, x.end, nullptr), HOST_IN_USE) << std::hex << x.start;
                }
                break;
            }
        }
    }
}

// ---- The search ----

TEST(PlanSearch, JointChoiceWhereFirstFitFails) {
    // A offers IRQ 5 or 7, B only 5: first fit gives A 5 and leaves B nothing.
    CARDS c;
    c.add(cat({ldid("TST0010"), irq_item(1 << 5 | 1 << 7), ldid("TST0011"), irq_item(1 << 5)}));
    EXPECT_EQ(search(c), 1);
    EXPECT_EQ(plan.placed, 2);
    EXPECT_TRUE(plan.proven);
    EXPECT_EQ(value(plan.devices[0], PLAN_IRQ), 7u);
    EXPECT_EQ(value(plan.devices[1], PLAN_IRQ), 5u);
    EXPECT_EQ(res(plan.devices[0], PLAN_IRQ)->info, PNP_IRQ_HIGH);  // high-true edge, as offered by default
    EXPECT_FALSE(plan.stopped);

    // The same across cards, with I/O ranges: the first card's device must move off 0x300.
    CARDS d;
    d.add(cat({ldid("TST0020"), io_item(0x300, 0x310, 0x08, 8)}));
    d.add(cat({ldid("TST0021"), fixed_io(0x300, 8), ldid("TST0022"), fixed_io(0x310, 4)}));
    EXPECT_EQ(search(d), 1);
    EXPECT_EQ(value(plan.devices[0], PLAN_IO), 0x308u);
    EXPECT_EQ(value(plan.devices[1], PLAN_IO), 0x300u);
    EXPECT_EQ(value(plan.devices[2], PLAN_IO), 0x310u);
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
    EXPECT_EQ(value(d, PLAN_IRQ), 9u);
    EXPECT_EQ(value(d, PLAN_IO), 0x220u);

    // when the good function cannot be placed the acceptable one is
    CARDS e;
    e.add(cat({ldid("TST0031"), fixed_io(0x220, 16), ldid("TST0032"), start_dep(0), fixed_io(0x220, 8),
               start_dep(1), io_item(0x200, 0x240, 0x20, 8), end_dep()}));
    EXPECT_EQ(search(e), 1);
    EXPECT_EQ(plan.devices[1].function, 1);
    EXPECT_EQ(value(plan.devices[1], PLAN_IO), 0x200u);

    // two devices, one good place: the count comes first, then the priorities' sum
    CARDS f;
    f.add(cat({ldid("TST0033"), start_dep(0), irq_item(1 << 5), start_dep(2), irq_item(1 << 7), end_dep(),
               ldid("TST0034"), start_dep(0), irq_item(1 << 5), start_dep(1), irq_item(1 << 9), end_dep()}));
    EXPECT_EQ(search(f), 1);
    EXPECT_EQ(plan.devices[0].function, 0);  // good + acceptable (1) beats sub-optimal + good (2)
    EXPECT_EQ(plan.devices[1].function, 1);
}

TEST(PlanSearch, NeverTakesTheSystemBoardsIrqsAndDma) {
    CARDS c;
    c.add(cat({ldid("TST0040"), irq_item(1 << 0 | 1 << 1 | 1 << 2 | 1 << 8 | 1 << 13)}));
    c.add(cat({ldid("TST0041"), dma_item(1 << 4)}));
    c.add(cat({ldid("TST0042"), irq_item(1 << 2 | 1 << 9), dma_item(1 << 4 | 1 << 6)}));
    EXPECT_EQ(search(c), 0);
    EXPECT_EQ(plan.placed, 1);
    EXPECT_TRUE(plan.proven);
    EXPECT_EQ(plan.most, 1);
    EXPECT_FALSE(plan.devices[0].placed);
    EXPECT_STREQ(plan.devices[0].why, "no IRQ is left (0 1 2 8 13 are taken)");
    EXPECT_FALSE(plan.devices[1].placed);
    EXPECT_STREQ(plan.devices[1].why, "no 8-bit DMA channel is left (4 is taken)");
    EXPECT_EQ(value(plan.devices[2], PLAN_IRQ), 9u);
    EXPECT_EQ(value(plan.devices[2], PLAN_DMA), 6u);
}

TEST(PlanSearch, KeepsOffTheHostsResources) {
    CARDS c;
    // serial at 0x2F8, ttyS0 on IRQ 4
    c.add(
        cat({ldid("TST0050"), io_item(0x2F8, 0x308, 0x08, 8), irq_item(1 << 4 | 1 << 5), dma_item(1 << 5)}));
    EXPECT_EQ(search(c, serial_host.c_str()), 1);
    EXPECT_EQ(value(plan.devices[0], PLAN_IO), 0x300u);
    EXPECT_EQ(value(plan.devices[0], PLAN_IRQ), 5u);
    // no host root: IRQ 4 is free
    EXPECT_EQ(search(c), 1);
    EXPECT_EQ(value(plan.devices[0], PLAN_IRQ), 4u);

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
    host_forget();
    CARDS c;
    c.add(cat({ldid("TST0052"), io_item(0x1000, 0x1F00, 0x04, 4), ldid("TST0053"),
               io_item(0x1000, 0x1F00, 0x04, 4), ldid("TST0054"), io_item(0x3000, 0x4000, 0x04, 4)}));
    EXPECT_EQ(search(c, root.c_str()), 1);
    EXPECT_EQ(value(plan.devices[0], PLAN_IO), 0x1004u);  // the first gaps
    EXPECT_EQ(value(plan.devices[1], PLAN_IO), 0x100Cu);
    EXPECT_EQ(value(plan.devices[2], PLAN_IO), 0x3004u);  // the gap after the 1025th range
    expect_disjoint(plan, root.c_str());
    host_forget();
}

TEST(PlanSearch, RangesOfNoLengthAndMemory) {
    CARDS c;
    // an I/O descriptor of length 0 takes no ports; memory 0xC8000-0xDC000 step 16 KB, 16 KB each
    c.add(cat({ldid("TST0060"), io_item(0x300, 0x300, 0x08, 0), fixed_io(0x300, 4),
               mem_item(0xC80, 0xDC0, 0x4000, 0x40), ldid("TST0061"), mem_item(0xC80, 0xDC0, 0x4000, 0x40)}));
    EXPECT_EQ(search(c), 1);
    const PLAN_DEVICE& d = plan.devices[0];
    EXPECT_EQ(count_of(d, PLAN_IO), 2);
    EXPECT_TRUE(res(d, PLAN_IO, 0)->flags & PLAN_NOTHING);
    EXPECT_EQ(value(d, PLAN_IO, 0), 0u);
    EXPECT_EQ(value(d, PLAN_IO, 1), 0x300u);
    EXPECT_TRUE(res(d, PLAN_IO, 1)->flags & PLAN_DECODES_10);  // a fixed I/O descriptor decodes 10 bits
    EXPECT_EQ(value(d, PLAN_MEM), 0xC8000ul);
    EXPECT_EQ(res(d, PLAN_MEM)->end, 0xCBFFFul);
    EXPECT_EQ(value(plan.devices[1], PLAN_MEM), 0xCC000ul);
    EXPECT_TRUE(d.active);
    expect_disjoint(plan, nullptr);
}

TEST(PlanSearch, PlacesTheMostDevicesWhenNotAllFit) {
    CARDS c;
    // Four devices each want one 8-bit channel of 0 1 3: one is left out.
    for (int i = 0; i < 4; i++) c.add(cat({ldid("TST0070"), dma_item(1 << 0 | 1 << 1 | 1 << 3)}));
    EXPECT_EQ(search(c), 0);
    EXPECT_EQ(plan.placed, 3);
    EXPECT_TRUE(plan.proven);
    EXPECT_EQ(plan.most, 3);
    EXPECT_FALSE(plan.stopped);
    short out = -1;
    for (short e = 0; e < 4; e++)
        if (!plan.devices[e].placed) out = e;
    ASSERT_GE(out, 0);
    EXPECT_STREQ(plan.devices[out].why, "no 8-bit DMA channel is left (0 1 3 are taken)");

    // A wants two of IRQ 5 and 7, B only 5, C only 7: placing A alone is worse than B and C.
    CARDS d;
    d.add(cat({ldid("TST0071"), irq_item(1 << 5 | 1 << 7), irq_item(1 << 5 | 1 << 7), ldid("TST0072"),
               irq_item(1 << 5), ldid("TST0073"), irq_item(1 << 7)}));
    EXPECT_EQ(search(d), 0);
    EXPECT_EQ(plan.placed, 2);
    EXPECT_FALSE(plan.devices[0].placed);
    EXPECT_STREQ(plan.devices[0].why, "no IRQ is left (5 7 are taken)");
    EXPECT_EQ(value(plan.devices[1], PLAN_IRQ), 5u);
    EXPECT_EQ(value(plan.devices[2], PLAN_IRQ), 7u);
}

TEST(PlanSearch, KeepsOffThePnpPortsAndTheAliasesOfTenBitRanges) {
    // The game port wants 0x200-0x207 or 0x208-0x20F; isolating with READ_DATA 0x203 rules out
    // the first.
    CARDS c;
    c.add(cat({ldid("TST0100"), io_item(0x200, 0x208, 0x08, 8)}));
    EXPECT_EQ(search(c, nullptr, 0x203), 1);
    EXPECT_EQ(value(plan.devices[0], PLAN_IO), 0x208u);
    EXPECT_EQ(search(c), 1);
    EXPECT_EQ(value(plan.devices[0], PLAN_IO), 0x200u);
    // 0x278-0x27F holds ADDRESS 0x279; a 10-bit range at 0x270-0x27F answers at 0xA79 too
    CARDS d;
    d.add(cat({ldid("TST0101"), io_item(0x270, 0x288, 0x08, 8), ldid("TST0102"),
               BYTES{0x47, 0x00, 0x70, 0x0A, 0x90, 0x0A, 0x10, 0x10}}));  // 10-bit, 0xA70-0xA90
    EXPECT_EQ(search(d), 1);
    EXPECT_EQ(value(plan.devices[0], PLAN_IO), 0x270u);
    EXPECT_EQ(value(plan.devices[1], PLAN_IO), 0xA80u);  // 0xA70 answers at 0xA79 and 0x279
    expect_disjoint(plan, nullptr);

    // A 10-bit range at 0x220 answers at 0x620: the 16-bit device that wants 0x620 or 0x640 takes
    // 0x640, and with no other place one of the two is left out.
    CARDS e;
    e.add(cat({ldid("TST0103"), fixed_io(0x220, 16), ldid("TST0104"), io_item(0x620, 0x640, 0x20, 16)}));
    EXPECT_EQ(search(e), 1);
    EXPECT_EQ(value(plan.devices[1], PLAN_IO), 0x640u);
    CARDS f;
    f.add(cat({ldid("TST0105"), fixed_io(0x220, 16), ldid("TST0106"), io_item(0x620, 0x620, 0x20, 16)}));
    EXPECT_EQ(search(f), 0);
    EXPECT_EQ(plan.placed, 1);
    // two 10-bit ranges 0x400 apart are the same ports
    CARDS g;
    g.add(cat({ldid("TST0107"), fixed_io(0x300, 8), ldid("TST0108"), fixed_io(0x700, 8)}));
    EXPECT_EQ(search(g), 0);
    EXPECT_EQ(plan.placed, 1);
    // a 10-bit alias below 0x400 that the host holds: the serial port's 0x3F8 for a range at 0x7F8
    CARDS h;
    h.add(cat({ldid("TST0109"), fixed_io(0x7F8, 8)}));
    EXPECT_EQ(search(h, serial_host.c_str()), 0);
    EXPECT_EQ(search(h), 1);
}

TEST(PlanSearch, ADeviceThatDecodesNothingIsPlacedInactive) {
    // Its best configuration offers no ports and no IRQ; the other one an IRQ.
    CARDS c;
    c.add(cat({ldid("TST0110"), start_dep(0), io_item(0x300, 0x300, 0x08, 0), irq_item(0), start_dep(1),
               irq_item(1 << 5), end_dep(), ldid("TST0111"), irq_item(1 << 5)}));
    EXPECT_EQ(search(c), 1);
    EXPECT_TRUE(plan.devices[0].placed);
    EXPECT_FALSE(plan.devices[0].active);
    EXPECT_EQ(plan.devices[0].function, 0);
    EXPECT_STRNE(plan.devices[0].why, "");
    EXPECT_TRUE(plan.devices[1].active);
}

TEST(PlanSearch, RefusesWhatItsRegistersCannotHold) {
    // Two fixed IRQs and one in the function: three for two registers. The second function fits.
    CARDS c;
    c.add(cat({ldid("TST0120"), irq_item(1 << 3), irq_item(1 << 4), start_dep(0), irq_item(1 << 5),
               start_dep(1), dma_item(1 << 1), end_dep()}));
    EXPECT_EQ(search(c), 1);
    EXPECT_EQ(plan.devices[0].function, 1);
    EXPECT_EQ(count_of(plan.devices[0], PLAN_IRQ), 2);
    // Eight fixed I/O ranges and one in the only function: nine for eight registers. Not
    // placed, and said why.
    BYTES nine = ldid("TST0121");
    for (int k = 0; k < 8; k++) nine = cat({nine, fixed_io((unsigned short)(0x300 + 8 * k), 8)});
    nine = cat({nine, start_dep(0), fixed_io(0x380, 8), end_dep()});
    CARDS d;
    d.add(nine);
    EXPECT_EQ(search(d), 0);
    EXPECT_STREQ(plan.devices[0].why, "it asks for 9 I/O ranges; the device has registers for 8");
    // A 24-bit range that fits only at 0xFFFF00: its upper limit would not fit its register.
    CARDS e;
    e.add(cat({ldid("TST0122"), mem_item(0xFFFF, 0xFFFF, 0x100, 0x01)}));
    EXPECT_EQ(search(e), 0);
    // A 24-bit base that is not a multiple of 256 is never written.
    CARDS f;
    f.add(cat({ldid("TST0123"), mem_item(0xC80, 0xC81, 0x80, 0x01)}));
    EXPECT_EQ(search(f), 1);
    EXPECT_EQ(value(plan.devices[0], PLAN_MEM), 0xC8000ul);
}

TEST(PlanSearch, TheTimeLimitAndAStopKeepAValidPlanAndSayWhatWasProven) {
    CARDS c;
    for (const char* f : {"azt1008-aztech-azt2320.hex", "csc4232-crystal-cs4232.hex",
                          "ctl00e4-creative-sb-awe64-ct4520.hex", "dlk2201-dlink-de220p.hex", "ess0968-ess-es968.hex",
                          "rtl8019-realtek-rtl8019as.hex"})
        c.add_file(f);
    EXPECT_EQ(search(c, nullptr, 0x203), 0);
    EXPECT_EQ(plan.placed, 14);
    EXPECT_TRUE(plan.proven);
    EXPECT_EQ(plan.most, 14);
    EXPECT_LT(plan.elapsed_ms, 1000);
    expect_disjoint(plan, nullptr, 0x203);

    // a stop asked for before the search: the first fit, and nothing proven
    sig_terminate = 1;
    search(c, nullptr, 0x203);
    sig_terminate = 0;
    EXPECT_TRUE(plan.stopped);
    EXPECT_FALSE(plan.proven);
    EXPECT_GE(plan.most, plan.placed);
    EXPECT_GT(plan.placed, 0);
    expect_disjoint(plan, nullptr, 0x203);
    // a time limit of 1 ms, likewise
    search(c, nullptr, 0x203, 1);
    EXPECT_GE(plan.most, plan.placed);
    EXPECT_LT(plan.elapsed_ms, 1000);
    expect_disjoint(plan, nullptr, 0x203);
}

TEST(PlanSearch, SeventeenCardsAndWideRanges) {
    // 17 cards of three devices, each with four functions over wide ranges: every device is
    // considered, and the plan is proven.
    CARDS c;
    for (int k = 0; k < PLAN_MAX_CARDS; k++) {
        BYTES items;
        for (int d = 0; d < 3; d++) {
            BYTES dev = ldid("TST0130");
            for (int f = 0; f < 4; f++)
                dev = cat({dev, start_dep((unsigned char)(f % 3)), irq_item((unsigned short)(0x0EB8 >> (f & 1))),
                           io_item((unsigned short)(0x100 + 0x40 * f), 0x3F0, 0x10, (unsigned char)(8 << (f & 1))),
                           mem_item(0xC00, 0xEF0, 0x800, (unsigned short)(0x08 << (d & 1)))});
            dev = cat({dev, end_dep()});
            items.insert(items.end(), dev.begin(), dev.end());
        }
        c.add(items);
    }
    EXPECT_EQ(c.n, 17);
    search(c, nullptr, 0x203);
    EXPECT_EQ(plan.ndevices, 51);
    EXPECT_TRUE(plan.proven);
    EXPECT_LT(plan.elapsed_ms, 1000);
    EXPECT_EQ(plan.devices[50].card, 16);
    expect_disjoint(plan, nullptr, 0x203);
}

// 32-bit memory: min, max, align and len as the descriptor holds them (byte addresses).
BYTES mem32_item(unsigned long min, unsigned long max, unsigned long align, unsigned long len) {
    BYTES item = {0x85, 0x11, 0x00, 0x00};
    for (unsigned long v : {min, max, align, len})
        for (int i = 0; i < 4; i++) item.push_back((unsigned char)(v >> 8 * i));
    return item;
}

TEST(PlanSearch, PathologicalRangesEndWithinTheTimeLimit) {
    // 16 devices of 16 functions, each a 32-bit range of 4 KB anywhere in 4 GB at any byte, and a
    // 24-bit one of 256 bytes anywhere at any byte; one more device whose 2 GB range cannot fit.
    CARDS c;
    BYTES items;
    for (int d = 0; d < RES_MAX_DEVICES - 1; d++) {
        BYTES dev = ldid("TST0140");
        for (int f = 0; f < RES_MAX_FUNCTIONS; f++)
            dev = cat({dev, start_dep(0), mem32_item(0, 0xFFFFF000ul, 1, 0x1000), mem_item(0x0001, 0xFFFF, 1, 0x01)});
        dev = cat({dev, end_dep()});
        items.insert(items.end(), dev.begin(), dev.end());
    }
    items = cat({items, ldid("TST0141"), mem32_item(0x80000000ul, 0xFFFFFFFFul, 1, 0x80000001ul)});
    c.add(items);
    search(c);
    EXPECT_LT(plan.elapsed_ms, PLAN_TIME_LIMIT_MS + 1000);
    EXPECT_EQ(plan.placed, RES_MAX_DEVICES - 1);
    EXPECT_FALSE(plan.devices[RES_MAX_DEVICES - 1].placed);
    EXPECT_STREQ(plan.devices[RES_MAX_DEVICES - 1].why,
                 "no memory range of 0x80000001 bytes is left at 0x80000000-0xFFFFFFFF");
    expect_disjoint(plan, nullptr);
}

TEST(PlanSearch, RealCardsKeepClearOfEachOtherAndTheHost) {
    CARDS c;
    for (const char* f : {"dlk2201-dlink-de220p.hex", "rtl8019-realtek-rtl8019as.hex",
                          "ctl00e4-creative-sb-awe64-ct4520.hex", "csc4232-crystal-cs4232.hex"})
        c.add_file(f);
    EXPECT_EQ(search(c, serial_host.c_str(), 0x203), 1);
    EXPECT_TRUE(plan.proven);
    expect_disjoint(plan, serial_host.c_str(), 0x203);
    // the three cards of the runs below, on both test machines
    for (const char* host : {"pc-serial", "pc-sound"}) {
        CARDS d;
        for (const char* f :
             {"dlk2201-dlink-de220p.hex", "rtl8019-realtek-rtl8019as.hex", "ess0968-ess-es968.hex"})
            d.add_file(f);
        std::string root = source_dir + "/tests/host/" + host;
        // pc-sound's own sound card holds 0x388 and 0x330, which the ESS audio device cannot do without
        EXPECT_EQ(search(d, root.c_str(), 0x203), std::string(host) == "pc-serial") << host;
        EXPECT_GE(plan.placed, 3) << host;
        expect_disjoint(plan, root.c_str(), 0x203);
    }
}

// The most devices that can be placed and the best sum of priorities for that many, by trying
// every configuration and value of every device (small cases only): a check of the planner.
struct BRUTE {
    std::vector<const RES_DEVICE*> devs;
    std::vector<unsigned char> ports = std::vector<unsigned char>(0x10000, 0);
    std::vector<std::pair<unsigned long, unsigned long>> mem;
    unsigned irqs = 0, dmas = 0;
    unsigned short read_port = 0;
    int best = -1, best_rank = 0;

    static int rank(const RES_DEVICE* d, short f) {
        short p = d->nfunctions ? d->functions[f].priority : 0;
        return p <= 2 ? p : 3;
    }
    // The ports a range at b takes, or none when one is taken or a PnP port.
    bool take_ports(unsigned long b, unsigned long len, bool ten, unsigned char on) {
        std::vector<unsigned> mine;
        long first = ten ? (long)(b & 0x3FF) - 0x400 : (long)b, step = ten ? 0x400 : 0x10000;
        for (long at = first; at <= 0xFFFF; at += step)
            for (long p = at; p < at + (long)len && p <= 0xFFFF; p++) {
                if (p < 0) continue;
                if (on && (ports[(size_t)p] || p == 0x279 || p == 0xA79 || p == read_port)) return false;
                mine.push_back((unsigned)p);
            }
        for (unsigned p : mine) ports[p] = on;
        return true;
    }
    void value(size_t e, short f, short n, int placed, int ranks) {
        const RES_DEVICE* d = devs[e];
        short ni = res_count(d, f, RES_KIND_IRQ), nd = res_count(d, f, RES_KIND_DMA),
              nio = res_count(d, f, RES_KIND_IO), nm = res_count(d, f, RES_KIND_MEM);
        if (n == ni + nd + nio + nm) return device(e + 1, placed + 1, ranks + rank(d, f));
        if (n < ni) {
            unsigned mask = res_irq_at(d, f, n)->mask;
            if (!mask) return value(e, f, n + 1, placed, ranks);
            for (unsigned l = 0; l < 16; l++)
                if (mask & 1u << l && !(irqs & 1u << l) && !(PLAN_RESERVED_IRQS & 1u << l)) {
                    irqs |= 1u << l;
                    value(e, f, n + 1, placed, ranks);
                    irqs &= ~(1u << l);
                }
        } else if (n < ni + nd) {
            unsigned mask = res_dma_at(d, f, n - ni)->mask;
            if (!mask) return value(e, f, n + 1, placed, ranks);
            for (unsigned c = 0; c < 8; c++)
                if (mask & 1u << c && !(dmas & 1u << c) && !(PLAN_RESERVED_DMAS & 1u << c)) {
                    dmas |= 1u << c;
                    value(e, f, n + 1, placed, ranks);
                    dmas &= ~(1u << c);
                }
        } else if (n < ni + nd + nio) {
            const RES_IO* r = res_io_at(d, f, n - ni - nd);
            if (!r->len) return value(e, f, n + 1, placed, ranks);
            bool ten = r->fixed || !(r->info & 1);
            for (unsigned long b = r->min; b <= r->max; b += r->align) {
                if (b && take_ports(b, r->len, ten, 1)) {
                    value(e, f, n + 1, placed, ranks);
                    take_ports(b, r->len, ten, 0);
                }
                if (!r->align) break;
            }
        } else {
            const RES_MEM* m = res_mem_at(d, 24, f, n - ni - nd - nio);
            if (!m->len) return value(e, f, n + 1, placed, ranks);
            for (unsigned long b = m->min; b <= m->max; b += m->align) {
                bool clash = b == 0 || b % 0x100;
                for (auto& u : mem) clash |= u.first <= b + m->len - 1 && b <= u.second;
                if (!clash) {
                    mem.push_back({b, b + m->len - 1});
                    value(e, f, n + 1, placed, ranks);
                    mem.pop_back();
                }
                if (!m->align) break;
            }
        }
    }
    void device(size_t e, int placed, int ranks) {
        if (placed + (int)(devs.size() - e) < best) return;
        if (e == devs.size()) {
            if (placed > best || (placed == best && ranks < best_rank)) best = placed, best_rank = ranks;
            return;
        }
        for (short f = 0; f < res_choices(devs[e]); f++) value(e, f, 0, placed, ranks);
        device(e + 1, placed, ranks);
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
                    // 16-bit ranges at 0x200 or 0x600 up, 10-bit ones at 0x200 up: their aliases meet
                    unsigned short min = (unsigned short)((next(2) ? 0x600 : 0x200) + 8 * next(4));
                    BYTES io = io_item(min, (unsigned short)(min + 8 * next(3)), 8, (unsigned char)(4 + 4 * next(3)));
                    if (min < 0x600 && next(2)) io[1] = 0x00;  // decodes 10 address bits
                    dev = cat({dev, io});
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
        unsigned short read_port = next(2) ? 0x20B : 0;
        BRUTE brute;
        brute.read_port = read_port;
        for (short k = 0; k < c.res[0].ndevices; k++) brute.devs.push_back(&c.res[0].devices[k]);
        brute.device(0, 0, 0);
        search(c, nullptr, read_port);
        ASSERT_TRUE(plan.proven) << "round " << round;
        ASSERT_EQ(plan.placed, brute.best) << "round " << round;
        int ranks = 0;
        for (short e = 0; e < plan.ndevices; e++)
            if (plan.devices[e].placed) ranks += BRUTE::rank(brute.devs[(size_t)e], plan.devices[e].function);
        ASSERT_EQ(ranks, brute.best_rank) << "round " << round;
        expect_disjoint(plan, nullptr, read_port);
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
const std::vector<std::string> six = {"azt1008-aztech-azt2320.hex", "csc4232-crystal-cs4232.hex",
                                      "ctl00e4-creative-sb-awe64-ct4520.hex", "dlk2201-dlink-de220p.hex",
                                      "ess0968-ess-es968.hex", "rtl8019-realtek-rtl8019as.hex"};

// What a script sets, device by device ("2.0": DETECT 2, PNP_DEVICE = 0): the I/O ports as the
// dump shows them, the IRQ and DMA lines, and ACTIVE or INACTIVE.
struct SET_BY_SCRIPT {
    std::string ports, irq, dma, state;
};

std::map<std::string, SET_BY_SCRIPT> what_the_script_sets(const std::string& script) {
    std::map<std::string, SET_BY_SCRIPT> out;
    std::istringstream lines(script);
    std::string line, csn, key;
    while (std::getline(lines, line)) {
        std::smatch m;
        if (std::regex_match(line, m, std::regex("DETECT ([0-9]+)"))) csn = m[1];
        if (std::regex_match(line, m, std::regex("PNP_DEVICE = ([0-9]+)"))) key = csn + "." + std::string(m[1]);
        if (std::regex_match(line, m, std::regex("DEVICE SET IOPORT (.*)"))) {
            std::string ports;
            std::string list = m[1];
            static const std::regex hex("0x([0-9A-F]+)");
            for (std::sregex_iterator it(list.begin(), list.end(), hex), e; it != e; ++it) {
                char text[16];
                unsigned long v = strtoul((*it)[1].str().c_str(), nullptr, 16);
                if (!v) continue;  // a port the device does not use: the dump leaves it out
                snprintf(text, sizeof text, "0x%04lX ", v & 0xFFFF);
                ports += text;
            }
            out[key].ports = ports;
        }
        if (std::regex_match(line, m, std::regex("DEVICE SET IRQ 0 ([0-9]+) HIGH EDGE"))) out[key].irq = m[1];
        if (std::regex_match(line, m, std::regex("DEVICE SET DMA 0 ([0-7])"))) out[key].dma = m[1];
        if (line == "DEVICE SET ACTIVE") out[key].state = "ACTIVE";
        if (line == "DEVICE SET INACTIVE") out[key].state = "INACTIVE";
    }
    return out;
}

// Runs the script back with -e on the same cards and compares each device's dump with what the
// script set: every device it activates is ACTIVE with its ports, IRQ and DMA channel.
void expect_the_script_configures(const std::string& script, const std::vector<std::string>& files, int ncards) {
    std::map<std::string, SET_BY_SCRIPT> want = what_the_script_sets(script);
    std::string run_back = script;
    for (int n = 1; n <= ncards; n++) run_back += "PNP_CSN = 0\nDETECT " + std::to_string(n) + "\nDUMP DEVICE ALL\n";
    std::string path = testing::TempDir() + "plan_run_back.pnp";
    std::ofstream(path) << run_back;
    std::vector<std::string> args = card_args(files);
    args.insert(args.begin(), "-e");
    args.push_back(path);
    RUN_RESULT run = run_velkor(args);
    std::remove(path.c_str());
    ASSERT_EQ(run.status, 0) << run.err;
    std::istringstream dump(run.out.substr(run.out.find("Device 000")));
    std::string line, dev;
    int card = 0, checked = 0;
    std::map<std::string, SET_BY_SCRIPT> got;
    while (std::getline(dump, line)) {
        std::smatch m;
        if (std::regex_search(line, m, std::regex("Device 0*([0-9]+): \\S+ \\((\\w+)\\)"))) {
            if (m[1] == "0") card++;
            dev = std::to_string(card) + "." + std::string(m[1]);
            got[dev].state = m[2];
        }
        if (std::regex_search(line, m, std::regex("I/O Port: (.*)"))) got[dev].ports = m[1];
        if (std::regex_search(line, m, std::regex("IRQ: ([0-9]+) \\(he\\)"))) got[dev].irq = m[1];
        if (std::regex_search(line, m, std::regex("DMA0: ([0-7])"))) got[dev].dma = m[1];
    }
    for (const auto& w : want) {
        ASSERT_EQ(got.count(w.first), 1u) << w.first;
        const SET_BY_SCRIPT& g = got[w.first];
        EXPECT_EQ(g.state, w.second.state) << w.first;
        if (w.second.state != "ACTIVE") continue;
        EXPECT_EQ(g.ports, w.second.ports) << w.first;
        EXPECT_EQ(g.irq, w.second.irq) << w.first;
        EXPECT_EQ(g.dma, w.second.dma) << w.first;
        checked++;
    }
    EXPECT_GT(checked, 0);
}

TEST(PlanRun, TheScriptConfiguresEveryDeviceAsPlanned) {
    RUN_RESULT r = run_plan_with(three, serial_host.c_str());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.find("VELKOR V2.10"), std::string::npos);  // no banner, no shell
    EXPECT_EQ(r.out.find("PnP>"), std::string::npos);
    EXPECT_EQ(r.out.find("not placed"), std::string::npos);
    EXPECT_NE(r.out.find("\n# 5 of 5 devices placed\n"), std::string::npos) << r.out;
    std::map<std::string, SET_BY_SCRIPT> set = what_the_script_sets(r.out);
    EXPECT_EQ(set.size(), 5u);  // DLK2201; RTL8019; ESS0968, its game port, its IDE interface
    EXPECT_EQ(set["2.0"].dma.empty(), false);  // the ESS audio's channel was looked for
    expect_the_script_configures(r.out, three, 3);
}

TEST(PlanRun, SixRealCardsAreProvenAndNameWhatDoesNotFit) {
    RUN_RESULT r = run_plan_with(six, nullptr);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("\n# 14 of 16 devices placed; no plan places more\n"), std::string::npos) << r.out;
    // The game port of 0x200-0x207 would take the READ_DATA port 0x203; four sound devices want
    // three 8-bit channels.
    EXPECT_NE(r.out.find("# Device 1: CTL7002 Game is not placed: no range of 8 I/O ports is left at 0x0200\n"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("is not placed: no 8-bit DMA channel is left (0 1 3 are taken)"), std::string::npos)
        << r.out;
    EXPECT_TRUE(std::regex_search(
        r.err,
        std::regex("velkor: plan: card [1-6] device [0-9] \\((CTL0045|ESS0968|AZT1008|CSC0000)\\) cannot "
                   "be placed: no 8-bit DMA channel is left \\(0 1 3 are taken\\)")))
        << r.err;
    // The CD-ROM interface the AZT1008 offers only switched off is left inactive.
    EXPECT_NE(r.out.find("# Device 0: AZT0500 IDE CDROM DISABLED (dependent function 0, good) is left inactive: "
                         "its configuration decodes nothing\nPNP_DEVICE = 0\nDEVICE BEGIN\nDEVICE SET INACTIVE\n"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(r.out.find("0x200 "), std::string::npos);
    expect_the_script_configures(r.out, six, 6);
}

// The lines of a trace file, each whole ("out 0279 02", "in 0203 FF", "delay 250").
std::vector<std::string> trace_lines(const std::string& path, bool finished = true) {
    std::string text = slurp(path);
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) lines.push_back(line);
    if (finished) {
        EXPECT_TRUE(text.empty() || text.back() == '\n') << "the trace ends inside a line";
    }
    return lines;
}

// Every card is back in Wait for Key at the end of the trace: Config Control <- 0x02.
void expect_cards_left_in_wait_for_key(const std::string& trace) {
    std::vector<std::string> lines = trace_lines(trace);
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2], "out 0279 02");
    EXPECT_EQ(lines.back(), "out 0A79 02");
}

// A signal while --plan runs on the hardware bus (under the port trap, the cards behind the
// ports) ends it through the clean-up: nothing printed, the trace whole and the cards back in
// Wait for Key; then it dies of the signal.
TEST(PlanRun, ASignalEndsItThroughTheCleanUp) {
    SCRATCH_DIR dir("plan-signal");
    for (int signo : {SIGTERM, SIGINT, SIGHUP}) {
        std::string trace = dir.path + "/trace.txt", out = dir.path + "/out.txt";
        std::remove(trace.c_str());
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            if (!freopen(out.c_str(), "w", stdout)) _exit(126);
            signal(SIGINT, SIG_DFL);
            execl(VELKOR_TRAP, "velkor-trap", "--sim", "--card", (real_dir + six[0]).c_str(), "--card",
                  (real_dir + six[1]).c_str(), "--card", (real_dir + six[2]).c_str(), "--", VELKOR_BINARY, "--plan",
                  "--trace", trace.c_str(), (char*)nullptr);
            _exit(127);
        }
        // Well into the run (isolation alone takes some thousands of lines), the signal.
        for (int wait = 0; wait < 2000 && trace_lines(trace, false).size() < 2000; wait++) usleep(10000);
        kill(pid, signo);
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFSIGNALED(status)) << "signal " << signo << ": exit status " << WEXITSTATUS(status);
        EXPECT_EQ(WTERMSIG(status), signo);
        EXPECT_EQ(slurp(out), "") << "signal " << signo;
        expect_cards_left_in_wait_for_key(trace);
    }
}

// A reader that goes away: the run ends through the clean-up with status 1; as in the shell, a
// closed pipe is no fault to report.
TEST(PlanRun, AClosedPipeEndsItThroughTheCleanUp) {
    SCRATCH_DIR dir("plan-pipe");
    std::string trace = dir.path + "/trace.txt", err = dir.path + "/err.txt";
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        close(fds[0]);
        dup2(fds[1], 1);
        if (!freopen(err.c_str(), "w", stderr)) _exit(126);
        signal(SIGPIPE, SIG_DFL);
        execl(VELKOR_BINARY, "velkor", "--sim", "--plan", "--trace", trace.c_str(), (char*)nullptr);
        _exit(127);
    }
    close(fds[0]);
    close(fds[1]);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status)) << "died of signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_EQ(slurp(err).find("standard output"), std::string::npos) << slurp(err);
    expect_cards_left_in_wait_for_key(trace);
}

// A card of 20 logical devices, one of which has 20 dependent functions: what the planner does
// not take is named, and the run does not pass for a whole plan.
TEST(PlanRun, DevicesAndFunctionsPastTheTableAreNamed) {
    BYTES items;
    for (int d = 0; d < 20; d++) {
        BYTES dev = ldid("TST0150");
        if (d == 1) {
            for (int f = 0; f < 20; f++) dev = cat({dev, start_dep(0), fixed_io((unsigned short)(0x300 + 8 * f), 8)});
            dev = cat({dev, end_dep()});
        }
        items.insert(items.end(), dev.begin(), dev.end());
    }
    BYTES card = make_card(serial_of("TST0001", 7), items);
    SCRATCH_DIR dir("plan-many");
    std::string path = dir.path + "/many.bin";
    std::ofstream(path, std::ios::binary).write((const char*)card.data(), (std::streamsize)card.size());
    RUN_RESULT r = run_velkor({"--plan", "--card", path});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("velkor: plan: card 1 has 20 logical devices; those past the first 16 are not planned"),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("velkor: plan: card 1 device 1 (TST0150) has 20 dependent functions; those past the "
                         "first 16 are not considered"),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.out.find("\n# 16 of 20 devices placed; 4 past a card's first 16 are not planned\n"), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("# Device 19 is not placed: the planner takes a card's first 16 logical devices\n"),
              std::string::npos);
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

// Each card's comment names its vendor from the PnP ID list; without a name the line is as it
// was, and no other line of the script changes.
TEST(PlanRun, CardCommentsNameTheVendor) {
    PNP_IDS_ENV env(test_pnp_ids());
    RUN_RESULT named = run_velkor({"--sim", "--plan"});
    ASSERT_EQ(named.status, 0) << named.err;
    EXPECT_NE(named.out.find(
                  "\n# Card 1: QXS3201 (Quixotic Systems), serial number 00A51C07, QX SoundWave 32 PnP\n"),
              std::string::npos)
        << named.out;
    EXPECT_NE(
        named.out.find("\n# Card 2: QXM3360 (Quixotic Modems Z\xc3\xbcrich AG), serial number 0003E9A2, QX "
                       "Voice Modem 33.6\n"),
        std::string::npos)
        << named.out;
    RUN_RESULT awe = run_plan_with({"ctl00e4-creative-sb-awe64-ct4520.hex"}, nullptr);
    EXPECT_NE(awe.out.find("\n# Card 1: CTL00e4 (Creative Technology Ltd), serial number 1DCF64A1, "),
              std::string::npos)
        << awe.out;

    env.use((source_dir + "/tests/no-such-pnp.ids").c_str());
    RUN_RESULT plain = run_velkor({"--sim", "--plan"});
    ASSERT_EQ(plain.status, 0) << plain.err;
    EXPECT_NE(plain.out.find("\n# Card 1: QXS3201, serial number 00A51C07, QX SoundWave 32 PnP\n"),
              std::string::npos)
        << plain.out;
    const std::regex card_line("# Card [0-9]+: [^\n]*\n");
    EXPECT_EQ(std::regex_replace(without_date(named.out), card_line, ""),
              std::regex_replace(without_date(plain.out), card_line, ""));

    // The script runs as it did, the name's UTF-8 in its comments.
    SCRATCH_DIR dir("plan-names");
    std::ofstream(dir.path + "/boot.pnp") << named.out;
    RUN_RESULT run = run_velkor({"--sim", "-e", dir.path + "/boot.pnp"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
}

TEST(PlanRun, WithoutPortPermissionNothingIsPlanned) {
    RUN_RESULT r = run_velkor({"--plan"});
    if (r.status == 0) GTEST_SKIP() << "this machine grants port access";
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("velkor: plan: no permission for the PnP ports"), std::string::npos) << r.err;
}

}  // namespace
