// The cards of the bus for --plan and --list: isolated, loaded, read into the resource model.
#include "app/bus_cards.h"

#include <cstdio>

#include "app/application.h"
#include "app/device_config.h"
#include "app/host_checks.h"
#include "app/save_cards.h"
#include "pnp/isolation.h"
#include "pnp/resources.h"
#include "shell/signals.h"

short load_bus_cards(const BUS_RUN* run, BUS_CARD* cards, short max, short* unloaded) {
    static RES_CARD res[PNP_MAXCARDS];
    *unloaded = 0;
    if (!init_APP() || PNP_permitted != 1) {
        if (PNP_permitted != 1)
            fprintf(stderr, "velkor: %s: no permission for the PnP ports, %s\n", run->who, run->nothing);
        return -1;
    }
    warn_kernel_pnp_once();
    short found = sig_pending() ? 0 : isolate_PNP(PNP_CONFIG_RESET_CSN);
    warn_cards_beyond_table();
    drop_DEVICE();
    if (sig_pending()) return -1;
    if (!found) {
        fprintf(stderr, "velkor: %s: no cards found\n", run->who);
        return 0;
    }
    PNP_csn = 0;
    PNP_csn_idx = -1;
    PNP_device = -1;
    Uport = PNP_port;
    short n = PNP_cards_len, ncards = 0;
    if (max > PNP_MAXCARDS) max = PNP_MAXCARDS;
    for (short csn = 1; csn <= n && ncards < max && !sig_pending(); csn++) {
        defaultport_PNP(Uport);
        short loaded = loadcard_PNP(csn);
        drop_DEVICE();
        short idx = findcard_PNP(csn);
        const CARD_TYP* card = idx >= 0 ? usedcard_PNP(idx) : nullptr;
        if (!loaded || !card) {
            fprintf(stderr, "velkor: %s: card %d cannot be loaded; it is left out\n", run->who, csn);
            (*unloaded)++;
            continue;
        }
        save_loaded_card(csn);
        if (!res_decode(card->resdata, card->reslen, &res[ncards]))
            fprintf(stderr, "velkor: %s: the resource data of card %d is cut or malformed; %s\n", run->who, csn,
                    run->as_read);
        cards[ncards] = BUS_CARD{csn, card, &res[ncards]};
        ncards++;
    }
    return sig_pending() ? -1 : ncards;
}
