// PnP state (placeholder).
#include "pnp/state.h"
#include "shell/errhdl.h"
short verbose, PNP_port, PNP_csn, PNP_csn_idx = -1, PNP_device = -1, PNP_last_csn = 1, PNP_cards_len, Uport;
CARD_TYP PNP_cards[PNP_MAXCARDS];
short PNP_permitted;
short init_PNP() { set_errhdl(1003); return 1; }
short defaultport_PNP(short port) { PNP_port = port ? port : 0x203; return 1; }
void clean_PNP() {}
short ports_PNP() { set_errhdl(1003); return 0; }
