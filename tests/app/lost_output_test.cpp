// Lost output: a report file, trace or standard output that cannot be written is said once on
// standard error and the run ends with status 1; a closed pipe ends the run cleanly and quietly.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>

#include "support/run_program.h"
#include "support/scratch_dir.h"

namespace {

// A scratch directory with a command file, for runs that need a shell around the program.
class LostOutput : public ::testing::Test {
protected:
    SCRATCH_DIR scratch{"lost"};
    std::string dir = scratch.path;
    void write(const std::string& name, const std::string& text) {
        std::ofstream(dir + "/" + name, std::ios::binary) << text;
    }
    // Runs shell_line in the directory, the program's path in $V; its exit status.
    int sh(const std::string& shell_line) {
        std::string cmd = "cd '" + dir + "' && V='" + VELKOR_BINARY + "' && " + shell_line;
        int st = system(cmd.c_str());
        return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    }
};

TEST_F(LostOutput, FullReportFileIsSaidOnceAndFailsTheRun) {
    std::string script = "FILE /dev/full\nSTATUS\nPRINT -o x\nFILE CLOSE\nPRINT screen\n";
    RUN_RESULT r = run_velkor({"--sim"}, script);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "velkor: /dev/full: No space left on device\n");
    // Standard output is what it would be with a file that takes everything.
    RUN_RESULT ok = run_velkor({"--sim"}, "FILE /dev/null\nSTATUS\nPRINT -o x\nFILE CLOSE\nPRINT screen\n");
    EXPECT_EQ(ok.status, 0);
    EXPECT_EQ(ok.err, "");
    std::string want = ok.out;
    for (size_t at; (at = want.find("/dev/null")) != std::string::npos;) want.replace(at, 9, "/dev/full");
    EXPECT_EQ(r.out, want);
}

// The failure is noticed by the end of the command that wrote, not when a buffer fills: the
// message comes before anything a later command writes to standard error.
TEST_F(LostOutput, FailureIsSaidBeforeTheNextCommandRuns) {
    write("s.pnp", "FILE /dev/full\nPRINT -o one line\nSHELL echo next-command >&2\nFILE CLOSE\n");
    EXPECT_EQ(sh("\"$V\" --sim s.pnp </dev/null >/dev/null 2>err"), 1);
    EXPECT_EQ(slurp(dir + "/err"), "velkor: /dev/full: No space left on device\nnext-command\n");
}

TEST_F(LostOutput, FullStandardOutputAndTraceFailTheRun) {
    write("s.pnp", "ISOLATE\nSTATUS\n");
    EXPECT_EQ(sh("\"$V\" --sim s.pnp </dev/null >/dev/full 2>err"), 1);
    EXPECT_EQ(slurp(dir + "/err"), "velkor: standard output: No space left on device\n");
    EXPECT_EQ(sh("\"$V\" --sim --trace /dev/full s.pnp </dev/null >/dev/null 2>err"), 1);
    EXPECT_EQ(slurp(dir + "/err"), "velkor: /dev/full: No space left on device\n");
    EXPECT_EQ(sh("\"$V\" --sim --trace t s.pnp </dev/null >/dev/null 2>err"), 0);
    EXPECT_EQ(slurp(dir + "/err"), "");
}

// A reader that goes away mid-run (head) ends the run through the normal clean-up: the card
// configuration is ended (Wait for Key in the trace), the report file keeps whole lines, and
// nothing is said.
TEST_F(LostOutput, ClosedPipeEndsTheRunCleanlyAndQuietly) {
    write("s.pnp",
          "FILE rep.txt\nISOLATE\nDETECT 1\nDEVICE BEGIN\nINT i\ni = 0\n"
          "WHILE ($i < 5000) {\nPRINT -o report line $i\nPRINT screen line $i\ni = $i + 1\n}\n");
    ASSERT_EQ(sh("(\"$V\" --sim --trace t s.pnp </dev/null 2>err; echo $? >status) | head -1 >/dev/null"), 0);
    EXPECT_EQ(slurp(dir + "/status"), "1\n");
    EXPECT_EQ(slurp(dir + "/err"), "");
    std::string trace = slurp(dir + "/t");
    const std::string wait_for_key = "out 0279 02\nout 0A79 02\n";
    ASSERT_GE(trace.size(), wait_for_key.size());
    EXPECT_EQ(trace.substr(trace.size() - wait_for_key.size()), wait_for_key);
    std::string rep = slurp(dir + "/rep.txt");
    ASSERT_FALSE(rep.empty());
    EXPECT_EQ(rep.back(), '\n');
    EXPECT_EQ(rep.find("report line 4999"), std::string::npos);  // the loop did not run on
}

}  // namespace
