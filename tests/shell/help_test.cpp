// Help system: the registry, topic lookup by abbreviation and the summary.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "app/help_texts.h"
#include "shell/help.h"
#include "shell/parse.h"
#include "support/program_fixture.h"
#include "support/run_line.h"

namespace {

// A fresh program with the PnP topics registered, as at start-up.
class Help : public ProgramTest {
protected:
    void SetUp() override {
        ProgramTest::SetUp();
        setup_HLP();
    }
    // What the line prints; taken is set to the handler's result.
    static std::string help(const char* line, short* taken = nullptr) {
        return run_line_output(exec_help, line, taken);
    }
    static std::string summary_text(const char* bad) {
        return stdout_of([=] { summary(bad); });
    }
    // The line of text that names a topic's syntax (its first "FMT:" line, or its first line).
    static std::string title(const std::string& text) {
        size_t at = text.find("FMT:");
        if (at == std::string::npos) at = text.find_first_not_of('\n');
        return text.substr(at, text.find('\n', at) - at);
    }
};

TEST_F(Help, ShortAbbreviationsGoToTheFirstTopicTheyFit) {
    const char* const cases[][2] = {
        {"T", "FMT: <type> <uname> [ [#] ]"},
        {"E", "- expression can contain  '$<var-nam>' references."},
        {"S", "FMT: SHOW [hex] [var-name [, var-name, ...]];"},
        {"ST", "FMT: STATUS"},
        {"D", "FMT: DELETE var-name [, var-name, ...];"},
        {"DE", "FMT: DELETE var-name [, var-name, ...];"},
        {"DET", "FMT: DETECT [csn-#]"},
        {"DEV", "FMT: DEVICE <action> [values...]"},
        {"DU", "FMT: DUMP [args]"},
        {"F", "FMT: "},
        {"FO", "FMT: "},
        {"FI", "FMT: FILE [CLOSE | filename]"},
        {"W", "FMT: WHILE (expr)"},
        {"I", "FMT: "},
        {"IS", "FMT: ISOLATE [arg]"},
        {"G", "FMT: GET <var> [prompt]"},
        {"P", "FMT: PRINT [opts] user-text"},
    };
    for (const auto& c : cases) {
        std::string line = std::string("HELP ") + c[0];
        EXPECT_EQ(title(help(line.c_str())), c[1]) << line;
    }
    EXPECT_NE(help("help f").find("FUNCTION user-name( #-of-args )"), std::string::npos);
    EXPECT_NE(help("help fo").find("FOR ( stmt, stmt, ...; (expr); stmt, stmt, ... )"), std::string::npos);
    EXPECT_NE(help("help i").find("IF (expr)  \n"), std::string::npos);
}

TEST_F(Help, BuiltInTextsAreFormatsAndRegisteredOnesAreFramed) {
    std::string e = help("HELP EXPRESSIONS");
    EXPECT_NE(e.find("\n  % * / | & ^"), std::string::npos);
    EXPECT_EQ(e.find("%%"), std::string::npos);
    EXPECT_EQ(help("HELP DETECT extra words"),
              "\nFMT: DETECT [csn-#]\n     - get information from card with csn-#\n\n");
    EXPECT_EQ(help("h type extra").substr(0, 29), "\nFMT: <type> <uname> [ [#] ]\n");
}

TEST_F(Help, SummaryAndUnknownTopics) {
    std::string plain = summary_text(nullptr);
    EXPECT_EQ(plain.substr(0, 15), "Commands are: \n");
    // The registered PnP lines stand between the shell line and the quit line.
    size_t shell = plain.find("  shell | ! <sys-cmd>      : execute system command\n");
    size_t isolate = plain.find("  isolate <arg>            : perform card isolation\n");
    size_t device = plain.find("  device <action> [values] : set device attribute\n");
    size_t quit = plain.find("  quit | exit              : terminate programm\n");
    ASSERT_NE(shell, std::string::npos);
    EXPECT_LT(shell, isolate);
    EXPECT_LT(isolate, device);
    EXPECT_LT(device, quit);
    EXPECT_EQ(plain.substr(quit + 48), "  #                        : comment (can use ';' at-eol)\n");

    short taken = 0;
    EXPECT_EQ(help("HELP", &taken), plain);
    EXPECT_EQ(taken, 1);
    EXPECT_EQ(help("H ; comment"), plain);
    EXPECT_EQ(help("hel"), plain);
    EXPECT_EQ(help("HELP xyz"), "Invalid command 'XYZ'!\n" + plain);
    EXPECT_EQ(help("help help"), "Invalid command 'HELP'!\n" + plain);
    EXPECT_EQ(help("HELP %s"), "Invalid command '%'!\n" + plain);

    EXPECT_EQ(help("HELPS", &taken), "");
    EXPECT_EQ(taken, 0);
    EXPECT_EQ(help("HX", &taken), "");
    EXPECT_EQ(taken, 0);
}

TEST_F(Help, RegistryHoldsEighteenEntries) {
    std::string before = summary_text(nullptr);
    static const char* const names[] = {"A1", "A2", "A3", "A4", "A5", "A6", "A7",
                                        "A8", "A9", "B1", "B2", "B3", "B4", "ZZTOP"};
    for (short i = 0; i < 13; i++) {
        EXPECT_EQ(set_sum_help("more"), 1);
        EXPECT_EQ(set_desc_help(names[i], "text"), 1);
    }
    // 5 from start-up and 13 more make 18: the nineteenth changes nothing.
    EXPECT_EQ(set_sum_help("one too many"), 0);
    EXPECT_EQ(set_desc_help(names[13], "never"), 0);
    std::string after = summary_text(nullptr);
    EXPECT_EQ(after.find("one too many"), std::string::npos);
    size_t count = 0;
    for (size_t at = after.find("  more\n"); at != std::string::npos; at = after.find("  more\n", at + 1))
        count++;
    EXPECT_EQ(count, 13u);
    EXPECT_EQ(help("HELP ZZ"), "Invalid command 'ZZ'!\n" + after);
    EXPECT_EQ(help("HELP B4"), "\ntext\n");
}

}  // namespace
