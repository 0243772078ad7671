// The register map against the numbers of the public Plug and Play ISA standard.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "pnp/registers.h"

namespace {

// "first-last" of every descriptor field of a logical device, fields separated by "|".
std::string descriptor_map() {
    std::string s;
    char one[16];
    auto add = [&](short first, short width) {
        snprintf(one, sizeof one, "%s%02X-%02X", s.empty() || s.back() == '|' ? "" : " ", first,
                 first + width - 1);
        s += one;
    };
    for (short n = 0; n < PNP_MEM_DESCS; n++) add(pnp_mem_base(n), 5);
    s += '|';
    for (short n = 0; n < PNP_IO_DESCS; n++) add(pnp_io_base(n), 2);
    s += '|';
    for (short n = 0; n < PNP_IRQ_DESCS; n++) add(pnp_irq_level(n), 2);
    s += '|';
    for (short n = 0; n < PNP_DMA_DESCS; n++) add(pnp_dma_channel(n), 1);
    s += '|';
    for (short n = 0; n < PNP_MEM32_DESCS; n++) add(pnp_mem32_base(n), 9);
    return s;
}

TEST(Registers, MapOfTheStandard) {
    EXPECT_EQ(PNP_ADDRESS, 0x279);
    EXPECT_EQ(PNP_WRITE_DATA, 0xA79);
    EXPECT_EQ(PNP_READ_DATA_FIRST, 0x203);
    EXPECT_EQ(PNP_READ_DATA_LAST, 0x3FF);
    const short card[] = {
        PNP_SET_RD_DATA,   PNP_SERIAL_ISOLATION, PNP_CONFIG_CONTROL,     PNP_WAKE,
        PNP_RESOURCE_DATA, PNP_STATUS,           PNP_CARD_SELECT_NUMBER, PNP_LOGICAL_DEVICE_NUMBER};
    for (short i = 0; i < 8; i++) EXPECT_EQ(card[i], i);
    EXPECT_EQ(PNP_CARD_VENDOR_FIRST, 0x20);
    EXPECT_EQ(PNP_CARD_VENDOR_REGS, 16);
    EXPECT_EQ(PNP_ACTIVATE, 0x30);
    EXPECT_EQ(PNP_IO_RANGE_CHECK, 0x31);
    EXPECT_EQ(descriptor_map(),
              "40-44 48-4C 50-54 58-5C|"
              "60-61 62-63 64-65 66-67 68-69 6A-6B 6C-6D 6E-6F|"
              "70-71 72-73|74-74 75-75|"
              "76-7E 80-88 90-98 A0-A8");
    EXPECT_EQ(PNP_DEVICE_VENDOR_FIRST, 0xF0);
    EXPECT_EQ(PNP_DEVICE_VENDOR_REGS, 15);
}

// Within a descriptor: base (high byte first), control, limit; IRQ level before type.
TEST(Registers, FieldsOfADescriptor) {
    for (short n = 0; n < PNP_MEM_DESCS; n++) {
        EXPECT_EQ(pnp_mem_control(n), pnp_mem_base(n) + 2);
        EXPECT_EQ(pnp_mem_limit(n), pnp_mem_base(n) + 3);
    }
    for (short n = 0; n < PNP_MEM32_DESCS; n++) {
        EXPECT_EQ(pnp_mem32_control(n), pnp_mem32_base(n) + 4);
        EXPECT_EQ(pnp_mem32_limit(n), pnp_mem32_base(n) + 5);
    }
    EXPECT_EQ(pnp_irq_type(1), 0x73);
    EXPECT_EQ(pnp_rd_data_value(0x203), 0x80);
    EXPECT_EQ(pnp_rd_data_port(0x80), 0x203);
    EXPECT_EQ(pnp_rd_data_port(pnp_rd_data_value(PNP_READ_DATA_LAST)), PNP_READ_DATA_LAST);
}

}  // namespace
