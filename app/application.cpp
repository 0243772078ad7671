// Application hooks: start-up of the PnP layer and the bound variables, and clean-up.
#include "app/application.h"

#include "app/device_config.h"
#include "app/help_texts.h"
#include "pnp/registers.h"
#include "pnp/state.h"
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

unsigned short init_APP() {
    SYMBOL_TYP rec;
    rec.make();
    init_PNP();  // a refusal has queued 1003, reported at the first prompt
    setup_HLP();
    defaultport_PNP(PNP_READ_DATA_FIRST);
    Uport = PNP_port;
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
