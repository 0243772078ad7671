// Test support: symbols declared the way every creator of the program declares them.
#ifndef VELKOR_TESTS_SUPPORT_SYMBOLS_H
#define VELKOR_TESTS_SUPPORT_SYMBOLS_H

// Declares name with a zeroed value block of length bytes that the table owns: a prototype is
// made, inserted and unmade. The block holds init when given (a CHAR's text up to its length,
// any other type's first length bytes). What symtab.insert returned, or 0 when the
// prototype could not be made (1001 queued).
short add_symbol(const char* name, short type, short length, const void* init = nullptr, short arg_count = 0);

// Declares a bound variable: the symbol's value is global, which the table never frees.
short add_bound(const char* name, short type, short length, void* global);

#endif
