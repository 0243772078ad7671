// Symbol table: every variable, function and bound variable, sorted by name.
#ifndef VELKOR_SCRIPT_SYMTAB_H
#define VELKOR_SCRIPT_SYMTAB_H

// Type codes; ORDER: SYMBOL_TYP::typenames lists their names in this order.
enum { T_NONE = 0, T_INT32 = 1, T_INT = 2, T_CHAR = 3, T_FUNCTION = 4 };

class SYMBOL_TYP {
public:
    char* name;  // heap copy, upper case as it came from the tokenizer
    short type;
    unsigned short owns_value;  // 1: value is freed with the symbol
    short length;               // bytes of value storage
    void* value;
    short arg_count;  // arguments of a function

    static const char* typenames[5];

    void zero();
    short make();
    // 1, or 0 when copying the name failed (1001 queued; the other fields stay zeroed).
    short make(const char* name, short type, unsigned short owns_value, short length, void* value,
               short arg_count);
    // Copy that takes over the source's value block (source's owns_value becomes 0).
    short make(SYMBOL_TYP* source);
    void unmake();
};

class SYMTAB_TYP {
public:
    short count;
    SYMBOL_TYP** index;  // count slots, ascending by name without case; null when empty

    void zero();
    short make();
    void unmake();
    short allocate();
    short deallocate();
    short sort_idx();
    short find_idx(const char* name, short low, short high);
    SYMBOL_TYP* find(const char* name);
    short insert(SYMBOL_TYP* prototype);
    short remove(const char* name);
};

extern SYMTAB_TYP symtab;

// Stores value in an INT (its low 16 bits) or INT32 symbol; other symbols are left alone.
// Can't fail.
void store_number(SYMBOL_TYP* sym, long value);

#endif
