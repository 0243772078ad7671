// velkor --plan --json: the plan as one JSON document.
#include "app/json_out.h"
#include "app/plan.h"
#include "pnp/pnp_ids.h"

namespace {


json_object* resource_json(const PLAN_RESOURCE& r) {
    static const char* const kinds[PLAN_KINDS] = {"io", "irq", "dma", "mem", "mem"};
    json_object* o = json_new_object();
    json_put(o, "type", json_text(kinds[r.kind]));
    if (r.kind == PLAN_MEM || r.kind == PLAN_MEM32) json_put(o, "bits", json_number(r.kind == PLAN_MEM ? 24 : 32));
    json_put(o, "register", json_number(r.k));
    if (r.flags & PLAN_NOTHING) {
        json_put(o, "unused", json_flag(1));
        return o;
    }
    switch (r.kind) {
    case PLAN_IRQ:
        json_put(o, "irq", json_number((long long)r.start));
        json_put(o, "polarity", json_text((r.info & PNP_IRQ_HIGH) ? "high" : "low"));
        json_put(o, "trigger", json_text((r.info & PNP_IRQ_LEVEL_TRIGGERED) ? "level" : "edge"));
        break;
    case PLAN_DMA: json_put(o, "channel", json_number((long long)r.start)); break;
    default:
        json_put(o, "start", json_number((long long)r.start));
        json_put(o, "end", json_number((long long)r.end));
        if (r.kind == PLAN_IO)
            json_put(o, "decode_bits", json_number((r.flags & PLAN_DECODES_10) ? 10 : 16));
        else
            json_put(o, "upper_limit", json_flag((r.flags & PLAN_UPPER_LIMIT) ? 1 : 0));
        break;
    }
    return o;
}

json_object* device_json(const PLAN_DEVICE* p, const RES_DEVICE* dev) {
    json_object* o = json_new_object();
    json_put(o, "number", json_number(p->device));
    json_put(o, "id", json_text(dev->idtext));
    json_put(o, "name", json_text(dev->name, 1));
    json_put(o, "placed", json_flag(p->placed));
    json_put(o, "active", json_flag(p->placed && p->active));
    json_put(o, "function", p->placed && p->priority != RES_FIXED ? json_number(p->function) : nullptr);
    const char* word = res_priority_name(p->priority);
    json_put(o, "priority", !p->placed ? nullptr : word ? json_text(word) : json_number(p->priority));
    json_object* res = json_new_array();
    for (short r = 0; p->placed && r < p->nres; r++) json_push(res, resource_json(p->res[r]));
    json_put(o, "resources", res);
    const char* why = p->why[0]                 ? p->why
                      : p->placed && !p->active ? "its configuration decodes nothing"
                                                : nullptr;
    json_put(o, "why", json_text(why));
    return o;
}

}  // namespace

short plan_print_json(FILE* fp, const PLAN* plan, const PLAN_CARD_INFO* cards, short ncards) {
    short total = plan_total_devices(plan, cards, ncards);
    json_object* doc = json_new_object();
    json_put(doc, "proven", json_flag(plan->proven));
    json_put(doc, "stopped", json_flag(plan->stopped));
    json_put(doc, "devices", json_number(total));
    json_put(doc, "placed", json_number(plan->placed));
    json_put(doc, "most", json_number(plan->most + (total - plan->ndevices)));
    json_object* arr = json_new_array();
    short e = 0;
    for (short c = 0; c < ncards; c++) {
        const PLAN_CARD_INFO* ci = &cards[c];
        char serial[9];
        snprintf(serial, sizeof serial, "%08lX", serialnum_PNP(ci->serial));
        json_object* card = json_new_object();
        json_put(card, "csn", json_number(ci->csn));
        json_put(card, "vendor_id", json_text(ci->vendor));
        json_put(card, "vendor_name", json_text(pnp_vendor_name(ci->vendor)));
        json_put(card, "serial_number", json_text(serial));
        json_put(card, "name", json_text(ci->res->name, 1));
        json_object* devs = json_new_array();
        for (; e < plan->ndevices && plan->devices[e].card == c; e++) {
            const PLAN_DEVICE* p = &plan->devices[e];
            json_push(devs, device_json(p, &ci->res->devices[p->device]));
        }
        char first_devices[64];
        snprintf(first_devices, sizeof first_devices, "the planner takes a card's first %d logical devices",
                 RES_MAX_DEVICES);
        for (short k = ci->res->ndevices; k < ci->res->devices_seen; k++) {
            json_object* o = json_new_object();
            json_put(o, "number", json_number(k));
            json_put(o, "id", nullptr);
            json_put(o, "placed", json_flag(0));
            json_put(o, "why", json_text(first_devices));
            json_push(devs, o);
        }
        json_put(card, "devices", devs);
        json_push(arr, card);
    }
    json_put(doc, "cards", arr);
    return json_write(fp, doc);
}
