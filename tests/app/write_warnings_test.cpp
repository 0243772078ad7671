// The warnings before a write (the device's resource data, the host, the register's width) and
// the one about the kernel's ISA PnP driver: all on standard error, standard output untouched.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "support/run_program.h"
#include "support/scratch_dir.h"
#include "support/sim_cards.h"

namespace {

const std::string host_dir = std::string(VELKOR_SOURCE_DIR) + "/tests/host/";

// A run on the built-in cards with VELKOR_SYSROOT set to machine under tests/host ("" leaves it
// unset), the script after the card is read and device ldn begun.
RUN_RESULT run_on(const char* machine, short csn, short ldn, const std::string& script,
                  const std::vector<std::string>& args = {"--sim"}) {
    std::string lines = "ISOLATE\nDETECT " + std::to_string(csn) + "\nPNP_DEVICE = " + std::to_string(ldn) +
                        "\nDEVICE BEGIN\n" + script + "DEVICE END\n";
    if (*machine)
        setenv("VELKOR_SYSROOT", (host_dir + machine).c_str(), 1);
    else
        unsetenv("VELKOR_SYSROOT");
    RUN_RESULT r = run_velkor(args, lines);
    unsetenv("VELKOR_SYSROOT");
    return r;
}

// The "velkor: warning: " lines of a run's standard error, without that prefix.
std::vector<std::string> warnings(const RUN_RESULT& r) {
    std::vector<std::string> out;
    std::istringstream in(r.err);
    std::string line;
    const std::string prefix = "velkor: warning: ";
    while (std::getline(in, line))
        if (line.compare(0, prefix.size(), prefix) == 0) out.push_back(line.substr(prefix.size()));
    return out;
}

typedef std::vector<std::string> LINES;

// Card 1 is the sound card: device 0 audio (IRQ 5 7 9 10, DMA 0 1 3, I/O 0x220..), device 1 the
// game port (I/O only), device 2 the wavetable synthesizer. Card 2 is the modem.
TEST(WriteWarnings, WhatTheDeviceDoesNotOffer) {
    EXPECT_EQ(warnings(run_on("", 1, 1, "DEVICE SET IRQ 0 4\nDEVICE SET IOPORT 0x208\n")),
              LINES{"device 1 (QXS0002) offers no IRQ"});
    EXPECT_EQ(warnings(run_on("", 1, 0,
                              "DEVICE SET IRQ 0 4 HIGH\nDEVICE SET IRQ 0 10 HIGH\nDEVICE SET DMA 0 2\n"
                              "DEVICE SET DMA 1 4\nDEVICE SET DMA 0 3\nDEVICE SET IOPORT 0x230, 0x330\n"
                              "DEVICE SET IOPORT 0x240, 0x300, 0x388\n")),
              (LINES{"device 0 (QXS0001) IRQ 4 is not among 5 7 9 10",
                     "device 0 (QXS0001) DMA 2 is not among 0 1 3",
                     "device 0 (QXS0001) I/O 0x0230 is not among 0x0220, 0x0220-0x0280 step 0x20"}));
    // The type: a descriptor without its information byte offers high-true edge only.
    EXPECT_EQ(
        warnings(run_on("", 1, 0, "DEVICE SET IRQ 0 5\nDEVICE SET IRQ 0 5 HIGH LEVEL\n")),
        (LINES{"device 0 (QXS0001) IRQ 5 is set low-true edge, a type the device does not offer; HIGH EDGE "
               "gives one it does",
               "device 0 (QXS0001) IRQ 5 is set high-true level, a type the device does not offer; HIGH EDGE "
               "gives one it does"}));
    EXPECT_EQ(warnings(run_on("", 1, 2, "DEVICE SET MEM 0 0xC800 0xCC00\nDEVICE SET MEM 0 0xC0 0xC4\n")),
              LINES{"device 2 (QXS0003) memory 0x00C000 is not among 0xC80000-0xDC0000 step 0x4000"});
}

TEST(WriteWarnings, WhatTheHostUses) {
    // The modem's I/O descriptors are 8 ports long: the whole range is checked.
    LINES w = warnings(run_on("pc-serial", 2, 0,
                              "DEVICE SET IOPORT 0x3F8\nDEVICE SET IOPORT 0x3E8\nDEVICE SET IRQ 0 4 HIGH\n"
                              "DEVICE SET IRQ 0 3 HIGH\n"));
    EXPECT_EQ(w, (LINES{"I/O 0x03F8-0x03FF is in use by serial (/proc/ioports)",
                        "IRQ 4 is in use by ttyS0 (/proc/interrupts)"}));
    // Nested entries count; a value the device does not offer is checked against the host as the
    // single port.
    w = warnings(
        run_on("pc-sound", 1, 0, "DEVICE SET DMA 0 1\nDEVICE SET DMA 0 0\nDEVICE SET IOPORT 0x220\n"));
    ASSERT_GE(w.size(), 3u);
    EXPECT_EQ(w[0], "the kernel's ISA PnP driver manages 2 cards (CTL00e4, RTL8019); ISOLATE renumbers them");
    EXPECT_EQ(w[w.size() - 2], "DMA 1 is in use by SoundBlaster8 (/proc/dma)");
    EXPECT_EQ(w.back(), "I/O 0x0220-0x022F is in use by soundblaster (/proc/ioports)");
    // No host files, or the simulated bus without VELKOR_SYSROOT: no host check.
    EXPECT_TRUE(warnings(run_on("no-such-machine", 2, 0, "DEVICE SET IOPORT 0x3F8\n")).empty());
    EXPECT_TRUE(warnings(run_on("", 2, 0, "DEVICE SET IOPORT 0x3F8\nDEVICE SET IRQ 0 4 HIGH\n")).empty());
}

// The host's files are read once for each DEVICE BEGIN: a port the host takes between two
// configurations is seen by the second.
TEST(WriteWarnings, EachConfigurationSeesTheHostAsItIsThen) {
    SCRATCH_DIR root("sysroot");
    std::string ioports = root.path + "/proc/ioports";
    ASSERT_EQ(system(("mkdir -p '" + root.path + "/proc' && printf '0060-0060 : keyboard\\n' > '" + ioports + "'")
                         .c_str()),
              0);
    setenv("VELKOR_SYSROOT", root.path.c_str(), 1);
    RUN_RESULT r = run_velkor({"--sim"}, "ISOLATE\nDETECT 2\nPNP_DEVICE = 0\nDEVICE BEGIN\n"
                                         "DEVICE SET IOPORT 0x3F8\nDEVICE END\n"
                                         "SHELL printf '03f8-03ff : serial\\n' >> '" + ioports + "'\n"
                                         "DEVICE BEGIN\nDEVICE SET IOPORT 0x3F8\nDEVICE SET IOPORT 0x3E8\n"
                                         "DEVICE SET IOPORT 0x3F8\nDEVICE END\n");
    unsetenv("VELKOR_SYSROOT");
    EXPECT_EQ(warnings(r), (LINES{"I/O 0x03F8-0x03FF is in use by serial (/proc/ioports)",
                                  "I/O 0x03F8-0x03FF is in use by serial (/proc/ioports)"}));
}

// A card whose devices have I/O descriptors of bases 0x100-0xFF8 in steps of 8: device 0 one of
// 16 ports that decodes 16 address bits, device 1 the same with 10 bits, device 2 eight of 128
// ports with 10 bits. Written to dir as a card file, for --card.
std::string write_decoding_card(const SCRATCH_DIR& dir) {
    BYTES io16 = io_item(0x100, 0xFF8, 8, 16), io10 = io16, wide = io_item(0x100, 0xFF8, 8, 0x80);
    io10[1] = wide[1] = 0x00;  // information bit 0 clear: 10-bit decoding
    BYTES items = cat({ldid("QXD0001"), io16, ldid("QXD0002"), io10, ldid("QXD0003")});
    for (int k = 0; k < 8; k++) items = cat({items, wide});
    BYTES card = make_card(serial_of("QXD0001", 1), items);
    std::string path = dir / "decoding.hex", hex;
    char byte[4];
    for (unsigned char b : card) {
        snprintf(byte, sizeof byte, "%02X ", b);
        hex += byte;
    }
    FILE* f = fopen(path.c_str(), "w");
    if (f) {
        fprintf(f, "%s\n", hex.c_str());
        fclose(f);
    }
    return path;
}

// The I/O warnings of a run (the kernel's are left out).
LINES io_warnings(const RUN_RESULT& r) {
    LINES out;
    for (const std::string& w : warnings(r))
        if (w.compare(0, 4, "I/O ") == 0 || (w.compare(0, 7, "device ") == 0 && isdigit((unsigned char)w[7])))
            out.push_back(w);
    return out;
}

// No card may answer at the PnP ports; the read port is 0x203, where ISOLATE found the card.
TEST(WriteWarnings, RangesThatAnswerAtThePnpPorts) {
    SCRATCH_DIR dir("cards");
    const std::vector<std::string> card = {"--card", write_decoding_card(dir)};
    // 16 bits: the range alone; a base none allows is its one port.
    EXPECT_EQ(io_warnings(run_on("", 1, 0,
                                 "DEVICE SET IOPORT 0x278\nDEVICE SET IOPORT 0x678\nDEVICE SET IOPORT 0xA70\n"
                                 "DEVICE SET IOPORT 0x1F8\nDEVICE SET IOPORT 0xA79\n",
                                 card)),
              (LINES{"I/O 0x0278-0x0287 answers at the PnP ADDRESS port 0x279",
                     "I/O 0x0A70-0x0A7F answers at the PnP WRITE_DATA port 0xA79",
                     "I/O 0x01F8-0x0207 answers at the PnP READ_DATA port 0x203",
                     "device 0 (QXD0001) I/O 0x0A79 is not among 0x0100-0x0FF8 step 0x8",
                     "I/O 0x0A79 answers at the PnP WRITE_DATA port 0xA79"}));
    // 10 bits: every alias counts, ADDRESS and WRITE_DATA always together.
    EXPECT_EQ(
        io_warnings(run_on("", 1, 1,
                           "DEVICE SET IOPORT 0x278\nDEVICE SET IOPORT 0x678\nDEVICE SET IOPORT 0x5F8\n"
                           "DEVICE SET IOPORT 0x688\n",
                           card)),
        (LINES{"I/O 0x0278-0x0287 answers at the PnP ADDRESS port 0x279",
               "I/O 0x0278-0x0287 decodes 10 address bits: its alias 0x0A78-0x0A87 answers at the PnP "
               "WRITE_DATA port 0xA79",
               "I/O 0x0678-0x0687 decodes 10 address bits: its alias 0x0278-0x0287 answers at the PnP "
               "ADDRESS port 0x279",
               "I/O 0x0678-0x0687 decodes 10 address bits: its alias 0x0A78-0x0A87 answers at the PnP "
               "WRITE_DATA port 0xA79",
               "I/O 0x05F8-0x0607 decodes 10 address bits: its alias 0x01F8-0x0207 answers at the PnP "
               "READ_DATA port 0x203"}));
}

// The host's holdings are checked at the alias of a 10-bit range below 0x400 too.
TEST(WriteWarnings, AliasesBelow0x400ThatTheHostHolds) {
    SCRATCH_DIR dir("cards");
    const std::vector<std::string> card = {"--card", write_decoding_card(dir)};
    // 0x620-0x623 is EMU8000's, 0x220-0x22F soundblaster's: the 16-bit device meets the first only.
    EXPECT_EQ(io_warnings(run_on("pc-sound", 1, 0, "DEVICE SET IOPORT 0x620\n", card)),
              LINES{"I/O 0x0620-0x062F is in use by EMU8000 (/proc/ioports)"});
    EXPECT_EQ(
        io_warnings(run_on("pc-sound", 1, 1, "DEVICE SET IOPORT 0x620\n", card)),
        (LINES{"I/O 0x0620-0x062F is in use by EMU8000 (/proc/ioports)",
               "I/O 0x0620-0x062F decodes 10 address bits: its alias 0x0220-0x022F is in use by soundblaster "
               "(/proc/ioports)"}));
    // Across a 0x400 boundary the alias wraps to 0x000: two pieces, base's first. Below 0x400 the
    // range itself is the first piece.
    EXPECT_EQ(
        io_warnings(run_on("pc-sound", 1, 1, "DEVICE SET IOPORT 0x7F8\nDEVICE SET IOPORT 0x3F8\n", card)),
        (LINES{"I/O 0x07F8-0x0807 decodes 10 address bits: its alias 0x03F8-0x03FF is in use by serial "
               "(/proc/ioports)",
               "I/O 0x07F8-0x0807 decodes 10 address bits: its alias 0x0000-0x0007 is in use by dma1 "
               "(/proc/ioports)",
               "I/O 0x03F8-0x0407 is in use by serial (/proc/ioports)",
               "I/O 0x03F8-0x0407 decodes 10 address bits: its alias 0x0000-0x0007 is in use by dma1 "
               "(/proc/ioports)"}));
    // Above 0x3FF only the range itself is the host's concern: 0xE20 is held, its alias 0x620 too.
    EXPECT_EQ(
        io_warnings(run_on("pc-sound", 1, 1, "DEVICE SET IOPORT 0xA20\n", card)),
        (LINES{"I/O 0x0A20-0x0A2F is in use by EMU8000 (/proc/ioports)",
               "I/O 0x0A20-0x0A2F decodes 10 address bits: its alias 0x0220-0x022F is in use by soundblaster "
               "(/proc/ioports)"}));
    // A base no descriptor allows is its one port with 16 bits: the built-in modem decodes 10, but
    // at 0x7F8, which it does not offer, it is not told of COM1 at 0x3F8.
    EXPECT_EQ(
        io_warnings(run_on("pc-serial", 2, 0, "DEVICE SET IOPORT 0x7F8\n")),
        (LINES{"device 0 (QXM0336) I/O 0x07F8 is not among 0x03E8, 0x02E8, 0x03F8, 0x02F8, 0x0100-0x03F8 "
               "step 0x8"}));
}

// Eight values of a line, each drawing four warnings: all 32 are said, in register order.
TEST(WriteWarnings, AFullIoLineSaysEveryWarning) {
    SCRATCH_DIR dir("cards");
    std::string eight = "DEVICE SET IOPORT 0x200";
    for (int k = 1; k < 8; k++) eight += ", 0x200";
    LINES w = warnings(run_on("pc-sound", 1, 2, eight + "\n", {"--card", write_decoding_card(dir)}));
    const LINES each = {
        "I/O 0x0200-0x027F is in use by Gameport (/proc/ioports)",
        "I/O 0x0200-0x027F answers at the PnP ADDRESS port 0x279",
        "I/O 0x0200-0x027F decodes 10 address bits: its alias 0x0A00-0x0A7F answers at the PnP "
        "WRITE_DATA port 0xA79",
        "I/O 0x0200-0x027F answers at the PnP READ_DATA port 0x203"};
    ASSERT_GE(w.size(), 32u);
    LINES last(w.end() - 32, w.end());
    for (size_t i = 0; i < last.size(); i++) EXPECT_EQ(last[i], each[i % 4]) << i;
}

// A refused line says nothing, and a cut one only its cut, though 0x0278 is what it writes.
TEST(WriteWarnings, NoAliasOrPnpPortWarningForARefusedOrCutLine) {
    SCRATCH_DIR dir("cards");
    const std::vector<std::string> card = {"--card", write_decoding_card(dir)};
    RUN_RESULT r = run_on("pc-sound", 1, 1, "DEVICE SET IOPORT 0x620 0x278\n", card);
    EXPECT_TRUE(io_warnings(r).empty()) << r.err;
    EXPECT_NE(r.out.find("Invalid settings"), std::string::npos);
    EXPECT_EQ(io_warnings(run_on("pc-sound", 1, 1, "DEVICE SET IOPORT 0x10278, 0x620\n", card)),
              LINES{"I/O port 0x10278 does not fit its 16-bit register: 0x0278 is written"});
}

TEST(WriteWarnings, ValuesTheRegisterCuts) {
    LINES w = warnings(run_on("", 1, 0,
                              "DEVICE SET IOPORT 0x12220\nDEVICE SET IRQ 0 21 HIGH\nDEVICE SET DMA 0 9\n"
                              "DEVICE SET DMA 0 12\n"));
    EXPECT_EQ(w, (LINES{"I/O port 0x12220 does not fit its 16-bit register: 0x2220 is written",
                        "IRQ 21 is not 0 to 15: 0x15 is written, which the card reads as IRQ 5",
                        "DMA 9 is not 0 to 7: 0x09 is written, which the card reads as channel 1",
                        "DMA 12 is not 0 to 7: 0x0C is written, which the card reads as no channel"}));
    w = warnings(run_on("", 1, 2, "DEVICE SET MEM 0 0xC80000 0xC8C000\n"));
    ASSERT_EQ(w.size(), 2u);
    EXPECT_EQ(w[0],
              "MEM base 0xC80000 does not fit its 16-bit register (address bits 23..8): 0x0000 is written");
    EXPECT_EQ(w[1],
              "MEM limit 0xC8C000 does not fit its 16-bit register (address bits 23..8): 0xC000 is written");
}

TEST(WriteWarnings, ARefusedLineSaysNothingAndOutputStaysTheSame) {
    // No comma: 5003, nothing written, no warning.
    RUN_RESULT r = run_on("pc-serial", 2, 0, "DEVICE SET IOPORT 0x3F8 0x12345\nDUMP DEVICE\n");
    EXPECT_TRUE(warnings(r).empty()) << r.err;
    EXPECT_NE(r.out.find("Invalid settings"), std::string::npos);
    // Every check and warning at once leaves standard output as it is without them.
    std::string script =
        "DEVICE SET IOPORT 0x3F8\nDEVICE SET IRQ 0 4\nDEVICE SET IRQ 1 21\nDEVICE SET DMA 0 1\nDUMP DEVICE\n";
    RUN_RESULT checked = run_on("pc-sound", 2, 0, script);
    RUN_RESULT plain = run_on("", 2, 0, script);
    EXPECT_FALSE(warnings(checked).empty());
    EXPECT_EQ(checked.out, plain.out);
}

TEST(KernelWarning, SaidOnceBeforeTheFirstCardCommand) {
    LINES sysfs = warnings(run_on("pc-sound", 1, 0, "ISOLATE\nDEVICE END\nDEVICE BEGIN\n"));
    EXPECT_EQ(sysfs,
              (LINES{"the kernel's ISA PnP driver manages 2 cards (CTL00e4, RTL8019); ISOLATE renumbers them",
                     "device CTL0031 of card CTL00e4 is bound to driver snd-sbawe: DEVICE SET moves its "
                     "resources under it",
                     "device RTL8019 of card RTL8019 is bound to driver ne: DEVICE SET moves its resources "
                     "under it"}));
    EXPECT_EQ(warnings(run_on("pc-isapnp-proc", 1, 0, "")),
              LINES{"the kernel's ISA PnP driver manages 2 cards (card 1, card 2); ISOLATE renumbers them"});
    EXPECT_TRUE(warnings(run_on("pc-serial", 1, 0, "")).empty());
    // The script language alone never reads the host.
    setenv("VELKOR_SYSROOT", (host_dir + "pc-sound").c_str(), 1);
    RUN_RESULT r = run_velkor({"--sim"}, "PRINT hello\nSTATUS\n");
    unsetenv("VELKOR_SYSROOT");
    EXPECT_EQ(r.err, "");
}

}  // namespace
