// Runs the built program as a child process with given arguments and standard input.
#ifndef VELKOR_TESTS_RUN_PROGRAM_H
#define VELKOR_TESTS_RUN_PROGRAM_H

#include <string>
#include <vector>

struct RUN_RESULT {
    std::string out;
    std::string err;
    int status;  // exit status, or -1 when the program did not exit normally
};

// Runs VELKOR_BINARY with args in a fresh temporary directory, stdin_text as its standard input.
RUN_RESULT run_velkor(const std::vector<std::string>& args, const std::string& stdin_text = "");

// The whole content of the file at path; empty when it cannot be read.
std::string slurp(const std::string& path);

// The banner every run starts with.
std::string banner();

#endif
