// The port trap: the hardware bus's in/out instructions performed on the simulated cards.
#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <cstdlib>
#include <set>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "support/run_program.h"
#include "support/scratch_dir.h"
#include "trap/port_insn.h"

namespace {

TEST(PortInsn, DecodesTheByteFormsAndRefusesTheOthers) {
    struct {
        std::vector<unsigned char> code;
        short kind, length, immediate;
    } cases[] = {
        {{0xEC}, INSN_IN, 1, 0},                 // in al, dx
        {{0xEE, 0x90}, INSN_OUT, 1, 0},          // out dx, al
        {{0xE4, 0x80}, INSN_IN, 2, 1},           // in al, 0x80
        {{0xE6, 0x79}, INSN_OUT, 2, 1},          // out 0x79, al
        {{0x48, 0xEC}, INSN_IN, 2, 0},           // a REX prefix changes nothing
        {{0x3E, 0x67, 0xEE}, INSN_OUT, 3, 0},    // nor do segment and address prefixes
        {{0x66, 0xEC}, INSN_IN, 2, 0},           // 0x66 on the byte form: still a byte
        {{0xED}, INSN_UNKNOWN, 1, 0},            // in eax, dx
        {{0x66, 0xEF}, INSN_UNKNOWN, 2, 0},      // out dx, ax
        {{0xE5, 0x80}, INSN_UNKNOWN, 2, 1},      // in eax, 0x80
        {{0xF3, 0x6E}, INSN_UNKNOWN, 2, 0},      // rep outsb
        {{0x90}, INSN_OTHER, 0, 0},              // nop: the fault is not a port's
        {{0xE4}, INSN_OTHER, 0, 0},              // cut short before its port byte
        {{0x66, 0x66, 0x66}, INSN_OTHER, 0, 0},  // prefixes only
    };
    for (auto& c : cases) {
        PORT_INSN insn;
        std::ostringstream what;
        for (unsigned char b : c.code) what << std::hex << (int)b << ' ';
        EXPECT_EQ(decode_port_insn(c.code.data(), c.code.size(), &insn), c.kind) << what.str();
        EXPECT_EQ(insn.length, c.length) << what.str();
        if (c.kind != INSN_OTHER) {
            EXPECT_EQ(insn.immediate, c.immediate) << what.str();
        }
    }
    PORT_INSN insn;
    const unsigned char imm[] = {0xE6, 0x80};
    decode_port_insn(imm, sizeof imm, &insn);
    EXPECT_EQ(insn.imm8, 0x80);
}

// A directory of the test's own, for the trap's log.
struct LOG_DIR : SCRATCH_DIR {
    LOG_DIR() : SCRATCH_DIR("trap") {}
    std::string log() const { return *this / "log"; }
};

std::vector<std::string> join(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// The trap with trap_args, running PROGRAM with its args. LeakSanitizer cannot stop a traced
// program to look for leaks (the sanitizer build's untraced runs look for them).
RUN_RESULT trap(const std::vector<std::string>& trap_args, const char* program,
                const std::vector<std::string>& args, const std::string& stdin_text = "") {
    static const bool leaks_off = [] {
        const char* old = getenv("ASAN_OPTIONS");
        std::string opts = old && *old ? std::string(old) + ":detect_leaks=0" : "detect_leaks=0";
        return setenv("ASAN_OPTIONS", opts.c_str(), 1) == 0;
    }();
    (void)leaks_off;
    return run_binary(VELKOR_TRAP, join(join(trap_args, {"--", program}), args), stdin_text);
}

#define SKIP_WHEN_UNTRACEABLE(r)                                                        \
    do {                                                                                \
        if ((r).status == 4) GTEST_SKIP() << "the port trap cannot trace: " << (r).err; \
    } while (0)

// The log lines that are port accesses ("in PPPP VV", "out PPPP VV"), without their times.
std::vector<std::string> accesses(const std::string& log) {
    std::vector<std::string> lines;
    std::istringstream in(log);
    std::string time, what, rest;
    while (in >> time >> what) {
        std::getline(in, rest);
        if (what == "in" || what == "out") lines.push_back(what + rest);
    }
    return lines;
}

TEST(PortTrap, PerformsGrantedAccessesAndLogsThem) {
    LOG_DIR d;
    RUN_RESULT r =
        trap({"--log", d.log()}, VELKOR_PROBE,
             {"ioperm", "279", "1", "1", "in", "279", "iopl", "3", "out80", "5", "in80", "in", "203"});
    SKIP_WHEN_UNTRACEABLE(r);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "ioperm 0 \nin FF\niopl 0 \nin80 FF\nin FF\n");
    std::string log = slurp(d.log());
    EXPECT_NE(log.find(" ioperm 0279 1 on granted\n"), std::string::npos) << log;
    EXPECT_NE(log.find(" iopl 3 granted\n"), std::string::npos) << log;
    EXPECT_EQ(accesses(log),
              (std::vector<std::string>{"in 0279 FF", "out 0080 05", "in 0080 FF", "in 0203 FF"}));
    EXPECT_NE(log.find(" exit 0\n"), std::string::npos) << log;
}

TEST(PortTrap, EndsWith3WhenTheProgramBreaksARule) {
    struct {
        std::vector<std::string> steps;
        const char* says;
    } cases[] = {
        {{"in", "203"}, "in from port 0203"},
        {{"ioperm", "203", "1", "1", "out", "279", "0"}, "out to port 0279"},
        {{"ioperm", "279", "1", "1", "ioperm", "279", "1", "0", "out", "279", "0"},
         "the port was not granted"},
        {{"iopl", "3", "iopl", "0", "in80"}, "in from port 0080"},
        {{"iopl", "3", "outw", "279", "0"}, "66 EF (only byte in and out"},
    };
    for (auto& c : cases) {
        RUN_RESULT r = trap({}, VELKOR_PROBE, c.steps);
        SKIP_WHEN_UNTRACEABLE(r);
        EXPECT_EQ(r.status, 3) << c.says;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    }
}

// The steps that put the cards into isolation at read port 0x203, the Serial Isolation
// register selected: the read port first, so that only one access follows Wake[0].
std::vector<std::string> isolation(const std::vector<std::string>& then) {
    return join({"iopl", "3", "key", "out", "279", "0", "out", "a79", "80", "out", "279", "3", "out", "a79",
                 "0", "out", "279", "1"},
                then);
}

// The cards' clock runs 20 times slower here (the rules ask 15 ms after Wake[0], 5 ms between
// pairs), so that back-to-back reads stay too soon even on a loaded machine.
TEST(PortTrap, HoldsRealWaitsToTheCardsTiming) {
    const std::vector<std::string> slow = {"--sim", "--slow", "20"};
    RUN_RESULT r = trap(slow, VELKOR_PROBE, isolation({"in", "203"}));
    SKIP_WHEN_UNTRACEABLE(r);
    EXPECT_EQ(r.status, 3);
    EXPECT_NE(r.err.find("first bit pair"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("Wake[0]; the card needs 750 us"), std::string::npos) << r.err;

    r = trap(slow, VELKOR_PROBE, isolation({"sleep", "16000", "in", "203", "in", "203", "in", "203"}));
    EXPECT_EQ(r.status, 3);
    EXPECT_NE(r.err.find("the pair before; the card needs 250 us"), std::string::npos) << r.err;

    r = trap(
        slow, VELKOR_PROBE,
        isolation({"sleep", "16000", "in", "203", "in", "203", "sleep", "6000", "in", "203", "in", "203"}));
    EXPECT_EQ(r.status, 0) << r.err;

    // With no card in isolation nothing keeps time.
    r = trap({}, VELKOR_PROBE, isolation({"in", "203", "in", "203", "in", "203"}));
    EXPECT_EQ(r.status, 0) << r.err;
}

TEST(PortTrap, PassesStatusSignalsAndStreamsThrough) {
    RUN_RESULT r = trap({}, VELKOR_PROBE, {"exit", "42"});
    SKIP_WHEN_UNTRACEABLE(r);
    EXPECT_EQ(r.status, 42);
    r = trap({}, VELKOR_PROBE, {"segv"});
    EXPECT_EQ(r.signal, SIGSEGV);

    // The program's own input, output and error, as without the trap.
    std::string script = "PRINT hello\nBOGUS\nEXIT\n";
    RUN_RESULT plain = run_velkor({"--sim"}, script);
    r = trap({"--sim"}, VELKOR_BINARY, {}, script);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, plain.out);
    EXPECT_EQ(r.err, plain.err);

    r = trap({}, "/no/such/program", {});
    EXPECT_EQ(r.status, 127);
    EXPECT_NE(r.err.find("cannot run /no/such/program"), std::string::npos) << r.err;
}

// The ports held after each permission call of the log; fails on a call that was refused.
std::set<int> held_after(const std::string& log, std::vector<std::string>* calls) {
    std::set<int> held;
    std::istringstream in(log);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string time, what, port, num, on, result;
        words >> time >> what;
        if (what == "ioperm") {
            words >> port >> num >> on >> result;
            calls->push_back("ioperm " + port + " " + on);
            int p = (int)strtol(port.c_str(), nullptr, 16);
            for (int k = 0; k < atoi(num.c_str()); k++) {
                if (on == "on")
                    held.insert(p + k);
                else
                    held.erase(p + k);
            }
        } else if (what == "iopl") {
            words >> num;
            calls->push_back("iopl " + num);
        }
    }
    return held;
}

TEST(PortTrap, VelkorGivesBackEveryPortItWasGranted) {
    LOG_DIR d;
    RUN_RESULT r = trap({"--sim", "--log", d.log()}, VELKOR_BINARY, {},
                        "ISOLATE\nDETECT 1\nPNP_PORT = 0x213\nDETECT 2\nEXIT\n");
    SKIP_WHEN_UNTRACEABLE(r);
    EXPECT_EQ(r.status, 0) << r.err;
    std::vector<std::string> calls;
    std::set<int> held = held_after(slurp(d.log()), &calls);
    ASSERT_GE(calls.size(), 3u);
    // Start-up: the ADDRESS port, the privilege level for WRITE_DATA, the default read port.
    EXPECT_EQ(calls[0], "ioperm 0279 on");
    EXPECT_EQ(calls[1], "iopl 3");
    EXPECT_EQ(calls[2], "ioperm 0203 on");
    // Clean-up: the ADDRESS port and the read port in use go back; nothing is left held.
    EXPECT_EQ(calls.back(), "ioperm 0213 off");
    EXPECT_TRUE(held.empty()) << held.size() << " ports still held";
}

TEST(PortTrap, RefusedPermissionQueues1003AndNoPortInstructionRuns) {
    LOG_DIR d;
    for (const char* how : {"--refuse", "--refuse=ENOSYS"}) {
        RUN_RESULT r =
            trap({"--sim", how, "--log", d.log()}, VELKOR_BINARY, {}, "ISOLATE\nDETECT 1\nSTATUS\nEXIT\n");
        SKIP_WHEN_UNTRACEABLE(r);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.out.find("System level permission error"), std::string::npos) << r.out;
        // Standard error says why, from the refused call's own reason (the tests run as root or not).
        const char* why = strcmp(how, "--refuse")
                              ? "this kernel has no raw port access (ioperm: Function not implemented)"
                              : "(ioperm: Operation not permitted)";
        EXPECT_NE(r.err.find(why), std::string::npos) << r.err;
        std::string log = slurp(d.log());
        EXPECT_NE(log.find(" ioperm 0279 1 on "), std::string::npos) << log;
        EXPECT_TRUE(accesses(log).empty()) << log;
    }
}

}  // namespace
