// Runs a program on a pseudo-terminal so that a test can type lines and read what it shows.
#ifndef VELKOR_TESTS_PTY_DRIVER_H
#define VELKOR_TESTS_PTY_DRIVER_H

#include <string>
#include <sys/types.h>
#include <vector>

class PTY_DRIVER {
public:
    int fd = -1;       // the terminal's master side
    pid_t pid = -1;    // the program
    std::string seen;  // everything the program has shown so far
    size_t mark = 0;   // expect looks after this position

    // Starts program with args on a new pseudo-terminal (TERM=dumb). false when no terminal can
    // be opened or the program cannot be started.
    bool start(const char* program, const std::vector<std::string>& args);
    // Types text as if at the keyboard.
    void type(const std::string& text);
    // Reads until text shows after the mark, at most timeout_ms. true when it did; the mark then
    // moves past it, so that successive expectations must appear in order.
    bool expect(const std::string& text, int timeout_ms);
    // Waits at most timeout_ms for the program to end, killing it after that; closes the
    // terminal. The exit status, or -1 when it had to be killed or ended abnormally.
    int finish(int timeout_ms);
    ~PTY_DRIVER();

private:
    // Reads what is available within wait_ms into seen. false at end of output.
    bool pump(int wait_ms);
};

#endif
