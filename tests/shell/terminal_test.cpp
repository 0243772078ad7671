// The program at a real terminal: prompt, history, Ctrl-C, Ctrl-D and termination signals.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

#include "support/pty_driver.h"

namespace {

const int WAIT_MS = 3000;

class Terminal : public ::testing::Test {
protected:
    void start(const std::vector<std::string>& args) {
        if (!term.start(VELKOR_BINARY, args)) GTEST_SKIP() << "no pseudo-terminal";
        ASSERT_TRUE(term.expect("VELKOR V2.10", WAIT_MS)) << term.seen;
        ASSERT_TRUE(term.expect("PnP> ", WAIT_MS)) << term.seen;
    }
    void TearDown() override {
        if (term.pid > 0) term.finish(WAIT_MS);
    }
    void expect(const std::string& text) { ASSERT_TRUE(term.expect(text, WAIT_MS)) << term.seen; }
    PTY_DRIVER term;
};

TEST_F(Terminal, HistoryRecallsTypedLinesButNotBlankOnes) {
    start({"--sim"});
    term.type("PRINT first-line\n");
    expect("PRINT first-line\r\nfirst-line\r\n");
    expect("PnP> ");
    term.type("    \n");  // a blank line is not added to the history
    expect("PnP> ");
    term.type("\x1b[A\n");  // Up: the line before the blank one
    expect("PRINT first-line\r\nfirst-line\r\n");
    expect("PnP> ");
    term.type("EXIT\n");
    EXPECT_EQ(term.finish(WAIT_MS), 0);
}

TEST_F(Terminal, CtrlCDiscardsTheLineBeingTyped) {
    start({"--sim"});
    term.type("PRINT discarded");
    expect("discarded");
    term.type("\x03");
    expect("PnP> ");
    term.type("PRINT kept\n");
    expect("PRINT kept\r\nkept\r\n");
    EXPECT_EQ(term.seen.find("discardedPRINT"), std::string::npos);
    EXPECT_EQ(term.seen.find("ERROR"), std::string::npos) << term.seen;
    term.type("EXIT\n");
    EXPECT_EQ(term.finish(WAIT_MS), 0);
}

TEST_F(Terminal, CtrlCStopsAnEndlessLoop) {
    start({"--sim"});
    term.type("WHILE (1) { }\n");
    usleep(200 * 1000);
    term.type("\x03");
    expect("PnP> ");
    term.type("PRINT alive\n");
    expect("alive\r\n");
    term.type("EXIT\n");
    EXPECT_EQ(term.finish(WAIT_MS), 0);
}

// Ctrl-C reaches the command that SHELL runs as well: it ends the command and the loop.
TEST_F(Terminal, CtrlCStopsALoopOfShellCommands) {
    start({"--sim"});
    term.type("WHILE (1) {\n");
    expect("WHILE> ");
    term.type("SHELL sleep 0.5\n");
    expect("WHILE> ");
    term.type("}\n");
    usleep(300 * 1000);  // within the first sleep
    term.type("\x03");
    expect("Error: 2\r\n");
    expect("PnP> ");
    term.type("PRINT after\n");
    expect("after\r\n");
    term.type("EXIT\n");
    EXPECT_EQ(term.finish(WAIT_MS), 0);
}

TEST_F(Terminal, CtrlCAbandonsAConstructBeingTyped) {
    start({"--sim"});
    term.type("WHILE (1)\n");
    expect("WHILE> ");
    term.type("\x03");
    expect("PnP> ");
    term.type("PRINT free\n");
    expect("free\r\n");
    term.type("EXIT\n");
    EXPECT_EQ(term.finish(WAIT_MS), 0);
}

TEST_F(Terminal, CtrlDEndsTheProgram) {
    start({"--sim"});
    term.type("\x04");
    EXPECT_EQ(term.finish(WAIT_MS), 0);
}

TEST_F(Terminal, SigtermEndsConfigurationModeAndClosesTheOutputFile) {
    char path[] = "/tmp/velkor-trace-XXXXXX";
    int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
    std::string out = std::string(path) + ".out";
    start({"--sim", "--trace", path});
    term.type("FILE " + out + "\n");
    expect("PnP> ");
    term.type("PRINT -o kept in the file\n");
    expect("PnP> ");
    term.type("ISOLATE\n");
    expect("PnP> ");
    term.type("DETECT 1\n");
    expect("PnP> ");
    term.type("DEVICE BEGIN\n");
    expect("PnP> ");
    usleep(100 * 1000);
    kill(term.pid, SIGTERM);
    EXPECT_EQ(term.finish(WAIT_MS), 0);
    std::ifstream f(path);
    std::stringstream s;
    s << f.rdbuf();
    std::string trace = s.str();
    remove(path);
    std::ifstream o(out);
    std::stringstream os;
    os << o.rdbuf();
    remove(out.c_str());
    EXPECT_EQ(os.str(), "kept in the file\n");  // the output file was flushed and closed
    // Logical Device Number 0 selected by BEGIN, then Wait for Key from the clean-up.
    std::string tail = "out 0279 07\nout 0A79 00\nout 0279 02\nout 0A79 02\n";
    ASSERT_GE(trace.size(), tail.size());
    EXPECT_EQ(trace.substr(trace.size() - tail.size()), tail);
}

}  // namespace
