// Test support: one command line run through command handlers, as the command loop runs it.
#ifndef VELKOR_TESTS_SUPPORT_RUN_LINE_H
#define VELKOR_TESTS_SUPPORT_RUN_LINE_H

#include <functional>
#include <initializer_list>
#include <string>

// A command handler of the loop's table: non-zero when it took the line.
typedef short (*HANDLER)();

// Loads line into the tokenizer P, takes its first token and offers the line to the handlers in
// turn, as the command loop does: a line without a first token (also one that could not be
// loaded) or a comment is offered to none. What the first handler that took it returned, or 0
// when none did.
short run_line(std::initializer_list<HANDLER> handlers, const char* line);
short run_line(HANDLER handler, const char* line);

// What running the line printed on the standard output. *taken, when given, receives run_line's
// result; without it a line that no handler takes fails the test.
std::string run_line_output(std::initializer_list<HANDLER> handlers, const char* line,
                            short* taken = nullptr);
std::string run_line_output(HANDLER handler, const char* line, short* taken = nullptr);

// What body printed on the standard output.
std::string stdout_of(const std::function<void()>& body);

#endif
