// Error codes: every named code has its message, and the manual page lists exactly the table.
#include <gtest/gtest.h>

#include <cstdio>
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

}  // namespace
