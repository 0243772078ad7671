// Keyboard lines: the length limit, and the history (kept only at a terminal, and bounded).
#include <gtest/gtest.h>

#include <string>

#include "shell/cgets.h"
#include "support/pty_driver.h"
#include "support/run_program.h"

namespace {

const int WAIT_MS = 5000;

size_t count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) n++;
    return n;
}

// A line is at most 1023 characters, from the keyboard as from a command file: a longer one is
// refused whole, not cut and run.
TEST(Keyboard, LineOverTheBufferIsRefusedWhole) {
    std::string fits = "PRINT " + std::string(1023 - 6, 'z');
    std::string over = "PRINT " + std::string(1024 - 6, 'j');
    RUN_RESULT r = run_velkor({"--sim"}, fits + "\n" + over + "\nPRINT next\n");
    // Only the longer line is refused, and nothing of it is printed.
    EXPECT_EQ(count(r.out, "\nERROR (1774): Max token buffer length is reached\n"), 1u);
    EXPECT_EQ(count(r.out, "z"), 2 * 1017u);
    EXPECT_EQ(count(r.out, "j"), 1018u);  // readline's echo of the typed line, no PRINT output
    EXPECT_NE(r.out.find("\nnext\n"), std::string::npos);
}

// Piped input is read ahead; a command that SHELL runs still reads on where the script stands
// when standard input is a file.
TEST(Keyboard, ShellCommandReadsOnFromTheScriptsStandardInput) {
    RUN_RESULT r = run_velkor({"--sim"}, "SHELL read x; echo \"child got $x\"\nhello\nPRINT after\n");
    EXPECT_NE(r.out.find("child got hello\n"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("ERROR"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\nafter\n"), std::string::npos);
}

// GET reads a keyboard line too: a refused one leaves the variable as it was.
TEST(Keyboard, GetOfALineOverTheBufferKeepsTheValue) {
    RUN_RESULT r = run_velkor({"--sim"}, "INT x\nx = 7\nGET x\n" + std::string(1100, '1') + "\nPRINT x=$x\n");
    EXPECT_EQ(count(r.out, "\nERROR (1774): Max token buffer length is reached\n"), 1u);
    EXPECT_NE(r.out.find("\nx=7\n"), std::string::npos) << r.out;
}

// Input that is not a terminal keeps no history: an Up key in piped text recalls nothing.
TEST(Keyboard, PipedInputKeepsNoHistory) {
    RUN_RESULT r = run_velkor({"--sim"}, "PRINT once-only\n\x1b[A\n");
    EXPECT_EQ(count(r.out, "\nonce-only\n"), 1u) << r.out;
}

TEST(Keyboard, TerminalHistoryKeepsTheLatestLines) {
    PTY_DRIVER term;
    if (!term.start(VELKOR_BINARY, {"--sim"})) GTEST_SKIP() << "no pseudo-terminal";
    ASSERT_TRUE(term.expect("PnP> ", WAIT_MS)) << term.seen;
    const int typed = CGETS_HISTORY_MAX + 1;
    for (int i = 0; i < typed; i++) {
        term.type("PRINT h" + std::to_string(i) + "\n");
        if (i % 50 == 49 || i == typed - 1) {
            ASSERT_TRUE(term.expect("\r\nh" + std::to_string(i) + "\r\n", WAIT_MS)) << term.seen;
        }
    }
    ASSERT_TRUE(term.expect("PnP> ", WAIT_MS));
    // Up as often as there were lines: the oldest line the history still holds comes back.
    std::string ups;
    for (int i = 0; i < typed; i++) ups += "\x1b[A";
    term.type(ups + "\n");
    ASSERT_TRUE(term.expect("\r\nh1\r\n", WAIT_MS)) << term.seen.substr(term.seen.size() - 200);
    EXPECT_EQ(term.seen.find("\r\nh0\r\n", term.mark - 8), std::string::npos);
    term.type("EXIT\n");
    EXPECT_EQ(term.finish(WAIT_MS), 0);
}

TEST(Keyboard, TerminalLineOverTheBufferIsRefused) {
    PTY_DRIVER term;
    if (!term.start(VELKOR_BINARY, {"--sim"})) GTEST_SKIP() << "no pseudo-terminal";
    ASSERT_TRUE(term.expect("PnP> ", WAIT_MS)) << term.seen;
    term.type("PRINT " + std::string(1100, 'c') + "\n");
    ASSERT_TRUE(term.expect("ERROR (1774): Max token buffer length is reached", WAIT_MS));
    term.type("PRINT alive\n");
    ASSERT_TRUE(term.expect("\r\nalive\r\n", WAIT_MS));
    EXPECT_EQ(term.seen.find(std::string(1017, 'c') + "\r\n"), std::string::npos);
    term.type("EXIT\n");
    EXPECT_EQ(term.finish(WAIT_MS), 0);
}

}  // namespace
