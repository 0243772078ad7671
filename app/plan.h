// The planner behind --plan: one configuration and one value for every descriptor of every
// logical device of the cards found, none overlapping another device's or the host's, and the
// VELKOR script that applies it.
//
// The search (plan_search) works on RES_CARD data alone and prints nothing; plan_print writes
// the script; run_plan is the whole --plan run on the bus.
#ifndef VELKOR_APP_PLAN_H
#define VELKOR_APP_PLAN_H

#include <cstdio>

#include "pnp/registers.h"
#include "pnp/resource_model.h"

enum PLAN_BOUND {
    PLAN_MAX_CARDS = 16,
    PLAN_MAX_DEVICES = PLAN_MAX_CARDS * RES_MAX_DEVICES,
    PLAN_STEP_BOUND = 2000000,  // value assignments tried before the search gives up
    PLAN_WHY_SIZE = 160,
};

// What the planner never hands out: the ISA system board's own IRQs (timer 0, keyboard 1,
// the cascade from the second interrupt controller 2, real-time clock 8, coprocessor 13) and
// DMA channel 4 (the cascade from the first DMA controller).
enum : unsigned {
    PLAN_RESERVED_IRQS = 1u << 0 | 1u << 1 | 1u << 2 | 1u << 8 | 1u << 13,
    PLAN_RESERVED_DMAS = 1u << 4,
};

// One logical device's place in the plan. Values are what the registers take in register order:
// an I/O base (0: the descriptor takes no ports), an IRQ level (0: none) and type (PNP_IRQ_HIGH,
// PNP_IRQ_LEVEL_TRIGGERED), a DMA channel (PNP_DMA_NONE: none), memory as byte addresses and
// byte counts (base 0: none).
struct PLAN_DEVICE {
    short card, device;  // indexes into the cards given and their devices
    short placed;        // 1: the values below hold; 0: not placed, why says the reason
    short function;      // the configuration (res_choices) taken
    short priority;      // its RES_PRIORITY (RES_FIXED for the fixed resources alone)
    unsigned short io[PNP_IO_DESCS], iolen[PNP_IO_DESCS];
    short nio;
    unsigned char irq[PNP_IRQ_DESCS], irqtype[PNP_IRQ_DESCS];
    short nirq;
    unsigned char dma[PNP_DMA_DESCS];
    short ndma;
    unsigned long mem[PNP_MEM_DESCS], memlen[PNP_MEM_DESCS];
    unsigned char meminfo[PNP_MEM_DESCS];
    short memupper[PNP_MEM_DESCS];  // the card decodes an upper limit (else a range length)
    short nmem;
    unsigned long mem32[PNP_MEM32_DESCS], mem32len[PNP_MEM32_DESCS];
    unsigned char mem32info[PNP_MEM32_DESCS];
    short mem32upper[PNP_MEM32_DESCS];
    short nmem32;
    char why[PLAN_WHY_SIZE];  // "no 8-bit DMA channel is left (0 1 3 are taken)"
};

struct PLAN {
    short ndevices;  // every device of every card, in card and device order
    short placed;
    long steps;     // value assignments tried
    short stopped;  // the search reached its bound: the plan is the best partial one found
    PLAN_DEVICE devices[PLAN_MAX_DEVICES];
};

// Plans the devices of cards[0..ncards-1] (at most PLAN_MAX_CARDS are taken). root is the host
// root (host_checks_root(); null: no host to avoid), bound the most steps to try. Depth-first
// over the devices in card and device order; a device's configurations are tried best priority
// first (the fixed resources alone count as good), each descriptor's values lowest first, and a
// device is left unplaced only when the others cannot all be placed. So the first complete plan
// in that order is found whenever one exists, and otherwise one placing as many devices as
// possible. The same cards and host always give the same plan. Past bound steps the best
// partial plan found is returned, with stopped set. memupper and mem32upper are set from the
// descriptors' information byte (a caller with the card's registers may correct them).
// Returns plan->placed == plan->ndevices. out is about 100 KB: keep it static.
short plan_search(const RES_CARD* const* cards, short ncards, const char* root, long bound, PLAN* out);

// The card a plan was made for, as the script names it.
struct PLAN_CARD_INFO {
    short csn;
    const char* vendor;           // "QXS3201"
    const unsigned char* serial;  // the 9-byte serial identifier
    const RES_CARD* res;
};

// Writes the VELKOR script that applies plan to fp: a header with when text (a date), ISOLATE,
// then per card PNP_CSN = 0 / DETECT n and per placed device its DEVICE lines; a device not
// placed has a comment with the reason. Returns 1, or 0 when a write failed.
short plan_print(FILE* fp, const PLAN* plan, const PLAN_CARD_INFO* cards, short ncards, const char* when);

// The --plan run: start-up, isolation, every card loaded and decoded, the plan searched and its
// script printed on standard output, the devices not placed named on standard error, clean-up.
// Returns the exit status: 0 when every device is placed, 1 when not, or without port
// permission, or when output was lost.
int run_plan();

#endif
