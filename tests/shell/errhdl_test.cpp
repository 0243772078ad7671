// Error codes: every named code has its message, and the manual page lists exactly the table.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "shell/errhdl.h"

namespace {

struct CODE_ROW {
    short code;
    std::string message;
};

std::vector<CODE_ROW> named_codes() {
    std::vector<CODE_ROW> rows;
#define ERRCODE_TEST_ROW(name, code, message) rows.push_back({name, message});
    ERRCODE_LIST(ERRCODE_TEST_ROW)
#undef ERRCODE_TEST_ROW
    return rows;
}

TEST(ErrorCodes, EveryNamedCodeHasItsOwnMessage) {
    std::vector<CODE_ROW> rows = named_codes();
    EXPECT_EQ(rows.size(), 38u);
    std::set<short> seen;
    for (const CODE_ROW& r : rows) {
        EXPECT_TRUE(seen.insert(r.code).second) << r.code << " twice";
        EXPECT_EQ(errhdl_message(r.code), r.message) << r.code;
    }
    EXPECT_STREQ(errhdl_message(1234), "Unknown error");
    EXPECT_EQ(ERR_TOO_LONG, 6004);
    EXPECT_EQ(ERR_SETTINGS, 5003);
}

// The manual page's table of codes, as "CODE HEX MESSAGE" lines between .nf and .fi after the
// sentence that introduces them, with the roff escapes undone.
std::vector<std::string> manual_table() {
    std::ifstream f(VELKOR_SOURCE_DIR "/docs/velkor.1");
    std::vector<std::string> rows;
    std::string line;
    bool in_section = false, in_table = false;
    while (std::getline(f, line)) {
        if (line.find("The codes (decimal, then as printed)") != std::string::npos) in_section = true;
        if (!in_section) continue;
        if (line == ".nf") {
            in_table = true;
            continue;
        }
        if (line == ".fi" && in_table) break;
        if (!in_table) continue;
        for (size_t at; (at = line.find("\\-")) != std::string::npos;) line.replace(at, 2, "-");
        for (size_t at; (at = line.find("\\(aq")) != std::string::npos;) line.replace(at, 4, "'");
        rows.push_back(line);
    }
    return rows;
}

TEST(ErrorCodes, ManualPageListsTheTable) {
    std::vector<std::string> want;
    for (const CODE_ROW& r : named_codes()) {
        char head[16];
        snprintf(head, sizeof head, "%d %04X ", r.code, (unsigned)(unsigned short)r.code);
        want.push_back(head + r.message);
    }
    EXPECT_EQ(manual_table(), want);
}

// The place and detail of a code go with it: a dropped code takes none, and the report on
// standard error leaves out what was said already and, when asked, what has no place.
TEST(ErrorQueue, PlacesAndDetailsStayWithTheirCodes) {
    static long line_now = 7;
    static const char* name_now = "boot.pnp";
    clr_errhdl();
    auto saved_hook = errhdl_where_hook;
    errhdl_where_hook = [](const char** name, long* line) -> short {
        if (!name_now) return 0;
        *name = name_now;
        *line = line_now;
        return 1;
    };
    set_errhdl(ERR_UNKNOWN_COMMAND);
    set_errdetail(" '%s'", "FOO");
    name_now = nullptr;  // a keyboard line
    set_errhdl(ERR_NO_FILE);
    set_errdetail(" 'x\ty': %s", "gone");  // the tab is no terminal's business
    name_now = "boot.pnp";
    set_errhdl(ERR_SETTINGS);
    set_errsaid();
    for (int i = 3; i < ERRHDL_KEPT; i++) set_errhdl(ERR_DEVICE);
    set_errhdl(ERR_DEVICE);  // dropped: its detail goes nowhere
    set_errdetail(" lost");
    EXPECT_EQ(errhdl_where(0), std::string("boot.pnp:7"));
    EXPECT_EQ(errhdl_where(1), std::string(""));
    EXPECT_EQ(errhdl_detail(ERRHDL_KEPT - 1), std::string(""));
    char* text = nullptr;
    size_t len = 0;
    FILE* f = open_memstream(&text, &len);
    EXPECT_EQ(errhdl_located(f, 1), ERRHDL_KEPT - 3 + 1);  // placed, not said already
    errhdl_located(f, 0);
    fclose(f);
    std::string out(text, len);
    free(text);
    EXPECT_EQ(out.rfind("velkor: boot.pnp:7: Bad or Unknown command 'FOO'\n"
                        "velkor: boot.pnp:7: System Device/Port error\n", 0), 0u);
    EXPECT_NE(out.find("velkor: Cannot locate file 'x?y': gone\n"), std::string::npos);
    EXPECT_EQ(out.find("Invalid settings"), std::string::npos);
    EXPECT_EQ(out.find("lost"), std::string::npos);
    // The queue is untouched by the located report; emptying it forgets places and details.
    EXPECT_EQ(errhdl_count(), ERRHDL_KEPT);
    clr_errhdl();
    EXPECT_EQ(errhdl_where(0), std::string(""));
    EXPECT_EQ(errhdl_detail(0), std::string(""));
    errhdl_where_hook = saved_hook;
}

}  // namespace
