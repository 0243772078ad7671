// --save-cards DIR: the cards DETECT loads, written as card files that give the same cards back.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <regex>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "app/save_cards.h"
#include "pnp/isolation.h"
#include "shell/lost_output.h"
#include "sim/card_file.h"
#include "support/pnp_ids_env.h"
#include "support/program_fixture.h"
#include "support/run_program.h"
#include "support/scratch_dir.h"

namespace {

typedef std::vector<unsigned char> BYTES;

const std::string real = std::string(VELKOR_SOURCE_DIR) + "/tests/cards/real/";
const char* const real_cards[] = {
    "azt1008-aztech-azt2320.hex", "csc4232-crystal-cs4232.hex", "ctl00e4-creative-sb-awe64-ct4520.hex",
    "dlk2201-dlink-de220p.hex",   "ess0968-ess-es968.hex",      "rtl8019-realtek-rtl8019as.hex",
};

typedef SCRATCH_DIR SCRATCH;

void write_file(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// Isolation, then each of the cards loaded with DETECT and dumped plainly and verbosely, then STATUS.
std::string detect_script(int ncards) {
    std::string s = "ISOLATE\n";
    for (int csn = 1; csn <= ncards; csn++)
        s += "PNP_CSN = 0\nDETECT " + std::to_string(csn) + "\nDUMP\nVERBOSE = 1\nDUMP\nVERBOSE = 0\n";
    return s + "STATUS\nEXIT\n";
}

// "--card DIR/NAME" for every file of the directory.
std::vector<std::string> card_args(const SCRATCH& dir) {
    std::vector<std::string> args;
    for (const std::string& n : dir.names()) args.insert(args.end(), {"--card", dir / n});
    return args;
}

// The file's text without its date line.
std::string undated(const std::string& text) {
    size_t at = text.find("# Date: ");
    if (at == std::string::npos) return text;
    return text.substr(0, at) + text.substr(text.find('\n', at) + 1);
}

BYTES read_back(const std::string& path) {
    BYTES bytes(CARD_BYTES_MAX);
    char err[512] = "";
    long n = read_card_file(path.c_str(), bytes.data(), bytes.size(), err, sizeof err);
    EXPECT_GE(n, 0) << err;
    bytes.resize(n > 0 ? (size_t)n : 0);
    return bytes;
}

// Saves the cards the bus options give, then runs the saved files alone: all of standard output
// must be the same.
void expect_round_trip(const std::vector<std::string>& bus, int ncards) {
    SCRATCH dir;
    std::vector<std::string> args = bus;
    args.insert(args.end(), {"--save-cards", dir.path});
    std::string script = detect_script(ncards);
    RUN_RESULT saved = run_velkor(args, script);
    ASSERT_EQ(saved.status, 0) << saved.err;
    EXPECT_EQ(saved.err, "");
    ASSERT_EQ(dir.names().size(), (size_t)ncards);
    RUN_RESULT copy = run_velkor(card_args(dir), script);
    EXPECT_EQ(copy.status, 0) << copy.err;
    EXPECT_EQ(copy.err, "");
    EXPECT_EQ(copy.out, saved.out);
    EXPECT_EQ(saved.out.find("cannot be loaded"), std::string::npos) << saved.out;
}

TEST(SaveCards, SavedCardsGiveTheSameOutputAsTheCardsRead) {
    for (const char* card : real_cards) {
        SCOPED_TRACE(card);
        expect_round_trip({"--card", real + card}, 1);
    }
    {
        SCOPED_TRACE("the six on one bus");
        std::vector<std::string> all;
        for (const char* card : real_cards) all.insert(all.end(), {"--card", real + card});
        expect_round_trip(all, 6);
    }
    SCOPED_TRACE("the built-in cards");
    expect_round_trip({"--sim"}, 2);
}

TEST(SaveCards, FileHoldsExactlyTheBytesTheCardReturned) {
    SCRATCH dir;
    PNP_IDS_ENV names(test_pnp_ids());
    std::string card = real + "ctl00e4-creative-sb-awe64-ct4520.hex";
    RUN_RESULT r = run_velkor({"--card", card, "--save-cards=" + dir.path}, "ISOLATE\nDETECT 1\nEXIT\n");
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_EQ(dir.names(), std::vector<std::string>{"CTL00e4-1DCF64A1.hex"});
    EXPECT_EQ(read_back(dir / "CTL00e4-1DCF64A1.hex"), read_back(card));
    std::string text = slurp(dir / "CTL00e4-1DCF64A1.hex");
    EXPECT_EQ(
        text.rfind("# Plug and Play ISA card CTL00e4 (Creative Technology Ltd), serial number 1DCF64A1: the "
                   "bytes it returned after a Wake\n",
                   0),
        0u)
        << text;
    EXPECT_NE(
        text.find("\n0E 8C 00 E4 A1 64 CF 1D 42   # serial identifier: vendor ID CTL00e4, serial number "
                  "1DCF64A1, checksum 42\n"),
        std::string::npos)
        << text;
    EXPECT_NE(text.find("# Saved by velkor 2.10"), std::string::npos);
    EXPECT_NE(text.find("\n# Date: 2"), std::string::npos);
}

TEST(SaveCards, NamesTheFileForVendorIdAndSerialNumber) {
    struct {
        BYTES serial;
        const char* name;
    } cases[] = {
        {{0x0E, 0x8C, 0x00, 0xE4, 0xA1, 0x64, 0xCF, 0x1D, 0x42}, "CTL00e4-1DCF64A1.hex"},
        {{0x07, 0x54, 0x10, 0x08, 0xFF, 0xFF, 0xFF, 0xFF, 0x74}, "AZT1008-FFFFFFFF.hex"},
        {{0x47, 0x13, 0x32, 0x01, 0x01, 0x00, 0x00, 0x80, 0x00}, "QXS3201-80000001.hex"},  // byte 7 leads
        {{0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, "@@@0000-00000000.hex"},
    };
    for (auto& c : cases) {
        char name[32];
        card_file_name(c.serial.data(), name, sizeof name);
        EXPECT_STREQ(name, c.name);
    }
    char small[8];
    card_file_name(cases[0].serial.data(), small, sizeof small);
    EXPECT_STREQ(small, "CTL00e4");
}

// write_card_text of resource data, read back by --card's reader: every byte is there, whole items
// and what is left alike.
struct WRITTEN {
    std::string text;
    BYTES bytes;
};
WRITTEN write_and_read(const BYTES& res) {
    const BYTES serial = {0x47, 0x13, 0x32, 0x01, 0x07, 0x1C, 0xA5, 0x00, 0x7D};
    SCRATCH dir("text");
    std::string path = dir / "card.hex";
    FILE* fp = fopen(path.c_str(), "w");
    EXPECT_NE(fp, nullptr);
    if (!fp) return {};
    // A copy, so that nothing past the end of the data given can be read unnoticed.
    unsigned char* data = (unsigned char*)malloc(res.size() + 1);
    std::copy(res.begin(), res.end(), data);
    write_card_text(fp, serial.data(), data, (long)res.size(), "2026-01-02 03:04:05 UTC");
    free(data);
    fclose(fp);
    WRITTEN w{slurp(path), read_back(path)};
    BYTES want = serial;
    want.insert(want.end(), res.begin(), res.end());
    EXPECT_EQ(w.bytes, want) << w.text;
    return w;
}

bool has_line(const WRITTEN& w, const std::string& line) {
    return w.text.find("\n" + line + "\n") != std::string::npos;
}

TEST(SaveCards, LabelsEveryKindOfItem) {
    WRITTEN w = write_and_read({
        0x0A, 0x10, 0x10,                                               // PnP version
        0x15, 0x47, 0x13, 0x00, 0x01, 0x00,                             // logical device ID
        0x1C, 0x41, 0xD0, 0xB0, 0x2F,                                   // compatible ID
        0x82, 0x06, 0x00, 'A',  0x00, 'b',  0xFF, '"',  '\n',           // string with unprintable bytes
        0x31, 0x00, 0x22, 0x20, 0x00, 0x2A, 0x02, 0x08,                 // start, IRQ, DMA
        0x47, 0x01, 0x20, 0x02, 0x20, 0x02, 0x01, 0x10,                 // I/O port
        0x4B, 0x20, 0x02, 0x10, 0x38,                                   // fixed I/O, end dependent
        0x81, 0x09, 0x00, 0,    0,    0,    0,    0,    0,    0, 0, 0,  // 24-bit memory
        0x85, 0x11, 0x00, 0,    0,    0,    0,    0,    0,    0, 0, 0, 0, 0, 0, 0,  // 32-bit memory
        0,    0,    0,    0,    0x86, 0x09, 0x00, 0,    0,    0, 0, 0, 0, 0, 0, 0,  // 32-bit fixed memory
        0x83, 0x00, 0x00, 0x84, 0x01, 0x00, 0x99, 0x71, 0x55,  // unicode, vendor large, small
        0x50, 0xFF, 0x00, 0x00,                                // reserved small and large items
        0x79, 0x00,                                            // End tag
    });
    const char* const want[] = {
        "0A 10 10   # PnP version",
        "15 47 13 00 01 00   # Logical device ID QXS0001",
        "1C 41 D0 B0 2F   # Compatible device ID PNPb02f",
        "82 06 00 41 00 62 FF 22 0A   # ANSI identifier string \"Ab\"\"",
        "31 00   # Start dependent functions",
        "22 20 00   # IRQ",
        "2A 02 08   # DMA",
        "47 01 20 02 20 02 01 10   # I/O port",
        "4B 20 02 10   # Fixed I/O port",
        "38   # End dependent functions",
        "81 09 00 00 00 00 00 00 00 00 00 00   # 24-bit memory range",
        "83 00 00   # Unicode identifier string",
        "84 01 00 99   # Vendor defined",
        "71 55   # Vendor defined",
        "50   # Reserved small item",
        "FF 00 00   # Reserved large item",
        "79 00   # End tag",
    };
    for (const char* line : want) EXPECT_TRUE(has_line(w, line)) << line << "\n" << w.text;
    EXPECT_NE(w.text.find("00 00 00 00   # 32-bit memory range\n"), std::string::npos);
    EXPECT_NE(w.text.find("00 00 00   # 32-bit fixed memory range\n"), std::string::npos);
    EXPECT_TRUE(has_line(w,
                         "47 13 32 01 07 1C A5 00 7D   # serial identifier: vendor ID QXS3201, serial number "
                         "00A51C07, checksum 7D"));
    EXPECT_TRUE(has_line(w, "# Date: 2026-01-02 03:04:05 UTC"));
    EXPECT_NE(w.text.find("\n# 112 bytes in all (9 serial identifier + 103 resource data)\n"),
              std::string::npos)
        << w.text;
    EXPECT_EQ(w.text.find("bytes after the last whole item"), std::string::npos);
}

TEST(SaveCards, KeepsTheBytesOfCutAndMalformedData) {
    const std::string rest = "   # bytes after the last whole item";
    struct {
        BYTES res;
        const char* last;  // the bytes of the last line
    } cases[] = {
        {{0x0A, 0x10, 0x10, 0x47, 0x01, 0x20}, "47 01 20"},  // a small item cut
        {{0x82, 0x10, 0x00, 'A', 'B'}, "82 10 00 41 42"},    // a string longer than what is there
        {{0x82, 0x10}, "82 10"},                             // half of its length
        {{0x82}, "82"},                                      // a large tag alone
        {{0x0A, 0x10, 0x10, 0x79}, "79"},                    // an End tag without its checksum
        {{0x15, 0x47, 0x13}, "15 47 13"},                    // a device ID cut
    };
    for (auto& c : cases) {
        WRITTEN w = write_and_read(c.res);
        EXPECT_TRUE(has_line(w, c.last + rest)) << w.text;
    }
    // An ID item of fewer than 4 bytes has no ID to name; an End tag keeps one checksum byte
    // whatever its length bits say, as a load does, and what follows it is kept too.
    WRITTEN w = write_and_read({0x13, 0x47, 0x13, 0x00, 0x7A, 0x11, 0x22});
    EXPECT_TRUE(has_line(w, "13 47 13 00   # Logical device ID")) << w.text;
    EXPECT_TRUE(has_line(w, "7A 11   # End tag"));
    EXPECT_TRUE(has_line(w, "22" + rest));
    w = write_and_read({});
    EXPECT_NE(w.text.find("# 9 bytes in all (9 serial identifier + 0 resource data)"), std::string::npos);
}

// A second card with the vendor ID and serial number of the built-in modem, other resources.
const char* const other_modem =
    "47 0D 33 60 A2 E9 03 00 9C\n"
    "0A 10 20\n15 47 0D 03 36 00\n47 00 F8 03 F8 03 01 08\n79 00\n";

TEST(SaveCards, LoadingACardAgainRewritesItsFile) {
    SCRATCH dir, cards("cards");
    write_file(cards / "modem.hex", other_modem);
    RUN_RESULT r = run_velkor({"--sim", "--save-cards", dir.path}, "ISOLATE\nDETECT 2\nDETECT 2\nEXIT\n");
    ASSERT_EQ(r.status, 0) << r.err;
    // One file, no temporary one left beside it.
    ASSERT_EQ(dir.names(), std::vector<std::string>{"QXM3360-0003E9A2.hex"});
    std::string first = slurp(dir / "QXM3360-0003E9A2.hex");
    EXPECT_NE(first.find("Modem"), std::string::npos);

    r = run_velkor({"--card", cards / "modem.hex", "--save-cards", dir.path}, "ISOLATE\nDETECT 1\nEXIT\n");
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_EQ(dir.names(), std::vector<std::string>{"QXM3360-0003E9A2.hex"});
    EXPECT_EQ(read_back(dir / "QXM3360-0003E9A2.hex"), read_back(cards / "modem.hex"));
}

// A vendor ID of FF FF reads with a DEL: the saved card's name and comments carry it escaped,
// and the file reloads as the text card it is (a DEL in a comment made it a raw image).
TEST(SaveCards, IdsOutsidePrintableTextAreEscapedAndTheCardReloads) {
    SCRATCH dir, cards("cards");
    unsigned char serial[9] = {0xFF, 0xFF, 0x00, 0x01, 0x44, 0x33, 0x22, 0x11, 0};
    serial[8] = testserial_PNP(serial);
    char head[64];
    snprintf(head, sizeof head, "FF FF 00 01 44 33 22 11 %02X\n", serial[8]);
    write_file(cards / "odd.hex", std::string(head) + "0A 10 10\n15 FF FF 00 02 00\n1C FF FF 00 03\n79 00\n");
    const std::string script = "ISOLATE\nPNP_CSN = 0\nDETECT 1\nSTATUS\nDUMP\nEXIT\n";
    RUN_RESULT first = run_velkor({"--card", cards / "odd.hex", "--save-cards", dir.path}, script);
    ASSERT_EQ(first.status, 0) << first.err;
    ASSERT_EQ(dir.names(), std::vector<std::string>{"\\x7f__0001-11223344.hex"});
    std::string text = slurp(dir / dir.names()[0]);
    for (char c : text) ASSERT_TRUE(c == '\n' || (c >= 0x20 && c < 0x7F)) << text;
    EXPECT_NE(text.find("# Plug and Play ISA card \\x7f__0001, serial number 11223344"), std::string::npos);
    EXPECT_NE(text.find("# Logical device ID \\x7f__0002\n"), std::string::npos) << text;

    RUN_RESULT again = run_velkor({"--card", dir / dir.names()[0]}, script);
    EXPECT_EQ(again.status, 0) << again.err;
    EXPECT_EQ(again.err, "");
    EXPECT_EQ(again.out, first.out);
    EXPECT_NE(first.out.find("\x7f__0001"), std::string::npos) << first.out;  // STATUS prints the ID as read
}

// The vendor's name from the PnP ID list follows the ID in the header, its UTF-8 escaped as the ID
// would be, and the card reloads; a vendor without a name has the ID alone.
TEST(SaveCards, HeaderNamesTheVendorInPrintableText) {
    SCRATCH dir;
    PNP_IDS_ENV names(test_pnp_ids());
    const std::string script = detect_script(2);
    RUN_RESULT saved = run_velkor({"--sim", "--save-cards", dir.path}, script);
    ASSERT_EQ(saved.status, 0) << saved.err;
    std::string modem = slurp(dir / "QXM3360-0003E9A2.hex");
    EXPECT_EQ(
        modem.rfind("# Plug and Play ISA card QXM3360 (Quixotic Modems Z\\xc3\\xbcrich AG), serial number "
                    "0003E9A2: the bytes it returned after a Wake\n",
                    0),
        0u)
        << modem;
    for (char c : modem) ASSERT_TRUE(c == '\n' || (c >= 0x20 && c < 0x7F)) << modem;
    EXPECT_EQ(
        slurp(dir / "QXS3201-00A51C07.hex").rfind("# Plug and Play ISA card QXS3201 (Quixotic Systems), ", 0),
        0u);
    RUN_RESULT copy = run_velkor(card_args(dir), script);
    EXPECT_EQ(copy.status, 0) << copy.err;
    EXPECT_EQ(copy.err, "");
    EXPECT_EQ(copy.out, saved.out);

    names.use((dir / "no-such-pnp.ids").c_str());
    ASSERT_EQ(run_velkor({"--sim", "--save-cards", dir.path}, script).status, 0);
    EXPECT_EQ(
        slurp(dir / "QXS3201-00A51C07.hex").rfind("# Plug and Play ISA card QXS3201, serial number ", 0), 0u);
}

TEST(SaveCards, FileThatCannotBeWrittenIsSaidAndFailsTheRun) {
    const std::string script = "ISOLATE\nDETECT 1\nDETECT 2\nSTATUS\nEXIT\n";
    RUN_RESULT plain = run_velkor({"--sim"}, script);

    // A directory nothing can be created in, even by root.
    RUN_RESULT r = run_velkor({"--sim", "--save-cards", "/proc"}, script);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, plain.out);
    EXPECT_EQ(r.err.rfind("velkor: /proc/QXS3201-00A51C07.hex: ", 0), 0u) << r.err;
    EXPECT_NE(r.err.find("\nvelkor: /proc/QXM3360-0003E9A2.hex: "), std::string::npos) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 2) << r.err;

    // The file's name taken by a directory: the rename fails, and the temporary file goes.
    SCRATCH dir;
    ASSERT_EQ(mkdir((dir / "QXS3201-00A51C07.hex").c_str(), 0755), 0);
    r = run_velkor({"--sim", "--save-cards", dir.path + "/"}, script);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, plain.out);
    EXPECT_EQ(r.err, "velkor: " + dir.path + "/QXS3201-00A51C07.hex: Is a directory\n");
    EXPECT_EQ(dir.names(), (std::vector<std::string>{"QXM3360-0003E9A2.hex", "QXS3201-00A51C07.hex"}));
}

TEST(SaveCards, DirectoryMustBeThere) {
    SCRATCH dir;
    write_file(dir / "plain", "");
    struct {
        std::vector<std::string> args;
        const char* says;
    } cases[] = {
        {{"--save-cards", dir / "missing"}, "': No such file or directory\n"},
        {{"--save-cards=" + dir / "plain"}, "': Not a directory\n"},
        {{"--save-cards"}, "option '--save-cards' requires an argument"},
    };
    for (auto& c : cases) {
        std::vector<std::string> args = {"--sim"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        RUN_RESULT r = run_velkor(args, "ISOLATE\nDETECT 1\nEXIT\n");
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    }
    EXPECT_EQ(dir.names(), std::vector<std::string>{"plain"});
}

// The plan's script without the date and time it was made.
std::string plan_undated(const std::string& script) {
    return std::regex_replace(script, std::regex("[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}"), "DATE");
}

// One command captures the cards and plans them: the files are the cards read, and planning the
// copies gives the same script.
TEST(SaveCards, PlanSavesTheCardsItReads) {
    const std::string awe = "ctl00e4-creative-sb-awe64-ct4520.hex";
    struct {
        std::vector<std::string> bus;
        std::vector<std::string> files;
    } cases[] = {
        {{"--sim"}, {"QXM3360-0003E9A2.hex", "QXS3201-00A51C07.hex"}},
        {{"--card", real + awe}, {"CTL00e4-1DCF64A1.hex"}},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.bus.back());
        SCRATCH dir;
        std::vector<std::string> args = c.bus;
        args.insert(args.end(), {"--plan", "--save-cards", dir.path});
        RUN_RESULT saved = run_velkor(args);
        ASSERT_EQ(saved.status, 0) << saved.err;
        EXPECT_EQ(saved.err, "");
        ASSERT_EQ(dir.names(), c.files);
        std::vector<std::string> copies = card_args(dir);
        copies.push_back("--plan");
        RUN_RESULT copy = run_velkor(copies);
        EXPECT_EQ(copy.status, 0) << copy.err;
        EXPECT_EQ(plan_undated(copy.out), plan_undated(saved.out));
        EXPECT_NE(saved.out.find("DEVICE SET ACTIVE"), std::string::npos) << saved.out;
        if (c.bus[0] == "--card") {
            EXPECT_EQ(read_back(dir / c.files[0]), read_back(c.bus[1]));
        }
    }

    // A card that cannot be saved is said, the plan is still printed whole, and the run fails.
    RUN_RESULT plan = run_velkor({"--sim", "--plan"});
    RUN_RESULT r = run_velkor({"--sim", "--plan", "--save-cards", "/proc"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(plan_undated(r.out), plan_undated(plan.out));
    EXPECT_NE(r.err.find("velkor: /proc/QXS3201-00A51C07.hex: "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("velkor: /proc/QXM3360-0003E9A2.hex: "), std::string::npos) << r.err;
}

class SaveCardsUnit : public ProgramTest {};

TEST_F(SaveCardsUnit, CardWhoseDataWasNotKeptIsNotSaved) {
    SCRATCH dir;
    lost_output_reset();
    CARD_TYP card = {};
    const unsigned char serial[9] = {0x47, 0x13, 0x32, 0x01, 0x07, 0x1C, 0xA5, 0x00, 0x7D};
    std::copy(serial, serial + 9, card.serial);
    card.csn = 1;
    save_cards_dir = nullptr;
    EXPECT_EQ(save_card(card), 1);  // not asked
    EXPECT_EQ(output_lost(), 0);
    save_cards_dir = dir.path.c_str();
    testing::internal::CaptureStderr();
    EXPECT_EQ(save_card(card), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "velkor: " + dir.path + "/QXS3201-00A51C07.hex: Cannot allocate memory\n");
    EXPECT_EQ(output_lost(), 1);
    EXPECT_TRUE(dir.names().empty());
    save_cards_dir = nullptr;
    lost_output_reset();
}

TEST(SaveCards, HardwareBusSavesTheBytesTheSimulatedBusDoes) {
    const std::string script = detect_script(3);
    for (const char* card : {"rtl8019-realtek-rtl8019as.hex", "azt1008-aztech-azt2320.hex"}) {
        SCOPED_TRACE(card);
        SCRATCH hw, sim;
        std::string path = real + card;
        RUN_RESULT h = run_trapped({"--sim", "--card", path}, {"--save-cards", hw.path}, script);
        if (h.status == 4) GTEST_SKIP() << "the port trap cannot trace: " << h.err;
        ASSERT_EQ(h.status, 0) << h.err;
        RUN_RESULT s = run_velkor({"--sim", "--card", path, "--save-cards", sim.path}, script);
        ASSERT_EQ(s.status, 0) << s.err;
        EXPECT_EQ(h.out, s.out);
        ASSERT_EQ(hw.names(), sim.names());
        ASSERT_EQ(hw.names().size(), 3u);
        for (const std::string& n : hw.names())
            EXPECT_EQ(undated(slurp(hw / n)), undated(slurp(sim / n))) << n;
        RUN_RESULT copy = run_velkor(card_args(hw), script);
        EXPECT_EQ(copy.status, 0) << copy.err;
        EXPECT_EQ(copy.out, s.out);
    }
}

}  // namespace
