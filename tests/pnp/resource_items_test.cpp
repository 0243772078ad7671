// The resource data format: the item iterator on whole, cut and odd data, the labels, the IRQ
// types and the EISA ID text.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pnp/registers.h"
#include "pnp/resource_items.h"

namespace {

typedef std::vector<unsigned char> BYTES;

// Every item of data as "name/size/have of want", with " cut" and "L" (large) marks, and the
// iterator's own bound kept: no item reaches past the data.
std::string walk(const BYTES& data, long len = -1) {
    if (len < 0) len = (long)data.size();
    RES_ITEMS it;
    RES_ITEM item;
    res_items_start(&it, data.empty() ? nullptr : data.data(), len);
    std::string out;
    long at = 0;
    for (int guard = 0; res_items_next(&it, &item); guard++) {
        EXPECT_LT(guard, 1000);
        EXPECT_LE(at + item.size, len);
        if (item.have > 0) {
            EXPECT_GE(item.data, data.data() + at);
            EXPECT_LE(item.data + item.have, data.data() + len);
        }
        at += item.size;
        char text[64];
        snprintf(text, sizeof text, "%s%X/%ld/%ld of %ld%s", item.large ? "L" : "", item.name, item.size,
                 item.have, item.want, item.cut ? " cut" : "");
        out += (out.empty() ? "" : " ") + std::string(text);
    }
    EXPECT_EQ(res_items_next(&it, &item), 0);  // stays at the end
    return out;
}

TEST(ResourceItems, WholeItemsEndAtTheEndTag) {
    BYTES data = {
        0x0A, 0x10, 0x00,                    // PnP version 1.0
        0x82, 0x03, 0x00, 'S', 'B', '!',     // ANSI string
        0x15, 0x0E, 0x8C, 0x00, 0x31, 0x00,  // logical device ID
        0x30,                                // start dependent functions, no priority
        0x79, 0x42,                          // End and its checksum
        0x47, 0x01, 0x02,                    // after End: never read
    };
    EXPECT_EQ(walk(data), "1/3/2 of 2 L2/6/3 of 3 2/6/5 of 5 6/1/0 of 0 F/2/1 of 1");
    RES_ITEMS it;
    RES_ITEM item;
    res_items_start(&it, data.data(), (long)data.size());
    res_items_next(&it, &item);
    res_items_next(&it, &item);
    EXPECT_EQ(item.length_bytes, 2);
    EXPECT_EQ(std::string((const char*)item.data, (size_t)item.have), "SB!");
    res_items_next(&it, &item);
    EXPECT_EQ(item.l(0), 0x31008C0Eul);
    EXPECT_EQ(item.w(3), 0x0031u);
    EXPECT_EQ(item.b(4), 0x00u);
    EXPECT_EQ(item.b(5), 0u);  // past the data: 0
    EXPECT_EQ(item.b(-1), 0u);
}

TEST(ResourceItems, TheEndTagAlwaysCarriesOneChecksumByte) {
    EXPECT_EQ(walk({0x78, 0x11}), "F/2/1 of 1");  // length bits 0
    EXPECT_EQ(walk({0x7F, 0x11, 0x22}), "F/2/1 of 1");  // length bits 7
    EXPECT_EQ(walk({0x78}), "F/1/0 of 1 cut");  // no checksum
    EXPECT_EQ(res_small_length(0x78), 1);
    EXPECT_EQ(res_small_length(0x7F), 1);
    EXPECT_EQ(res_small_length(0x47), 7);
    EXPECT_EQ(res_small_length(0x30), 0);
}

TEST(ResourceItems, CutItemsTakeWhatIsLeftAndEndTheWalk) {
    // A small item the data ends inside.
    EXPECT_EQ(walk({0x0A, 0x10, 0x00, 0x47, 0x01, 0x20}), "1/3/2 of 2 8/3/2 of 7 cut");
    // A large item with both length bytes but part of its data.
    EXPECT_EQ(walk({0x81, 0x09, 0x00, 0x04, 0x00}), "L1/5/2 of 9 cut");
    // One length byte: what it holds is the length asked for; no data.
    EXPECT_EQ(walk({0x82, 0x05}), "L2/2/0 of 5 cut");
    // No length byte at all.
    EXPECT_EQ(walk({0x0A, 0x10, 0x00, 0x85}), "1/3/2 of 2 L5/1/0 of 0 cut");
    // A large item whose length asks for more than there is, and the bytes after the cut.
    EXPECT_EQ(walk({0x82, 0xFF, 0xFF, 'a', 'b', 0x79, 0x00}), "L2/7/4 of 65535 cut");
    // The length given bounds the walk, not the buffer behind it.
    EXPECT_EQ(walk({0x0A, 0x10, 0x00, 0x79, 0x00}, 2), "1/2/1 of 2 cut");
}

TEST(ResourceItems, NoDataNoItems) {
    EXPECT_EQ(walk({}), "");
    EXPECT_EQ(walk({0x0A, 0x10, 0x00}, 0), "");
    RES_ITEMS it;
    RES_ITEM item;
    res_items_start(&it, nullptr, 10);
    EXPECT_EQ(res_items_next(&it, &item), 0);
    const unsigned char version[3] = {0x0A, 0x10, 0x00};
    res_items_start(&it, version, -5);
    EXPECT_EQ(res_items_next(&it, &item), 0);
    // Data without an End tag ends where the data does, with nothing cut.
    EXPECT_EQ(walk({0x30, 0x38}), "6/1/0 of 0 7/1/0 of 0");
}

TEST(ResourceItems, LabelsInItemOrder) {
    EXPECT_STREQ(res_label(0x47)->dump, "ioport_TAG");
    EXPECT_STREQ(res_label(0x47)->saved, "I/O port");
    EXPECT_STREQ(res_label(0x79)->dump, "end_TAG");
    EXPECT_STREQ(res_label(0x50)->dump, "rsvdA_TAG");
    EXPECT_STREQ(res_label(0x68)->saved, "Reserved small item");
    EXPECT_STREQ(res_label(0x00)->dump, "sunknown_TAG");
    EXPECT_STREQ(res_label(0x86)->dump, "fixedmem32_TAG");
    EXPECT_STREQ(res_label(0x86)->saved, "32-bit fixed memory range");
    EXPECT_STREQ(res_label(0x80)->dump, "lunknown_TAG");
    for (unsigned tag = 0x87; tag <= 0xFF; tag++) {
        EXPECT_STREQ(res_label((unsigned char)tag)->dump, "lrsvd_TAG") << tag;
        EXPECT_STREQ(res_label((unsigned char)tag)->saved, "Reserved large item") << tag;
    }
}

TEST(ResourceItems, IrqTypesOneTable) {
    EXPECT_STREQ(res_irq_type_of(PNP_IRQ_HIGH)->keywords, "HIGH EDGE");
    EXPECT_STREQ(res_irq_type_of(PNP_IRQ_HIGH | PNP_IRQ_LEVEL_TRIGGERED)->dump, "hl");
    EXPECT_STREQ(res_irq_type_of(0)->prose, "low-true edge");
    EXPECT_STREQ(res_irq_type_of(PNP_IRQ_LEVEL_TRIGGERED | 0xF0)->dump, "ll");  // other bits ignored
    EXPECT_STREQ(res_irq_type_first(RES_IRQ_LOW_LEVEL | RES_IRQ_HIGH_LEVEL)->keywords, "HIGH LEVEL");
    EXPECT_STREQ(res_irq_type_first(0)->keywords, "HIGH EDGE");
    for (const RES_IRQ_TYPE& row : res_irq_type_table) {
        EXPECT_EQ(res_irq_type_of(row.type), &row);
        EXPECT_EQ(res_irq_type_first(row.info), &row);
        EXPECT_EQ(std::string(row.polarity) + " " + row.trigger, row.keywords);
    }
}

TEST(ResourceItems, EisaIdText) {
    char text[RES_EISA_ID_SIZE];
    const unsigned char ctl[4] = {0x0E, 0x8C, 0x00, 0xE4};
    res_eisa_id_text(ctl, text);
    EXPECT_STREQ(text, "CTL00e4");
    const unsigned char zeros[4] = {0, 0, 0, 0};
    res_eisa_id_text(zeros, text);
    EXPECT_STREQ(text, "@@@0000");
}

}  // namespace
