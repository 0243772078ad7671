// The planner behind --plan: for every logical device of the cards found, one configuration and
// one value for each of its descriptors, so that no two devices share a port, an address, an IRQ
// or a DMA channel, none takes what the host holds, the system board's IRQs and DMA channel, or a
// PnP port; and the VELKOR script that applies it.
//
// The plan places the most devices that can be placed, and proves it: the choice is stated as a
// 0-1 integer program and solved exactly (GLPK). Among the plans that place that many it takes
// the best priorities it finds (good over acceptable over sub-optimal; the fixed resources alone
// count as good; the least sum over the devices, searched within a bound on work that does not
// depend on the machine), and then the lowest values: device by device, a register set takes a
// lower value of its descriptor where only register sets after it are in the way and can move.
// The same cards, host and read port always give the same plan, unless the time limit ends the
// search; past it the plan is the best one found, with the most any plan could place as far as
// was proven.
//
// The search (plan_search) works on RES_CARD data alone and prints nothing; plan_print writes the
// script; run_plan is the whole --plan run on the bus.
#ifndef VELKOR_APP_PLAN_H
#define VELKOR_APP_PLAN_H

#include <cstdio>

#include "pnp/registers.h"
#include "pnp/resource_model.h"
#include "pnp/state.h"

enum PLAN_BOUND {
    PLAN_MAX_CARDS = PNP_MAXCARDS,  // every card of the card table
    PLAN_MAX_DEVICES = PLAN_MAX_CARDS * RES_MAX_DEVICES,
    PLAN_MAX_RESOURCES = PNP_IO_DESCS + PNP_IRQ_DESCS + PNP_DMA_DESCS + PNP_MEM_DESCS + PNP_MEM32_DESCS,
    PLAN_TIME_LIMIT_MS = 5000,  // what --plan gives the search
    PLAN_WHY_SIZE = 160,
};

// What the planner never hands out: the ISA system board's own IRQs (timer 0, keyboard 1,
// the cascade from the second interrupt controller 2, real-time clock 8, coprocessor 13) and
// DMA channel 4 (the cascade from the first DMA controller).
enum : unsigned {
    PLAN_RESERVED_IRQS = 1u << 0 | 1u << 1 | 1u << 2 | 1u << 8 | 1u << 13,
    PLAN_RESERVED_DMAS = 1u << 4,
};

// The kinds of resource, in the order a device's resources are listed.
enum PLAN_KIND { PLAN_IO, PLAN_IRQ, PLAN_DMA, PLAN_MEM, PLAN_MEM32, PLAN_KINDS };

enum PLAN_FLAG {
    PLAN_NOTHING = 0x01,      // the descriptor takes nothing (no length, or no level offered)
    PLAN_DECODES_10 = 0x02,   // I/O: the device decodes 10 address bits (it answers at the aliases)
    PLAN_UPPER_LIMIT = 0x04,  // memory: the card decodes an upper limit (else a range length)
};

// One chosen resource: the value of register set k of its kind.
struct PLAN_RESOURCE {
    short kind;  // PLAN_KIND
    short k;     // its register set: the k-th descriptor of its kind in the configuration
    unsigned long start, end;  // ports or byte addresses, inclusive; an IRQ level or DMA channel twice;
                               // 0 and 0 (PLAN_DMA: PNP_DMA_NONE twice) when it takes nothing
    unsigned char flags;       // PLAN_FLAG
    unsigned char info;        // IRQ: its Interrupt Type register value; memory: the descriptor's
                               // information byte; otherwise 0
};

// One logical device's place in the plan.
struct PLAN_DEVICE {
    short card, device;  // indexes into the cards given and their devices
    short placed;        // 1: res holds its values; 0: not placed, why says the reason
    short active;        // placed and its configuration decodes something: the script activates it
    short function;      // the configuration (res_choices) taken
    short priority;      // its RES_PRIORITY (RES_FIXED for the fixed resources alone)
    short nres;
    PLAN_RESOURCE res[PLAN_MAX_RESOURCES];  // by kind (PLAN_KIND order), then register set
    char why[PLAN_WHY_SIZE];  // not placed: "no 8-bit DMA channel is left (0 1 3 are taken)";
                              // placed but not active: why it is left inactive
};

struct PLAN {
    short ndevices;  // every device of every card, in card and device order
    short placed;
    short most;      // no plan places more than this many (== placed when proven)
    short proven;    // 1: no plan places more devices than this one
    short stopped;   // the time limit (or a signal) ended the search before it proved its plan
    short inexact;   // not proven, as a range offered more places than were tried
    long elapsed_ms;
    PLAN_DEVICE devices[PLAN_MAX_DEVICES];
};

// What a search takes besides the cards.
struct PLAN_SETUP {
    const char* root;          // the host root (host_checks_root(); null: no host to avoid)
    unsigned short read_port;  // the READ_DATA port the cards were isolated with (0: none to avoid)
    long time_limit_ms;        // the search ends after this long (at least 1)
};

// Plans the devices of cards[0..ncards-1] (at most PLAN_MAX_CARDS are taken; the caller names
// any it leaves out). A configuration whose descriptors of a kind outnumber the device's
// registers for them, and a value its register cannot hold, are never chosen. A 24-bit memory
// range ends below 0xFFFF00, so that its upper limit fits its register whichever way the card
// decodes. A range of a device that decodes 10 address bits answers at its aliases too: no
// other planned range, and none of the PnP ports, may fall on them (the host's files are checked
// against the range itself and its alias below 0x400; above that the host's ranges belong to
// devices that claim their addresses before the ISA bus sees them). Every placed device's values
// are in res; every device not placed has a why. Returns 1 when every device is placed, else 0.
// out is large: keep it static.
short plan_search(const RES_CARD* const* cards, short ncards, const PLAN_SETUP* setup, PLAN* out);

// The card a plan was made for, as the script names it.
struct PLAN_CARD_INFO {
    short csn;
    const char* vendor;           // "QXS3201"
    const unsigned char* serial;  // the 9-byte serial identifier
    const RES_CARD* res;
};

// Writes the VELKOR script that applies plan to fp: a header with when (a date) and what was
// proven ("14 of 16 devices placed; no plan places more"), ISOLATE, then per card a comment
// that names it ("# Card 1: CTL00e4 (Creative Technology Ltd), serial number 1DCF64A1, ...", the
// vendor's name as pnp_vendor_name gives it, left out when unknown), PNP_CSN = 0 / DETECT n and
// per placed device its DEVICE lines; a device left inactive gets
// DEVICE SET INACTIVE and a comment with the reason, a device not placed a comment with the
// reason. Returns 1, or 0 when a write failed (fp is not flushed: the caller flushes or closes it).
short plan_print(FILE* fp, const PLAN* plan, const PLAN_CARD_INFO* cards, short ncards, const char* when);

// Every logical device of the cards: those planned, and those past a card's first RES_MAX_DEVICES.
short plan_total_devices(const PLAN* plan, const PLAN_CARD_INFO* cards, short ncards);

// The plan as one JSON document on fp: whether it is proven and how many devices it places, then
// per card its CSN, IDs, names and serial number, and per device whether it is placed and active,
// its configuration and priority, the values of its register sets, and why it is not placed
// (the manual page gives the schema). Returns as json_write.
short plan_print_json(FILE* fp, const PLAN* plan, const PLAN_CARD_INFO* cards, short ncards);

// The --plan run: start-up, isolation, every card loaded and decoded, the plan searched and its
// script printed on standard output, what is not placed named on standard error, clean-up.
// SIGINT, SIGTERM and SIGHUP end it through the clean-up (the cards back in Wait for Key),
// printing no script. With json the plan is printed as one JSON document instead of a script
// (plan_print_json). Returns the exit status: 0 when every device is placed, 1 when not, or
// without port permission, or when output was lost, or when a signal ended it.
int run_plan(short json = 0);
// After run_plan or run_list and the closing of the program's files: when SIGINT, SIGTERM or
// SIGHUP ended the run, the program dies of that signal, as a caller expects of a command it interrupted.
// Otherwise it returns at once.
void plan_die_of_signal();

#endif
