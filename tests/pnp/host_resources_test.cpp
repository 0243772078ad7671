// Host resources: holders of ports, memory, IRQs and DMA channels in the machines of tests/host,
// made files that are malformed or huge, the tables that read each file once, the held ranges
// the planner asks about, and the root rule.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "pnp/host_files.h"
#include "pnp/host_resources.h"
#include "pnp/kernel_pnp.h"
#include "shell/memory.h"
#include "support/made_host.h"

namespace {

// The conflict text of one query: kind 'i' I/O, 'm' memory, 'q' IRQ, 'd' DMA; "" when none.
std::string conflict(const std::string& root, char kind, unsigned long lo, unsigned long hi = 0) {
    char text[HOST_TEXT_SIZE] = "left";
    short r = 0;
    switch (kind) {
    case 'i': r = host_io_conflict(root.c_str(), lo, hi, text, sizeof text); break;
    case 'm': r = host_mem_conflict(root.c_str(), lo, hi, text, sizeof text); break;
    case 'q': r = host_irq_conflict(root.c_str(), (short)lo, text, sizeof text); break;
    case 'd': r = host_dma_conflict(root.c_str(), (short)lo, text, sizeof text); break;
    }
    EXPECT_EQ(r, text[0] ? 1 : 0) << text;
    return text;
}

struct CASE {
    const char* machine;
    char kind;
    unsigned long lo, hi;
    const char* text;
};

const CASE cases[] = {
    // In use, nested below the PCI window, and named with the range asked about.
    {"pc-serial", 'i', 0x3f8, 0x3ff, "I/O 0x03F8-0x03FF is in use by serial (/proc/ioports)"},
    {"pc-serial", 'i', 0x2f0, 0x2fb, "I/O 0x02F0-0x02FB is in use by serial (/proc/ioports)"},
    {"pc-serial", 'i', 0x60, 0x60, "I/O 0x0060 is in use by keyboard (/proc/ioports)"},
    {"pc-serial", 'i', 0x177, 0x170, "I/O 0x0170-0x0177 is in use by ata_piix (/proc/ioports)"},
    {"pc-serial", 'i', 0x404, 0x405, "I/O 0x0404-0x0405 is in use by ACPI PM1a_CNT_BLK (/proc/ioports)"},
    {"pc-serial", 'i', 0x410, 0x41f, "I/O 0x0410-0x041F is in use by pnp 00:09 (/proc/ioports)"},
    {"pc-serial", 'i', 0xd000, 0xd007, "I/O 0xD000-0xD007 is in use by 0000:01:00.0 (/proc/ioports)"},
    // Only bus windows there.
    {"pc-serial", 'i', 0x300, 0x31f, ""},
    {"pc-serial", 'i', 0xd100, 0xd1ff, ""},
    {"pc-serial", 'i', 0x220, 0x22f, ""},
    // The ISA PnP interface's own ports hold nothing; a real holder beside them still does.
    {"pc-sound", 'i', 0x208, 0x20f, ""},
    {"pc-sound", 'i', 0x279, 0x279, ""},
    {"pc-sound", 'i', 0xa79, 0xa79, ""},
    {"pc-sound", 'i', 0x20b, 0x220, "I/O 0x020B-0x0220 is in use by soundblaster (/proc/ioports)"},
    {"pc-sound", 'i', 0x388, 0x38b, "I/O 0x0388-0x038B is in use by OPL3 (/proc/ioports)"},
    {"pc-sound", 'i', 0x240, 0x24f, ""},
    {"pc-serial", 'm', 0xc8000, 0xcbfff,
     "memory 0x000C8000-0x000CBFFF is in use by Adapter ROM (/proc/iomem)"},
    {"pc-serial", 'm', 0xa0000, 0xa0fff,
     "memory 0x000A0000-0x000A0FFF is in use by Video RAM area (/proc/iomem)"},
    {"pc-serial", 'm', 0xf0000, 0xf7fff,
     "memory 0x000F0000-0x000F7FFF is in use by System ROM (/proc/iomem)"},
    {"pc-serial", 'm', 0x1000000, 0x1000fff,
     "memory 0x01000000-0x01000FFF is in use by Kernel code (/proc/iomem)"},
    {"pc-serial", 'm', 0xfec00000, 0xfec003ff,
     "memory 0xFEC00000-0xFEC003FF is in use by IOAPIC 0 (/proc/iomem)"},
    {"pc-serial", 'm', 0xd0000, 0xd3fff, ""},
    {"pc-sound", 'm', 0xd0000, 0xd3fff, ""},
    // Newer rows: counts of two CPUs, the chip, the pin kind; a chip alone is no holder.
    {"pc-serial", 'q', 4, 0, "IRQ 4 is in use by ttyS0 (/proc/interrupts)"},
    {"pc-serial", 'q', 0, 0, "IRQ 0 is in use by timer (/proc/interrupts)"},
    {"pc-serial", 'q', 16, 0, "IRQ 16 is in use by uhci_hcd:usb1, 8139too (/proc/interrupts)"},
    {"pc-serial", 'q', 7, 0, ""},
    {"pc-serial", 'q', 2, 0, ""},
    {"pc-serial", 'q', 5, 0, ""},
    // Older rows: one CPU, XT-PIC, no pin kind.
    {"pc-sound", 'q', 5, 0, "IRQ 5 is in use by snd_sb16 (/proc/interrupts)"},
    {"pc-sound", 'q', 2, 0, "IRQ 2 is in use by cascade (/proc/interrupts)"},
    {"pc-sound", 'q', 3, 0, ""},
    {"pc-sound", 'd', 1, 0, "DMA 1 is in use by SoundBlaster8 (/proc/dma)"},
    {"pc-sound", 'd', 4, 0, "DMA 4 is in use by cascade (/proc/dma)"},
    {"pc-sound", 'd', 5, 0, "DMA 5 is in use by SoundBlaster16 (/proc/dma)"},
    {"pc-sound", 'd', 3, 0, ""},
    {"pc-serial", 'd', 1, 0, ""},
    // Files absent, or zeroed for a reader without privilege: nothing known. The other files
    // of that reader still tell.
    {"pc-isapnp-proc", 'i', 0x3f8, 0x3ff, ""},
    {"pc-isapnp-proc", 'm', 0xc0000, 0xc7fff, ""},
    {"pc-isapnp-proc", 'q', 4, 0, ""},
    {"pc-isapnp-proc", 'd', 4, 0, ""},
    {"unprivileged", 'i', 0, 0, ""},
    {"unprivileged", 'i', 0x3f8, 0x3ff, ""},
    {"unprivileged", 'm', 0, 0xfffff, ""},
    {"unprivileged", 'q', 4, 0, "IRQ 4 is in use by ttyS0 (/proc/interrupts)"},
};

TEST(HostConflicts, EveryMachine) {
    for (const CASE& c : cases)
        EXPECT_EQ(conflict(machine(c.machine), c.kind, c.lo, c.hi), c.text)
            << c.machine << " " << c.kind << " " << std::hex << c.lo << "-" << c.hi;
}

TEST(HostConflicts, AnswersTellUnknownFromFreeAndGiveTheHolder) {
    HOST_HOLDER h = {"kept", 1, 2, nullptr};
    EXPECT_EQ(host_io_holder(machine("pc-serial").c_str(), 0x300, 0x31f, &h), HOST_FREE);
    EXPECT_EQ(host_io_holder(machine("unprivileged").c_str(), 0x3f8, 0x3ff, &h), HOST_UNKNOWN);
    EXPECT_EQ(host_io_holder(machine("pc-isapnp-proc").c_str(), 0x3f8, 0x3ff, &h), HOST_UNKNOWN);
    EXPECT_EQ(host_irq_holder(machine("pc-isapnp-proc").c_str(), 4, &h), HOST_UNKNOWN);
    EXPECT_EQ(host_dma_holder(machine("pc-serial").c_str(), 3, &h), HOST_FREE);
    EXPECT_STREQ(h.name, "kept");
    for (short (*f)(const char*, unsigned long, unsigned long, HOST_HOLDER*) :
         {host_io_holder, host_mem_holder})
        EXPECT_EQ(f(nullptr, 0, 0xffffffff, &h), HOST_UNKNOWN);
    EXPECT_EQ(host_irq_holder(nullptr, 4, &h), HOST_UNKNOWN);
    EXPECT_EQ(host_dma_holder(nullptr, 4, &h), HOST_UNKNOWN);

    ASSERT_EQ(host_io_holder(machine("pc-serial").c_str(), 0x2f0, 0x2fb, &h), HOST_IN_USE);
    EXPECT_STREQ(h.name, "serial");
    EXPECT_EQ(h.lo, 0x2f8ul);
    EXPECT_EQ(h.hi, 0x2fful);
    EXPECT_STREQ(h.file, "/proc/ioports");
    ASSERT_EQ(host_mem_holder((machine("pc-serial") + "/").c_str(), 0xfee00000, 0xfee00000, &h), HOST_IN_USE);
    EXPECT_STREQ(h.name, "Reserved");
    EXPECT_EQ(h.hi, 0xfee00ffful);
    EXPECT_STREQ(h.file, "/proc/iomem");
    EXPECT_EQ(host_dma_holder(machine("pc-sound").c_str(), 4, nullptr), HOST_IN_USE);

    char small[12];
    EXPECT_EQ(host_irq_conflict(machine("pc-serial").c_str(), 4, small, sizeof small), 1);
    EXPECT_STREQ(small, "IRQ 4 is in");
}

TEST_F(MadeHost, MalformedAndHugeLinesAreSkipped) {
    const std::string huge(100 * 1024, 'x');
    write("proc/ioports",
          "garbage\n-\n0000-00zz : half\n03f8-03f0 : backwards\n03f8 : one\n"
          "03f8-03ff serial\n03f8-03ff :  \n00000000000000000003f8-03ff : digits\n"
          "  03f8-03ff : " +
              huge + "\n0100-0107 : after\n0108-010f : bad\033[2Jname");
    write("proc/dma", " 2: " + huge + "\nx: foo\n 3 cascade\n 6:\n 7: after\n");
    EXPECT_EQ(conflict(root, 'i', 0x3f8, 0x3ff), "");
    EXPECT_EQ(conflict(root, 'i', 0x100, 0x100), "I/O 0x0100 is in use by after (/proc/ioports)");
    EXPECT_EQ(conflict(root, 'i', 0x10f, 0x10f), "I/O 0x010F is in use by bad?[2Jname (/proc/ioports)");
    EXPECT_EQ(conflict(root, 'd', 2), "");
    EXPECT_EQ(conflict(root, 'd', 3), "");
    EXPECT_EQ(conflict(root, 'd', 6), "");
    EXPECT_EQ(conflict(root, 'd', 7), "DMA 7 is in use by after (/proc/dma)");

    write("proc/ioports", "");
    host_forget();  // the tables keep what the files said
    EXPECT_EQ(host_io_holder(root.c_str(), 0, 0xffff, nullptr), HOST_UNKNOWN);
    std::filesystem::create_directory(root + "/proc/iomem");
    EXPECT_EQ(host_mem_holder(root.c_str(), 0, 0xffff, nullptr), HOST_UNKNOWN);
}

TEST_F(MadeHost, InterruptRowsOfManyCpusAndHugeNames) {
    std::string header, counts;
    for (int i = 0; i < 1000; i++) header += "       CPU" + std::to_string(i), counts += " 123456789";
    const std::string huge(100 * 1024, 'y');
    write("proc/interrupts", header + "\n  5:" + counts +
                                 "   IO-APIC   5-edge      snd_sb16, eth0\n"
                                 "  6:" +
                                 counts + "   XT-PIC  " + huge +
                                 "\n:\n 99999999: 1 XT-PIC big\n"
                                 "  9:" +
                                 counts + "\n 10: 1 XT-PIC  after");
    EXPECT_EQ(conflict(root, 'q', 5), "IRQ 5 is in use by snd_sb16, eth0 (/proc/interrupts)");
    HOST_HOLDER h;
    ASSERT_EQ(host_irq_holder(root.c_str(), 6, &h), HOST_IN_USE);
    EXPECT_EQ(std::string(h.name), std::string(HOST_NAME_SIZE - 1, 'y'));
    EXPECT_EQ(conflict(root, 'q', 9), "");
    EXPECT_EQ(conflict(root, 'q', 10), "IRQ 10 is in use by after (/proc/interrupts)");
}

// Every byte outside printable ASCII in a name read from the host, whether from /proc or sysfs,
// is printed as '?': C0 controls, DEL, the C1 control introducer 0x9B and the bytes above.
TEST_F(MadeHost, NamesKeepOnlyPrintableAscii) {
    const std::string odd = "\x9bx\x7fy\xffz\x1b[2J\x80";  // printed "?x?y?z?[2J?"
    write("proc/ioports", "0100-0107 : io" + odd + "\n");
    write("proc/interrupts", "  5: 1 XT-PIC  irq" + odd + "\n");
    write("proc/dma", " 3: dma" + odd + "\n");
    EXPECT_EQ(conflict(root, 'i', 0x100, 0x107),
              "I/O 0x0100-0x0107 is in use by io?x?y?z?[2J? (/proc/ioports)");
    EXPECT_EQ(conflict(root, 'q', 5), "IRQ 5 is in use by irq?x?y?z?[2J? (/proc/interrupts)");
    EXPECT_EQ(conflict(root, 'd', 3), "DMA 3 is in use by dma?x?y?z?[2J? (/proc/dma)");

    write("sys/devices/pnp1/01:01/card_id", "C" + odd + "\n");
    write("sys/devices/pnp1/01:01/01:01.00/id", "D" + odd + "\n");
    link("../../../devices/pnp1/01:01/01:01.00", "sys/bus/pnp/devices/01:01.00");
    std::filesystem::create_symlink("../../../../bus/pnp/drivers/drv" + odd,
                                    root + "/sys/devices/pnp1/01:01/01:01.00/driver");
    char lines[2][HOST_TEXT_SIZE];
    ASSERT_EQ(kernel_pnp_warnings(root.c_str(), lines, 2), 2);
    EXPECT_STREQ(lines[0],
                 "the kernel's ISA PnP driver manages 1 card (C?x?y?z?[2J?); ISOLATE renumbers them");
    EXPECT_STREQ(
        lines[1],
        "device D?x?y?z?[2J? of card C?x?y?z?[2J? is bound to driver drv?x?y?z?[2J?: DEVICE SET moves "
        "its resources under it");
}

// ---- The tables: one read of each file answers every question ----

// The opens of host files that f makes.
template <class F>
long opens_of(F f) {
    long before = host_files_opened();
    f();
    return host_files_opened() - before;
}

// Asks every kind of question about root, many times over.
void ask_everything(const std::string& root) {
    const char* r = root.c_str();
    char text[HOST_TEXT_SIZE];
    unsigned long past;
    for (unsigned long port = 0; port < 0x1000; port += 4) {
        host_io_holder(r, port, port + 3, nullptr);
        host_io_conflict(r, port, port + 3, text, sizeof text);
        host_range_held(r, HOST_IO, port, port + 3, &past);
    }
    for (unsigned long a = 0xc0000; a < 0x100000; a += 0x4000) {
        host_mem_holder(r, a, a + 0x3fff, nullptr);
        host_mem_conflict(r, a, a + 0x3fff, text, sizeof text);
        host_range_held(r, HOST_MEM, a, a + 0x3fff, &past);
    }
    for (short l = 0; l < 16; l++) host_irq_conflict(r, l, text, sizeof text);
    for (short c = 0; c < 8; c++) host_dma_conflict(r, c, text, sizeof text);
    host_irqs_held(r);
    host_dmas_held(r);
}

TEST(HostTables, EachFileIsOpenedOnceARoot) {
    host_forget();
    const std::string sound = machine("pc-sound"), serial = machine("pc-serial");
    EXPECT_EQ(opens_of([&] { ask_everything(sound); }), 4);
    EXPECT_EQ(opens_of([&] { ask_everything(sound); }), 0);
    // the answers from the tables are the files' answers
    EXPECT_EQ(conflict(sound, 'i', 0x220, 0x22f),
              "I/O 0x0220-0x022F is in use by soundblaster (/proc/ioports)");
    EXPECT_EQ(conflict(sound, 'd', 5), "DMA 5 is in use by SoundBlaster16 (/proc/dma)");
    // only the file asked about is read
    EXPECT_EQ(opens_of([&] { host_dma_holder(serial.c_str(), 1, nullptr); }), 1);
    EXPECT_EQ(opens_of([&] { host_irq_holder(serial.c_str(), 4, nullptr); }), 1);
    EXPECT_EQ(opens_of([&] { host_dma_holder(serial.c_str(), 3, nullptr); }), 0);
    // another root, the same root named otherwise, and the same root after host_forget read anew
    EXPECT_EQ(opens_of([&] { host_io_holder(sound.c_str(), 0x220, 0x22f, nullptr); }), 1);
    EXPECT_EQ(opens_of([&] { host_io_holder((sound + "/").c_str(), 0x220, 0x22f, nullptr); }), 1);
    host_forget();
    EXPECT_EQ(opens_of([&] { ask_everything(sound + "/"); }), 4);
    // files absent, or telling nothing, are not looked for again; no root reads nothing
    EXPECT_EQ(opens_of([&] { ask_everything(machine("pc-isapnp-proc")); }), 4);
    EXPECT_EQ(opens_of([&] { ask_everything(machine("unprivileged")); }), 4);
    EXPECT_EQ(opens_of([&] { ask_everything(machine("unprivileged")); }), 0);
    EXPECT_EQ(opens_of([&] { host_io_holder(nullptr, 0, 0xffff, nullptr); }), 0);
}

// host_range_held and the masks against the holders, over every port and the 32-bit memory.
TEST(HostTables, HeldRangesAgreeWithTheHolders) {
    for (const char* name : {"pc-serial", "pc-sound", "unprivileged", "pc-isapnp-proc"}) {
        const std::string root = machine(name);
        const char* r = root.c_str();
        for (unsigned long width : {1ul, 8ul})
            for (unsigned long port = 0; port + width - 1 <= 0xffff; port++) {
                unsigned long past = 1;
                short held = host_range_held(r, HOST_IO, port, port + width - 1, &past);
                ASSERT_EQ(held, host_io_holder(r, port, port + width - 1, nullptr) == HOST_IN_USE)
                    << name << std::hex << " " << port;
                if (!held) {
                    EXPECT_EQ(past, 1ul);
                    continue;
                }
                // past: the end of a run of held ports
                EXPECT_GE(past, port) << name;
                EXPECT_EQ(host_io_holder(r, past, past, nullptr), HOST_IN_USE) << name << std::hex << past;
                EXPECT_NE(host_io_holder(r, past + 1, past + 1, nullptr), HOST_IN_USE)
                    << name << std::hex << past;
            }
        for (unsigned long a = 0; a <= 0xffffffffull; a += 0x1000) {
            unsigned long past = 0;
            short held = host_range_held(r, HOST_MEM, a + 0xfff, a, &past);
            ASSERT_EQ(held, host_mem_holder(r, a, a + 0xfff, nullptr) == HOST_IN_USE)
                << name << std::hex << a;
            if (held) {
                EXPECT_NE(host_mem_holder(r, past + 1, past + 1, nullptr), HOST_IN_USE)
                    << name << std::hex << past;
            }
        }
        unsigned short irqs = 0, dmas = 0;
        for (short l = 0; l < 16; l++)
            if (host_irq_holder(r, l, nullptr) == HOST_IN_USE) irqs |= (unsigned short)(1u << l);
        for (short c = 0; c < 8; c++)
            if (host_dma_holder(r, c, nullptr) == HOST_IN_USE) dmas |= (unsigned short)(1u << c);
        EXPECT_EQ(host_irqs_held(r), irqs) << name;
        EXPECT_EQ(host_dmas_held(r), dmas) << name;
    }
    EXPECT_EQ(host_irqs_held(machine("pc-sound").c_str()), 0xDD27);  // 0 1 2 5 8 10 11 12 14 15
    EXPECT_EQ(host_dmas_held(machine("pc-sound").c_str()), 0x32);    // 1 4 5
    EXPECT_EQ(host_irqs_held(nullptr), 0);
    EXPECT_EQ(host_dmas_held(nullptr), 0);
}

TEST_F(MadeHost, HeldRangesMergeAndLeaveOutWhatNeverHolds) {
    write("proc/ioports",
          "0000-001f : dma1\n0020-0021 : pic1\n0040-0043 : timer0\n  0040-0041 : part\n0060-0060 : kbd\n"
          "0064-0064 : kbd\n0100-01ff : PCI Bus 0000:01\n  0170-0177 : ata\n0279-0279 : isapnp index\n"
          "0000-0000 : zeroed\n");
    write("proc/iomem",
          "00010000-ffffffffffffffff : all\n  00020000-0002ffff : inside\n0000000000000000-000000000000fff0 "
          ": low\n");
    const char* r = root.c_str();
    unsigned long past = 7;
    EXPECT_EQ(host_range_held(r, HOST_IO, 0x10, 0x10, &past), 1);
    EXPECT_EQ(past, 0x21ul);  // dma1 and pic1 touch: one run
    past = 7;
    EXPECT_EQ(host_range_held(r, HOST_IO, 0x3f, 0x22, &past), 0);
    EXPECT_EQ(past, 7ul);
    EXPECT_EQ(host_range_held(r, HOST_IO, 0x3f, 0x40, &past), 1);
    EXPECT_EQ(past, 0x43ul);
    EXPECT_EQ(host_range_held(r, HOST_IO, 0x43, 0x63, &past), 1);
    EXPECT_EQ(past, 0x60ul);  // the highest end of the runs it overlaps
    EXPECT_EQ(host_range_held(r, HOST_IO, 0x100, 0x16f, &past), 0);  // a bus window alone
    EXPECT_EQ(host_range_held(r, HOST_IO, 0x100, 0x1ff, &past), 1);
    EXPECT_EQ(past, 0x177ul);
    EXPECT_EQ(host_range_held(r, HOST_IO, 0x279, 0x279, &past), 0);
    EXPECT_EQ(host_range_held(r, HOST_IO, 0x65, 0xffff, nullptr), 1);
    EXPECT_EQ(host_range_held(r, HOST_IO, 0x200, 0xffff, nullptr), 0);
    EXPECT_EQ(host_range_held(r, 2, 0, 0xffff, &past), 0);
    EXPECT_EQ(host_range_held(nullptr, HOST_IO, 0, 0xffff, &past), 0);
    // a range to the end of the addresses takes in what lies in it and after it
    EXPECT_EQ(host_range_held(r, HOST_MEM, 0x50000, 0x50000, &past), 1);
    EXPECT_EQ(past, ~0ul);
    EXPECT_EQ(host_range_held(r, HOST_MEM, ~0ul, ~0ul, &past), 1);
    EXPECT_EQ(host_range_held(r, HOST_MEM, 0xfff1, 0xffff, &past), 0);
    EXPECT_EQ(host_range_held(r, HOST_MEM, 0xfff0, 0xfff0, &past), 1);
    EXPECT_EQ(past, 0xfff0ul);
}

// Files of thousands of entries: more held ranges than the planner once kept, and a 2 MiB iomem.
TEST_F(MadeHost, ThousandsOfEntriesAreAnsweredFromOneRead) {
    std::string ports, mem;
    char line[96];
    for (int i = 0; i < 3000; i++) {  // 4 ports held, 4 free, from 0x1000 to 0x6dbf
        snprintf(line, sizeof line, "%04x-%04x : dev%d\n  %04x-%04x : part%d\n", 0x1000 + 8 * i,
                 0x1003 + 8 * i, i, 0x1001 + 8 * i, 0x1001 + 8 * i, i);
        ports += line;
    }
    for (int i = 0; mem.size() < 2 * 1024 * 1024; i++) {  // 0x800 bytes held of each 0x1000
        snprintf(line, sizeof line, "%08x-%08x : System RAM %d\n", 0x100000 + 0x1000 * i,
                 0x1007ff + 0x1000 * i, i);
        mem += line;
    }
    write("proc/ioports", ports);
    write("proc/iomem", mem);
    const char* r = root.c_str();
    auto start = std::chrono::steady_clock::now();
    long opens = opens_of([&] {
        unsigned long past;
        for (int i = 0; i < 3000; i++) {
            unsigned long base = 0x1000 + 8 * (unsigned long)i;
            ASSERT_EQ(host_range_held(r, HOST_IO, base + 4, base + 7, &past), 0) << i;
            ASSERT_EQ(host_range_held(r, HOST_IO, base + 3, base + 5, &past), 1) << i;
            ASSERT_EQ(past, base + 3);
        }
        EXPECT_EQ(host_range_held(r, HOST_IO, 0x6dbc, 0xffff, &past), 0);
        EXPECT_EQ(conflict(root, 'i', 0x6dba, 0x6dbb),
                  "I/O 0x6DBA-0x6DBB is in use by dev2999 (/proc/ioports)");
        EXPECT_EQ(conflict(root, 'i', 0x6db8, 0x6dbb),
                  "I/O 0x6DB8-0x6DBB is in use by part2999 (/proc/ioports)");
        EXPECT_EQ(conflict(root, 'i', 0x6dbc, 0x6dff), "");
        for (unsigned long a = 0x100000; a < 0x200000; a += 0x800) {
            short held = host_range_held(r, HOST_MEM, a, a + 0x7ff, &past);
            ASSERT_EQ(held, (a & 0x800) == 0) << std::hex << a;
            if (held) {
                ASSERT_EQ(past, a + 0x7ff);
            }
        }
        EXPECT_EQ(host_mem_conflict(r, 0x100800, 0x100fff, nullptr, 0), 0);
        for (int i = 0; i < 200; i++)
            ASSERT_EQ(host_mem_holder(r, 0x100000 + 0x2000ul * i, 0x100000 + 0x2000ul * i, nullptr),
                      HOST_IN_USE);
    });
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(opens, 2);
    HOST_HOLDER h;
    ASSERT_EQ(host_mem_holder(r, 0xffffffff, 0x100000 + 0x1000ul * 40000, &h), HOST_IN_USE);
    EXPECT_STREQ(h.name, "System RAM 40000");
    EXPECT_LT(seconds, 5.0);  // each question rereading the files took minutes
}

TEST_F(MadeHost, ATableWithoutMemoryCountsAsUnknownUntilForgotten) {
    std::string ports;
    char line[64];
    for (int i = 0; i < 200; i++) {  // past the first room for entries
        snprintf(line, sizeof line, "%04x-%04x : dev%d\n", 0x1000 + 8 * i, 0x1003 + 8 * i, i);
        ports += line;
    }
    write("proc/ioports", ports);
    write("proc/dma", " 4: cascade\n");
    const char* r = root.c_str();
    // the entries, the names, the entries grown twice, the held ranges
    for (long n : {1, 2, 3, 4, 5}) {
        host_forget();
        mem_fail_at(n);
        EXPECT_EQ(host_io_holder(r, 0x1000, 0x1000, nullptr), HOST_UNKNOWN) << n;
        EXPECT_EQ(host_range_held(r, HOST_IO, 0x1000, 0x1000, nullptr), 0) << n;
        mem_fail_at(0);
        EXPECT_EQ(opens_of([&] { host_io_holder(r, 0x1000, 0x1000, nullptr); }), 0) << n;
        EXPECT_EQ(host_dma_holder(r, 4, nullptr), HOST_IN_USE) << n;
    }
    host_forget();
    mem_fail_at(1);
    EXPECT_EQ(host_dma_holder(r, 4, nullptr), HOST_UNKNOWN);
    EXPECT_EQ(host_dmas_held(r), 0);
    mem_fail_at(0);
    host_forget();
    EXPECT_EQ(host_io_holder(r, 0x1000 + 8 * 199, 0x1000 + 8 * 199, nullptr), HOST_IN_USE);
    EXPECT_EQ(host_dmas_held(r), 0x10);
}

// Sets or clears VELKOR_SYSROOT for one test, and puts back what was there.
class SysrootEnv : public ::testing::Test {
protected:
    std::string old;
    bool had = false;
    void SetUp() override {
        const char* v = getenv("VELKOR_SYSROOT");
        had = v != nullptr;
        if (had) old = v;
    }
    void TearDown() override {
        if (had)
            setenv("VELKOR_SYSROOT", old.c_str(), 1);
        else
            unsetenv("VELKOR_SYSROOT");
    }
};

TEST_F(SysrootEnv, HostRootOnBothBuses) {
    unsetenv("VELKOR_SYSROOT");
    EXPECT_STREQ(host_root(1), "/");
    EXPECT_EQ(host_root(0), nullptr);
    setenv("VELKOR_SYSROOT", "", 1);
    EXPECT_STREQ(host_root(1), "/");
    EXPECT_EQ(host_root(0), nullptr);
    setenv("VELKOR_SYSROOT", machine("pc-sound").c_str(), 1);
    EXPECT_EQ(std::string(host_root(1)), machine("pc-sound"));
    EXPECT_EQ(std::string(host_root(0)), machine("pc-sound"));
    EXPECT_EQ(conflict(host_root(0), 'd', 1), "DMA 1 is in use by SoundBlaster8 (/proc/dma)");
}

}  // namespace
