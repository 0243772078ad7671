// Test support of the PnP layer: cards for the simulated bus, a trace file read back, the real
// card dumps.
#ifndef VELKOR_TESTS_SUPPORT_SIM_CARDS_H
#define VELKOR_TESTS_SUPPORT_SIM_CARDS_H

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

// Small item: I/O port descriptor with 16-bit decode.
inline BYTES io_item(unsigned short min, unsigned short max, unsigned char align, unsigned char len) {
    return {0x47,
            0x01,
            (unsigned char)min,
            (unsigned char)(min >> 8),
            (unsigned char)max,
            (unsigned char)(max >> 8),
            align,
            len};
}

inline BYTES cat(std::initializer_list<BYTES> parts) {
    BYTES all;
    for (const BYTES& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

inline short add_card(const BYTES& card) { return sim_add_card(card.data(), (unsigned short)card.size()); }

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
