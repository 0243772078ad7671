// Test support: every global of the program remade around each test, so that tests never
// depend on each other.
#ifndef VELKOR_TESTS_SUPPORT_PROGRAM_FIXTURE_H
#define VELKOR_TESTS_SUPPORT_PROGRAM_FIXTURE_H

#include <gtest/gtest.h>

// Remakes the program's globals to a fresh state: the symbol table empty; the input stack
// holding the keyboard alone, which is at end of input (a construct left open is abandoned,
// never waits); P empty; the error queue and the user messages empty; the help registry empty;
// the echo, debug and quote flags off; reports on the standard output, no output file, no
// confinement of FILE names, SHELL allowed; no signal pending; no output lost; configuration
// mode off; no trace; the empty simulated bus at clock 0 in place, its log empty and nothing
// refused; the PnP globals and the card table as init_PNP leaves them, with permission
// granted; no host file and no vendor name read yet; no allocation set to fail. Can't fail.
void remake_program();

// The keyboard types text (lines ended by "\n"); after it the keyboard is at end of input.
void keyboard_types(const char* text);

// Remakes the program before and after each test.
class ProgramTest : public ::testing::Test {
protected:
    void SetUp() override { remake_program(); }
    void TearDown() override { remake_program(); }
};

#endif
