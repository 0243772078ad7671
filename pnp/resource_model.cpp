// Resource data read into logical devices and their resource sets, and the queries on them.
#include "pnp/resource_model.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {

// The data lengths the standard gives the items that are decoded; an item whose length lies
// outside is malformed. ORDER: any; the end row has no name.
struct ITEM_LENGTH {
    short large;
    unsigned char name;
    unsigned short min, max;
};
const ITEM_LENGTH item_lengths[] = {
    {0, RES_LOGICAL_DEVICE_ID, 5, 6}, {0, RES_IRQ_FORMAT, 2, 3},    {0, RES_DMA_FORMAT, 2, 2},
    {0, RES_START_DEPENDENT, 0, 1},   {0, RES_END_DEPENDENT, 0, 0}, {0, RES_IO_PORT, 7, 7},
    {0, RES_FIXED_IO_PORT, 3, 3},     {1, RES_MEM_RANGE, 9, 9},     {1, RES_MEM32_RANGE, 17, 17},
    {1, RES_FIXED_MEM32_RANGE, 9, 9}, {0, 0, 0, 0},
};

// Where the descriptors being read go.
enum PLACE { BEFORE_DEVICE, IN_COMMON, IN_FUNCTION, IN_AFTER };

struct READER {
    RES_CARD* card;
    RES_DEVICE* dev;  // the device being read; null before the first one or when it had no room
    short place;      // PLACE
    short dropping;   // 1 while the items belong to a device or function that had no room
};

void copy_name(char* name, const RES_ITEM& s) {
    long n = 0;
    for (; n < s.have && n < RES_NAME_MAX - 1 && s.data[n]; n++)
        name[n] = s.data[n] < 0x20 || s.data[n] == 0x7F ? '?' : (char)s.data[n];
    name[n] = '\0';
}

void begin_device(READER* r, const RES_ITEM& s) {
    RES_CARD* card = r->card;
    if (r->place == IN_FUNCTION) card->malformed = 1;  // the previous device never ended its functions
    r->place = IN_COMMON;
    if (card->devices_seen < 0x7FFF) card->devices_seen++;
    if (card->ndevices >= RES_MAX_DEVICES) {
        card->truncated++;
        r->dev = nullptr;
        r->dropping = 1;
        return;
    }
    RES_DEVICE* dev = &card->devices[card->ndevices++];
    for (int i = 0; i < 4; i++) dev->id[i] = (unsigned char)s.b(i);
    res_eisa_id_text(dev->id, dev->idtext);
    dev->common.priority = RES_FIXED;
    dev->after.priority = RES_FIXED;
    r->dev = dev;
    r->dropping = 0;
}

void begin_function(READER* r, const RES_ITEM& s) {
    if (r->place == BEFORE_DEVICE) {
        r->card->malformed = 1;
        return;
    }
    if (r->place == IN_AFTER) r->card->malformed = 1;  // a second run of dependent functions
    r->place = IN_FUNCTION;
    if (r->dev && r->dev->functions_seen < 0x7FFF) r->dev->functions_seen++;
    if (!r->dev || r->dev->nfunctions >= RES_MAX_FUNCTIONS) {
        r->card->truncated++;
        r->dropping = 1;
        return;
    }
    RES_SET* set = &r->dev->functions[r->dev->nfunctions++];
    set->priority = s.have > 0 ? (short)s.b(0) : (short)RES_ACCEPTABLE;
    r->dropping = 0;
}

void end_functions(READER* r) {
    if (r->place != IN_FUNCTION) {
        r->card->malformed = 1;
        return;
    }
    r->place = IN_AFTER;
    if (r->dev) r->dropping = 0;
}

// The set a descriptor goes to; null when it has none (counted as truncated or malformed).
RES_SET* target(READER* r) {
    if (r->place == BEFORE_DEVICE) {
        r->card->malformed = 1;
        return nullptr;
    }
    if (r->dropping || !r->dev) {
        r->card->truncated++;
        return nullptr;
    }
    if (r->place == IN_COMMON) return &r->dev->common;
    if (r->place == IN_AFTER) return &r->dev->after;
    return &r->dev->functions[r->dev->nfunctions - 1];
}

// The index of a new descriptor in a set's array of cap, counted in *n; -1 when it is full.
short room(READER* r, short* n, short cap) {
    if (*n >= cap) {
        r->card->truncated++;
        return -1;
    }
    return (*n)++;
}

void add_io(READER* r, const RES_ITEM& s, short fixed) {
    RES_SET* set = target(r);
    short k = set ? room(r, &set->nio, PNP_IO_DESCS) : -1;
    if (k < 0) return;
    RES_IO& io = set->io[k];
    io.fixed = fixed;
    if (fixed) {
        io.min = io.max = (unsigned short)s.w(0);
        io.align = 1;
        io.len = (unsigned short)s.b(2);
    } else {
        io.info = (unsigned char)s.b(0);
        io.min = (unsigned short)s.w(1);
        io.max = (unsigned short)s.w(3);
        io.align = (unsigned short)s.b(5);
        io.len = (unsigned short)s.b(6);
    }
}

void add_irq(READER* r, const RES_ITEM& s) {
    RES_SET* set = target(r);
    short k = set ? room(r, &set->nirq, PNP_IRQ_DESCS) : -1;
    if (k < 0) return;
    RES_IRQ& irq = set->irq[k];
    irq.mask = (unsigned short)s.w(0);
    irq.has_info = s.have > 2;
    irq.info = (unsigned char)s.b(2);
}

void add_dma(READER* r, const RES_ITEM& s) {
    RES_SET* set = target(r);
    short k = set ? room(r, &set->ndma, PNP_DMA_DESCS) : -1;
    if (k < 0) return;
    set->dma[k].mask = (unsigned char)s.b(0);
    set->dma[k].flags = (unsigned char)s.b(1);
}

void add_mem(READER* r, const RES_ITEM& s, unsigned name) {
    RES_SET* set = target(r);
    short k = !set            ? -1
              : name == RES_MEM_RANGE ? room(r, &set->nmem, PNP_MEM_DESCS)
                              : room(r, &set->nmem32, PNP_MEM32_DESCS);
    if (k < 0) return;
    RES_MEM& m = name == RES_MEM_RANGE ? set->mem[k] : set->mem32[k];
    m.info = (unsigned char)s.b(0);
    if (name == RES_MEM_RANGE) {
        m.min = (unsigned long)s.w(1) << 8;
        m.max = (unsigned long)s.w(3) << 8;
        m.align = s.w(5) ? s.w(5) : 0x10000ul;
        m.len = (unsigned long)s.w(7) << 8;
    } else if (name == RES_MEM32_RANGE) {
        m.min = s.l(1);
        m.max = s.l(5);
        m.align = s.l(9);
        m.len = s.l(13);
    } else {
        m.fixed = 1;
        m.min = m.max = s.l(1);
        m.align = 1;
        m.len = s.l(5);
    }
}

void check_length(READER* r, short large, unsigned name, long len) {
    for (const ITEM_LENGTH* row = item_lengths; row->name; row++)
        if (row->large == large && row->name == name && (len < row->min || len > row->max))
            r->card->malformed = 1;
}

// A Compatible Device ID of the device being read; past RES_MAX_COMPAT only counted.
void add_compat(READER* r, const RES_ITEM& s) {
    RES_DEVICE* dev = r->dev;
    if (!dev || r->dropping) return;
    if (dev->compat_seen < 0x7FFF) dev->compat_seen++;
    if (dev->ncompat >= RES_MAX_COMPAT) return;
    unsigned char id[4];
    for (int i = 0; i < 4; i++) id[i] = (unsigned char)s.b(i);
    res_eisa_id_text(id, dev->compat[dev->ncompat++]);
}

void read_small(READER* r, unsigned name, const RES_ITEM& s) {
    check_length(r, 0, name, s.have);
    switch (name) {
    case RES_LOGICAL_DEVICE_ID: begin_device(r, s); break;
    case RES_COMPATIBLE_ID: add_compat(r, s); break;
    case RES_IRQ_FORMAT: add_irq(r, s); break;
    case RES_DMA_FORMAT: add_dma(r, s); break;
    case RES_START_DEPENDENT: begin_function(r, s); break;
    case RES_END_DEPENDENT: end_functions(r); break;
    case RES_IO_PORT: add_io(r, s, 0); break;
    case RES_FIXED_IO_PORT: add_io(r, s, 1); break;
    default: break;  // version, vendor items and reserved names carry no resource
    }
}

void read_large(READER* r, unsigned name, const RES_ITEM& s) {
    check_length(r, 1, name, s.have);
    switch (name) {
    case RES_MEM_RANGE:
    case RES_MEM32_RANGE:
    case RES_FIXED_MEM32_RANGE: add_mem(r, s, name); break;
    case RES_ANSI_STRING:
        if (r->place == BEFORE_DEVICE && !r->card->name[0])
            copy_name(r->card->name, s);
        else if (r->dev && !r->dropping && !r->dev->name[0])
            copy_name(r->dev->name, s);
        break;
    default: break;
    }
}

// The three sets of configuration f in register order, and how many there are (0 when f is out
// of range).
short sets_of(const RES_DEVICE* dev, short f, const RES_SET* sets[3]) {
    if (f < 0 || f >= res_choices(dev)) return 0;
    sets[0] = &dev->common;
    if (!dev->nfunctions) {
        sets[1] = &dev->after;
        return 2;
    }
    sets[1] = &dev->functions[f];
    sets[2] = &dev->after;
    return 3;
}

short count_in(const RES_SET* set, short kind) {
    switch (kind) {
    case RES_KIND_IO: return set->nio;
    case RES_KIND_IRQ: return set->nirq;
    case RES_KIND_DMA: return set->ndma;
    case RES_KIND_MEM: return set->nmem;
    case RES_KIND_MEM32: return set->nmem32;
    default: return 0;
    }
}

// The set that holds the k-th descriptor of kind of configuration f, and its place there in *at;
// null when there is none.
const RES_SET* locate(const RES_DEVICE* dev, short f, short kind, short k, short* at) {
    const RES_SET* sets[3];
    short n = sets_of(dev, f, sets);
    for (short i = 0; i < n && k >= 0; i++) {
        short here = count_in(sets[i], kind);
        if (k < here) {
            *at = k;
            return sets[i];
        }
        k = (short)(k - here);
    }
    return nullptr;
}

short mem_kind(short bits) { return bits == 32 ? RES_KIND_MEM32 : RES_KIND_MEM; }

// A text being filled, bounded by its buffer.
struct TEXT {
    char* buf;
    size_t size;
    size_t used;
};

TEXT text_start(char* buf, size_t size) {
    if (buf && size) buf[0] = '\0';
    return {buf, buf ? size : 0, 0};
}

__attribute__((format(printf, 2, 3))) void text_add(TEXT* t, const char* format, ...) {
    if (t->used + 1 >= t->size) return;
    va_list args;
    va_start(args, format);
    int n = vsnprintf(t->buf + t->used, t->size - t->used, format, args);
    va_end(args);
    if (n > 0) t->used = t->used + n < t->size ? t->used + n : t->size - 1;
}

// The descriptors asked for: the index-th of kind in every configuration, or all of them when
// index is negative.
struct WALK {
    const RES_DEVICE* dev;
    short kind, index;
    short f, k;  // where the next one is looked for
};

short walk_next(WALK* w, short* f, short* k) {
    for (; w->f < res_choices(w->dev); w->f++, w->k = 0) {
        short n = res_count(w->dev, w->f, w->kind);
        short end = w->index < 0 ? n : w->index < n ? (short)(w->index + 1) : 0;
        if (w->k < w->index) w->k = w->index;
        if (w->k < end) {
            *f = w->f;
            *k = w->k++;
            return 1;
        }
    }
    return 0;
}

const char* const kind_nouns[] = {"I/O", "IRQ", "DMA", "memory", "32-bit memory"};

// Says in t when there is no descriptor of kind at index in any configuration, and returns 1
// then; 0 when there is one.
short nothing_offered(const RES_DEVICE* dev, short kind, short index, TEXT* t) {
    short most = 0;
    for (short f = 0; f < res_choices(dev); f++) {
        short n = res_count(dev, f, kind);
        if (n > most) most = n;
    }
    if (index < most) return 0;
    if (!most)
        text_add(t, "offers no %s", kind_nouns[kind]);
    else
        text_add(t, "offers only %d %s descriptor%s", most, kind_nouns[kind], most == 1 ? "" : "s");
    return 1;
}

// Ranges of bases: I/O and memory descriptors alike.
struct RANGE {
    unsigned long min, max, align, len;
};

RANGE range_at(const RES_DEVICE* dev, short kind, short f, short k) {
    if (kind == RES_KIND_IO) {
        const RES_IO* io = res_io_at(dev, f, k);
        return {io->min, io->max, io->align, io->len};
    }
    const RES_MEM* m = res_mem_at(dev, kind == RES_KIND_MEM32 ? 32 : 24, f, k);
    return {m->min, m->max, m->align, m->len};
}

short range_has(const RANGE& r, unsigned long v) {
    if (v < r.min || v > r.max) return 0;
    return r.align ? (v - r.min) % r.align == 0 : v == r.min;
}

short same_bases(const RANGE& a, const RANGE& b) {
    if (a.min != b.min || a.max != b.max) return 0;
    return a.min == a.max || a.align == b.align;
}

enum { LISTED_MAX = 16 };  // distinct ranges a text names; more end it with ", ..."

// The fit of value (0: always) to the ranges of kind at index, listed in t after noun with
// digits hexadecimal digits each. *len gets the length of the first range that has it.
short range_fits(const RES_DEVICE* dev, short kind, short index, unsigned long value, int digits,
                 unsigned long* len, TEXT* t) {
    *len = 0;
    short fits = value == 0;
    if (nothing_offered(dev, kind, index, t)) return fits;
    text_add(t, "%s", kind_nouns[kind]);
    RANGE listed[LISTED_MAX];
    short nlisted = 0, more = 0;
    WALK w = {dev, kind, index, 0, 0};
    for (short f, k; walk_next(&w, &f, &k);) {
        RANGE r = range_at(dev, kind, f, k);
        if (!fits && range_has(r, value)) {
            fits = 1;
            *len = r.len;
        }
        short seen = 0;
        for (short i = 0; i < nlisted && !seen; i++) seen = same_bases(listed[i], r);
        if (seen) continue;
        if (nlisted == LISTED_MAX) {
            if (!more++) text_add(t, ", ...");
            continue;
        }
        listed[nlisted] = r;
        text_add(t, "%s 0x%0*lX", nlisted++ ? "," : "", digits, r.min);
        if (r.max != r.min) text_add(t, "-0x%0*lX step 0x%lX", digits, r.max, r.align);
    }
    return fits;
}

unsigned mask_at(const RES_DEVICE* dev, short kind, short f, short k) {
    if (kind == RES_KIND_IRQ) return res_irq_at(dev, f, k)->mask;
    return res_dma_at(dev, f, k)->mask;
}

// The fit of bit number value (none: always) to the masks of kind at index, listed in t.
short mask_fits(const RES_DEVICE* dev, short kind, short index, unsigned value, unsigned none, TEXT* t) {
    short fits = value == none;
    if (nothing_offered(dev, kind, index, t)) return fits;
    unsigned all = 0;
    WALK w = {dev, kind, index, 0, 0};
    for (short f, k; walk_next(&w, &f, &k);) all |= mask_at(dev, kind, f, k);
    if (value < PNP_IRQ_LEVELS && all >> value & 1) fits = 1;  // the wider of the two masks
    text_add(t, "%s", kind_nouns[kind]);
    for (unsigned bit = 0; bit < PNP_IRQ_LEVELS; bit++)
        if (all >> bit & 1) text_add(t, " %u", bit);
    return fits;
}

}  // namespace

short res_decode(const unsigned char* data, long len, RES_CARD* out) {
    memset(out, 0, sizeof *out);
    READER r = {out, nullptr, BEFORE_DEVICE, 0};
    short ended = 0;
    RES_ITEMS items;
    RES_ITEM item;
    res_items_start(&items, data, len);
    while (res_items_next(&items, &item)) {
        if (item.cut) break;  // left out: what it would hold is not there
        if (!item.large && item.name == RES_END)
            ended = 1;
        else if (item.large)
            read_large(&r, item.name, item);
        else
            read_small(&r, item.name, item);
    }
    if (!ended) out->cut = 1;
    if (ended && r.place == IN_FUNCTION) out->malformed = 1;  // no End Dependent Functions
    return !out->cut && !out->malformed;
}

short res_choices(const RES_DEVICE* dev) { return dev->nfunctions ? dev->nfunctions : 1; }

short res_count(const RES_DEVICE* dev, short f, short kind) {
    const RES_SET* sets[3];
    short n = sets_of(dev, f, sets), total = 0;
    for (short i = 0; i < n; i++) total = (short)(total + count_in(sets[i], kind));
    return total;
}

const RES_IO* res_io_at(const RES_DEVICE* dev, short f, short k) {
    short at;
    const RES_SET* set = locate(dev, f, RES_KIND_IO, k, &at);
    return set ? &set->io[at] : nullptr;
}

const RES_IRQ* res_irq_at(const RES_DEVICE* dev, short f, short k) {
    short at;
    const RES_SET* set = locate(dev, f, RES_KIND_IRQ, k, &at);
    return set ? &set->irq[at] : nullptr;
}

const RES_DMA* res_dma_at(const RES_DEVICE* dev, short f, short k) {
    short at;
    const RES_SET* set = locate(dev, f, RES_KIND_DMA, k, &at);
    return set ? &set->dma[at] : nullptr;
}

const RES_MEM* res_mem_at(const RES_DEVICE* dev, short bits, short f, short k) {
    short at;
    const RES_SET* set = locate(dev, f, mem_kind(bits), k, &at);
    if (!set) return nullptr;
    return bits == 32 ? &set->mem32[at] : &set->mem[at];
}

unsigned char res_irq_types(const RES_IRQ* irq) {
    unsigned char types = irq->has_info ? irq->info & RES_IRQ_TYPES : 0;
    return types ? types : (unsigned char)RES_IRQ_HIGH_EDGE;
}

short res_io_fits(const RES_DEVICE* dev, short index, unsigned short base, unsigned short* len, char* text,
                  size_t size) {
    TEXT t = text_start(text, size);
    unsigned long got;
    short fits = range_fits(dev, RES_KIND_IO, index, base, 4, &got, &t);
    if (len) *len = (unsigned short)got;
    return fits;
}

const RES_IO* res_io_allowing(const RES_DEVICE* dev, short index, unsigned short base) {
    if (base == 0) return nullptr;
    WALK w = {dev, RES_KIND_IO, index, 0, 0};
    for (short f, k; walk_next(&w, &f, &k);)
        if (range_has(range_at(dev, RES_KIND_IO, f, k), base)) return res_io_at(dev, f, k);
    return nullptr;
}

short res_irq_fits(const RES_DEVICE* dev, short index, unsigned char level, char* text, size_t size) {
    TEXT t = text_start(text, size);
    return mask_fits(dev, RES_KIND_IRQ, index, level, 0, &t);
}

short res_irq_type_fits(const RES_DEVICE* dev, short index, unsigned char level, unsigned char type,
                        char* text, size_t size) {
    TEXT t = text_start(text, size);
    if (nothing_offered(dev, RES_KIND_IRQ, index, &t)) return 1;
    unsigned char with_level = 0, any = 0;
    WALK w = {dev, RES_KIND_IRQ, index, 0, 0};
    for (short f, k; walk_next(&w, &f, &k);) {
        const RES_IRQ* irq = res_irq_at(dev, f, k);
        any |= res_irq_types(irq);
        if (level < PNP_IRQ_LEVELS && irq->mask >> level & 1) with_level |= res_irq_types(irq);
    }
    unsigned char offered = with_level ? with_level : any, wanted = 0;
    short shown = 0;
    wanted = res_irq_type_of(type)->info;
    for (const RES_IRQ_TYPE& row : res_irq_type_table)
        if (offered & row.info) text_add(&t, "%s%s", shown++ ? " or " : "", row.keywords);
    return level == 0 || (offered & wanted) != 0;
}

short res_dma_fits(const RES_DEVICE* dev, short index, unsigned char channel, char* text, size_t size) {
    TEXT t = text_start(text, size);
    return mask_fits(dev, RES_KIND_DMA, index, channel, PNP_DMA_NONE, &t);
}

short res_mem_fits(const RES_DEVICE* dev, short bits, short index, unsigned long base, unsigned long* len,
                   char* text, size_t size) {
    TEXT t = text_start(text, size);
    unsigned long address = bits == 32 ? base & 0xFFFFFFFFul : (base & 0xFFFFul) << 8;
    unsigned long got;
    short fits = range_fits(dev, mem_kind(bits), index, address, bits == 32 ? 8 : 6, &got, &t);
    if (len) *len = got;
    return fits;
}

const char* res_priority_name(short priority) {
    switch (priority) {
    case RES_FIXED: return "fixed";
    case RES_GOOD: return "good";
    case RES_ACCEPTABLE: return "acceptable";
    case RES_SUBOPTIMAL: return "sub-optimal";
    default: return nullptr;
    }
}
