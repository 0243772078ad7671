// Declarations, SHOW, GET, DELETE and the continuation-line readers.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "input/input_stack.h"
#include "script/expression.h"
#include "script/symtab.h"
#include "script/variables.h"
#include "shell/cgets.h"
#include "shell/errhdl.h"
#include "shell/parse.h"
#include "support/program_fixture.h"
#include "support/run_line.h"
#include "support/state_text.h"
#include "support/symbols.h"

namespace {

class Vars : public ProgramTest {};

// The standard output of one SHOW line.
std::string show(const char* line) { return run_line_output(exec_show, line); }

std::string row(const char* name, const char* type, int length, const char* value) {
    char buf[128];
    snprintf(buf, sizeof buf, "%-32.32s  %-5.5s  %6d  %s\n", name, type, length, value);
    return buf;
}

std::string undefined_row(const char* name) {
    char buf[128];
    snprintf(buf, sizeof buf, "%-32.32s  %-5.5s  %s\n", name, "NONE", "NOT DEFINED");
    return buf;
}

const std::string HEAD =
    "\n"
    "NAME" +
    std::string(30, ' ') +
    "TYPE   LENGTH  VALUE\n"
    "----" +
    std::string(30, ' ') +
    "----   ------  -----\n"
    "\n";

TEST_F(Vars, DeclaresZeroedVariables) {
    EXPECT_EQ(run_line(exec_defvar, "INT a, b c"), 1);
    EXPECT_EQ(run_line(exec_defvar, "int32 big"), 1);
    EXPECT_EQ(run_line(exec_defvar, "CHAR name, s[30]; t"), 1);
    EXPECT_EQ(run_line(exec_defvar, "CHAR n 5, buf[2 * 3]"), 1);
    EXPECT_EQ(queued_errors(), "");
    EXPECT_EQ(symtab_serial(),
              "A:INT=0 B:INT=0 BIG:INT32=0 BUF:CHAR[6]='' C:INT=0 N:CHAR[5]='' NAME:CHAR[80]='' "
              "S:CHAR[30]=''");
    EXPECT_EQ(symtab.find("BIG")->length, 4);
    EXPECT_EQ(symtab.find("A")->length, 2);
    EXPECT_EQ(run_line(exec_defvar, "INTEGER x"), 0);
    EXPECT_EQ(run_line(exec_defvar, "IN x"), 0);
}

TEST_F(Vars, DeclarationErrors) {
    run_line(exec_defvar, "INT a");
    run_line(exec_expr, "a = 7");
    run_line(exec_defvar, "INT a");
    run_line(exec_defvar, "CHAR a, b, b");
    EXPECT_EQ(queued_errors(), "7005 7005 7005");
    EXPECT_EQ(symtab_serial(), "A:INT=7 B:CHAR[80]=''");
    clr_errhdl();
    run_line(exec_defvar, "INT");
    run_line(exec_defvar, "INT ;");
    run_line(exec_defvar, "INT32 # note");
    EXPECT_EQ(queued_errors(), "7004 7004 7004");
    clr_errhdl();
    run_line(exec_defvar, "CHAR s[0]");
    run_line(exec_defvar, "CHAR w[65536]");  // wraps to 0: nothing, silently
    EXPECT_EQ(queued_errors(), "");
    run_line(exec_defvar, "CHAR x[q], y");  // a bad size skips that name only
    run_line(exec_defvar, "CHAR z zz");
    EXPECT_EQ(queued_errors(), "7002 7007 7002 7007");
    clr_errhdl();
    run_line(exec_defvar, "CHAR big[40000], later");  // negative as 16 bits: cannot be allocated
    EXPECT_EQ(queued_errors(), "1001");
    EXPECT_EQ(symtab_serial(), "A:INT=7 B:CHAR[80]='' Y:CHAR[80]=''");
}

// A size that does not evaluate refuses its name only: the evaluator may already have read the
// closing ']', and a ';' it stopped at still ends the command.
TEST_F(Vars, BadCharSizeRefusesOnlyItsName) {
    run_line(exec_defvar, "CHAR c[1 +], k");       // fails at the ']' it has read
    run_line(exec_defvar, "CHAR d[(2], e 5");      // '(' never closed
    run_line(exec_defvar, "CHAR f[2 q 3], g[4]");  // fails inside the brackets
    EXPECT_EQ(queued_errors(), "7019 7007 7018 7007 7002 7007");
    EXPECT_EQ(symtab_serial(), "E:CHAR[5]='' G:CHAR[4]='' K:CHAR[80]=''");
    clr_errhdl();
    run_line(exec_defvar, "CHAR h[4; i");  // the evaluator stops at ';': i is a comment
    run_line(exec_defvar, "CHAR j[1 + ; l");
    run_line(exec_defvar, "CHAR m[q # n");
    EXPECT_EQ(queued_errors(), "7019 7007 7002 7007");
    EXPECT_EQ(symtab_serial(), "E:CHAR[5]='' G:CHAR[4]='' H:CHAR[4]='' K:CHAR[80]=''");
}

// A CHAR name declared before is refused with its size, bracketed or bare; the names after it
// are still declared (as a function that declares a buffer and is called again does).
TEST_F(Vars, RedeclaredCharSkipsItsSize) {
    run_line(exec_defvar, "CHAR buf[10], n 5");
    run_line(exec_defvar, "CHAR buf[10], n 5, t[2 * 3]");
    run_line(exec_defvar, "CHAR buf[10], n 5, t[2 * 3]");
    EXPECT_EQ(queued_errors(), "7005 7005 7005 7005 7005");
    EXPECT_EQ(symtab_serial(), "BUF:CHAR[10]='' N:CHAR[5]='' T:CHAR[6]=''");
    clr_errhdl();
    run_line(exec_defvar, "CHAR buf[q ; u");  // the skipped size is not evaluated; ';' still ends it
    run_line(exec_defvar, "CHAR buf, v");
    EXPECT_EQ(queued_errors(), "7005 7005");
    EXPECT_EQ(symtab_serial(), "BUF:CHAR[10]='' N:CHAR[5]='' T:CHAR[6]='' V:CHAR[80]=''");
}

TEST_F(Vars, ShowEmptyTable) { EXPECT_EQ(show("SHOW"), "\nNo variables have been declared!\n\n"); }

TEST_F(Vars, ShowListsAndNamesRows) {
    run_line(exec_defvar, "INT a, minus");
    run_line(exec_defvar, "INT32 big");
    run_line(exec_defvar, "CHAR s[6]");
    run_line(exec_expr, "a = 92");
    run_line(exec_expr, "minus = 0 - 1");
    run_line(exec_expr, "big = 0 - 1");
    run_line(exec_expr, "s[0] = 'h'");
    run_line(exec_expr, "s[1] = 'i'");
    add_symbol("F", T_FUNCTION, 4, nullptr, 2);

    std::string all_dec = row("A", "INT", 2, "92") + row("BIG", "INT32", 4, "ffffffff") +
                          row("F", "FUNCT", 4, "2-Args") + row("MINUS", "INT", 2, "-1") +
                          row("S", "CHAR", 6, "'hi'");
    EXPECT_EQ(show("SHOW"), HEAD + all_dec + "\n");
    EXPECT_EQ(show("SHOW *"), HEAD + all_dec + "\n");
    std::string all_hex = row("A", "INT", 2, "5c") + row("BIG", "INT32", 4, "ffffffff") +
                          row("F", "FUNCT", 4, "2-Args") + row("MINUS", "INT", 2, "ffffffff") +
                          row("S", "CHAR", 6, "'hi'");
    EXPECT_EQ(show("SHOW hex"), HEAD + all_hex + "\n");
    EXPECT_EQ(show("SHOW a, nosuch s; minus"), HEAD + row("A", "INT", 2, "5c") + "\n" +
                                                   undefined_row("NOSUCH") + row("S", "CHAR", 6, "'hi'") +
                                                   "\n" + "\n");
}

TEST_F(Vars, ShowNeverReadsACharValuePastItsLength) {
    run_line(exec_defvar, "CHAR s[3]");
    run_line(exec_expr, "s[0] = 'a'");
    run_line(exec_expr, "s[1] = 'b'");
    run_line(exec_expr, "s[2] = 'c'");  // overwrites the last NUL
    EXPECT_EQ(show("SHOW s"), HEAD + row("S", "CHAR", 3, "'abc'") + "\n\n");
}

TEST_F(Vars, ShowCutsLongNames) {
    run_line(exec_defvar, "INT abcdefghijklmnopqrstuvwxyz0123456789");
    EXPECT_EQ(show("SHOW"), HEAD + "ABCDEFGHIJKLMNOPQRSTUVWXYZ012345  INT         2  0\n\n");
}

TEST_F(Vars, DeleteRemovesEveryKindAndReportsMisses) {
    static short csn = 3;
    add_bound("PNP_CSN", T_INT, 2, &csn);
    run_line(exec_defvar, "INT a, b");
    EXPECT_EQ(run_line(exec_delete, "DEL a, x, pnp_csn"), 1);
    EXPECT_EQ(queued_errors(), "7016");
    EXPECT_EQ(symtab_serial(), "B:INT=0");
    EXPECT_EQ(csn, 3);
    clr_errhdl();
    EXPECT_EQ(run_line(exec_delete, "DELETE"), 1);
    EXPECT_EQ(run_line(exec_delete, "DELETE ; b"), 1);
    EXPECT_EQ(queued_errors(), "7016 7016");
    EXPECT_EQ(symtab_serial(), "B:INT=0");
    EXPECT_EQ(run_line(exec_delete, "DELE b"), 0);
}

TEST_F(Vars, GetReadsOneKeyboardLine) {
    run_line(exec_defvar, "INT n, m; INT32 l");
    run_line(exec_defvar, "INT32 l");
    run_line(exec_defvar, "CHAR c[5], t");
    run_line(exec_expr, "m = 9");
    keyboard_types("70000\nabcdefg\n  -0x10\nHello World\n12z\n");
    EXPECT_EQ(run_line(exec_get, "GET n"), 1);
    EXPECT_EQ(run_line(exec_get, "GET c \"Name: \""), 1);
    EXPECT_EQ(run_line(exec_get, "get l 'Value' ignored"), 1);
    EXPECT_EQ(run_line(exec_get, "GET t"), 1);
    EXPECT_EQ(run_line(exec_get, "GET m"), 1);  // does not convert: m keeps its value
    EXPECT_EQ(queued_errors(), "7002 7001");
    EXPECT_EQ(symtab_serial(),
              "C:CHAR[5]='abcd' L:INT32=-16 M:INT=9 N:INT=4464 "
              "T:CHAR[80]='Hello World'");
}

TEST_F(Vars, GetErrors) {
    run_line(exec_defvar, "INT n");
    add_symbol("F", T_FUNCTION, 4);
    keyboard_types("5\n");
    run_line(exec_get, "GET");
    run_line(exec_get, "GET x");
    run_line(exec_get, "GET f");
    run_line(exec_get, "GET n \"unterminated");
    EXPECT_EQ(queued_errors(), "5001 7011 7011 5001");
    EXPECT_EQ(symtab_serial(), "F:FUNCTION(0) N:INT=0");  // no line was read
    EXPECT_EQ(run_line(exec_get, "GETS n"), 0);
}

// A text block as the input stack takes it: lines ended by NUL, one more NUL at the end.
void push_block(const std::string& lines) {
    std::string block = lines + '\0';
    input.push(block.data(), static_cast<short>(block.size()), nullptr, 0, nullptr, 0);
}

// At end of input GET reads nothing: the variable keeps its value, and every frame above the
// keyboard is dropped so that the command loop's next read ends the run.
TEST_F(Vars, GetAtEndOfInputKeepsTheValueAndEndsTheRun) {
    run_line(exec_defvar, "INT n");
    run_line(exec_defvar, "CHAR c[5]");
    run_line(exec_expr, "n = 7");
    run_line(exec_expr, "c = \"abc\"");
    keyboard_types("");
    push_block(std::string("PRINT never") + '\0');
    push_block(std::string("RETURN") + '\0');
    input.hold = 1;
    EXPECT_EQ(run_line(exec_get, "GET n \"n: \""), 1);
    EXPECT_EQ(input.depth, 1);
    EXPECT_EQ(input.hold, 0);
    EXPECT_EQ(cgets_eof(), 1);
    push_block(std::string("PRINT never") + '\0');
    EXPECT_EQ(run_line(exec_get, "GET c"), 1);  // the keyboard has already ended
    EXPECT_EQ(input.depth, 1);
    EXPECT_EQ(queued_errors(), "");
    EXPECT_EQ(symtab_serial(), "C:CHAR[5]='abc' N:INT=7");
}

TEST_F(Vars, GetwordSkipsBlankAndCommentLines) {
    push_block(std::string("   ") + '\0' + "# note" + '\0' + "  print $x" + '\0');
    P.command("");
    EXPECT_EQ(getword("FUNCTION> "), 1);
    EXPECT_STREQ(P.token, "PRINT");
    EXPECT_EQ(P.get(0), 0);
    EXPECT_STREQ(P.token, "$X");  // read without substitution
    // The rest of the current line comes first; a '#' token ends it.
    P.command("{ # open");
    EXPECT_EQ(getword("FUNCTION> "), 1);
    EXPECT_STREQ(P.token, "{");
    push_block(std::string("next") + '\0');
    EXPECT_EQ(getword("FUNCTION> "), 1);
    EXPECT_STREQ(P.token, "NEXT");
}

TEST_F(Vars, GetlineEndsAtTheEndOfKeyboardInput) {
    keyboard_types("first\n");
    EXPECT_EQ(getline("WHILE> ", 0), 1);
    EXPECT_EQ(P.get(0), 0);
    EXPECT_STREQ(P.token, "FIRST");
    EXPECT_EQ(getline("WHILE> ", 0), 0);
    EXPECT_EQ(getword("WHILE> "), 0);
    // A text frame above the exhausted keyboard still hands out its lines.
    push_block(std::string("second") + '\0');
    EXPECT_EQ(getword("WHILE> "), 1);
    EXPECT_STREQ(P.token, "SECOND");
    EXPECT_EQ(getword("WHILE> "), 0);
}

}  // namespace
