// Card files: the bytes a card returns after a Wake, as hexadecimal text or a raw image.
#ifndef VELKOR_SIM_CARD_FILE_H
#define VELKOR_SIM_CARD_FILE_H

#include <cstddef>

// The most bytes a card holds: the simulated card's length is 16 bits.
enum { CARD_BYTES_MAX = 0xFFFF };

// Reads path into bytes, which has room for cap bytes. Returns the byte count (9 to CARD_BYTES_MAX,
// and no more than cap), or -1 with a message such as "FILE:LINE: ..." written to err (errlen bytes).
// A file with more bytes than that is refused as "FILE: N bytes: a card holds at most LIMIT", N its
// full count, LIMIT the smaller of cap and CARD_BYTES_MAX; a malformed word anywhere is reported first.
long read_card_file(const char* path, unsigned char* bytes, size_t cap, char* err, size_t errlen);

#endif
