// The planner behind --plan: the choice as a 0-1 integer program, the script that applies the
// plan, and the --plan run.
#include "app/plan.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <cstdlib>
#include <csignal>
#include <cstring>
#include <ctime>
#include <vector>

#include "app/application.h"
#include "app/bus_cards.h"
#include "app/device_config.h"
#include "app/host_checks.h"
#include "app/plan_solver.h"
#include "app/save_cards.h"
#include "pnp/host_resources.h"
#include "pnp/io_decode.h"
#include "pnp/isolation.h"
#include "pnp/pnp_ids.h"
#include "pnp/resources.h"
#include "pnp/state.h"
#include "shell/signals.h"
#include "shell/version.h"

namespace {

// ---- The devices, their descriptors and the values each may take ----

enum {
    VALUES_MAX = 1024,       // values of one descriptor kept at the most
    COLUMNS_MAX = 40000,     // values of all descriptors together
    TERMS_MAX = 2000000,     // terms of the program's rows
    SCAN_MAX = 1L << 20,     // places of one range looked at, at the most
    LOWERING_BUDGET = 20000000,  // values tried while the plan's values are lowered
    PRIORITY_WORK = 50000,       // subproblems the search for the best priorities may make, times
                                 // the program's columns: a bound on work, not on time
    PRIORITY_NODES = 8,          // and at least this many
    MEM24_TOP = 0xFFFF00ul,  // a 24-bit range ends below: its upper limit fits address bits 23..8
    MEM24_GRAIN = 0x100,     // a 24-bit base is written as address bits 23..8
};

// A distinct descriptor of a device: the same descriptor in several configurations (a fixed
// one, or equal ones in several functions) is one, and takes its values once.
struct DESC {
    short kind;  // PLAN_KIND
    unsigned long min, max, align, len;  // ranges
    unsigned mask;                       // IRQ levels, DMA channels
    unsigned char info;                  // the information (DMA: flags) byte
    short ten_bit;                       // I/O that decodes 10 address bits
    short nothing;                       // takes nothing
    std::vector<unsigned long> values;   // the values it may take, lowest first
    short truncated;                     // more values exist than were kept
    int col;                             // the column of values[0]; -1: none
};

struct CONFIG {
    short f;
    short rank;        // priority rank: good (and fixed) 0, acceptable 1, sub-optimal 2, other 3
    short over_kind;   // a kind whose descriptors outnumber the registers; -1: none
    short feasible;    // registers enough, and each descriptor has values enough
    std::vector<short> slots[PLAN_KINDS];  // the DESC of register set k of each kind
    int col;           // its column; -1: never chosen
};

struct DEV {
    short card, number;
    const RES_DEVICE* res;
    std::vector<DESC> descs;
    std::vector<CONFIG> configs;
};

short priority_rank(short priority) {
    if (priority == RES_FIXED || priority == RES_GOOD) return 0;
    if (priority == RES_ACCEPTABLE || priority == RES_SUBOPTIMAL) return priority;
    return 3;
}

short set_priority(const RES_DEVICE* dev, short f) {
    return dev->nfunctions > 0 ? dev->functions[f].priority : (short)RES_FIXED;
}

short register_count(short kind) {
    static const short counts[PLAN_KINDS] = {PNP_IO_DESCS, PNP_IRQ_DESCS, PNP_DMA_DESCS, PNP_MEM_DESCS,
                                             PNP_MEM32_DESCS};
    return counts[kind];
}

short res_kind_of(short kind) {
    static const short kinds[PLAN_KINDS] = {RES_KIND_IO, RES_KIND_IRQ, RES_KIND_DMA, RES_KIND_MEM,
                                            RES_KIND_MEM32};
    return kinds[kind];
}

// Descriptor k of kind in configuration f as a DESC (its values not yet found).
DESC desc_of(const RES_DEVICE* dev, short f, short kind, short k) {
    DESC d = {};
    d.kind = kind;
    d.col = -1;
    switch (kind) {
    case PLAN_IO: {
        const RES_IO* io = res_io_at(dev, f, k);
        d.min = io->min, d.max = io->max, d.align = io->align, d.len = io->len, d.info = io->info;
        d.ten_bit = io->fixed || !(io->info & RES_IO_16BIT_DECODE);
        d.nothing = d.len == 0;
        break;
    }
    case PLAN_IRQ: {
        const RES_IRQ* irq = res_irq_at(dev, f, k);
        d.mask = irq->mask;
        d.info = res_irq_types(irq);
        d.nothing = d.mask == 0;
        break;
    }
    case PLAN_DMA: {
        const RES_DMA* dma = res_dma_at(dev, f, k);
        d.mask = dma->mask, d.info = dma->flags;
        d.nothing = d.mask == 0;
        break;
    }
    default: {
        const RES_MEM* m = res_mem_at(dev, kind == PLAN_MEM32 ? 32 : 24, f, k);
        d.min = m->min, d.max = m->max, d.align = m->align, d.len = m->len, d.info = m->info;
        d.nothing = d.len == 0;
        break;
    }
    }
    return d;
}

// How many register sets of configuration c take DESC j.
size_t uses_of(const CONFIG& c, size_t j) {
    size_t uses = 0;
    for (short kind = 0; kind < PLAN_KINDS; kind++)
        uses += (size_t)std::count(c.slots[kind].begin(), c.slots[kind].end(), (short)j);
    return uses;
}

short same_desc(const DESC& a, const DESC& b) {
    return a.kind == b.kind && a.min == b.min && a.max == b.max && a.align == b.align && a.len == b.len &&
           a.mask == b.mask && a.info == b.info && a.ten_bit == b.ten_bit;
}

// The device's configurations and distinct descriptors.
void make_dev(DEV* v, const RES_DEVICE* dev, short card, short number) {
    v->card = card;
    v->number = number;
    v->res = dev;
    for (short f = 0; f < res_choices(dev); f++) {
        CONFIG c;
        c.f = f;
        c.rank = priority_rank(set_priority(dev, f));
        c.over_kind = -1;
        c.feasible = 1;
        c.col = -1;
        for (short kind = 0; kind < PLAN_KINDS; kind++) {
            short n = res_count(dev, f, res_kind_of(kind));
            if (n > register_count(kind)) {
                if (c.over_kind < 0) c.over_kind = kind;
                c.feasible = 0;
                continue;
            }
            for (short k = 0; k < n; k++) {
                DESC d = desc_of(dev, f, kind, k);
                size_t at = 0;
                while (at < v->descs.size() && !same_desc(v->descs[at], d)) at++;
                if (at == v->descs.size()) v->descs.push_back(d);
                c.slots[kind].push_back((short)at);
            }
        }
        v->configs.push_back(c);
    }
}

// ---- Which values collide ----

// The ports or addresses a range at base takes, as the collision checks see it.
struct SPAN {
    short space;  // 0 I/O, 1 memory (24-bit and 32-bit together)
    unsigned long base, len;
    short ten_bit;
};

short space_of(short kind) { return kind == PLAN_IO ? 0 : 1; }

// Whether two ranges of one space share a port or an address.
short spans_meet(const SPAN& a, const SPAN& b) {
    if (a.space != b.space || !a.len || !b.len) return 0;
    if (!a.ten_bit && !b.ten_bit) return a.base <= b.base + b.len - 1 && b.base <= a.base + a.len - 1;
    if (a.ten_bit && b.ten_bit) {
        unsigned long step = PNP_IO_ALIAS_STEP - 1;
        return ((b.base - a.base) & step) < a.len || ((a.base - b.base) & step) < b.len;
    }
    const SPAN& t = a.ten_bit ? a : b;  // 10-bit
    const SPAN& s = a.ten_bit ? b : a;  // 16-bit: the first port of it the 10-bit one answers at
    unsigned long d = (s.base - t.base) & (PNP_IO_ALIAS_STEP - 1);
    if (d < t.len) return 1;
    return s.base + (PNP_IO_ALIAS_STEP - d) <= s.base + s.len - 1;
}

// Whether the host holds a range at base (and, for 10-bit decoding, its alias below 0x400).
short host_holds(const char* root, short kind, unsigned long base, unsigned long len, short ten_bit,
                 unsigned long* past) {
    unsigned long end = base + len - 1;
    if (host_range_held(root, kind == PLAN_IO ? HOST_IO : HOST_MEM, base, end, past)) return 1;
    if (!ten_bit) return 0;
    unsigned long lo[2], hi[2], ignored;
    short n = io_low_alias(base, len, lo, hi);
    for (short i = 0; i < n; i++)
        if (host_range_held(root, HOST_IO, lo[i], hi[i], &ignored)) return 1;
    return 0;
}

// ---- The search ----

struct SEARCH {
    const PLAN_SETUP* setup;
    std::vector<DEV> devs;
    unsigned short host_irqs, host_dmas;
    short exact;  // every descriptor kept every value that could matter
};

// At most how many places of x a value of o can take away from it.
unsigned long blocks(const DESC& o, const DESC& x, unsigned long places) {
    if (o.nothing || x.nothing || space_of(o.kind) != space_of(x.kind)) return 0;
    if ((o.ten_bit && o.len >= PNP_IO_ALIAS_STEP) || (x.ten_bit && x.len >= PNP_IO_ALIAS_STEP) || x.align == 0) return places;
    unsigned long window = (o.len + x.len - 1) / x.align + 1;
    if (o.ten_bit || x.ten_bit) window *= (x.max - x.min) / PNP_IO_ALIAS_STEP + 2;
    return window < places ? window : places;
}

// How many values of x make sure that, whatever the other devices take, one is left: one more
// than all of them together can take away (each device in its most demanding configuration).
unsigned long values_needed(const SEARCH& s, const DESC& x, unsigned long places) {
    unsigned long need = 1;
    for (const DEV& v : s.devs) {
        unsigned long most = 0;
        for (const CONFIG& c : v.configs) {
            unsigned long sum = 0;
            for (short kind = 0; kind < PLAN_KINDS; kind++)
                for (short j : c.slots[kind]) sum += blocks(v.descs[j], x, places);
            if (sum > most) most = sum;
        }
        need += most;
        if (need > places) return places;
    }
    return need;
}

// The places of a range descriptor, before any check.
unsigned long range_places(const DESC& d) {
    if (d.min > d.max) return 0;
    if (d.align == 0) return 1;
    return (d.max - d.min) / d.align + 1;
}

// The values of a range descriptor that fit their registers and keep off the PnP ports and the
// host, lowest first, at most keep of them. When keep is fewer than enough (short_of_need), the
// places kept are spread over the range, none overlapping another, and truncated says that more
// were left.
void range_values(const SEARCH& s, DESC* d, unsigned long keep, short short_of_need) {
    unsigned long places = range_places(*d), top = d->kind == PLAN_IO ? 0xFFFFul
                                                   : d->kind == PLAN_MEM ? MEM24_TOP - 1
                                                                         : 0xFFFFFFFFul;
    // The places a register can take: a 24-bit base is a multiple of 256, which with an
    // alignment of less is every stride-th place from the first such one.
    unsigned long first = 0, stride = 1;
    if (d->kind == PLAN_MEM && d->align % MEM24_GRAIN) {
        unsigned long step = d->align % MEM24_GRAIN, g = MEM24_GRAIN;
        for (unsigned long a = step; a;) {  // gcd(step, 256)
            unsigned long r = g % a;
            g = a;
            a = r;
        }
        stride = MEM24_GRAIN / g;
        while (first < stride && (d->min + first * d->align) % MEM24_GRAIN) first++;
        if (first == stride) return;  // no place is a multiple of 256
    } else if (d->kind == PLAN_MEM && d->min % MEM24_GRAIN) {
        return;
    }
    if (d->len - 1 > top) return;
    if (short_of_need && d->align) {
        // Fewer than are needed: places spread over the range, none overlapping another.
        unsigned long apart = (d->len + d->align - 1) / d->align, usable = (places - first) / stride + 1;
        unsigned long times = (apart + stride - 1) / stride;
        if (keep && usable / keep > times) times = usable / keep;
        stride *= times;
    }
    long scanned = 0;
    for (unsigned long i = first; i < places; i += stride) {
        if (++scanned > SCAN_MAX) {
            d->truncated = 1;
            return;
        }
        unsigned long base = d->min + (d->align ? i * d->align : 0);
        if (base > top - (d->len - 1)) return;  // and every place after it
        if (base == 0) continue;
        if (d->kind == PLAN_IO && io_range_pnp_port(base, d->len, d->ten_bit, s.setup->read_port)) continue;
        unsigned long past = 0;
        if (s.setup->root && host_holds(s.setup->root, d->kind, base, d->len, d->ten_bit, &past)) {
            // every place up to the end of what the host holds collides with it too: on to the
            // last of them that the stride reaches
            if (d->align && past > base) {
                unsigned long skip = (past - base) / d->align;
                i += skip - skip % stride;
            }
            continue;
        }
        if (d->values.size() >= keep) {
            d->truncated = short_of_need;
            return;
        }
        d->values.push_back(base);
    }
}

void level_values(const SEARCH& s, DESC* d) {
    short irq = d->kind == PLAN_IRQ;
    unsigned top = irq ? PNP_IRQ_LEVELS : PNP_DMA_CHANNELS;
    unsigned taken = irq ? (PLAN_RESERVED_IRQS | s.host_irqs) : (PLAN_RESERVED_DMAS | s.host_dmas);
    for (unsigned l = 0; l < top; l++)
        if ((d->mask >> l & 1) && !(taken >> l & 1)) d->values.push_back(l);
}

// Every descriptor's values, at most cap of a range's. A range that would need more keeps cap
// places that do not overlap each other (every len-th), and the plan is no longer proven the
// best. Returns how many values there are in all.
unsigned long find_values(SEARCH* s, unsigned long cap) {
    unsigned long total = 0;
    s->exact = 1;
    for (DEV& v : s->devs)
        for (DESC& d : v.descs) {
            d.values.clear();
            d.truncated = 0;
            if (d.nothing) continue;
            if (d.kind == PLAN_IRQ || d.kind == PLAN_DMA) {
                level_values(*s, &d);
            } else {
                unsigned long need = values_needed(*s, d, range_places(d));
                range_values(*s, &d, need < cap ? need : cap, need > cap);
            }
            if (d.truncated) s->exact = 0;
            total += d.values.size();
        }
    for (DEV& v : s->devs)
        for (CONFIG& c : v.configs) {
            c.feasible = c.over_kind < 0;
            for (size_t j = 0; j < v.descs.size() && c.feasible; j++) {
                size_t uses = uses_of(c, j);
                if (uses && !v.descs[j].nothing && v.descs[j].values.size() < uses) c.feasible = 0;
            }
        }
    return total;
}

// ---- The program ----

struct MODEL {
    std::vector<int> first, col;
    std::vector<double> coef, rhs;
    std::vector<short> sense;
    int ncols = 0;
    std::vector<double> count, priority;  // the objectives, maximized in turn
};

void add_row(MODEL* m, const std::vector<int>& cols, const std::vector<double>& coefs, short sense,
             double rhs) {
    if (m->first.empty()) m->first.push_back(0);
    m->col.insert(m->col.end(), cols.begin(), cols.end());
    m->coef.insert(m->coef.end(), coefs.begin(), coefs.end());
    m->first.push_back((int)m->col.size());
    m->sense.push_back(sense);
    m->rhs.push_back(rhs);
}

// One range value's footprint in the sweep: lo..hi of a space, and whether it is a 16-bit range
// (or memory) rather than a 10-bit alias.
struct PIECE {
    unsigned long lo, hi;
    int col;
    short whole;
};

// No two chosen ranges share a port or an address: at the first port of every piece, at most one
// of the values covering it is chosen. Above 0x3FF only where a 16-bit range lies: there the 10-bit
// aliases repeat what was said below 0x400. Returns 0 when the rows pass TERMS_MAX terms.
short overlap_rows(MODEL* m, std::vector<PIECE>& pieces, short io) {
    std::sort(pieces.begin(), pieces.end(),
              [](const PIECE& a, const PIECE& b) { return a.lo < b.lo || (a.lo == b.lo && a.col < b.col); });
    std::vector<PIECE> active;  // a heap by the end
    auto later = [](const PIECE& a, const PIECE& b) { return a.hi > b.hi; };
    std::vector<int> stamp((size_t)m->ncols, -1), cols, last;
    long wholes = 0;
    size_t i = 0;
    int point = 0;
    while (i < pieces.size()) {
        unsigned long at = pieces[i].lo;
        for (; i < pieces.size() && pieces[i].lo == at; i++) {
            active.push_back(pieces[i]);
            std::push_heap(active.begin(), active.end(), later);
            wholes += pieces[i].whole;
        }
        while (!active.empty() && active.front().hi < at) {
            wholes -= active.front().whole;
            std::pop_heap(active.begin(), active.end(), later);
            active.pop_back();
        }
        if (io && at >= PNP_IO_ALIAS_STEP && wholes == 0) continue;
        cols.clear();
        for (const PIECE& p : active)
            if (stamp[(size_t)p.col] != point) {
                stamp[(size_t)p.col] = point;
                cols.push_back(p.col);
            }
        point++;
        if (cols.size() < 2) continue;
        std::sort(cols.begin(), cols.end());
        if (cols == last) continue;
        last = cols;
        add_row(m, cols, std::vector<double>(cols.size(), 1.0), ZO_LE, 1);
        if (m->col.size() > TERMS_MAX) return 0;
    }
    return 1;
}

// Builds the program of s into m (which is cleared first). With relaxed, the ranges are left out:
// every range is taken to find a place, which no plan can do better than, so the most devices
// that program places bounds the true count. Returns 0 when it would hold more than TERMS_MAX
// terms (m is then incomplete), else 1.
short build_model(SEARCH* s, MODEL* m, short relaxed) {
    *m = MODEL();
    for (DEV& v : s->devs) {
        for (CONFIG& c : v.configs) c.col = -1;
        for (DESC& d : v.descs) d.col = -1;
    }
    // The columns: a configuration's, then its descriptors' values.
    for (DEV& v : s->devs) {
        for (CONFIG& c : v.configs)
            if (c.feasible) c.col = m->ncols++;
        for (size_t j = 0; j < v.descs.size(); j++) {
            DESC& d = v.descs[j];
            short used = 0;
            for (const CONFIG& c : v.configs) used |= c.feasible && uses_of(c, j) > 0;
            if (!used || d.nothing || d.values.empty()) continue;
            if (relaxed && d.kind != PLAN_IRQ && d.kind != PLAN_DMA) continue;
            d.col = m->ncols;
            m->ncols += (int)d.values.size();
        }
    }
    m->count.assign((size_t)m->ncols, 0);
    m->priority.assign((size_t)m->ncols, 0);
    std::vector<int> cols;
    std::vector<double> coefs;
    std::vector<std::vector<int>> irq(PNP_IRQ_LEVELS), dma(PNP_DMA_CHANNELS);
    std::vector<PIECE> io, mem;
    // Where 16-bit ranges may lie above 0x3FF: a 10-bit alias elsewhere up there meets none.
    std::vector<std::pair<unsigned long, unsigned long>> high;
    for (const DEV& v : s->devs)
        for (const DESC& d : v.descs)
            if (d.kind == PLAN_IO && !d.ten_bit && d.col >= 0)
                for (unsigned long val : d.values)
                    if (val + d.len - 1 >= PNP_IO_ALIAS_STEP) high.push_back({val < PNP_IO_ALIAS_STEP ? (unsigned long)PNP_IO_ALIAS_STEP : val, val + d.len - 1});
    std::sort(high.begin(), high.end());
    size_t nhigh = 0;  // merged in place
    for (const auto& h : high)
        if (nhigh && h.first <= high[nhigh - 1].second + 1)
            high[nhigh - 1].second = std::max(high[nhigh - 1].second, h.second);
        else
            high[nhigh++] = h;
    high.resize(nhigh);
    auto meets_high = [&high](unsigned long lo, unsigned long hi) {
        auto it = std::lower_bound(high.begin(), high.end(), std::make_pair(lo, 0ul));
        if (it != high.end() && it->first <= hi) return true;
        return it != high.begin() && std::prev(it)->second >= lo;
    };
    for (DEV& v : s->devs) {
        // at most one configuration
        cols.clear();
        for (const CONFIG& c : v.configs)
            if (c.col >= 0) {
                cols.push_back(c.col);
                m->count[(size_t)c.col] = 1;
                m->priority[(size_t)c.col] = -c.rank;
            }
        if (cols.size() > 1) add_row(m, cols, std::vector<double>(cols.size(), 1.0), ZO_LE, 1);
        // as many values of a descriptor as the configuration chosen has of it
        for (size_t j = 0; j < v.descs.size(); j++) {
            const DESC& d = v.descs[j];
            if (d.col < 0) continue;
            cols.clear();
            coefs.clear();
            for (size_t t = 0; t < d.values.size(); t++) {
                int c = d.col + (int)t;
                cols.push_back(c);
                coefs.push_back(1);
                unsigned long val = d.values[t];
                if (d.kind == PLAN_IRQ) irq[val].push_back(c);
                if (d.kind == PLAN_DMA) dma[val].push_back(c);
                if (d.kind == PLAN_IO && d.ten_bit && d.len < PNP_IO_ALIAS_STEP) {
                    long low = (long)(val & (PNP_IO_ALIAS_STEP - 1));
                    for (long a = low - (long)PNP_IO_ALIAS_STEP; a <= 0xFFFF; a += PNP_IO_ALIAS_STEP) {
                        long lo = a < 0 ? 0 : a, hi = a + (long)d.len - 1;
                        if (hi < 0) continue;
                        if (hi > 0xFFFF) hi = 0xFFFF;
                        if (hi >= (long)PNP_IO_ALIAS_STEP && !meets_high((unsigned long)lo, (unsigned long)hi) &&
                            lo >= (long)PNP_IO_ALIAS_STEP)
                            continue;
                        io.push_back(PIECE{(unsigned long)lo, (unsigned long)hi, c, 0});
                    }
                } else if (d.kind == PLAN_IO && d.ten_bit) {
                    io.push_back(PIECE{0, 0xFFFF, c, 0});
                } else if (d.kind == PLAN_IO) {
                    io.push_back(PIECE{val, val + d.len - 1, c, 1});
                } else if (d.kind != PLAN_IRQ && d.kind != PLAN_DMA) {
                    mem.push_back(PIECE{val, val + d.len - 1, c, 1});
                }
            }
            for (const CONFIG& c : v.configs) {
                if (c.col < 0) continue;
                size_t uses = uses_of(c, j);
                if (!uses) continue;
                cols.push_back(c.col);
                coefs.push_back(-(double)uses);
            }
            add_row(m, cols, coefs, ZO_EQ, 0);
        }
    }
    for (std::vector<std::vector<int>>* users : {&irq, &dma})
        for (const std::vector<int>& u : *users)
            if (u.size() > 1) add_row(m, u, std::vector<double>(u.size(), 1.0), ZO_LE, 1);
    if (m->col.size() > TERMS_MAX || !overlap_rows(m, io, 1) || !overlap_rows(m, mem, 0)) return 0;
    if (m->first.empty()) m->first.push_back(0);
    return 1;
}

// ---- A first plan: each device in turn takes the lowest values still free ----

struct TAKEN {
    std::vector<SPAN> spans;
    unsigned irqs = 0, dmas = 0;
};

SPAN span_of(const DESC& d, unsigned long value) {
    return SPAN{space_of(d.kind), value, d.len, d.ten_bit};
}

short is_free(const TAKEN& t, const DESC& d, unsigned long value) {
    if (d.kind == PLAN_IRQ) return !(t.irqs >> value & 1);
    if (d.kind == PLAN_DMA) return !(t.dmas >> value & 1);
    SPAN sp = span_of(d, value);
    for (const SPAN& o : t.spans)
        if (spans_meet(o, sp)) return 0;
    return 1;
}

void take(TAKEN* t, const DESC& d, unsigned long value) {
    if (d.kind == PLAN_IRQ)
        t->irqs |= 1u << value;
    else if (d.kind == PLAN_DMA)
        t->dmas |= 1u << value;
    else
        t->spans.push_back(span_of(d, value));
}

// The order descriptors are tried and explained in: DMA, IRQ, I/O, memory, 32-bit memory.
const short try_order[PLAN_KINDS] = {PLAN_DMA, PLAN_IRQ, PLAN_IO, PLAN_MEM, PLAN_MEM32};

// Configuration c of v beside what t holds: the lowest free value of each descriptor in turn
// (added to t, and to x when given). Returns -1 when every one had one; else the kind of the
// first that had none, with its DESC in *failed (t and x then as they were).
short fill(const DEV& v, const CONFIG& c, TAKEN* t, unsigned char* x, short* failed) {
    TAKEN before = *t;
    std::vector<int> chosen;
    for (short kind : try_order)
        for (short j : c.slots[kind]) {
            const DESC& d = v.descs[(size_t)j];
            if (d.nothing) continue;
            size_t at = 0;
            while (at < d.values.size() && !is_free(*t, d, d.values[at])) at++;
            if (at == d.values.size()) {
                *t = before;
                *failed = j;
                return kind;
            }
            take(t, d, d.values[at]);
            if (d.col >= 0) chosen.push_back(d.col + (int)at);
        }
    if (x) {
        x[c.col] = 1;
        for (int col : chosen) x[col] = 1;
    }
    return -1;
}

// The configurations of v, best priority first, resource data order among equals.
std::vector<short> by_priority(const DEV& v) {
    std::vector<short> order;
    for (short f = 0; f < (short)v.configs.size(); f++) order.push_back(f);
    std::stable_sort(order.begin(), order.end(),
                     [&v](short a, short b) { return v.configs[a].rank < v.configs[b].rank; });
    return order;
}

void first_fit(const SEARCH& s, unsigned char* x) {
    TAKEN t;
    for (const DEV& v : s.devs)
        for (short f : by_priority(v)) {
            short failed;
            if (v.configs[f].col >= 0 && fill(v, v.configs[f], &t, x, &failed) < 0) break;
        }
}

// ---- The plan out of a solution ----

void resource_of(const DESC& d, short kind, short k, short has, unsigned long value, PLAN_RESOURCE* r) {
    memset(r, 0, sizeof *r);
    r->kind = kind;
    r->k = k;
    if (d.nothing || !has) {
        r->flags = PLAN_NOTHING;
        r->start = r->end = kind == PLAN_DMA ? PNP_DMA_NONE : 0;
        return;
    }
    r->start = value;
    r->end = kind == PLAN_IRQ || kind == PLAN_DMA ? value : value + d.len - 1;
    if (kind == PLAN_IO && d.ten_bit) r->flags |= PLAN_DECODES_10;
    if (kind == PLAN_IRQ) r->info = res_irq_type_first(d.info)->type;
    if (kind == PLAN_MEM || kind == PLAN_MEM32) {
        r->info = d.info;
        if (d.info & RES_MEM_UPPER_LIMIT) r->flags |= PLAN_UPPER_LIMIT;
    }
}

// A solution as a choice per device: its configuration (-1: not placed) and, for each register
// set, the place of its value among its descriptor's values (-1: it takes nothing).
struct CHOICE {
    short config;
    std::vector<int> value[PLAN_KINDS];
};

std::vector<CHOICE> choices_of(const SEARCH& s, const unsigned char* x) {
    std::vector<CHOICE> out(s.devs.size());
    for (size_t e = 0; e < s.devs.size(); e++) {
        const DEV& v = s.devs[e];
        CHOICE& ch = out[e];
        ch.config = -1;
        for (short f = 0; f < (short)v.configs.size() && ch.config < 0; f++)
            if (v.configs[f].col >= 0 && x[v.configs[f].col]) ch.config = f;
        if (ch.config < 0) continue;
        const CONFIG& c = v.configs[ch.config];
        // a descriptor's values go to its register sets lowest first
        std::vector<size_t> next(v.descs.size(), 0);
        for (short kind = 0; kind < PLAN_KINDS; kind++)
            for (short j : c.slots[kind]) {
                const DESC& d = v.descs[(size_t)j];
                size_t& t = next[(size_t)j];
                while (d.col >= 0 && t < d.values.size() && !x[d.col + (int)t]) t++;
                short has = !d.nothing && d.col >= 0 && t < d.values.size();
                ch.value[kind].push_back(has ? (int)t : -1);
                if (has) t++;
            }
    }
    return out;
}

// A register set of a device in a solution.
struct SLOT {
    size_t e;
    short kind;
    size_t k;
};

short before(const SLOT& a, const SLOT& b) {
    if (a.e != b.e) return a.e < b.e;
    if (a.kind != b.kind) return a.kind < b.kind;
    return a.k < b.k;
}

const DESC& desc_at(const SEARCH& s, const std::vector<CHOICE>& ch, const SLOT& at) {
    const DEV& v = s.devs[at.e];
    return v.descs[(size_t)v.configs[(size_t)ch[at.e].config].slots[at.kind][at.k]];
}

// The other register sets whose values collide with value t at slot at (all of them, or only
// whether there is one when list is null). *checks counts the comparisons.
short collisions(const SEARCH& s, const std::vector<CHOICE>& ch, const SLOT& at, int t, std::vector<SLOT>* list,
                 long* checks) {
    const DESC& d = desc_at(s, ch, at);
    unsigned long value = d.values[(size_t)t];
    SPAN mine = span_of(d, value);
    short levels = at.kind == PLAN_IRQ || at.kind == PLAN_DMA, found = 0;
    for (size_t o = 0; o < ch.size(); o++) {
        if (ch[o].config < 0) continue;
        for (short kind = 0; kind < PLAN_KINDS; kind++) {
            if (levels ? kind != at.kind : (kind == PLAN_IRQ || kind == PLAN_DMA)) continue;
            for (size_t k = 0; k < ch[o].value[kind].size(); k++) {
                int to = ch[o].value[kind][k];
                if (to < 0 || (o == at.e && kind == at.kind && k == at.k)) continue;
                SLOT other = {o, kind, k};
                const DESC& od = desc_at(s, ch, other);
                unsigned long v = od.values[(size_t)to];
                (*checks)++;
                if (levels ? v == value : spans_meet(mine, span_of(od, v))) {
                    found = 1;
                    if (!list) return 1;
                    list->push_back(other);
                }
            }
        }
    }
    return found;
}

// The lowest values: register sets in device order each take a lower value of their
// descriptor when nothing collides with it but values of register sets after them that can
// all move to other free values. Each move lowers the first value it changes, so the passes end;
// budget bounds the comparisons all the same.
void lower_values(const SEARCH& s, std::vector<CHOICE>* ch, long budget) {
    long checks = 0;
    std::vector<SLOT> in_way;
    for (short changed = 1; changed && checks < budget;) {
        changed = 0;
        for (size_t e = 0; e < ch->size() && checks < budget; e++) {
            if ((*ch)[e].config < 0) continue;
            for (short kind = 0; kind < PLAN_KINDS; kind++)
                for (size_t k = 0; k < (*ch)[e].value[kind].size() && checks < budget; k++) {
                    SLOT at = {e, kind, k};
                    int now = (*ch)[e].value[kind][k];
                    for (int t = 0; t < now && checks < budget; t++) {
                        in_way.clear();
                        collisions(s, *ch, at, t, &in_way, &checks);
                        short movable = 1;
                        for (const SLOT& w : in_way) movable &= before(at, w);
                        if (!movable) continue;
                        std::vector<CHOICE> saved = *ch;
                        (*ch)[e].value[kind][k] = t;
                        for (const SLOT& w : in_way) {
                            int& wv = (*ch)[w.e].value[w.kind][w.k];
                            int size = (int)desc_at(s, *ch, w).values.size(), u = 0;
                            while (u < size && collisions(s, *ch, w, u, nullptr, &checks)) u++;
                            if (u == size) {
                                movable = 0;
                                break;
                            }
                            wv = u;
                        }
                        if (!movable) {
                            *ch = saved;
                            continue;
                        }
                        changed = 1;
                        break;
                    }
                }
        }
    }
}

void fill_device(const DEV& v, const CHOICE& ch, PLAN_DEVICE* p) {
    if (ch.config < 0) return;
    const CONFIG& c = v.configs[ch.config];
    p->placed = 1;
    p->function = c.f;
    p->priority = set_priority(v.res, c.f);
    for (short kind = 0; kind < PLAN_KINDS; kind++)
        for (short k = 0; k < (short)c.slots[kind].size() && p->nres < PLAN_MAX_RESOURCES; k++) {
            const DESC& d = v.descs[(size_t)c.slots[kind][(size_t)k]];
            int t = ch.value[kind][(size_t)k];
            resource_of(d, kind, k, t >= 0, t >= 0 ? d.values[(size_t)t] : 0, &p->res[p->nres++]);
            if (!(p->res[p->nres - 1].flags & PLAN_NOTHING)) p->active = 1;
        }
    if (!p->active) snprintf(p->why, sizeof p->why, "its configuration decodes nothing: left inactive");
}

// ---- Why a device is not placed ----

const char* dma_width(unsigned char flags) {
    switch (flags & RES_DMA_TRANSFER) {
    case RES_DMA_8BIT: return "8-bit ";
    case RES_DMA_16BIT: return "16-bit ";
    default: return "";
    }
}

void list_levels(char* text, size_t size, unsigned mask, short top) {
    size_t n = 0;
    text[0] = 0;
    for (short l = 0; l < top && n + 4 < size; l++)
        if (mask & 1u << l) n += (size_t)snprintf(text + n, size - n, n ? " %d" : "%d", l);
}

const char* const kind_words[PLAN_KINDS] = {"I/O ranges", "IRQs", "DMA channels", "memory ranges",
                                            "32-bit memory ranges"};

// The reason v cannot be placed beside what t holds: the first descriptor of its best
// configuration that has no free value; when every configuration fails at that kind of
// descriptor, the values all of them offer there.
void explain(const DEV& v, const TAKEN& t, short stopped, char* why, size_t size) {
    short first = -2, same = 1, firstj = -1;
    unsigned mask = 0;
    const CONFIG* over = nullptr;
    for (short f : by_priority(v)) {
        const CONFIG& c = v.configs[f];
        if (c.over_kind >= 0) {
            if (!over) over = &c;
            continue;
        }
        TAKEN scratch = t;
        short j = -1;
        short kind = fill(v, c, &scratch, nullptr, &j);
        if (kind < 0) {
            first = -1;
            break;
        }
        if (first == -2) first = kind, firstj = j;
        if (kind != first) same = 0;
        if (kind == PLAN_IRQ || kind == PLAN_DMA) mask |= v.descs[(size_t)j].mask;
    }
    char list[64];
    if (first == -2 && over) {
        short kind = over->over_kind;
        snprintf(why, size, "it asks for %d %s; the device has registers for %d",
                 res_count(v.res, over->f, res_kind_of(kind)), kind_words[kind], register_count(kind));
        return;
    }
    if (first == -2) {
        snprintf(why, size, "it has no configuration");
        return;
    }
    if (first == -1) {
        snprintf(why, size, stopped ? "the search stopped before it was placed"
                                    : "its resources do not fit beside the devices placed");
        return;
    }
    const DESC& d = v.descs[(size_t)firstj];
    switch (first) {
    case PLAN_DMA:
        list_levels(list, sizeof list, same ? mask : d.mask, PNP_DMA_CHANNELS);
        snprintf(why, size, "no %sDMA channel is left (%s %s taken)", dma_width(d.info), list,
                 strchr(list, ' ') ? "are" : "is");
        break;
    case PLAN_IRQ:
        list_levels(list, sizeof list, same ? mask : d.mask, PNP_IRQ_LEVELS);
        snprintf(why, size, "no IRQ is left (%s %s taken)", list, strchr(list, ' ') ? "are" : "is");
        break;
    case PLAN_IO:
        if (d.min == d.max)
            snprintf(why, size, "no range of %lu I/O ports is left at 0x%04lX", d.len, d.min);
        else
            snprintf(why, size, "no range of %lu I/O ports is left at 0x%04lX-0x%04lX", d.len, d.min, d.max);
        break;
    default:
        snprintf(why, size, "no memory range of 0x%lX bytes is left at 0x%06lX-0x%06lX", d.len, d.min, d.max);
        break;
    }
}

// The most the priority objective (minus the ranks' sum) can be for count devices placed: minus
// the sum of the count least of the devices' best ranks (info, sorted).
double least_ranks(double count, const void* info) {
    const std::vector<short>& ranks = *(const std::vector<short>*)info;
    double sum = 0;
    for (size_t i = 0; i < ranks.size() && (double)i < count; i++) sum += ranks[i];
    return -sum;
}


// The most devices a plan can place when every range is taken to find a place: a bound on the
// count that holds when not every value of a range was tried (HUGE_VAL when it cannot be had).
// It states the program without ranges, which leaves the columns of s to be stated again.
double bound_without_ranges(SEARCH* s, const PLAN_SETUP* setup, long started) {
    MODEL relaxed;
    if (!build_model(s, &relaxed, 1)) return HUGE_VAL;
    std::vector<unsigned char> none((size_t)relaxed.ncols, 0), y((size_t)relaxed.ncols, 0);
    std::vector<double> nothing((size_t)relaxed.ncols, 0);
    ZO_PROGRAM p = {relaxed.ncols,       (int)relaxed.sense.size(), relaxed.first.data(), relaxed.col.data(),
                    relaxed.coef.data(), relaxed.sense.data(),      relaxed.rhs.data()};
    ZO_GOAL goal = {relaxed.count.data(), nothing.data(), nullptr, nullptr, HUGE_VAL};
    ZO_RESULT r;
    long left = setup->time_limit_ms - (zo_clock_ms() - started);
    if (zo_solve(&p, &goal, none.data(), left < 1 ? 1 : left, PRIORITY_NODES, sig_pending, y.data(), &r) == ZO_FAILED)
        return HUGE_VAL;
    return r.bound;
}

}  // namespace

short plan_search(const RES_CARD* const* cards, short ncards, const PLAN_SETUP* setup, PLAN* out) {
    long started = zo_clock_ms();
    memset(out, 0, sizeof *out);
    SEARCH s;
    s.setup = setup;
    s.host_irqs = host_irqs_held(setup->root);
    s.host_dmas = host_dmas_held(setup->root);
    if (ncards > PLAN_MAX_CARDS) ncards = PLAN_MAX_CARDS;
    for (short c = 0; c < ncards; c++)
        for (short k = 0; k < cards[c]->ndevices && k < RES_MAX_DEVICES; k++) {
            s.devs.emplace_back();
            make_dev(&s.devs.back(), &cards[c]->devices[k], c, k);
        }
    // The values, and the program: with fewer values of the widest ranges while it is too big.
    MODEL m;
    short built = 0;
    double relaxed_bound = HUGE_VAL;
    for (unsigned long cap = VALUES_MAX; !built; cap /= 2) {
        unsigned long total = find_values(&s, cap);
        if (cap > 8 && total > COLUMNS_MAX) continue;
        if (!s.exact && relaxed_bound == HUGE_VAL) relaxed_bound = bound_without_ranges(&s, setup, started);
        built = build_model(&s, &m, 0);
        if (cap <= 8) break;
    }

    std::vector<unsigned char> start((size_t)m.ncols, 0), x((size_t)m.ncols, 0);
    first_fit(s, start.data());
    ZO_PROGRAM program = {m.ncols,    (int)m.sense.size(), m.first.data(), m.col.data(),
                          m.coef.data(), m.sense.data(),   m.rhs.data()};
    // The devices placed first, then the least sum of priority ranks: no less than the ranks of
    // that many devices in their best configurations.
    std::vector<short> best_ranks;
    for (const DEV& v : s.devs) {
        short best = -1;
        for (const CONFIG& c : v.configs)
            if (c.col >= 0 && (best < 0 || c.rank < best)) best = c.rank;
        if (best >= 0) best_ranks.push_back(best);
    }
    std::sort(best_ranks.begin(), best_ranks.end());
    ZO_GOAL goal = {m.count.data(), m.priority.data(), least_ranks, &best_ranks, relaxed_bound};
    int priority_nodes = m.ncols > 0 ? PRIORITY_WORK / m.ncols : PRIORITY_NODES;
    if (priority_nodes < PRIORITY_NODES) priority_nodes = PRIORITY_NODES;
    ZO_RESULT result;
    long limit = setup->time_limit_ms - (zo_clock_ms() - started);
    if (limit < 1) limit = 1;
    if (built) {
        zo_solve(&program, &goal, start.data(), limit, priority_nodes, sig_pending, x.data(), &result);
    } else {  // a program too big to state: the first fit, proving nothing
        x = start;
        result = ZO_RESULT{ZO_FAILED, 0, (double)s.devs.size(), 0};
        s.exact = 0;
    }

    std::vector<CHOICE> chosen = choices_of(s, x.data());
    lower_values(s, &chosen, LOWERING_BUDGET);
    out->ndevices = (short)s.devs.size();
    TAKEN held;
    for (short e = 0; e < out->ndevices; e++) {
        const DEV& v = s.devs[(size_t)e];
        PLAN_DEVICE* p = &out->devices[e];
        p->card = v.card;
        p->device = v.number;
        fill_device(v, chosen[(size_t)e], p);
        out->placed += p->placed;
        for (short r = 0; r < p->nres; r++) {
            const PLAN_RESOURCE& res = p->res[r];
            if (res.flags & PLAN_NOTHING) continue;
            if (res.kind == PLAN_IRQ)
                held.irqs |= 1u << res.start;
            else if (res.kind == PLAN_DMA)
                held.dmas |= 1u << res.start;
            else
                held.spans.push_back(SPAN{space_of(res.kind), res.start, res.end - res.start + 1,
                                          (short)((res.flags & PLAN_DECODES_10) != 0)});
        }
    }
    // What was proven: the count is the most when the solver proved it on values that left out
    // nothing that could matter, or when every device is placed.
    short bounded = s.exact && result.status != ZO_FAILED;  // the solver's bound holds
    if (!bounded && relaxed_bound < HUGE_VAL) {  // not every value was tried: the bound without ranges
        result.bound = relaxed_bound;
        bounded = 1;
    } else if (relaxed_bound < result.bound) {
        result.bound = relaxed_bound;
    }
    out->proven = out->placed == out->ndevices || (bounded && result.bound <= out->placed);
    out->stopped = !out->proven && result.status == ZO_STOPPED;
    out->inexact = !out->proven && !s.exact;
    out->most = out->proven ? out->placed : bounded ? (short)result.bound : out->ndevices;
    if (out->most > out->ndevices) out->most = out->ndevices;  // a bound counts configurations too
    if (out->most < out->placed) out->most = out->placed;
    for (short e = 0; e < out->ndevices; e++)
        if (!out->devices[e].placed)
            explain(s.devs[(size_t)e], held, out->stopped && !out->proven, out->devices[e].why,
                    sizeof out->devices[e].why);
    out->elapsed_ms = zo_clock_ms() - started;
    return out->placed == out->ndevices;
}

namespace {

const char* priority_text(short priority) {
    const char* word = res_priority_name(priority);
    return word ? word : "reserved priority";
}

// The width keyword for a memory descriptor's information byte (its width bits), or "".
const char* mem_width(unsigned char info, short bits) {
    switch (info & RES_MEM_WIDTH) {
    case RES_MEM_WIDTH_16:
    case RES_MEM_WIDTH_8_16: return " 16BIT";
    case RES_MEM_WIDTH_32: return bits == 32 ? " 32BIT" : "";
    default: return "";
    }
}

void print_resources(FILE* fp, const PLAN_DEVICE* p) {
    short io = 0;
    for (short r = 0; r < p->nres; r++)
        if (p->res[r].kind == PLAN_IO) {
            fprintf(fp, "%s 0x%lX", io++ ? " ," : "DEVICE SET IOPORT", p->res[r].start);
        }
    if (io) fprintf(fp, "\n");
    for (short r = 0; r < p->nres; r++) {
        const PLAN_RESOURCE& res = p->res[r];
        unsigned long len = res.end - res.start + 1;
        switch (res.kind) {
        case PLAN_IRQ:
            if (res.flags & PLAN_NOTHING)
                fprintf(fp, "DEVICE SET IRQ %d 0\n", res.k);
            else
                fprintf(fp, "DEVICE SET IRQ %d %lu %s\n", res.k, res.start, res_irq_type_of(res.info)->keywords);
            break;
        case PLAN_DMA: fprintf(fp, "DEVICE SET DMA %d %lu\n", res.k, res.start); break;
        case PLAN_MEM: {
            // register values: address bits 23..8; an upper limit is the first address past the range
            unsigned long base = res.start >> 8, limit = 0;
            if (!(res.flags & PLAN_NOTHING)) limit = ((res.flags & PLAN_UPPER_LIMIT) ? res.end + 1 : len) >> 8;
            fprintf(fp, "DEVICE SET MEM %d 0x%lX 0x%lX%s\n", res.k, base, limit, mem_width(res.info, 24));
            break;
        }
        case PLAN_MEM32: {
            // full addresses; an upper limit is the last address of the range
            unsigned long limit = 0;
            if (!(res.flags & PLAN_NOTHING)) limit = (res.flags & PLAN_UPPER_LIMIT) ? res.end : len;
            fprintf(fp, "DEVICE SET MEM32 %d 0x%08lX 0x%08lX%s\n", res.k, res.start, limit,
                    mem_width(res.info, 32));
            break;
        }
        default: break;
        }
    }
}

void print_device(FILE* fp, const PLAN_DEVICE* p, const RES_DEVICE* dev) {
    const char* space = dev->name[0] ? " " : "";
    if (!p->placed) {
        fprintf(fp, "# Device %d: %s%s%s is not placed: %s\n", p->device, dev->idtext, space, dev->name,
                p->why);
        return;
    }
    char how[64];
    if (p->priority == RES_FIXED)
        snprintf(how, sizeof how, "fixed resources");
    else
        snprintf(how, sizeof how, "dependent function %d, %s", p->function, priority_text(p->priority));
    if (!p->active) {
        fprintf(fp, "# Device %d: %s%s%s (%s) is left inactive: %s\n", p->device, dev->idtext, space, dev->name,
                how, "its configuration decodes nothing");
        fprintf(fp, "PNP_DEVICE = %d\nDEVICE BEGIN\nDEVICE SET INACTIVE\nDEVICE END\n", p->device);
        return;
    }
    fprintf(fp, "# Device %d: %s%s%s (%s)\n", p->device, dev->idtext, space, dev->name, how);
    fprintf(fp, "PNP_DEVICE = %d\nDEVICE BEGIN\n", p->device);
    print_resources(fp, p);
    fprintf(fp, "DEVICE SET ACTIVE\nDEVICE END\n");
}

// Why a plan is not proven the best.
const char* unproven_reason(const PLAN* plan) {
    if (plan->stopped) return "the search stopped at its time limit";
    if (plan->inexact) return "a range offers more places than were tried";
    return "the solver could not run";
}

// The devices a card holds beyond what was planned.
short left_out(const RES_CARD* res) { return (short)(res->devices_seen - res->ndevices); }

}  // namespace

short plan_total_devices(const PLAN* plan, const PLAN_CARD_INFO* cards, short ncards) {
    short total = plan->ndevices;
    for (short c = 0; c < ncards; c++) total = (short)(total + left_out(cards[c].res));
    return total;
}

short plan_print(FILE* fp, const PLAN* plan, const PLAN_CARD_INFO* cards, short ncards, const char* when) {
    short total = plan_total_devices(plan, cards, ncards);
    fprintf(fp, "# VELKOR boot script made by velkor --plan on %s (velkor " VELKOR_VERSION ")\n", when);
    if (plan->placed == total)
        fprintf(fp, "# %d of %d devices placed\n", plan->placed, total);
    else if (total > plan->ndevices)
        fprintf(fp, "# %d of %d devices placed; %d past a card's first %d are not planned\n", plan->placed, total,
                total - plan->ndevices, RES_MAX_DEVICES);
    else if (plan->proven)
        fprintf(fp, "# %d of %d devices placed; no plan places more\n", plan->placed, total);
    else
        fprintf(fp, "# %d of %d devices placed; no plan places more than %d (%s)\n", plan->placed, total,
                plan->most + (total - plan->ndevices), unproven_reason(plan));
    fprintf(fp,
            "# Cards are isolated in the order of their serial identifiers, "
            "so the same cards get the same "
            "CSNs.\n");
    fprintf(fp, "ISOLATE\n");
    short e = 0;
    for (short c = 0; c < ncards; c++) {
        const PLAN_CARD_INFO* ci = &cards[c];
        const char* maker = pnp_vendor_name(ci->vendor);
        fprintf(fp, "#\n# Card %d: %s%s%s%s, serial number %08lX%s%s\n", ci->csn, ci->vendor,
                maker ? " (" : "", maker ? maker : "", maker ? ")" : "", serialnum_PNP(ci->serial),
                ci->res->name[0] ? ", " : "", ci->res->name);
        fprintf(fp, "PNP_CSN = 0\nDETECT %d\n", ci->csn);
        for (; e < plan->ndevices && plan->devices[e].card == c; e++) {
            const PLAN_DEVICE* p = &plan->devices[e];
            print_device(fp, p, &ci->res->devices[p->device]);
        }
        for (short k = ci->res->ndevices; k < ci->res->devices_seen; k++)
            fprintf(fp, "# Device %d is not placed: the planner takes a card's first %d logical devices\n", k,
                    RES_MAX_DEVICES);
    }
    return ferror(fp) ? 0 : 1;  // the caller flushes: a lost standard output is said once, there
}

namespace {

// The card's own registers tell whether it decodes an upper limit or a range length.
void upper_from_registers(PLAN* plan, const PLAN_CARD_INFO* info) {
    for (short e = 0; e < plan->ndevices; e++) {
        PLAN_DEVICE* p = &plan->devices[e];
        short idx = findcard_PNP(info[p->card].csn);
        const CARD_TYP* card = idx >= 0 ? usedcard_PNP(idx) : nullptr;
        if (!card || !card->devs || p->device >= card->ndevs) continue;
        const DEVICE_TYP* dev = &card->devs[p->device];
        for (short r = 0; r < p->nres; r++) {
            PLAN_RESOURCE& res = p->res[r];
            unsigned char control = res.kind == PLAN_MEM     ? dev->mem[res.k].control
                                    : res.kind == PLAN_MEM32 ? dev->mem32[res.k].control
                                                             : 0;
            if (res.kind != PLAN_MEM && res.kind != PLAN_MEM32) continue;
            res.flags = (unsigned char)((res.flags & ~PLAN_UPPER_LIMIT) |
                                        ((control & PNP_MEM_UPPER_LIMIT) ? PLAN_UPPER_LIMIT : 0));
        }
    }
}

// What the run says on standard error about the plan.
void say_plan(const PLAN* plan, const PLAN_CARD_INFO* info, short ncards) {
    for (short c = 0; c < ncards; c++) {
        const RES_CARD* res = info[c].res;
        if (left_out(res) > 0)
            fprintf(stderr, "velkor: plan: card %d has %d logical devices; those past the first %d are not planned\n",
                    info[c].csn, res->devices_seen, RES_MAX_DEVICES);
        for (short k = 0; k < res->ndevices; k++)
            if (res->devices[k].functions_seen > RES_MAX_FUNCTIONS)
                fprintf(stderr,
                        "velkor: plan: card %d device %d (%s) has %d dependent functions; those past the first %d "
                        "are not considered\n",
                        info[c].csn, k, res->devices[k].idtext, res->devices[k].functions_seen, RES_MAX_FUNCTIONS);
    }
    if (!plan->proven)
        fprintf(stderr, "velkor: plan: %s: %d devices placed; no plan places more than %d\n", unproven_reason(plan),
                plan->placed, plan->most);
    for (short e = 0; e < plan->ndevices; e++) {
        const PLAN_DEVICE* p = &plan->devices[e];
        if (!p->placed)
            fprintf(stderr, "velkor: plan: card %d device %d (%s) cannot be placed: %s\n", info[p->card].csn,
                    p->device, info[p->card].res->devices[p->device].idtext, p->why);
    }
}

// 1 when SIGINT, SIGTERM or SIGHUP ended the run.
short ended_by_signal() { return sig_pending() && (sig_last == SIGINT || sig_last == SIGTERM || sig_last == SIGHUP); }

}  // namespace

void plan_die_of_signal() {
    if (!ended_by_signal()) return;
    int signo = sig_last;
    fflush(stdout);
    signal(signo, SIG_DFL);
    raise(signo);
}

int run_plan(short json) {
    static PLAN plan;
    const RES_CARD* resp[PLAN_MAX_CARDS];
    PLAN_CARD_INFO info[PLAN_MAX_CARDS];
    BUS_CARD cards[PLAN_MAX_CARDS];
    install_signals();
    const BUS_RUN run = {"plan", "nothing planned", "planned as read"};
    short unloaded = 0;
    short ncards = load_bus_cards(&run, cards, PLAN_MAX_CARDS, &unloaded);
    if (ncards < 0) {  // no script, and with SIGPIPE no more output either
        clean_APP();
        return 1;
    }
    for (short c = 0; c < ncards; c++) {
        resp[c] = cards[c].res;
        info[c] = PLAN_CARD_INFO{cards[c].csn, cards[c].card->vendor, cards[c].card->serial, cards[c].res};
    }
    PLAN_SETUP setup = {host_checks_root(), (unsigned short)PNP_port, PLAN_TIME_LIMIT_MS};
    plan_search(resp, ncards, &setup, &plan);
    if (sig_pending()) {  // no script, and with SIGPIPE no more output either
        clean_APP();
        return 1;
    }
    upper_from_registers(&plan, info);
    say_plan(&plan, info, ncards);
    char when[32];
    time_t now = time(nullptr);
    struct tm tmv;
    localtime_r(&now, &tmv);
    strftime(when, sizeof when, "%Y-%m-%d %H:%M", &tmv);
    short written = json ? plan_print_json(stdout, &plan, info, ncards) : plan_print(stdout, &plan, info, ncards, when);
    clean_APP();
    short all = plan.placed == plan.ndevices && !unloaded;
    for (short c = 0; c < ncards; c++) all = all && left_out(info[c].res) == 0;
    return written && all ? 0 : 1;
}
