// What the host uses, checked before the program touches the cards.
#include "app/host_checks.h"

#include <cstdio>

#include "pnp/host_resources.h"
#include "pnp/isolation.h"
#include "pnp/kernel_pnp.h"
#include "pnp/ports.h"
#include "pnp/state.h"

const char* host_checks_root() { return host_root(bus == &hw_bus ? 1 : 0); }

void warn_kernel_pnp_once() {
    static short done;
    if (done) return;
    done = 1;
    const char* root = host_checks_root();
    if (!root) return;
    enum { MAX_LINES = 1 + KPNP_MAXCARDS * KPNP_MAXDEVS };
    static char lines[MAX_LINES][HOST_TEXT_SIZE];
    short n = kernel_pnp_warnings(root, lines, MAX_LINES);
    for (short k = 0; k < n; k++) fprintf(stderr, "velkor: warning: %s\n", lines[k]);
}

void warn_cards_beyond_table() {
    if (!PNP_cards_beyond) return;
    fprintf(stderr,
            "velkor: warning: more than %d cards answered; the card table holds %d, and the cards beyond it "
            "have no Card Select Number\n",
            PNP_MAXCARDS, PNP_MAXCARDS);
}
