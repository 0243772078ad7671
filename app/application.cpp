// Application hooks: start-up of the PnP layer and the bound variables, and clean-up.
#include "app/application.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

#include "app/completion.h"
#include "app/device_config.h"
#include "app/help_texts.h"
#include "pnp/registers.h"
#include "pnp/state.h"
#include "script/substitution.h"
#include "script/symtab.h"
#include "shell/parse.h"

namespace {
struct BOUND_TYP {
    const char* name;
    short* global;
};
// The script variables bound to PnP settings, in their order of registration.
const BOUND_TYP bound[] = {
    {"PNP_PORT", &Uport},
    {"VERBOSE", &verbose},
    {"PNP_CSN", &PNP_csn},
    {"PNP_DEVICE", &PNP_device},
};
}  // namespace

void permission_advice(int err, const char* call, int euid, char* text, size_t n) {
    if (!call) call = "ioperm";
    if (err == 0) {
        snprintf(text, n, "velkor: port access refused; use --sim for the simulated bus");
    } else if (err == ENOSYS) {
        snprintf(text, n,
                 "velkor: this kernel has no raw port access (%s: %s): it was built without it, or it runs "
                 "in a virtual machine or container that hides it; run velkor on a kernel with port access "
                 "on the machine that holds the cards, or use --sim for the simulated bus",
                 call, strerror(err));
    } else if ((err == EPERM || err == EACCES) && euid != 0) {
        snprintf(text, n,
                 "velkor: no permission for the PnP ports (%s: %s): raw port access needs root; run velkor "
                 "as root, or use --sim for the simulated bus",
                 call, strerror(err));
    } else if (err == EPERM) {
        snprintf(text, n,
                 "velkor: the kernel refuses raw port access even to root (%s: %s): it is locked down "
                 "(Secure Boot, or lockdown= on its command line); boot it without lockdown to configure "
                 "the cards, or use --sim for the simulated bus",
                 call, strerror(err));
    } else {
        snprintf(text, n, "velkor: port access refused (%s: %s); use --sim for the simulated bus", call,
                 strerror(err));
    }
}

unsigned short init_APP() {
    SYMBOL_TYP rec;
    rec.make();
    // A refusal has queued 1003, reported at the first prompt; standard error says why now.
    if (init_PNP() != 0) {
        char why[512];
        permission_advice(PNP_refusal_errno, PNP_refusal_call, (int)geteuid(), why, sizeof why);
        fprintf(stderr, "%s\n", why);
    }
    setup_HLP();
    completion_install();
    defaultport_PNP(PNP_READ_DATA_FIRST);
    Uport = PNP_port;
    subst_pnp_cards = &PNP_cards_isolated;  // $PNP_CARDS: a substitution name, not a symbol
    for (const BOUND_TYP& b : bound) {
        if (WC::strxfer(rec.name, b.name) != 0) {
            rec.unmake();
            return 0;
        }
        rec.type = T_INT;
        rec.length = 2;
        rec.owns_value = 0;  // the value is a program global
        rec.value = b.global;
        rec.arg_count = 0;
        symtab.insert(&rec);
    }
    rec.unmake();
    return 1;
}

void clean_APP() {
    clean_PNP();
    end_DEVICE();
}
