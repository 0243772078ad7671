// Output and mode commands: flags, the output file, PRINT and SHELL.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

#include "app/command_loop.h"
#include "input/input_stack.h"
#include "script/output.h"
#include "shell/errhdl.h"
#include "shell/parse.h"
#include "shell/signals.h"
#include "support/program_fixture.h"
#include "support/run_line.h"

namespace {

// ECHO as the command loop offers it, with the loop's flag.
short echo_handler() { return exec_echo(&echo_flag); }

// A fresh program whose FILE names are confined to a directory of the test's own.
class Output : public ProgramTest {
protected:
    void SetUp() override {
        ProgramTest::SetUp();
        char tmpl[] = "/tmp/velkor_out_XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
        file_confine_dir = dir.c_str();
    }
    void TearDown() override {
        close_outfile();
        std::string cmd = "rm -rf '" + dir + "'";
        ASSERT_EQ(system(cmd.c_str()), 0);
        ProgramTest::TearDown();
    }

    // Runs line through the six handlers; returns what it printed on the standard output.
    static std::string run(const char* line) {
        return run_line_output({exec_debug, echo_handler, exec_quote, exec_file, exec_print, exec_shell},
                               line);
    }
    std::string content(const char* name) {
        std::ifstream f(dir + "/" + name);
        std::stringstream s;
        s << f.rdbuf();
        return s.str();
    }

    std::string dir;
};

TEST_F(Output, FileNameLimits) {
    std::string name63(63, 'n');
    run(("FILE " + name63).c_str());
    EXPECT_EQ(run("FILE"), "Output File: " + name63 + "\n");
    EXPECT_EQ(errhdl_count(), 0);
    for (std::string bad : {std::string(64, 'n'), std::string("../escape"), std::string("a/../../b"),
                            std::string("/tmp/abs"), std::string("\"\""), std::string("nodir/x")}) {
        clr_errhdl();
        run(("FILE " + bad).c_str());
        EXPECT_EQ(errhdl_code(0), 6003) << bad;
        EXPECT_EQ(outfp, stdout) << bad;
        EXPECT_EQ(run("FILE"), "Output File: screen\n") << bad;
    }
    EXPECT_NE(access("escape", F_OK), 0);
}

TEST_F(Output, ReopeningClosesThePreviousFile) {
    run("FILE first");
    run("PRINT -o -n data");
    run("FILE second");
    EXPECT_EQ(content("first"), "data");  // flushed and closed, not left buffered
    run("FILE second");                   // the same name again: written anew
    run("PRINT -o x");
    run("FILE bad/name");
    EXPECT_EQ(content("second"), "x\n");
    EXPECT_EQ(errhdl_code(0), 6003);
}

TEST_F(Output, PrintEscapesAndDestination) {
    EXPECT_EQ(run("PRINT -e \\e\\E\\r\\R\\f\\F\\t\\T\\\\\\q"), "\x1b\x1b\r\r\f\f\tT\\q\n");
    EXPECT_EQ(run("PRINT %s %d"), "%s %d\n");
    run("FILE out");
    EXPECT_EQ(run("PRINT -no x"), "");
    EXPECT_EQ(run("PRINT y"), "y\n");  // without -o always the screen
    run("FILE CLOSE");
    EXPECT_EQ(content("out"), "x");
}

TEST_F(Output, PrintTextIsCutAtItsBuffer) {
    std::string line = "PRINT " + std::string(1100, 'x') + ";";
    EXPECT_EQ(run(line.c_str()), std::string(1023, 'x') + "\n");
}

TEST_F(Output, ShellKeywordsAndSwitch) {
    EXPECT_EQ(run("sh exit 3"), "Error: 768\n");
    EXPECT_EQ(run("!echo  Mixed;  echo B"), "Mixed\nB\n");
    EXPECT_EQ(run("SHELL"), "");
    EXPECT_EQ(run_line(exec_shell, "SHELLS true"), 0);
    shell_disabled = 1;
    EXPECT_EQ(run("SHELL echo no"), "");
    EXPECT_EQ(run("SHELL false"), "");
}

// The command is the whole rest of the line, however many words and separators it has.
TEST_F(Output, ShellRunsTheWholeRestOfTheLine) {
    std::string path;
    for (char c = 'a'; c <= 'z'; c++) path += std::string(path.empty() ? "" : "/") + c;
    std::string line = "SHELL printf '%s\\n' " + path + " " + path + " > '" + dir + "/paths.txt'";
    EXPECT_EQ(run(line.c_str()), "");
    EXPECT_EQ(content("paths.txt"), path + "\n" + path + "\n");
    EXPECT_EQ(run("SHELL   printf '[%s]\\n' \"Two   Blanks\""), "[Two   Blanks]\n");
    EXPECT_EQ(run("!printf x"), "x");
    EXPECT_EQ(run("SH   "), "");
}

// Only a command that SIGINT ended stops the script; its status is reported as for any other.
TEST_F(Output, ShellCommandEndedByCtrlCInterrupts) {
    // The command inherits the default action, whatever this test runner was started with.
    struct sigaction dfl = {}, old;
    dfl.sa_handler = SIG_DFL;
    sigaction(SIGINT, &dfl, &old);
    sig_interrupt = 0;
    EXPECT_EQ(run("SHELL exit 130"), "Error: -32256\n");  // a shell's "interrupted" exit code, 130
    EXPECT_EQ(sig_interrupt, 0);
    EXPECT_EQ(run("SHELL kill -TERM $$"), "Error: 15\n");
    EXPECT_EQ(sig_interrupt, 0);
    EXPECT_EQ(run("SHELL kill -INT $$"), "Error: 2\n");
    EXPECT_EQ(sig_interrupt, 1);
    sig_interrupt = 0;
    sigaction(SIGINT, &old, nullptr);
}

}  // namespace
