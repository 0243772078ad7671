// Symbol table: every variable, function and bound variable, sorted by name.
#include "script/symtab.h"

#include <cstdint>
#include <cstdlib>
#include <new>
#include <strings.h>

#include "shell/errhdl.h"
#include "shell/memory.h"
#include "shell/parse.h"

// ORDER: the T_ type codes of symtab.h index this table.
const char* SYMBOL_TYP::typenames[5] = {"NONE", "INT32", "INT", "CHAR", "FUNCTION"};

SYMTAB_TYP symtab;

namespace {
// The table exists before main runs and is torn down after it returns.
struct SymtabLifetime {
    SymtabLifetime() { symtab.make(); }
    ~SymtabLifetime() { symtab.unmake(); }
} symtab_lifetime;

// The index's byte size was once a 16-bit count of 4-byte slots: 8191 symbols is the most it held.
const short SYMTAB_MAX = 8191;
}  // namespace

void SYMBOL_TYP::zero() {
    name = nullptr;
    type = T_NONE;
    owns_value = 1;
    length = 0;
    value = nullptr;
    arg_count = 0;
}

short SYMBOL_TYP::make() {
    zero();
    return 1;
}

short SYMBOL_TYP::make(const char* nm, short typ, unsigned short owns, short len, void* val, short args) {
    zero();
    if (nm != nullptr && WC::strxfer(name, nm) != 0) return 0;
    type = typ;
    owns_value = owns;
    length = len;
    value = val;
    arg_count = args;
    return 1;
}

// Ownership passes only when the copy succeeded, so the source's unmake still frees a block
// the copy did not take.
short SYMBOL_TYP::make(SYMBOL_TYP* source) {
    short ok = make(source->name, source->type, source->owns_value, source->length, source->value,
                    source->arg_count);
    if (ok) source->owns_value = 0;
    return ok;
}

void SYMBOL_TYP::unmake() {
    free(name);
    if (owns_value) free(value);
    zero();
}

void SYMTAB_TYP::zero() {
    count = 0;
    index = nullptr;
}

short SYMTAB_TYP::make() {
    zero();
    return 1;
}

void SYMTAB_TYP::unmake() {
    for (short i = 0; i < count; i++) {
        if (index[i] != nullptr) {
            index[i]->unmake();
            delete index[i];
            index[i] = nullptr;
        }
    }
    free(index);
    zero();
}

short SYMTAB_TYP::allocate() {
    if (count >= SYMTAB_MAX) {
        set_errhdl(ERR_MEMORY);
        return 0;
    }
    void* grown = mem_realloc(index, sizeof(SYMBOL_TYP*) * (count + 1));
    if (grown == nullptr) {
        set_errhdl(ERR_MEMORY);
        return 0;
    }
    index = static_cast<SYMBOL_TYP**>(grown);
    index[count] = nullptr;
    count++;
    return 1;
}

short SYMTAB_TYP::deallocate() {
    if (count <= 0) {
        set_errhdl(ERR_SYMTAB_UNDERFLOW);
        return 0;
    }
    if (count == 1) {
        free(index);
        index = nullptr;
        count = 0;
        return 1;
    }
    count--;
    void* shrunk = mem_realloc(index, sizeof(SYMBOL_TYP*) * count);
    if (shrunk == nullptr) {
        set_errhdl(ERR_MEMORY);
        return 0;
    }
    index = static_cast<SYMBOL_TYP**>(shrunk);
    return 1;
}

// An insertion sort: after an append only the new last slot is out of place, so it costs one
// pass instead of the quadratic exchange sort; names are unique, so the order is the same.
short SYMTAB_TYP::sort_idx() {
    if (index == nullptr) return 0;
    for (short i = 1; i < count; i++) {
        SYMBOL_TYP* moving = index[i];
        short j = i;
        while (j > 0 && strcasecmp(index[j - 1]->name, moving->name) > 0) {
            index[j] = index[j - 1];
            j--;
        }
        index[j] = moving;
    }
    return 1;
}

short SYMTAB_TYP::find_idx(const char* nm, short low, short high) {
    if (high == -1) high = count;
    if (index == nullptr || nm == nullptr) return -1;
    while (low < high) {
        short middle = low + (high - low) / 2;
        int cmp = strcasecmp(nm, index[middle]->name);
        if (cmp == 0) return middle;
        if (cmp < 0)
            high = middle;
        else
            low = middle + 1;
    }
    return -1;
}

SYMBOL_TYP* SYMTAB_TYP::find(const char* nm) {
    short i = find_idx(nm, 0, -1);
    return i < 0 ? nullptr : index[i];
}

short SYMTAB_TYP::insert(SYMBOL_TYP* prototype) {
    SYMBOL_TYP* sym = new (std::nothrow) SYMBOL_TYP;
    if (sym == nullptr) {
        set_errhdl(ERR_MEMORY);
        return 0;
    }
    if (!sym->make(prototype)) {
        delete sym;
        return 0;
    }
    if (!allocate()) {
        // Give the block back so that the prototype's unmake frees it.
        prototype->owns_value = sym->owns_value;
        sym->owns_value = 0;
        sym->unmake();
        delete sym;
        return 0;
    }
    index[count - 1] = sym;
    sort_idx();
    return 1;
}

short SYMTAB_TYP::remove(const char* nm) {
    short i = find_idx(nm, 0, -1);
    if (i < 0) return 0;
    index[i]->unmake();
    delete index[i];
    for (short j = i; j < count - 1; j++) index[j] = index[j + 1];
    index[count - 1] = nullptr;
    return deallocate();
}

void store_number(SYMBOL_TYP* sym, long value) {
    if (!sym || !sym->value) return;
    if (sym->type == T_INT)
        *(short*)sym->value = (short)(uint16_t)value;
    else if (sym->type == T_INT32)
        *(int32_t*)sym->value = (int32_t)value;
}
