// Allocation failures: every 1001 path that the switch of shell/memory reaches, and what each
// leaves behind. Each case runs once for every allocation it makes, that allocation failing;
// the suite also runs under the leak checker (make asan), so a path that forgets a block fails.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <unistd.h>
#include <vector>

#include "input/input_stack.h"
#include "pnp/isolation.h"
#include "pnp/resources.h"
#include "pnp/state.h"
#include "script/control.h"
#include "script/functions.h"
#include "script/symtab.h"
#include "script/variables.h"
#include "shell/errhdl.h"
#include "shell/memory.h"
#include "shell/parse.h"
#include "sim/bus.h"
#include "script/script_fixture.h"
#include "support/program_fixture.h"
#include "support/run_line.h"
#include "support/sim_cards.h"
#include "support/state_text.h"
#include "support/symbols.h"

namespace {

// True when the failure that mem_fail_at(n) made due has happened: none of the next n
// allocations fails then. The switch is off afterwards.
bool failure_was_reached(long n) {
    bool reached = true;
    for (long i = 0; i < n && reached; i++) {
        void* probe = mem_alloc(1);
        reached = probe != nullptr;
        free(probe);
    }
    mem_fail_at(0);
    return reached;
}

// 1 when 1001 is among the queued codes.
bool memory_error_queued() {
    for (short i = 0; i < errhdl_count(); i++)
        if (errhdl_code(i) == ERR_MEMORY) return true;
    return false;
}

// Runs act(n) on a fresh program for n = 1, 2, ...: act sets up what it needs, calls
// mem_fail_at(n) where the allocations under test begin, and acts; then, with the switch off,
// left() says what it left behind. The runs stop after the first in which no allocation
// failed; a run whose failure queued no 1001 fails the test. What the runs left, in order, each
// in brackets, a run that left the same as the one before it not repeated: the failures'
// states, then the state of success last.
std::string outcomes(const std::function<void(long)>& act, const std::function<std::string()>& left) {
    std::string all, last;
    for (long n = 1; n < 1000; n++) {
        remake_program();
        act(n);
        bool reached = failure_was_reached(n);
        if (reached) {
            EXPECT_TRUE(memory_error_queued()) << "allocation " << n << " failed without 1001";
        }
        std::string now = left();
        if (n == 1 || now != last) all += (all.empty() ? "[" : " [") + now + "]";
        last = now;
        if (!reached) return all;
    }
    return all + " (never ends)";
}

class OutOfMemory : public ScriptTest {
protected:
    short r = 0;  // what the action returned
    std::string result() { return std::to_string(r); }
    // outcomes() of the first line of a script run through handler, the allocations counted
    // from the handler on.
    std::string outcomes_of(const std::vector<std::string>& lines, HANDLER handler,
                            const std::function<std::string()>& left) {
        return outcomes(
            [&](long n) {
                script(lines);
                run(handler, n);
            },
            left);
    }
};

// The tokenizer: a line that cannot be loaded leaves P empty; from a text frame it is dropped
// and the next line comes on the next turn.
TEST_F(OutOfMemory, LineThatCannotBeLoaded) {
    EXPECT_EQ(outcomes(
                  [this](long n) {
                      P.command("OLD LINE");
                      mem_fail_at(n);
                      r = P.command("PRINT x");
                  },
                  [this] {
                      std::string line = P.line ? P.line : "no line";
                      std::string token = P.get(0) == 0 ? std::string(P.token) : "-";
                      return result() + " | " + line + " | " + token + " | " + queued_errors();
                  }),
              "[1001 | no line | - | 1001] [0 | PRINT x | PRINT | ]");
    EXPECT_EQ(outcomes(
                  [this](long n) {
                      script({"FIRST", "SECOND"});
                      mem_fail_at(n);
                      r = input.setup("", 1);
                  },
                  [this] {
                      std::string line = r ? std::string(P.line) : "-";
                      std::string errors = take_errors();
                      return line + " | " + errors + " | then " + (input.setup("", 1) ? P.line : "-");
                  }),
              "[- | 1001 | then SECOND] [FIRST |  | then SECOND]");
}

// The input stack: a push that fails adds no frame, and the frame below goes on.
TEST_F(OutOfMemory, FailedPushAddsNoFrame) {
    EXPECT_EQ(outcomes(
                  [this](long n) {
                      script({"BELOW"});
                      mem_fail_at(n);
                      r = input.push("BODY\0\0", 6, "1", 1, "STEP\0\0", 6);
                  },
                  [this] {
                      std::string left =
                          result() + " | depth " + std::to_string(input.depth) + " | " + take_errors();
                      if (!r) left += " | then " + (input.setup("", 1) ? std::string(P.line) : "-");
                      return left;
                  }),
              "[0 | depth 2 | 1001 | then BELOW] [1 | depth 3 | ]");

    // A command file found under its name with the extension.
    char path[] = "/tmp/velkor-oom-XXXXXX";
    int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
    std::string with_ext = std::string(path) + ".pnp";
    ASSERT_EQ(rename(path, with_ext.c_str()), 0);
    EXPECT_EQ(outcomes(
                  [&](long n) {
                      mem_fail_at(n);
                      r = input.push(path, ".pnp");
                  },
                  [this] {
                      return result() + " | depth " + std::to_string(input.depth) + " | " + queued_errors();
                  }),
              "[0 | depth 1 | 1001] [1 | depth 2 | ]");
    remove(with_ext.c_str());
}

// The symbol table: a failed insert leaves the table as it was and the value block with the
// prototype, whose unmake frees it; a removal whose index cannot shrink still removes, and the
// table goes on finding, growing and shrinking.
TEST_F(OutOfMemory, SymbolTableStaysWhole) {
    SYMBOL_TYP proto;
    std::string owner;
    EXPECT_EQ(outcomes(
                  [&](long n) {
                      short one = 1;
                      add_symbol("A", T_INT, 2, &one);
                      proto.make("B", T_INT, 1, 2, calloc(1, 2), 0);
                      mem_fail_at(n);
                      r = symtab.insert(&proto);
                      owner = proto.owns_value ? "prototype" : "table";
                      proto.unmake();
                  },
                  [&] {
                      return result() + " | " + symtab_serial() + " | " + queued_errors() +
                             " | block of the " + owner;
                  }),
              "[0 | A:INT=1 | 1001 | block of the prototype] [1 | A:INT=1 B:INT=0 |  | block of the table]");
    EXPECT_EQ(outcomes(
                  [this](long n) {
                      short values[3] = {1, 2, 3};
                      for (const char* name : {"A", "B", "C"})
                          add_symbol(name, T_INT, 2, &values[name[0] - 'A']);
                      mem_fail_at(n);
                      r = symtab.remove("B");
                  },
                  [this] {
                      std::string left = result() + " | " + symtab_serial() + " | " + take_errors();
                      add_symbol("D", T_INT, 2);
                      symtab.remove("A");
                      left += " | then " + symtab_serial();
                      return symtab.find("c") == symtab.index[0] ? left : left + " lost C";
                  }),
              "[0 | A:INT=1 C:INT=3 | 1001 | then C:INT=3 D:INT=0] [1 | A:INT=1 C:INT=3 |  | then C:INT=3 "
              "D:INT=0]");
}

// Declarations: the names before the failing one stay declared, the failing one and those
// after it are not; a line that cannot be loaded is no declaration at all.
TEST_F(OutOfMemory, DeclarationStopsAtTheFailingName) {
    EXPECT_EQ(outcomes(
                  [this](long n) {
                      mem_fail_at(n);
                      r = run_line(exec_defvar, "INT a, b");
                  },
                  [this] { return result() + " | " + symtab_serial() + " | " + queued_errors(); }),
              "[0 |  | 1001] [1 |  | 1001] [1 | A:INT=0 | 1001] [1 | A:INT=0 B:INT=0 | ]");
    // The value block of a CHAR, and of the name after it.
    EXPECT_EQ(
        outcomes(
            [](long n) {
                run_line(exec_defvar, "INT old");
                P.command("CHAR s[10], t");
                P.get(0);
                mem_fail_at(n);
                exec_defvar();
            },
            [] { return symtab_serial() + " | " + queued_errors(); }),
        "[OLD:INT=0 | 1001] [OLD:INT=0 S:CHAR[10]='' | 1001] [OLD:INT=0 S:CHAR[10]='' T:CHAR[80]='' | ]");
}

// A function definition that fails defines nothing, whichever of its allocations fails: the
// name (its lines then run as commands, as those of any refused definition), the body copy, the
// symbol or the index.
TEST_F(OutOfMemory, FunctionDefinitionDefinesAllOrNothing) {
    auto left = [this] {
        return symtab_serial() + " | " + queued_errors() + " | then " + next_script_line();
    };
    EXPECT_EQ(outcomes_of({"FUNCTION f( 1 ) { A $1 }", "NEXT"}, exec_deffunct, left),
              "[ | 1001 | then NEXT] [F:FUNCTION(1) |  | then NEXT]");
}

// A line of a construct that cannot be loaded is dropped, as a line too long for the buffer
// is, and the construct reads on without it (script/capture.cpp, next_line). So a function is
// defined without that body line, and a dropped '}' makes a definition or a skipped IF block
// run on over the lines after it, to the end of the input. These expectations hold what the
// program does today; they are not what a script would want (reported, not yet decided).
TEST_F(OutOfMemory, LineOfAConstructThatCannotBeLoaded) {
    auto function_left = [this] {
        SYMBOL_TYP* f = symtab.find("F");
        std::string body = f ? " of " + std::to_string(f->length) + " bytes" : "";
        return symtab_serial() + body + " | " + queued_errors() + " | then " + next_script_line();
    };
    EXPECT_EQ(outcomes_of({"FUNCTION f( 1 ) {", "  A $1", "}", "NEXT"}, exec_deffunct, function_left),
              "[ | 1001 | then   A $1] "                        // the name: the lines run as commands
              "[F:FUNCTION(1) of 2 bytes | 1001 | then NEXT] "  // "  A $1": defined without it
              "[ | 1001 | then -] "                             // "}": the definition runs on to the end
              "[ | 1001 | then NEXT] "                          // the body copy, the symbol, the index
              "[F:FUNCTION(1) of 8 bytes |  | then NEXT]");
    // IF: a condition that cannot be evaluated for want of memory skips nothing, as any
    // condition that fails: the block's lines run as commands.
    auto if_left = [this] { return next_script_line() + " | " + queued_errors(); };
    EXPECT_EQ(outcomes_of({"IF (0) {", "  A", "}", "NEXT"}, exec_if, if_left),
              "[  A | 1001] "   // the condition: nothing skipped
              "[NEXT | 1001] "  // the '{' line put back, or "  A" while skipping: skipped all the same
              "[- | 1001] "     // "}": the skip runs on to the end
              "[NEXT | ]");
}

// A call whose arguments or body frame cannot be kept pushes nothing.
TEST_F(OutOfMemory, CallPushesAllOrNothing) {
    EXPECT_EQ(outcomes(
                  [this](long n) {
                      script({"FUNCTION f( 2 ) { A $1 $2 }", "CALL f(x, y) REST"});
                      run(exec_deffunct);  // defined before the switch is set
                      run(exec_call, n);
                  },
                  [this] { return frames() + " | " + queued_errors(); }),
              "[ | 1001] [text[ REST] text[ A x  y ] | ]");
}

// Loops: a loop whose condition, step, initial statements or frames cannot be kept pushes
// nothing, the rest of its line neither.
TEST_F(OutOfMemory, LoopsPushAllOrNothing) {
    auto left = [this] { return frames() + " | " + queued_errors(); };
    EXPECT_EQ(outcomes_of({"WHILE ($I < 3) { A } REST", "NEXT"}, exec_while, left),
              "[ | 1001] [text[ REST] loop[A ] if[ ($I < 3) ] | ]");
    EXPECT_EQ(outcomes_of({"FOR (I = 0; ($I < 3); I = $I + 1) { A } REST", "NEXT"}, exec_for, left),
              "[ | 1001] [text[ REST] loop[A ] if[ ($I < 3)] step[ I = $I + 1] text[I = 0] | ]");
}

// A card record: a device that cannot be added ends the load with the devices read so far and
// no resource data; resource data that cannot be kept leaves the devices and no data. Either
// way the card is back in Wait for Key.
TEST_F(OutOfMemory, CardRecordThatCannotGrow) {
    EXPECT_EQ(outcomes(
                  [this](long n) {
                      add_card(make_card(serial_of("ABC0001", 1), cat({ldid("ABC0101"), ldid("ABC0102")})));
                      isolate_PNP(4);
                      mem_fail_at(n);
                      r = loadcard_PNP(1);
                  },
                  [this] {
                      return result() + " | " + card_table() + " | data " +
                             std::to_string(PNP_cards[0].reslen) + (PNP_cards[0].resdata ? "" : " none") +
                             " | " + queued_errors() +
                             (sim_card_state(0) == SIM_WAIT_FOR_KEY ? "" : " | card awake");
                  }),
              "[0 | 1:ABC0001:0 | data 0 none | 1001] [0 | 1:ABC0001:1 | data 0 none | 1001] "
              "[1 | 1:ABC0001:2 | data 0 none | 1001] [1 | 1:ABC0001:2 | data 14 | ]");
}

}  // namespace
