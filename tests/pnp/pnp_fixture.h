// Test support of the PnP layer: a fixture on the simulated bus, card builders, serialisers.
#ifndef VELKOR_TESTS_PNP_FIXTURE_H
#define VELKOR_TESTS_PNP_FIXTURE_H

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>
#include <fstream>
#include <string>
#include <vector>

#include "pnp/isolation.h"
#include "pnp/ports.h"
#include "pnp/state.h"
#include "shell/errhdl.h"
#include "sim/bus.h"

typedef std::vector<unsigned char> BYTES;

// Every test starts on an empty simulated bus with fresh PnP globals (permission granted) and an
// empty error queue, and leaves the hardware bus in place without permission.
class PnpFixture : public ::testing::Test {
protected:
    void SetUp() override { remake(); }
    void TearDown() override {
        remake();
        use_bus(&hw_bus);
        PNP_permitted = 0;
    }
    static void remake() {
        trace_close();
        use_bus(&sim_bus);
        clean_PNP();
        sim_reset();
        init_PNP();
        clr_errhdl();
    }
};

// The 4 bytes of a compressed identifier such as "ABC0001".
inline BYTES pnp_id(const char* text) {
    unsigned a = text[0] - 64, b = text[1] - 64, c = text[2] - 64;
    unsigned p = (unsigned)strtoul(text + 3, nullptr, 16);
    return {(unsigned char)(a << 2 | b >> 3), (unsigned char)((b & 7) << 5 | c), (unsigned char)(p >> 8),
            (unsigned char)p};
}

// A card: 8 serial bytes (the checksum is added), then items, then the End tag with a correct
// checksum unless end is false.
inline BYTES make_card(const BYTES& serial8, const BYTES& items, bool end = true) {
    BYTES card(serial8.begin(), serial8.begin() + 8);
    card.push_back(testserial_PNP(card.data()));
    card.insert(card.end(), items.begin(), items.end());
    if (end) {
        unsigned char sum = 0x79;
        for (unsigned char b : items) sum += b;
        card.push_back(0x79);
        card.push_back((unsigned char)-sum);
    }
    return card;
}

inline BYTES serial_of(const char* vendor, unsigned long number) {
    BYTES s = pnp_id(vendor);
    for (int i = 0; i < 4; i++) s.push_back((unsigned char)(number >> 8 * i));
    return s;
}

inline BYTES ldid(const char* id) {
    BYTES item = {0x15};
    BYTES b = pnp_id(id);
    item.insert(item.end(), b.begin(), b.end());
    item.push_back(0x00);
    return item;
}

inline BYTES cat(std::initializer_list<BYTES> parts) {
    BYTES all;
    for (const BYTES& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

inline short add_card(const BYTES& card) { return sim_add_card(card.data(), (unsigned short)card.size()); }

// The card table in one line: "csn:vendor:ndevs" for each record in use.
inline std::string card_table() {
    std::string s;
    for (short i = 0; i < PNP_cards_len; i++) {
        char one[40];
        snprintf(one, sizeof one, "%s%u:%s:%d", i ? " " : "", PNP_cards[i].csn, devid_PNP(PNP_cards[i].serial),
                 PNP_cards[i].ndevs);
        s += one;
    }
    return s;
}

// A trace file of the test's own, read back line by line.
class TRACE_FILE {
public:
    std::string path;
    TRACE_FILE() {
        char name[] = "/tmp/velkor-trace-XXXXXX";
        int fd = mkstemp(name);
        if (fd >= 0) close(fd);
        path = name;
        trace_open(path.c_str());
    }
    ~TRACE_FILE() {
        trace_close();
        remove(path.c_str());
    }
    std::vector<std::string> lines() {
        trace_close();
        std::vector<std::string> all;
        std::ifstream in(path);
        for (std::string line; std::getline(in, line);) all.push_back(line);
        trace_open(path.c_str());
        return all;
    }
};

// The directory of the real card dumps that the project carries.
inline std::string realcards_dir() { return std::string(VELKOR_SOURCE_DIR) + "/tests/cards/real"; }

#endif
