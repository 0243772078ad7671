// Card files (placeholder).
#include "sim/card_file.h"
#include <cstdio>
long read_card_file(const char* path, unsigned char*, size_t, char* err, size_t errlen) {
    snprintf(err, errlen, "%s: card files are not supported yet", path);
    return -1;
}
