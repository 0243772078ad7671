// The simulated card: key detection, states, read port, Config Control and its registers.
#include "support/program_fixture.h"
#include "support/sim_cards.h"
#include "support/state_text.h"
#include "pnp/resources.h"

namespace {

class SimCard : public ProgramTest {
protected:
    static void key() { initkey_PNP(); }
    static unsigned char reg(short r) { return readreg_PNP(r); }
};

TEST_F(SimCard, KeyDetection) {
    add_card(make_card(serial_of("ABC0001", 1), {}));
    EXPECT_EQ(sim_card_state(0), SIM_WAIT_FOR_KEY);
    // A broken sequence starts over; the breaking byte does not count as a first byte.
    for (int i = 0; i < 31; i++) port_out(PNP_ADDRESS, initdata[i]);
    port_out(PNP_ADDRESS, initdata[0]);
    for (int i = 1; i < 32; i++) port_out(PNP_ADDRESS, initdata[i]);
    EXPECT_EQ(sim_card_state(0), SIM_WAIT_FOR_KEY);
    for (int i = 0; i < 32; i++) port_out(PNP_ADDRESS, initdata[i]);
    EXPECT_EQ(sim_card_state(0), SIM_SLEEP);
    // Outside Wait for Key, writes to ADDRESS only select a register.
    for (int i = 0; i < 32; i++) port_out(PNP_ADDRESS, initdata[i]);
    EXPECT_EQ(sim_card_state(0), SIM_SLEEP);
}

TEST_F(SimCard, WaitForKeyIgnoresEveryCommand) {
    add_card(make_card(serial_of("ABC0001", 1), {}));
    wake_PNP(0);
    writereg_PNP(0x00, 0x80);
    EXPECT_EQ(sim_card_state(0), SIM_WAIT_FOR_KEY);
    EXPECT_EQ(sim_card_reg(0, 0, 0x00), 0);
    PNP_port = 0x203;
    EXPECT_EQ(reg(0x05), 0xFF);  // nobody drives the bus
}

TEST_F(SimCard, WakeStates) {
    add_card(make_card(serial_of("ABC0001", 1), {}));
    add_card(make_card(serial_of("ABC0002", 2), {}));
    isolate_PNP(4);  // CSNs 1 and 2
    add_card(make_card(serial_of("ABC0003", 3), {}));
    key();
    EXPECT_EQ(sim_card_state(2), SIM_SLEEP);
    wake_PNP(0);
    EXPECT_EQ(sim_card_state(0), SIM_SLEEP);
    EXPECT_EQ(sim_card_state(1), SIM_SLEEP);
    EXPECT_EQ(sim_card_state(2), SIM_ISOLATION);
    wake_PNP(2);
    EXPECT_EQ(sim_card_state(0), SIM_SLEEP);
    EXPECT_EQ(sim_card_state(1), SIM_CONFIG);
    EXPECT_EQ(sim_card_state(2), SIM_SLEEP);
    wake_PNP(9);
    EXPECT_EQ(sim_card_state(1), SIM_SLEEP);
}

TEST_F(SimCard, ReadPortAndConfigRegisters) {
    add_card(make_card(serial_of("ABC0001", 1), cat({ldid("ABC0101"), ldid("ABC0102")})));
    isolate_PNP(4);
    key();
    PNP_port = 0x20B;
    setrdport_PNP();  // accepted in Sleep
    wake_PNP(1);
    EXPECT_EQ(reg(0x06), 1);
    PNP_port = 0x203;
    EXPECT_EQ(reg(0x06), 0xFF);  // no longer answering there
    PNP_port = 0x20B;
    logdev_PNP(1);
    EXPECT_EQ(reg(0x07), 1);
    logdev_PNP(2);  // not below the device count: ignored
    EXPECT_EQ(reg(0x07), 1);
    writereg_PNP(0x60, 0x03);
    writereg_PNP(0x42, 0xFF);  // bit 0 is read-only: no memory descriptor, range length
    EXPECT_EQ(reg(0x60), 0x03);
    EXPECT_EQ(reg(0x42), 0xFE);
    logdev_PNP(0);
    EXPECT_EQ(reg(0x60), 0x00);
    EXPECT_EQ(reg(0x71), 0x02);
    EXPECT_EQ(reg(0x73), 0x02);
    EXPECT_EQ(reg(0x74), 4);
    EXPECT_EQ(reg(0x75), 4);
    // Resource data from the start after a Wake, then the Status bit drops at the end.
    wake_PNP(1);
    for (int i = 0; i < 9 + 12 + 2; i++) {
        EXPECT_EQ(reg(0x05), 0x01);
        reg(0x04);
    }
    EXPECT_EQ(reg(0x05), 0x00);
    wake_PNP(1);
    EXPECT_EQ(reg(0x05), 0x01);
    EXPECT_EQ(reg(0x04), pnp_id("ABC0001")[0]);
}

TEST_F(SimCard, ConfigControlBitsAreIndependent) {
    add_card(make_card(serial_of("ABC0001", 1), ldid("ABC0101")));
    isolate_PNP(4);
    PNP_port = 0x203;
    key();
    wake_PNP(1);
    logdev_PNP(0);
    writereg_PNP(0x30, 0x01);
    writereg_PNP(0x70, 0x05);
    writereg_PNP(0x74, 0x01);
    writereg_PNP(0x02, 0x01);  // reset: registers back to power-up, CSN, state and read port kept
    EXPECT_EQ(sim_card_reg(0, 0, 0x30), 0x00);
    EXPECT_EQ(sim_card_reg(0, 0, 0x70), 0x00);
    EXPECT_EQ(sim_card_reg(0, 0, 0x74), 4);
    EXPECT_EQ(sim_card_state(0), SIM_CONFIG);
    EXPECT_EQ(reg(0x06), 1);
    writereg_PNP(0x02, 0x04);  // CSN 0, state kept
    EXPECT_EQ(sim_card_csn(0), 0);
    EXPECT_EQ(sim_card_state(0), SIM_CONFIG);
    writereg_PNP(0x30, 0x01);
    writereg_PNP(0x02, 0x03);  // reset and Wait for Key at once
    EXPECT_EQ(sim_card_reg(0, 0, 0x30), 0x00);
    EXPECT_EQ(sim_card_state(0), SIM_WAIT_FOR_KEY);
}

// Bit 0 of a memory control register reports how the descriptor its register set takes
// decodes (bit 2 of that descriptor's information byte); a set no descriptor is declared for
// reads 0, and a write never changes the bit.
TEST_F(SimCard, MemoryControlDecodeBitFollowsEachDescriptor) {
    BYTES upper24 = {0x81, 0x09, 0x00, 0x04, 0, 0, 0, 0, 0, 0, 0, 0};
    BYTES length24 = {0x81, 0x09, 0x00, 0x00, 0, 0, 0, 0, 0, 0, 0, 0};
    BYTES upper32 = {0x86, 0x09, 0x00, 0x04, 0, 0, 0, 0, 0, 0, 0, 0};
    BYTES length32 = {0x85, 0x11, 0x00, 0x00};
    length32.resize(length32.size() + 16, 0);
    const BYTES start = {0x30}, end = {0x38};
    add_card(make_card(serial_of("ABC0001", 1),
                       cat({ldid("ABC0101"), length24, upper24, length32, upper32,
                            ldid("ABC0102"), upper32,
                            // set 0 from the fixed one, set 1 from the first function that has
                            // a second one (the second function), sets 2 and 3 from none
                            ldid("ABC0103"), upper24, start, start, upper24, start, length24, end,
                            // the fixed one after the functions counts after each function's
                            ldid("ABC0104"), start, length24, start, end, upper24})));
    EXPECT_EQ(sim_card_devices(0), 4);
    const unsigned char mem24[4] = {0x42, 0x4A, 0x52, 0x5A}, mem32[4] = {0x7A, 0x84, 0x94, 0xA4};
    const unsigned char want24[4][4] = {{0, 1, 0, 0}, {0, 0, 0, 0}, {1, 1, 0, 0}, {0, 1, 0, 0}};
    const unsigned char want32[4][4] = {{0, 1, 0, 0}, {1, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}};
    for (short dev = 0; dev < 4; dev++)
        for (short k = 0; k < 4; k++) {
            EXPECT_EQ(sim_card_reg(0, dev, mem24[k]), want24[dev][k]) << "device " << dev << " set " << k;
            EXPECT_EQ(sim_card_reg(0, dev, mem32[k]), want32[dev][k]) << "device " << dev << " set " << k;
        }
    // Presets and writes keep the bit: set, where the descriptor decodes an upper limit; clear,
    // on an undeclared set.
    sim_preset_reg(0, 1, 0x7A, 0x06);
    EXPECT_EQ(sim_card_reg(0, 1, 0x7A), 0x07);
    sim_preset_reg(0, 1, 0x84, 0x07);
    EXPECT_EQ(sim_card_reg(0, 1, 0x84), 0x06);
    ASSERT_EQ(isolate_PNP(4), 1);
    key();
    wake_PNP(1);
    logdev_PNP(0);
    writereg_PNP(0x52, 0x03);  // undeclared 24-bit set 2
    writereg_PNP(0x4A, 0x00);  // upper-limit set 1
    EXPECT_EQ(sim_card_reg(0, 0, 0x52), 0x02);
    EXPECT_EQ(sim_card_reg(0, 0, 0x4A), 0x01);
}

TEST_F(SimCard, UndrivenPortsFloat) {
    EXPECT_EQ(port_in(0x203), 0xFF);
    sim_foreign_device(0x213);
    EXPECT_EQ(port_in(0x213), 0x00);
    EXPECT_EQ(port_in(0x20B), 0xFF);
    // A full bus refuses another card.
    for (int i = 0; i < 32; i++) EXPECT_GE(add_card(make_card(serial_of("ABC0001", i), {})), 0);
    EXPECT_EQ(add_card(make_card(serial_of("ABC0001", 99), {})), -1);
    sim_reset();
    EXPECT_EQ(sim_card_count(), 0);
    EXPECT_EQ(sim_clock(), 0u);
    EXPECT_EQ(port_in(0x213), 0xFF);
}

TEST_F(SimCard, BuiltinCardsAreWellFormed) {
    sim_add_builtin_cards();
    ASSERT_EQ(sim_card_count(), 2);
    EXPECT_EQ(sim_card_devices(0), 3);
    EXPECT_EQ(sim_card_devices(1), 1);
    ASSERT_EQ(isolate_PNP(4), 1);
    ASSERT_EQ(PNP_cards_len, 2);
    for (short csn = 1; csn <= 2; csn++) {
        ASSERT_EQ(loadcard_PNP(csn), 1);
        const CARD_TYP& r = PNP_cards[csn - 1];
        EXPECT_EQ(testserial_PNP(r.serial), r.serial[8]);
        unsigned char sum = 0;
        for (short i = 0; i < r.reslen; i++) sum += r.resdata[i];
        EXPECT_EQ(sum, 0) << r.vendor;
        EXPECT_EQ(r.resdata[r.reslen - 2], 0x79);
    }
    EXPECT_EQ(card_table(), "1:QXS3201:3 2:QXM3360:1");
    EXPECT_EQ(std::string(PNP_cards[0].devs[2].id), "QXS0003");
    EXPECT_EQ(PNP_cards[0].devs[2].mem[0].control, 0x01);
}

}  // namespace
