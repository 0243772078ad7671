// Isolation: the key, the checksum, serial isolation across read ports and CSN assignment.
#include "support/program_fixture.h"
#include "support/sim_cards.h"
#include "support/state_text.h"

namespace {

class Isolation : public ProgramTest {};

TEST_F(Isolation, KeyTableAndChecksum) {
    // Each key byte follows from the one before by the LFSR rule of the standard.
    EXPECT_EQ(initdata[0], 0x6A);
    for (int i = 1; i < 32; i++) {
        unsigned char p = initdata[i - 1];
        EXPECT_EQ(initdata[i], (unsigned char)((p >> 1) | (((p ^ (p >> 1)) & 1) << 7))) << i;
    }
    EXPECT_EQ(initdata[31], 0x39);

    unsigned char zeros[9] = {0};
    EXPECT_EQ(testserial_PNP(zeros), 0xB5);
    // A real card's serial identifier (checksum byte 8 from the card itself).
    unsigned char dlink[9] = {0x11, 0x8B, 0x22, 0x01, 0xC8, 0x48, 0xF3, 0x8D, 0xF0};
    EXPECT_EQ(testserial_PNP(dlink), 0xF0);
    dlink[7] ^= 0x80;  // the last bit counts too
    EXPECT_NE(testserial_PNP(dlink), 0xF0);
}

TEST_F(Isolation, NoCardsTriesEveryPort) {
    verbose = 1;
    testing::internal::CaptureStdout();
    EXPECT_EQ(isolate_PNP(4), 0);
    fflush(stdout);
    std::string out = testing::internal::GetCapturedStdout();
    std::string want;
    for (int port = 0x203; port <= 0x3FB; port += 8) {
        char line[40];
        snprintf(line, sizeof line, "CHK: P=%04X @@@0000 00 \n", port);
        want += line;
    }
    EXPECT_EQ(out, want);
    EXPECT_EQ(PNP_port, 0x403);
    EXPECT_EQ(PNP_cards_len, 0);
    EXPECT_EQ(PNP_last_csn, 1);
}

TEST_F(Isolation, OneCardGetsTheNextCsn) {
    BYTES card = make_card(serial_of("ABC0001", 7), ldid("ABC0101"));
    add_card(card);
    PNP_last_csn = 5;
    EXPECT_EQ(isolate_PNP(4), 1);
    EXPECT_EQ(PNP_port, 0x203);
    EXPECT_EQ(card_table(), "5:ABC0001:0");
    EXPECT_EQ(std::string(PNP_cards[0].vendor), "ABC0001");
    EXPECT_EQ(PNP_cards[0].serialno, 7);
    EXPECT_EQ(0, memcmp(PNP_cards[0].serial, card.data(), 9));
    EXPECT_EQ(PNP_last_csn, 6);
    EXPECT_EQ(sim_card_csn(0), 5);
    EXPECT_EQ(sim_card_state(0), SIM_WAIT_FOR_KEY);
}

// PNP_cards_isolated ($PNP_CARDS) counts the cards the last isolation numbered, not the records
// of the table (earlier isolations add those too), and no more than the table took.
TEST_F(Isolation, CountsTheCardsTheLastIsolationNumbered) {
    EXPECT_EQ(isolate_PNP(PNP_CONFIG_RESET_CSN), 0);  // an empty bus
    EXPECT_EQ(PNP_cards_isolated, 0);
    add_card(make_card(serial_of("ABC0001", 1), ldid("ABC0101")));
    add_card(make_card(serial_of("ABC0001", 2), ldid("ABC0101")));
    EXPECT_EQ(isolate_PNP(PNP_CONFIG_RESET_CSN), 1);
    EXPECT_EQ(PNP_cards_isolated, 2);
    add_card(make_card(serial_of("QXN2000", 0x1015), ldid("QXN2000")));
    EXPECT_EQ(isolate_PNP(PNP_CONFIG_RESET_CSN), 1);  // all three again, as CSNs 3 to 5
    EXPECT_EQ(PNP_cards_isolated, 3);
    EXPECT_EQ(PNP_cards_len, 5);
    EXPECT_EQ(isolate_PNP(PNP_CONFIG_RESET), 0);  // every card keeps its CSN
    EXPECT_EQ(PNP_cards_isolated, 0);

    remake_program();  // 20 cards, 17 records: the table takes 17, then none
    for (unsigned long i = 0; i < 20; i++) add_card(make_card(serial_of("QXS3201", 0x100u + i), {}));
    EXPECT_EQ(isolate_PNP(PNP_CONFIG_RESET_CSN), 1);
    EXPECT_EQ(PNP_cards_isolated, 17);
    EXPECT_EQ(isolate_PNP(PNP_CONFIG_RESET_CSN), 0);
    EXPECT_EQ(PNP_cards_isolated, 0);
}

TEST_F(Isolation, CsnOrderFollowsArbitration) {
    // Bit 0 of byte 0 goes first on the wire; a card sending 1 where another sends 0 wins.
    BYTES a = make_card({0x05, 0, 0, 0, 0, 0, 0, 0}, {});  // bits 0 and 2
    BYTES b = make_card({0x06, 0, 0, 0, 0, 0, 0, 0}, {});  // bits 1 and 2
    BYTES c = make_card({0x04, 0, 0, 0, 0, 0, 0, 1}, {});  // bit 2, and the last byte
    BYTES d = make_card({0x04, 0, 0, 0, 0, 0, 0, 0}, {});
    add_card(d);
    add_card(b);
    add_card(c);
    add_card(a);
    EXPECT_EQ(isolate_PNP(4), 1);
    EXPECT_EQ(PNP_cards_len, 4);
    EXPECT_EQ(sim_card_csn(3), 1);  // a
    EXPECT_EQ(sim_card_csn(1), 2);  // b
    EXPECT_EQ(sim_card_csn(2), 3);  // c
    EXPECT_EQ(sim_card_csn(0), 4);  // d
    EXPECT_EQ(PNP_cards[0].serial[0], 0x05);
    EXPECT_EQ(PNP_cards[2].serial[7], 0x01);
}

TEST_F(Isolation, TwoCardsAtOnePortThenTheRunEnds) {
    add_card(make_card(serial_of("ABC0001", 1), {}));
    add_card(make_card(serial_of("ABC0002", 2), {}));
    verbose = 1;
    testing::internal::CaptureStdout();
    EXPECT_EQ(isolate_PNP(4), 1);
    fflush(stdout);
    // The third attempt at 0203 fails and ends the run: one CHK line, no other port tried.
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "CHK: P=0203 @@@0000 00 \n");
    EXPECT_EQ(PNP_port, 0x203);
    EXPECT_EQ(PNP_cards_len, 2);
}

TEST_F(Isolation, ForeignDeviceMovesIsolationToTheNextPort) {
    add_card(make_card(serial_of("ABC0001", 1), {}));
    sim_foreign_device(0x203);
    EXPECT_EQ(isolate_PNP(4), 1);
    EXPECT_EQ(PNP_port, 0x20B);
    EXPECT_EQ(card_table(), "1:ABC0001:0");
    EXPECT_EQ(sim_card_reg(0, 0, 0x00), 0x20B >> 2);
}

TEST_F(Isolation, BadSerialChecksumIsNoCard) {
    BYTES card = make_card(serial_of("ABC0001", 1), {});
    card[8] ^= 1;
    add_card(card);
    EXPECT_EQ(isolate_PNP(4), 0);
    EXPECT_EQ(PNP_cards_len, 0);
    EXPECT_EQ(sim_card_csn(0), 0);
}

TEST_F(Isolation, SecondRunAppendsTheSameCardsAgain) {
    add_card(make_card(serial_of("ABC0001", 1), {}));
    add_card(make_card(serial_of("ABC0002", 2), {}));
    EXPECT_EQ(isolate_PNP(4), 1);
    EXPECT_EQ(isolate_PNP(4), 1);
    EXPECT_EQ(PNP_cards_len, 4);
    EXPECT_EQ(PNP_cards[0].csn, 1);
    EXPECT_EQ(PNP_cards[3].csn, 4);
    EXPECT_EQ(0, memcmp(PNP_cards[0].serial, PNP_cards[2].serial, 9));
    // Mode 1 keeps the CSNs: every card sleeps through Wake[0].
    EXPECT_EQ(isolate_PNP(1), 0);
    EXPECT_EQ(PNP_cards_len, 4);
}

TEST_F(Isolation, ResetDrvModeStillFindsTheCards) {
    // Config Control 7 sends every card back to Wait for Key: the key must come again.
    add_card(make_card(serial_of("ABC0001", 1), {}));
    EXPECT_EQ(isolate_PNP(4), 1);
    EXPECT_EQ(isolate_PNP(7), 1);
    EXPECT_EQ(card_table(), "1:ABC0001:0 2:ABC0001:0");
    EXPECT_EQ(sim_card_csn(0), 2);
}

TEST_F(Isolation, FullTableStopsTheRun) {
    for (int i = 0; i < 18; i++) add_card(make_card(serial_of("ABC0000", 100 + i), {}));
    EXPECT_EQ(isolate_PNP(4), 1);
    EXPECT_EQ(PNP_cards_len, PNP_MAXCARDS);
    short without = 0;
    for (int i = 0; i < 18; i++) without += sim_card_csn(i) == 0;
    EXPECT_EQ(without, 1);
    // A full table: no attempt at all, but the key and Config Control still go out (CSNs reset).
    EXPECT_EQ(isolate_PNP(4), 0);
    EXPECT_EQ(PNP_port, 0x203);
    EXPECT_EQ(PNP_cards_len, PNP_MAXCARDS);
    for (int i = 0; i < 18; i++) EXPECT_EQ(sim_card_csn(i), 0);
}

TEST_F(Isolation, TraceOfKeyModeAndCsn) {
    add_card(make_card(serial_of("ABC0001", 1), {}));
    TRACE_FILE trace;
    ASSERT_EQ(isolate_PNP(4), 1);
    std::vector<std::string> t = trace.lines();
    ASSERT_GT(t.size(), 300u);
    std::vector<std::string> key = {"out 0279 00", "delay 250", "out 0279 00"};
    for (int i = 0; i < 32; i++) {
        char line[20];
        snprintf(line, sizeof line, "out 0279 %02X", initdata[i]);
        key.push_back("delay 250");
        key.push_back(line);
    }
    key.push_back("delay 250");
    std::vector<std::string> head(t.begin(), t.begin() + 68);
    EXPECT_EQ(head, key);
    // Config Control 4 (no wait), Wake[0], Set RD_DATA 0x80, Serial Isolation selected, 750 us.
    std::vector<std::string> start(t.begin() + 68, t.begin() + 76);
    std::vector<std::string> want = {"out 0279 02", "out 0A79 04", "out 0279 03", "out 0A79 00",
                                     "out 0279 00", "out 0A79 80", "out 0279 01", "delay 750"};
    EXPECT_EQ(start, want);
    // 72 bit pairs, each after 250 us, then the CSN.
    for (int pair = 0; pair < 72; pair++) {
        EXPECT_EQ(t[76 + 3 * pair], "delay 250");
        EXPECT_EQ(t[77 + 3 * pair].substr(0, 8), "in 0203 ");
        EXPECT_EQ(t[78 + 3 * pair].substr(0, 8), "in 0203 ");
    }
    EXPECT_EQ(t[292], "out 0279 06");
    EXPECT_EQ(t[293], "out 0A79 01");
    EXPECT_EQ(t.back(), "out 0A79 02");  // Wait for Key
    EXPECT_EQ(t[t.size() - 2], "out 0279 02");
}

TEST_F(Isolation, ResetModesWaitAndRekey) {
    TRACE_FILE trace;
    isolate_PNP(1);
    std::vector<std::string> t = trace.lines();
    EXPECT_EQ(t[68], "out 0279 02");
    EXPECT_EQ(t[69], "out 0A79 01");
    EXPECT_EQ(t[70], "delay 750");
    EXPECT_EQ(t[71], "out 0279 03");  // Wake[0] at once
    trace_close();

    TRACE_FILE again;
    isolate_PNP(7);
    t = again.lines();
    EXPECT_EQ(t[69], "out 0A79 07");
    EXPECT_EQ(t[70], "delay 750");
    EXPECT_EQ(t[71], "out 0279 00");  // the key again
    EXPECT_EQ(t[73], "out 0279 00");
    EXPECT_EQ(t[75], "out 0279 6A");
    EXPECT_EQ(t[71 + 68], "out 0279 03");
}

// The card model refuses bit pairs read too soon; a protocol that skipped a wait would read no
// card at all. The reads below are what discover_PNP does, with the waits as parameters.
static BYTES read_serial(long settle, long gap) {
    wake_PNP(0);
    setrdport_PNP();
    port_out(PNP_ADDRESS, 0x01);
    udelay(settle);
    BYTES serial(9, 0);
    for (int bit = 0; bit < 72; bit++) {
        udelay(gap);
        unsigned char first = port_in(0x203), second = port_in(0x203);
        if (first == 0x55 && second == 0xAA) serial[bit / 8] |= (unsigned char)(1 << bit % 8);
    }
    return serial;
}

TEST_F(Isolation, MissingDelaysYieldNoData) {
    BYTES card = make_card(serial_of("ABC0001", 0x5A5A), {});
    add_card(card);
    PNP_port = 0x203;
    BYTES id(card.begin(), card.begin() + 9);
    initkey_PNP();
    EXPECT_EQ(read_serial(750, 250), id);
    EXPECT_NE(read_serial(750, 249), id);
    EXPECT_NE(read_serial(0, 250), id);    // the first pair 250 us after Wake[0]
    EXPECT_NE(read_serial(499, 250), id);  // 749 us
    EXPECT_EQ(read_serial(0, 0), BYTES(9, 0));
    EXPECT_EQ(read_serial(500, 250), id);  // the first pair's own wait makes up the 750
    // One attempt costs 750 + 72 x 250 microseconds of bus time.
    unsigned long long before = sim_clock();
    wake_PNP(0);
    EXPECT_EQ(discover_PNP(), 1);
    EXPECT_EQ(sim_clock() - before, 750u + 72 * 250);
}

}  // namespace
