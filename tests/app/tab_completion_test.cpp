// TAB completion at the terminal, typed on a pseudo-terminal: command words, a command's
// keywords, a variable's name, a file's name; and piped input, which is not completed.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <unistd.h>
#include <cstdlib>

#include "support/pty_driver.h"
#include "support/run_program.h"

namespace {

const int WAIT_MS = 5000;

// The program on a new terminal, at its first prompt.
class TabCompletion : public ::testing::Test {
protected:
    PTY_DRIVER term;
    void SetUp() override {
        if (!term.start(VELKOR_BINARY, {"--sim"})) GTEST_SKIP() << "no pseudo-terminal";
        ASSERT_TRUE(term.expect("PnP> ", WAIT_MS)) << term.seen;
    }
    // Runs a line and waits for the prompt after it.
    void line(const std::string& text) {
        term.type(text + "\n");
        ASSERT_TRUE(term.expect(text + "\r\n", WAIT_MS)) << term.seen;
        ASSERT_TRUE(term.expect("PnP> ", WAIT_MS)) << term.seen;
    }
    // Throws the line being typed away (Ctrl-U), then EXIT: the program ends well.
    void exit() {
        term.type(
            "\x15"
            "EXIT\n");
        EXPECT_EQ(term.finish(WAIT_MS), 0) << term.seen;
    }
};

TEST_F(TabCompletion, CommandWordsCompleteInTheTypedCase) {
    term.type("DET\t");
    ASSERT_TRUE(term.expect("DETECT ", WAIT_MS)) << term.seen;
    term.type("\n");
    ASSERT_TRUE(term.expect("\r\n", WAIT_MS)) << term.seen;
    ASSERT_TRUE(term.expect("PnP> ", WAIT_MS)) << term.seen;  // DETECT ran: no card is current
    EXPECT_EQ(term.seen.find("Bad or Unknown command"), std::string::npos) << term.seen;
    term.type("sta\t");
    ASSERT_TRUE(term.expect("status ", WAIT_MS)) << term.seen;
    term.type("\n");
    ASSERT_TRUE(term.expect("PnP> ", WAIT_MS)) << term.seen;
    EXPECT_EQ(term.seen.find("Bad or Unknown command"), std::string::npos) << term.seen;
    exit();
}

// An ambiguous word completes nothing at the first TAB; the second lists the choices.
TEST_F(TabCompletion, DeviceSetListsTheResourcesATypedWordBegins) {
    term.type("DEVICE SET I\t\t");
    ASSERT_TRUE(term.expect("DEVICE SET I", WAIT_MS)) << term.seen;
    ASSERT_TRUE(term.expect("IOPORT", WAIT_MS)) << term.seen;
    ASSERT_TRUE(term.expect("IRQ", WAIT_MS)) << term.seen;
    ASSERT_TRUE(term.expect("PnP> DEVICE SET I", WAIT_MS)) << term.seen;  // the line again, as typed
    EXPECT_EQ(term.seen.find("MEM"), std::string::npos) << term.seen;
    // "IR" completes at once; then the IRQ type words.
    term.type("R\t0 5 L\t\t");
    ASSERT_TRUE(term.expect("RQ 0 5 L", WAIT_MS)) << term.seen;  // after the "DEVICE SET I" above
    ASSERT_TRUE(term.expect("LEVEL", WAIT_MS)) << term.seen;
    ASSERT_TRUE(term.expect("LOW", WAIT_MS)) << term.seen;
    exit();
}

TEST_F(TabCompletion, DumpKeywordsComplete) {
    line("ISOLATE");
    line("DETECT 1");
    term.type("DUMP \t\t");
    ASSERT_TRUE(term.expect("CARD", WAIT_MS)) << term.seen;
    ASSERT_TRUE(term.expect("DEVICE", WAIT_MS)) << term.seen;
    ASSERT_TRUE(term.expect("RESOURCES", WAIT_MS)) << term.seen;
    term.type("r\t");
    ASSERT_TRUE(term.expect("DUMP resources ", WAIT_MS)) << term.seen;  // in the typed word's case
    term.type("\n");
    ASSERT_TRUE(term.expect("PnP> ", WAIT_MS)) << term.seen;
    EXPECT_EQ(term.seen.find("ERROR"), std::string::npos) << term.seen;
    exit();
}

TEST_F(TabCompletion, VariableNamesCompleteAfterDollarAndAtTheStart) {
    line("INT counter");
    term.type("cou\t= 42\n");
    ASSERT_TRUE(term.expect("counter = 42\r\n", WAIT_MS)) << term.seen;
    ASSERT_TRUE(term.expect("PnP> ", WAIT_MS)) << term.seen;
    term.type("PRINT [$cou\t]\n");
    ASSERT_TRUE(term.expect("PRINT [$counter ]\r\n", WAIT_MS)) << term.seen;
    ASSERT_TRUE(term.expect("[42 ]\r\n", WAIT_MS)) << term.seen;
    term.type("PRINT $PNP_CS\t\n");
    ASSERT_TRUE(term.expect("PRINT $PNP_CSN \r\n", WAIT_MS)) << term.seen;  // a bound variable
    exit();
}

TEST_F(TabCompletion, FileNamesCompleteAfterAt) {
    // '@' takes no '-' in a name (the tokenizer ends a word there): a directory of the test's
    // own, named without one.
    char pattern[] = "/tmp/velkorTabXXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    std::string dir = pattern, file = dir + "/setup_complete.pnp", other = dir + "/other.pnp";
    std::ofstream(file) << "PRINT ran the file\n";
    std::ofstream(other) << "PRINT not this one\n";
    term.type("@" + dir + "/setu\t");
    bool completed = term.expect("/setup_complete.pnp ", WAIT_MS);
    term.type("\n");
    bool ran = completed && term.expect("\r\nran the file\r\n", WAIT_MS);
    unlink(file.c_str());
    unlink(other.c_str());
    rmdir(dir.c_str());
    ASSERT_TRUE(completed) << term.seen;
    ASSERT_TRUE(ran) << term.seen;
    exit();
}

// Piped input is read as before: a TAB in it completes no command word.
TEST(TabCompletionPiped, PipedInputIsNotCompleted) {
    RUN_RESULT r = run_velkor({"--sim"}, "DET\t\nPRINT after\n");
    EXPECT_EQ(r.out.find("DETECT"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("ERROR (0FA3): Bad or Unknown command"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\nafter\n"), std::string::npos) << r.out;
    // A TAB in a piped line stays in the line, as in a command file: readline's own TAB would
    // complete "exa" to a file name of the working directory, or drop the TAB when none matches.
    r = run_velkor({"--sim"}, "PRINT exa\tX\n");
    EXPECT_NE(r.out.find("\nexa\tX\n"), std::string::npos) << r.out;
    r = run_velkor({"-q", "--sim"}, "PRINT exa\tX\n");
    EXPECT_EQ(r.out, "exa\tX\n");
}

}  // namespace
