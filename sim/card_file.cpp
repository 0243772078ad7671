// Card files: the bytes a card returns after a Wake, as hexadecimal text or a raw image.
#include "sim/card_file.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

enum {
    FILE_LIMIT = 4 * 1024 * 1024,  // a card file is small; anything larger is refused unread
    SERIAL_SIZE = 9
};

// A byte that plain text holds: printable ASCII, white space, or part of a UTF-8 sequence (so a
// comment may hold any text). Everything else marks a raw image.
static long text_run(const unsigned char* p, long left) {
    unsigned char c = p[0];
    if ((c >= 0x20 && c < 0x7F) || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v') return 1;
    long n = c >= 0xF0 && c < 0xF5 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 && c < 0xE0 ? 2 : 0;
    if (c >= 0xF5 || n == 0 || n > left) return 0;
    for (long k = 1; k < n; k++)
        if ((p[k] & 0xC0) != 0x80) return 0;
    return n;
}

static short is_text(const unsigned char* p, long size) {
    for (long i = 0; i < size;) {
        long n = text_run(p + i, size - i);
        if (n == 0) return 0;
        i += n;
    }
    return 1;
}

static short hexval(unsigned char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

static short space(unsigned char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

// Reads the whole file into a new heap block. Its size, or -1 with the reason in err.
static long slurp(const char* path, unsigned char** out, char* err, size_t errlen) {
    FILE* fp = fopen(path, "rb");
    if (!fp) {
        snprintf(err, errlen, "%s: %s", path, strerror(errno));
        return -1;
    }
    // The block grows to one byte over the limit at most: a file that fills it is too large, one of
    // exactly FILE_LIMIT bytes leaves that byte unread.
    long cap = 4096, size = 0;
    unsigned char* data = (unsigned char*)malloc((size_t)cap);
    int reason = 0;  // errno of a failed read
    while (data) {
        errno = 0;
        size_t got = fread(data + size, 1, (size_t)(cap - size), fp);
        size += (long)got;
        if (size < cap) {
            if (ferror(fp)) reason = errno ? errno : EIO;
            break;
        }
        if (size > FILE_LIMIT) {
            free(data);
            fclose(fp);
            snprintf(err, errlen, "%s: larger than %d bytes, not a card file", path, FILE_LIMIT);
            return -1;
        }
        long grown_cap = cap * 2 <= FILE_LIMIT ? cap * 2 : FILE_LIMIT + 1;
        unsigned char* grown = (unsigned char*)realloc(data, (size_t)grown_cap);
        if (!grown) free(data);
        data = grown;
        cap = grown_cap;
    }
    fclose(fp);
    if (!data || reason) {
        free(data);
        snprintf(err, errlen, "%s: %s", path, data ? strerror(reason) : "out of memory");
        return -1;
    }
    *out = data;
    return size;
}

// The one message for a file of more bytes than a card holds, text or raw image alike.
static void too_many(const char* path, long count, long limit, char* err, size_t errlen) {
    snprintf(err, errlen, "%s: %ld bytes: a card holds at most %ld", path, count, limit);
}

long read_card_file(const char* path, unsigned char* bytes, size_t cap, char* err, size_t errlen) {
    unsigned char* data = nullptr;
    long size = slurp(path, &data, err, errlen);
    if (size < 0) return -1;

    long limit = cap < (size_t)CARD_BYTES_MAX ? (long)cap : (long)CARD_BYTES_MAX;
    long count = 0;
    long line = 1;
    if (!is_text(data, size)) {
        // A raw image of the same bytes.
        if (size > limit) {
            too_many(path, size, limit, err, errlen);
            count = -1;
        } else if (size < SERIAL_SIZE) {
            snprintf(err, errlen, "%s: raw image of %ld bytes, shorter than a serial identifier", path, size);
            count = -1;
        } else {
            memcpy(bytes, data, (size_t)size);
            count = size;
        }
        free(data);
        return count;
    }

    for (long i = 0; i < size && count >= 0;) {
        unsigned char c = data[i];
        if (c == '\n') {
            line++;
            i++;
        } else if (space(c)) {
            i++;
        } else if (c == '#') {
            while (i < size && data[i] != '\n') i++;
        } else {
            long start = i;
            while (i < size && !space(data[i]) && data[i] != '#') i++;
            long n = i - start;
            short hi = hexval(data[start]);
            short lo = n == 2 ? hexval(data[start + 1]) : 0;
            if (n > 2 || hi < 0 || lo < 0) {
                snprintf(err, errlen, "%s:%ld: \"%.*s\" is not a hexadecimal byte value", path, line,
                         n > 16 ? 16 : (int)n, (const char*)data + start);
                count = -1;
            } else {
                // Past the limit a value is counted, not stored, so the message gives the true count.
                if (count < limit) bytes[count] = (unsigned char)(n == 2 ? hi * 16 + lo : hi);
                count++;
            }
        }
    }
    if (count > limit) {
        too_many(path, count, limit, err, errlen);
        count = -1;
    } else if (count >= 0 && count < SERIAL_SIZE) {
        if (size > 0 && data[size - 1] == '\n') line--;  // the last line, not the empty one after it
        snprintf(err, errlen, "%s:%ld: %ld byte values, fewer than the 9 of a serial identifier", path, line,
                 count);
        count = -1;
    }
    free(data);
    return count;
}
