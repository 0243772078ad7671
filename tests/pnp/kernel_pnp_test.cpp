// The kernel's ISA PnP cards: the sysfs and procfs layouts of the machines of tests/host, a copy
// of sysfs made by following links, and made trees with more cards than are kept.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <sys/stat.h>

#include "pnp/kernel_pnp.h"
#include "support/made_host.h"

namespace {

TEST(KernelPnp, SysfsLayoutNamesCardsDevicesAndDrivers) {
    KERNEL_PNP k;
    ASSERT_EQ(kernel_pnp_read(machine("pc-sound").c_str(), &k), 2);
    EXPECT_EQ(k.source, KPNP_SYSFS);
    ASSERT_EQ(k.kept, 2);
    EXPECT_STREQ(k.cards[0].id, "CTL00e4");
    ASSERT_EQ(k.cards[0].ndevs, 3);
    const char* ids[] = {"CTL0031", "CTL0021", "CTL7002"};
    const char* drivers[] = {"snd-sbawe", "", ""};
    for (short i = 0; i < 3; i++) {
        EXPECT_EQ(k.cards[0].devs[i].number, i);
        EXPECT_STREQ(k.cards[0].devs[i].id, ids[i]);
        EXPECT_STREQ(k.cards[0].devs[i].driver, drivers[i]);
    }
    EXPECT_EQ(k.cards[1].number, 2);
    EXPECT_STREQ(k.cards[1].id, "RTL8019");
    EXPECT_STREQ(k.cards[1].devs[0].driver, "ne");

    char lines[4][HOST_TEXT_SIZE];
    ASSERT_EQ(kernel_pnp_warnings(machine("pc-sound").c_str(), lines, 4), 3);
    EXPECT_STREQ(lines[0],
                 "the kernel's ISA PnP driver manages 2 cards (CTL00e4, RTL8019); ISOLATE renumbers them");
    EXPECT_STREQ(lines[1],
                 "device CTL0031 of card CTL00e4 is bound to driver snd-sbawe: DEVICE SET moves its "
                 "resources under it");
    EXPECT_STREQ(
        lines[2],
        "device RTL8019 of card RTL8019 is bound to driver ne: DEVICE SET moves its resources under it");
    EXPECT_EQ(kernel_pnp_warnings(machine("pc-sound").c_str(), lines, 1), 1);
    EXPECT_EQ(kernel_pnp_warnings(machine("pc-sound").c_str(), lines, 0), 0);
}

TEST(KernelPnp, ProcfsLayoutCountsCardsWithoutNames) {
    KERNEL_PNP k;
    ASSERT_EQ(kernel_pnp_read(machine("pc-isapnp-proc").c_str(), &k), 2);
    EXPECT_EQ(k.source, KPNP_PROCFS);
    EXPECT_EQ(k.cards[0].ndevs, 2);
    EXPECT_EQ(k.cards[1].ndevs, 1);
    char lines[4][HOST_TEXT_SIZE];
    ASSERT_EQ(kernel_pnp_warnings(machine("pc-isapnp-proc").c_str(), lines, 4), 1);
    EXPECT_STREQ(lines[0],
                 "the kernel's ISA PnP driver manages 2 cards (card 1, card 2); ISOLATE renumbers them");

    for (const char* none : {"pc-serial", "unprivileged"}) {
        EXPECT_EQ(kernel_pnp_read(machine(none).c_str(), &k), 0) << none;
        EXPECT_EQ(k.source, KPNP_NONE);
        EXPECT_EQ(kernel_pnp_warnings(machine(none).c_str(), lines, 4), 0);
    }
    EXPECT_EQ(kernel_pnp_warnings(nullptr, lines, 4), 0);
}

TEST_F(MadeHost, KernelCardsBeyondTheTableAndMissingFiles) {
    // Plain directories, no card_id above them, one without an id file; an ACPI device; then
    // more cards than are kept, each with more devices than are kept.
    write("sys/bus/pnp/devices/01:0a.00/id", "ABC1234\n");
    write("sys/bus/pnp/devices/01:0b.00/uevent", "");
    write("sys/bus/pnp/devices/00:0a/id", "PNP0c02\n");
    link("/nonexistent/drivers/long-driver-name-that-is-cut-here", "sys/bus/pnp/devices/01:0b.00/driver");
    KERNEL_PNP k;
    ASSERT_EQ(kernel_pnp_read(root.c_str(), &k), 2);
    EXPECT_STREQ(k.cards[0].id, "card 10");
    EXPECT_STREQ(k.cards[0].devs[0].id, "ABC1234");
    EXPECT_STREQ(k.cards[1].devs[0].id, "01:0b.00");
    EXPECT_STREQ(k.cards[1].devs[0].driver, "long-driver-name-that-is-cut-he");

    for (int card = 0x20; card < 0x34; card++)
        for (int dev = 0; dev < 10; dev++) {
            char name[16];
            snprintf(name, sizeof name, "01:%02x.%02x", card, dev);
            write(std::string("sys/bus/pnp/devices/") + name + "/id", "XYZ0001\n");
        }
    ASSERT_EQ(kernel_pnp_read(root.c_str(), &k), 22);
    EXPECT_EQ(k.kept, KPNP_MAXCARDS);
    EXPECT_EQ(k.cards[KPNP_MAXCARDS - 1].number, 0x2d);
    EXPECT_EQ(k.cards[2].ndevs, KPNP_MAXDEVS);
    EXPECT_EQ(k.cards[2].devs[KPNP_MAXDEVS - 1].number, KPNP_MAXDEVS - 1);
    char lines[2][HOST_TEXT_SIZE];
    ASSERT_EQ(kernel_pnp_warnings(root.c_str(), lines, 2), 2);
    EXPECT_NE(strstr(lines[0], "manages 22 cards (card 10, card 11, card 32,"), nullptr) << lines[0];
    EXPECT_NE(strstr(lines[0], "card 45, ...); ISOLATE renumbers them"), nullptr) << lines[0];
}

// A copy of sysfs made by following its links (cp -rL) has device directories of their own, no
// driver links, and card directories elsewhere: the same cards, ids and drivers are found.
TEST_F(MadeHost, SysfsCopiedByFollowingLinks) {
    namespace fs = std::filesystem;
    fs::copy(machine("pc-sound") + "/sys", root + "/sys",
             fs::copy_options::recursive | fs::copy_options::copy_symlinks);
    for (const char* dev : {"01:01.00", "01:01.01", "01:01.02", "01:02.00"}) {
        std::string entry = root + "/sys/bus/pnp/devices/" + dev;
        fs::remove(entry);
        fs::create_directories(entry);
    }
    write("sys/bus/pnp/devices/01:01.00/id", "CTL0031\n");
    write("sys/bus/pnp/devices/01:01.01/id", "CTL0021\n");
    write("sys/bus/pnp/devices/01:02.00/id", "RTL8019\n");
    char lines[4][HOST_TEXT_SIZE];
    char want[4][HOST_TEXT_SIZE];
    ASSERT_EQ(kernel_pnp_warnings(machine("pc-sound").c_str(), want, 4), 3);
    ASSERT_EQ(kernel_pnp_warnings(root.c_str(), lines, 4), 3);
    for (short i = 0; i < 3; i++) EXPECT_STREQ(lines[i], want[i]);
}

TEST_F(MadeHost, ProcfsServesWhenSysfsHasNoIsaPnpDevice) {
    write("sys/bus/pnp/devices/00:0a/id", "PNP0c02\n");
    write("proc/bus/isapnp/01/00", "");
    write("proc/bus/isapnp/01/zz", "");
    write("proc/bus/isapnp/1/00", "");
    write("proc/bus/isapnp/devices", "");
    char lines[2][HOST_TEXT_SIZE];
    ASSERT_EQ(kernel_pnp_warnings(root.c_str(), lines, 2), 1);
    EXPECT_STREQ(lines[0], "the kernel's ISA PnP driver manages 1 card (card 1); ISOLATE renumbers them");
}

// Only directories, or links to them, are devices: a FIFO (never opened: it would wait for a
// writer), a regular file, a link loop and a dangling link named as devices are not cards.
// FIFOs where the driver and card directories are looked for are passed over too.
TEST_F(MadeHost, OnlyDirectoriesAreKernelDevices) {
    namespace fs = std::filesystem;
    write("sys/bus/pnp/devices/01:05.00/id", "GEN0001\n");
    write("sys/bus/pnp/devices/01:03.00", "not a device\n");
    write("sys/bus/pnp/drivers/plain/uevent", "");
    write("sys/devices/pnp1/01:05/card_id", "GEN00e4\n");
    fs::create_directories(root + "/proc/bus/isapnp");
    for (const char* fifo : {"sys/bus/pnp/devices/01:02.00", "sys/bus/pnp/drivers/fifo", "sys/devices/pnp0",
                             "proc/bus/isapnp/03"})
        ASSERT_EQ(mkfifo((root + "/" + fifo).c_str(), 0600), 0) << fifo;
    fs::create_symlink("01:04.00", root + "/sys/bus/pnp/devices/01:04.00");
    fs::create_symlink("/nonexistent/01:06.00", root + "/sys/bus/pnp/devices/01:06.00");
    char lines[2][HOST_TEXT_SIZE];
    ASSERT_EQ(kernel_pnp_warnings(root.c_str(), lines, 2), 1);
    EXPECT_STREQ(lines[0], "the kernel's ISA PnP driver manages 1 card (GEN00e4); ISOLATE renumbers them");

    // without the genuine device, nothing is left of sysfs, nor of the FIFO in procfs
    fs::remove_all(root + "/sys/bus/pnp/devices/01:05.00");
    KERNEL_PNP k;
    EXPECT_EQ(kernel_pnp_read(root.c_str(), &k), 0);
    EXPECT_EQ(k.source, KPNP_NONE);
}

// A copy of sysfs made by following links on a machine of 16 cards of 256 devices and 3,000
// drivers: one read opens each driver directory once, not once a device (that took 15 s).
TEST_F(MadeHost, ThousandsOfDevicesAndDriversAreReadInOnePass) {
#ifdef VELKOR_SANITIZED
    const double limit = 5.0;  // the sanitizers slow each of the 7,000 directory reads, two tests at a time
#else
    const double limit = 1.0;
#endif
    char name[16], rel[96];
    for (int card = 0; card < 16; card++) {
        snprintf(rel, sizeof rel, "sys/devices/pnp1/01:%02x/card_id", card);
        snprintf(name, sizeof name, "CRD%04x\n", card);
        write(rel, name);
        for (int dev = 0; dev < 256; dev++) {
            snprintf(rel, sizeof rel, "sys/bus/pnp/devices/01:%02x.%02x/id", card, dev);
            snprintf(name, sizeof name, "DEV%02x%02x\n", card, dev);
            write(rel, name);
        }
    }
    for (int d = 0; d < 3000; d++) {
        snprintf(rel, sizeof rel, "sys/bus/pnp/drivers/drv%04d/uevent", d);
        write(rel, "");
    }
    // kept devices; one past its card's table, and one of another protocol
    for (const char* entry : {"drv0007/01:00.03", "drv2999/01:0f.07", "drv1500/01:05.00", "drv1500/01:05.01",
                              "drv0100/01:03.80", "drv0200/02:04.00"})
        write(std::string("sys/bus/pnp/drivers/") + entry, "");

    KERNEL_PNP k;
    auto start = std::chrono::steady_clock::now();
    short n = kernel_pnp_read(root.c_str(), &k);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(seconds, limit);
    ASSERT_EQ(n, 16);
    ASSERT_EQ(k.kept, 16);
    std::string bound;
    for (short i = 0; i < k.kept; i++) {
        const KERNEL_PNP_CARD& c = k.cards[i];
        snprintf(name, sizeof name, "CRD%04x", i);
        EXPECT_STREQ(c.id, name);
        ASSERT_EQ(c.ndevs, KPNP_MAXDEVS);
        for (short j = 0; j < c.ndevs; j++) {
            EXPECT_EQ(c.devs[j].number, j);
            snprintf(name, sizeof name, "DEV%02x%02x", i, j);
            EXPECT_STREQ(c.devs[j].id, name);
            if (c.devs[j].driver[0]) bound += std::string(c.devs[j].id) + "=" + c.devs[j].driver + " ";
        }
    }
    EXPECT_EQ(bound, "DEV0003=drv0007 DEV0500=drv1500 DEV0501=drv1500 DEV0f07=drv2999 ");
}

}  // namespace
