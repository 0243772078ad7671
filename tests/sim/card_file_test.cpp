// Card files: hexadecimal text with comments, raw images, and the messages for bad ones.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>

#include "sim/card_file.h"

namespace {

class CardFile : public ::testing::Test {
protected:
    std::string path;
    unsigned char bytes[CARD_BYTES_MAX];
    char err[256];
    void SetUp() override {
        char name[] = "/tmp/velkor-card-XXXXXX";
        int fd = mkstemp(name);
        if (fd >= 0) close(fd);
        path = name;
        err[0] = 0;
    }
    void TearDown() override { remove(path.c_str()); }
    long read(const std::string& content, size_t cap = 64) {
        FILE* fp = fopen(path.c_str(), "wb");
        fwrite(content.data(), 1, content.size(), fp);
        fclose(fp);
        return read_card_file(path.c_str(), bytes, cap, err, sizeof err);
    }
};

TEST_F(CardFile, TextWithComments) {
    EXPECT_EQ(read("# a card\n04 43 00 01   # vendor ID ABC0001 \xe2\x80\x94 a comment may hold any text\n"
                   "1 2 3 4\r\n\tff#no space before the comment\n79 0\n"),
              11);
    const unsigned char want[11] = {0x04, 0x43, 0x00, 0x01, 1, 2, 3, 4, 0xFF, 0x79, 0};
    EXPECT_EQ(0, memcmp(bytes, want, 11));
}

TEST_F(CardFile, RawImage) {
    std::string raw("\x04\x43\x00\x01\x00\x00\x00\x00\x0a\x79\x00", 11);
    EXPECT_EQ(read(raw), 11);
    EXPECT_EQ(0, memcmp(bytes, raw.data(), 11));
    EXPECT_EQ(read(raw, 10), -1);
    EXPECT_EQ(std::string(err), path + ": 11 bytes: a card holds at most 10");
}

TEST_F(CardFile, MalformedTextNamesTheLine) {
    EXPECT_EQ(read("04 43 00 01\n00 00 00 00\n0A 1G\n"), -1);
    EXPECT_EQ(std::string(err), path + ":3: \"1G\" is not a hexadecimal byte value");
    EXPECT_EQ(read("04 43 00 01 00 00 00 00 0A 123\n"), -1);
    EXPECT_EQ(std::string(err), path + ":1: \"123\" is not a hexadecimal byte value");
    EXPECT_EQ(read("0x04 43\n"), -1);
    EXPECT_EQ(read("04 43 00\n# short\n"), -1);
    EXPECT_EQ(std::string(err), path + ":2: 3 byte values, fewer than the 9 of a serial identifier");
    EXPECT_EQ(read(""), -1);
    EXPECT_EQ(read(std::string(65, 'A')), -1);  // one 65-digit word
    std::string many;
    for (int i = 0; i < 65; i++) many += "00 ";
    EXPECT_EQ(read(many), -1);
    EXPECT_EQ(std::string(err), path + ": 65 bytes: a card holds at most 64");
    EXPECT_EQ(read_card_file("/nonexistent/card.hex", bytes, 64, err, sizeof err), -1);
    EXPECT_EQ(std::string(err).rfind("/nonexistent/card.hex: ", 0), 0u);
}

// A directory opens, but reading it fails: the system's reason is given.
TEST_F(CardFile, ReadFailureGivesTheSystemsReason) {
    char dir[] = "/tmp/velkor-carddir-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    EXPECT_EQ(read_card_file(dir, bytes, 64, err, sizeof err), -1);
    EXPECT_EQ(std::string(err), std::string(dir) + ": " + strerror(EISDIR));
    rmdir(dir);
}

// More values than a card holds are refused in the same words for text and a raw image, with the
// file's full count; the text is still checked to its end.
TEST_F(CardFile, OneLimitForTextAndRawImage) {
    std::string text;
    for (int i = 0; i < CARD_BYTES_MAX; i++) text += "5a ";
    EXPECT_EQ(read(text, sizeof bytes), CARD_BYTES_MAX) << err;
    EXPECT_EQ(bytes[CARD_BYTES_MAX - 1], 0x5A);
    EXPECT_EQ(read(text + "00", sizeof bytes), -1);
    EXPECT_EQ(std::string(err), path + ": 65536 bytes: a card holds at most 65535");
    EXPECT_EQ(read(text + text + "# two cards\n01", sizeof bytes), -1);
    EXPECT_EQ(std::string(err), path + ": 131071 bytes: a card holds at most 65535");
    EXPECT_EQ(read(text + text + "\n0A zz\n", sizeof bytes), -1);
    EXPECT_EQ(std::string(err), path + ":2: \"zz\" is not a hexadecimal byte value");

    std::string raw(CARD_BYTES_MAX, '\xff');
    EXPECT_EQ(read(raw, sizeof bytes), CARD_BYTES_MAX) << err;
    EXPECT_EQ(read(raw + '\xff', sizeof bytes), -1);
    EXPECT_EQ(std::string(err), path + ": 65536 bytes: a card holds at most 65535");
}

// A file of exactly 4 MiB is read; one byte more is refused unread.
TEST_F(CardFile, FileSizeLimitIsInclusive) {
    std::string card = "04 43 00 01 00 00 00 00 0A\n#";
    card += std::string(4194304 - card.size(), 'x');
    EXPECT_EQ(read(card), 9) << err;
    EXPECT_EQ(read(card + "x"), -1);
    EXPECT_EQ(std::string(err), path + ": larger than 4194304 bytes, not a card file");
}

}  // namespace
