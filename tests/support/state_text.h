// Test support: the program's state as one string, so that a test compares one value.
#ifndef VELKOR_TESTS_SUPPORT_STATE_TEXT_H
#define VELKOR_TESTS_SUPPORT_STATE_TEXT_H

#include <string>

class SYMBOL_TYP;

// The queued error codes, e.g. "6004 7019"; empty when none is queued. The queue stays.
std::string queued_errors();
// The same, and the queue is emptied.
std::string take_errors();

// One symbol: NAME:TYPE=value, e.g. "A:INT=5", "S:CHAR[10]='ab'" (at most its length of
// characters), "F:FUNCTION(2)".
std::string symbol_serial(const SYMBOL_TYP* s);
// Every symbol in table order, separated by blanks; empty for an empty table.
std::string symtab_serial();

// The card table: "csn:vendor:ndevs" for each record in use, separated by blanks.
std::string card_table();

#endif
