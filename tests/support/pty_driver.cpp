// Runs a program on a pseudo-terminal so that a test can type lines and read what it shows.
#include "support/pty_driver.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {
long long now_ms() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}
}  // namespace

bool PTY_DRIVER::start(const char* program, const std::vector<std::string>& args) {
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program));
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);

    int master = -1;
    pid_t child = forkpty(&master, nullptr, nullptr, nullptr);
    if (child < 0) return false;
    if (child == 0) {
        setenv("TERM", "dumb", 1);
        execv(program, argv.data());
        _exit(127);
    }
    fd = master;
    pid = child;
    return true;
}

void PTY_DRIVER::type(const std::string& text) {
    size_t done = 0;
    while (fd >= 0 && done < text.size()) {
        ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += (size_t)n;
    }
}

bool PTY_DRIVER::pump(int wait_ms) {
    if (fd < 0) return false;
    struct pollfd p = {fd, POLLIN, 0};
    int r = poll(&p, 1, wait_ms);
    if (r <= 0) return r == 0 || errno == EINTR;
    char buf[1024];
    ssize_t n = read(fd, buf, sizeof buf);
    if (n <= 0) return false;  // the program closed the terminal (EIO on Linux)
    seen.append(buf, (size_t)n);
    return true;
}

bool PTY_DRIVER::expect(const std::string& text, int timeout_ms) {
    long long end = now_ms() + timeout_ms;
    for (;;) {
        size_t at = seen.find(text, mark);
        if (at != std::string::npos) {
            mark = at + text.size();
            return true;
        }
        long long left = end - now_ms();
        if (left <= 0 || !pump((int)(left < 100 ? left : 100))) return false;
    }
}

int PTY_DRIVER::finish(int timeout_ms) {
    int status = -1;
    if (pid > 0) {
        long long end = now_ms() + timeout_ms;
        int st = 0;
        pid_t r = 0;
        while ((r = waitpid(pid, &st, WNOHANG)) == 0 && now_ms() < end) {
            if (!pump(20)) usleep(10000);
        }
        if (r == pid) {
            status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
        } else {
            kill(pid, SIGKILL);
            waitpid(pid, &st, 0);
        }
        pid = -1;
    }
    if (fd >= 0) {
        close(fd);
        fd = -1;
    }
    return status;
}

PTY_DRIVER::~PTY_DRIVER() { finish(0); }
