// Test support: the program's state as one string.
#include "support/state_text.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "pnp/state.h"
#include "script/symtab.h"
#include "shell/errhdl.h"

std::string queued_errors() {
    std::string out;
    for (short i = 0; i < errhdl_count(); i++) {
        if (i) out += " ";
        out += std::to_string(errhdl_code(i));
    }
    return out;
}

std::string take_errors() {
    std::string out = queued_errors();
    clr_errhdl();
    return out;
}

std::string symbol_serial(const SYMBOL_TYP* s) {
    std::string out = std::string(s->name ? s->name : "?") + ":";
    switch (s->type) {
    case T_INT: return out + "INT=" + std::to_string(*static_cast<const short*>(s->value));
    case T_INT32: return out + "INT32=" + std::to_string(*static_cast<const int32_t*>(s->value));
    case T_CHAR: {
        const char* text = static_cast<const char*>(s->value);
        return out + "CHAR[" + std::to_string(s->length) + "]='" +
               std::string(text, strnlen(text, s->length)) + "'";
    }
    case T_FUNCTION: return out + "FUNCTION(" + std::to_string(s->arg_count) + ")";
    default: return out + "NONE";
    }
}

std::string symtab_serial() {
    std::string out;
    for (short i = 0; i < symtab.count; i++) {
        if (i) out += " ";
        out += symbol_serial(symtab.index[i]);
    }
    return out;
}

std::string card_table() {
    std::string s;
    for (short i = 0; i < PNP_cards_len; i++) {
        char one[40];
        snprintf(one, sizeof one, "%s%u:%s:%d", i ? " " : "", PNP_cards[i].csn,
                 devid_PNP(PNP_cards[i].serial), PNP_cards[i].ndevs);
        s += one;
    }
    return s;
}
