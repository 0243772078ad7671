// Symbol table: every variable, function and bound variable, sorted by name.
#ifndef VELKOR_SCRIPT_SYMTAB_H
#define VELKOR_SCRIPT_SYMTAB_H

// Type codes; ORDER: SYMBOL_TYP::typenames lists their names in this order.
enum { T_NONE = 0, T_INT32 = 1, T_INT = 2, T_CHAR = 3, T_FUNCTION = 4 };

class SYMBOL_TYP {
public:
    char* name;                 // heap copy, upper case as it came from the tokenizer
    short type;                 // a T_ code
    unsigned short owns_value;  // 1: value is freed with the symbol
    short length;               // bytes of value storage
    void* value;                // length bytes: the number, the text, a function's body
    short arg_count;            // arguments of a function

    static const char* typenames[5];  // the T_ codes' names, as SHOW prints them

    // Sets every field to its empty value (owns_value 1) without freeing anything. Can't fail.
    void zero();
    // zero; always 1.
    short make();
    // zero, then a heap copy of name (null: none) and the other fields as given; value is taken
    // as it is. 1, or 0 when copying the name failed (1001 queued; the other fields stay zeroed).
    short make(const char* name, short type, unsigned short owns_value, short length, void* value,
               short arg_count);
    // Copy that takes over the source's value block (source's owns_value becomes 0). A failed
    // copy (1001 queued) leaves the block with the source.
    short make(SYMBOL_TYP* source);
    // Frees the name and an owned value block, then zero. Can't fail.
    void unmake();
};

class SYMTAB_TYP {
public:
    short count;         // slots in index
    SYMBOL_TYP** index;  // count slots, ascending by name without case; null when empty

    // count 0 and index null, without freeing anything. Can't fail.
    void zero();
    // zero; always 1.
    short make();
    // Destroys every symbol and the index. Can't fail.
    void unmake();
    // The index alone, for insert and remove. allocate adds one empty slot at the end: 1, or 0
    // with 1001 queued (the table unchanged), also when 8191 symbols are held. deallocate drops
    // the last slot, which the caller has emptied: 1; 0 with 3001 queued on an empty table. A
    // shrink the allocator refuses keeps the larger block but still drops the slot, so the table
    // stays consistent; 1001 is queued and the result is 0.
    short allocate();
    short deallocate();
    // Orders the index ascending by name without case; every slot must hold a named symbol.
    // 1, or 0 when there is no index.
    short sort_idx();
    // Slot of name (any case) within [low, high) (high -1: count), by binary search of the sorted
    // index; -1 when it is not there, for a null name or without an index.
    short find_idx(const char* name, short low, short high);
    // The symbol of that name (any case), or null. It stays the table's: valid until removed.
    SYMBOL_TYP* find(const char* name);
    // Adds a copy of prototype (which must have a name), which hands its value block to the
    // table; the prototype keeps its name, so the caller still unmakes it. Callers check with
    // find first: names are not checked for uniqueness here. 1, or 0 with 1001 queued (nothing
    // added; the prototype keeps its block).
    short insert(SYMBOL_TYP* prototype);
    // Destroys the named symbol (an unowned value, a bound variable's global, stays). 1; 0 when the
    // name is absent (nothing queued) or the index could not shrink (1001 queued, symbol gone).
    short remove(const char* name);
};

// The program's table: made before main runs, destroyed after it returns.
extern SYMTAB_TYP symtab;

// Stores value in an INT (its low 16 bits) or INT32 symbol; other symbols, a null symbol and one
// without storage are left alone. Can't fail.
void store_number(SYMBOL_TYP* sym, long value);

#endif
