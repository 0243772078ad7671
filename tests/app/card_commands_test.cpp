// ISOLATE, DETECT and STATUS handlers: arguments, permission, messages and the selection.
#include "app/card_commands.h"

#include <fstream>
#include <string>
#include <vector>

#include "input/input_stack.h"
#include "support/program_fixture.h"
#include "support/run_line.h"
#include "support/run_program.h"
#include "support/scratch_dir.h"
#include "support/sim_cards.h"
#include "shell/parse.h"

namespace {

class CardCommands : public ProgramTest {
protected:
    // Offers line to the three handlers; returns what they printed on the standard output.
    static std::string run(const char* line) {
        return run_line_output({exec_isolate, exec_detect, exec_status}, line);
    }
};

TEST_F(CardCommands, OtherWordsAreNotTaken) {
    EXPECT_EQ(run_line({exec_isolate, exec_detect, exec_status}, "ISOLATED"), 0);
}

TEST_F(CardCommands, EmptyBusVerbose) {
    verbose = 1;
    std::string out = run("ISOLATE");
    std::string tail = "CHK: P=03FB @@@0000 00 \n\nNo cards found!\n\n";
    EXPECT_EQ(out.rfind("CHK: P=0203 @@@0000 00 \nCHK: P=020B ", 0), 0u);
    ASSERT_GE(out.size(), tail.size());
    EXPECT_EQ(out.substr(out.size() - tail.size()), tail);
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 64 + 3);
    EXPECT_EQ(PNP_port, 0x403);
}

TEST_F(CardCommands, IsolateWordsAndSelection) {
    sim_add_builtin_cards();
    TRACE_FILE trace;
    EXPECT_EQ(run("ISOLATE RES"), "");
    EXPECT_EQ(errhdl_code(0), 7009);
    EXPECT_TRUE(trace.lines().empty());
    clr_errhdl();
    PNP_csn = 1;
    PNP_csn_idx = 0;
    PNP_device = 2;
    Uport = 0x333;
    EXPECT_EQ(run("isolate rEsEt"), "");  // fresh cards have no CSN yet: found in mode 1 too
    EXPECT_EQ(PNP_cards_len, 2);
    EXPECT_EQ(PNP_csn, 0);
    EXPECT_EQ(PNP_csn_idx, -1);
    EXPECT_EQ(PNP_device, -1);
    EXPECT_EQ(Uport, 0x203);
    EXPECT_EQ(run("ISOLATE CSN"), "");
    EXPECT_EQ(PNP_cards_len, 4);
    EXPECT_EQ(run("ISOLATE RESET_DRV"), "");
    EXPECT_EQ(PNP_cards_len, 6);
    EXPECT_EQ(errhdl_count(), 0);
}

// The card table holds 17 cards: a bus with more numbers 17 and says on standard error that the
// others were left without a CSN. A bus of exactly 17 says nothing, and the extra attempt that
// tells the two apart prints no verbose line.
TEST_F(CardCommands, IsolateSaysWhenMoreCardsAnswerThanTheTableHolds) {
    for (short ncards : {17, 18, 20}) {
        SCOPED_TRACE(ncards);
        remake_program();
        for (short i = 0; i < ncards; i++) add_card(make_card(serial_of("QXS3201", 0x100u + i), {}));
        verbose = 1;
        testing::internal::CaptureStderr();
        std::string out = run("ISOLATE");
        std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(PNP_cards_len, 17);
        EXPECT_EQ(out.find("CHK:"), std::string::npos) << out;
        short unnumbered = 0;
        for (short i = 0; i < ncards; i++) unnumbered += sim_card_csn(i) == 0;
        EXPECT_EQ(unnumbered, ncards - 17);
        if (ncards == 17) {
            EXPECT_EQ(err, "");
        } else {
            EXPECT_EQ(err,
                      "velkor: warning: more than 17 cards answered; the card table holds 17, and the cards "
                      "beyond it have no Card Select Number\n");
        }
    }
}

TEST_F(CardCommands, DetectSelectsTheFirstCardLoaded) {
    sim_add_builtin_cards();
    run("ISOLATE");
    EXPECT_EQ(run("DETECT 1+1"), "");
    EXPECT_EQ(PNP_csn, 2);
    EXPECT_EQ(PNP_csn_idx, 1);
    EXPECT_EQ(PNP_device, 0);
    EXPECT_EQ(run("DETECT 1"), "");
    EXPECT_EQ(PNP_csn, 2);  // an existing selection stays
    EXPECT_EQ(PNP_cards[0].ndevs, 3);
    EXPECT_EQ(run("DETECT 0"), "");  // the current card again
    EXPECT_EQ(run("DETECT 5"), "\nCard #05 cannot be loaded\n\n");
    EXPECT_EQ(errhdl_count(), 0);
    // The read port comes from PNP_PORT.
    Uport = 0x2A3;
    EXPECT_EQ(run("DETECT 1"), "");
    EXPECT_EQ(PNP_port, 0x2A3);
    EXPECT_EQ(sim_card_reg(0, 0, 0x00), 0x2A3 >> 2);
}

TEST_F(CardCommands, DetectWithoutACard) {
    EXPECT_EQ(run("DETECT"), "");
    EXPECT_EQ(errhdl_code(0), 1002);
    EXPECT_EQ(PNP_cards_len, 0);
    clr_errhdl();
    EXPECT_EQ(run("DETECT nosuchvariable"), "");  // a bad expression counts as 0
    EXPECT_EQ(errhdl_count(), 1);
    EXPECT_EQ(errhdl_code(0), 1002);
}

TEST_F(CardCommands, WithoutPermissionNothingReachesTheBus) {
    sim_add_builtin_cards();
    PNP_permitted = 0;
    TRACE_FILE trace;
    EXPECT_EQ(run("ISOLATE"), "");
    EXPECT_EQ(errhdl_count(), 1);
    EXPECT_EQ(errhdl_code(0), 1003);
    clr_errhdl();
    EXPECT_EQ(run("DETECT 1"), "");
    EXPECT_EQ(errhdl_count(), 1);
    EXPECT_EQ(errhdl_code(0), 1003);
    EXPECT_TRUE(trace.lines().empty());
    EXPECT_EQ(PNP_cards_len, 0);
    EXPECT_EQ(run("STATUS"), "\nPNP_port   = x0000\nPNP_csn    = 0\nPNP_device = -1\n#-of-cards = 0\n\n\n");
}

// $PNP_CARDS in a whole run, as start-up wires it: 0 before ISOLATE, then the cards the last
// ISOLATE numbered (none when every card kept its CSN). A variable of its name comes first, and
// ones of the names it begins with are read as always.
TEST(PnpCards, CountsTheCardsOfTheLastIsolate) {
    SCRATCH_DIR scratch{"pnpcards"};
    const std::string file = scratch / "s.pnp";
    auto run = [&](std::vector<std::string> args, const std::string& text) {
        std::ofstream(file) << text << "EXIT\n";
        args.push_back(file);
        return run_velkor(args);
    };
    const std::string script =
        "PRINT $PNP_CARDS\nISOLATE\nPRINT $PNP_CARDS\nISOLATE\nPRINT $PNP_CARDS\n"
        "ISOLATE RESET\nPRINT $PNP_CARDS\n";
    const std::string none = "\nNo cards found!\n\n";
    RUN_RESULT r = run({"--sim"}, script);
    EXPECT_EQ(r.out, banner() + "0\n2\n2\n" + none + "0\n");
    r = run({"--sim", "--card", std::string(VELKOR_SOURCE_DIR) + "/examples/netcard.hex"}, script);
    EXPECT_EQ(r.out, banner() + "0\n3\n3\n" + none + "0\n");
    EXPECT_EQ(r.err, "");
    r = run({"--sim"},
            "INT p, pnp, pnp_cards\np = 1\npnp = 2\npnp_cards = 7\nISOLATE\nPRINT $P $PNP $PNP_CARDS\n");
    EXPECT_EQ(r.out, banner() + "1 2 7\n");
}

TEST_F(CardCommands, GetIntQuietOrNot) {
    long v = 99;
    P.command("DETECT 3*4");
    P.get(0);
    EXPECT_EQ(getINT(&v, 0), 1);
    EXPECT_EQ(v, 12);
    P.command("DETECT )");
    P.get(0);
    EXPECT_EQ(getINT(&v, 0), 0);
    EXPECT_EQ(v, 0);
    EXPECT_GT(errhdl_count(), 0);
    P.command("DETECT )");
    P.get(0);
    EXPECT_EQ(getINT(&v, 1), 1);
    EXPECT_EQ(errhdl_count(), 0);
}

}  // namespace
