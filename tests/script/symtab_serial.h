// Test helper: the symbol table as one string, e.g. "A:INT=5 S:CHAR[10]='ab' F:FUNCTION(2)".
#ifndef VELKOR_TESTS_SCRIPT_SYMTAB_SERIAL_H
#define VELKOR_TESTS_SCRIPT_SYMTAB_SERIAL_H

#include <cstdint>
#include <cstring>
#include <string>

#include "script/symtab.h"
#include "shell/errhdl.h"

// One symbol: NAME:TYPE=value. A CHAR shows its length and at most that many characters.
inline std::string symbol_serial(const SYMBOL_TYP* s)
{
    std::string out = std::string(s->name ? s->name : "?") + ":";
    switch (s->type) {
    case T_INT:
        return out + "INT=" + std::to_string(*static_cast<const short*>(s->value));
    case T_INT32:
        return out + "INT32=" + std::to_string(*static_cast<const int32_t*>(s->value));
    case T_CHAR: {
        const char* text = static_cast<const char*>(s->value);
        return out + "CHAR[" + std::to_string(s->length) + "]='" +
               std::string(text, strnlen(text, s->length)) + "'";
    }
    case T_FUNCTION:
        return out + "FUNCTION(" + std::to_string(s->arg_count) + ")";
    default:
        return out + "NONE";
    }
}

// Every symbol in table order, separated by blanks.
inline std::string symtab_serial()
{
    std::string out;
    for (short i = 0; i < symtab.count; i++) {
        if (i)
            out += " ";
        out += symbol_serial(symtab.index[i]);
    }
    return out;
}

// The queued error codes, e.g. "7002 7003"; empty when none is queued.
inline std::string queued_errors()
{
    std::string out;
    for (short i = 0; i < errhdl_count(); i++) {
        if (i)
            out += " ";
        out += std::to_string(errhdl_code(i));
    }
    return out;
}

#endif
