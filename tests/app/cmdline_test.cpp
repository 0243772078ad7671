// The command line and the program's life from start to end of input.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "app/application.h"
#include "support/run_program.h"

namespace {

TEST(CommandLine, HelpAndVersion) {
    RUN_RESULT r = run_velkor({"--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind("Usage: velkor [OPTION]... [COMMAND-FILE]...\n", 0), 0u);
    EXPECT_EQ(run_velkor({"-h"}).out, r.out);
    r = run_velkor({"-V"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "velkor 2.10\n");
    EXPECT_EQ(run_velkor({"--version"}).out, "velkor 2.10\n");
    // The manual page is of the same version.
    std::ifstream page(std::string(VELKOR_SOURCE_DIR) + "/docs/velkor.1");
    std::string line;
    while (std::getline(page, line) && line.rfind(".TH ", 0) != 0) {}
    EXPECT_NE(line.find("\"VELKOR 2.10\""), std::string::npos) << line;
}

TEST(CommandLine, UnknownOptionRunsNothing) {
    RUN_RESULT r = run_velkor({"--sim", "--bogus"}, "FOO\n");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("--bogus"), std::string::npos);
    r = run_velkor({"--card"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
}

TEST(CommandLine, OptionsEndAtTheFirstFileAndAtDoubleDash) {
    // "--help" after a file name is a command file (which cannot be found), not an option.
    RUN_RESULT r = run_velkor({"--sim", "nofile", "--help"});
    EXPECT_EQ(r.status, 0);
    std::string missing = "\nERROR (1773): Cannot locate file\nERROR (1773): Cannot locate file\n\n";
    EXPECT_EQ(r.out, banner() + missing + "PnP> ");
    r = run_velkor({"--sim", "--", "-V"});
    EXPECT_EQ(r.out, banner() + "\nERROR (1773): Cannot locate file\n\nPnP> ");
}

TEST(CommandLine, PlanWithCommandFilesRunsNothing) {
    // A command file that would be seen to run: it writes a report file.
    char dir[] = "/tmp/velkor-planfiles-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    std::string d = dir, file = d + "/report.pnp", trace = d + "/trace.log", saved = d + "/saved";
    std::ofstream(file) << "FILE " << d << "/report.txt\nSTATUS\n";
    ASSERT_EQ(mkdir(saved.c_str(), 0755), 0);
    const std::string tail = "' was given)\nTry 'velkor --help' for more information.\n";
    struct {
        std::vector<std::string> args;
        std::string named;
    } cases[] = {
        {{"--sim", "--plan", file}, file},
        {{"--plan", "--sim", "--trace", trace, "--save-cards", saved, file, "other.pnp"}, file},
        {{"--sim", "--plan", "--", "-V"}, "-V"},  // after --, a file even when it looks like an option
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.named);
        RUN_RESULT r = run_velkor(c.args, "STATUS\n");
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, "velkor: --plan runs no command files ('" + c.named + tail);
    }
    // Nothing ran: no report, no trace (not even an isolation), no card saved.
    EXPECT_EQ(access((d + "/report.txt").c_str(), F_OK), -1);
    EXPECT_EQ(access(trace.c_str(), F_OK), -1);
    EXPECT_EQ(rmdir(saved.c_str()), 0);
    // The end of the options alone is no file.
    RUN_RESULT r = run_velkor({"--sim", "--plan", "--"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("DEVICE SET ACTIVE"), std::string::npos);
    remove(file.c_str());
    rmdir(dir);
}

// -v and --json belong to the runs without a shell; --plan and --list are one run each.
TEST(CommandLine, ListAndJsonOptionsOnlyWhereTheyMeanSomething) {
    struct {
        std::vector<std::string> args;
        const char* says;
    } cases[] = {
        {{"--sim", "-v"}, "velkor: -v goes with --list\n"},
        {{"--sim", "--json"}, "velkor: --json goes with --list or --plan\n"},
        {{"--sim", "--plan", "--list"}, "velkor: --plan and --list do not go together\n"},
    };
    for (auto& c : cases) {
        RUN_RESULT r = run_velkor(c.args, "STATUS\n");
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, std::string(c.says) + "Try 'velkor --help' for more information.\n");
    }
    RUN_RESULT ok = run_velkor({"--verbose", "--sim", "--json", "--list", "QXM0336"});
    EXPECT_EQ(ok.status, 0) << ok.err;
    EXPECT_NE(ok.out.find("\"id\": \"QXM0336\""), std::string::npos) << ok.out;
}

TEST(CommandLine, KeyboardLinesAndEndOfInput) {
    // readline echoes a line that does not come from a terminal after its prompt.
    RUN_RESULT r = run_velkor({"--sim"}, "FOO\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, banner() + "PnP> FOO\n\nERROR (0FA3): Bad or Unknown command\n\nPnP> ");
    r = run_velkor({"--sim"}, "RETURN\nr\n");
    EXPECT_EQ(r.out, banner() + "PnP> RETURN\n\nERROR (0FA2): Cannot 'RETURN' from keyboard stack\n\n" +
                         "PnP> r\n\nERROR (0FA2): Cannot 'RETURN' from keyboard stack\n\nPnP> ");
    // An error queued by the last line is still reported when input ends.
    r = run_velkor({"--sim"}, "FOO");
    EXPECT_EQ(r.out, banner() + "PnP> FOO\n\nERROR (0FA3): Bad or Unknown command\n\nPnP> ");
    r = run_velkor({"--sim"}, "E\n");
    EXPECT_EQ(r.out, banner() + "PnP> E\n");
}

TEST(CommandLine, CardFileRefusedWithItsReason) {
    char dir[] = "/tmp/velkor-cards-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    RUN_RESULT r = run_velkor({"--card", dir}, "STATUS\n");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "velkor: " + std::string(dir) + ": Is a directory\n");
    // Too many bytes for a card: the same words for text and for a raw image, whatever the count.
    std::string text;
    for (int i = 0; i < 70000; i++) text += "00 ";
    const std::string files[2][2] = {{"many.hex", text}, {"many.bin", std::string(70000, '\xff')}};
    for (const auto& f : files) {
        std::string path = std::string(dir) + "/" + f[0];
        FILE* fp = fopen(path.c_str(), "wb");
        ASSERT_NE(fp, nullptr);
        fwrite(f[1].data(), 1, f[1].size(), fp);
        fclose(fp);
        r = run_velkor({"--card", path}, "STATUS\n");
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, "velkor: " + path + ": 70000 bytes: a card holds at most 65535\n");
        remove(path.c_str());
    }
    rmdir(dir);
}

}  // namespace

// Why port permission was refused, from the refused call's errno and the user, with what to do.
TEST(PermissionAdvice, SaysWhyAndWhatToDo) {
    char text[512];
    permission_advice(ENOSYS, "ioperm", 0, text, sizeof text);
    EXPECT_NE(strstr(text, "velkor: this kernel has no raw port access (ioperm: Function not implemented)"),
              nullptr)
        << text;
    permission_advice(EPERM, "ioperm", 1000, text, sizeof text);
    EXPECT_NE(strstr(text, "needs root; run velkor as root"), nullptr) << text;
    permission_advice(EPERM, "iopl", 0, text, sizeof text);
    EXPECT_NE(strstr(text, "even to root (iopl: Operation not permitted): it is locked down"), nullptr)
        << text;
    permission_advice(EIO, "iopl", 0, text, sizeof text);
    EXPECT_NE(strstr(text, "port access refused (iopl: Input/output error)"), nullptr) << text;
    for (int err : {0, ENOSYS, EPERM, EIO}) {
        permission_advice(err, nullptr, 1000, text, 24);  // cut to the buffer, still a string
        EXPECT_EQ(strlen(text), 23u);
        permission_advice(err, nullptr, 1000, text, sizeof text);
        EXPECT_NE(strstr(text, "--sim"), nullptr) << text;
    }
}
