// velkor --list: the cards and their devices, read from the bus or the kernel, as text or JSON.
#include "app/list.h"

#include <cerrno>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "app/application.h"
#include "app/host_checks.h"
#include "app/json_out.h"
#include "pnp/pnp_ids.h"
#include "pnp/registers.h"
#include "shell/lost_output.h"
#include "shell/signals.h"

namespace {

// A copy of text that is safe to print: control characters as '?'; other bytes as they are
// (the JSON writer makes the document valid UTF-8 on its own).
void copy_printable(char* dst, size_t n, const char* src) {
    size_t k = 0;
    for (; src[k] && k + 1 < n; k++) {
        unsigned char c = (unsigned char)src[k];
        dst[k] = c < 0x20 || c == 0x7F ? '?' : (char)c;
    }
    dst[k] = 0;
}

// A new resource of d, or null when d holds LIST_MAX_RES already (then it is counted in
// res_more). From the bus there is one a register set, which always fits.
LIST_RES* add_res(LIST_DEVICE* d, short kind, unsigned long start, unsigned long end) {
    if (d->nres >= LIST_MAX_RES) {
        if (d->res_more < 0x7FFF) d->res_more++;
        return nullptr;
    }
    LIST_RES& r = d->res[d->nres++];
    memset(&r, 0, sizeof r);
    r.kind = kind;
    r.start = start;
    r.end = end >= start ? end : start;
    return &r;
}

// The values of the register sets of a device read from the bus, with their ranges' lengths
// from the descriptors that allow them.
void device_from_registers(LIST_DEVICE* d, const DEVICE_TYP* regs, const RES_DEVICE* model) {
    d->active = (regs->activate & PNP_ACTIVATE_ON) ? 1 : 0;
    for (short k = 0; k < PNP_IO_DESCS; k++) {
        unsigned short base = regs->io[k];
        if (!base) continue;
        const RES_IO* io = model ? res_io_allowing(model, k, base) : nullptr;
        add_res(d, LIST_IO, base, io && io->len ? (unsigned long)base + io->len - 1 : base);
    }
    for (short k = 0; k < PNP_MEM_DESCS; k++) {
        const MEM_DESC& m = regs->mem[k];
        if (!m.base) continue;
        unsigned long start = (unsigned long)m.base << 8, limit = (unsigned long)m.limit << 8;
        unsigned long end = (m.control & PNP_MEM_UPPER_LIMIT) ? limit - 1 : start + limit - 1;
        LIST_RES* r = add_res(d, LIST_MEM, start, limit ? end : start);
        if (r) r->bits = 24;
    }
    for (short k = 0; k < PNP_MEM32_DESCS; k++) {
        const MEM32_DESC& m = regs->mem32[k];
        if (!m.base) continue;
        unsigned long end = (m.control & PNP_MEM_UPPER_LIMIT) ? m.limit : m.base + m.limit - 1;
        LIST_RES* r = add_res(d, LIST_MEM, m.base, m.limit ? end : m.base);
        if (r) r->bits = 32;
    }
    for (short k = 0; k < PNP_IRQ_DESCS; k++) {
        unsigned char level = regs->irq[k].level & PNP_IRQ_LEVEL_MASK;
        if (!level) continue;
        LIST_RES* r = add_res(d, LIST_IRQ, level, level);
        if (r) {
            r->has_type = 1;
            r->type = regs->irq[k].type;
        }
    }
    for (short k = 0; k < PNP_DMA_DESCS; k++) {
        unsigned char channel = regs->dma[k] & PNP_DMA_CHANNEL_MASK;
        if (channel == PNP_DMA_NONE) continue;
        add_res(d, LIST_DMA, channel, channel);
    }
}

// The ID given matches id, without case.
short id_is(const char* id, const char* given) { return strcasecmp(id, given) == 0; }

short device_matches(const LIST_DEVICE& d, const char* const* ids, short nids) {
    for (short i = 0; i < nids; i++) {
        if (id_is(d.id, ids[i])) return 1;
        for (short c = 0; c < d.ncompat; c++)
            if (id_is(d.compat[c], ids[i])) return 1;
    }
    return 0;
}

// ---- the kernel's view ----

// The number at *p (hex after 0x, else decimal) into *v, *p moved past it. 1, or 0.
short parse_number(const char** p, unsigned long* v) {
    char* end;
    errno = 0;
    unsigned long n = strtoul(*p, &end, 0);
    if (end == *p || errno) return 0;
    *v = n;
    *p = end;
    return 1;
}

// A line of a device's id file: the first is its ID, the others its compatible IDs.
void id_line(const char* text, void* ctx) {
    LIST_DEVICE* d = (LIST_DEVICE*)ctx;
    if (!d->id[0]) {
        copy_printable(d->id, sizeof d->id, text);
    } else if (d->ncompat < RES_MAX_COMPAT) {
        copy_printable(d->compat[d->ncompat++], sizeof d->compat[0], text);
    } else {
        d->compat_more++;
    }
}

// A line of a device's resources file: "state = active", or "KIND START[-END] [flags]" with
// KIND io, mem, irq or dma; a resource the kernel marks disabled, and any other line, is left out.
void resources_line(const char* text, void* ctx) {
    LIST_DEVICE* d = (LIST_DEVICE*)ctx;
    if (strncmp(text, "state", 5) == 0) {
        d->active = strstr(text, "active") != nullptr;
        return;
    }
    static const struct {
        const char* word;
        short kind;
    } kinds[] = {{"io ", LIST_IO}, {"mem ", LIST_MEM}, {"irq ", LIST_IRQ}, {"dma ", LIST_DMA}};
    for (const auto& k : kinds) {
        size_t n = strlen(k.word);
        if (strncmp(text, k.word, n) != 0) continue;
        const char* p = text + n;
        unsigned long start, end;
        if (strstr(p, "disabled") || !parse_number(&p, &start)) return;
        end = start;
        if (*p == '-' && (++p, !parse_number(&p, &end))) return;
        add_res(d, k.kind, start, end);
        return;
    }
}

// ---- text ----

// The IRQ type words of an Interrupt Type register value, "high edge".
const char* irq_type_words(unsigned char type) {
    static const char* const words[] = {"low edge", "low level", "high edge", "high level"};
    return words[type & (PNP_IRQ_HIGH | PNP_IRQ_LEVEL_TRIGGERED)];
}

// Appends printf-style text to buf (n bytes), cut to fit.
void append(char* buf, size_t n, const char* fmt, ...) __attribute__((format(printf, 3, 4)));
void append(char* buf, size_t n, const char* fmt, ...) {
    size_t len = strlen(buf);
    if (len + 1 >= n) return;
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(buf + len, n - len, fmt, ap);
    va_end(ap);
}

enum { LINE_SIZE = 2048 };

void resource_text(const LIST_RES& r, char* buf, size_t n) {
    buf[0] = 0;
    switch (r.kind) {
    case LIST_IO:
    case LIST_MEM:
        append(buf, n, "%s 0x%lx", r.kind == LIST_IO ? "io" : "mem", r.start);
        if (r.end != r.start) append(buf, n, "-0x%lx", r.end);
        break;
    case LIST_IRQ:
        append(buf, n, "irq %lu", r.start);
        if (r.has_type) append(buf, n, " (%s)", irq_type_words(r.type));
        break;
    default: append(buf, n, "dma %lu", r.start); break;
    }
}

// The levels or channels of a mask, " 5 7 9 10", or " none".
void mask_text(char* buf, size_t n, unsigned mask, short count) {
    short any = 0;
    for (short v = 0; v < count; v++)
        if (mask & (1u << v)) {
            append(buf, n, " %d", v);
            any = 1;
        }
    if (!any) append(buf, n, " none");
}

// What a set of descriptors allows, ", "-separated: "io 0x220-0x280 step 0x20 len 16, irq 5 7 9 10".
void set_text(const RES_SET& set, char* buf, size_t n) {
    const char* sep = "";
    for (short k = 0; k < set.nio; k++, sep = ", ") {
        const RES_IO& io = set.io[k];
        append(buf, n, "%sio 0x%x", sep, io.min);
        if (io.max != io.min && io.align) append(buf, n, "-0x%x step 0x%x", io.max, io.align);
        append(buf, n, " len %u", io.len);
    }
    for (short bits = 24; bits <= 32; bits += 8) {
        const RES_MEM* mem = bits == 24 ? set.mem : set.mem32;
        short count = bits == 24 ? set.nmem : set.nmem32;
        for (short k = 0; k < count; k++, sep = ", ") {
            append(buf, n, "%smem 0x%lx", sep, mem[k].min);
            if (mem[k].max != mem[k].min && mem[k].align)
                append(buf, n, "-0x%lx step 0x%lx", mem[k].max, mem[k].align);
            append(buf, n, " len 0x%lx", mem[k].len);
        }
    }
    for (short k = 0; k < set.nirq; k++, sep = ", ") {
        append(buf, n, "%sirq", sep);
        mask_text(buf, n, set.irq[k].mask, PNP_IRQ_LEVELS);
        unsigned char types = res_irq_types(&set.irq[k]);
        if (types != RES_IRQ_HIGH_EDGE) {
            const char* tsep = " (";
            for (short t = 0; t < RES_IRQ_TYPE_COUNT; t++)
                if (types & res_irq_type_table[t].info) {
                    append(buf, n, "%s%s", tsep, irq_type_words(res_irq_type_table[t].type));
                    tsep = ", ";
                }
            append(buf, n, ")");
        }
    }
    for (short k = 0; k < set.ndma; k++, sep = ", ") {
        append(buf, n, "%sdma", sep);
        mask_text(buf, n, set.dma[k].mask, PNP_DMA_CHANNELS);
    }
}

short set_is_empty(const RES_SET& s) { return s.nio + s.nmem + s.nmem32 + s.nirq + s.ndma == 0; }


void print_options(FILE* fp, const RES_DEVICE* m) {
    char line[LINE_SIZE];
    if (!set_is_empty(m->common) || !set_is_empty(m->after)) {
        line[0] = 0;
        set_text(m->common, line, sizeof line);
        if (line[0] && !set_is_empty(m->after)) append(line, sizeof line, ", ");
        set_text(m->after, line, sizeof line);
        fprintf(fp, "\t\tFixed: %s\n", line);
    }
    for (short f = 0; f < m->nfunctions; f++) {
        line[0] = 0;
        set_text(m->functions[f], line, sizeof line);
        char how[24];
        const char* word = res_priority_name(m->functions[f].priority);
        if (word)
            snprintf(how, sizeof how, "%s", word);
        else
            snprintf(how, sizeof how, "priority %d", m->functions[f].priority);
        fprintf(fp, "\t\tFunction %d (%s): %s\n", f, how, line[0] ? line : "nothing");
    }
    if (m->functions_seen > m->nfunctions)
        fprintf(fp, "\t\t(%d more dependent functions not read)\n", m->functions_seen - m->nfunctions);
}

// The lines of the kernel's options file of a device, for -v.
struct OPTION_LINES {
    FILE* fp;
    json_object* arr;
};
void option_line(const char* text, void* ctx) {
    OPTION_LINES* o = (OPTION_LINES*)ctx;
    if (o->fp) fprintf(o->fp, "\t\t\t%s\n", text);
    if (o->arr) json_push(o->arr, json_text(text));
}
enum { OPTION_LINES_MAX = 256 };

void print_device(FILE* fp, const LIST_DEVICE& d, short verbose, const char* root) {
    fprintf(fp, "\tDevice %d", d.number);
    if (d.id[0]) fprintf(fp, ": %s", d.id);
    if (d.name[0]) fprintf(fp, " \"%s\"", d.name);
    fputc('\n', fp);
    if (d.ncompat) {
        fputs("\t\tCompatible IDs:", fp);
        for (short c = 0; c < d.ncompat; c++) fprintf(fp, " %s", d.compat[c]);
        if (d.compat_more) fputs(" ...", fp);
        fputc('\n', fp);
    }
    if (!d.unknown) {
        fprintf(fp, "\t\tActive: %s\n", d.active ? "yes" : "no");
        fputs("\t\tResources:", fp);
        char text[64];
        for (short r = 0; r < d.nres; r++) {
            resource_text(d.res[r], text, sizeof text);
            fprintf(fp, "%s %s", r ? "," : "", text);
        }
        if (d.res_more) fprintf(fp, "%s %d more not read", d.nres ? "," : "", d.res_more);
        fputs(d.nres || d.res_more ? "\n" : " none\n", fp);
    }
    if (d.driver[0]) fprintf(fp, "\t\tKernel driver in use: %s\n", d.driver);
    if (verbose && d.model) print_options(fp, d.model);
    if (verbose && d.entry[0] && root) {
        fputs("\t\tOptions (from the kernel):\n", fp);
        OPTION_LINES o = {fp, nullptr};
        if (kernel_pnp_device_lines(root, d.entry, "options", option_line, &o, OPTION_LINES_MAX) <= 0)
            fputs("\t\t\tnone known\n", fp);
    }
}

// ---- JSON ----

json_object* resource_json(const LIST_RES& r) {
    json_object* o = json_new_object();
    static const char* const kinds[] = {"io", "mem", "irq", "dma"};
    json_put(o, "type", json_text(kinds[r.kind]));
    switch (r.kind) {
    case LIST_IO:
    case LIST_MEM:
        json_put(o, "start", json_number((long long)r.start));
        json_put(o, "end", json_number((long long)r.end));
        if (r.kind == LIST_MEM && r.bits) json_put(o, "bits", json_number(r.bits));
        break;
    case LIST_IRQ:
        json_put(o, "irq", json_number((long long)r.start));
        if (r.has_type) {
            json_put(o, "polarity", json_text((r.type & PNP_IRQ_HIGH) ? "high" : "low"));
            json_put(o, "trigger", json_text((r.type & PNP_IRQ_LEVEL_TRIGGERED) ? "level" : "edge"));
        }
        break;
    default: json_put(o, "channel", json_number((long long)r.start)); break;
    }
    return o;
}

json_object* mask_json(unsigned mask, short count) {
    json_object* a = json_new_array();
    for (short v = 0; v < count; v++)
        if (mask & (1u << v)) json_push(a, json_number(v));
    return a;
}

// What one set's descriptors allow, as an array of objects.
void set_json(json_object* arr, const RES_SET& set) {
    for (short k = 0; k < set.nio; k++) {
        const RES_IO& io = set.io[k];
        json_object* o = json_new_object();
        json_put(o, "type", json_text("io"));
        json_put(o, "min", json_number(io.min));
        json_put(o, "max", json_number(io.max));
        json_put(o, "step", json_number(io.align));
        json_put(o, "length", json_number(io.len));
        json_put(o, "decode_bits", json_number((io.info & RES_IO_16BIT_DECODE) ? 16 : 10));
        json_push(arr, o);
    }
    for (short bits = 24; bits <= 32; bits += 8) {
        const RES_MEM* mem = bits == 24 ? set.mem : set.mem32;
        short count = bits == 24 ? set.nmem : set.nmem32;
        for (short k = 0; k < count; k++) {
            json_object* o = json_new_object();
            json_put(o, "type", json_text("mem"));
            json_put(o, "bits", json_number(bits));
            json_put(o, "min", json_number((long long)mem[k].min));
            json_put(o, "max", json_number((long long)mem[k].max));
            json_put(o, "step", json_number((long long)mem[k].align));
            json_put(o, "length", json_number((long long)mem[k].len));
            json_push(arr, o);
        }
    }
    for (short k = 0; k < set.nirq; k++) {
        json_object* o = json_new_object();
        json_put(o, "type", json_text("irq"));
        json_put(o, "irqs", mask_json(set.irq[k].mask, PNP_IRQ_LEVELS));
        json_object* types = json_new_array();
        unsigned char offered = res_irq_types(&set.irq[k]);
        for (short t = 0; t < RES_IRQ_TYPE_COUNT; t++)
            if (offered & res_irq_type_table[t].info) json_push(types, json_text(irq_type_words(res_irq_type_table[t].type)));
        json_put(o, "types", types);
        json_push(arr, o);
    }
    for (short k = 0; k < set.ndma; k++) {
        json_object* o = json_new_object();
        json_put(o, "type", json_text("dma"));
        json_put(o, "channels", mask_json(set.dma[k].mask, PNP_DMA_CHANNELS));
        json_push(arr, o);
    }
}

json_object* options_json(const RES_DEVICE* m) {
    json_object* o = json_new_object();
    json_object* fixed = json_new_array();
    set_json(fixed, m->common);
    set_json(fixed, m->after);
    json_put(o, "fixed", fixed);
    json_object* functions = json_new_array();
    for (short f = 0; f < m->nfunctions; f++) {
        json_object* fo = json_new_object();
        const char* word = res_priority_name(m->functions[f].priority);
        json_put(fo, "priority", word ? json_text(word) : json_number(m->functions[f].priority));
        json_object* res = json_new_array();
        set_json(res, m->functions[f]);
        json_put(fo, "resources", res);
        json_push(functions, fo);
    }
    json_put(o, "functions", functions);
    return o;
}

json_object* device_json(const LIST_DEVICE& d, short verbose, const char* root) {
    json_object* o = json_new_object();
    json_put(o, "number", json_number(d.number));
    json_put(o, "id", json_text(d.id, 1));
    json_object* compat = json_new_array();
    for (short c = 0; c < d.ncompat; c++) json_push(compat, json_text(d.compat[c]));
    json_put(o, "compatible_ids", compat);
    json_put(o, "name", json_text(d.name, 1));
    json_put(o, "active", d.unknown ? nullptr : json_flag(d.active));
    json_object* res = d.unknown ? nullptr : json_new_array();
    for (short r = 0; res && r < d.nres; r++) json_push(res, resource_json(d.res[r]));
    json_put(o, "resources", res);
    if (d.res_more) json_put(o, "resources_not_read", json_number(d.res_more));
    json_put(o, "driver", json_text(d.driver, 1));
    if (verbose && d.model) json_put(o, "options", options_json(d.model));
    if (verbose && d.entry[0] && root) {
        json_object* options = json_new_object();
        json_object* lines = json_new_array();
        OPTION_LINES ol = {nullptr, lines};
        kernel_pnp_device_lines(root, d.entry, "options", option_line, &ol, OPTION_LINES_MAX);
        json_put(options, "kernel", lines);
        json_put(o, "options", options);
    }
    return o;
}

}  // namespace

void list_from_bus(const BUS_CARD* cards, short ncards, LIST* out) {
    memset(out, 0, sizeof *out);
    out->source = LIST_FROM_BUS;
    for (short c = 0; c < ncards && out->ncards < LIST_MAX_CARDS; c++) {
        const CARD_TYP* card = cards[c].card;
        const RES_CARD* res = cards[c].res;
        LIST_CARD& lc = out->cards[out->ncards++];
        lc.number = cards[c].csn;
        copy_printable(lc.vendor, sizeof lc.vendor, card->vendor);
        snprintf(lc.serial, sizeof lc.serial, "%08lX", serialnum_PNP(card->serial));
        copy_printable(lc.name, sizeof lc.name, res->name);
        for (short d = 0; d < card->ndevs; d++) {
            if (lc.ndevs >= LIST_MAX_DEVICES) {
                lc.devs_more++;
                continue;
            }
            LIST_DEVICE& ld = lc.devs[lc.ndevs++];
            const RES_DEVICE* model = d < res->ndevices ? &res->devices[d] : nullptr;
            ld.number = card->devs[d].number;
            copy_printable(ld.id, sizeof ld.id, card->devs[d].id);
            if (model) {
                copy_printable(ld.name, sizeof ld.name, model->name);
                for (short k = 0; k < model->ncompat; k++)
                    copy_printable(ld.compat[k], sizeof ld.compat[k], model->compat[k]);
                ld.ncompat = model->ncompat;
                ld.compat_more = (short)(model->compat_seen - model->ncompat);
                ld.model = model;
            }
            device_from_registers(&ld, &card->devs[d], model);
        }
    }
}

short list_from_kernel(const char* root, LIST* out) {
    static KERNEL_PNP k;
    memset(out, 0, sizeof *out);
    out->source = LIST_FROM_KERNEL;
    if (!root || !kernel_pnp_read(root, &k)) return 0;
    out->cards_more = (short)(k.ncards - k.kept);
    for (short c = 0; c < k.kept && out->ncards < LIST_MAX_CARDS; c++) {
        const KERNEL_PNP_CARD& kc = k.cards[c];
        LIST_CARD& lc = out->cards[out->ncards++];
        lc.number = kc.number;
        lc.devs_more = kc.devs_more;
        if (kc.has_id) copy_printable(lc.vendor, sizeof lc.vendor, kc.id);
        copy_printable(lc.name, sizeof lc.name, kc.name);
        for (short d = 0; d < kc.ndevs && lc.ndevs < LIST_MAX_DEVICES; d++) {
            const KERNEL_PNP_DEVICE& kd = kc.devs[d];
            LIST_DEVICE& ld = lc.devs[lc.ndevs++];
            ld.number = kd.number;
            copy_printable(ld.driver, sizeof ld.driver, kd.driver);
            copy_printable(ld.entry, sizeof ld.entry, kd.name);
            if (k.source != KPNP_SYSFS) {
                ld.unknown = 1;
                continue;
            }
            if (kernel_pnp_device_lines(root, kd.name, "id", id_line, &ld, 1 + RES_MAX_COMPAT + 1) < 1)
                copy_printable(ld.id, sizeof ld.id, kd.id);
            if (kernel_pnp_device_lines(root, kd.name, "resources", resources_line, &ld, 64) < 0) ld.unknown = 1;
        }
    }
    return k.ncards;
}

short list_narrow(LIST* list, const char* const* ids, short nids) {
    if (nids <= 0) return list->ncards;
    short kept = 0;
    for (short c = 0; c < list->ncards; c++) {
        LIST_CARD& card = list->cards[c];
        short whole = 0;
        for (short i = 0; i < nids; i++) whole = whole || id_is(card.vendor, ids[i]);
        if (!whole) {
            short n = 0;
            for (short d = 0; d < card.ndevs; d++)
                if (device_matches(card.devs[d], ids, nids)) {
                    if (n != d) card.devs[n] = card.devs[d];
                    n++;
                }
            card.ndevs = n;
            card.devs_more = 0;
            if (n == 0) continue;
        }
        if (kept != c) list->cards[kept] = card;
        kept++;
    }
    list->ncards = kept;
    return kept;
}

short list_print(FILE* fp, const LIST* list, short verbose, const char* root) {
    for (short c = 0; c < list->ncards; c++) {
        const LIST_CARD& card = list->cards[c];
        if (c) fputc('\n', fp);
        fprintf(fp, "Card %d", card.number);
        if (card.vendor[0]) fprintf(fp, ": %s", card.vendor);
        if (card.name[0]) fprintf(fp, " \"%s\"", card.name);
        fputc('\n', fp);
        const char* vendor = pnp_vendor_name(card.vendor);
        if (vendor) fprintf(fp, "\tVendor: %s\n", vendor);
        if (card.serial[0]) fprintf(fp, "\tSerial number: %s\n", card.serial);
        for (short d = 0; d < card.ndevs; d++) print_device(fp, card.devs[d], verbose, root);
        if (card.devs_more) fprintf(fp, "\t(%d more logical devices not read)\n", card.devs_more);
    }
    return ferror(fp) ? 0 : 1;
}

short list_print_json(FILE* fp, const LIST* list, short verbose, const char* root) {
    json_object* doc = json_new_object();
    json_put(doc, "source", json_text(list->source == LIST_FROM_KERNEL ? "kernel" : "bus"));
    json_object* cards = json_new_array();
    for (short c = 0; c < list->ncards; c++) {
        const LIST_CARD& card = list->cards[c];
        json_object* o = json_new_object();
        json_put(o, "csn", json_number(card.number));
        json_put(o, "vendor_id", json_text(card.vendor, 1));
        json_put(o, "vendor_name", json_text(pnp_vendor_name(card.vendor)));
        json_put(o, "serial_number", json_text(card.serial, 1));
        json_put(o, "name", json_text(card.name, 1));
        json_object* devs = json_new_array();
        for (short d = 0; d < card.ndevs; d++) json_push(devs, device_json(card.devs[d], verbose, root));
        json_put(o, "devices", devs);
        if (card.devs_more) json_put(o, "devices_not_read", json_number(card.devs_more));
        json_push(cards, o);
    }
    json_put(doc, "cards", cards);
    if (list->cards_more) json_put(doc, "cards_not_read", json_number(list->cards_more));
    return json_write(fp, doc);
}

int run_list(short verbose, short json, const char* const* ids, short nids) {
    static LIST list;
    install_signals();
    const char* root = host_checks_root();
    short unloaded = 0;
    if (list_from_kernel(root, &list) > 0) {
        // Isolating would give the kernel's cards new CSNs behind its back: no port is touched.
        fprintf(stderr,
                "velkor: list: the kernel's ISA PnP driver manages the cards; this is what it shows "
                "(no port was touched)\n");
        if (list.cards_more)
            fprintf(stderr, "velkor: list: the kernel shows %d more cards than the first %d listed\n",
                    list.cards_more, list.ncards);
    } else {
        BUS_CARD cards[LIST_MAX_CARDS];
        const BUS_RUN run = {"list", "nothing listed", "listed as read"};
        short ncards = load_bus_cards(&run, cards, LIST_MAX_CARDS, &unloaded);
        if (ncards < 0) {
            clean_APP();
            return 1;
        }
        list_from_bus(cards, ncards, &list);
        clean_APP();  // the cards are back in Wait for Key before anything is printed
    }
    short status = unloaded ? 1 : 0;
    if (list_narrow(&list, ids, nids) == 0 && nids > 0) {
        fprintf(stderr, "velkor: list: no card or device matches");
        for (short i = 0; i < nids; i++) fprintf(stderr, " %s", ids[i]);
        fputc('\n', stderr);
        status = 1;
    }
    short written = json ? list_print_json(stdout, &list, verbose, root) : list_print(stdout, &list, verbose, root);
    if (sig_pending() || !written) status = 1;
    return status;
}
