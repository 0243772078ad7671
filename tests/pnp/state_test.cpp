// PnP state: permission, read port, current card and device, identifier and bit texts.
#include "support/program_fixture.h"
#include "support/recording_bus.h"
#include "support/sim_cards.h"

#include <csignal>
#include <ctime>
#include <sys/time.h>

namespace {

class State : public ProgramTest {};

TEST_F(State, PermissionAtStartUp) {
    use_bus(&recording_bus);
    refuse_permit = 1;
    refuse_privilege = 0;
    EXPECT_EQ(init_PNP(), 1);
    EXPECT_EQ(errhdl_code(0), 1003);
    EXPECT_EQ(PNP_permitted, 0);
    EXPECT_EQ(ports_PNP(), 0);
    EXPECT_EQ(errhdl_count(), 2);
    defaultport_PNP(0x203);
    clean_PNP();  // without permission no port is asked for or given back
    EXPECT_EQ(bus_log(), "permit 0279 1\n");

    clr_errhdl();
    clear_bus_log();
    refuse_permit = 0;
    refuse_privilege = 1;
    EXPECT_EQ(init_PNP(), 1);
    EXPECT_EQ(errhdl_count(), 1);
    EXPECT_EQ(bus_log(), "permit 0279 1\nprivilege 3\npermit 0279 0\n");

    clr_errhdl();
    clear_bus_log();
    refuse_privilege = 0;
    EXPECT_EQ(init_PNP(), 0);
    EXPECT_EQ(errhdl_count(), 0);
    EXPECT_EQ(ports_PNP(), 1);
    // The read port: the old one is given back before the new one is asked for.
    defaultport_PNP(0);
    defaultport_PNP(0x203);  // unchanged: no request
    defaultport_PNP(0x213);
    clean_PNP();
    EXPECT_EQ(bus_log(),
              "permit 0279 1\nprivilege 3\npermit 0203 1\npermit 0203 0\npermit 0213 1\npermit 0279 0\n"
              "permit 0213 0\n");
    EXPECT_EQ(PNP_port, 0x213);
}

TEST_F(State, CurrentCardAndDevice) {
    EXPECT_EQ(testcsn_PNP(0), 0);
    EXPECT_EQ(testdev_PNP(0), 0);
    EXPECT_EQ(errhdl_count(), 0);
    PNP_csn = 3;  // assigned by a script while no card was selected
    EXPECT_EQ(testcsn_PNP(1), 0);
    EXPECT_EQ(errhdl_code(0), 1002);

    PNP_cards[0].csn = 3;
    PNP_cards[1].csn = 4;
    PNP_cards[1].ndevs = 2;
    PNP_cards_len = 2;
    PNP_device = 7;
    EXPECT_EQ(current_PNP(9), 1);
    EXPECT_EQ(PNP_csn_idx, -1);
    EXPECT_EQ(current_PNP(-1), 0);  // the card of PNP_csn; no devices: the device stays
    EXPECT_EQ(PNP_csn_idx, 0);
    EXPECT_EQ(PNP_device, 7);
    EXPECT_EQ(current_PNP(4), 0);
    EXPECT_EQ(PNP_csn, 4);
    EXPECT_EQ(PNP_csn_idx, 1);
    EXPECT_EQ(PNP_device, 0);
    EXPECT_EQ(testcsn_PNP(1), 1);
    EXPECT_EQ(findcard_PNP(4), 1);
    EXPECT_EQ(findcard_PNP(0), -1);
    EXPECT_EQ(usedcard_PNP(1), &PNP_cards[1]);
    PNP_cards[0].csn = 0;  // a record that holds no card, one past the end, none
    EXPECT_EQ(usedcard_PNP(0), nullptr);
    EXPECT_EQ(usedcard_PNP(2), nullptr);
    EXPECT_EQ(usedcard_PNP(-1), nullptr);
    PNP_cards[1].ndevs = 0;  // nothing was allocated
}

TEST_F(State, IdentifierAndBitTexts) {
    const unsigned char abc[4] = {0x04, 0x43, 0x00, 0x01};
    EXPECT_STREQ(devid_PNP(abc), "ABC0001");
    const unsigned char hex[4] = {0x04, 0x43, 0x00, 0xE1};
    EXPECT_STREQ(devid_PNP(hex), "ABC00e1");
    const unsigned char ones[4] = {0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_STREQ(devid_PNP(ones), "\x7f__ffff");
    const unsigned char zeros[4] = {0, 0, 0, 0};
    EXPECT_STREQ(devid_PNP(zeros), "@@@0000");
    EXPECT_STREQ(binstring1(0x05), "00000101b");
    EXPECT_STREQ(binstring1(0xFF), "11111111b");
    EXPECT_STREQ(binstring2(-1), "1111111111111111b");
    EXPECT_STREQ(binstring2(0x0102), "0000000100000010b");
}

TEST_F(State, TraceLines) {
    TRACE_FILE trace;
    PNP_port = 0x20B;
    writereg_PNP(0x107, 0x1FF);  // only the low bytes go out
    readreg_PNP(0x06);
    udelay(250);
    EXPECT_EQ(trace.lines(), (std::vector<std::string>{"out 0279 07", "out 0A79 FF", "out 0279 06",
                                                       "in 020B FF", "delay 250"}));
    trace_close();
    EXPECT_EQ(trace_open("/nonexistent-dir/trace"), 0);
}

static volatile sig_atomic_t alarms;
static void on_alarm(int) { alarms++; }

TEST(HardwareBus, DelayResumesAfterASignal) {
    struct sigaction sa, old;
    memset(&sa, 0, sizeof sa);
    sa.sa_handler = on_alarm;  // no SA_RESTART: nanosleep returns EINTR
    sigaction(SIGALRM, &sa, &old);
    struct itimerval tick = {{0, 5000}, {0, 5000}}, off = {{0, 0}, {0, 0}};
    alarms = 0;
    struct timespec t0, t1;
    clock_gettime(CLOCK_MONOTONIC, &t0);
    setitimer(ITIMER_REAL, &tick, nullptr);
    hw_bus.delay(60000);
    setitimer(ITIMER_REAL, &off, nullptr);
    clock_gettime(CLOCK_MONOTONIC, &t1);
    sigaction(SIGALRM, &old, nullptr);
    long elapsed = (t1.tv_sec - t0.tv_sec) * 1000000 + (t1.tv_nsec - t0.tv_nsec) / 1000;
    EXPECT_GT(alarms, 2);
    EXPECT_GE(elapsed, 60000);
}

}  // namespace
