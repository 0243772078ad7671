// Number conversion, the evaluator without precedence, and assignment.
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <string>

#include "script/expression.h"
#include "script/symtab.h"
#include "shell/errhdl.h"
#include "shell/parse.h"
#include "support/program_fixture.h"
#include "support/run_line.h"
#include "support/state_text.h"
#include "support/symbols.h"

namespace {

class Expr : public ProgramTest {};

// The value of an expression line, or "ERR <codes>" when it fails.
std::string ev(const char* line, const char* stops = nullptr) {
    clr_errhdl();
    P.command(line);
    long value = 12345;
    short ok = eval_expr(&value, stops);
    if (!ok) {
        EXPECT_EQ(value, 0);
        return "ERR " + queued_errors();
    }
    EXPECT_EQ(queued_errors(), "");
    return std::to_string(value);
}

std::string num(const char* text, const char* tail = nullptr) {
    clr_errhdl();
    long value = 12345;
    if (!toINT(&value, text, tail)) {
        EXPECT_EQ(value, 0);
        return "ERR " + queued_errors();
    }
    return std::to_string(value);
}

// Runs an assignment line through the handler; its result is returned.
short assign(const char* line) { return run_line(exec_expr, line); }

TEST_F(Expr, NumberSyntax) {
    EXPECT_EQ(num("0x1f"), "31");
    EXPECT_EQ(num("0X1F"), "31");
    EXPECT_EQ(num("010"), "8");
    EXPECT_EQ(num("0b101"), "5");
    EXPECT_EQ(num("0B11"), "3");
    EXPECT_EQ(num("  -42"), "-42");
    EXPECT_EQ(num("+7"), "7");
    EXPECT_EQ(num(""), "0");
    EXPECT_EQ(num("09"), "ERR 7002");
    EXPECT_EQ(num("12ab"), "ERR 7002");
    EXPECT_EQ(num("X"), "ERR 7002");
    EXPECT_EQ(num("12]", "]"), "12");
    EXPECT_EQ(num("12]", nullptr), "ERR 7002");
}

TEST_F(Expr, NumbersSaturateAt32BitsOnEveryHost) {
    EXPECT_EQ(num("2147483647"), "2147483647");
    EXPECT_EQ(num("2147483648"), "2147483647");
    EXPECT_EQ(num("0xFFFFFFFF"), "2147483647");
    EXPECT_EQ(num("99999999999999999999999"), "2147483647");
    EXPECT_EQ(num("-2147483648"), "-2147483648");
    EXPECT_EQ(num("-2147483649"), "-2147483648");
}

TEST_F(Expr, CharacterLiterals) {
    EXPECT_EQ(num("'A'"), "65");
    EXPECT_EQ(num("'a'"), "97");
    EXPECT_EQ(num("'\\n'"), "10");
    EXPECT_EQ(num("'\\b'"), "8");
    EXPECT_EQ(num("'\\t'"), "9");
    EXPECT_EQ(num("'\\r'"), "13");
    EXPECT_EQ(num("'\\f'"), "12");
    EXPECT_EQ(num("'\\q'"), "113");  // any other letter stands for itself
    EXPECT_EQ(num("'\\''"), "39");
    EXPECT_EQ(num("'\xe9'"), "233");  // an unsigned byte
    EXPECT_EQ(num("'xy'"), "ERR 7001");
    EXPECT_EQ(num("'"), "ERR 7001");
    EXPECT_EQ(num("'\\"), "ERR 7001");
    EXPECT_EQ(num("'a"), "ERR 7001");
    EXPECT_EQ(num("'a'b"), "ERR 7002");
    // In an expression the literal is taken as written, blanks and case included.
    EXPECT_EQ(ev("'a' + ' '"), "129");
    EXPECT_EQ(ev("'a"), "ERR ");  // no closing quote: fails without an error
}

TEST_F(Expr, ReducesFromTheRightWithoutPrecedence) {
    EXPECT_EQ(ev("0x10 + 010 + 0b11 + 'A'"), "92");
    EXPECT_EQ(ev("10 - 4 - 3"), "9");
    EXPECT_EQ(ev("(10 - 4) - 3"), "3");
    EXPECT_EQ(ev("2 * 3 + 4"), "14");
    EXPECT_EQ(ev("((((7))))"), "7");
    EXPECT_EQ(ev("1 << 33"), "2");
    EXPECT_EQ(ev("0 - 8 >> 1"), "-4");
    EXPECT_EQ(ev("(0 - 8) >> 1"), "-4");  // arithmetic shift keeps the sign
    EXPECT_EQ(ev("(0 - 1) >> 31"), "-1");
    EXPECT_EQ(ev("7 / 2"), "3");
    EXPECT_EQ(ev("0 - 7 / 2"), "-3");
    EXPECT_EQ(ev("(0 - 7) % 2"), "-1");
    EXPECT_EQ(ev("7 % 0 - 2"), "1");
    EXPECT_EQ(ev("6 | 3"), "7");
    EXPECT_EQ(ev("6 & 3"), "2");
    EXPECT_EQ(ev("6 ^ 3"), "5");
}

TEST_F(Expr, UnaryOperatorsTakeTheWholeValueToTheirRight) {
    EXPECT_EQ(ev("~ 0"), "-1");
    EXPECT_EQ(ev("! 0 + 1"), "0");
    EXPECT_EQ(ev("5 + ! 0"), "6");
    EXPECT_EQ(ev("!7"), "0");
    EXPECT_EQ(ev("~~5"), "5");
}

TEST_F(Expr, ComparisonsAndTwoCharacterOperators) {
    EXPECT_EQ(ev("3 == 3"), "1");
    EXPECT_EQ(ev("3 = 4"), "0");
    EXPECT_EQ(ev("3 != 4"), "1");
    EXPECT_EQ(ev("5 >= 5"), "1");
    EXPECT_EQ(ev("5 => 5"), "1");
    EXPECT_EQ(ev("4 <= 3"), "0");
    EXPECT_EQ(ev("4 > 3"), "1");
    EXPECT_EQ(ev("4 < 3"), "0");
    EXPECT_EQ(ev("(0 - 1) < 0"), "1");
    EXPECT_EQ(ev("2 && 3"), "1");
    EXPECT_EQ(ev("0 || 0"), "0");
    EXPECT_EQ(ev("16 >> 2"), "4");
    // Only adjacent characters pair up: "> =" is two operators.
    EXPECT_EQ(ev("5 > = 5"), "ERR 7020");
    // a > 3 && a < 9 groups as a > (3 && (a < 9)).
    EXPECT_EQ(ev("1 > 3 && 1 < 9"), "0");
    EXPECT_EQ(ev("(1 > 3) && (1 < 9)"), "0");
    EXPECT_EQ(ev("(5 > 3) && (5 < 9)"), "1");
}

TEST_F(Expr, ArithmeticWrapsAt32Bits) {
    EXPECT_EQ(ev("2147483647 + 1"), "-2147483648");
    EXPECT_EQ(ev("(0 - 2147483647) - 2"), "2147483647");
    EXPECT_EQ(ev("65536 * 65536"), "0");
    EXPECT_EQ(ev("1 << 31"), "-2147483648");
    EXPECT_EQ(ev("~ 2147483647"), "-2147483648");
}

TEST_F(Expr, DivisionThatHasNo32BitResultFails) {
    EXPECT_EQ(ev("7 / 0"), "ERR 7019");
    EXPECT_EQ(ev("7 % 0"), "ERR 7019");
    EXPECT_EQ(ev("((0 - 2147483647) - 1) / (0 - 1)"), "ERR 7019");
    EXPECT_EQ(ev("((0 - 2147483647) - 1) % (0 - 1)"), "0");
    EXPECT_EQ(ev("((0 - 2147483647) - 1) / 1"), "-2147483648");
}

TEST_F(Expr, MalformedExpressions) {
    EXPECT_EQ(ev(""), "ERR 7018");
    EXPECT_EQ(ev("- 5"), "ERR 7018");
    EXPECT_EQ(ev("1 2"), "ERR 7018");
    EXPECT_EQ(ev("1 2 3"), "ERR 7021");
    EXPECT_EQ(ev("1 )"), "ERR 7018");
    EXPECT_EQ(ev("(1 + 2"), "ERR 7018");
    EXPECT_EQ(ev("5 (2"), "ERR 7021");
    EXPECT_EQ(ev("1 + (2"), "ERR 7020");
    EXPECT_EQ(ev("1 +"), "ERR 7019");
    EXPECT_EQ(ev("()"), "ERR 7019");
    EXPECT_EQ(ev("09 + 1"), "ERR 7002");
    EXPECT_EQ(ev("A + 1"), "ERR 7002");
}

TEST_F(Expr, StackHolds130Entries) {
    std::string line = "1";
    for (int i = 1; i < 65; i++) line += " + 1";
    EXPECT_EQ(ev(line.c_str()), "65");  // 129 entries
    line += " + 1";
    EXPECT_EQ(ev(line.c_str()), "ERR 7017");  // 131 entries
    EXPECT_EQ(ev("2 + 3"), "5");              // every evaluation starts with an empty stack
}

TEST_F(Expr, StopCharactersAndComments) {
    EXPECT_EQ(ev("2 * 5 ] 7", "]"), "10");
    EXPECT_EQ(P.get(0), 0);  // the ']' was consumed, the rest is left
    EXPECT_STREQ(P.token, "7");
    EXPECT_EQ(ev("(1 < 2) { PRINT", ";{"), "1");
    EXPECT_EQ(ev("1 + 2 ; 4"), "3");
    EXPECT_EQ(ev("1 + 2 # note"), "3");
}

TEST_F(Expr, AssignsTheLow16Or32Bits) {
    add_symbol("A", T_INT, 2);
    add_symbol("L", T_INT32, 4);
    EXPECT_EQ(assign("a = 70000"), 1);
    EXPECT_EQ(assign("L = 0xFFFFFFFF"), 1);
    EXPECT_EQ(symtab_serial(), "A:INT=4464 L:INT32=2147483647");
    assign("a = 0 - 1");
    assign("l = 65536 * 3");
    EXPECT_EQ(symtab_serial(), "A:INT=-1 L:INT32=196608");
    assign("a = 1 / 0");  // a failed evaluation stores nothing
    assign("l = 09");
    EXPECT_EQ(symtab_serial(), "A:INT=-1 L:INT32=196608");
    EXPECT_EQ(queued_errors(), "7019 7002");
}

TEST_F(Expr, AssignsThroughToABoundGlobal) {
    static short verbose_setting = 0;
    add_bound("VERBOSE", T_INT, 2, &verbose_setting);
    assign("VERBOSE = 0x12345");
    EXPECT_EQ(verbose_setting, 0x2345);
}

TEST_F(Expr, AssignsOneCharacterElement) {
    add_symbol("C", T_CHAR, 10);
    assign("c[0] = 'x'");
    assign("C[1] = '\\n'");
    assign("C[2] = 0x141");  // the low 8 bits
    assign("c[9] = 'z'");
    EXPECT_EQ(symtab_serial(), "C:CHAR[10]='x\nA'");
    EXPECT_EQ(static_cast<char*>(symtab.find("C")->value)[9], 'z');
    EXPECT_EQ(queued_errors(), "");
    assign("c[10] = 1");
    assign("c[0] = 'xy'");
    assign("c[Q] = 1");
    assign("c[0x1F] = 1");
    assign("c[1 = 2");
    assign("c[1");
    assign("c[1] 2");
    EXPECT_EQ(queued_errors(), "7008 7001 7002 7003 7008 7008 7010 7010");
    EXPECT_EQ(symtab_serial(), "C:CHAR[10]='x\nA'");
}

TEST_F(Expr, WhatTheHandlerTakes) {
    add_symbol("A", T_INT, 2);
    add_symbol("F", T_FUNCTION, 4, nullptr, 1);
    EXPECT_EQ(assign("B = 1"), 0);  // not a symbol: the next handler's business
    EXPECT_EQ(queued_errors(), "");
    EXPECT_EQ(assign("F = 1"), 1);
    EXPECT_EQ(assign("A"), 1);
    EXPECT_EQ(assign("A + 1"), 1);
    EXPECT_EQ(assign("A == 1"), 1);  // the expression "= 1" has no left operand
    EXPECT_EQ(queued_errors(), "7009 7010 7010 7018");
    EXPECT_EQ(symtab_serial(), "A:INT=0 F:FUNCTION(1)");
}

}  // namespace
