// Continuation prompts of the block statements, seen at a real terminal.
#include <gtest/gtest.h>

#include "support/pty_driver.h"

namespace {

// Short and bounded: every expectation is met within milliseconds when the program is right.
const int WAIT_MS = 3000;

class Prompts : public ::testing::Test {
protected:
    void SetUp() override {
        if (!term.start(VELKOR_BINARY, {"--sim"})) GTEST_SKIP() << "no pseudo-terminal";
        ASSERT_TRUE(term.expect("PnP> ", WAIT_MS)) << term.seen;
    }
    void TearDown() override {
        if (term.pid > 0) {
            term.type("EXIT\n");
            EXPECT_EQ(term.finish(WAIT_MS), 0);
        }
    }
    // Types line and waits for prompt to be shown after it.
    void step(const std::string& line, const std::string& prompt) {
        term.type(line + "\n");
        ASSERT_TRUE(term.expect(prompt, WAIT_MS)) << "after \"" << line << "\" no \"" << prompt << "\" in:\n"
                                                  << term.seen.substr(term.mark);
    }
    PTY_DRIVER term;
};

TEST_F(Prompts, LoopsAskForTheirContinuationLines) {
    step("INT I", "PnP> ");
    step("WHILE ($I < 2)", "WHILE> ");
    step("{", "WHILE> ");
    step("I = $I + 1", "WHILE> ");
    step("}", "PnP> ");
    step("PRINT I is $I", "I is 2");
    step("FOR (I = 0;", "FOR> ");
    step("($I < 3); I = $I + 1)", "FOR> ");
    step("{ PRINT pass $I", "FOR> ");
    step("}", "pass 0");
    ASSERT_TRUE(term.expect("pass 2", WAIT_MS)) << term.seen;
    ASSERT_TRUE(term.expect("PnP> ", WAIT_MS)) << term.seen;
}

TEST_F(Prompts, FunctionsAndCalls) {
    step("FUNCTION greet( 1 )", "FUNCTION> ");
    step("{", "FUNCTION> ");
    step("PRINT hello $1", "FUNCTION> ");
    step("}", "PnP> ");
    step("CALL greet(", "CALL> ");
    step("world)", "hello world");
    ASSERT_TRUE(term.expect("PnP> ", WAIT_MS)) << term.seen;
}

TEST_F(Prompts, ConditionalsAndElse) {
    step("INT Z", "PnP> ");
    step("IF (0)", "IF> ");
    step("{", "IF> ");  // a false block is read and thrown away
    step("Z = 1", "IF> ");
    step("}", "PnP> ");
    step("ELSE", "ELSE> ");  // the block before it was skipped: this part runs
    step("{", "PnP> ");
    step("Z = $Z + 2", "PnP> ");
    step("}", "PnP> ");
    step("ELSE", "ELSE> ");  // a block ran: this part is skipped up to its '}'
    step("{ Z = 10", "ELSE> ");
    step("}", "PnP> ");
    step("PRINT Z is $Z", "Z is 2");
}

}  // namespace
