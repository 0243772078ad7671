// DEVICE BEGIN/SET/END and TEST: the exact register writes, the record kept in step, the errors.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

#include "app/completion.h"
#include "app/device_config.h"
#include "pnp/ports.h"
#include "pnp/state.h"
#include "shell/cgets.h"
#include "shell/errhdl.h"
#include "shell/parse.h"
#include "support/program_fixture.h"
#include "support/recording_bus.h"
#include "support/run_line.h"
#include "support/run_program.h"
#include "support/state_text.h"

namespace {

// Short names for the shared helpers: the register writes since the last call, and the queued
// errors (both emptied).
constexpr auto writes = &take_register_writes;
constexpr auto errors = &take_errors;

// A card with CSN 1 and three logical devices at record 0, device 1 current; port 0x203; the
// configuration mode off; the recording bus in place.
class DeviceConfigTest : public ProgramTest {
protected:
    void SetUp() override {
        ProgramTest::SetUp();
        use_bus(&recording_bus);
        CARD_TYP& c = PNP_cards[0];
        c.csn = 1;
        c.ndevs = 3;
        c.devs = (DEVICE_TYP*)calloc(3, sizeof(DEVICE_TYP));
        for (short i = 0; i < 3; i++) {
            c.devs[i].number = i;
            c.devs[i].dma[0] = c.devs[i].dma[1] = 4;
        }
        PNP_cards_len = 1;
        PNP_csn = 1;
        PNP_csn_idx = 0;
        PNP_device = 1;
        PNP_port = 0x203;
        Uport = 0x203;
    }

    DEVICE_TYP& dev(short n = 1) { return PNP_cards[0].devs[n]; }

    // Runs one command line through the two handlers; returns what the taking handler returned.
    static short run(const char* line) { return run_line({exec_device, test_USR}, line); }
    // DEVICE BEGIN, with its writes checked and dropped.
    void begin() {
        ASSERT_EQ(run("DEVICE BEGIN"), 1);
        ASSERT_EQ(writes(), "key 00=80 03=01 07=01");
        ASSERT_EQ(valid_DEVICE(), 1);
    }
};

TEST_F(DeviceConfigTest, BeginAndEndSendTheirSequencesOnce) {
    Uport = 0;  // PNP_PORT 0 selects the default port
    EXPECT_EQ(run("dev b"), 1);
    EXPECT_EQ(writes(), "key 00=80 03=01 07=01");
    EXPECT_EQ(run("DEVICE BEGIN"), 1);
    EXPECT_EQ(writes(), "");
    EXPECT_EQ(run("DEVICE E"), 1);
    EXPECT_EQ(writes(), "02=02");
    EXPECT_EQ(valid_DEVICE(), 0);
    EXPECT_EQ(run("DEVICE END"), 1);
    EXPECT_EQ(writes(), "");
    EXPECT_EQ(errors(), "");
}

TEST_F(DeviceConfigTest, BeginUsesThePortOfPnpPort) {
    Uport = 0x20B;
    run("DEVICE BEGIN");
    EXPECT_EQ(PNP_port, 0x20B);
    EXPECT_EQ(writes(), "key 00=82 03=01 07=01");
}

TEST_F(DeviceConfigTest, ActionWordsAndTheirErrors) {
    EXPECT_EQ(run("DEVICE"), 1);
    EXPECT_EQ(run("DEVICE START"), 1);
    EXPECT_EQ(run("DEVICES BEGIN"), 0);  // not this handler's line
    EXPECT_EQ(run("TESTS"), 0);
    EXPECT_EQ(errors(), "5003 5003");
    begin();
    EXPECT_EQ(run("DEVICE SET"), 1);
    EXPECT_EQ(run("DEVICE SET PORT 1"), 1);
    EXPECT_EQ(run("DEVICE SET MEM"), 1);
    EXPECT_EQ(run("DEVICE SET ACT"), 1);  // resource keywords are exact
    EXPECT_EQ(errors(), "5003 5003 5003 5003");
    EXPECT_EQ(writes(), "");
}

TEST_F(DeviceConfigTest, SetNeedsCurrentCardDeviceAndConfigurationMode) {
    EXPECT_EQ(run("DEVICE SET IRQ 0 5"), 1);
    EXPECT_EQ(errors(), "5003");  // before BEGIN
    PNP_csn = 0;
    run("DEVICE SET IRQ 0 5");
    EXPECT_EQ(errors(), "1002");  // no current card comes first
    PNP_csn = 1;
    begin();
    PNP_device = -1;
    run("DEVICE SET IRQ 0 5");
    EXPECT_EQ(errors(), "1002");
    PNP_csn_idx = -1;
    run("DEVICE SET ACTIVE");
    EXPECT_EQ(errors(), "1002");
    EXPECT_EQ(writes(), "");
    EXPECT_EQ(dev().irq[0].level, 0);
}

TEST_F(DeviceConfigTest, BeginWithoutValidSelectionResolvesNothing) {
    // After start-up or ISOLATE: Wake[0] and Logical Device Number 0xFF go out; SET has no device.
    PNP_csn = 0;
    PNP_csn_idx = -1;
    PNP_device = -1;
    run("DEVICE BEGIN");
    EXPECT_EQ(writes(), "key 00=80 03=00 07=FF");
    PNP_csn = 1;
    PNP_csn_idx = 0;
    PNP_device = 1;
    run("DEVICE SET IRQ 0 5");
    EXPECT_EQ(errors(), "1002");
    EXPECT_EQ(writes(), "");
    run("DEVICE END");
    writes();

    // A device number beyond the card's devices (set through PNP_DEVICE).
    PNP_device = 3;
    run("DEVICE BEGIN");
    EXPECT_EQ(writes(), "key 00=80 03=01 07=03");
    run("DEVICE SET IRQ 0 5");
    EXPECT_EQ(errors(), "1002");
    EXPECT_EQ(writes(), "");
    run("DEVICE END");
    writes();

    // A CSN that names no card of the table.
    PNP_device = 1;
    PNP_csn = 2;
    run("DEVICE BEGIN");
    writes();
    run("DEVICE SET IRQ 0 5");
    EXPECT_EQ(errors(), "1002");
    EXPECT_EQ(writes(), "");
    run("DEVICE END");
    writes();

    // PNP_CSN naming another card of the table: the woken card gets the writes, the record at
    // PNP_csn_idx keeps the copy, as the selection says.
    PNP_cards[1].csn = 2;
    PNP_cards_len = 2;
    run("DEVICE BEGIN");
    EXPECT_EQ(writes(), "key 00=80 03=02 07=01");
    run("DEVICE SET IRQ 0 5");
    EXPECT_EQ(errors(), "");
    EXPECT_EQ(writes(), "70=05 71=00");
    EXPECT_EQ(dev().irq[0].level, 5);
    run("DEVICE END");
    writes();
    PNP_cards[1].csn = 0;
    PNP_cards_len = 1;

    // A card index beyond the records in use.
    PNP_csn = 1;
    PNP_csn_idx = 1;
    run("DEVICE BEGIN");
    writes();
    run("DEVICE SET DMA 0 1");
    EXPECT_EQ(errors(), "1002");
    EXPECT_EQ(writes(), "");
}

TEST_F(DeviceConfigTest, DeviceIsFixedAtBegin) {
    begin();
    PNP_device = 2;  // changing PNP_DEVICE afterwards does not move SET to another device
    run("DEVICE SET DMA 1 3");
    EXPECT_EQ(writes(), "75=03");
    EXPECT_EQ(dev(1).dma[1], 3);
    EXPECT_EQ(dev(2).dma[1], 4);
}

TEST_F(DeviceConfigTest, Irq) {
    begin();
    run("DEVICE SET IRQ 0 5");
    EXPECT_EQ(writes(), "70=05 71=00");
    EXPECT_EQ(dev().irq[0].level, 5);
    EXPECT_EQ(dev().irq[0].type, 0);
    run("DEV S IRQ 1 10 HIGH LEVEL");
    EXPECT_EQ(writes(), "72=0A 73=03");
    run("DEVICE SET IRQ 0 5 L");  // L is LOW
    EXPECT_EQ(writes(), "70=05 71=00");
    run("DEVICE SET IRQ 0 7 h le");  // LE is LEVEL
    EXPECT_EQ(writes(), "70=07 71=03");
    run("DEVICE SET IRQ 0 7 HIGH LOW EDGE LEVEL EDGE ; the last keyword for a bit wins");
    EXPECT_EQ(writes(), "70=07 71=00");
    run("DEVICE SET IRQ 0 9 # comment");
    EXPECT_EQ(writes(), "70=09 71=00");
    EXPECT_EQ(errors(), "");

    run("DEVICE SET IRQ 0 2+3");  // arguments are single numbers
    run("DEVICE SET IRQ 2 5");
    run("DEVICE SET IRQ 0");
    run("DEVICE SET IRQ 0 5 RISING");
    EXPECT_EQ(errors(), "5003 5003 5003 5003");
    run("DEVICE SET IRQ 0 x5");
    EXPECT_EQ(errors(), "7002");
    EXPECT_EQ(writes(), "");
    EXPECT_EQ(dev().irq[0].level, 9);

    run("DEVICE SET IRQ CLEAR");
    EXPECT_EQ(writes(), "70=00 71=00 72=00 73=00");
    run("DEVICE SET IRQ C");
    EXPECT_EQ(writes(), "");
    EXPECT_EQ(dev().irq[1].level, 0);
    EXPECT_EQ(dev().irq[1].type, 0);
}

TEST_F(DeviceConfigTest, IrqLevelZeroOnBothSidesIsLeftAlone) {
    begin();
    run("DEVICE SET IRQ 0 0 HIGH");
    EXPECT_EQ(writes(), "");
    EXPECT_EQ(dev().irq[0].type, 0);
}

TEST_F(DeviceConfigTest, Mem) {
    dev().mem[0].control = 0x01;  // the card reports an upper limit
    begin();
    run("DEVICE SET MEM 0 0xD00 0xD40 16BIT");
    EXPECT_EQ(writes(), "40=0D 41=00 42=03 43=0D 44=40");
    EXPECT_EQ(dev().mem[0].base, 0xD00);
    EXPECT_EQ(dev().mem[0].limit, 0xD40);
    EXPECT_EQ(dev().mem[0].control, 0x03);
    run("DEVICE SET MEM 0 0xD00 0xD40 8BIT extra words are ignored");
    EXPECT_EQ(writes(), "40=0D 41=00 42=01 43=0D 44=40");
    run("DEVICE SET MEM 3 0x10000C8 0x10 1");  // 1 is 16BIT; values keep their low 16 bits
    EXPECT_EQ(writes(), "58=00 59=C8 5A=02 5B=00 5C=10");
    run("DEVICE SET MEM 0 0xD00");         // no limit: nothing, silently
    run("DEVICE SET MEM 1 0 0x10");        // base 0 on both sides: nothing at all
    run("DEVICE SET MEM 2 0x10000 0x10");  // so is a base whose low 16 bits are 0
    EXPECT_EQ(errors(), "");
    EXPECT_EQ(dev().mem[1].limit, 0);
    EXPECT_EQ(dev().mem[2].limit, 0);
    run("DEVICE SET MEM 0 0xD00 0xD40 ; comment");
    run("DEVICE SET MEM 0 0xD00 0xD40 32BIT");
    run("DEVICE SET MEM 4 0xD00 0xD40");
    run("DEVICE SET MEM 0");
    EXPECT_EQ(errors(), "5003 5003 5003 5003");
    run("DEVICE SET MEM -1 0xD00 0xD40");  // "-" is a token of its own, not a number
    EXPECT_EQ(errors(), "7002");
    EXPECT_EQ(writes(), "");

    run("DEVICE SET MEM CLEAR");  // bit 0 of control stays the card's
    EXPECT_EQ(writes(), "40=00 41=00 42=01 43=00 44=00 58=00 59=00 5A=00 5B=00 5C=00");
    EXPECT_EQ(dev().mem[3].base, 0);
    EXPECT_EQ(dev().mem[0].control, 0x01);
}

TEST_F(DeviceConfigTest, Mem32) {
    dev().mem32[1].control = 0x01;
    begin();
    run("DEVICE SET MEM32 1 0xE0000 0xEFFFF 32BIT");
    EXPECT_EQ(writes(), "80=00 81=0E 82=00 83=00 84=07 85=00 86=0E 87=FF 88=FF");
    // Full 32-bit addresses, beyond the signed range of the general number conversion.
    run("DEVICE SET MEM32 0 0xFEC00000 0xFEC0FFFF 32BIT");
    EXPECT_EQ(writes(), "76=FE 77=C0 78=00 79=00 7A=06 7B=FE 7C=C0 7D=FF 7E=FF");
    EXPECT_EQ(dev().mem32[0].base, 0xFEC00000ul);
    EXPECT_EQ(dev().mem32[0].limit, 0xFEC0FFFFul);
    run("DEVICE SET MEM32 3 4294967295 0b11 16BIT");
    EXPECT_EQ(writes(), "A0=FF A1=FF A2=FF A3=FF A4=02 A5=00 A6=00 A7=00 A8=03");
    run("DEVICE SET MEM32 2 010 0x99999999999 8BIT");  // octal; too large saturates
    EXPECT_EQ(writes(), "90=00 91=00 92=00 93=08 94=00 95=FF 96=FF 97=FF 98=FF");
    run("DEVICE SET MEM32 1 0xE0000 0xEFFFF");  // no keyword: 8-bit, bit 0 kept
    EXPECT_EQ(writes(), "80=00 81=0E 82=00 83=00 84=01 85=00 86=0E 87=FF 88=FF");
    EXPECT_EQ(errors(), "");

    run("DEVICE SET MEM32 4 1 2");
    run("DEVICE SET MEM32 0 1 2 64BIT");
    run("DEVICE SET MEM32 0");
    EXPECT_EQ(errors(), "5003 5003 5003");
    run("DEVICE SET MEM32 0 0xFG 2");
    run("DEVICE SET MEM32 0 09 2");
    EXPECT_EQ(errors(), "7002 7002");
    EXPECT_EQ(writes(), "");

    run("DEVICE SET MEM32 CLEAR");
    EXPECT_EQ(writes(),
              "76=00 77=00 78=00 79=00 7A=00 7B=00 7C=00 7D=00 7E=00 "
              "80=00 81=00 82=00 83=00 84=01 85=00 86=00 87=00 88=00 "
              "90=00 91=00 92=00 93=00 94=00 95=00 96=00 97=00 98=00 "
              "A0=00 A1=00 A2=00 A3=00 A4=00 A5=00 A6=00 A7=00 A8=00");
    EXPECT_EQ(dev().mem32[3].limit, 0ul);
}

TEST_F(DeviceConfigTest, IoPorts) {
    dev().io[5] = 0x0100;
    begin();
    run("DEVICE SET IOPORT 0x220 , 0x330");
    EXPECT_EQ(writes(), "60=02 61=20 62=03 63=30 6A=00 6B=00");
    EXPECT_EQ(dev().io[0], 0x220);
    EXPECT_EQ(dev().io[1], 0x330);
    EXPECT_EQ(dev().io[5], 0);
    run("DEVICE SET IOPORT 0x220,0x388");
    EXPECT_EQ(writes(), "60=02 61=20 62=03 63=88");
    run("DEVICE SET IOPORT 0x240 ; comment");
    EXPECT_EQ(writes(), "60=02 61=40 62=00 63=00");
    run("DEVICE SET IOPORT 1, 2, 3, 4, 5, 6, 7, 8 # eight");
    EXPECT_EQ(writes(),
              "60=00 61=01 62=00 63=02 64=00 65=03 66=00 67=04 68=00 69=05 6A=00 6B=06 "
              "6C=00 6D=07 6E=00 6F=08");
    run("DEVICE SET IOPORT 0x220 , ;");  // a comment after a comma ends the list too
    EXPECT_EQ(writes(),
              "60=02 61=20 62=00 63=00 64=00 65=00 66=00 67=00 68=00 69=00 6A=00 6B=00 6C=00 "
              "6D=00 6E=00 6F=00");
    EXPECT_EQ(errors(), "");

    run("DEVICE SET IOPORT 0x220 0x330");
    run("DEVICE SET IOPORT 1,2,3,4,5,6,7,8,9");
    run("DEVICE SET IOPORT 0x220 ,");
    run("DEVICE SET IOPORT 0x220 ; 0x330");
    EXPECT_EQ(errors(), "5003 5003 5003");
    EXPECT_EQ(writes(), "60=02 61=20");  // the last line was fine: only port 0 changes
    run("DEVICE SET IOPORT 0x220 , x");
    EXPECT_EQ(errors(), "7002");
    EXPECT_EQ(writes(), "");

    run("DEVICE SET IOPORT CLEAR");
    EXPECT_EQ(writes(), "60=00 61=00");
    run("DEVICE SET IOPORT CLEAR");
    EXPECT_EQ(writes(), "");
}

TEST_F(DeviceConfigTest, Dma) {
    dev().dma[1] = 5;
    begin();
    run("DEVICE SET DMA 0 1");
    EXPECT_EQ(writes(), "74=01");
    run("DEVICE SET DMA 0 3+2 trailing words are ignored");
    EXPECT_EQ(writes(), "74=03");
    run("DEVICE SET DMA 1 4");  // 4 on both sides after this one
    EXPECT_EQ(writes(), "75=04");
    run("DEVICE SET DMA 1 4");
    EXPECT_EQ(writes(), "");
    run("DEVICE SET DMA 2 1");
    run("DEVICE SET DMA 0");
    EXPECT_EQ(errors(), "5003 5003");
    run("DEVICE SET DMA CLEAR");
    EXPECT_EQ(writes(), "74=04");
    EXPECT_EQ(dev().dma[0], 4);
    EXPECT_EQ(errors(), "");
}

TEST_F(DeviceConfigTest, ActiveTurnsRangeCheckOffFirst) {
    begin();
    dev().rangecheck = 0x01;
    run("DEVICE SET ACTIVE");
    EXPECT_EQ(writes(), "31=00 30=01");
    dev().rangecheck = 0x02;  // the standard's enable bit
    run("DEVICE SET active");
    EXPECT_EQ(writes(), "31=00 30=01");
    dev().rangecheck = 0x00;
    run("DEVICE SET ACTIVE");
    EXPECT_EQ(writes(), "30=01");
    EXPECT_EQ(dev().activate, 1);
    dev().rangecheck = 0x03;
    run("DEVICE SET INACTIVE");
    EXPECT_EQ(writes(), "30=00");
    EXPECT_EQ(dev().activate, 0);
    EXPECT_EQ(dev().rangecheck, 0x03);  // the record keeps what was captured
    EXPECT_EQ(errors(), "");
}

TEST_F(DeviceConfigTest, TestWritesItsFixedSequenceAndEndsConfigurationMode) {
    begin();
    PNP_port = 0x20B;  // TEST uses the port as it is
    Uport = 0x203;
    EXPECT_EQ(run("test"), 1);
    EXPECT_EQ(writes(), "key 00=82 03=01 07=02 60=02 61=01 30=01 02=02");
    EXPECT_EQ(PNP_csn, 1);
    EXPECT_EQ(PNP_csn_idx, 0);
    EXPECT_EQ(PNP_device, 2);
    EXPECT_EQ(dev(2).io[0], 0);  // the card table is not touched
    EXPECT_EQ(dev(2).activate, 0);
    EXPECT_EQ(valid_DEVICE(), 0);
    run("DEVICE SET IRQ 0 5");
    EXPECT_EQ(errors(), "5003");
    EXPECT_EQ(writes(), "");
}

TEST_F(DeviceConfigTest, EndDeviceAtCleanUpSendsWaitForKeyOnce) {
    end_DEVICE();
    EXPECT_EQ(writes(), "");
    begin();
    end_DEVICE();
    end_DEVICE();
    EXPECT_EQ(writes(), "02=02");
    EXPECT_EQ(errors(), "");
}

TEST_F(DeviceConfigTest, DropDeviceEndsTheModeWithoutBusTraffic) {
    begin();
    drop_DEVICE();
    EXPECT_EQ(valid_DEVICE(), 0);
    EXPECT_EQ(writes(), "");
    run("DEVICE SET IRQ 0 5");
    EXPECT_EQ(errors(), "5003");
}

TEST_F(DeviceConfigTest, WithoutPortPermissionNothingTouchesTheBus) {
    PNP_permitted = 0;
    EXPECT_EQ(run("DEVICE BEGIN"), 1);
    EXPECT_EQ(run("DEVICE SET IRQ 0 5"), 1);
    EXPECT_EQ(run("DEVICE END"), 1);
    EXPECT_EQ(run("TEST"), 1);
    EXPECT_EQ(errors(), "1003 1003 1003 1003");
    EXPECT_EQ(writes(), "");
    EXPECT_EQ(valid_DEVICE(), 0);
    EXPECT_EQ(PNP_device, 1);  // TEST did nothing
    end_DEVICE();
    EXPECT_EQ(writes(), "");
}

TEST_F(DeviceConfigTest, WriteIntU2PutsTheHighByteFirst) {
    writeINTU2(0x60, 0x0220);
    EXPECT_EQ(writes(), "60=02 61=20");
}

// Every word TAB completion offers after prefix is one the handler takes: each line prefix, the
// word and rest runs after DEVICE BEGIN. The lines that queued an error, with it.
std::string refused_completions(const std::string& prefix, const char* rest) {
    std::string bad;
    if (completion_begin(prefix.c_str(), (int)prefix.size()) != CGETS_OFFER_WORDS) return "nothing offered";
    std::vector<std::string> offered;
    for (short k = 0; k < 100; k++) {
        const char* w = completion_next();
        if (!w) break;
        offered.push_back(w);
    }
    for (const std::string& word : offered) {
        std::string line = prefix + word + rest;
        run_line(exec_device, "DEVICE BEGIN");
        errors();
        run_line(exec_device, line.c_str());
        std::string e = errors();
        if (!e.empty()) bad += line + ": " + e + "\n";
        run_line(exec_device, "DEVICE END");
    }
    return offered.empty() ? "nothing offered" : bad;
}

TEST_F(DeviceConfigTest, EveryWordCompletionOffersIsTaken) {
    EXPECT_EQ(refused_completions("DEVICE ", " ACTIVE"), "");  // BEGIN and END read no more words
    EXPECT_EQ(refused_completions("DEVICE SET ", ""),
              "DEVICE SET MEM: 5003\nDEVICE SET MEM32: 5003\n"
              "DEVICE SET IOPORT: 5003\nDEVICE SET IRQ: 5003\n"
              "DEVICE SET DMA: 5003\n");
    for (const char* resource : {"MEM", "MEM32", "IOPORT", "IRQ", "DMA"})
        EXPECT_EQ(refused_completions(std::string("DEVICE SET ") + resource + " ", ""), "") << resource;
    EXPECT_EQ(refused_completions("DEVICE SET MEM 0 0xC8 0xCC ", ""), "");
    EXPECT_EQ(refused_completions("DEVICE SET MEM32 0 0xC8000 0xCC000 ", ""), "");
    EXPECT_EQ(refused_completions("DEVICE SET IRQ 0 5 ", ""), "");
    EXPECT_EQ(refused_completions("DEVICE SET IRQ 0 5 ", " BOGUS"),
              "DEVICE SET IRQ 0 5 HIGH BOGUS: 5003\n"
              "DEVICE SET IRQ 0 5 LOW BOGUS: 5003\n"
              "DEVICE SET IRQ 0 5 EDGE BOGUS: 5003\n"
              "DEVICE SET IRQ 0 5 LEVEL BOGUS: 5003\n");
    EXPECT_EQ(run_line(exec_device, "DEVICE BOGUS"), 1);
    EXPECT_EQ(errors(), "5003");
}

}  // namespace

// The whole program on the simulated bus, its --trace read back: the register writes of DEVICE
// commands reach the bus, and the clean-up at exit ends a configuration left open, once.
namespace {

// Register writes of a trace file after the last initiation key, in the form of writes().
std::string traced_writes_after_last_key(const std::string& path) {
    if (access(path.c_str(), R_OK) != 0) return "(no trace)";
    std::string all = register_writes(slurp(path));
    size_t at = all.rfind("key");
    return at == std::string::npos ? all : all.substr(at);
}

std::string run_traced(const std::string& commands) {
    char path[] = "/tmp/velkor-trace-XXXXXX";
    int fd = mkstemp(path);
    if (fd < 0) return "(no temporary file)";
    close(fd);
    run_velkor({"--sim", "--trace", path}, commands);
    std::string w = traced_writes_after_last_key(path);
    unlink(path);
    return w;
}

TEST(DeviceConfigProgram, WritesReachTheBusAndExitEndsConfigurationOnce) {
    const std::string setup = "ISOLATE\nDETECT 1\nDEVICE BEGIN\nDEVICE SET IRQ 0 5\n";
    // End of input with configuration mode on: clean-up sends Wait for Key.
    EXPECT_EQ(run_traced(setup), "key 00=80 03=01 07=00 70=05 71=00 02=02");
    EXPECT_EQ(run_traced(setup + "EXIT\n"), "key 00=80 03=01 07=00 70=05 71=00 02=02");
    // Ended by the user: nothing more at exit.
    EXPECT_EQ(run_traced(setup + "DEVICE END\nEXIT\n"), "key 00=80 03=01 07=00 70=05 71=00 02=02");
    EXPECT_EQ(run_traced(setup + "DEVICE SET IOPORT 0x220 , 0x330\nDEVICE SET ACTIVE\nQUIT\n"),
              "key 00=80 03=01 07=00 70=05 71=00 60=02 61=20 62=03 63=30 30=01 02=02");
}

}  // namespace
