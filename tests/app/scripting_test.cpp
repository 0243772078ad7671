// What a script's author meets: options the GNU way, -q, errors placed at FILE:LINE, --strict.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "support/run_program.h"
#include "support/scratch_dir.h"

namespace {

const std::string try_help = "Try 'velkor --help' for more information.\n";

std::string write_file(const SCRATCH_DIR& d, const std::string& name, const std::string& text) {
    std::string path = d / name;
    std::ofstream(path) << text;
    return path;
}

// How many lines of text hold what.
int count_of(const std::string& text, const std::string& what) {
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) n++;
    return n;
}

TEST(GetoptOptions, EveryFormWorksAsInGnuTools) {
    SCRATCH_DIR d("getopt");
    std::string card = std::string(VELKOR_SOURCE_DIR) + "/examples/netcard.hex";
    std::string script = write_file(d, "cards.pnp", "ISOLATE\nSTATUS\nFOO\nPRINT after\n");
    // The card given every way an argument can be given: each run finds the same three cards.
    std::string want;
    for (auto args : std::vector<std::vector<std::string>>{
             {"--sim", "--card", card}, {"--sim", "--card=" + card}, {"--sim", "-c", card},
             {"--sim", "-c" + card}, {"-sc" + card}, {"-sc", card}, {"--si", "--car=" + card}}) {
        args.push_back(script);
        RUN_RESULT r = run_velkor(args);
        SCOPED_TRACE(args[0] + " " + args[1]);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.out.find("#-of-cards"), std::string::npos);
        if (want.empty()) want = r.out;
        EXPECT_EQ(r.out, want);
    }
    // Bundled flags: -se is --sim and -e; the error ends the run before "after" is printed.
    RUN_RESULT r = run_velkor({"-se", script});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out.find("after"), std::string::npos);
    EXPECT_EQ(run_velkor({"-qse", script}).out.find("PnP> "), std::string::npos);
    // A unique prefix of a long option is the option.
    r = run_velkor({"--pla", "--si"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("# VELKOR boot script", 0), 0u);
    EXPECT_EQ(run_velkor({"--vers"}).out, "velkor 2.10\n");
    // GNU's own words for each mistake, the "Try" line, status 2 and nothing run.
    struct {
        std::vector<std::string> args;
        std::string says;
    } bad[] = {
        {{"--version=3"}, "velkor: option '--version' doesn't allow an argument\n"},
        {{"--sim=yes"}, "velkor: option '--sim' doesn't allow an argument\n"},
        {{"--card"}, "velkor: option '--card' requires an argument\n"},
        {{"--sim", "-c"}, "velkor: option requires an argument -- 'c'\n"},
        {{"-sx"}, "velkor: invalid option -- 'x'\n"},
        {{"--bogus"}, "velkor: unrecognized option '--bogus'\n"},
        {{"--s"}, "velkor: option '--s' is ambiguous; possibilities: '--sim' '--save-cards' '--strict'\n"},
    };
    for (auto& c : bad) {
        SCOPED_TRACE(c.args.back());
        r = run_velkor(c.args, "STATUS\n");
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, c.says + try_help);
    }
    // Options stop at the first command file; "-" is a file name (standard input's, here none).
    r = run_velkor({"--sim", script, "-q"});
    EXPECT_EQ(r.out.rfind(banner(), 0), 0u);
    EXPECT_EQ(count_of(r.out, "ERROR (1773): Cannot locate file"), 1);
}

TEST(Quiet, StandardOutputHoldsOnlyWhatCommandsPrint) {
    SCRATCH_DIR d("quiet");
    // ECHO ON would list the file's lines: -q lists none.
    std::string report = write_file(d, "report.pnp",
                                    "ECHO ON\nISOLATE\nPRINT Cards:\nFOO bar\nPNP_CSN = 0\nDETECT 1\n"
                                    "PRINT done\nECHO OFF\n");
    RUN_RESULT r = run_velkor({"-q", "--sim", report}, "PRINT from stdin\nBAR\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "Cards:\ndone\nfrom stdin\n");
    EXPECT_EQ(r.err, "velkor: " + report + ":4: Bad or Unknown command 'FOO'\n" +
                         "velkor: -:2: Bad or Unknown command 'BAR'\n");
    // The same run without -q: the banner, prompts, echo and reports are where they were; the
    // file's error is said on standard error too, the keyboard's is not.
    r = run_velkor({"--sim", report}, "PRINT from stdin\nBAR\n");
    EXPECT_EQ(r.out, banner() + "<<<< ISOLATE\n<<<< PRINT Cards:\nCards:\n<<<< FOO bar\n\nERROR (0FA3): Bad or Unknown command\n\n" +
                         "<<<< PNP_CSN = 0\n<<<< DETECT 1\n<<<< PRINT done\ndone\n<<<< ECHO OFF\n" +
                         "PnP> PRINT from stdin\nfrom stdin\nPnP> BAR\n\nERROR (0FA3): Bad or Unknown command\n\n" +
                         "PnP> ");
    EXPECT_EQ(r.err, "velkor: " + report + ":4: Bad or Unknown command 'FOO'\n");
    // Piped lines read quietly: a carriage return before the newline, a last line without one,
    // a line too long for the buffer (refused, the next one runs), an empty line.
    std::string input = "PRINT a\r\n\n" + std::string(1500, 'x') + "\nPRINT b\nPRINT c";
    r = run_velkor({"-q", "--sim"}, input);
    EXPECT_EQ(r.out, "a\nb\nc\n");
    EXPECT_EQ(r.err, "velkor: -:3: Max token buffer length is reached\n");
    // -q with -e: the first error ends the run with status 1, said on standard error only.
    r = run_velkor({"-q", "-e", "--sim", report});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "Cards:\n");
    EXPECT_EQ(r.err, "velkor: " + report + ":4: Bad or Unknown command 'FOO'\n");
}

TEST(ErrorPlace, CommandFileErrorsSayFileLineAndWhat) {
    SCRATCH_DIR d("place", 0);  // its names must be one word for @
    std::string inner = write_file(d, "inner.pnp", "PRINT in\n\nDUMP CARD\n");
    std::string main = write_file(d, "main.pnp",
                                  "# errors, one for each line that has one\n"
                                  "@" + d / "missing" + "\n"
                                  "@" + inner + "\n"
                                  "ECHO SOMETIMES\n"
                                  "FUNCTION f( 0 )\n{\n   NOSUCH\n}\n"
                                  "CALL f()\n"
                                  "FILE " + d / "no/such/dir.txt" + "\n"
                                  "DEVICE SET IRQ 0 5\n"
                                  "PRINT end\n");
    RUN_RESULT r = run_velkor({"--sim", main}, "QUUX\n");
    EXPECT_EQ(r.status, 0);
    const std::string v = "velkor: ";
    EXPECT_EQ(r.err, v + main + ":2: Cannot locate file '" + d / "missing" + "' (nor '" + d / "missing" +
                         ".pnp'): No such file or directory\n" +
                         v + inner + ":3: System Device/Port error: no card is selected (ISOLATE, then "
                                     "PNP_CSN = 0 and DETECT n)\n" +
                         v + main + ":4: Bad or Unknown command: ON or OFF was expected, not 'SOMETIMES'\n" +
                         // a function's line is placed at the CALL that runs it
                         v + main + ":9: Bad or Unknown command 'NOSUCH'\n" +
                         v + main + ":10: Cannot locate file '" + d / "no/such/dir.txt" +
                         "': No such file or directory\n" +
                         v + main + ":11: System Device/Port error: no card is selected (ISOLATE, then "
                                    "PNP_CSN = 0 and DETECT n)\n");
    // Standard output has the reports as ever, one for each error and for QUUX at the keyboard.
    EXPECT_EQ(count_of(r.out, "\nERROR ("), 7);
    EXPECT_NE(r.out.find("end\n"), std::string::npos);
    // Control bytes of a file name are not sent to the terminal.
    std::string odd = write_file(d, "odd\x1b[2Jname.pnp", "FOO\n");
    r = run_velkor({"-q", "--sim", odd});
    EXPECT_EQ(r.err, "velkor: " + d.path + "/odd?[2Jname.pnp:1: Bad or Unknown command 'FOO'\n");
}

TEST(Strict, ALineThatDrawsAWarningWritesNothing) {
    SCRATCH_DIR d("strict");
    const std::string head = "ISOLATE\nPNP_CSN = 0\nDETECT 2\nPNP_DEVICE = 0\nDEVICE BEGIN\n";
    // IRQ 4 without HIGH EDGE is a type the modem does not offer: a warning.
    std::string warned = write_file(d, "warned.pnp", head + "DEVICE SET IRQ 0 4\nDEVICE END\nPRINT end\n");
    std::string without = write_file(d, "without.pnp", head + "DEVICE END\nPRINT end\n");
    std::string trace = d / "trace", plain = d / "plain", lax = d / "lax";
    RUN_RESULT r = run_velkor({"-q", "--strict", "--sim", "--trace", trace, warned});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "end\n");
    EXPECT_NE(r.err.find("velkor: warning: device 0 (QXM0336) IRQ 4"), std::string::npos);
    EXPECT_NE(r.err.find("velkor: " + warned + ":6: refused: DEVICE SET IRQ 0 4 (1 warning; --strict writes "
                                               "nothing)\n"),
              std::string::npos);
    EXPECT_EQ(count_of(r.err, "velkor: "), 2);  // the warning and the refusal, nothing more
    // Nothing was written for the line: the trace is that of the script without it.
    run_velkor({"-q", "--strict", "--sim", "--trace", plain, without});
    EXPECT_EQ(slurp(trace), slurp(plain));
    EXPECT_NE(slurp(trace), "");
    // Without --strict the same line is written, with its warning.
    r = run_velkor({"-q", "--sim", "--trace", lax, warned});
    EXPECT_NE(slurp(lax), slurp(plain));
    EXPECT_EQ(r.err.find("refused"), std::string::npos);
    // The refusal is an error: the report says 5003, and -e ends the run with status 1.
    r = run_velkor({"--strict", "--sim", warned});
    EXPECT_NE(r.out.find("\nERROR (138B): Invalid settings for specificed command\n"), std::string::npos);
    r = run_velkor({"-e", "--strict", "--sim", warned});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out.find("end\n"), std::string::npos);
    // A line without a warning is written as ever: the boot example runs clean with the options
    // of its unit.
    r = run_velkor({"-q", "-e", "--strict", "--sim", std::string(VELKOR_SOURCE_DIR) + "/examples/boot/boot.pnp"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
}

}  // namespace
