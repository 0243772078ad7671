// DUMP command: the current card's resources and its logical devices, to outfp.
#include <strings.h>

#include "app/dump_command.h"
#include "pnp/dump.h"
#include "pnp/state.h"
#include "shell/errhdl.h"
#include "shell/parse.h"

namespace {

// Dumps the resources of the current card and then each of its logical devices; the devices
// only when the resource dump succeeded.
void dump_card() {
    if (dumprcs_PNP(-1) != 0) return;
    for (short i = 0; i < PNP_cards[PNP_csn_idx].ndevs; i++) dumpdev_PNP(i, -1);
}

void dump_all_devices() {
    const CARD_TYP* card = usedcard_PNP(PNP_csn_idx);
    if (!card) {
        set_errhdl(ERR_DEVICE);  // as dumpdev_PNP would report for the missing card
        set_errdetail("%s", PNP_NO_CARD_DETAIL);
        return;
    }
    for (short i = 0; i < card->ndevs; i++) dumpdev_PNP(i, -1);
}

}  // namespace

// DUMP [CARD | RESOURCES | DEVICE [ALL]]
short exec_dump() {
    if (strcasecmp(P.token, "DUMP") != 0) return 0;
    if (!testcsn_PNP(1)) return 1;

    if (P.get(0) != 0 || WC::streq(P.token, "CARD")) {
        dump_card();
    } else if (WC::streq(P.token, "RESOURCES")) {
        dumprcs_PNP(-1);
    } else if (WC::streq(P.token, "DEVICE")) {
        if (P.get(0) != 0) {
            if (testdev_PNP(1)) dumpdev_PNP(PNP_device, -1);
        } else if (WC::streq(P.token, "ALL")) {
            dump_all_devices();
        } else {
            set_errhdl(ERR_SETTINGS);
        }
    } else {
        set_errhdl(ERR_SETTINGS);
    }
    return 1;
}
