// Which ports an I/O range answers at: 16-bit and 10-bit decoding, ranges that cross a 0x400
// boundary or the top of the I/O space, and the PnP ports.
#include <gtest/gtest.h>

#include "pnp/io_decode.h"

namespace {

TEST(IoDecode, SixteenBitsAnswerAtTheRangeAlone) {
    EXPECT_TRUE(io_range_answers(0x220, 16, 0, 0x220));
    EXPECT_TRUE(io_range_answers(0x220, 16, 0, 0x22F));
    EXPECT_FALSE(io_range_answers(0x220, 16, 0, 0x21F));
    EXPECT_FALSE(io_range_answers(0x220, 16, 0, 0x230));
    EXPECT_FALSE(io_range_answers(0x220, 16, 0, 0x620));  // no alias
    // At the top of the space the range ends there: nothing wraps to port 0.
    EXPECT_TRUE(io_range_answers(0xFFFC, 8, 0, 0xFFFF));
    EXPECT_FALSE(io_range_answers(0xFFFC, 8, 0, 0x0000));
}

TEST(IoDecode, TenBitsAnswerAtEveryAlias) {
    for (unsigned long alias = 0x220; alias < PNP_IO_SPACE; alias += PNP_IO_ALIAS_STEP) {
        EXPECT_TRUE(io_range_answers(0x620, 16, 1, alias)) << std::hex << alias;
        EXPECT_TRUE(io_range_answers(0x620, 16, 1, alias + 15)) << std::hex << alias;
        EXPECT_FALSE(io_range_answers(0x620, 16, 1, alias + 16)) << std::hex << alias;
        EXPECT_FALSE(io_range_answers(0x620, 16, 1, alias - 1)) << std::hex << alias;
    }
    EXPECT_FALSE(io_range_answers(0x220, 16, 1, PNP_IO_SPACE + 0x220));  // past the space
    // Across a 0x400 boundary the low 10 bits wrap past 0x3FF to 0x000, at any alias.
    for (unsigned long base : {0x3FCUL, 0x7FCUL, 0xFFFCUL}) {
        EXPECT_TRUE(io_range_answers(base, 8, 1, 0x3FF)) << std::hex << base;
        EXPECT_TRUE(io_range_answers(base, 8, 1, 0x000)) << std::hex << base;
        EXPECT_TRUE(io_range_answers(base, 8, 1, 0xC03)) << std::hex << base;
        EXPECT_FALSE(io_range_answers(base, 8, 1, 0x004)) << std::hex << base;
        EXPECT_FALSE(io_range_answers(base, 8, 1, 0x3FB)) << std::hex << base;
    }
}

TEST(IoDecode, NoPortsAndTheWholeAliasSpace) {
    for (short ten_bit : {0, 1}) {
        EXPECT_FALSE(io_range_answers(0x220, 0, ten_bit, 0x220));
        EXPECT_EQ(io_range_pnp_port(0x279, 0, ten_bit, 0x203), 0);
    }
    // 0x400 ports or more decode every low 10 bits: a 10-bit range answers everywhere.
    EXPECT_TRUE(io_range_answers(0x1000, 0x400, 1, 0x0000));
    EXPECT_TRUE(io_range_answers(0x1000, 0x400, 1, 0xFFFF));
    EXPECT_TRUE(io_range_answers(0x1000, 0x800, 1, 0x0FFF));
    EXPECT_FALSE(io_range_answers(0x1000, 0x400, 0, 0x0FFF));
    EXPECT_TRUE(io_range_answers(0x1000, 0x400, 0, 0x13FF));
    EXPECT_FALSE(io_range_answers(0x1000, 0x400, 0, 0x1400));
}

TEST(IoDecode, TheAliasBelow0x400ComesInOneOrTwoPieces) {
    unsigned long lo[2], hi[2];
    ASSERT_EQ(io_low_alias(0x620, 16, lo, hi), 1);
    EXPECT_EQ(lo[0], 0x220u);
    EXPECT_EQ(hi[0], 0x22Fu);
    ASSERT_EQ(io_low_alias(0x7F8, 16, lo, hi), 2);  // 0x3F8-0x3FF, then 0x000-0x007
    EXPECT_EQ(lo[0], 0x3F8u);
    EXPECT_EQ(hi[0], 0x3FFu);
    EXPECT_EQ(lo[1], 0u);
    EXPECT_EQ(hi[1], 0x7u);
    ASSERT_EQ(io_low_alias(0x100, 0x800, lo, hi), 2);  // every port below 0x400, once
    EXPECT_EQ(hi[0] - lo[0] + 1 + hi[1] - lo[1] + 1, 0x400u);
    EXPECT_EQ(io_low_alias(0x220, 0, lo, hi), 0);
}

TEST(IoDecode, ThePnpPortsInTheirOrder) {
    EXPECT_EQ(io_range_pnp_port(0x278, 8, 0, 0x203), 0x279);
    EXPECT_EQ(io_range_pnp_port(0xA78, 8, 0, 0x203), 0xA79);
    EXPECT_EQ(io_range_pnp_port(0x678, 8, 0, 0x203), 0);
    EXPECT_EQ(io_range_pnp_port(0x678, 8, 1, 0x203), 0x279);  // through its alias at 0x278
    EXPECT_EQ(io_range_pnp_port(0x1F8, 16, 0, 0x203), 0x203);
    EXPECT_EQ(io_range_pnp_port(0x1F8, 16, 0, 0), 0);  // no read port chosen yet
    EXPECT_EQ(io_range_pnp_port(0x5F8, 16, 1, 0x203), 0x203);
    EXPECT_EQ(io_range_pnp_port(0x5F8, 16, 0, 0x203), 0);
    // A range over ADDRESS and the read port names ADDRESS.
    EXPECT_EQ(io_range_pnp_port(0x200, 0x80, 0, 0x20B), 0x279);
}

}  // namespace
