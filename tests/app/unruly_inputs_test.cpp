// Runs against inputs and descriptors that are not what a script expects: a command file whose
// line never ends, a piped line without a newline, standard streams closed at start-up.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "support/run_program.h"
#include "support/scratch_dir.h"

namespace {

typedef std::chrono::steady_clock CLOCK;

// The program started in dir with args; fd 0 is stdin_fd (or /dev/null when -1), 1 and 2 files
// of dir unless closed says which of them to close.
struct CHILD {
    pid_t pid = -1;
    void start(const std::string& dir, const std::vector<std::string>& args, int stdin_fd = -1,
               bool close_out = false, bool close_err = false) {
        pid = fork();
        if (pid != 0) return;
        if (chdir(dir.c_str()) != 0) _exit(127);
        int in = stdin_fd >= 0 ? stdin_fd : open("/dev/null", O_RDONLY);
        dup2(in, 0);
        int out = open("stdout", O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int err = open("stderr", O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(out, 1);
        dup2(err, 2);
        for (int fd = 3; fd < 64; fd++) close(fd);
        if (close_out) close(1);
        if (close_err) close(2);
        std::vector<char*> argv = {(char*)VELKOR_BINARY};
        for (const std::string& a : args) argv.push_back((char*)a.c_str());
        argv.push_back(nullptr);
        execv(VELKOR_BINARY, argv.data());
        _exit(127);
    }
    // Waits up to ms for the child to end; its wait status, or -1 when it is still running.
    int wait_for(int ms) {
        for (auto end = CLOCK::now() + std::chrono::milliseconds(ms); CLOCK::now() < end;) {
            int st;
            if (waitpid(pid, &st, WNOHANG) == pid) return st;
            usleep(5000);
        }
        return -1;
    }
    // The most memory the child has had, in kB (VmHWM), or -1.
    long peak_kb() const {
        std::ifstream f("/proc/" + std::to_string(pid) + "/status");
        std::string line;
        while (std::getline(f, line))
            if (line.rfind("VmHWM:", 0) == 0) return atol(line.c_str() + 6);
        return -1;
    }
    ~CHILD() {
        if (pid > 0 && waitpid(pid, nullptr, WNOHANG) == 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    }
};

// A command file whose line never ends, run from the command line or with @, and one from a FIFO
// that never sends a byte: each signal ends the run through the clean-up, within a second.
TEST(UnrulyInputs, SignalEndsACommandFileWhoseLineNeverEnds) {
    SCRATCH_DIR dir("unruly");
    ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
    int hold = open((dir / "fifo").c_str(), O_RDWR);  // a writer that never writes
    ASSERT_GE(hold, 0);
    struct {
        std::vector<std::string> args;
        const char* typed;
        int signo;
    } cases[] = {
        {{"--sim", "/dev/zero"}, nullptr, SIGTERM},
        {{"--sim", "/dev/zero"}, nullptr, SIGHUP},
        {{"--sim"}, "@/dev/zero\n", SIGTERM},
        {{"--sim", dir / "fifo"}, nullptr, SIGTERM},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.args.back() + " " + std::to_string(c.signo));
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        if (c.typed) {
            ASSERT_EQ(write(fds[1], c.typed, strlen(c.typed)), (ssize_t)strlen(c.typed));
        }
        CHILD child;
        child.start(dir.path, c.args, fds[0]);
        close(fds[0]);
        usleep(300 * 1000);
        ASSERT_EQ(child.wait_for(0), -1) << "ended before the signal";
        auto sent = CLOCK::now();
        kill(child.pid, c.signo);
        int st = child.wait_for(1000);
        close(fds[1]);
        ASSERT_NE(st, -1) << "still running a second after the signal";
        EXPECT_LT(CLOCK::now() - sent, std::chrono::seconds(1));
        EXPECT_TRUE(WIFEXITED(st)) << "ended by signal " << WTERMSIG(st);  // the clean-up ran
    }
    close(hold);
}

// A piped line that never ends is not kept: the program stays small while it reads it. A long
// line that does end is refused once (6004), and the next line runs.
TEST(UnrulyInputs, PipedLineWithoutANewlineIsNotKept) {
    SCRATCH_DIR dir("unruly");
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    CHILD child;
    child.start(dir.path, {"--sim"}, fds[0]);
    close(fds[0]);
    std::string block(1 << 16, 'y');
    size_t sent = 0;
    for (auto end = CLOCK::now() + std::chrono::seconds(2); CLOCK::now() < end;) {
        ssize_t n = write(fds[1], block.data(), block.size());
        ASSERT_GT(n, 0);
        sent += (size_t)n;
    }
    long peak = child.peak_kb();
    EXPECT_GT(sent, 16u << 20) << "too little was sent to tell";
    EXPECT_GT(peak, 0);
    EXPECT_LT(peak, 16 * 1024) << "kB after " << sent << " bytes of one line";
    const char* rest = "\nPRINT next\nEXIT\n";
    ASSERT_EQ(write(fds[1], rest, strlen(rest)), (ssize_t)strlen(rest));
    close(fds[1]);
    int st = child.wait_for(5000);
    ASSERT_NE(st, -1);
    EXPECT_TRUE(WIFEXITED(st) && WEXITSTATUS(st) == 0);
    std::string out = slurp(dir / "stdout");
    size_t first = out.find("ERROR (1774): Max token buffer length is reached\n");
    EXPECT_NE(first, std::string::npos) << out.substr(out.size() > 300 ? out.size() - 300 : 0);
    EXPECT_EQ(out.find("ERROR", first + 1), std::string::npos);
    EXPECT_NE(out.find("\nnext\n"), std::string::npos);
}

// Started with standard output or standard error closed, the program's own text never lands in
// a file it opens (the trace) or in the report of FILE.
TEST(UnrulyInputs, ClosedStandardStreamsNeverBecomeAFileTheProgramOpens) {
    const std::string script = "ISOLATE\nSTATUS\nFILE report.txt\nSTATUS\nFILE CLOSE\nEXIT\n";
    for (int closed = 1; closed <= 2; closed++) {
        SCOPED_TRACE("descriptor " + std::to_string(closed) + " closed");
        SCRATCH_DIR dir("unruly");
        std::ofstream(dir / "f.pnp") << script;
        // The kernel's cards of this machine draw warnings on standard error at ISOLATE.
        setenv("VELKOR_SYSROOT", (std::string(VELKOR_SOURCE_DIR) + "/tests/host/pc-sound").c_str(), 1);
        CHILD child;
        child.start(dir.path, {"--sim", "--trace", "t.txt", "f.pnp"}, -1, closed == 1, closed == 2);
        unsetenv("VELKOR_SYSROOT");
        int st = child.wait_for(10000);
        ASSERT_NE(st, -1);
        EXPECT_TRUE(WIFEXITED(st));
        std::string trace = slurp(dir / "t.txt"), report = slurp(dir / "report.txt");
        EXPECT_NE(trace.find("out 0279 00\n"), std::string::npos) << trace.substr(0, 200);
        for (const char* text : {"VELKOR", "PnP> ", "#-of-cards", "velkor:"}) {
            EXPECT_EQ(trace.find(text), std::string::npos) << text;
            if (strcmp(text, "#-of-cards") != 0) {
                EXPECT_EQ(report.find(text), std::string::npos) << text;
            }
        }
        EXPECT_NE(report.find("\n#-of-cards = 2\n"), std::string::npos) << report;
    }
}

}  // namespace
