// Card commands: ISOLATE, DETECT and STATUS.
#include "app/card_commands.h"

#include <cstdio>
#include <strings.h>

#include "app/device_config.h"
#include "app/host_checks.h"
#include "app/save_cards.h"
#include "pnp/isolation.h"
#include "pnp/registers.h"
#include "pnp/resources.h"
#include "pnp/state.h"
#include "script/output.h"
#include "script/expression.h"
#include "shell/errhdl.h"
#include "shell/parse.h"

short getINT(long* out, unsigned short quiet) {
    short ok = eval_expr(out, nullptr);
    if (!quiet) return ok;
    clr_errhdl();
    return 1;
}

// ISOLATE [CSN | RESET | RESET_DRV]   Config Control 4, 1 or 7, then isolation of every card
short exec_isolate() {
    if (!P.token || strcasecmp(P.token, "ISOLATE") != 0) return 0;
    if (!ports_PNP()) return 1;
    short mode = PNP_CONFIG_RESET_CSN;
    if (P.get(0) == 0) {
        if (strcasecmp(P.token, "CSN") == 0) {
            mode = PNP_CONFIG_RESET_CSN;
        } else if (strcasecmp(P.token, "RESET") == 0) {
            mode = PNP_CONFIG_RESET;
        } else if (strcasecmp(P.token, "RESET_DRV") == 0) {
            mode = PNP_CONFIG_RESET | PNP_CONFIG_WAIT_FOR_KEY | PNP_CONFIG_RESET_CSN;
        } else {
            set_errhdl(ERR_BAD_TOKEN);
            set_errdetail(" '%s'", P.token);
            return 1;
        }
    }
    warn_kernel_pnp_once();
    short found = isolate_PNP(mode);
    warn_cards_beyond_table();
    drop_DEVICE();  // isolation has left every card in Wait for Key
    if (found) {
        PNP_csn = 0;
        PNP_csn_idx = -1;
        PNP_device = -1;
        Uport = PNP_port;
    } else {
        printf("\nNo cards found!\n\n");
    }
    return 1;
}

// DETECT [csn-expression]   reads a card (default: the current one) into the card table
short exec_detect() {
    if (!P.token || strcasecmp(P.token, "DETECT") != 0) return 0;
    long csn = 0;
    getINT(&csn, 1);  // before ports_PNP: a quiet getINT empties the queue
    if (!ports_PNP()) return 1;
    if (csn == 0) {
        csn = PNP_csn;
        if (csn <= 0) {
            set_errhdl(ERR_DEVICE);
            set_errdetail("%s", PNP_NO_CARD_DETAIL);
            return 1;
        }
    }
    warn_kernel_pnp_once();
    defaultport_PNP(Uport);
    if (findcard_PNP((short)csn) < 0 && PNP_cards_len >= PNP_MAXCARDS) {
        set_errhdl(ERR_DEVICE);  // no record left for a new card
        set_errdetail(": the card table is full (%d cards)", (int)PNP_MAXCARDS);
        return 1;
    }
    short loaded = loadcard_PNP((short)csn);
    drop_DEVICE();  // the load has left every card in Wait for Key
    if (!loaded) {
        printf("\nCard #%02ld cannot be loaded\n\n", csn);
        return 1;
    }
    save_loaded_card((short)csn);
    if (PNP_csn <= 0) current_PNP((short)csn);
    return 1;
}

// STATUS   the PnP state and the card table, on the report stream
short exec_status() {
    if (!P.token || strcasecmp(P.token, "STATUS") != 0) return 0;
    fprintf(outfp, "\n");
    fprintf(outfp, "PNP_port   = x%04X\n", (unsigned short)PNP_port);
    fprintf(outfp, "PNP_csn    = %d\n", PNP_csn);
    fprintf(outfp, "PNP_device = %d\n", PNP_device);
    fprintf(outfp, "#-of-cards = %d\n", PNP_cards_len);
    fprintf(outfp, "\n");
    for (short i = 0; i < PNP_cards_len && i < PNP_MAXCARDS; i++) {
        const CARD_TYP* card = &PNP_cards[i];
        fprintf(outfp, "card-#%02d: ", i + 1);
        fprintf(outfp, "%s ", devid_PNP(card->serial));
        fprintf(outfp, "csn=%d ", card->csn);
        if (card->csn != 0) fprintf(outfp, "devs=%d", card->ndevs);
        fprintf(outfp, "\n");
    }
    fprintf(outfp, "\n");
    return 1;
}
