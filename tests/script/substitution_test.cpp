// $ substitution of variable references.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "input/input_stack.h"
#include "script/output.h"
#include "script/substitution.h"
#include "script/symtab.h"
#include "shell/errhdl.h"
#include "shell/parse.h"
#include "support/program_fixture.h"
#include "support/symbols.h"

namespace {

class Subst : public ProgramTest {
protected:
    // INT X = 5, INT32 Y = -70000, CHAR C[10] = "ab", INT I = 1.
    void SetUp() override {
        ProgramTest::SetUp();
        int16_t x = 5, i = 1;
        int32_t y = -70000;
        add_symbol("X", T_INT, 2, &x);
        add_symbol("Y", T_INT32, 4, &y);
        add_symbol("C", T_CHAR, 10, "ab");
        add_symbol("I", T_INT, 2, &i);
    }

    static void set_char(const char* name, const char* text) {
        SYMBOL_TYP* s = symtab.find(name);
        memset(s->value, 0, s->length);
        memcpy(s->value, text, strnlen(text, s->length));
    }

    // The line P holds after substituting text, or "<dropped>".
    static std::string subst(const char* text) {
        P.command("<previous>");
        if (!input.varsubst(text, 1)) return std::string("<dropped ") + P.line + ">";
        return P.line;
    }
};

TEST_F(Subst, Values) {
    EXPECT_EQ(subst("PRINT $X $Y $x"), "PRINT 5 -70000 5");
    EXPECT_EQ(subst("$C,$C[1],$C [1],$C[0x0]"), "ab,b,b,a");
    EXPECT_EQ(subst("$C  x"), "ab  x");              // blanks not followed by '[' stay
    EXPECT_EQ(subst("$C[5]|"), "|");                 // a NUL element gives nothing
    EXPECT_EQ(subst("$Z $1 $ $_9"), "$Z $1 $ $_9");  // not variables: left as written
    EXPECT_EQ(errhdl_count(), 0);
}

TEST_F(Subst, CharactersRightAfterAReference) {
    EXPECT_EQ(subst("$C[0]$C[1]"), "ab");
    EXPECT_EQ(subst("$X$X"), "55");
    EXPECT_EQ(subst("$X\"$X\"$X"), "5\"$X\"5");
    EXPECT_EQ(subst("$X\\$X"), "5\\$X");
    EXPECT_EQ(subst("$$X"), "$5");
}

TEST_F(Subst, Quote) {
    uquote = 1;
    EXPECT_EQ(subst("$C $C[1] $X $Y $Z"), "\"ab\" 'b' 5 -70000 $Z");
    EXPECT_EQ(subst("$C[5]"), "''");
}

TEST_F(Subst, NowIsEightHexDigits) {
    std::string s = subst("=$now=");
    ASSERT_EQ(s.size(), 12u);
    EXPECT_EQ(s.substr(0, 3), "=0x");
    EXPECT_EQ(s.find_first_not_of("0123456789ABCDEF", 3), 11u);
    add_symbol("NOW", T_INT, 2, "\x07\x00");  // a variable of that name comes first
    EXPECT_EQ(subst("$NOW"), "7");
}

// $PNP_CARDS stands for the count the application points subst_pnp_cards at (0 while it points
// nowhere). Like $NOW it is matched whole and only when no variable has that name: the names it
// begins with, or that begin with it, are what they were.
TEST_F(Subst, PnpCardsIsTheCountMatchedWhole) {
    EXPECT_EQ(subst("PRINT $PNP_CARDS"), "PRINT 0");
    short count = 3;
    subst_pnp_cards = &count;
    EXPECT_EQ(subst("($csn <= $pnp_cards),$PNP_CARDS$X"), "($csn <= 3),35");
    EXPECT_EQ(subst("$PNP_CARD $PNP_CARDSX $P '$PNP_CARDS' \\$PNP_CARDS"),
              "$PNP_CARD $PNP_CARDSX $P '$PNP_CARDS' \\$PNP_CARDS");
    add_symbol("P", T_INT, 2, "\x01\x00");
    add_symbol("PNP_CARD", T_INT, 2, "\x04\x00");
    add_symbol("PNP_CARDSX", T_INT, 2, "\x05\x00");
    EXPECT_EQ(subst("$P $PNP_CARD $PNP_CARDSX $PNP_CARDS"), "1 4 5 3");
    add_symbol("PNP_CARDS", T_CHAR, 10, "mine");
    EXPECT_EQ(subst("$PNP_CARDS"), "mine");
    subst_pnp_cards = nullptr;
}

TEST_F(Subst, QuotesAndEscapes) {
    EXPECT_EQ(subst("'$X' \"$X\" \\$X $X"), "'$X' \"$X\" \\$X 5");
    EXPECT_EQ(subst("\"it's\" $X"), "\"it's\" $X");  // the apostrophe leaves its flag set
    EXPECT_EQ(subst("'a\\'b' $X"), "'a\\'b' 5");     // an escaped quote does not toggle
    EXPECT_EQ(subst("\\\\$X"), "\\\\5");
}

TEST_F(Subst, BuiltinNamesStay) {
    add_symbol("D", T_INT, 2, "\x01\x00");
    add_symbol("SX", T_INT, 2, "\x02\x00");
    EXPECT_EQ(subst("$D $DT_DATE() $S(\"HOME\") $sys_env $SX"), "$D $DT_DATE() $S(\"HOME\") $sys_env 2");
}

TEST_F(Subst, LoopHeadsAndUnsubstitutedLines) {
    EXPECT_EQ(subst("  WHILE ($X < 3)"), "  WHILE ($X < 3)");
    EXPECT_EQ(subst("for(;$X;)"), "for(;$X;)");
    EXPECT_EQ(subst("WHILE"), "WHILE");
    EXPECT_EQ(subst("WHILE#$X"), "WHILE#$X");
    EXPECT_EQ(subst("FORMAT $X"), "FORMAT 5");
    EXPECT_EQ(subst("WHILEX $X"), "WHILEX 5");
    EXPECT_EQ(subst("   no refs  "), "   no refs  ");
    ASSERT_EQ(input.varsubst("PRINT $X", 0), 1);
    EXPECT_STREQ(P.line, "PRINT $X");
}

TEST_F(Subst, IndexByReferenceTakesAnotherPass) {
    EXPECT_EQ(subst("$C[$I]"), "b");
    add_symbol("J", T_INT, 2, "\x00\x00");
    add_symbol("K", T_CHAR, 4, "1");
    EXPECT_EQ(subst("$C[$K[$J]]"), "b");
    // An index that never becomes a number: the line runs as it stands, nothing queued.
    EXPECT_EQ(subst("$C[$NONE] $X"), "$C[$NONE] 5");
    EXPECT_EQ(subst("$C[1 ]"), "$C[1 ]");
    EXPECT_EQ(errhdl_count(), 0);
}

TEST_F(Subst, EarlierErrorsSurviveAnIndexPass) {
    set_errhdl(4003);
    EXPECT_EQ(subst("$C[$I]"), "b");
    ASSERT_EQ(errhdl_count(), 1);
    EXPECT_EQ(errhdl_code(0), 4003);
}

TEST_F(Subst, ReferencesThatNeverSettleAreBounded) {
    // A and B name each other while the index waits: the passes cycle.
    add_symbol("A", T_CHAR, 10, "$B");
    add_symbol("B", T_CHAR, 10, "$A");
    std::string s = subst("$A $C[$Q]");
    EXPECT_TRUE(s == "$A $C[$Q]" || s == "$B $C[$Q]") << s;
    // A value that doubles itself overflows the line instead.
    set_char("A", "$A$A");
    EXPECT_EQ(subst("$A $C[$Q]"), "<dropped <previous>>");
    EXPECT_EQ(errhdl_code(0), 6004);
}

TEST_F(Subst, DroppedLines) {
    struct {
        const char* line;
        short code;
    } cases[] = {
        {"PRINT $C[1", 6005},
        {"PRINT $C[10]", 7008},
        {"PRINT $C[-1]", 7008},
        {"PRINT $C[0x7FFFFFFF]", 7008},
    };
    for (auto& c : cases) {
        clr_errhdl();
        EXPECT_EQ(subst(c.line), "<dropped <previous>>") << c.line;
        EXPECT_EQ(errhdl_code(0), c.code) << c.line;
    }
}

TEST_F(Subst, ReferenceAndLineLengths) {
    std::string name63(63, 'N');
    EXPECT_EQ(subst(("$" + name63 + " $X").c_str()), "$" + name63 + " 5");
    std::string name64(64, 'N');
    EXPECT_EQ(subst(("$" + name64 + " $X").c_str()), "<dropped <previous>>");
    EXPECT_EQ(errhdl_code(0), 6004);
    clr_errhdl();

    // 2047 characters fit the buffer, 2048 do not.
    std::string line = std::string(2045, 'a') + "$X";
    EXPECT_EQ(subst(line.c_str()).size(), 2046u);
    set_char("C", "abcdefghi");
    std::string fits = std::string(2038, 'a') + "$C";  // 2038 + 9 = 2047
    EXPECT_EQ(subst(fits.c_str()).size(), 2047u);
    std::string over = std::string(2039, 'a') + "$C";
    EXPECT_EQ(subst(over.c_str()), "<dropped <previous>>");
    EXPECT_EQ(errhdl_code(0), 6004);
}

TEST_F(Subst, CharValueReadOnlyUpToItsLength) {
    // A value that fills its storage has no NUL of its own.
    SYMBOL_TYP* c = symtab.find("C");
    memset(c->value, 'q', c->length);
    EXPECT_EQ(subst("[$C]"), "[qqqqqqqqqq]");
}

TEST_F(Subst, TextInTheOutputBuffer) {
    strcpy(bigbuf, "PRINT $X");
    ASSERT_EQ(input.varsubst(bigbuf, 1), 1);
    EXPECT_STREQ(P.line, "PRINT 5");
}

}  // namespace
