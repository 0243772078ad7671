// Tokenizer and string helpers.
#include <gtest/gtest.h>

#include <string>

#include "shell/errhdl.h"
#include "shell/parse.h"

namespace {

std::string tokens(const char* line, short mode = 0) {
    P.command(line);
    std::string out;
    while (P.get(mode) == 0) out += std::string("[") + P.token + "]";
    return out;
}

TEST(Parse, SeparatorsAndWords) {
    EXPECT_EQ(tokens("  print   x "), "[PRINT][X]");
    EXPECT_EQ(P.get(0), 1);
    EXPECT_STREQ(P.token, "");
    EXPECT_EQ(tokens("a<=b"), "[A][<][=][B]");
    EXPECT_EQ(tokens("x=1"), "[X][=][1]");
    EXPECT_EQ(tokens("-5"), "[-][5]");
    EXPECT_EQ(tokens("$abc_d"), "[$ABC_D]");
    EXPECT_EQ(tokens("abc.def"), "[ABC][.][DEF]");
    EXPECT_EQ(tokens("PRINT\tX"), "[PRINT\tX]");  // a tab is a word character
    EXPECT_EQ(tokens("\"hi there\""), "[\"][HI][THERE][\"]");
}

TEST(Parse, FileNameMode) {
    P.command("abc.def");
    EXPECT_EQ(P.get(PP_FILENAME), 0);
    EXPECT_STREQ(P.token, "abc.def");
    P.command("dir/sub:f.pnp rest");
    P.get(PP_FILENAME);
    EXPECT_STREQ(P.token, "dir/sub:f.pnp");
    P.command("my-file");
    P.get(PP_FILENAME);
    EXPECT_STREQ(P.token, "my");
    // The separator set is whole again afterwards.
    EXPECT_EQ(tokens("a.b"), "[A][.][B]");
    P.command("@ x");
    P.get(0);
    P.get(PP_FILENAME);
    EXPECT_STREQ(P.token, " x");
}

TEST(Parse, CountIndexAndRaw) {
    P.command("A = 5");
    EXPECT_EQ(P.get(PP_COUNT, 3), 0);
    EXPECT_STREQ(P.token, "A = 5");
    P.command("A B");
    EXPECT_EQ(P.get(PP_COUNT, 3), 0);
    EXPECT_STREQ(P.token, "A B ");
    P.command("A,B");
    EXPECT_EQ(P.get(PP_INDEX, 1), 0);
    EXPECT_STREQ(P.token, ",");
    EXPECT_EQ(P.get(PP_INDEX, 2), 0);
    EXPECT_STREQ(P.token, "B");
    EXPECT_EQ(P.pos, 0);
    P.command("! ls  -l /tmp");
    P.get(0);
    P.get(PP_RAW | PP_COUNT, 99);
    EXPECT_STREQ(P.token, " ls  -l /tmp");
    P.command("x    Hello");
    P.get(0);
    P.get(PP_RAW | PP_MARK);
    EXPECT_STREQ(P.token, "Hello");
}

TEST(Parse, Delimited) {
    P.command("\"Hello  World\" more");
    P.get(0);
    EXPECT_EQ(P.delimited(0), 0);
    EXPECT_STREQ(P.token, "Hello  World");
    P.get(0);
    EXPECT_STREQ(P.token, "MORE");
    P.command("\"Hello  World\" more");
    P.get(0);
    EXPECT_EQ(P.delimited(1), 0);
    EXPECT_STREQ(P.token, "\"Hello  World\"");
    P.command("\"open ended");
    P.get(0);
    EXPECT_EQ(P.delimited(0), 1);
}

TEST(Parse, CommandWithoutText) {
    clr_errhdl();
    EXPECT_EQ(P.command(nullptr), 5001);
    EXPECT_EQ(P.get(0), 1);
    EXPECT_EQ(P.cmd_ptr(), nullptr);
    clr_errhdl();
}

TEST(WcHelpers, PrefixComparison) {
    EXPECT_EQ(WC::streq("EX", "EXIT"), 1);
    EXPECT_EQ(WC::streq("exit", "EXIT"), 1);
    EXPECT_EQ(WC::streq("EXITS", "EXIT"), 0);
    EXPECT_EQ(WC::streq("", "EXIT"), 0);
    EXPECT_EQ(WC::streq("@", "`"), 1);
    EXPECT_EQ(WC::streq("[", "{"), 1);
    char* dst = nullptr;
    EXPECT_EQ(WC::strxfer(dst, nullptr), 0);
    EXPECT_EQ(dst, nullptr);
    EXPECT_EQ(WC::strxfer(dst, "abc"), 0);
    WC::strupr(dst);
    EXPECT_STREQ(dst, "ABC");
    WC::strxfer(dst, nullptr);
}

TEST(ErrorQueue, KeepsThirtyOneAndPrintsThem) {
    clr_errhdl();
    for (int i = 0; i < 40; i++) EXPECT_EQ(set_errhdl((short)(4000 + i)), 4000 + i);
    EXPECT_EQ(errhdl_count(), 31);
    EXPECT_EQ(errhdl_code(30), 4030);
    clr_errhdl();
    set_errhdl(4003);
    set_errhdl(7023);
    set_errhdl(1234);
    FILE* f = tmpfile();
    errhdl("ERROR", f);
    rewind(f);
    char buf[256] = {0};
    fread(buf, 1, sizeof buf - 1, f);
    fclose(f);
    EXPECT_STREQ(buf,
                 "\nERROR (0FA3): Bad or Unknown command\nERROR (1B6F): Expression stack overflow\n"
                 "ERROR (04D2): Unknown error\n");
    EXPECT_EQ(errhdl_count(), 0);
    setusr_err(1234, "first");
    setusr_err(1234, "second");
    EXPECT_STREQ(errhdl_message(1234), "first");
    EXPECT_STREQ(errhdl_message(4003), "Bad or Unknown command");
    errhdl_reset_user();
}

}  // namespace
