// Resource reading: serial identifier, resource data, logical devices and register capture.
#include "support/program_fixture.h"
#include "support/sim_cards.h"
#include "support/state_text.h"
#include "pnp/resources.h"

namespace {

class Resources : public ProgramTest {
protected:
    // Isolates the bus and returns the index of the record with this CSN.
    static short isolate_all() { return isolate_PNP(4); }
};

// Small item: I/O port descriptor at base.
static BYTES ioport(unsigned short base) { return io_item(base, base, 0x01, 0x08); }

TEST_F(Resources, LoadFillsTheRecord) {
    BYTES items =
        cat({{0x0A, 0x10, 0x10}, ldid("ABC0101"), ioport(0x220), ldid("ABC0102"), {0x22, 0x20, 0x00}});
    BYTES card = make_card(serial_of("ABC0001", 0x4321), items);
    add_card(card);
    ASSERT_EQ(isolate_all(), 1);
    ASSERT_EQ(loadcard_PNP(1), 1);
    const CARD_TYP& r = PNP_cards[0];
    EXPECT_EQ(r.csn, 1);
    EXPECT_EQ(std::string(r.vendor), "ABC0001");
    EXPECT_EQ(r.serialno, 0x4321);
    // The stored data runs from the first item through the End tag and its checksum.
    ASSERT_EQ(r.reslen, (short)(card.size() - 9));
    EXPECT_EQ(BYTES(r.resdata, r.resdata + r.reslen), BYTES(card.begin() + 9, card.end()));
    ASSERT_EQ(r.ndevs, 2);
    EXPECT_EQ(r.devs[0].number, 0);
    EXPECT_EQ(std::string(r.devs[0].id), "ABC0101");
    EXPECT_EQ(r.devs[1].number, 1);
    EXPECT_EQ(std::string(r.devs[1].id), "ABC0102");
    // Power-up registers as captured.
    EXPECT_EQ(r.devs[1].irq[0].type, 0x02);
    EXPECT_EQ(r.devs[1].irq[1].type, 0x02);
    EXPECT_EQ(r.devs[1].dma[0], 4);
    EXPECT_EQ(r.devs[1].dma[1], 4);
    EXPECT_EQ(r.devs[1].activate, 0);
    EXPECT_EQ(sim_card_state(0), SIM_WAIT_FOR_KEY);
    // Loading again rebuilds the record in place.
    ASSERT_EQ(loadcard_PNP(1), 1);
    EXPECT_EQ(PNP_cards_len, 1);
    EXPECT_EQ(PNP_cards[0].ndevs, 2);
}

TEST_F(Resources, RegistersAreReadFromTheirOwnAddresses) {
    // Memory descriptors: a 24-bit one with upper-limit decode, a 32-bit one with range length.
    BYTES mem24 = {0x81, 0x09, 0x00, 0x04, 0x00, 0xC8, 0x00, 0xDC, 0x00, 0x40, 0x40, 0x00};
    BYTES mem32 = {0x85, 0x11, 0x00, 0x00};
    mem32.resize(mem32.size() + 16, 0);
    add_card(make_card(serial_of("ABC0001", 1), cat({ldid("ABC0101"), ldid("ABC0102"), mem24, mem32})));
    sim_preset_reg(0, 1, 0x31, 0x01);  // an I/O range check left on
    sim_preset_reg(0, 1, 0x60, 0x02);
    sim_preset_reg(0, 1, 0x61, 0x20);
    sim_preset_reg(0, 1, 0x70, 0x05);
    sim_preset_reg(0, 1, 0x75, 0x01);
    sim_preset_reg(0, 1, 0x76, 0x12);
    sim_preset_reg(0, 1, 0x77, 0x34);
    sim_preset_reg(0, 1, 0x78, 0x56);
    sim_preset_reg(0, 1, 0x79, 0x78);
    sim_preset_reg(0, 1, 0x7E, 0x9A);
    sim_preset_reg(0, 1, 0x40, 0xC8);
    sim_preset_reg(0, 1, 0x44, 0x40);
    sim_preset_reg(0, 1, 0xF0, 0xEE);
    sim_preset_reg(0, 1, 0xFE, 0xEF);
    sim_preset_reg(0, 0, 0x30, 0x01);
    sim_preset_reg(0, 0, 0x2F, 0x77);  // card level
    ASSERT_EQ(isolate_all(), 1);
    ASSERT_EQ(loadcard_PNP(1), 1);
    const CARD_TYP& r = PNP_cards[0];
    EXPECT_EQ(r.cardregs[15], 0x77);
    EXPECT_EQ(r.devs[0].activate, 1);
    const DEVICE_TYP& d = r.devs[1];
    EXPECT_EQ(d.activate, 0);
    EXPECT_EQ(d.rangecheck, 0x01);
    EXPECT_EQ(d.io[0], 0x0220);
    EXPECT_EQ(d.irq[0].level, 5);
    EXPECT_EQ(d.dma[1], 1);
    EXPECT_EQ(d.mem[0].base, 0xC800);
    EXPECT_EQ(d.mem[0].limit, 0x0040);
    EXPECT_EQ(d.mem[0].control, 0x01);  // upper-limit decode
    EXPECT_EQ(d.mem[3].control, 0x00);  // no descriptor for it
    EXPECT_EQ(d.mem32[0].base, 0x12345678UL);
    EXPECT_EQ(d.mem32[0].limit, 0x9AUL);
    EXPECT_EQ(d.mem32[0].control, 0x00);  // range length
    EXPECT_EQ(d.vendorregs[0], 0xEE);
    EXPECT_EQ(d.vendorregs[14], 0xEF);
    EXPECT_EQ(r.devs[0].mem[0].control, 0x00);  // device 0 has no memory descriptor
    PNP_port = 0x203;
    initkey_PNP();
    wake_PNP(1);
    logdev_PNP(1);
    EXPECT_EQ(readINTU2(0x60), 0x0220);
    waitforkey_PNP();
}

TEST_F(Resources, UnknownCsnAppendsAFailedRecord) {
    add_card(make_card(serial_of("ABC0001", 1), ldid("ABC0101")));
    defaultport_PNP(0x203);
    EXPECT_EQ(loadcard_PNP(5), 0);
    EXPECT_EQ(PNP_cards_len, 1);
    EXPECT_EQ(PNP_cards[0].csn, 5);
    EXPECT_EQ(PNP_cards[0].ndevs, 0);
    EXPECT_EQ(PNP_cards[0].resdata, nullptr);
}

TEST_F(Resources, CsnGivenBeforeThisRunIsLoaded) {
    // A card that already has CSN 3 (from an earlier program) is read and appended.
    add_card(make_card(serial_of("ABC0001", 1), ldid("ABC0101")));
    ASSERT_EQ(isolate_all(), 1);
    clean_PNP();
    init_PNP();
    defaultport_PNP(0x203);
    EXPECT_EQ(loadcard_PNP(1), 1);
    EXPECT_EQ(card_table(), "1:ABC0001:1");
}

TEST_F(Resources, StatusThatNeverComes) {
    add_card(make_card(serial_of("ABC0001", 1), ldid("ABC0101")));
    ASSERT_EQ(isolate_all(), 1);
    sim_card_no_status(0);
    EXPECT_EQ(loadcard_PNP(1), 0);
    EXPECT_EQ(PNP_cards_len, 1);
    EXPECT_EQ(PNP_cards[0].csn, 1);
    EXPECT_EQ(sim_card_state(0), SIM_WAIT_FOR_KEY);

    unsigned short ok = 1;
    PNP_port = 0x203;
    initkey_PNP();
    wake_PNP(1);
    EXPECT_EQ(getresdata_PNP(ok), 0);
    EXPECT_EQ(ok, 0);
    TRACE_FILE trace;  // once ok is clear, no port is touched
    EXPECT_EQ(getresdata_PNP(ok), 0);
    EXPECT_TRUE(trace.lines().empty());
}

TEST_F(Resources, CardThatStopsHalfway) {
    add_card(make_card(serial_of("ABC0001", 1), cat({ldid("ABC0101"), ldid("ABC0102"), ldid("ABC0103")})));
    ASSERT_EQ(isolate_all(), 1);
    sim_card_stop_after(0, 9 + 6 + 3);  // stops inside the second device ID
    EXPECT_EQ(loadcard_PNP(1), 0);
    // The devices whose ID item was reached are counted, and keep their "no DMA" value.
    ASSERT_EQ(PNP_cards[0].ndevs, 2);
    EXPECT_EQ(std::string(PNP_cards[0].devs[0].id), "ABC0101");
    EXPECT_EQ(PNP_cards[0].devs[1].dma[0], 4);
    EXPECT_EQ(PNP_cards[0].devs[1].dma[1], 4);
    EXPECT_EQ(PNP_cards[0].reslen, 0);
}

TEST_F(Resources, CardWithoutLogicalDevices) {
    add_card(make_card(serial_of("ABC0001", 1), {0x0A, 0x10, 0x10}));
    sim_preset_reg(0, 0, 0x20, 0x42);
    ASSERT_EQ(isolate_all(), 1);
    ASSERT_EQ(loadcard_PNP(1), 1);
    EXPECT_EQ(PNP_cards[0].ndevs, 0);
    EXPECT_EQ(PNP_cards[0].devs, nullptr);
    EXPECT_EQ(PNP_cards[0].cardregs[0], 0x42);
    EXPECT_EQ(PNP_cards[0].reslen, 5);
}

// A card whose resource data is a run of vendor-defined large items of the given body sizes.
static BYTES large_items(std::initializer_list<int> sizes) {
    BYTES items;
    for (int n : sizes) {
        items.push_back(0x84);  // vendor defined, large
        items.push_back((unsigned char)n);
        items.push_back((unsigned char)(n >> 8));
        items.insert(items.end(), (size_t)n, 0x11);
    }
    return items;
}

TEST_F(Resources, DataLongerThanTheBufferIsCut) {
    // 2000 + 2000 bytes with headers (4006), then a large item whose body would end past 4096:
    // its header stays, its body is not read; the load succeeds.
    add_card(make_card(serial_of("ABC0001", 1), cat({large_items({2000, 2000, 100}), ldid("ABC0101")})));
    ASSERT_EQ(isolate_all(), 1);
    ASSERT_EQ(loadcard_PNP(1), 1);
    EXPECT_EQ(PNP_cards[0].reslen, 4009);
    EXPECT_EQ(PNP_cards[0].resdata[4006], 0x84);
    EXPECT_EQ(PNP_cards[0].ndevs, 0);
}

TEST_F(Resources, BufferBoundaries) {
    struct CASE {
        BYTES items;
        short reslen;
    } cases[] = {
        // Exactly full with a large item: reading stops before the next item.
        {large_items({4093, 5}), 4096},
        // A small item starting in the last byte: its tag is kept, its data not.
        {cat({large_items({4092}), ldid("ABC0101"), ldid("ABC0102")}), 4096},
        // A large item's header that would cross the end is not kept.
        {large_items({4091, 5}), 4094},
        // The End item is kept only with its checksum.
        {large_items({4092}), 4095},
        {large_items({4091}), 4096},
    };
    for (const CASE& c : cases) {
        remake_program();
        add_card(make_card(serial_of("ABC0001", 1), c.items));
        ASSERT_EQ(isolate_all(), 1);
        EXPECT_EQ(loadcard_PNP(1), 1);
        EXPECT_EQ(PNP_cards[0].reslen, c.reslen) << c.items.size();
    }
    // The cut device ID item names its missing bytes 0.
    remake_program();
    add_card(make_card(serial_of("ABC0001", 1), cat({large_items({4092}), ldid("ABC0101")})));
    ASSERT_EQ(isolate_all(), 1);
    ASSERT_EQ(loadcard_PNP(1), 1);
    ASSERT_EQ(PNP_cards[0].ndevs, 1);
    EXPECT_EQ(std::string(PNP_cards[0].devs[0].id), "@@@0000");
}

TEST_F(Resources, FullTableRefusesANewCsn) {
    for (short i = 0; i < PNP_MAXCARDS; i++) {
        PNP_cards[i].csn = (unsigned short)(i + 1);
        PNP_cards_len++;
    }
    defaultport_PNP(0x203);
    TRACE_FILE trace;
    EXPECT_EQ(loadcard_PNP(30), 0);
    EXPECT_EQ(errhdl_code(0), 1002);
    EXPECT_EQ(PNP_cards_len, PNP_MAXCARDS);
    EXPECT_TRUE(trace.lines().empty());
}

}  // namespace
