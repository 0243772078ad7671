// Card files: the bytes a card returns after a Wake, as hexadecimal text or a raw image.
#ifndef VELKOR_SIM_CARD_FILE_H
#define VELKOR_SIM_CARD_FILE_H

#include <cstddef>

// Reads path into bytes (at most cap). Returns the byte count, or -1 with a message such as
// "FILE:LINE: ..." written to err (errlen bytes).
long read_card_file(const char* path, unsigned char* bytes, size_t cap, char* err, size_t errlen);

#endif
