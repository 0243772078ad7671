// Runs the built program as a child process with given arguments and standard input.
#ifndef VELKOR_TESTS_RUN_PROGRAM_H
#define VELKOR_TESTS_RUN_PROGRAM_H

#include <string>
#include <vector>

struct RUN_RESULT {
    std::string out;
    std::string err;
    int status;  // exit status, or -1 when the program did not exit normally
    int signal;  // the signal that ended it, or 0
};

// Runs the program at path with args in a fresh temporary directory, stdin_text as its standard
// input.
RUN_RESULT run_binary(const char* path, const std::vector<std::string>& args,
                      const std::string& stdin_text = "");

// run_binary of VELKOR_BINARY.
RUN_RESULT run_velkor(const std::vector<std::string>& args, const std::string& stdin_text = "");

// The program under the port trap (VELKOR_TRAP): trap_args for the trap, then "--", the program
// and args. A traced program cannot be checked for leaks: the run has the leak check off.
RUN_RESULT run_trapped(const std::vector<std::string>& trap_args, const std::vector<std::string>& args,
                       const std::string& stdin_text = "");

// The whole content of the file at path; empty when it cannot be read.
std::string slurp(const std::string& path);

// The banner every run starts with.
std::string banner();

#endif
