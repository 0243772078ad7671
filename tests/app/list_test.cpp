// velkor --list: what a card's registers and resource data say, narrowed by IDs, as text and as
// JSON that reads back with the same facts.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include <json-c/json.h>

#include "app/application.h"
#include "app/list.h"
#include "support/made_host.h"
#include "support/pnp_ids_env.h"
#include "support/program_fixture.h"
#include "support/run_program.h"
#include "support/sim_cards.h"

namespace {

BYTES ansi(const std::string& text) {
    BYTES item = {0x82, (unsigned char)text.size(), 0x00};
    item.insert(item.end(), text.begin(), text.end());
    return item;
}
BYTES compat(const char* id) {
    BYTES item = {0x1C};
    BYTES b = pnp_id(id);
    item.insert(item.end(), b.begin(), b.end());
    return item;
}

// A card with a name that is not valid text, a device with every kind of resource set in its
// registers, and a device left as it powered up.
const BYTES test_card = make_card(
    serial_of("QXS3201", 0x11223344),
    cat({ansi("Test\xFF card"), ldid("QXS0001"), compat("PNPb02f"), compat("PNP0600"), ansi("Dev\x01ice"),
         io_item(0x220, 0x280, 0x20, 16),
         {0x81, 9, 0, 0x04, 0x80, 0x0C, 0x80, 0x0D, 0x00, 0x08, 0x80, 0x00},  // 24-bit, upper limit
         {0x85, 17, 0, 0x00, 0x00, 0x00, 0x0E, 0x00, 0x00, 0x00, 0x0E, 0x00, 0x01, 0x00, 0x00, 0x00,
          0x00, 0x00, 0x01, 0x00},  // 32-bit, range length
         {0x23, 0x00, 0x02, 0x09},  // IRQ 9, high edge or low level
         {0x2A, 0x08, 0x00}, ldid("QXS0002")}));

class List : public ProgramTest {
protected:
    PNP_IDS_ENV names{test_pnp_ids()};
    static LIST list;
    // The test card on the bus with device 0 configured; the list read from it.
    void read() {
        add_card(test_card);
        const unsigned char regs[][2] = {
            {0x30, 0x01},                                             // active
            {0x60, 0x02}, {0x61, 0x40}, {0x62, 0x03}, {0x63, 0x00},   // I/O 0x240, 0x300
            {0x40, 0x0C}, {0x41, 0x80}, {0x43, 0x0D}, {0x44, 0x00},   // memory 0xC8000..0xCFFFF
            {0x76, 0x00}, {0x77, 0x0E}, {0x78, 0x00}, {0x79, 0x00},   // 32-bit memory 0xE0000,
            {0x7B, 0x00}, {0x7C, 0x01}, {0x7D, 0x00}, {0x7E, 0x00},   //   0x10000 bytes
            {0x70, 0x09}, {0x71, 0x01},                               // IRQ 9, low level
            {0x74, 0x03},                                             // DMA 3 (DMA 1: none)
        };
        for (auto& r : regs) sim_preset_reg(0, 0, r[0], r[1]);
        BUS_CARD cards[LIST_MAX_CARDS];
        const BUS_RUN run = {"list", "nothing listed", "listed as read"};
        short unloaded = -1;
        ASSERT_EQ(load_bus_cards(&run, cards, LIST_MAX_CARDS, &unloaded), 1);
        EXPECT_EQ(unloaded, 0);
        list_from_bus(cards, 1, &list);
        clean_APP();
    }
    static std::string text(short verbose) {
        FILE* f = tmpfile();
        list_print(f, &list, verbose, nullptr);
        return contents(f);
    }
    static std::string json(short verbose) {
        FILE* f = tmpfile();
        list_print_json(f, &list, verbose, nullptr);
        return contents(f);
    }
    static std::string contents(FILE* f) {
        std::string s;
        rewind(f);
        for (int c; (c = getc(f)) != EOF;) s += (char)c;
        fclose(f);
        return s;
    }
};
LIST List::list;

TEST_F(List, RegistersInTheKernelsConventions) {
    read();
    EXPECT_EQ(text(0),
              "Card 1: QXS3201 \"Test\xFF card\"\n"
              "\tVendor: Quixotic Systems\n"
              "\tSerial number: 11223344\n"
              "\tDevice 0: QXS0001 \"Dev?ice\"\n"
              "\t\tCompatible IDs: PNPb02f PNP0600\n"
              "\t\tActive: yes\n"
              // the I/O length from the descriptor that allows the base; none allows 0x300
              "\t\tResources: io 0x240-0x24f, io 0x300, mem 0xc8000-0xcffff, mem 0xe0000-0xeffff, "
              "irq 9 (low level), dma 3\n"
              "\tDevice 1: QXS0002\n"
              "\t\tActive: no\n"
              "\t\tResources: none\n");
    std::string verbose = text(1);
    EXPECT_NE(verbose.find("dma 3\n\t\tFixed: io 0x220-0x280 step 0x20 len 16, mem 0xc8000-0xd8000 "
                           "step 0x800 len 0x8000, mem 0xe0000 len 0x10000, irq 9 (high edge, low level), dma 3\n"),
              std::string::npos)
        << verbose;
}

TEST_F(List, IdsNarrowToCardsOrDevicesWithoutCase) {
    read();
    static LIST whole;
    whole = list;
    struct {
        std::vector<const char*> ids;
        short cards, devices;
    } cases[] = {
        {{"qxs3201"}, 1, 2},             // the vendor: the whole card
        {{"QXS0002"}, 1, 1},             // a device
        {{"pnp0600", "nothing"}, 1, 1},  // a compatible ID of device 0
        {{"PNPb02f", "QXS0002"}, 1, 2},
        {{"CTL0045"}, 0, 0},
        {{}, 1, 2},
    };
    for (auto& c : cases) {
        list = whole;
        EXPECT_EQ(list_narrow(&list, c.ids.data(), (short)c.ids.size()), c.cards);
        EXPECT_EQ(list.ncards ? list.cards[0].ndevs : 0, c.devices);
    }
    list = whole;
    const char* id = "QXS0002";
    list_narrow(&list, &id, 1);
    EXPECT_EQ(list.cards[0].devs[0].number, 1);
}

// The JSON reads back with the same facts, and a byte that is not text makes no invalid JSON.
TEST_F(List, JsonHoldsTheSameFacts) {
    read();
    std::string doc = json(1);
    json_object* root = json_tokener_parse(doc.c_str());
    ASSERT_NE(root, nullptr) << doc;
    json_object *cards, *card, *devs, *dev, *res, *v;
    ASSERT_TRUE(json_object_object_get_ex(root, "cards", &cards));
    ASSERT_EQ(json_object_array_length(cards), 1u);
    card = json_object_array_get_idx(cards, 0);
    json_object_object_get_ex(card, "name", &v);
    EXPECT_STREQ(json_object_get_string(v), "Test\xEF\xBF\xBD card");
    json_object_object_get_ex(card, "serial_number", &v);
    EXPECT_STREQ(json_object_get_string(v), "11223344");
    json_object_object_get_ex(card, "csn", &v);
    EXPECT_EQ(json_object_get_int(v), 1);
    ASSERT_TRUE(json_object_object_get_ex(card, "devices", &devs));
    ASSERT_EQ(json_object_array_length(devs), 2u);
    dev = json_object_array_get_idx(devs, 0);
    json_object_object_get_ex(dev, "active", &v);
    EXPECT_TRUE(json_object_get_boolean(v));
    json_object_object_get_ex(dev, "compatible_ids", &v);
    EXPECT_STREQ(json_object_get_string(json_object_array_get_idx(v, 1)), "PNP0600");
    ASSERT_TRUE(json_object_object_get_ex(dev, "resources", &res));
    ASSERT_EQ(json_object_array_length(res), 6u);
    const char* want[][3] = {{"io", "start", "576"},      {"io", "end", "768"},     {"mem", "end", "851967"},
                             {"mem", "bits", "32"},       {"irq", "trigger", "level"}, {"dma", "channel", "3"}};
    for (size_t i = 0; i < 6; i++) {
        json_object* r = json_object_array_get_idx(res, i);
        json_object_object_get_ex(r, "type", &v);
        EXPECT_STREQ(json_object_get_string(v), want[i][0]);
        ASSERT_TRUE(json_object_object_get_ex(r, want[i][1], &v)) << i;
        EXPECT_STREQ(json_object_get_string(v), want[i][2]) << i;
    }
    ASSERT_TRUE(json_object_object_get_ex(dev, "options", &v));
    json_object* fixed;
    ASSERT_TRUE(json_object_object_get_ex(v, "fixed", &fixed));
    EXPECT_EQ(json_object_array_length(fixed), 5u);
    json_object_object_get_ex(json_object_array_get_idx(fixed, 3), "types", &v);
    EXPECT_EQ(json_object_array_length(v), 2u);
    dev = json_object_array_get_idx(devs, 1);
    json_object_object_get_ex(dev, "name", &v);
    EXPECT_EQ(v, nullptr);  // null
    json_object_put(root);
}

// --plan --json of the six real cards holds every device, placed or not, and what was proven.
TEST(PlanJson, HoldsEveryDeviceOfTheRealCards) {
    PNP_IDS_ENV names(test_pnp_ids());
    std::vector<std::string> args = {"--plan", "--json"};
    int devices = 0, placed = 0;
    for (const char* name : {"azt1008-aztech-azt2320.hex", "csc4232-crystal-cs4232.hex",
                             "ctl00e4-creative-sb-awe64-ct4520.hex", "dlk2201-dlink-de220p.hex", "ess0968-ess-es968.hex",
                             "rtl8019-realtek-rtl8019as.hex"})
        args.insert(args.end(), {"--card", realcards_dir() + "/" + name});
    RUN_RESULT r = run_velkor(args);
    json_object* root = json_tokener_parse(r.out.c_str());
    ASSERT_NE(root, nullptr) << r.out;
    json_object *cards, *v;
    ASSERT_TRUE(json_object_object_get_ex(root, "cards", &cards));
    ASSERT_EQ(json_object_array_length(cards), 6u);
    for (size_t c = 0; c < 6; c++) {
        json_object* devs;
        ASSERT_TRUE(json_object_object_get_ex(json_object_array_get_idx(cards, c), "devices", &devs));
        for (size_t d = 0; d < json_object_array_length(devs); d++, devices++) {
            json_object* dev = json_object_array_get_idx(devs, d);
            ASSERT_TRUE(json_object_object_get_ex(dev, "placed", &v));
            bool is_placed = json_object_get_boolean(v);
            placed += is_placed;
            json_object *why, *active;
            json_object_object_get_ex(dev, "why", &why);
            json_object_object_get_ex(dev, "active", &active);
            // a reason for every device not placed, and for one placed but left inactive
            EXPECT_EQ(is_placed && json_object_get_boolean(active), why == nullptr);
        }
    }
    // AZT1008 4, CSC4232 4, CTL00e4 3, DLK2201 1, ESS0968 3, RTL8019 1
    EXPECT_EQ(devices, 16);
    json_object_object_get_ex(root, "devices", &v);
    EXPECT_EQ(json_object_get_int(v), 16);
    json_object_object_get_ex(root, "placed", &v);
    EXPECT_EQ(json_object_get_int(v), placed);
    EXPECT_EQ(placed, 14);  // the 8-bit DMA channels and the game port's ports run out
    json_object_object_get_ex(root, "proven", &v);
    EXPECT_TRUE(json_object_get_boolean(v));
    json_object_put(root);
    EXPECT_EQ(r.status, 1) << r.err;  // not every device placed, as without --json
}

}  // namespace

namespace {

// The kernel's ISA PnP driver manages the cards of tests/host/pc-sound: --list shows what the
// kernel shows, on either bus, and the port trap sees no port touched (no permission asked).
TEST(ListKernel, ShowsTheKernelsCardsAndTouchesNoPort) {
    PNP_IDS_ENV names(test_pnp_ids());
    setenv("VELKOR_SYSROOT", (std::string(VELKOR_SOURCE_DIR) + "/tests/host/pc-sound").c_str(), 1);
    const std::string want =
        "Card 1: CTL00e4 \"Creative SB AWE64 PnP\"\n"
        "\tVendor: Creative Technology Ltd\n"
        "\tDevice 0: CTL0031\n"
        "\t\tActive: yes\n"
        "\t\tResources: io 0x220-0x22f, io 0x330-0x331, io 0x388-0x38b, irq 5, dma 1, dma 5\n"
        "\t\tKernel driver in use: snd-sbawe\n"
        "\tDevice 1: CTL0021\n"
        "\t\tActive: no\n"
        "\t\tResources: none\n"
        "\tDevice 2: CTL7002\n"
        "\t\tCompatible IDs: PNPb02f\n"
        "\t\tActive: no\n"
        "\t\tResources: none\n"
        "\n"
        "Card 2: RTL8019 \"Realtek Plug & Play Ethernet Card\"\n"
        "\tVendor: Realtek Semiconductor Company Ltd\n"
        "\tDevice 0: RTL8019\n"
        "\t\tCompatible IDs: PNP80d6\n"
        "\t\tActive: yes\n"
        "\t\tResources: io 0x300-0x31f, irq 10\n"
        "\t\tKernel driver in use: ne\n";
    const std::string said =
        "velkor: list: the kernel's ISA PnP driver manages the cards; this is what it shows (no port was touched)\n";
    RUN_RESULT sim = run_velkor({"--sim", "--list"});
    EXPECT_EQ(sim.out, want);
    EXPECT_EQ(sim.err, said);
    EXPECT_EQ(sim.status, 0);

    char log[] = "/tmp/velkor-trap-log-XXXXXX";
    int fd = mkstemp(log);
    ASSERT_GE(fd, 0);
    close(fd);
    RUN_RESULT hw = run_trapped({"--sim", "--log", log}, {"--list"});
    std::string trace = slurp(log);
    remove(log);
    if (hw.status == 4) GTEST_SKIP() << "the port trap cannot trace: " << hw.err;
    EXPECT_EQ(hw.out, want);
    EXPECT_EQ(hw.err, said);
    EXPECT_EQ(hw.status, 0);
    EXPECT_EQ(trace.find("ioperm"), std::string::npos) << trace;
    EXPECT_EQ(trace.find("iopl"), std::string::npos) << trace;
    EXPECT_EQ(trace.find(" in "), std::string::npos) << trace;
    EXPECT_EQ(trace.find(" out "), std::string::npos) << trace;

    // -v adds the lines of the kernel's options file; the JSON holds the same facts.
    RUN_RESULT json = run_velkor({"--sim", "--list", "-v", "--json", "ctl0031"});
    unsetenv("VELKOR_SYSROOT");
    json_object* root = json_tokener_parse(json.out.c_str());
    ASSERT_NE(root, nullptr) << json.out;
    json_object *v, *cards, *dev;
    json_object_object_get_ex(root, "source", &v);
    EXPECT_STREQ(json_object_get_string(v), "kernel");
    json_object_object_get_ex(root, "cards", &cards);
    ASSERT_EQ(json_object_array_length(cards), 1u);
    json_object_object_get_ex(json_object_array_get_idx(cards, 0), "devices", &v);
    ASSERT_EQ(json_object_array_length(v), 1u);
    dev = json_object_array_get_idx(v, 0);
    json_object_object_get_ex(dev, "driver", &v);
    EXPECT_STREQ(json_object_get_string(v), "snd-sbawe");
    json_object_object_get_ex(dev, "resources", &v);
    EXPECT_EQ(json_object_array_length(v), 6u);
    ASSERT_TRUE(json_object_object_get_ex(dev, "options", &v));
    ASSERT_TRUE(json_object_object_get_ex(v, "kernel", &v));
    ASSERT_EQ(json_object_array_length(v), 4u);
    EXPECT_STREQ(json_object_get_string(json_object_array_get_idx(v, 2)), "irq 5 High-Edge");
    json_object_put(root);

    // The older procfs view tells the card and device numbers alone.
    setenv("VELKOR_SYSROOT", (std::string(VELKOR_SOURCE_DIR) + "/tests/host/pc-isapnp-proc").c_str(), 1);
    RUN_RESULT proc = run_velkor({"--sim", "--list"});
    unsetenv("VELKOR_SYSROOT");
    EXPECT_EQ(proc.out, "Card 1\n\tDevice 0\n\tDevice 1\n\nCard 2\n\tDevice 0\n");
    EXPECT_EQ(proc.err, said);
}

}  // namespace

namespace {

// What the kernel's view holds past the list's tables is counted and said, never dropped unsaid.
TEST_F(MadeHost, ListSaysWhatDoesNotFit) {
    std::string many;
    for (int i = 0; i < 30; i++) many += "irq " + std::to_string(i % 16) + "\n";
    for (int dev = 0; dev < 10; dev++) {
        char name[16];
        snprintf(name, sizeof name, "01:01.%02x", dev);
        write(std::string("sys/bus/pnp/devices/") + name + "/id", "ABC0001\n");
        if (dev == 0) write(std::string("sys/bus/pnp/devices/") + name + "/resources", "state = active\n" + many);
    }
    static LIST list;
    ASSERT_EQ(list_from_kernel(root.c_str(), &list), 1);
    ASSERT_EQ(list.ncards, 1);
    EXPECT_EQ(list.cards[0].ndevs, KPNP_MAXDEVS);
    EXPECT_EQ(list.cards[0].devs_more, 10 - KPNP_MAXDEVS);
    EXPECT_EQ(list.cards[0].devs[0].nres, LIST_MAX_RES);
    EXPECT_EQ(list.cards[0].devs[0].res_more, 30 - LIST_MAX_RES);
    char* text = nullptr;
    size_t len = 0;
    FILE* f = open_memstream(&text, &len);
    list_print(f, &list, 0, root.c_str());
    fclose(f);
    std::string out(text, len);
    free(text);
    EXPECT_NE(out.find(", irq 3, 10 more not read\n"), std::string::npos) << out;
    EXPECT_NE(out.find("\n\t(2 more logical devices not read)\n"), std::string::npos) << out;

    for (int card = 2; card <= 17; card++) {
        char name[16];
        snprintf(name, sizeof name, "01:%02x.00", card);
        write(std::string("sys/bus/pnp/devices/") + name + "/id", "ABC0001\n");
    }
    ASSERT_EQ(list_from_kernel(root.c_str(), &list), 17);
    EXPECT_EQ(list.ncards, KPNP_MAXCARDS);
    EXPECT_EQ(list.cards_more, 17 - KPNP_MAXCARDS);
}

}  // namespace
