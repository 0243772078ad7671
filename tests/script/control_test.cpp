// Loops and conditionals: what the handlers capture and push, BREAK/CONTINUE, the ELSE handling.
#include <gtest/gtest.h>

#include <string>

#include "input/input_stack.h"
#include "script/control.h"
#include "script/script_fixture.h"
#include "script/symtab.h"
#include "shell/errhdl.h"
#include "shell/parse.h"
#include "support/run_line.h"
#include "support/state_text.h"
#include "support/symbols.h"

namespace {

class Control : public ScriptTest {};

TEST_F(Control, WhileCapturesBodyAndCondition) {
    script({"WHILE ($I < 3)  ; the condition goes on", "# after a comment", "  && 1 {   A = 1",
            "     B = 2 ; kept", "    ", "   # kept too", "  }  "});
    EXPECT_EQ(run(exec_while), 1);
    // Leading blanks of continuation lines go, blank lines vanish, ';' and '#' stay.
    EXPECT_EQ(frames(), "loop[A = 1|B = 2 ; kept|# kept too] if[ ($I < 3)      && 1 ]");
    EXPECT_EQ(queued_errors(), "");
    EXPECT_EQ(next_script_line(), "-");
}

TEST_F(Control, OneLineLoopKeepsTheRestOfItsLineBelowIt) {
    script({"WHILE (1) { X = 1 } PRINT done", "WHILE (1) { { } }", "WHILE (1) {} ; a comment",
            "WHILE (0) { A }   # note"});
    run(exec_while);
    EXPECT_EQ(frames(), "text[ PRINT done] loop[X = 1 ] if[ (1) ]");
    input.pop();
    input.pop();
    run(exec_while);  // inner braces are counted and kept
    EXPECT_EQ(frames(), "loop[{ } ] if[ (1) ]");
    input.pop();
    run(exec_while);  // an empty body; a comment after the brace is no command
    EXPECT_EQ(frames(), "loop[] if[ (1) ]");
    input.pop();
    run(exec_while);
    EXPECT_EQ(frames(), "loop[A ] if[ (0) ]");
    EXPECT_EQ(queued_errors(), "");
}

TEST_F(Control, ForSplitsItsHeader) {
    script({"FOR (I = 0, J = 10;", "  ($I < 3) # comment", "; I = $I + (1), J = $J - 1)", "  {", "  A",
            "    B }"});
    run(exec_for);
    // The init statements on top, the loop with condition and step, continuation blanks kept.
    EXPECT_EQ(frames(),
              "loop[  A|    B ] if[   ($I < 3)  ] step[ I = $I + (1)| J = $J - 1] text[I = 0| J = 10]");
    EXPECT_EQ(queued_errors(), "");
}

TEST_F(Control, ForWithEmptyPartsPushesNoEmptyFrames) {
    script({"FOR (;;) { A } B"});
    run(exec_for);
    EXPECT_EQ(frames(), "text[ B] loop[A ] if[]");
    // The empty condition ends the loop at its first test.
    EXPECT_EQ(input.setup("", 1), 0);
    EXPECT_EQ(queued_errors(), "7018");
    EXPECT_EQ(frames(), "text[ B]");
}

TEST_F(Control, TooLargeConstructsAreRefusedWhole) {
    std::string line(4000, 'x');
    script({"WHILE (1) {", line, line, "}", "FOR (A = 1; 1; " + line + ", " + line + ") { B }",
            "WHILE (" + std::string(2050, '1') + ") { C }", "WHILE (1) { D } " + std::string(1100, 'y'),
            "NEXT"});
    EXPECT_EQ(run(exec_while), 1);
    EXPECT_EQ(queued_errors(), "6004");
    EXPECT_EQ(frames(), "");
    EXPECT_EQ(next_script_line().substr(0, 3), "FOR");  // the whole body was read
    clr_errhdl();
    EXPECT_EQ(run(exec_for), 1);
    EXPECT_EQ(queued_errors(), "6004");
    EXPECT_EQ(frames(), "");
    clr_errhdl();
    EXPECT_EQ(run(exec_while), 1);
    EXPECT_EQ(queued_errors(), "6004");
    clr_errhdl();
    EXPECT_EQ(run(exec_while), 1);  // the rest of the line does not fit smallbuf
    EXPECT_EQ(queued_errors(), "6004");
    EXPECT_EQ(frames(), "");
    EXPECT_EQ(next_script_line(), "NEXT");
}

TEST_F(Control, LargestBodyThatFits) {
    // 4094 characters and the two closing NULs fill hugebuf exactly.
    std::string body(4094, 'x');
    script({"WHILE (1) {" + body + "}"});
    run(exec_while);
    EXPECT_EQ(queued_errors(), "");
    EXPECT_EQ(frames(), "loop[" + body + "] if[ (1) ]");
}

TEST_F(Control, EndOfInputAbandonsTheLoop) {
    script({"WHILE (1) {", "  A"});
    EXPECT_EQ(run(exec_while), 1);
    EXPECT_EQ(frames(), "");
    EXPECT_EQ(queued_errors(), "");
    EXPECT_EQ(input.depth, 1);
}

TEST_F(Control, ConstructNeverReadsPastTheEndOfALoopBody) {
    // The loop's braces balanced when it was captured; a value put in later may open a block
    // that its body never closes. The next pass must not be read as part of it.
    script({"NEXT"});
    input.push("IF (0) {\0B\0\0", 12, "1", 1, "STEP\0\0", 6);
    ASSERT_EQ(input.setup("", 1), 1);
    P.get(0);
    EXPECT_EQ(exec_if(), 1);
    EXPECT_EQ(queued_errors(), "7006");
    EXPECT_EQ(input.depth, 3);               // the loop stays, at the end of its body
    EXPECT_EQ(input.frames[2]->steplen, 6);  // its step is due
    EXPECT_EQ(input.setup("", 1), 0);        // and goes on with its step
    EXPECT_EQ(input.setup("", 1), 1);
    EXPECT_STREQ(P.line, "STEP");
}

TEST_F(Control, ConstructReadsOnBelowAPlainBlock) {
    // A called body or a rest of a line that ends inside a construct: reading goes on below.
    script({"  A }", "NEXT"});
    input.push("WHILE (0) {\0\0", 13, nullptr, 0, nullptr, 0);
    ASSERT_EQ(input.setup("", 1), 1);
    P.get(0);
    EXPECT_EQ(exec_while(), 1);
    EXPECT_EQ(frames(), "loop[A ] if[ (0) ]");
    EXPECT_EQ(next_script_line(), "NEXT");
    EXPECT_EQ(queued_errors(), "");
}

TEST_F(Control, BreakAndContinueOnlyInsideTheLoopBody) {
    script({"BREAK", "CONT"});
    EXPECT_EQ(run(exec_loopctl), 1);
    EXPECT_EQ(run(exec_loopctl), 1);
    EXPECT_EQ(queued_errors(), "5002 5002");
    clr_errhdl();
    EXPECT_EQ(run_line(exec_loopctl, "BREAK"), 1);  // the script's frame is used up: the keyboard is on top
    EXPECT_EQ(queued_errors(), "5002");

    EXPECT_EQ(run_line(exec_loopctl, "BREAKS"), 0);
    EXPECT_EQ(run_line(exec_loopctl, "CONTIN"), 0);
}

TEST_F(Control, ContinueEndsThePassAndBreakTheLoop) {
    input.push("FIRST\0SECOND\0THIRD\0\0", 20, "1", 1, "STEP\0\0", 6);
    EXPECT_EQ(input.setup("", 0), 1);
    EXPECT_STREQ(P.line, "FIRST");
    EXPECT_EQ(input.setup("", 0), 1);
    input.frames[1]->endbrace = 1;
    EXPECT_EQ(run_line(exec_loopctl, "continue and text that is ignored"), 1);
    EXPECT_EQ(input.frames[1]->endbrace, 0);
    EXPECT_EQ(input.setup("", 0), 0);  // THIRD is skipped: the step is due
    EXPECT_EQ(input.setup("", 0), 1);
    EXPECT_STREQ(P.line, "STEP");
    EXPECT_EQ(input.setup("", 0), 0);
    EXPECT_EQ(input.setup("", 0), 1);  // condition again, then the first line
    EXPECT_STREQ(P.line, "FIRST");
    EXPECT_EQ(run_line(exec_loopctl, "Break"), 1);
    EXPECT_EQ(input.depth, 1);
    EXPECT_EQ(queued_errors(), "");
}

TEST_F(Control, IfRunsOrSkipsItsBlock) {
    script({"IF (1) {", "IF (2 > 1) { A = 1", "IF (0) {", "  X { nested }", "} ELSE {", "IF (0) { A } B",
            "IF (0) { A } ; comment", "IF (1) ; the brace comes", "{"});
    EXPECT_EQ(run(exec_if), 1);
    EXPECT_EQ(held(), "-");
    EXPECT_EQ(run(exec_if), 1);
    EXPECT_EQ(held(), " A = 1");  // the rest of the line runs as the block's first command
    input.hold = 0;
    EXPECT_EQ(run(exec_if), 1);
    EXPECT_EQ(held(), " ELSE {");  // the skipped block ends on this line
    input.hold = 0;
    EXPECT_EQ(run(exec_if), 1);
    EXPECT_EQ(held(), " B");
    input.hold = 0;
    EXPECT_EQ(run(exec_if), 1);
    EXPECT_EQ(held(), "-");
    EXPECT_EQ(run(exec_if), 1);
    EXPECT_EQ(held(), "-");
    EXPECT_EQ(next_script_line(), "-");
    EXPECT_EQ(queued_errors(), "");
}

TEST_F(Control, IfConditionIsSubstitutedAndMaySpanLines) {
    short value = 5;
    add_bound("N", T_INT, 2, &value);
    script({"IF ($N >", "3) {", "  PRINT big", "}", "IF (4 # the rest is a comment", "> $N) {",
            "  PRINT small", "}", "NEXT"});
    EXPECT_EQ(run(exec_if), 1);
    EXPECT_EQ(next_script_line(), "  PRINT big");
    input.setup("", 1);
    input.setup("", 1);
    EXPECT_EQ(run(exec_if), 1);
    EXPECT_EQ(next_script_line(), "NEXT");
    EXPECT_EQ(queued_errors(), "");
}

TEST_F(Control, FailedIfConditionSkipsNothing) {
    script({"IF (1 +) { A", "  B", "}"});
    EXPECT_EQ(run(exec_if), 1);
    EXPECT_NE(queued_errors(), "");
    EXPECT_EQ(held(), "-");
    EXPECT_EQ(next_script_line(), "  B");
}

TEST_F(Control, TooLongIfConditionSkipsTheBlockAndItsElse) {
    script({"IF (" + std::string(1030, '1') + ") {", "  A", "} ELSE {", "  B", "}", "NEXT"});
    EXPECT_EQ(run(exec_if), 1);
    EXPECT_EQ(queued_errors(), "6004");
    EXPECT_EQ(held(), " ELSE {");
    ASSERT_EQ(resume(), 1);
    EXPECT_EQ(exec_ifctl(), 1);  // skipped as if its IF had run
    EXPECT_EQ(next_script_line(), "NEXT");
}

TEST_F(Control, ClosingBraceMarksTheFrame) {
    script({"}  ELSE { A }", "ELSE", "   ", "# comment", "IF (1) {", "}", "ELSE IF (1) {", "  B", "} else {",
            "C }", "ELSE ; { D", "} ELSE ; { E }", "NEXT"});
    EXPECT_EQ(run(exec_if), 1);  // "}" is exec_ifctl's
    EXPECT_EQ(input.frames[1]->endbrace, 1);
    EXPECT_EQ(held(), "  ELSE { A }");
    ASSERT_EQ(resume(), 1);
    EXPECT_EQ(exec_ifctl(), 1);  // a block ran: this ELSE is skipped
    EXPECT_EQ(input.frames[1]->endbrace, 1);
    EXPECT_EQ(held(), "-");
    input.frames[1]->endbrace = 0;
    // ELSE after a skipped block: tokens are read (over blank and comment lines) up to IF,
    // which makes this an ELSE IF, or up to '{'.
    EXPECT_EQ(run(exec_if), 1);
    EXPECT_EQ(std::string(P.line), "IF (1) {");
    EXPECT_EQ(held(), "-");
    EXPECT_EQ(run(exec_if), 1);  // "}": the ELSE IF's block ran
    EXPECT_EQ(resume(), 0);      // nothing after it on its line
    EXPECT_EQ(run(exec_if), 1);  // the ELSE IF with its block is skipped
    EXPECT_EQ(held(), " else {");
    ASSERT_EQ(resume(), 1);
    EXPECT_EQ(exec_ifctl(), 1);  // and so is the last ELSE
    input.frames[1]->endbrace = 0;
    EXPECT_EQ(run(exec_if), 1);  // ';' is dropped like any word: the '{' after it counts
    EXPECT_EQ(std::string(P.line), "ELSE ; { D");
    EXPECT_EQ(held(), " D");
    input.hold = 0;
    EXPECT_EQ(run(exec_if), 1);  // "}": the block ran
    ASSERT_EQ(resume(), 1);
    EXPECT_EQ(exec_ifctl(), 1);  // skipped up to the brace after ';', not into NEXT
    EXPECT_EQ(held(), "-");
    EXPECT_EQ(next_script_line(), "NEXT");
    EXPECT_EQ(queued_errors(), "");
}

TEST_F(Control, OtherCommandsClearTheMark) {
    script({"}", "PRINT x", "ELSE {"});
    run(exec_if);
    input.hold = 0;
    EXPECT_EQ(run(exec_if), 0);  // PRINT: not ours, but the mark is gone
    EXPECT_EQ(input.frames[1]->endbrace, 0);
    EXPECT_EQ(run(exec_if), 1);  // so this ELSE runs
    EXPECT_EQ(input.hold, 1);
}

TEST_F(Control, KeywordsAreWholeWords) {
    script({"W (1) { A }", "WHILEX", "IFS (1)", "FO (;;) {}", "while (0) { a }"});
    EXPECT_EQ(run(exec_while), 0);
    EXPECT_EQ(run(exec_while), 0);
    EXPECT_EQ(run(exec_if), 0);
    EXPECT_EQ(run(exec_for), 0);
    EXPECT_EQ(run(exec_while), 1);
    EXPECT_EQ(frames(), "loop[a ] if[ (0) ]");
}

}  // namespace
