// The structured reading of resource data: the real and the built-in cards, cut and malformed
// data, the bounds, and the queries the DEVICE SET warnings ask.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "pnp/resource_model.h"
#include "pnp/resources.h"
#include "sim/card_file.h"
#include "support/program_fixture.h"
#include "support/sim_cards.h"

namespace {

// One decoding at a time: a RES_CARD is too large for the stack.
RES_CARD decoded;

const char* const real_files[] = {
    "azt1008-aztech-azt2320.hex", "csc4232-crystal-cs4232.hex", "ctl00e4-creative-sb-awe64-ct4520.hex",
    "dlk2201-dlink-de220p.hex",   "ess0968-ess-es968.hex",      "rtl8019-realtek-rtl8019as.hex"};

// The resource data of a real card (its file without the serial identifier).
BYTES real_card(const char* file) {
    static unsigned char bytes[CARD_BYTES_MAX];
    char err[256];
    long n = read_card_file((realcards_dir() + "/" + file).c_str(), bytes, sizeof bytes, err, sizeof err);
    EXPECT_GT(n, 9) << err;
    return n > 9 ? BYTES(bytes + 9, bytes + n) : BYTES();
}

// Decodes a copy of data of exactly its size, so that the sanitizer sees a read past it.
short decode(const BYTES& data, RES_CARD* out = &decoded) {
    std::vector<unsigned char> copy(data);
    return res_decode(copy.empty() ? nullptr : copy.data(), (long)copy.size(), out);
}

// Decodes a real card, which must come out whole and well formed.
const RES_CARD& decode_real(const char* file) {
    EXPECT_EQ(decode(real_card(file)), 1) << file;
    EXPECT_EQ(decoded.truncated, 0);
    return decoded;
}

// The card's name, and each device's ID, name and the priorities of its dependent functions:
// "Card": ABC0001 "Audio" (0 1) ABC0002.
std::string outline(const RES_CARD& card) {
    std::string all = "\"" + std::string(card.name) + "\":";
    for (short d = 0; d < card.ndevices; d++) {
        const RES_DEVICE& dev = card.devices[d];
        all += std::string(" ") + dev.idtext + (dev.name[0] ? " \"" + std::string(dev.name) + "\"" : "");
        for (short f = 0; f < dev.nfunctions; f++)
            all += (f ? " " : " (") + std::to_string(dev.functions[f].priority);
        if (dev.nfunctions) all += ")";
    }
    return all;
}

// Every descriptor of configuration f in register order, in hexadecimal: I/O as min-max/align:len
// (fixed ones =base:len), IRQ mask/info, DMA mask/flags, memory min-max/align:len.
std::string config(const RES_DEVICE& dev, short f) {
    std::string all;
    char one[80];
    auto part = [&](const char* label, short kind) {
        if (res_count(&dev, f, kind)) all += std::string(all.empty() ? "" : "; ") + label;
        return res_count(&dev, f, kind);
    };
    for (short k = 0, n = part("io", RES_KIND_IO); k < n; k++) {
        const RES_IO* io = res_io_at(&dev, f, k);
        if (io->fixed)
            snprintf(one, sizeof one, " =%X:%u", io->min, io->len);
        else
            snprintf(one, sizeof one, " %X-%X/%X:%u", io->min, io->max, io->align, io->len);
        all += one;
    }
    for (short k = 0, n = part("irq", RES_KIND_IRQ); k < n; k++) {
        const RES_IRQ* irq = res_irq_at(&dev, f, k);
        snprintf(one, sizeof one, irq->has_info ? " %X/%X" : " %X", irq->mask, irq->info);
        all += one;
    }
    for (short k = 0, n = part("dma", RES_KIND_DMA); k < n; k++) {
        snprintf(one, sizeof one, " %X/%X", res_dma_at(&dev, f, k)->mask, res_dma_at(&dev, f, k)->flags);
        all += one;
    }
    for (short bits : {24, 32})
        for (short k = 0, n = part(bits == 24 ? "mem" : "mem32", bits == 24 ? RES_KIND_MEM : RES_KIND_MEM32);
             k < n; k++) {
            const RES_MEM* m = res_mem_at(&dev, bits, f, k);
            snprintf(one, sizeof one, " %s%lX-%lX/%lX:%lX", m->fixed ? "=" : "", m->min, m->max, m->align,
                     m->len);
            all += one;
        }
    return all;
}

// Small and large items for made-up data (io_item is in support/sim_cards.h).
BYTES irq_item(unsigned short mask, int info = -1) {
    if (info < 0) return {0x22, (unsigned char)mask, (unsigned char)(mask >> 8)};
    return {0x23, (unsigned char)mask, (unsigned char)(mask >> 8), (unsigned char)info};
}
BYTES le32(unsigned long v) {
    return {(unsigned char)v, (unsigned char)(v >> 8), (unsigned char)(v >> 16), (unsigned char)(v >> 24)};
}
const BYTES START_GOOD = {0x31, 0x00}, START_ACCEPTABLE = {0x31, 0x01}, END_DEP = {0x38}, END = {0x79, 0x00};

// What a card's DUMP shows, as outline and config give it.
struct CARD_FACTS {
    const char* outline;
    struct CONFIG {
        short dev, f;
        const char* config;
    };
    std::vector<CONFIG> configs;
};

void expect_facts(const RES_CARD& card, const CARD_FACTS& facts) {
    EXPECT_EQ(outline(card), facts.outline);
    for (const CARD_FACTS::CONFIG& c : facts.configs) {
        ASSERT_LT(c.dev, card.ndevices);
        EXPECT_EQ(config(card.devices[c.dev], c.f), c.config)
            << facts.outline << " device " << c.dev << " f " << c.f;
    }
}

// ---- The real cards and the built-in ones, against what DUMP prints for them

TEST(ResRealCards, DevicesFunctionsAndDescriptors) {
    // Start Dependent Functions without a priority byte are acceptable (1); names end at a NUL;
    // I/O of zero length is kept as it is.
    const CARD_FACTS facts[] = {
        {"\"AZT1008 PnP SOUND DEVICE\": AZT0500 \"IDE CDROM DISABLED\" (0) AZT1008 \"AUDIO\" (0 1 1 1 1) "
         "AZT2001 \"MPU401 MIDI\" (0 1 1) AZT3001 \"GAME PORT\" (0 1)",
         {{0, 0, "io 0-0/8:0 0-0/2:0; irq 0/1"},
          {1, 1, "io 220-240/20:16 388-388/8:8 534-608/D4:4; irq 620/1; dma B/8 B/8"},
          {1, 4, "io 100-3F0/10:16 100-3F8/8:8 100-FFC/4:4; irq 8E38/1; dma B/8"},
          {2, 1, "io 300-330/30:2; irq 8E38/1"}}},
        {"\"CS4232\": CSC0000 \"WSS/OPL/SB\" (0 1) CSC0001 \"GAME\" (0 1) CSC0002 \"CTRL\" CSC0003 \"MPU\" "
         "(0 1)",
         {{0, 0, "io 534-534/4:4 =388:4 =220:16; irq 20; dma 2/28 9/28"},
          {0, 1, "io 100-FFC/4:4 100-3FC/4:4 100-3F0/10:16; irq 9AA0; dma B/28"},
          {2, 0, "io 100-FF8/8:8"},
          {2, 1, ""},
          {3, 0, "io =330:2; irq 200"}}},
        {"\"Creative SB AWE64  PnP\": CTL0045 \"Audio\" (0 1 1 1 1 1 1 2) CTL7002 \"Game\" (0 1) "
         "CTL0022 \"WaveTable\" (0 1)",
         {{0, 0, "io 220-220/1:16 330-330/1:2 388-388/1:4; irq 20; dma 2/8 20/12"},
          {0, 3, "io 220-280/20:16; irq 6A0; dma B/8 E0/12"},
          {0, 7, "io 220-280/20:16 300-330/10:2 388-394/4:4; irq 6A0; dma B/8 E0/12"},
          {2, 1, "io 620-680/20:4"}}},
        {"\"D-Link DE-220P PnP ISA Card\": DLK2201", {{0, 0, "io 240-380/20:32; irq 9E28/1"}}},
        // The fixed I/O after End Dependent Functions comes after the function's base.
        {"\"ESS Plug and Play AudioDrive\": ESS0968 (1 1) PNPb02f PNP0600 (1 1 1)",
         {{0, 0, "io =220:16 =388:4 =330:2; irq 20; dma 2/0"},
          {0, 1, "io 220-250/10:16 =388:4 =330:2; irq 6A0; dma B/0"},
          {1, 0, "io =201:1"},
          {2, 2, "io =168:8; irq 600"}}},
        {"\"Realtek Plug & Play Ethernet Card\": RTL8019", {{0, 0, "io 220-380/20:32; irq 9E38/1"}}},
    };
    for (size_t i = 0; i < sizeof real_files / sizeof real_files[0]; i++)
        expect_facts(decode_real(real_files[i]), facts[i]);
    decode_real("csc4232-crystal-cs4232.hex");
    EXPECT_EQ(res_io_at(&decoded.devices[0], 1, 0)->info & RES_IO_16BIT_DECODE, RES_IO_16BIT_DECODE);
    EXPECT_EQ(res_io_at(&decoded.devices[0], 1, 1)->info & RES_IO_16BIT_DECODE, 0);
}

// The built-in cards, as DETECT reads them from the simulated bus.
class ResSampleCards : public ProgramTest {};

TEST_F(ResSampleCards, SoundCardAndModem) {
    sim_add_builtin_cards();
    ASSERT_EQ(isolate_PNP(4), 1);
    ASSERT_EQ(PNP_cards_len, 2);
    // The memory window: values 0xC800..0xDC00 are address bits 23..8, the length 0x40 counts
    // 256-byte units, the alignment bytes.
    const CARD_FACTS sound = {
        "\"QX SoundWave 32 PnP\": QXS0001 \"Audio\" (0 1) QXS0002 \"Game port\" (0 1) QXS0003 \"WaveSynth\"",
        {{0, 0, "io 220-220/1:16 330-330/1:2 388-388/1:4; irq 20; dma 2/8 20/16"},
         {0, 1, "io 220-280/20:16 300-330/30:2 388-388/1:4; irq 6A0; dma B/8 E0/16"},
         {1, 1, "io 200-208/8:8"},
         {2, 0, "io 620-680/20:4; mem C80000-DC0000/4000:4000"}}};
    const CARD_FACTS modem = {"\"QX Voice Modem 33.6\": QXM0336 \"Modem\" (1 1 1 1 2)",
                              {{0, 2, "io 3F8-3F8/1:8; irq 10"}, {0, 4, "io 100-3F8/8:8; irq 9EB8"}}};
    for (short csn = 1; csn <= 2; csn++) {
        ASSERT_EQ(loadcard_PNP(csn), 1);
        const CARD_TYP& card = PNP_cards[csn - 1];
        EXPECT_EQ(res_decode(card.resdata, card.reslen, &decoded), 1);
        expect_facts(decoded, std::string(card.vendor) == "QXS3201" ? sound : modem);
    }
}

// ---- Cut, malformed and oversized data

TEST(ResMalformed, EveryCutOfEveryRealCardIsReadUpToTheCut) {
    static RES_CARD whole, part;
    for (const char* file : real_files) {
        BYTES data = real_card(file);
        ASSERT_EQ(decode(data, &whole), 1) << file;
        for (size_t n = 0; n < data.size(); n++) {
            ASSERT_EQ(decode(BYTES(data.begin(), data.begin() + n), &part), 0) << file << " cut at " << n;
            EXPECT_EQ(part.cut, 1);
            ASSERT_LE(part.ndevices, whole.ndevices);
            for (short d = 0; d < part.ndevices; d++) {
                EXPECT_STREQ(part.devices[d].idtext, whole.devices[d].idtext);
                EXPECT_LE(part.devices[d].nfunctions, whole.devices[d].nfunctions);
            }
        }
    }
}

TEST(ResMalformed, CutItemsAreLeftOutAndWhatFollowsEndIsNotRead) {
    BYTES dev = cat({ldid("ABC0001"), io_item(0x220, 0x220, 1, 8)});
    // A large item running past the data, one with half its length, a small item cut short, an
    // End tag without its checksum, no End tag at all.
    const BYTES cuts[] = {{0x81, 0x09, 0x00, 0x01, 0x02}, {0x82, 0x05}, {0x47, 0x01, 0x30}, {0x79}, {}};
    for (const BYTES& cut : cuts) {
        EXPECT_EQ(decode(cat({dev, cut})), 0);
        EXPECT_EQ(decoded.cut, 1);
        EXPECT_EQ(config(decoded.devices[0], 0), "io 220-220/1:8");
    }
    // Anything after End, however malformed, is not looked at.
    EXPECT_EQ(decode(cat({dev, END, ldid("ABC0002"), {0x47, 0x01}})), 1);
    EXPECT_EQ(decoded.ndevices, 1);
    EXPECT_EQ(decode({}), 0);
    EXPECT_EQ(decoded.ndevices, 0);
}

TEST(ResMalformed, BadItemsAndOrderAreFlaggedButKept) {
    // An I/O item of 3 data bytes reads its missing bytes as 0, as DUMP shows it.
    EXPECT_EQ(decode(cat({ldid("ABC0001"), {0x43, 0x01, 0x20, 0x02}, END})), 0);
    EXPECT_EQ(decoded.malformed, 1);
    EXPECT_EQ(decoded.cut, 0);
    EXPECT_EQ(config(decoded.devices[0], 0), "io 220-0/0:0");
    // Resources before any Logical Device ID belong to no device.
    EXPECT_EQ(decode(cat({irq_item(0x20), ldid("ABC0001"), END})), 0);
    EXPECT_EQ(config(decoded.devices[0], 0), "");
    // End Dependent Functions without a start; functions never ended, before End or another device.
    const BYTES bad_order[] = {cat({ldid("ABC0001"), END_DEP, END}),
                               cat({ldid("ABC0001"), START_GOOD, irq_item(0x20), END}),
                               cat({ldid("ABC0001"), START_GOOD, ldid("ABC0002"), END})};
    for (const BYTES& data : bad_order) {
        EXPECT_EQ(decode(data), 0);
        EXPECT_EQ(decoded.malformed, 1);
        EXPECT_EQ(decoded.cut, 0);
    }
    EXPECT_EQ(decoded.ndevices, 2);
    // A Logical Device ID of 6 data bytes is as good as one of 5; names keep no control bytes and
    // no more than fits.
    BYTES name = {0x82, 200, 0x00, 'a', '\n', 'b'};
    for (int i = 3; i < 200; i++) name.push_back((unsigned char)('A' + i % 26));
    EXPECT_EQ(decode(cat({{0x16, 0x04, 0x43, 0x00, 0x01, 0x00, 0x00}, name, END})), 1);
    EXPECT_STREQ(decoded.devices[0].idtext, "ABC0001");
    EXPECT_EQ(std::string(decoded.devices[0].name).substr(0, 5), "a?bDE");
    EXPECT_EQ(strlen(decoded.devices[0].name), (size_t)RES_NAME_MAX - 1);
}

TEST(ResBounds, DevicesFunctionsAndDescriptorsBeyondTheBoundsAreCounted) {
    BYTES many;
    for (int d = 0; d < RES_MAX_DEVICES + 2; d++) many = cat({many, ldid("ABC0001"), irq_item(0x20)});
    EXPECT_EQ(decode(cat({many, END})), 1);
    EXPECT_EQ(decoded.ndevices, RES_MAX_DEVICES);
    EXPECT_EQ(decoded.truncated, 4);  // two devices and their IRQs

    BYTES functions = ldid("ABC0001");
    for (int f = 0; f < RES_MAX_FUNCTIONS + 1; f++)
        functions = cat({functions, START_ACCEPTABLE, irq_item(0x20)});
    EXPECT_EQ(decode(cat({functions, END_DEP, irq_item(0x80), END})), 1);
    EXPECT_EQ(decoded.devices[0].nfunctions, RES_MAX_FUNCTIONS);
    EXPECT_EQ(decoded.truncated, 2);
    EXPECT_EQ(config(decoded.devices[0], RES_MAX_FUNCTIONS - 1), "irq 20 80");  // after End DF: kept

    BYTES ios = ldid("ABC0001");
    for (int k = 0; k < PNP_IO_DESCS + 1; k++) ios = cat({ios, io_item(0x200, 0x200, 1, 8)});
    EXPECT_EQ(decode(cat({ios, irq_item(0x20), irq_item(0x40), irq_item(0x80), END})), 1);
    EXPECT_EQ(res_count(&decoded.devices[0], 0, RES_KIND_IO), PNP_IO_DESCS);
    EXPECT_EQ(res_count(&decoded.devices[0], 0, RES_KIND_IRQ), PNP_IRQ_DESCS);
    EXPECT_EQ(decoded.truncated, 2);
}

// ---- The queries

// A query's answer, the length it gave (when not 0) and its text as one string, such as
// "fits len 0x10: I/O 0x0220" or "no: offers no IRQ".
std::string said(short fits, unsigned long len, const char* text) {
    char head[40];
    snprintf(head, sizeof head, len ? "%s len 0x%lX: " : "%s: ", fits ? "fits" : "no", len);
    return head + std::string(text);
}
char text[120];
std::string io(const RES_DEVICE* dev, short index, unsigned short base) {
    unsigned short len = 99;
    short fits = res_io_fits(dev, index, base, &len, text, sizeof text);
    return said(fits, len, text);
}
std::string mem(const RES_DEVICE* dev, short bits, short index, unsigned long base) {
    unsigned long len = 99;
    short fits = res_mem_fits(dev, bits, index, base, &len, text, sizeof text);
    return said(fits, len, text);
}
std::string irq(const RES_DEVICE* dev, short i, unsigned level) {
    return said(res_irq_fits(dev, i, level, text, sizeof text), 0, text);
}
std::string dma(const RES_DEVICE* dev, short i, unsigned ch) {
    return said(res_dma_fits(dev, i, ch, text, sizeof text), 0, text);
}
std::string irq_type(const RES_DEVICE* dev, unsigned level, unsigned type) {
    return said(res_irq_type_fits(dev, 0, level, type, text, sizeof text), 0, text);
}
const unsigned char HIGH_EDGE = PNP_IRQ_HIGH, LOW_EDGE = 0,
                    HIGH_LEVEL = PNP_IRQ_HIGH | PNP_IRQ_LEVEL_TRIGGERED, LOW_LEVEL = PNP_IRQ_LEVEL_TRIGGERED;

TEST(ResQueries, IoBasesPerDescriptor) {
    decode_real("ctl00e4-creative-sb-awe64-ct4520.hex");
    const RES_DEVICE* audio = &decoded.devices[0];
    const std::string first = "I/O 0x0220, 0x0220-0x0280 step 0x20";
    EXPECT_EQ(io(audio, 0, 0x240), "fits len 0x10: " + first);
    EXPECT_EQ(io(audio, 0, 0x230), "no: " + first);  // not on a step
    EXPECT_EQ(io(audio, 0, 0x2A0), "no: " + first);  // past the maximum
    // The second descriptor: 0x310 only on the last function's step of 0x10.
    EXPECT_EQ(io(audio, 1, 0x310),
              "fits len 0x2: I/O 0x0330, 0x0300-0x0330 step 0x30, 0x0300-0x0330 step 0x10");
    // A base the device offers, but at another descriptor; any descriptor; one there is not.
    EXPECT_EQ(res_io_fits(audio, 1, 0x220, nullptr, nullptr, 0), 0);
    EXPECT_EQ(res_io_fits(audio, -1, 0x220, nullptr, nullptr, 0), 1);
    EXPECT_EQ(io(audio, 3, 0x220), "no: offers only 3 I/O descriptors");
    EXPECT_EQ(io(audio, 3, 0), "fits: offers only 3 I/O descriptors");  // 0: not used
    // Fixed I/O after End Dependent Functions is the second and third descriptor of each.
    decode_real("ess0968-ess-es968.hex");
    EXPECT_EQ(io(&decoded.devices[0], 1, 0x388), "fits len 0x4: I/O 0x0388");
    EXPECT_EQ(io(&decoded.devices[0], 1, 0x38C), "no: I/O 0x0388");
    EXPECT_EQ(io(&decoded.devices[0], 2, 0x330), "fits len 0x2: I/O 0x0330");
    // The text is cut to its buffer.
    memset(text, 'x', sizeof text);
    res_io_fits(&decoded.devices[0], 0, 0x220, nullptr, text, 9);
    EXPECT_EQ(std::string(text, 10), std::string("I/O 0x02\0x", 10));
}

// The descriptor that allows a base: the one res_io_fits takes the length from, and what it
// decodes.
TEST(ResQueries, TheIoDescriptorThatAllowsABase) {
    const BYTES io10 = {0x47, 0x00, 0x00, 0x02, 0x80, 0x02, 0x20, 0x08};  // 0x200-0x280 step 0x20, 8 ports
    const BYTES fixed = {0x4B, 0x88, 0x03, 0x04};                         // fixed 0x388, 4 ports
    ASSERT_EQ(decode(cat({ldid("ABC0001"), START_GOOD, io_item(0x220, 0x280, 0x20, 16), START_ACCEPTABLE,
                          io10, END_DEP, fixed, END})),
              1);
    const RES_DEVICE* dev = &decoded.devices[0];
    // 0x220 is allowed by both functions: the first is the one, 16 ports with 16 bits.
    const RES_IO* io = res_io_allowing(dev, 0, 0x220);
    ASSERT_NE(io, nullptr);
    EXPECT_EQ(io->len, 16);
    EXPECT_EQ(io->info & RES_IO_16BIT_DECODE, RES_IO_16BIT_DECODE);
    io = res_io_allowing(dev, 0, 0x200);
    ASSERT_NE(io, nullptr);
    EXPECT_EQ(io->len, 8);
    EXPECT_EQ(io->info & RES_IO_16BIT_DECODE, 0);
    io = res_io_allowing(dev, -1, 0x388);
    ASSERT_NE(io, nullptr);
    EXPECT_EQ(io->fixed, 1);
    EXPECT_EQ(io->info, 0);
    EXPECT_EQ(res_io_allowing(dev, 1, 0x388), io);
    // Not at that index, not on a step, beyond the descriptors, not used.
    EXPECT_EQ(res_io_allowing(dev, 1, 0x220), nullptr);
    EXPECT_EQ(res_io_allowing(dev, 0, 0x230), nullptr);
    EXPECT_EQ(res_io_allowing(dev, 2, 0x388), nullptr);
    EXPECT_EQ(res_io_allowing(dev, 0, 0), nullptr);
    // Everywhere it answers as res_io_fits does: allowed exactly when it fits (0 apart), with
    // its length.
    for (short index = -1; index <= 2; index++)
        for (unsigned long base = 0; base <= 0xFFFF; base++) {
            unsigned short len = 99;
            short fits = res_io_fits(dev, index, (unsigned short)base, &len, nullptr, 0);
            io = res_io_allowing(dev, index, (unsigned short)base);
            ASSERT_EQ(io != nullptr, fits && base != 0) << index << " " << base;
            ASSERT_EQ(len, io ? io->len : 0) << index << " " << base;
        }
}

TEST(ResQueries, IrqLevelsAndDmaChannels) {
    decode_real("ctl00e4-creative-sb-awe64-ct4520.hex");
    const RES_DEVICE* audio = &decoded.devices[0];
    // Gathered over every function, each once and ascending.
    EXPECT_EQ(irq(audio, 0, 7), "fits: IRQ 5 7 9 10");
    EXPECT_EQ(irq(audio, 0, 11), "no: IRQ 5 7 9 10");
    EXPECT_EQ(irq(audio, 0, 37), "no: IRQ 5 7 9 10");
    EXPECT_EQ(irq(audio, 1, 5), "no: offers only 1 IRQ descriptor");
    EXPECT_EQ(irq(&decoded.devices[1], 0, 5), "no: offers no IRQ");
    EXPECT_EQ(irq(&decoded.devices[1], 0, 0), "fits: offers no IRQ");  // 0: none
    EXPECT_EQ(dma(audio, 0, 3), "fits: DMA 0 1 3");
    EXPECT_EQ(dma(audio, 0, 5), "no: DMA 0 1 3");
    EXPECT_EQ(dma(audio, 1, 6), "fits: DMA 5 6 7");
    EXPECT_EQ(dma(audio, 1, 4), "fits: DMA 5 6 7");  // 4: no channel
    EXPECT_EQ(dma(audio, -1, 0), "fits: DMA 0 1 3 5 6 7");
    EXPECT_EQ(dma(&decoded.devices[1], 0, 1), "no: offers no DMA");
}

TEST(ResQueries, IrqTypesOfferedAndTheirKeywords) {
    // Without an information byte only high-true edge is offered.
    decode_real("csc4232-crystal-cs4232.hex");
    EXPECT_EQ(irq_type(&decoded.devices[0], 5, HIGH_EDGE), "fits: HIGH EDGE");
    EXPECT_EQ(irq_type(&decoded.devices[0], 5, LOW_EDGE), "no: HIGH EDGE");
    EXPECT_EQ(irq_type(&decoded.devices[0], 0, LOW_LEVEL), "fits: HIGH EDGE");  // no IRQ: any type
    // Function 0 offers level 5 high edge, function 1 level 7 low edge or low level; an
    // information byte that offers no type reads as high edge.
    ASSERT_EQ(decode(cat({ldid("ABC0001"), START_GOOD, irq_item(1 << 5, 0x01), START_ACCEPTABLE,
                          irq_item(1 << 7, 0x0A), START_ACCEPTABLE, irq_item(1 << 3, 0x00), END_DEP, END})),
              1);
    const RES_DEVICE* dev = &decoded.devices[0];
    EXPECT_EQ(irq_type(dev, 7, LOW_LEVEL), "fits: LOW EDGE or LOW LEVEL");
    EXPECT_EQ(irq_type(dev, 7, LOW_EDGE), "fits: LOW EDGE or LOW LEVEL");
    EXPECT_EQ(irq_type(dev, 7, HIGH_EDGE), "no: LOW EDGE or LOW LEVEL");  // high edge only with 5 and 3
    EXPECT_EQ(irq_type(dev, 5, HIGH_EDGE | 0xF0), "fits: HIGH EDGE");
    EXPECT_EQ(irq_type(dev, 3, HIGH_EDGE), "fits: HIGH EDGE");
    // A level no descriptor offers is held against every descriptor's types.
    EXPECT_EQ(irq_type(dev, 9, HIGH_EDGE), "fits: HIGH EDGE or LOW EDGE or LOW LEVEL");
    EXPECT_EQ(irq_type(dev, 9, HIGH_LEVEL), "no: HIGH EDGE or LOW EDGE or LOW LEVEL");
    // No IRQ descriptor: nothing to hold the type against.
    ASSERT_EQ(decode(cat({ldid("ABC0001"), END})), 1);
    EXPECT_EQ(irq_type(&decoded.devices[0], 5, LOW_EDGE), "fits: offers no IRQ");
}

TEST(ResQueries, MemoryBasesTwentyFourAndThirtyTwoBit) {
    BYTES mem24 = {0x81, 0x09, 0x00, 0x15, 0x80, 0x0C, 0xC0, 0x0D, 0x00, 0x40, 0x40, 0x00};  // C8000-DC000
    BYTES mem32 =
        cat({{0x85, 0x11, 0x00, 0x06}, le32(0x100000), le32(0x1F0000), le32(0x10000), le32(0x8000)});
    BYTES fixed32 = cat({{0x86, 0x09, 0x00, 0x06}, le32(0xE0000000ul), le32(0x1000)});
    BYTES align0 = {0x81, 0x09, 0x00, 0x00, 0x00, 0x01, 0x00, 0x03, 0x00, 0x00, 0x01, 0x00};  // 0: 0x10000
    ASSERT_EQ(decode(cat({ldid("ABC0001"), mem24, mem32, fixed32, ldid("ABC0002"), align0, END})), 1);
    const RES_DEVICE* dev = &decoded.devices[0];
    EXPECT_EQ(config(*dev, 0),
              "mem C8000-DC000/4000:4000; mem32 100000-1F0000/10000:8000 =E0000000-E0000000/1:1000");
    // 24-bit values are address bits 23..8; only 16 bits count.
    const std::string range = "memory 0x0C8000-0x0DC000 step 0x4000";
    EXPECT_EQ(mem(dev, 24, 0, 0xD00), "fits len 0x4000: " + range);
    EXPECT_EQ(mem(dev, 24, 0, 0xCA0), "no: " + range);  // not on a step
    EXPECT_EQ(mem(dev, 24, 0, 0xE00), "no: " + range);
    EXPECT_EQ(mem(dev, 24, 0, 0x10C80), "fits len 0x4000: " + range);
    EXPECT_EQ(mem(dev, 24, 0, 0), "fits: " + range);
    EXPECT_EQ(mem(dev, 24, 1, 0xD00), "no: offers only 1 memory descriptor");
    const std::string range32 = "32-bit memory 0x00100000-0x001F0000 step 0x10000";
    EXPECT_EQ(mem(dev, 32, 0, 0x1F0000), "fits len 0x8000: " + range32);
    EXPECT_EQ(mem(dev, 32, 0, 0x108000), "no: " + range32);
    EXPECT_EQ(mem(dev, 32, 1, 0xE0000000ul), "fits len 0x1000: 32-bit memory 0xE0000000");
    EXPECT_EQ(mem(dev, 32, 1, 0xE0001000ul), "no: 32-bit memory 0xE0000000");
    dev = &decoded.devices[1];
    EXPECT_EQ(mem(dev, 24, 0, 0x200), "fits len 0x100: memory 0x010000-0x030000 step 0x10000");
    EXPECT_EQ(mem(dev, 24, 0, 0x180), "no: memory 0x010000-0x030000 step 0x10000");
    EXPECT_EQ(mem(dev, 32, 0, 0x10000), "no: offers no 32-bit memory");
}

}  // namespace
