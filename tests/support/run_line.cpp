// Test support: one command line run through command handlers.
#include "support/run_line.h"

#include <cstdio>
#include <cstring>

#include <gtest/gtest.h>

#include "shell/parse.h"

short run_line(std::initializer_list<HANDLER> handlers, const char* line) {
    P.command(line);
    if (P.get(0) != 0 || strcmp(P.token, "#") == 0) return 0;
    for (HANDLER handler : handlers) {
        short taken = handler();
        if (taken) return taken;
    }
    return 0;
}

short run_line(HANDLER handler, const char* line) { return run_line({handler}, line); }

std::string stdout_of(const std::function<void()>& body) {
    fflush(stdout);
    testing::internal::CaptureStdout();
    body();
    fflush(stdout);
    return testing::internal::GetCapturedStdout();
}

std::string run_line_output(std::initializer_list<HANDLER> handlers, const char* line, short* taken) {
    short result = 0;
    std::string out = stdout_of([&] { result = run_line(handlers, line); });
    if (taken)
        *taken = result;
    else
        EXPECT_TRUE(result) << "no handler took: " << line;
    return out;
}

std::string run_line_output(HANDLER handler, const char* line, short* taken) {
    return run_line_output({handler}, line, taken);
}
