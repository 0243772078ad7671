// Resource data decoder and device dumps: every item kind, separators, cut data, selections.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "input/input_stack.h"
#include "script/output.h"
#include "pnp/dump.h"
#include "pnp/state.h"
#include "shell/errhdl.h"
#include "support/program_fixture.h"

namespace {

// A fresh program with PNP_port 0x203 and outfp captured.
class DumpTest : public ProgramTest {
protected:
    FILE* capture = nullptr;

    void SetUp() override {
        ProgramTest::SetUp();
        PNP_port = 0x203;
        capture = tmpfile();
        ASSERT_NE(capture, nullptr);
        outfp = capture;
    }
    void TearDown() override {
        outfp = stdout;
        fclose(capture);
        ProgramTest::TearDown();
    }

    // What was written to outfp since the last call.
    std::string output() {
        fflush(capture);
        std::string s;
        rewind(capture);
        int c;
        while ((c = fgetc(capture)) != EOF) s += (char)c;
        rewind(capture);
        if (ftruncate(fileno(capture), 0) != 0) ADD_FAILURE() << "ftruncate";
        return s;
    }

    // Appends a card record holding exactly these resource bytes (a heap block of that size,
    // so the sanitizer sees any read past it) and makes it current.
    CARD_TYP& add_card(unsigned short csn, const std::vector<unsigned char>& res, short ndevs = 0,
                       const char* vendor = "ABC0001", unsigned short serialno = 0x1234) {
        CARD_TYP& c = PNP_cards[PNP_cards_len];
        c.csn = csn;
        c.reslen = (short)res.size();
        if (!res.empty()) {
            c.resdata = (unsigned char*)malloc(res.size());
            memcpy(c.resdata, res.data(), res.size());
        }
        snprintf(c.vendor, sizeof c.vendor, "%s", vendor);
        c.serialno = serialno;
        c.ndevs = ndevs;
        if (ndevs) {
            c.devs = (DEVICE_TYP*)calloc(ndevs, sizeof(DEVICE_TYP));
            for (short i = 0; i < ndevs; i++) {
                c.devs[i].number = i;
                c.devs[i].dma[0] = c.devs[i].dma[1] = 4;
                snprintf(c.devs[i].id, sizeof c.devs[i].id, "ABC%04d", i & 0xFFF);
            }
        }
        PNP_csn_idx = PNP_cards_len++;
        PNP_csn = (short)csn;
        PNP_device = ndevs ? 0 : -1;
        return c;
    }

    // Decodes one small item on its own; checks that exactly the item was consumed.
    std::string small(std::vector<unsigned char> item) {
        unsigned char* cursor = item.data();
        short left = (short)item.size();
        parse_shortTAG(&cursor, &left);
        EXPECT_EQ(left, 0);
        EXPECT_EQ(cursor, item.data() + item.size());
        return output();
    }
    std::string large(std::vector<unsigned char> item) {
        unsigned char* cursor = item.data();
        short left = (short)item.size();
        parse_longTAG(&cursor, &left);
        EXPECT_EQ(left, 0);
        EXPECT_EQ(cursor, item.data() + item.size());
        return output();
    }
};

TEST_F(DumpTest, SmallItemsPlain) {
    EXPECT_EQ(small({0x0A, 0x10, 0x01}), "  pnpverno_TAG     1.0 - x01\n");
    EXPECT_EQ(small({0x09, 0x21}), "  pnpverno_TAG     2.1\n");
    EXPECT_EQ(small({0x1C, 0x41, 0xD0, 0xB0, 0x2F}), "  cmptdevid_TAG    PNPb02f \n");
    EXPECT_EQ(small({0x22, 0x22, 0x00}), "  irq_TAG          ( 1 5 )\n");
    EXPECT_EQ(small({0x23, 0x38, 0x8E, 0x01}), "  irq_TAG          ( 3 4 5 9 10 11 15 ) Sense: 00000001b\n");
    EXPECT_EQ(small({0x2A, 0x02, 0x28}), "  dma_TAG          ( 1 ) flg: 00101000b\n");
    EXPECT_EQ(small({0x2A, 0x00, 0x08}), "  dma_TAG          ( ) flg: 00001000b\n");
    EXPECT_EQ(small({0x2A, 0xE0, 0x12}), "  dma_TAG          ( 5 6 7 ) flg: 00010010b\n");
    EXPECT_EQ(small({0x30}), "  startdep_TAG     \n");
    EXPECT_EQ(small({0x31, 0x00}), "  startdep_TAG     Good Cfg\n");
    EXPECT_EQ(small({0x31, 0x01}), "  startdep_TAG     Acceptable Cfg\n");
    EXPECT_EQ(small({0x31, 0x02}), "  startdep_TAG     Sub-optimal Cfg\n");
    EXPECT_EQ(small({0x31, 0x03}), "  startdep_TAG     Reserved\n");
    EXPECT_EQ(small({0x38}), "  enddep_TAG       \n  --------------- \n");
    EXPECT_EQ(small({0x47, 0x01, 0x20, 0x02, 0x80, 0x02, 0x20, 0x10}),
              "  ioport_TAG       16 bits x0220-x0280 Align: x20 Len: 16\n");
    EXPECT_EQ(small({0x47, 0x00, 0x00, 0x80, 0xF0, 0xFF, 0x01, 0x00}),
              "  ioport_TAG       10 bits x8000-xFFF0 Align: x01 Len: 0\n");
    EXPECT_EQ(small({0x4B, 0x88, 0x03, 0x04}), "  fixedio_TAG      10 bits x0388 Len: 4\n");
    EXPECT_EQ(small({0x73, 0x01, 0xAB, 0xFF}), "  svendor_TAG      [x01] [xAB] [xFF] \n");
    EXPECT_EQ(small({0x70}), "  svendor_TAG      \n");
    EXPECT_EQ(small({0x00}), "  sunknown_TAG     \n");
    EXPECT_EQ(small({0x52, 0x01, 0x02}), "  rsvdA_TAG        \n");
    EXPECT_EQ(small({0x58}), "  rsvdB_TAG        \n");
    EXPECT_EQ(small({0x61, 0x00}), "  rsvdC_TAG        \n");
    EXPECT_EQ(small({0x6F, 1, 2, 3, 4, 5, 6, 7}), "  rsvdD_TAG        \n");
}

TEST_F(DumpTest, SmallItemsVerbose) {
    verbose = 1;
    EXPECT_EQ(small({0x0A, 0x10, 0x01}), "  pnpverno_TAG     (x01) [  2] 1.0 - x01\n");
    EXPECT_EQ(small({0x1C, 0x41, 0xD0, 0xB0, 0x2F}), "  cmptdevid_TAG    (x03) [  4] PNPb02f \n");
    EXPECT_EQ(small({0x22, 0x20, 0x00}), "  irq_TAG          (x04) [  2] ( 5 )\n");
    EXPECT_EQ(small({0x2A, 0x02, 0x28}), "  dma_TAG          (x05) [  2] ( 1 ) flg: 00101000b\n");
    EXPECT_EQ(small({0x30}), "  startdep_TAG     (x06) [  0] \n");
    EXPECT_EQ(small({0x38}), "  enddep_TAG       (x07) [  0] \n  --------------- \n");
    EXPECT_EQ(small({0x47, 0x01, 0x20, 0x02, 0x80, 0x02, 0x20, 0x10}),
              "  ioport_TAG       (x08) [  7] 16 bits x0220-x0280 Align: x20 Len: 16\n");
    EXPECT_EQ(small({0x4B, 0x88, 0x03, 0x04}), "  fixedio_TAG      (x09) [  3] 10 bits x0388 Len: 4\n");
    EXPECT_EQ(small({0x52, 0x01, 0x02}), "  rsvdA_TAG        (x0A) [  2] \n");
    EXPECT_EQ(small({0x71, 0x5A}), "  svendor_TAG      (x0E) [  1] [x5A] \n");
    EXPECT_EQ(small({0x00}), "  sunknown_TAG     (x00) [  0] \n");
}

TEST_F(DumpTest, LargeItemsPlainAndVerbose) {
    const std::vector<unsigned char> mem = {0x81, 0x09, 0x00, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    const std::vector<unsigned char> ansi = {0x82, 0x05, 0x00, 'G', 'a', 'm', 'e', 0x00};
    const std::vector<unsigned char> uni = {0x83, 0x02, 0x00, 'A', 0};
    const std::vector<unsigned char> vend = {0x84, 0x01, 0x00, 0x77};
    const std::vector<unsigned char> mem32 = {0x85, 0x00, 0x00};
    const std::vector<unsigned char> fixed32 = {0x86, 0x00, 0x00};
    const std::vector<unsigned char> unknown = {0x80, 0x00, 0x00};
    const std::vector<unsigned char> rsvd = {0x87, 0x01, 0x00, 0xEE};
    const std::vector<unsigned char> rsvd_top = {0xFF, 0x00, 0x00};

    EXPECT_EQ(large(mem), "  mem_TAG        * \n");
    EXPECT_EQ(large(ansi), std::string("  ansistr_TAG    * \"Game\0\"\n", 27));
    EXPECT_EQ(large(uni), "  unicodestr_TAG * \n");
    EXPECT_EQ(large(vend), "  lvendor_TAG    * \n");
    EXPECT_EQ(large(mem32), "  mem32_TAG      * \n");
    EXPECT_EQ(large(fixed32), "  fixedmem32_TAG * \n");
    EXPECT_EQ(large(unknown), "  lunknown_TAG   * \n");
    EXPECT_EQ(large(rsvd), "  lrsvd_TAG      * \n");

    verbose = 1;
    EXPECT_EQ(large(mem), "  mem_TAG        * [0001-9] \n");
    EXPECT_EQ(large(ansi), std::string("  ansistr_TAG    * [0002-5] \"Game\0\"\n", 36));
    EXPECT_EQ(large(fixed32), "  fixedmem32_TAG * [0006-0] \n");
    // Reserved names: a leading blank and an x, no trailing blank.
    EXPECT_EQ(large(rsvd), "  lrsvd_TAG      *  [x0007-1]\n");
    EXPECT_EQ(large(rsvd_top), "  lrsvd_TAG      *  [x007F-0]\n");
}

TEST_F(DumpTest, LargeItemLengthIsSixteenBitsLowByteFirst) {
    std::vector<unsigned char> item = {0x84, 0x2C, 0x01};  // 300 data bytes
    item.resize(3 + 300, 0xAA);
    verbose = 1;
    EXPECT_EQ(large(item), "  lvendor_TAG    * [0004-300] \n");
}

TEST_F(DumpTest, CardNeverLoadedShowsHeaderAndOneSeparator) {
    add_card(1, {}, 0, "ABC0001", 0x1234);
    EXPECT_EQ(dumprcs_PNP(-1), 0);
    EXPECT_EQ(output(), "card[01]<000>: ABC0001 x1234\n  ---------------\n");
    EXPECT_EQ(errhdl_count(), 0);
}

TEST_F(DumpTest, SeparatorsAroundLogicalDevices) {
    // PnP version, ANSI string, one logical device, End.
    add_card(1,
             {0x0A, 0x10, 0x01, 0x82, 0x02, 0x00, 'A', 'B', 0x15, 0x0E, 0x63, 0x00, 0x00, 0x00, 0x79, 0x00},
             1, "CSC4232", 0x0001);
    EXPECT_EQ(dumprcs_PNP(-1), 0);
    EXPECT_EQ(output(),
              "card[01]<001>: CSC4232 x0001\n"
              "  ---------------\n"
              "  pnpverno_TAG     1.0 - x01\n"
              "  ansistr_TAG    * \"AB\"\n"
              "  ---------------\n"
              "  logdevid_TAG     CSC0000  0000000000000000b (0x3F-31 0=bootable)\n"
              "  end_TAG          checksum: x00\n"
              "  ---------------\n");
}

TEST_F(DumpTest, LogicalDeviceAfterHeaderOrEndDependentGetsNoSecondSeparator) {
    add_card(2,
             {0x16, 0x04, 0x43, 0x00, 0x01, 0x01, 0x02,              // ABC0001, flags 0x0201
              0x30, 0x38, 0x16, 0x04, 0x43, 0x00, 0xE1, 0x00, 0x00,  // ABC00e1
              0x79, 0x5A},
             2);
    EXPECT_EQ(dumprcs_PNP(-1), 0);
    EXPECT_EQ(output(),
              "card[02]<002>: ABC0001 x1234\n"
              "  ---------------\n"
              "  logdevid_TAG     ABC0001  0000001000000001b (0x3F-31 0=bootable)\n"
              "  startdep_TAG     \n"
              "  enddep_TAG       \n"
              "  --------------- \n"
              "  logdevid_TAG     ABC00e1  0000000000000000b (0x3F-31 0=bootable)\n"
              "  end_TAG          checksum: x5A\n"
              "  ---------------\n");
}

TEST_F(DumpTest, EndTagStopsTheDumpAndDataEndingOnSeparatorAddsNone) {
    // Bytes after the End tag are not decoded.
    add_card(1, {0x79, 0x11, 0x0A, 0x10});
    EXPECT_EQ(dumprcs_PNP(-1), 0);
    EXPECT_EQ(output(),
              "card[01]<000>: ABC0001 x1234\n  ---------------\n"
              "  end_TAG          checksum: x11\n  ---------------\n");
    // Data that ends (without an End tag) right after End dependent functions, or after a large
    // item that follows the header separator, gets no closing separator.
    add_card(2, {0x38});
    EXPECT_EQ(dumprcs_PNP(-1), 0);
    EXPECT_EQ(output(),
              "card[02]<000>: ABC0001 x1234\n  ---------------\n"
              "  enddep_TAG       \n  --------------- \n");
    add_card(3, {0x84, 0x00, 0x00});
    EXPECT_EQ(dumprcs_PNP(-1), 0);
    EXPECT_EQ(output(), "card[03]<000>: ABC0001 x1234\n  ---------------\n  lvendor_TAG    * \n");
}

TEST_F(DumpTest, LogicalDeviceIdWithOneFlagByteShowsHighByteZero) {
    add_card(1, {0x15, 0x0E, 0x8C, 0x00, 0x45, 0x81, 0x79, 0x00}, 1);
    dumprcs_PNP(-1);
    EXPECT_EQ(output(),
              "card[01]<001>: ABC0001 x1234\n  ---------------\n"
              "  logdevid_TAG     CTL0045  0000000010000001b (0x3F-31 0=bootable)\n"
              "  end_TAG          checksum: x00\n  ---------------\n");
}

TEST_F(DumpTest, VerboseHeaderShowsTwoSixteenBitHalvesLengthAndCardRegisters) {
    CARD_TYP& c = add_card(1, {0x79, 0x87}, 0, "CSC4232", 0x0001);
    const unsigned char serial[9] = {0x0E, 0x63, 0x42, 0x32, 0x01, 0x00, 0x00, 0x00, 0xD3};
    memcpy(c.serial, serial, 9);
    for (int i = 0; i < 16; i++) c.cardregs[i] = (unsigned char)(i * 0x11);
    verbose = 1;
    dumprcs_PNP(0);
    EXPECT_EQ(output(),
              "card[01]<000>: CSC4232 x0001 -> 0x0000630E00000001 (d=2)\n"
              "                00 11 22 33 44 55 66 77 88 99 AA BB CC DD EE FF \n"
              "  ---------------\n"
              "  end_TAG          (x0F) [  1] checksum: x87\n"
              "  ---------------\n");
}

// Items cut short by the end of the stored data show the bytes that are there and say so; the
// heap block is exactly reslen bytes, so a read past it would be caught by the sanitizer.
TEST_F(DumpTest, ItemsCutShortAreMarkedAndNothingPastTheDataIsRead) {
    add_card(1, {0x0A, 0x10, 0x01, 0x47, 0x01, 0x20});
    dumprcs_PNP(-1);
    EXPECT_EQ(output(),
              "card[01]<000>: ABC0001 x1234\n  ---------------\n"
              "  pnpverno_TAG     1.0 - x01\n"
              "  ioport_TAG       [x01] [x20] (cut: 2 of 7 data bytes)\n"
              "  ---------------\n");
    add_card(2, {0x79});
    dumprcs_PNP(-1);
    EXPECT_EQ(output(),
              "card[02]<000>: ABC0001 x1234\n  ---------------\n"
              "  end_TAG          (cut: 0 of 1 data bytes)\n  ---------------\n");
    add_card(3, {0x82, 0x05, 0x00, 'A', 'B'});
    dumprcs_PNP(-1);
    EXPECT_EQ(output(),
              "card[03]<000>: ABC0001 x1234\n  ---------------\n"
              "  ansistr_TAG    * \"AB\" (cut: 2 of 5 data bytes)\n");
    add_card(4, {0x30, 0x81, 0x09});
    verbose = 1;
    dumprcs_PNP(-1);
    EXPECT_EQ(output(),
              "card[04]<000>: ABC0001 x1234 -> 0x0000000000000000 (d=3)\n"
              "                00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 \n"
              "  ---------------\n"
              "  startdep_TAG     (x06) [  0] \n"
              "  mem_TAG        * [0001-9] (cut: 1 of 2 length bytes)\n"
              "  ---------------\n");
    add_card(5, {0x87, 0x03, 0x00, 0x01});
    dumprcs_PNP(-1);
    EXPECT_EQ(output(),
              "card[05]<000>: ABC0001 x1234 -> 0x0000000000000000 (d=4)\n"
              "                00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 \n"
              "  ---------------\n"
              "  lrsvd_TAG      *  [x0007-3] (cut: 1 of 3 data bytes)\n");
}

TEST_F(DumpTest, InvalidCardSelectionQueues1002AndPrintsNothing) {
    EXPECT_EQ(dumprcs_PNP(-1), 1);  // no current card
    EXPECT_EQ(dumprcs_PNP(0), 1);   // beyond the records in use
    add_card(1, {0x79, 0x00});
    PNP_cards[0].csn = 0;  // a record that holds no card
    EXPECT_EQ(dumprcs_PNP(0), 1);
    EXPECT_EQ(dumprcs_PNP(-2), 1);
    EXPECT_EQ(output(), "");
    EXPECT_EQ(errhdl_count(), 4);
    EXPECT_EQ(errhdl_code(0), 1002);
}

TEST_F(DumpTest, DeviceWithNothingAssigned) {
    add_card(1, {}, 1);
    EXPECT_EQ(dumpdev_PNP(-1, -1), 0);
    EXPECT_EQ(output(), "  ===========\n  Device 000: ABC0000 (INACTIVE) \n  ===========\n");
    verbose = 1;
    EXPECT_EQ(dumpdev_PNP(0, 0), 0);
    EXPECT_EQ(output(),
              "  ===========\n"
              "  Device 000: ABC0000 (INACTIVE-x00) RANGECHECK=x00\n"
              "         MEM: none\n"
              "       MEM32: none\n"
              "    I/O Port: none\n"
              "         IRQ: none\n"
              "        DMA0: none\n"
              "        DMA1: none\n"
              "      Vendor: 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 \n"
              "  ===========\n");
}

TEST_F(DumpTest, DeviceWithEveryResource) {
    CARD_TYP& c = add_card(1, {}, 2);
    DEVICE_TYP& d = c.devs[1];
    d.activate = 0x81;
    d.rangecheck = 0x02;
    d.mem[0] = {0x0D00, 0x03, 0x0D40};
    d.mem[2] = {0x00C8, 0x00, 0x0010};
    d.mem32[0] = {0xFEC00000ul, 0x07, 0xFEC0FFFFul};
    d.mem32[1] = {0x000E0000ul, 0x02, 0x00010000ul};
    d.mem32[3] = {0x00000001ul, 0x04, 0x0ul};
    d.io[0] = 0x0220;
    d.io[3] = 0x0330;
    d.irq[0] = {5, 2};
    d.irq[1] = {10, 3};
    d.dma[0] = 1;
    d.vendorregs[14] = 0xEE;
    const char* body =
        "         MEM: x0D00 .... x0D40 (16-bit) x00C8 size x0010 (08-bit) \n"
        "       MEM32: xFEC00000 .... xFEC0FFFF (32-bit) x000E0000 size x00010000 (16-bit) "
        "x00000001 size x00000000 (08-bit) \n"
        "    I/O Port: 0x0220 0x0330 \n"
        "         IRQ: 5 (he)10 (hl)\n"
        "        DMA0: 1\n";
    EXPECT_EQ(dumpdev_PNP(1, -1), 0);
    EXPECT_EQ(output(),
              std::string("  ===========\n  Device 001: ABC0001 (ACTIVE) \n") + body + "  ===========\n");
    verbose = 1;
    EXPECT_EQ(dumpdev_PNP(1, 0), 0);
    EXPECT_EQ(output(), std::string("  ===========\n  Device 001: ABC0001 (ACTIVE-x81) RANGECHECK=x02\n") +
                            body +
                            "        DMA1: none\n"
                            "      Vendor: 00 00 00 00 00 00 00 00 00 00 00 00 00 00 EE \n"
                            "  ===========\n");
}

TEST_F(DumpTest, IrqTypesAndDmaChannelZero) {
    CARD_TYP& c = add_card(1, {}, 1);
    c.devs[0].irq[1] = {15, 1};
    c.devs[0].dma[1] = 0;
    dumpdev_PNP(0, 0);
    EXPECT_EQ(output(),
              "  ===========\n  Device 000: ABC0000 (INACTIVE) \n"
              "         IRQ: 15 (ll)\n        DMA1: 0\n  ===========\n");
    c.devs[0].irq[0] = {3, 4};  // only type & 3 names the kind
    dumpdev_PNP(0, 0);
    EXPECT_EQ(output(),
              "  ===========\n  Device 000: ABC0000 (INACTIVE) \n"
              "         IRQ: 3 (ld)15 (ll)\n        DMA1: 0\n  ===========\n");
}

TEST_F(DumpTest, InvalidDeviceSelectionQueues1002AndPrintsNothing) {
    EXPECT_EQ(dumpdev_PNP(0, -1), 1);  // no current card
    add_card(1, {}, 2);
    PNP_device = -1;
    EXPECT_EQ(dumpdev_PNP(-1, -1), 1);  // no current device
    EXPECT_EQ(dumpdev_PNP(2, 0), 1);    // beyond the card's devices
    EXPECT_EQ(dumpdev_PNP(0, 1), 1);    // beyond the records in use
    add_card(2, {}, 0);
    EXPECT_EQ(dumpdev_PNP(0, 1), 1);  // a card without devices
    PNP_cards[0].csn = 0;
    EXPECT_EQ(dumpdev_PNP(0, 0), 1);  // a record that holds no card
    EXPECT_EQ(output(), "");
    EXPECT_EQ(errhdl_count(), 6);
    for (short i = 0; i < 6; i++) EXPECT_EQ(errhdl_code(i), 1002);
}

// Real card dumps: bytes after the 9-byte serial identifier, from the hex card files.
std::vector<unsigned char> read_hex_card(const std::string& path) {
    std::ifstream in(path);
    std::vector<unsigned char> bytes;
    std::string line;
    while (std::getline(in, line)) {
        line = line.substr(0, line.find('#'));
        std::istringstream words(line);
        std::string w;
        while (words >> w) bytes.push_back((unsigned char)strtoul(w.c_str(), nullptr, 16));
    }
    return bytes;
}

// Every item of each real card is printed (one line per item, two for End dependent functions),
// the End tag is reached and nothing is cut; a few lines are checked against the bytes.
TEST_F(DumpTest, RealCardsPrintEveryItem) {
    struct CASE {
        const char* file;
        std::vector<std::string> lines;  // worked out by hand from the bytes
    } cases[] = {
        {"dlk2201-dlink-de220p.hex",
         {"  ansistr_TAG    * \"D-Link DE-220P PnP ISA Card\"",
          "  logdevid_TAG     DLK2201  0000000000000010b (0x3F-31 0=bootable)", "  cmptdevid_TAG    PNP80d6 ",
          "  ioport_TAG       10 bits x0240-x0380 Align: x20 Len: 32",
          "  irq_TAG          ( 3 5 9 10 11 12 15 ) Sense: 00000001b", "  end_TAG          checksum: xC3"}},
        {"rtl8019-realtek-rtl8019as.hex",
         {"  logdevid_TAG     RTL8019  0000000000000010b (0x3F-31 0=bootable)",
          "  irq_TAG          ( 3 4 5 9 10 11 12 15 ) Sense: 00000001b", "  end_TAG          checksum: x14"}},
        {"csc4232-crystal-cs4232.hex",
         {"  fixedio_TAG      10 bits x0388 Len: 4", "  irq_TAG          ( 5 7 9 11 12 15 )",
          "  dma_TAG          ( 0 1 3 ) flg: 00101000b", "  startdep_TAG     Acceptable Cfg",
          "  cmptdevid_TAG    PNPb007 "}},
        {"azt1008-aztech-azt2320.hex",
         {"  ioport_TAG       16 bits x0000-x0000 Align: x08 Len: 0",
          "  irq_TAG          ( 3 4 5 9 10 11 15 ) Sense: 00000001b", "  ansistr_TAG    * \"GAME PORT\"",
          "  end_TAG          checksum: xC4"}},
        {"ess0968-ess-es968.hex",
         {"  startdep_TAG     ", "  logdevid_TAG     PNP0600  0000000000000000b (0x3F-31 0=bootable)",
          "  irq_TAG          ( 15 )", "  dma_TAG          ( 0 1 3 ) flg: 00000000b"}},
        {"ctl00e4-creative-sb-awe64-ct4520.hex",
         {"  svendor_TAG      [x02] [x45] [x20] ",
          "  logdevid_TAG     CTL7002  0000000000000000b (0x3F-31 0=bootable)",
          "  dma_TAG          ( 5 6 7 ) flg: 00010010b", "  startdep_TAG     Sub-optimal Cfg",
          "  svendor_TAG      [x01] [x69] [x46] [x35] [x55] "}},
    };
    const std::string dir = std::string(VELKOR_SOURCE_DIR) + "/tests/cards/real/";
    for (const CASE& k : cases) {
        SCOPED_TRACE(k.file);
        std::vector<unsigned char> bytes = read_hex_card(dir + k.file);
        ASSERT_GT(bytes.size(), 9u);
        std::vector<unsigned char> res(bytes.begin() + 9, bytes.end());
        // Count the items by their own length fields.
        size_t items = 0, enddeps = 0, ldids = 0;
        for (size_t i = 0; i < res.size();) {
            unsigned char t = res[i];
            items++;
            if ((t & 0x78) == 0x38 && !(t & 0x80)) enddeps++;
            if ((t & 0x78) == 0x10 && !(t & 0x80)) ldids++;
            i += (t & 0x80) ? 3 + res[i + 1] + 256u * res[i + 2] : 1 + (t & 7u);
        }
        PNP_cards_len = 0;
        CARD_TYP& c = add_card(1, res);
        dumprcs_PNP(-1);
        std::string out = output();
        free(c.resdata);
        c.resdata = nullptr;
        std::vector<std::string> lines;
        std::istringstream all(out);
        std::string l;
        while (std::getline(all, l)) lines.push_back(l);
        // Header, its separator, the items, the separator lines of End dependent functions and
        // of the logical devices, and the closing separator.
        size_t seps = 0;
        for (const std::string& s : lines)
            if (s == "  ---------------" || s == "  --------------- ") seps++;
        EXPECT_EQ(lines.size(), 1 + items + seps);
        EXPECT_LE(seps, 2 + enddeps + ldids);
        EXPECT_EQ(out.find("cut:"), std::string::npos);
        EXPECT_EQ(lines.back(), "  ---------------");
        EXPECT_EQ(lines[lines.size() - 2].compare(0, 9, "  end_TAG"), 0);
        for (const std::string& want : k.lines) {
            std::string w = want;
            bool found = false;
            for (const std::string& s : lines) {
                // ANSI strings may end in a NUL written as a character.
                std::string t = s;
                t.erase(std::remove(t.begin(), t.end(), '\0'), t.end());
                if (t == w) found = true;
            }
            EXPECT_TRUE(found) << "missing line: [" << want << "]\n" << out;
        }
    }
}

}  // namespace
