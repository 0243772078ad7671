// String expressions, the built-in functions and the date/time texts.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "script/strings.h"
#include "shell/errhdl.h"
#include "shell/parse.h"
#include "support/program_fixture.h"

namespace {

class Strings : public ProgramTest {
protected:
    void SetUp() override {
        ProgramTest::SetUp();
        setenv("TZ", "UTC", 1);
        tzset();
    }

    // Evaluates line into a buffer of len bytes pre-filled with 'Z'; returns the result.
    short eval(const char* line, short len, const char* stops = nullptr) {
        memset(buf, 'Z', sizeof buf);
        P.command(line);
        return eval_strexpr(buf, len, stops);
    }
    char buf[128];
};

TEST_F(Strings, NamesAbbreviateInTableOrder) {
    struct {
        const char* word;
        const char* name;
    } cases[] = {
        {"DT_DATE", "DT_DATE"},      {"$dt_date", "DT_DATE"},    {"D", "DT_DATE"},
        {"DT_DATEY", "DT_DATEY2"},   {"DT_DATEY4", "DT_DATEY4"}, {"DT_T", "DT_TIME"},
        {"DT_DATET", "DT_DATETIME"}, {"S", "SYS_ENV"},           {"$sys_env", "SYS_ENV"},
    };
    for (auto& c : cases) {
        const BUILTIN_TYP* b = get_builtin(c.word);
        ASSERT_NE(b, nullptr) << c.word;
        EXPECT_STREQ(b->name, c.name) << c.word;
    }
    for (const char* w : {"DT_DATEY3", "SYS_ENVX", "DT_DATETIMES", "X", "", "$"}) {
        EXPECT_EQ(get_builtin(w), nullptr) << w;
        EXPECT_EQ(is_builtin(w), 0) << w;
    }
    EXPECT_EQ(is_builtin(nullptr), 0);
    EXPECT_EQ(is_builtin("$DT"), 1);
}

TEST_F(Strings, TimeForms) {
    char t[32];
    str_timdat(915541665, t, 2);  // 5 Jan 1999 13:07:45 UTC
    EXPECT_STREQ(t, "JAN-05-99 13:07:45");
    str_timdat(915541665, t, 4);
    EXPECT_STREQ(t, "JAN 05, 1999 13:07:45");
    str_timdat(0, t, 0);  // any type but 4 is the short form
    EXPECT_STREQ(t, "JAN-01-70 00:00:00");
    str_timdat(0xFFFFFFFFul, t, 4);  // the last second a 32-bit count holds
    EXPECT_STREQ(t, "FEB 07, 2106 06:28:15");
    long now = time_sec();
    EXPECT_GT(now, 1500000000L);
    EXPECT_LE(now, 0xFFFFFFFFL);
}

TEST_F(Strings, DateTimeCalls) {
    struct {
        const char* line;
        const char* text;
    } cases[] = {
        {"$DT_DATETIME(0)", "JAN-01-70 00:00:00"},         {"$DT_TIME(3600)", "01:00:00"},
        {"$DT_DATEY4(946684800)", "JAN 01, 2000"},         {"DT_DATE(946684800)", "JAN-01-00"},
        {"$DT_DATEY2(0x3A4FC880)", "JAN-01-01"},           {"$D(0) $DT_T(59)", "JAN-01-7000:00:59"},
        {"\"at \" + $DT_DATE(915541665)", "at JAN-05-99"},
    };
    for (auto& c : cases) {
        EXPECT_EQ(eval(c.line, 40), 1) << c.line;
        EXPECT_STREQ(buf, c.text) << c.line;
        EXPECT_EQ(errhdl_count(), 0) << c.line;
    }
    // Without an argument: the current time.
    char now[32];
    str_timdat((unsigned long)time_sec(), now, 2);
    ASSERT_EQ(eval("$DT_DATE() $DT_DATEY2()", 40), 1);
    EXPECT_EQ(std::string(buf), std::string(now, 9) + std::string(now, 9));
}

TEST_F(Strings, QuotedTextsJoin) {
    EXPECT_EQ(eval("\"abc\" + \"def\"", 40), 1);
    EXPECT_STREQ(buf, "abcdef");
    EXPECT_EQ(eval("'abc'\"def\"", 40), 1);
    EXPECT_STREQ(buf, "abcdef");
    EXPECT_EQ(eval("\"a  B\" + 'it''s'", 40), 1);  // inner blanks and case kept, no escapes
    EXPECT_STREQ(buf, "a  Bits");
    EXPECT_EQ(eval("", 40), 1);
    EXPECT_STREQ(buf, "");
    EXPECT_EQ(eval("\"x\" ; \"y\"", 40), 1);  // a ';' token ends the expression
    EXPECT_STREQ(buf, "x");
    EXPECT_EQ(eval("\"x\" # \"y\"", 40), 1);
    EXPECT_STREQ(buf, "x");
    EXPECT_EQ(eval("\"x\" ] \"y\"", 40, "]"), 1);
    EXPECT_STREQ(buf, "x");
    EXPECT_EQ(errhdl_count(), 0);
}

TEST_F(Strings, Environment) {
    setenv("VELKOR_TEST_ENV", "Value 1", 1);
    unsetenv("VELKOR_TEST_UNSET");
    EXPECT_EQ(eval("$SYS_ENV(\"VELKOR_TEST_ENV\") + '|' + $S('VELKOR_TEST_UNSET') + '|'", 40), 1);
    EXPECT_STREQ(buf, "Value 1||");
    EXPECT_EQ(errhdl_count(), 0);
}

TEST_F(Strings, LengthLimit) {
    EXPECT_EQ(eval("\"123456789\"", 10), 1);
    EXPECT_STREQ(buf, "123456789");
    EXPECT_EQ(eval("\"1234567890\"", 10), 0);
    EXPECT_STREQ(buf, "123456789");
    EXPECT_EQ(errhdl_code(0), 7023);
    EXPECT_EQ(buf[10], 'Z');  // nothing written past the buffer
    clr_errhdl();
    EXPECT_EQ(eval("\"12345\" $DT_TIME(0)", 10), 0);
    EXPECT_STREQ(buf, "1234500:0");
    EXPECT_EQ(errhdl_code(0), 7023);
    EXPECT_EQ(errhdl_count(), 1);
    clr_errhdl();
    EXPECT_EQ(eval("\"x\"", 1), 0);  // not even one character fits
    EXPECT_STREQ(buf, "");
    EXPECT_EQ(errhdl_code(0), 7023);
}

TEST_F(Strings, FailuresKeepWhatWasAppended) {
    struct {
        const char* line;
        short code;
    } cases[] = {
        {"\"ab\" $DT_DATE", 7015},        // no brackets
        {"\"ab\" $DT_DATE 5", 7015},      // no "("
        {"\"ab\" $DT_DATE(0 0)", 7015},   // not closed
        {"\"ab\" $DT_DATE(x)", 7002},     // not a number
        {"\"ab\" $SYS_ENV(HOME)", 7015},  // the name must be quoted
        {"\"ab\" $SYS_ENV()", 7015},     {"\"ab\" $SYS_ENV('HOME' x)", 7015},
        {"\"ab\" hello", 7009},                                     // a bare word has no text
        {"\"ab\" $UNKNOWN", 7009},       {"\"ab\" $DT_DATE(5", 0},  // the line ends inside the call
        {"\"ab\" $DT_DATE(", 0},         {"\"ab\" $SYS_ENV('HOME", 0},
        {"\"ab\" $SYS_ENV('HOME'", 0},   {"\"ab\" \"cd", 0},  // or inside a quoted text
    };
    for (auto& c : cases) {
        clr_errhdl();
        EXPECT_EQ(eval(c.line, 40), 0) << c.line;
        EXPECT_STREQ(buf, "ab") << c.line;
        EXPECT_EQ(errhdl_code(0), c.code) << c.line;
    }
}

}  // namespace
