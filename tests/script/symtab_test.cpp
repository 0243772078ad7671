// Symbol table: ordering, lookup without case, removal, value ownership, capacity.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "script/symtab.h"
#include "shell/errhdl.h"
#include "support/program_fixture.h"
#include "support/state_text.h"
#include "support/symbols.h"

namespace {

class Symtab : public ProgramTest {};

// Declares an INT holding value.
short add_int(const char* name, short value) { return add_symbol(name, T_INT, 2, &value); }

TEST_F(Symtab, KeepsNamesSortedAndFindsThemWithoutCase) {
    add_int("GAMMA", 3);
    add_int("ALPHA", 1);
    add_int("BETA", 2);
    EXPECT_EQ(symtab_serial(), "ALPHA:INT=1 BETA:INT=2 GAMMA:INT=3");
    EXPECT_EQ(symtab.find("GAMMA"), symtab.index[2]);
    EXPECT_EQ(symtab.find("alpha"), symtab.index[0]);
    EXPECT_EQ(symtab.find("Beta"), symtab.index[1]);
    EXPECT_EQ(symtab.find("DELTA"), nullptr);
    EXPECT_EQ(symtab.find("A"), nullptr);
    EXPECT_EQ(symtab.find("ZETA"), nullptr);
    // Names compare folded to lower case, where '_' sorts before the letters.
    add_int("AB", 5);
    add_int("A_B", 4);
    EXPECT_EQ(symtab_serial(), "A_B:INT=4 AB:INT=5 ALPHA:INT=1 BETA:INT=2 GAMMA:INT=3");
    EXPECT_EQ(queued_errors(), "");
}

TEST_F(Symtab, RemoveKeepsOrderAndEmptiesTheIndex) {
    add_int("A", 1);
    add_int("B", 2);
    add_int("C", 3);
    EXPECT_EQ(symtab.remove("b"), 1);
    EXPECT_EQ(symtab_serial(), "A:INT=1 C:INT=3");
    EXPECT_EQ(symtab.find("C"), symtab.index[1]);
    EXPECT_EQ(symtab.remove("B"), 0);  // absent: nothing queued, the caller reports it
    EXPECT_EQ(queued_errors(), "");
    EXPECT_EQ(symtab.remove("A"), 1);
    EXPECT_EQ(symtab.remove("C"), 1);
    EXPECT_EQ(symtab.count, 0);
    EXPECT_EQ(symtab.index, nullptr);
    EXPECT_EQ(symtab.find("C"), nullptr);
    EXPECT_EQ(symtab.deallocate(), 0);
    EXPECT_EQ(queued_errors(), "3001");
}

TEST_F(Symtab, BoundVariableKeepsItsGlobal) {
    static short setting = 0x203;
    SYMBOL_TYP proto;
    proto.make("PNP_PORT", T_INT, 0, 2, &setting, 0);
    ASSERT_EQ(symtab.insert(&proto), 1);
    proto.unmake();  // must not free the global (ASan would report it)
    EXPECT_EQ(symtab.find("pnp_port")->value, &setting);
    EXPECT_EQ(symtab.remove("PNP_PORT"), 1);
    EXPECT_EQ(setting, 0x203);
}

TEST_F(Symtab, CopyTakesOverTheValueBlock) {
    SYMBOL_TYP source, copy;
    source.make("X", T_INT32, 1, 4, calloc(1, 4), 0);
    ASSERT_EQ(copy.make(&source), 1);
    EXPECT_EQ(source.owns_value, 0);
    EXPECT_EQ(copy.owns_value, 1);
    EXPECT_NE(copy.name, source.name);
    EXPECT_STREQ(copy.name, "X");
    source.unmake();  // the block survives: the copy owns it now
    EXPECT_EQ(copy.length, 4);
    copy.unmake();  // and frees it exactly once
    EXPECT_EQ(copy.name, nullptr);
    EXPECT_EQ(copy.owns_value, 1);
}

TEST_F(Symtab, HoldsAtMost8191Symbols) {
    char name[16];
    for (int i = 0; i < 8191; i++) {
        snprintf(name, sizeof name, "V%05d", i);
        ASSERT_EQ(add_int(name, 0), 1) << name;
    }
    EXPECT_EQ(add_int("W", 0), 0);
    EXPECT_EQ(queued_errors(), "1001");
    EXPECT_EQ(symtab.count, 8191);
    EXPECT_EQ(symtab.find("W"), nullptr);
    EXPECT_NE(symtab.find("v04711"), nullptr);
}

}  // namespace
