// Vendor names from a PnP ID list: which lines count, what a name becomes, which file is read
// and when, and the limits of a read.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <sys/stat.h>

#include "pnp/pnp_ids.h"
#include "shell/memory.h"
#include "support/pnp_ids_env.h"
#include "support/program_fixture.h"
#include "support/scratch_dir.h"

namespace {

// A list of the given text, named by VELKOR_PNP_IDS while it lives.
struct MADE_LIST {
    SCRATCH_DIR dir{"pnp-ids"};
    PNP_IDS_ENV env{nullptr};
    explicit MADE_LIST(const std::string& text) {
        write(text);
        env.use((dir / "pnp.ids").c_str());
    }
    void write(const std::string& text) const { std::ofstream(dir / "pnp.ids", std::ios::binary) << text; }
};

std::string name_of(const char* id) {
    const char* name = pnp_vendor_name(id);
    return name ? name : "(none)";
}

TEST(PnpIds, OnlyWellFormedLinesNameTheirVendor) {
    MADE_LIST list(
        "CTL\tCreative Technology Ltd\n"
        "@@@\tAt signs\n"
        "_[\\\tThe last letter values\n"
        "qxz\tlower case\n"
        "QXA Quixotic, a blank for the TAB\n"
        "QXB\t\n"
        "QXC\t  \t \n"
        "QX\tTwo letters\n"
        "Q1X\tA digit\n"
        "QX`\tPast '_'\n"
        "QXDE\tFour letters\n"
        "# a comment\n"
        "\n"
        "QXE\t  Blanks around  \n"
        "CTL\tA second CTL\n"
        "QXF\tCRLF\r\n"
        "QXG\tNo newline at the end");
    EXPECT_EQ(name_of("CTL"), "Creative Technology Ltd");
    EXPECT_EQ(name_of("@@@0000"), "At signs");
    EXPECT_EQ(name_of("_[\\"), "The last letter values");
    for (const char* skipped : {"QXZ", "QXA", "QXB", "QXC", "Q1X", "QX`", "QXD"})
        EXPECT_EQ(name_of(skipped), "(none)");
    EXPECT_EQ(name_of("QXE"), "Blanks around");
    EXPECT_EQ(name_of("QXF"), "CRLF");
    EXPECT_EQ(name_of("QXG"), "No newline at the end");

    // A device ID, any case; fewer than three letters, or other characters, are no ID.
    EXPECT_EQ(name_of("CTL00e4"), "Creative Technology Ltd");
    EXPECT_EQ(name_of("ctl0045"), "Creative Technology Ltd");
    EXPECT_EQ(name_of("cTl"), "Creative Technology Ltd");
    for (const char* no_id : {"CT", "C", "", "CT\tL", "\x7f__0001", " CTL"})
        EXPECT_EQ(name_of(no_id), "(none)") << no_id;
    EXPECT_EQ(pnp_vendor_name(nullptr), nullptr);
    EXPECT_EQ(name_of("RTL"), "(none)");  // not on the list
}

TEST(PnpIds, NamesAreMadeSafeAndCutWhole) {
    const std::string a126(126, 'a');
    const std::string lines[] = {
        "QXA\tZ\xc3\xbcrich \xe2\x82\xac \xf0\x9f\x98\x80",                          // 2, 3 and 4 bytes
        "QXB\tBell\x07 tab\tDEL\x7f C1\xc2\x85.",                                    // control characters
        "QXC\tStray\x80 FF\xff over\xc0\xaf surr\xed\xa0\x80 big\xf4\x90\x80\x80.",  // not UTF-8
        "QXD\tCut short \xe2\x82",                                                   // cut by the line end
        "QXE\t" + a126 + "bcdef",                                                    // cut at 127 bytes
        "QXF\t" + a126 + "\xc3\xbc",                                                 // does not fit
        "QXG\t" + std::string(600, 'g'),                                             // past a line kept
        std::string("QXH\tNUL\0after", 13),
        "QXI\tLast",
    };
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    MADE_LIST list(text);
    EXPECT_EQ(name_of("QXA"), "Z\xc3\xbcrich \xe2\x82\xac \xf0\x9f\x98\x80");
    EXPECT_EQ(name_of("QXB"), "Bell? tab?DEL? C1?.");
    EXPECT_EQ(name_of("QXC"), "Stray? FF? over?? surr??? big????.");
    EXPECT_EQ(name_of("QXD"), "Cut short ??");
    EXPECT_EQ(name_of("QXE"), a126 + "b");
    EXPECT_EQ(name_of("QXF"), a126);
    EXPECT_EQ(name_of("QXG"), std::string(PNP_IDS_NAME_SIZE - 1, 'g'));
    EXPECT_EQ(name_of("QXH"), "NUL");
    EXPECT_EQ(name_of("QXI"), "Last");  // the lines after those are read as ever
}

TEST(PnpIds, TheListIsReadOnceFromTheFileTheVariableNames) {
    MADE_LIST list("QXS\tFirst list\n");
    SCRATCH_DIR other("pnp-ids-other");
    std::ofstream(other / "pnp.ids") << "QXS\tSecond list\nQXM\tOnly in the second\n";

    EXPECT_EQ(name_of("QXS"), "First list");
    // Neither the variable nor the file is looked at again until the names are dropped.
    setenv("VELKOR_PNP_IDS", (other / "pnp.ids").c_str(), 1);
    list.write("QXS\tChanged\n");
    EXPECT_EQ(name_of("QXS"), "First list");
    EXPECT_EQ(name_of("QXM"), "(none)");
    pnp_ids_forget();
    EXPECT_EQ(name_of("QXS"), "Second list");
    EXPECT_EQ(name_of("QXM"), "Only in the second");
    list.env.use((list.dir / "pnp.ids").c_str());
    EXPECT_EQ(name_of("QXS"), "Changed");

    // A file that is missing, a directory, a FIFO: no names, and nothing waits.
    ASSERT_EQ(mkfifo((list.dir / "fifo").c_str(), 0600), 0);
    for (const std::string& path : {list.dir / "missing", list.dir.path, list.dir / "fifo"}) {
        list.env.use(path.c_str());
        EXPECT_EQ(name_of("QXS"), "(none)") << path;
    }

    // Empty or unset, the system's list: it never names the built-in cards' vendor.
    list.env.use("");
    EXPECT_EQ(name_of("QXS"), "(none)");
    list.env.use(nullptr);
    EXPECT_EQ(name_of("QXS"), "(none)");
}

TEST(PnpIds, LinesPastTheLimitsHaveNoName) {
    SCRATCH_DIR dir("pnp-ids-big");
    std::string path = dir / "pnp.ids";
    PNP_IDS_ENV env(path);

    // The last line read is the limit's: one more comment before it pushes it out.
    std::string lines;
    for (long i = 0; i < PNP_IDS_LINES_MAX - 1; i++) lines += "#\n";
    std::ofstream(path) << lines << "QXS\tLast line read\n";
    EXPECT_EQ(name_of("QXS"), "Last line read");
    std::ofstream(path) << lines << "#\nQXS\tLast line read\n";
    env.use(path.c_str());
    EXPECT_EQ(name_of("QXS"), "(none)");

    // A line whose text ends at the last byte read counts; one a byte longer does not, nor any
    // after it.
    const std::string last = "QXS\tEnds at the limit";
    std::string pad(PNP_IDS_READ_MAX - last.size() - 1, '#');
    std::ofstream(path) << pad << "\n" << last << "\nQXM\tPast the limit\n";
    env.use(path.c_str());
    EXPECT_EQ(name_of("QXS"), "Ends at the limit");
    EXPECT_EQ(name_of("QXM"), "(none)");
    std::ofstream(path) << pad << "\n" << last << "!\n";
    env.use(path.c_str());
    EXPECT_EQ(name_of("QXS"), "(none)");
    std::ofstream(path) << pad << "\n" << last;  // the file ends there
    env.use(path.c_str());
    EXPECT_EQ(name_of("QXS"), "Ends at the limit");
}

// The allocation switch is put back by the fixture, whatever fails.
class PnpIdsMemory : public ProgramTest {};

TEST_F(PnpIdsMemory, WithoutMemoryTheNamesReadSoFarStay) {
    SCRATCH_DIR dir("pnp-ids-memory");
    PNP_IDS_ENV env(dir / "pnp.ids");
    std::string text;
    for (char a = 'A'; a <= 'Z'; a++)
        for (char b = 'A'; b <= 'Z'; b++)
            text += std::string("Q") + a + b + "\t" + std::string(100, 'n') + "\n";
    std::ofstream(dir / "pnp.ids") << text;
    mem_fail_at(1);  // the first block of names
    EXPECT_EQ(name_of("QAA"), "(none)");
    EXPECT_EQ(name_of("QZZ"), "(none)");
    env.use((dir / "pnp.ids").c_str());
    mem_fail_at(2);  // the block grown
    EXPECT_EQ(name_of("QAA"), std::string(100, 'n'));
    EXPECT_EQ(name_of("QZZ"), "(none)");
    mem_fail_at(0);
    env.use((dir / "pnp.ids").c_str());
    EXPECT_EQ(name_of("QZZ"), std::string(100, 'n'));
}

}  // namespace
