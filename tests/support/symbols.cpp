// Test support: symbols declared the way every creator of the program declares them.
#include "support/symbols.h"

#include <cstdlib>
#include <cstring>

#include "script/symtab.h"

namespace {
short insert(const char* name, short type, unsigned short owns, short length, void* value, short arg_count) {
    SYMBOL_TYP proto;
    if (!proto.make(name, type, owns, length, value, arg_count)) {
        if (owns) free(value);
        return 0;
    }
    short ok = symtab.insert(&proto);
    proto.unmake();
    return ok;
}
}  // namespace

short add_symbol(const char* name, short type, short length, const void* init, short arg_count) {
    void* value = calloc(1, (size_t)length);
    if (init) memcpy(value, init, type == T_CHAR ? strnlen((const char*)init, length) : (size_t)length);
    return insert(name, type, 1, length, value, arg_count);
}

short add_bound(const char* name, short type, short length, void* global) {
    return insert(name, type, 0, length, global, 0);
}
