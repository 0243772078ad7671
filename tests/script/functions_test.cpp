// User functions: the stored body and its references, argument splitting and expansion.
#include <gtest/gtest.h>

#include <string>

#include "input/input_stack.h"
#include "script/functions.h"
#include "script/script_fixture.h"
#include "script/symtab.h"
#include "shell/errhdl.h"
#include "shell/parse.h"
#include "support/state_text.h"
#include "support/symbols.h"

namespace {

class Functions : public ScriptTest {
protected:
    // A function's stored body, readable: NUL as '|', other control bytes as <n>.
    static std::string stored(const char* name) {
        SYMBOL_TYP* f = symtab.find(name);
        if (!f || f->type != T_FUNCTION) return "none";
        std::string out;
        const unsigned char* p = (const unsigned char*)f->value;
        for (short i = 0; i < f->length; i++) {
            if (p[i] == 0)
                out += "|";
            else if (p[i] < 32 || p[i] == 127)
                out += "<" + std::to_string(p[i]) + ">";
            else
                out += (char)p[i];
        }
        return out + " (" + std::to_string(f->arg_count) + ")";
    }
    // Defines a function from lines, as a script would.
    void define(std::initializer_list<std::string> lines) {
        script(lines);
        EXPECT_EQ(run(exec_deffunct), 1);
        input.pop();
    }
};

TEST_F(Functions, BodyIsStoredWithReferencesAsBytes) {
    script({"FUNCTION add( 2 )", "{", "   SUM = $1 + $2 $X $", "   PRINT $12abc  ; $1", "}"});
    EXPECT_EQ(run(exec_deffunct), 1);
    EXPECT_EQ(stored("ADD"), "   SUM = <1> + <2> $X $|   PRINT $12abc  ; <1>||| (2)");
    EXPECT_EQ(symtab.find("add")->length, 43);  // the last line's NUL, then the brace's and the block's
    EXPECT_EQ(queued_errors(), "");
}

TEST_F(Functions, HeaderMaySpreadOverLines) {
    script({"FUNCTION", "# the name", "f", "   ", "(", "1 ) ; comment", "# brace next", "{ A $1 } ", "NEXT"});
    EXPECT_EQ(run(exec_deffunct), 1);
    EXPECT_EQ(stored("F"), " A <1> || (1)");
    EXPECT_EQ(input.hold, 0);
    EXPECT_EQ(next_script_line(), "NEXT");
    input.pop();
    define({"FUNCTION none() {}"});
    EXPECT_EQ(stored("NONE"), "|| (0)");
    define({"FUNCTION hex( 0x1F ) { $31 }"});
    EXPECT_EQ(stored("HEX"), " <31> || (31)");
    EXPECT_EQ(queued_errors(), "");
}

TEST_F(Functions, TextAfterTheBodyIsTheNextCommand) {
    script({"FUNCTION f() { A } PRINT x"});
    run(exec_deffunct);
    EXPECT_EQ(held(), " PRINT x");
}

TEST_F(Functions, ReferenceNumbers) {
    // Octal after a leading 0; numbers that are no argument stay as written; bad digits go.
    define({"FUNCTION f( 9 ) { $010 $10 $0 $9 $09 }"});
    EXPECT_EQ(stored("F"), " <8> $10 $0 <9>  || (9)");
    EXPECT_EQ(queued_errors(), "7002 7011");
}

TEST_F(Functions, BadDeclarations) {
    define({"FUNCTION f( 32 ) { A }"});  // references could no longer be told from text
    define({"FUNCTION f( x ) { A }"});
    define({"FUNCTION f 1 ) { A }"});
    define({"FUNCTION f( 1 ] { A }"});
    define({"FUNCTION ( 1 ) { A }"});
    EXPECT_EQ(queued_errors(), "7012 7002 7012 7012 7012 7012");
    EXPECT_EQ(symtab.count, 0);
    clr_errhdl();
    define({"FUNCTION f( 31 ) { A }"});
    define({"FUNCTION F( 1 ) { B }"});
    EXPECT_EQ(queued_errors(), "7005");
    EXPECT_EQ(symtab_serial(), "F:FUNCTION(31)");
}

TEST_F(Functions, RefusedDefinitionLeavesItsLinesAsCommands) {
    script({"FUNCTION f( 1 ] ", "{", "  A", "}"});
    run(exec_deffunct);
    EXPECT_EQ(next_script_line(), "{");
}

TEST_F(Functions, TooLargeBodyIsRefusedWhole) {
    std::string line(3000, 'x');
    script({"FUNCTION f() {", line, line, "}", "NEXT"});
    EXPECT_EQ(run(exec_deffunct), 1);
    EXPECT_EQ(queued_errors(), "6004");
    EXPECT_EQ(symtab.count, 0);
    EXPECT_EQ(next_script_line(), "NEXT");
}

TEST_F(Functions, CallPushesTheExpandedBody) {
    define({"FUNCTION add( 2 ) {", "  SUM = $1 + $2", "  PRINT $2$1", "}"});
    script({"CALL add(3, 4)"});
    EXPECT_EQ(run(exec_call), 1);
    EXPECT_EQ(frames(), "text[  SUM = 3 +  4|  PRINT  43]");
    EXPECT_EQ(queued_errors(), "");
}

TEST_F(Functions, ArgumentsAcrossLines) {
    define({"FUNCTION three( 3 ) { $1/$2/$3 }"});
    // An opening parenthesis at the end of its line leaves no argument there; line ends, ';'
    // and '#' end an argument.
    script({"CALL three(", "a", "b ; comment", "c)"});
    run(exec_call);
    EXPECT_EQ(frames(), "text[ a/b /c ]");
    input.pop();
    input.pop();
    script({"CALL three", "# the list follows", "(x,", "z)"});
    run(exec_call);  // the line end after ',' ends an (empty) argument
    EXPECT_EQ(frames(), "text[ x//z ]");
    EXPECT_EQ(queued_errors(), "");
}

TEST_F(Functions, InnerParenthesesStayInTheirArgument) {
    define({"FUNCTION two( 2 ) { [$1] [$2] }"});
    script({"CALL two((1 + 2), f(a, b))"});
    run(exec_call);
    EXPECT_EQ(frames(), "text[ [(1 + 2)] [ f(a, b)] ]");
    EXPECT_EQ(queued_errors(), "");
}

TEST_F(Functions, WrongArgumentCounts) {
    define({"FUNCTION none() { A }"});
    define({"FUNCTION two( 2 ) { $1 $2 }"});
    script({"CALL none(1)", "CALL none(,)", "CALL none(())", "CALL two(1)", "CALL two(1, 2, 3)", "CALL two()",
            "CALL none(  ) X"});
    for (int i = 0; i < 6; i++) EXPECT_EQ(run(exec_call), 1);
    EXPECT_EQ(queued_errors(), "7015 7015 7015 7015 7015 7015");
    EXPECT_EQ(frames(), "");
    clr_errhdl();
    run(exec_call);
    EXPECT_EQ(frames(), "text[ X] text[ A ]");
    EXPECT_EQ(queued_errors(), "");
}

TEST_F(Functions, CallNeedsAFunction) {
    static short value = 0x4141;
    add_bound("V", T_INT, 2, &value);
    script({"CALL", "CALL nosuch()", "CALL v()", "CALL ;"});
    for (int i = 0; i < 4; i++) EXPECT_EQ(run(exec_call), 1);
    EXPECT_EQ(queued_errors(), "7013 7014 7014 7014");
    EXPECT_EQ(frames(), "");
}

TEST_F(Functions, RestOfTheCallLineRunsAfterTheBody) {
    define({"FUNCTION f( 1 ) { B $1 }"});
    script({"CALL f(x) C ; D", "CALL f(y) ; comment", "CALL f(z)   # note"});
    run(exec_call);
    EXPECT_EQ(frames(), "text[ C ; D] text[ B x ]");
    input.pop();
    input.pop();
    run(exec_call);
    EXPECT_EQ(frames(), "text[ B y ]");
    input.pop();
    run(exec_call);
    EXPECT_EQ(frames(), "text[ B z ]");
}

TEST_F(Functions, ExpansionThatDoesNotFitIsRefused) {
    // Four references and the two closing NULs: 4 * 1023 + 2 bytes fill hugebuf but for two.
    define({"FUNCTION f( 1 ) {$1$1$1$1}"});
    script({"CALL f(" + std::string(1024, 'a') + ") AFTER", "CALL f(" + std::string(1023, 'b') + ")"});
    EXPECT_EQ(run(exec_call), 1);
    EXPECT_EQ(queued_errors(), "6004");
    EXPECT_EQ(frames(), "");
    clr_errhdl();
    EXPECT_EQ(run(exec_call), 1);
    EXPECT_EQ(queued_errors(), "");
    EXPECT_EQ(frames(), "text[" + std::string(4092, 'b') + "]");
}

TEST_F(Functions, ControlCharactersInTheBodyAreNoReferences) {
    // A tab in a function of 9 or more arguments would otherwise be taken for $9.
    define({"FUNCTION f( 9 ) {\tA $9\x7f }"});
    EXPECT_EQ(stored("F"), "<127><9>A <9><127><127> || (9)");
    script({"CALL f(1,2,3,4,5,6,7,8,nine)"});
    run(exec_call);
    EXPECT_EQ(frames(), "text[\tA nine\x7f ]");
}

TEST_F(Functions, EndOfInputAbandonsTheCall) {
    define({"FUNCTION f( 2 ) { A }"});
    script({"CALL f(1,"});  // the first argument and an empty one, then no more input
    EXPECT_EQ(run(exec_call), 1);
    EXPECT_EQ(input.depth, 1);
    EXPECT_EQ(queued_errors(), "");
}

}  // namespace
