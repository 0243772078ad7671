// Output and mode commands: flags, the output file, PRINT and SHELL.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

#include "input/input_stack.h"
#include "script/output.h"
#include "shell/errhdl.h"
#include "shell/parse.h"

namespace {

class Output : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/velkor_out_XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
        file_confine_dir = dir.c_str();
        close_outfile();
        clr_errhdl();
        udebug = uquote = 0;
        echo = 0;
    }
    void TearDown() override {
        close_outfile();
        file_confine_dir = nullptr;
        shell_disabled = 0;
        clr_errhdl();
        udebug = uquote = 0;
        std::string cmd = "rm -rf '" + dir + "'";
        ASSERT_EQ(system(cmd.c_str()), 0);
    }

    // Runs line through the six handlers; returns what it printed on the standard output.
    std::string run(const char* line) {
        P.command(line);
        P.get(0);
        testing::internal::CaptureStdout();
        short taken = exec_debug() || exec_echo(&echo) || exec_quote() || exec_file() ||
                      exec_print() || exec_shell();
        fflush(stdout);
        std::string out = testing::internal::GetCapturedStdout();
        EXPECT_TRUE(taken) << line;
        return out;
    }
    std::string content(const char* name) {
        std::ifstream f(dir + "/" + name);
        std::stringstream s;
        s << f.rdbuf();
        return s.str();
    }

    std::string dir;
    unsigned short echo;
};

TEST_F(Output, ModeFlags) {
    EXPECT_EQ(run("ECHO"), "Echo state is OFF\n");
    run("echo o");
    EXPECT_EQ(echo, 1);
    EXPECT_EQ(run("ECHO"), "Echo state is ON\n");
    run("ECHO OF");
    EXPECT_EQ(echo, 0);
    run("QUOTE ON extra words");
    EXPECT_EQ(uquote, 1);
    EXPECT_EQ(run("Quote"), "Quote state is ON\n");
    run("DEBUG on");
    EXPECT_EQ(run("DEBUG"), "Debug state is ON\n");
    EXPECT_EQ(errhdl_count(), 0);
    run("DEBUG MAYBE");
    EXPECT_EQ(udebug, 1);
    EXPECT_EQ(errhdl_code(0), 4003);
    P.command("DEBUGX");
    P.get(0);
    EXPECT_EQ(exec_debug(), 0);  // keywords are exact
}

TEST_F(Output, FileOpenShowClose) {
    EXPECT_EQ(run("FILE"), "Output File: screen\n");
    run("FILE Report.TXT rest ignored");
    EXPECT_NE(outfp, stdout);
    EXPECT_EQ(run("FILE"), "Output File: Report.TXT\n");
    EXPECT_EQ(run("PRINT -o one"), "");
    EXPECT_EQ(run("PRINT two"), "two\n");
    run("FILE close");
    EXPECT_EQ(outfp, stdout);
    EXPECT_EQ(run("FILE"), "Output File: screen\n");
    EXPECT_EQ(content("Report.TXT"), "one\n");
    EXPECT_EQ(run("PRINT -o three"), "three\n");

    run("FILE -a Report.TXT");
    run("PRINT -o four");
    run("FILE -x Report.TXT");  // an unknown option is ignored: written anew
    run("PRINT -o five");
    run("FILE CLOSE");
    EXPECT_EQ(content("Report.TXT"), "five\n");
    run("FILE -A Report.TXT");
    run("PRINT -o six");
    run("FILE CL");  // CL is a file name, not CLOSE
    EXPECT_EQ(content("Report.TXT"), "five\nsix\n");
    EXPECT_EQ(run("FILE"), "Output File: CL\n");
    EXPECT_EQ(errhdl_count(), 0);
}

TEST_F(Output, FileNames) {
    run("FILE \"my report.out\" x");
    run("PRINT -o a");
    run("FILE my report.out");
    run("PRINT -o b");
    run("FILE 'sub-1.v2'");
    run("FILE CLOSE");
    EXPECT_EQ(content("my report.out"), "a\n");
    EXPECT_EQ(content("my"), "b\n");
    EXPECT_EQ(access((dir + "/sub-1.v2").c_str(), F_OK), 0);
    EXPECT_EQ(errhdl_count(), 0);

    // Nothing changes when the name is missing.
    run("FILE kept");
    for (const char* line : {"FILE -", "FILE -a", "FILE \"unclosed"}) {
        run(line);
        EXPECT_EQ(run("FILE"), "Output File: kept\n") << line;
    }
    EXPECT_EQ(errhdl_count(), 0);
}

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
    run("FILE second");  // the same name again: written anew
    run("PRINT -o x");
    run("FILE bad/name");
    EXPECT_EQ(content("second"), "x\n");
    EXPECT_EQ(errhdl_code(0), 6003);
}

TEST_F(Output, PrintText) {
    struct { const char* line; const char* out; } cases[] = {
        {"PRINT", "\n"},
        {"PRINT # note", "\n"},
        {"PRINT -n hello", "hello"},
        {"PRINT a;b;c", "a;b\n"},
        {"PRINT done;", "done\n"},
        {"PRINT -5", "5\n"},
        {"PRINT - x", "x\n"},
        {"PRINT   Mixed  Case \"q\" 'x' ", "Mixed  Case \"q\" 'x' \n"},
        {"PRINT x # not printed; y", "x \n"},
        {"PRINT -ne a", "a"},
        {"PRINT -n -e a\\tb", "a\tb"},
        {"PRINT -nfoo", "foo"},
        {"PRINT -e x\\ty\\nz", "x\ty\nz\n"},
        {"PRINT -e \\e\\E\\r\\R\\f\\F\\T\\\\\\q", "\x1b\x1b\r\r\f\fT\\q\n"},
        {"PRINT -e a\\;b\\#c;d", "a;b#c\n"},
        {"PRINT -e ab\\", "ab\n"},
        {"PRINT x\\ty\\;z", "x\\ty\\\n"},
        {"PRINT %s %d", "%s %d\n"},
    };
    for (auto& c : cases) EXPECT_EQ(run(c.line), c.out) << c.line;
}

TEST_F(Output, PrintTextIsCutAtItsBuffer) {
    std::string line = "PRINT " + std::string(1100, 'x') + ";";
    EXPECT_EQ(run(line.c_str()), std::string(1023, 'x') + "\n");
}

TEST_F(Output, Shell) {
    EXPECT_EQ(run("SHELL true"), "");
    EXPECT_EQ(run("SHELL false"), "Error: 256\n");
    EXPECT_EQ(run("sh exit 3"), "Error: 768\n");
    EXPECT_EQ(run("!echo  Mixed;  echo B"), "Mixed\nB\n");
    EXPECT_EQ(run("SHELL velkor_no_such_command_x 2>/dev/null"), "Error: 32512\n");
    EXPECT_EQ(run("SHELL"), "");
    P.command("SHELLS true");
    P.get(0);
    EXPECT_EQ(exec_shell(), 0);
    shell_disabled = 1;
    EXPECT_EQ(run("SHELL echo no"), "");
    EXPECT_EQ(run("SHELL false"), "");
}

}  // namespace
