// The cards of the bus for the runs that have no shell (--plan, --list): start-up, isolation, and
// every card loaded and its resource data read into the resource model.
#ifndef VELKOR_APP_BUS_CARDS_H
#define VELKOR_APP_BUS_CARDS_H

#include "pnp/resource_model.h"
#include "pnp/state.h"

// One card read: its record in the card table and its resource model.
struct BUS_CARD {
    short csn;
    const CARD_TYP* card;  // its record (valid until clean_APP)
    const RES_CARD* res;
};

// How a run names itself in its messages: who ("plan"), what it did not do without permission
// ("nothing planned"), and the words for a card taken as it was read ("planned as read").
struct BUS_RUN {
    const char* who;
    const char* nothing;
    const char* as_read;
};

// Starts the PnP layer (init_APP), says what the kernel manages (warn_kernel_pnp_once), isolates
// the cards with their configuration kept (Config Control: reset CSN only), and loads every card
// isolated, at most max, into cards[], saving each with --save-cards. Returns the count of cards
// read; 0 when none answered ("velkor: WHO: no cards found"); -1 when the run cannot go on: no
// permission for the PnP ports ("velkor: WHO: no permission for the PnP ports, NOTHING"), a
// failed start-up, or a signal. *unloaded gets the count of cards that answered isolation but
// could not be loaded, each said on standard error and left out; a card whose resource data is
// cut or malformed is kept as read and said so. The resource models are static: one run at a
// time. The caller ends the run with clean_APP.
short load_bus_cards(const BUS_RUN* run, BUS_CARD* cards, short max, short* unloaded);

#endif
