// The input of the plan fuzzer (plan_fuzz.cpp), which the plan benchmark also writes and reads:
// one byte of options, then up to 17 cards' resource data (what follows the serial identifier)
// separated by the four bytes "CARD". The last card the split allows takes everything left,
// markers included.
#ifndef VELKOR_TESTS_FUZZ_PLAN_INPUT_H
#define VELKOR_TESTS_FUZZ_PLAN_INPUT_H

#include <cstddef>
#include <cstring>

enum PLAN_INPUT_OPTION {
    PLAN_INPUT_READ_PORT = 0x01,    // the cards were isolated with read port 0x203 (else none)
    PLAN_INPUT_SHORT_LIMIT = 0x02,  // the fuzzer gives the search 1 ms rather than 200 ms
};

static const char PLAN_INPUT_MARKER[] = "CARD";
enum { PLAN_INPUT_MARKER_LEN = 4 };

// Splits data (after the options byte) into at most max pieces: piece k is data + at[k], len[k]
// bytes. There is always one piece at least. Returns the number of pieces.
inline short plan_input_split(const unsigned char* data, size_t size, short max, size_t* at, size_t* len) {
    short n = 0;
    size_t from = 0;
    while (n < max) {
        size_t end = size;
        if (n < max - 1)
            for (size_t i = from; i + PLAN_INPUT_MARKER_LEN <= size; i++)
                if (memcmp(data + i, PLAN_INPUT_MARKER, PLAN_INPUT_MARKER_LEN) == 0) {
                    end = i;
                    break;
                }
        at[n] = from;
        len[n] = end - from;
        n++;
        if (end == size) break;
        from = end + PLAN_INPUT_MARKER_LEN;
    }
    return n;
}

#endif
