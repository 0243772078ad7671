// The planner behind --plan: the search over every device's configurations and
// values, the script that applies the plan, and the --plan run.
#include "app/plan.h"

#include <cstring>
#include <ctime>

#include "app/application.h"
#include "app/device_config.h"
#include "app/host_checks.h"
#include "pnp/host_resources.h"
#include "pnp/isolation.h"
#include "pnp/resources.h"
#include "pnp/state.h"
#include "shell/version.h"

namespace {

// ---- The search's view of a device ----

enum { SLOT_DMA, SLOT_IRQ, SLOT_IO, SLOT_MEM, SLOT_MEM32, SLOT_KINDS };
enum { MAX_SLOTS = PNP_DMA_DESCS + PNP_IRQ_DESCS + PNP_IO_DESCS + PNP_MEM_DESCS + PNP_MEM32_DESCS };

struct SLOT {
    short kind, k;
};

struct DEV_VIEW {
    const RES_DEVICE* dev;
    short card, number;
    short order[RES_MAX_FUNCTIONS];  // configurations, best priority first
    short nopt;
    unsigned short irqneed,
        dmaneed;  // levels one of which it must take whatever it is given; 0: none
};

// One assigned value, on a stack that is undone in reverse order.
struct TAKEN {
    short kind;  // SLOT_*; -1: a value that takes nothing
    unsigned long lo, hi;
    short blamed;  // a value tried since overlapped it
};

struct SEARCH {
    const char* root;
    unsigned short hostirq, hostdma;  // held by the host
    DEV_VIEW view[PLAN_MAX_DEVICES];
    short n;
    // the current assignment
    short opt[PLAN_MAX_DEVICES];  // index into order; nopt: unplaced
    short nslots[PLAN_MAX_DEVICES];
    SLOT slots[PLAN_MAX_DEVICES][MAX_SLOTS];
    unsigned long cursor[PLAN_MAX_DEVICES][MAX_SLOTS];
    unsigned long value[PLAN_MAX_DEVICES][MAX_SLOTS];
    TAKEN taken[PLAN_MAX_DEVICES * MAX_SLOTS];
    long ntaken;
    unsigned short usedirq, useddma;
    short placed, unplaced;
    long steps, bound;
};

SEARCH S;

short priority_rank(short priority) {
    if (priority == RES_FIXED) return RES_GOOD;
    return priority;
}

short set_priority(const RES_DEVICE* dev, short f) {
    return dev->nfunctions > 0 ? dev->functions[f].priority : (short)(RES_FIXED);
}

// The levels of the first descriptor of configuration f that offers any (0 when
// none does).
unsigned short first_irq_mask(const RES_DEVICE* dev, short f) {
    for (short k = 0; k < res_count(dev, f, RES_KIND_IRQ); k++)
        if (res_irq_at(dev, f, k)->mask) return res_irq_at(dev, f, k)->mask;
    return 0;
}

unsigned short first_dma_mask(const RES_DEVICE* dev, short f) {
    for (short k = 0; k < res_count(dev, f, RES_KIND_DMA); k++)
        if (res_dma_at(dev, f, k)->mask) return res_dma_at(dev, f, k)->mask;
    return 0;
}

void make_view(DEV_VIEW* v, const RES_DEVICE* dev, short card, short number) {
    v->dev = dev;
    v->card = card;
    v->number = number;
    v->nopt = res_choices(dev);
    if (v->nopt > RES_MAX_FUNCTIONS) v->nopt = RES_MAX_FUNCTIONS;
    // insertion sort by priority, stable: equal priorities keep their resource
    // data order
    for (short f = 0; f < v->nopt; f++) {
        short i = f;
        while (i > 0 &&
               priority_rank(set_priority(dev, v->order[i - 1])) > priority_rank(set_priority(dev, f))) {
            v->order[i] = v->order[i - 1];
            i--;
        }
        v->order[i] = f;
    }
    // what every configuration needs: a level of its first IRQ (DMA) descriptor
    // that offers any
    v->irqneed = v->dmaneed = 0;
    short allirq = v->nopt > 0, alldma = v->nopt > 0;
    for (short f = 0; f < v->nopt; f++) {
        unsigned short mi = first_irq_mask(dev, f), md = first_dma_mask(dev, f);
        if (!mi) allirq = 0;
        if (!md) alldma = 0;
        v->irqneed |= mi;
        v->dmaneed |= md;
    }
    if (!allirq) v->irqneed = 0;
    if (!alldma) v->dmaneed = 0;
}

// ---- Candidate values of a slot ----

short slot_count(const RES_DEVICE* dev, short f, short kind) {
    static const short res_kind[SLOT_KINDS] = {RES_KIND_DMA, RES_KIND_IRQ, RES_KIND_IO, RES_KIND_MEM,
                                               RES_KIND_MEM32};
    return res_count(dev, f, res_kind[kind]);
}

void setup_slots(short d) {
    const DEV_VIEW* v = &S.view[d];
    short f = v->order[S.opt[d]], n = 0;
    for (short kind = 0; kind < SLOT_KINDS; kind++) {
        short c = slot_count(v->dev, f, kind);
        for (short k = 0; k < c && n < MAX_SLOTS; k++) S.slots[d][n++] = SLOT{kind, k};
    }
    S.nslots[d] = n;
}

// Candidate i of a range descriptor: min + i * align up to max; with align 0
// min alone. 1 with *base set, 0 when there is no candidate i.
short range_candidate(unsigned long min, unsigned long max, unsigned long align, unsigned long i,
                      unsigned long* base) {
    if (align == 0) {
        if (i > 0) return 0;
        *base = min;
        return 1;
    }
    if (min > max || i > (max - min) / align) return 0;
    *base = min + i * align;
    return 1;
}

short is_mem(short kind) { return kind == SLOT_MEM || kind == SLOT_MEM32; }

// Whether lo..hi overlaps a range taken; every range it overlaps is blamed for it, and *past
// (when it does) gets the highest end of those.
short overlaps_taken(short kind, unsigned long lo, unsigned long hi, unsigned long* past) {
    short hit = 0;
    for (long t = 0; t < S.ntaken; t++) {
        TAKEN& e = S.taken[t];
        short same = e.kind == kind || (is_mem(e.kind) && is_mem(kind));
        if (same && e.lo <= hi && lo <= e.hi) {
            if (!hit || e.hi > *past) *past = e.hi;
            hit = e.blamed = 1;
        }
    }
    return hit;
}

// Whether a level is free: not reserved, not the host's, not taken.
short irq_free(unsigned level) {
    unsigned short bit = (unsigned short)(1u << level);
    return !(PLAN_RESERVED_IRQS & bit) && !(S.hostirq & bit) && !(S.usedirq & bit);
}
short dma_free(unsigned channel) {
    unsigned short bit = (unsigned short)(1u << channel);
    return !(PLAN_RESERVED_DMAS & bit) && !(S.hostdma & bit) && !(S.useddma & bit);
}

// The candidates of a descriptor that offers levels (IRQs, DMA channels): the
// levels of mask below top from *i on, or none (the value none) when the mask
// is empty.
short level_candidate(unsigned mask, unsigned top, unsigned long none, short kind, unsigned long* i,
                      unsigned long* value, TAKEN* t, short* ok) {
    if (!mask) {
        *value = none;
        return *i == 0;
    }
    while (*i < top && !(mask & 1u << *i)) (*i)++;
    if (*i >= top) return 0;
    *value = *i;
    t->kind = kind;
    t->lo = t->hi = *i;
    *ok = kind == SLOT_IRQ ? irq_free((unsigned)*i) : dma_free((unsigned)*i);
    unsigned long past;
    if (!*ok) overlaps_taken(kind, *i, *i, &past);  // blames the device that holds it, if one does
    return 1;
}

// The candidates of a range descriptor: bases min..max at align, len units
// each, ending at top at the most; a length of 0 takes nothing (base 0). Memory
// at 0 is never planned: 0 means none.
short range_slot(unsigned long min, unsigned long max, unsigned long align, unsigned long len,
                 unsigned long top, short host, short kind, unsigned long* i, unsigned long* value, TAKEN* t,
                 short* ok) {
    if (len == 0) {
        *value = 0;
        return *i == 0;
    }
    unsigned long base;
    if (!range_candidate(min, max, align, *i, &base)) return 0;
    *value = base;
    t->kind = kind;
    t->lo = base;
    t->hi = base + len - 1;
    unsigned long past = 0;
    *ok = (kind == SLOT_IO || base != 0) && t->hi <= top &&
          !host_range_held(S.root, host, t->lo, t->hi, &past) && !overlaps_taken(kind, t->lo, t->hi, &past);
    // Every place up to the end of what it collided with collides with that too: *i moves on to
    // the last of them.
    if (!*ok && past > base && align > 0) *i += (past - base) / align;
    return 1;
}

// Candidate *i of a slot, or the first one after it (*i is moved on to it): 1
// with the value and what it takes in *t when there is one (free or not), 0
// past the last. *ok tells whether it is free.
short candidate(const RES_DEVICE* dev, short f, SLOT s, unsigned long* i, unsigned long* value, TAKEN* t,
                short* ok) {
    t->kind = -1;
    t->lo = t->hi = 0;
    *ok = 1;
    switch (s.kind) {
    case SLOT_IRQ: return level_candidate(res_irq_at(dev, f, s.k)->mask, PNP_IRQ_LEVELS, 0, SLOT_IRQ, i, value, t, ok);
    case SLOT_DMA:
        return level_candidate(res_dma_at(dev, f, s.k)->mask, PNP_DMA_CHANNELS, PNP_DMA_NONE, SLOT_DMA, i, value, t, ok);
    case SLOT_IO: {
        const RES_IO* io = res_io_at(dev, f, s.k);
        return range_slot(io->min, io->max, io->align, io->len, 0xFFFF, HOST_IO, SLOT_IO, i, value, t, ok);
    }
    default: {
        const RES_MEM* m = res_mem_at(dev, s.kind == SLOT_MEM32 ? 32 : 24, f, s.k);
        unsigned long top = s.kind == SLOT_MEM32 ? 0xFFFFFFFFul : 0xFFFFFFul;
        return range_slot(m->min, m->max, m->align, m->len, top, HOST_MEM, s.kind, i, value, t, ok);
    }
    }
}

void take(const TAKEN& t) {
    S.taken[S.ntaken] = t;
    S.taken[S.ntaken++].blamed = 0;
    if (t.kind == SLOT_IRQ) S.usedirq |= (unsigned short)(1u << t.lo);
    if (t.kind == SLOT_DMA) S.useddma |= (unsigned short)(1u << t.lo);
}

void untake() {
    const TAKEN& t = S.taken[--S.ntaken];
    if (t.kind == SLOT_IRQ) S.usedirq &= (unsigned short)~(1u << t.lo);
    if (t.kind == SLOT_DMA) S.useddma &= (unsigned short)~(1u << t.lo);
}

// The kinds whose values can reject each other's.
short group(short kind) {
    if (kind == SLOT_IRQ || kind == SLOT_DMA) return SLOT_IRQ;
    if (is_mem(kind)) return SLOT_MEM;
    return kind;
}

// ---- The bound on what the devices from d on can still place ----

// Kuhn's augmenting path from device e; its depth is at most the PNP_IRQ_LEVELS levels,
// each visited once.
short augment(const unsigned short* avail, short e, short* match, unsigned* visited) {
    for (short l = 0; l < PNP_IRQ_LEVELS; l++) {
        if (!(avail[e] & 1u << l) || (*visited & 1u << l)) continue;
        *visited |= 1u << l;
        if (match[l] < 0 || augment(avail, match[l], match, visited)) {
            match[l] = e;
            return 1;
        }
    }
    return 0;
}

// How many of the devices from d on can take a level each of what they need, at
// the most.
short needs_met(short d, short irq, unsigned short freemask, short* needy) {
    static unsigned short avail[PLAN_MAX_DEVICES];
    short match[PNP_IRQ_LEVELS], n = 0, met = 0;
    for (short l = 0; l < PNP_IRQ_LEVELS; l++) match[l] = -1;
    for (short e = d; e < S.n; e++) {
        unsigned short need = irq ? S.view[e].irqneed : S.view[e].dmaneed;
        if (need) avail[n++] = need & freemask;
    }
    *needy = n;
    short room = 0;
    for (short l = 0; l < PNP_IRQ_LEVELS; l++) room += (freemask >> l) & 1;
    for (short e = 0; e < n && met < room; e++) {
        unsigned visited = 0;
        met += augment(avail, e, match, &visited);
    }
    return met;
}

// At most how many of the devices from d on can still be placed: every device
// that needs an IRQ (DMA channel) whatever its configuration needs one of its
// own.
short upper_bound(short d) {
    unsigned short freeirq = 0, freedma = 0;
    for (unsigned l = 0; l < PNP_IRQ_LEVELS; l++)
        if (irq_free(l)) freeirq |= (unsigned short)(1u << l);
    for (unsigned c = 0; c < PNP_DMA_CHANNELS; c++)
        if (dma_free(c)) freedma |= (unsigned short)(1u << c);
    short rest = (short)(S.n - d), needy;
    short metirq = needs_met(d, 1, freeirq, &needy);
    short byirq = (short)(rest - needy + metirq);
    short metdma = needs_met(d, 0, freedma, &needy);
    short bydma = (short)(rest - needy + metdma);
    short up = rest;
    if (byirq < up) up = byirq;
    if (bydma < up) up = bydma;
    return up;
}

// Whether the devices from d on can still bring the placed count (with extra
// more) to target. When not, every IRQ and channel taken that one of them could
// use is blamed: with it free the answer might differ, with any other taken it
// would not.
short bound_holds(short d, short extra, short target) {
    if (S.placed + extra + upper_bound(d) >= target) return 1;
    unsigned short irqs = 0, dmas = 0;
    for (short e = d; e < S.n; e++) irqs |= S.view[e].irqneed, dmas |= S.view[e].dmaneed;
    for (long t = 0; t < S.ntaken; t++) {
        TAKEN& e = S.taken[t];
        if ((e.kind == SLOT_IRQ && (irqs & 1u << e.lo)) || (e.kind == SLOT_DMA && (dmas & 1u << e.lo)))
            e.blamed = 1;
    }
    return 0;
}

// ---- The plan out of the search state ----

// Memory range k of a plan device at base val: its length, information byte,
// and whether it decodes an upper limit (the information byte's bit 2).
void put_mem(unsigned long* base, unsigned long* len, unsigned char* info, short* upper, short* n,
             const RES_MEM* m, short k, unsigned long val) {
    base[k] = val;
    len[k] = val ? m->len : 0;
    info[k] = m->info;
    upper[k] = (m->info & RES_MEM_UPPER_LIMIT) != 0;
    if (k + 1 > *n) *n = (short)(k + 1);
}

// Device d of the current assignment into *p; assigned 0: not placed.
void fill_device(PLAN_DEVICE* p, short d, short assigned) {
    const DEV_VIEW* v = &S.view[d];
    memset(p, 0, sizeof *p);
    p->card = v->card;
    p->device = v->number;
    if (!assigned || S.opt[d] >= v->nopt) return;
    short f = v->order[S.opt[d]];
    p->placed = 1;
    p->function = f;
    p->priority = set_priority(v->dev, f);
    for (short s = 0; s < S.nslots[d]; s++) {
        SLOT sl = S.slots[d][s];
        unsigned long val = S.value[d][s];
        switch (sl.kind) {
        case SLOT_IO:
            p->io[sl.k] = (unsigned short)val;
            p->iolen[sl.k] = val ? res_io_at(v->dev, f, sl.k)->len : 0;
            if (sl.k + 1 > p->nio) p->nio = (short)(sl.k + 1);
            break;
        case SLOT_IRQ: {
            p->irq[sl.k] = (unsigned char)val;
            // the first type offered, in the order of the information bits: high-true edge first
            p->irqtype[sl.k] = res_irq_type_first(res_irq_types(res_irq_at(v->dev, f, sl.k)))->type;
            if (sl.k + 1 > p->nirq) p->nirq = (short)(sl.k + 1);
            break;
        }
        case SLOT_DMA:
            p->dma[sl.k] = (unsigned char)val;
            if (sl.k + 1 > p->ndma) p->ndma = (short)(sl.k + 1);
            break;
        case SLOT_MEM:
            put_mem(p->mem, p->memlen, p->meminfo, p->memupper, &p->nmem, res_mem_at(v->dev, 24, f, sl.k),
                    sl.k, val);
            break;
        default:
            put_mem(p->mem32, p->mem32len, p->mem32info, p->mem32upper, &p->nmem32,
                    res_mem_at(v->dev, 32, f, sl.k), sl.k, val);
            break;
        }
    }
}

// The current assignment as a plan: devices before d as assigned, d and the
// rest unplaced.
void snapshot(short d, PLAN* out) {
    out->ndevices = S.n;
    out->placed = 0;
    for (short e = 0; e < S.n; e++) {
        fill_device(&out->devices[e], e, e < d);
        out->placed += out->devices[e].placed;
    }
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

// The first descriptor of configuration order[o] of device d that has no free
// value beside the devices the plan has taken (already on the stack), its
// values taken in turn as the search would. 1 with *fail set; 0 when every
// descriptor has one.
short first_failure(short d, short o, SLOT* fail) {
    const DEV_VIEW* v = &S.view[d];
    long mark = S.ntaken;
    short f = v->order[o], failed = 0;
    S.opt[d] = o;
    setup_slots(d);
    for (short s = 0; s < S.nslots[d] && !failed; s++) {
        SLOT sl = S.slots[d][s];
        unsigned long val, i = 0;
        TAKEN t;
        short ok = 0;
        failed = 1;
        for (; candidate(v->dev, f, sl, &i, &val, &t, &ok); i++)
            if (ok) {
                take(t);
                failed = 0;
                break;
            }
        if (failed) *fail = sl;
    }
    while (S.ntaken > mark) untake();
    return failed;
}

// The reason device d cannot be placed: the first descriptor of its best
// configuration that has no free value; when every configuration fails at that
// kind of descriptor, the values all of them offer there.
void explain(short d, short stopped, char* why, size_t size) {
    const DEV_VIEW* v = &S.view[d];
    SLOT first = {-1, 0}, sl;
    unsigned mask = 0;
    short same = 1;
    why[0] = 0;
    for (short o = 0; o < v->nopt; o++) {
        if (!first_failure(d, o, &sl)) {
            same = 0;
            break;
        }
        if (o == 0) first = sl;
        if (sl.kind != first.kind) same = 0;
        short f = v->order[o];
        if (sl.kind == SLOT_IRQ) mask |= res_irq_at(v->dev, f, sl.k)->mask;
        if (sl.kind == SLOT_DMA) mask |= res_dma_at(v->dev, f, sl.k)->mask;
    }
    short f = v->nopt > 0 ? v->order[0] : 0;
    char list[64];
    switch (first.kind) {
    case -1:
        snprintf(why, size,
                 v->nopt == 0 ? "it has no configuration"
                 : stopped    ? "the search stopped before it was placed"
                              : "its resources do not fit beside the devices placed");
        break;
    case SLOT_DMA: {
        const RES_DMA* dma = res_dma_at(v->dev, f, first.k);
        list_levels(list, sizeof list, same ? mask : dma->mask, PNP_DMA_CHANNELS);
        snprintf(why, size, "no %sDMA channel is left (%s %s taken)", dma_width(dma->flags), list,
                 strchr(list, ' ') ? "are" : "is");
        break;
    }
    case SLOT_IRQ:
        list_levels(list, sizeof list, same ? mask : res_irq_at(v->dev, f, first.k)->mask, PNP_IRQ_LEVELS);
        snprintf(why, size, "no IRQ is left (%s %s taken)", list, strchr(list, ' ') ? "are" : "is");
        break;
    case SLOT_IO: {
        const RES_IO* io = res_io_at(v->dev, f, first.k);
        if (io->min == io->max)
            snprintf(why, size, "no range of %u I/O ports is left at 0x%04X", io->len, io->min);
        else
            snprintf(why, size, "no range of %u I/O ports is left at 0x%04X-0x%04X", io->len, io->min,
                     io->max);
        break;
    }
    default: {
        const RES_MEM* m = res_mem_at(v->dev, first.kind == SLOT_MEM32 ? 32 : 24, f, first.k);
        snprintf(why, size, "no memory range of 0x%lX bytes is left at 0x%06lX-0x%06lX", m->len, m->min,
                 m->max);
        break;
    }
    }
}

// The plan's values back on the taken stack, device by device, to explain the
// others.
void take_plan(const PLAN* plan) {
    S.ntaken = 0;
    S.usedirq = S.useddma = 0;
    for (short e = 0; e < plan->ndevices; e++) {
        const PLAN_DEVICE* p = &plan->devices[e];
        if (!p->placed) continue;
        for (short k = 0; k < p->nio; k++)
            if (p->io[k]) take(TAKEN{SLOT_IO, p->io[k], (unsigned long)p->io[k] + p->iolen[k] - 1, 0});
        for (short k = 0; k < p->nirq; k++)
            if (p->irq[k]) take(TAKEN{SLOT_IRQ, p->irq[k], p->irq[k], 0});
        for (short k = 0; k < p->ndma; k++)
            if (p->dma[k] != PNP_DMA_NONE) take(TAKEN{SLOT_DMA, p->dma[k], p->dma[k], 0});
        for (short k = 0; k < p->nmem; k++)
            if (p->mem[k]) take(TAKEN{SLOT_MEM, p->mem[k], p->mem[k] + p->memlen[k] - 1, 0});
        for (short k = 0; k < p->nmem32; k++)
            if (p->mem32[k]) take(TAKEN{SLOT_MEM32, p->mem32[k], p->mem32[k] + p->mem32len[k] - 1, 0});
    }
}

// ---- The depth-first search for a plan that places at least target devices
// ----

enum { FOUND = 1, EXHAUSTED = 0, STOPPED = -1 };

// Moves back into device d from the one after it: 1 with *s set where to go on,
// 0 when d < 0.
short back_into(short d, short* s) {
    if (d < 0) return 0;
    if (S.opt[d] >= S.view[d].nopt) {
        S.unplaced--;
        *s = -1;
    } else {
        S.placed--;
        *s = (short)(S.nslots[d] - 1);
    }
    return 1;
}

short search(short target, PLAN* best) {
    short d = 0, s = -1, fresh = 1;
    S.ntaken = 0;
    S.usedirq = S.useddma = 0;
    S.placed = S.unplaced = 0;
    for (;;) {
        if (d == S.n) return FOUND;
        const DEV_VIEW* v = &S.view[d];
        if (s < 0) {
            // the configuration of device d: the next one, or unplaced after the last
            if (fresh) {
                if (!bound_holds(d, 0, target)) {
                    S.opt[d] = v->nopt;  // nothing from here on can reach the target
                } else {
                    S.opt[d] = 0;
                }
            } else {
                S.opt[d]++;
            }
            if (S.opt[d] < v->nopt) {
                setup_slots(d);
                if (S.nslots[d] == 0) {
                    S.placed++;
                    if (S.placed > best->placed) snapshot((short)(d + 1), best);
                    d++, s = -1, fresh = 1;
                } else {
                    s = 0, fresh = 1;
                }
                continue;
            }
            if (S.opt[d] == v->nopt && S.unplaced < S.n - target && bound_holds((short)(d + 1), 0, target)) {
                S.unplaced++;
                d++, s = -1, fresh = 1;
                continue;
            }
            d--;
            if (!back_into(d, &s)) return EXHAUSTED;
            fresh = 0;
            continue;
        }
        // slot s of device d: its next free value
        SLOT sl = S.slots[d][s];
        short f = v->order[S.opt[d]], resumed = !fresh;
        if (fresh) {
            S.cursor[d][s] = 0;
        } else {
            // Back at a value that nothing tried since has collided with, nor a bound
            // that failed depended on: any other value fails the same way, so it is
            // given up and the search goes back one step.
            TAKEN last = S.taken[S.ntaken - 1];
            untake();
            if (!last.blamed) {
                s--;
                continue;
            }
            S.cursor[d][s]++;
        }
        unsigned long val;
        TAKEN t;
        short ok = 0, got = 0;
        while (candidate(v->dev, f, sl, &S.cursor[d][s], &val, &t, &ok)) {
            if (++S.steps > S.bound) return STOPPED;
            if (ok && (sl.kind == SLOT_IRQ || sl.kind == SLOT_DMA) && t.kind >= 0) {
                // an IRQ or channel taken: can the devices after this one still reach
                // the target?
                take(t);
                ok = bound_holds((short)(d + 1), 1, target);
                untake();
            }
            if (ok) {
                got = 1;
                break;
            }
            S.cursor[d][s]++;
        }
        if (got) {
            take(t);
            S.value[d][s] = val;
            if (++s == S.nslots[d]) {
                S.placed++;
                if (S.placed > best->placed) snapshot((short)(d + 1), best);
                d++, s = -1;
            }
            fresh = 1;
            continue;
        }
        // No value left. When none was ever free, only an earlier value of the same
        // kind can change that (IRQs and DMA channels count as one kind, as the
        // bound looks at both; memory of either width as one): back to the latest
        // one of this device, or else to its configuration. When values were taken
        // and what came after failed, back one step.
        short back = (short)(s - 1);
        while (!resumed && back >= 0 && group(S.slots[d][back].kind) != group(sl.kind)) back--;
        for (short u = (short)(s - 1); u > back; u--) untake();
        s = back;  // -1: the configuration frame, which moves on to the next
                   // configuration
        fresh = 0;
    }
}

}  // namespace

short plan_search(const RES_CARD* const* cards, short ncards, const char* root, long bound, PLAN* out) {
    memset(out, 0, sizeof *out);
    memset(&S, 0, sizeof S);
    S.root = root;
    S.bound = bound;
    if (ncards > PLAN_MAX_CARDS) ncards = PLAN_MAX_CARDS;
    for (short c = 0; c < ncards; c++)
        for (short k = 0; k < cards[c]->ndevices && k < RES_MAX_DEVICES; k++)
            make_view(&S.view[S.n++], &cards[c]->devices[k], c, k);
    S.hostirq = host_irqs_held(root);
    S.hostdma = host_dmas_held(root);
    snapshot(0, out);
    // First the plan the order gives (a device with no room left unplaced), then
    // again for one device more each time, until every device is placed, no plan
    // places more, or the bound.
    short result = FOUND, top = upper_bound(0);
    for (short target = 0; target <= top && out->placed < S.n; target = (short)(out->placed + 1)) {
        result = search(target, out);
        if (result != FOUND) break;
        if (S.placed >= out->placed) snapshot((short)S.n, out);
    }
    if (result == EXHAUSTED) result = FOUND;  // the last plan found places the most
    out->steps = S.steps < S.bound ? S.steps : S.bound;
    out->stopped = result == STOPPED;
    take_plan(out);
    for (short e = 0; e < out->ndevices; e++)
        if (!out->devices[e].placed)
            explain(e, out->stopped, out->devices[e].why, sizeof out->devices[e].why);
    return out->placed == out->ndevices;
}

namespace {

const char* priority_text(short priority) {
    switch (priority) {
    case RES_GOOD: return "good";
    case RES_ACCEPTABLE: return "acceptable";
    case RES_SUBOPTIMAL: return "sub-optimal";
    default: return "reserved priority";
    }
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

void print_device(FILE* fp, const PLAN_DEVICE* p, const RES_DEVICE* dev) {
    const char* space = dev->name[0] ? " " : "";
    if (!p->placed) {
        fprintf(fp, "# Device %d: %s%s%s is not placed: %s\n", p->device, dev->idtext, space, dev->name,
                p->why);
        return;
    }
    if (p->priority == RES_FIXED)
        fprintf(fp, "# Device %d: %s%s%s (fixed resources)\n", p->device, dev->idtext, space, dev->name);
    else
        fprintf(fp, "# Device %d: %s%s%s (dependent function %d, %s)\n", p->device, dev->idtext, space,
                dev->name, p->function, priority_text(p->priority));
    fprintf(fp, "PNP_DEVICE = %d\nDEVICE BEGIN\n", p->device);
    if (p->nio > 0) {
        fprintf(fp, "DEVICE SET IOPORT");
        for (short k = 0; k < p->nio; k++) fprintf(fp, "%s 0x%X", k ? " ," : "", p->io[k]);
        fprintf(fp, "\n");
    }
    for (short k = 0; k < p->nirq; k++) {
        if (p->irq[k])
            fprintf(fp, "DEVICE SET IRQ %d %d %s\n", k, p->irq[k], res_irq_type_of(p->irqtype[k])->keywords);
        else
            fprintf(fp, "DEVICE SET IRQ %d 0\n", k);
    }
    for (short k = 0; k < p->ndma; k++) fprintf(fp, "DEVICE SET DMA %d %d\n", k, p->dma[k]);
    for (short k = 0; k < p->nmem; k++) {
        // register values: address bits 23..8; an upper limit is the first address
        // past the range
        unsigned long base = p->mem[k] >> 8;
        unsigned long limit = p->mem[k] ? (p->memupper[k] ? p->mem[k] + p->memlen[k] : p->memlen[k]) >> 8 : 0;
        fprintf(fp, "DEVICE SET MEM %d 0x%lX 0x%lX%s\n", k, base, limit, mem_width(p->meminfo[k], 24));
    }
    for (short k = 0; k < p->nmem32; k++) {
        // full addresses; an upper limit is the last address of the range
        unsigned long limit =
            p->mem32[k] ? (p->mem32upper[k] ? p->mem32[k] + p->mem32len[k] - 1 : p->mem32len[k]) : 0;
        fprintf(fp, "DEVICE SET MEM32 %d 0x%08lX 0x%08lX%s\n", k, p->mem32[k], limit,
                mem_width(p->mem32info[k], 32));
    }
    fprintf(fp, "DEVICE SET ACTIVE\nDEVICE END\n");
}

}  // namespace

short plan_print(FILE* fp, const PLAN* plan, const PLAN_CARD_INFO* cards, short ncards, const char* when) {
    fprintf(fp, "# VELKOR boot script made by velkor --plan on %s (velkor " VELKOR_VERSION ")\n", when);
    fprintf(fp,
            "# Cards are isolated in the order of their serial identifiers, "
            "so the same cards get the same "
            "CSNs.\n");
    fprintf(fp, "ISOLATE\n");
    short e = 0;
    for (short c = 0; c < ncards; c++) {
        const PLAN_CARD_INFO* ci = &cards[c];
        const unsigned char* s = ci->serial;
        fprintf(fp, "#\n# Card %d: %s, serial number %02X%02X%02X%02X%s%s\n", ci->csn, ci->vendor, s[7], s[6],
                s[5], s[4], ci->res->name[0] ? ", " : "", ci->res->name);
        fprintf(fp, "PNP_CSN = 0\nDETECT %d\n", ci->csn);
        for (; e < plan->ndevices && plan->devices[e].card == c; e++) {
            const PLAN_DEVICE* p = &plan->devices[e];
            print_device(fp, p, &ci->res->devices[p->device]);
        }
    }
    fflush(fp);
    return ferror(fp) ? 0 : 1;
}

int run_plan() {
    static RES_CARD res[PLAN_MAX_CARDS];
    static PLAN plan;
    const RES_CARD* resp[PLAN_MAX_CARDS];
    PLAN_CARD_INFO info[PLAN_MAX_CARDS];
    if (!init_APP() || PNP_permitted != 1) {
        if (PNP_permitted != 1)
            fprintf(stderr, "velkor: plan: no permission for the PnP ports, nothing planned\n");
        clean_APP();
        return 1;
    }
    warn_kernel_pnp_once();
    short found = isolate_PNP(PNP_CONFIG_RESET_CSN);
    drop_DEVICE();
    short ncards = 0;
    if (found) {
        PNP_csn = 0;
        PNP_csn_idx = -1;
        PNP_device = -1;
        Uport = PNP_port;
        short n = PNP_cards_len;
        for (short csn = 1; csn <= n && ncards < PLAN_MAX_CARDS; csn++) {
            defaultport_PNP(Uport);
            short loaded = loadcard_PNP(csn);
            drop_DEVICE();
            short idx = findcard_PNP(csn);
            CARD_TYP* card = idx >= 0 ? usedcard_PNP(idx) : nullptr;
            if (!loaded || !card) {
                fprintf(stderr, "velkor: plan: card %d cannot be loaded; it is left out\n", csn);
                continue;
            }
            if (!res_decode(card->resdata, card->reslen, &res[ncards]))
                fprintf(stderr,
                        "velkor: plan: the resource data of card %d is cut or "
                        "malformed; planned as read\n",
                        csn);
            resp[ncards] = &res[ncards];
            info[ncards] = PLAN_CARD_INFO{(short)csn, card->vendor, card->serial, &res[ncards]};
            ncards++;
        }
    } else {
        fprintf(stderr, "velkor: plan: no cards found\n");
    }
    plan_search(resp, ncards, host_checks_root(), PLAN_STEP_BOUND, &plan);
    // The card's own registers tell whether it decodes an upper limit or a range
    // length.
    for (short e = 0; e < plan.ndevices; e++) {
        PLAN_DEVICE* p = &plan.devices[e];
        short idx = findcard_PNP(info[p->card].csn);
        const CARD_TYP* card = idx >= 0 ? usedcard_PNP(idx) : nullptr;
        if (!card || !card->devs || p->device >= card->ndevs) continue;
        const DEVICE_TYP* dev = &card->devs[p->device];
        for (short k = 0; k < p->nmem; k++) p->memupper[k] = (dev->mem[k].control & PNP_MEM_UPPER_LIMIT) != 0;
        for (short k = 0; k < p->nmem32; k++)
            p->mem32upper[k] = (dev->mem32[k].control & PNP_MEM_UPPER_LIMIT) != 0;
    }
    if (plan.stopped)
        fprintf(stderr,
                "velkor: plan: search stopped after %ld steps; the plan below "
                "places what it could\n",
                plan.steps);
    for (short e = 0; e < plan.ndevices; e++) {
        const PLAN_DEVICE* p = &plan.devices[e];
        if (!p->placed)
            fprintf(stderr, "velkor: plan: card %d device %d (%s) cannot be placed: %s\n", info[p->card].csn,
                    p->device, info[p->card].res->devices[p->device].idtext, p->why);
    }
    char when[32];
    time_t now = time(nullptr);
    struct tm tmv;
    localtime_r(&now, &tmv);
    strftime(when, sizeof when, "%Y-%m-%d %H:%M", &tmv);
    short written = plan_print(stdout, &plan, info, ncards, when);
    clean_APP();
    return written && plan.placed == plan.ndevices ? 0 : 1;
}
