// TAB completion's words (app/completion.h): what each place of a line offers, in which case,
// and that every word it offers is one its command takes.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/completion.h"
#include "app/help_texts.h"
#include "script/output.h"
#include "script/symtab.h"
#include "script/variables.h"
#include "shell/cgets.h"
#include "shell/parse.h"
#include "support/program_fixture.h"
#include "support/run_line.h"
#include "support/run_program.h"
#include "support/scratch_dir.h"
#include "support/state_text.h"
#include "support/symbols.h"

namespace {

// The completion of the line's end, as readline asks for it: the word starts after the last
// blank or break character. "W: a b" for words, "F:" for file names, "WF: a" for both, "" for
// nothing.
std::string offered(const char* line) {
    int start = (int)strlen(line);
    while (start > 0 && line[start - 1] != ' ' && !strchr(completion_breaks, line[start - 1])) start--;
    short offer = completion_begin(line, start);
    std::string text = offer & CGETS_OFFER_WORDS ? "W" : "";
    if (offer & CGETS_OFFER_FILES) text += "F";
    if (!offer) return "";
    text += ":";
    for (int k = 0; k < CGETS_COMPLETIONS_MAX; k++) {
        const char* w = completion_next();
        if (!w) break;
        text += std::string(" ") + w;
    }
    return text;
}

// The words alone, without the offer.
std::string words(const char* line) {
    std::string all = offered(line);
    size_t colon = all.find(": ");
    return colon == std::string::npos ? "" : all.substr(colon + 2);
}

const char* const ALL_COMMANDS =
    "BREAK CALL CHAR CONTINUE DEBUG DELETE DETECT DEVICE DUMP ECHO ELSE EXIT FILE FOR FUNCTION GET HELP IF "
    "INT INT32 ISOLATE PRINT QUIT QUOTE RETURN SHELL SHOW STATUS TEST WHILE";

using CompletionWords = ProgramTest;

TEST_F(CompletionWords, TheStartOfALineOffersEveryCommandWordAndTheVariables) {
    EXPECT_EQ(offered(""), std::string("W: ") + ALL_COMMANDS);
    add_symbol("COUNTER", T_INT, 2);
    add_symbol("FN", T_FUNCTION, 0, nullptr, 1);
    EXPECT_EQ(words(""), std::string(ALL_COMMANDS) + " COUNTER");  // no function: CALL calls them
    EXPECT_EQ(offered("DET"), "W: DETECT");
    EXPECT_EQ(offered("  CO"), "W: CONTINUE COUNTER");
    EXPECT_EQ(offered("XYZ"), "W:");
    // A command begins after a brace, and after ELSE.
    EXPECT_EQ(words("IF (1) { DET"), "DETECT");
    EXPECT_EQ(words("} ELSE { DU"), "DUMP");
    EXPECT_EQ(words("ELSE DU"), "DUMP");
    EXPECT_EQ(words("WHILE (1) {"), words(""));
}

TEST_F(CompletionWords, TheCaseFollowsTheTypedWordOrTheWordBeforeIt) {
    EXPECT_EQ(words("det"), "detect");
    EXPECT_EQ(words("Det"), "DETECT");
    EXPECT_EQ(words("device set i"), "ioport irq inactive");
    EXPECT_EQ(words("device set "), "mem mem32 ioport irq dma active inactive");
    EXPECT_EQ(words("DEVICE SET "), "MEM MEM32 IOPORT IRQ DMA ACTIVE INACTIVE");
    EXPECT_EQ(words("device SET "), "MEM MEM32 IOPORT IRQ DMA ACTIVE INACTIVE");
    add_symbol("PNP_CSN", T_INT, 2);
    EXPECT_EQ(words("print $pnp_"), "pnp_csn pnp_cards");
    EXPECT_EQ(words("PRINT $PNP_"), "PNP_CSN PNP_CARDS");
}

TEST_F(CompletionWords, DeviceOffersItsActionsResourcesAndValueWords) {
    EXPECT_EQ(offered("DEVICE "), "W: BEGIN END SET");
    EXPECT_EQ(offered("DEV E"), "W: END");
    EXPECT_EQ(offered("DEVICE SET I"), "W: IOPORT IRQ INACTIVE");
    EXPECT_EQ(offered("DEVICE S M"), "W: MEM MEM32");  // SET by abbreviation, as the handler takes it
    EXPECT_EQ(offered("DEVICE BEGIN "), "");
    EXPECT_EQ(offered("DEVICE SET IRQ "), "W: CLEAR");
    EXPECT_EQ(offered("DEVICE SET IOPORT C"), "W: CLEAR");
    EXPECT_EQ(offered("DEVICE SET ACTIVE "), "");
    EXPECT_EQ(offered("DEVICE SET BOGUS "), "");
    EXPECT_EQ(offered("DEVICE SET MEM 0 0xC8 0xCC "), "W: 8BIT 16BIT");
    EXPECT_EQ(offered("DEVICE SET MEM32 0 0xC8000 0xCC000 "), "W: 8BIT 16BIT 32BIT");
    EXPECT_EQ(offered("DEVICE SET MEM 0 0xC8 "), "");
    EXPECT_EQ(offered("DEVICE SET IRQ 0 5 "), "W: HIGH LOW EDGE LEVEL");
    EXPECT_EQ(offered("DEVICE SET IRQ 0 5 HIGH L"), "W: LOW LEVEL");
    EXPECT_EQ(offered("DEVICE SET DMA 0 "), "");
}

TEST_F(CompletionWords, DumpHelpIsolateAndTheModesOfferTheirKeywords) {
    EXPECT_EQ(offered("DUMP "), "W: CARD RESOURCES DEVICE");
    EXPECT_EQ(offered("DUMP R"), "W: RESOURCES");
    EXPECT_EQ(offered("DUMP DEVICE "), "W: ALL");
    EXPECT_EQ(offered("DUMP DEV A"), "W: ALL");
    EXPECT_EQ(offered("DUMP CARD "), "");
    EXPECT_EQ(offered("HELP D"), "W: DELETE");  // the registry holds the PnP topics only once registered
    setup_HLP();
    EXPECT_EQ(offered("HELP D"), "W: DELETE DETECT DUMP DEVICE");
    EXPECT_EQ(offered("help e"), "W: expressions");
    EXPECT_EQ(offered("ISOLATE "), "W: CSN RESET RESET_DRV");
    for (const char* mode : {"DEBUG ", "ECHO ", "QUOTE "}) EXPECT_EQ(offered(mode), "W: ON OFF") << mode;
    EXPECT_EQ(offered("ECHO ON "), "");
    EXPECT_EQ(offered("PRINT "), "");
    EXPECT_EQ(offered("INT "), "");
}

TEST_F(CompletionWords, NamesComeFromTheSymbolTable) {
    add_symbol("ALPHA", T_INT, 2);
    add_symbol("ABC", T_CHAR, 10);
    add_symbol("AFUNC", T_FUNCTION, 0, nullptr, 2);
    short port = 0;
    add_bound("PNP_PORT", T_INT, 2, &port);
    EXPECT_EQ(offered("SHOW "), "W: HEX ABC AFUNC ALPHA PNP_PORT");
    EXPECT_EQ(offered("SHOW HEX A"), "W: ABC AFUNC ALPHA");
    EXPECT_EQ(offered("DELETE ABC, A"), "W: ABC AFUNC ALPHA");
    EXPECT_EQ(offered("DEL P"), "W: PNP_PORT");
    EXPECT_EQ(offered("CALL "), "W: AFUNC");
    EXPECT_EQ(offered("GET "), "W: ABC ALPHA PNP_PORT");
    EXPECT_EQ(offered("GET ABC "), "");
    // After '$': the variables, NOW, PNP_CARDS and the built-in functions, wherever it stands.
    EXPECT_EQ(offered("PRINT $"),
              "W: ABC ALPHA PNP_PORT NOW PNP_CARDS DT_DATE DT_DATEY2 DT_DATEY4 DT_TIME DT_DATETIME "
              "SYS_ENV");
    EXPECT_EQ(offered("x = ($AL"), "W: ALPHA");
    EXPECT_EQ(offered("IF ($a"), "W: abc alpha");
    EXPECT_EQ(offered("CALL AFUNC($pnp"), "W: pnp_port pnp_cards");
}

TEST_F(CompletionWords, FileNamesAfterAtFileAndShell) {
    EXPECT_EQ(offered("@"), "F:");
    EXPECT_EQ(offered("@setu"), "F:");
    EXPECT_EQ(offered("@ setu"), "F:");
    EXPECT_EQ(offered("@setup x"), "");
    EXPECT_EQ(offered("FILE "), "WF: CLOSE");
    EXPECT_EQ(offered("file c"), "WF: close");
    EXPECT_EQ(offered("FILE -a "), "F:");
    EXPECT_EQ(offered("FILE out.txt "), "");
    EXPECT_EQ(offered("SHELL cat "), "F:");
    EXPECT_EQ(offered("!ls "), "F:");
}

TEST_F(CompletionWords, NothingInsideQuotesOrComments) {
    add_symbol("ALPHA", T_INT, 2);
    EXPECT_EQ(offered("PRINT \"$AL"), "");
    EXPECT_EQ(offered("PRINT \"x\" $AL"), "W: ALPHA");
    EXPECT_EQ(offered("# DE"), "");
    EXPECT_EQ(offered("DUMP ; "), "");
}

// A line of many tokens and a word longer than any candidate are read to their end and offer
// nothing more than they should.
TEST_F(CompletionWords, LongLinesAreBounded) {
    std::string line = "DEVICE SET IOPORT";
    for (int i = 0; i < 300; i++) line += " 0x200,";
    EXPECT_EQ(offered((line + " ").c_str()), "");
    EXPECT_EQ(offered(std::string(1000, 'D').c_str()), "W:");
    EXPECT_EQ(completion_begin("DET", 4), 0);  // a start past the end
}

// The words the completion lists itself (no table of the program holds them) are held to their
// handlers here, DEVICE's in tests/app/device_config_test.cpp: each one offered is taken.

// The words of a list, one by one.
std::vector<std::string> split(const std::string& list) {
    std::vector<std::string> all;
    size_t at = 0;
    while (at < list.size()) {
        size_t end = list.find(' ', at);
        if (end == std::string::npos) end = list.size();
        all.push_back(list.substr(at, end - at));
        at = end + 1;
    }
    return all;
}

// Every command word begins a command: no run says "Bad or Unknown command" (4003).
TEST_F(CompletionWords, EveryCommandWordIsACommand) {
    std::string all = words("");
    ASSERT_EQ(all, ALL_COMMANDS);
    for (const std::string& word : split(all)) {
        RUN_RESULT r = run_velkor({"--sim"}, word + "\n");
        EXPECT_EQ(r.out.find("(0FA3)"), std::string::npos) << word << "\n" << r.out;
        EXPECT_EQ(r.status, 0) << word;
    }
}

// DUMP's and ISOLATE's words on the simulated cards: the only errors are those of the words
// they do not take ("Invalid settings", 5003; "Bad token", 7009).
TEST_F(CompletionWords, DumpAndIsolateWordsAreTaken) {
    std::string script = "ISOLATE\nDETECT 1\nPNP_DEVICE = 0\n";
    for (const char* prefix : {"DUMP ", "DUMP DEVICE ", "ISOLATE "}) {
        if (prefix[0] == 'I') script += "DUMP BOGUS\n";
        std::vector<std::string> list = split(words(prefix));
        EXPECT_FALSE(list.empty()) << prefix;
        for (const std::string& word : list) script += prefix + word + "\n";
    }
    script += "ISOLATE BOGUS\n";
    RUN_RESULT r = run_velkor({"--sim"}, script);
    size_t dump_bogus = r.out.find("PnP> DUMP BOGUS"), isolate_bogus = r.out.find("PnP> ISOLATE BOGUS");
    ASSERT_NE(dump_bogus, std::string::npos) << r.out;
    ASSERT_NE(isolate_bogus, std::string::npos) << r.out;
    size_t first = r.out.find("ERROR"), second = r.out.find("ERROR", first + 1);
    EXPECT_EQ(first, r.out.find("ERROR (138B)", dump_bogus)) << r.out;
    EXPECT_EQ(second, r.out.find("ERROR (1B61)", isolate_bogus)) << r.out;
    EXPECT_EQ(r.out.find("ERROR", second + 1), std::string::npos) << r.out;
    for (const char* line : {"PnP> DUMP RESOURCES\n", "PnP> DUMP DEVICE ALL\n", "PnP> ISOLATE RESET_DRV\n"})
        EXPECT_NE(r.out.find(line), std::string::npos) << line << r.out;
}

TEST_F(CompletionWords, ModeShowAndFileWordsAreTaken) {
    for (const char* mode : {"DEBUG ", "QUOTE "}) {
        std::string list = words(mode);
        ASSERT_EQ(list, "ON OFF");
        short (*handler)() = mode[0] == 'D' ? exec_debug : exec_quote;
        short* flag = mode[0] == 'D' ? &udebug : &uquote;
        run_line(handler, (std::string(mode) + "ON").c_str());
        EXPECT_EQ(*flag, 1) << mode;
        run_line(handler, (std::string(mode) + "OFF").c_str());
        EXPECT_EQ(*flag, 0) << mode;
    }
    unsigned short echo = 0;
    P.command("ECHO ON");
    P.get(0);
    exec_echo(&echo);
    EXPECT_EQ(echo, 1);
    EXPECT_EQ(take_errors(), "");

    add_symbol("ALPHA", T_INT, 2);
    ASSERT_EQ(words("SHOW H"), "HEX");
    std::string out = run_line_output(exec_show, "SHOW HEX ALPHA");
    EXPECT_EQ(out.find("HEX"), std::string::npos) << out;
    EXPECT_NE(out.find("ALPHA"), std::string::npos) << out;

    SCRATCH_DIR dir("complete");
    file_confine_dir = dir.path.c_str();
    ASSERT_EQ(words("FILE C"), "CLOSE");
    run_line(exec_file, "FILE CLOSE");
    EXPECT_TRUE(dir.names().empty());
    EXPECT_EQ(outfp, stdout);
    run_line(exec_file, "FILE CLOSX");  // a word it does not take is a file name
    EXPECT_EQ(dir.names(), std::vector<std::string>{"CLOSX"});
    close_outfile();
    file_confine_dir = nullptr;
    EXPECT_EQ(take_errors(), "");
}

}  // namespace
