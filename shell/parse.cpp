// Tokenizer (one PARSE object, P, shared by the loop and every handler) and the WC string helpers.
#include "shell/memory.h"
#include "shell/parse.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "shell/errhdl.h"

// Blank and punctuation separate tokens; ':' '/' '\' '.' come last, from index 26, so that the
// file-name mode can cut the set there.
char PARSE::PP_seps[80] = " !\"#%&'()*+,-;<=>?@[]^~{}|:/\\.";
static_assert(sizeof(" !\"#%&'()*+,-;<=>?@[]^~{}|:/\\.") == 31, "30 separators");
enum { PP_FILENAME_CUT = 26 };

PARSE P;

namespace {
// Makes P usable before main runs: the tokenizer is a static object that starts empty.
struct PARSE_INIT {
    PARSE_INIT() { P.make(); }
    ~PARSE_INIT() { P.clear(); }
} parse_init;
}  // namespace

void PARSE::izero() {
    seps = nullptr;
    line = nullptr;
    linelen = 0;
    token = nullptr;
    toklen = 0;
    pos = 0;
}

void PARSE::make() {
    izero();
    seps = PP_seps;
}

void PARSE::clear() {
    free(line);
    free(token);
    line = nullptr;
    token = nullptr;
    linelen = 0;
    toklen = 0;
    pos = 0;
}

short PARSE::command(const char* text) {
    clear();
    if (!text) return set_errhdl(ERR_END_OF_LINE);
    size_t len = strlen(text);
    if (len > 0x7FFF) len = 0x7FFF;  // lines come from 2048-byte buffers; never wraps in practice
    // Room for the whole line as tokens with a blank after each character, and the NUL.
    token = (char*)mem_zalloc(2 * len + 2);
    line = (char*)mem_zalloc(len + 1);
    if (!token || !line) {
        clear();
        return set_errhdl(ERR_MEMORY);
    }
    memcpy(line, text, len);
    linelen = (short)len;
    return 0;
}

short PARSE::get(int mode, ...) {
    // mode is an int: va_start after a parameter that undergoes promotion is undefined.
    if (!line) return 1;
    va_list ap;
    va_start(ap, mode);
    short count = 1, index = -1;
    if (mode & PP_COUNT) count = (short)va_arg(ap, int);
    if (mode & PP_INDEX) index = (short)va_arg(ap, int);
    va_end(ap);

    char saved = 0;
    if (mode & PP_FILENAME) {
        saved = seps[PP_FILENAME_CUT];
        seps[PP_FILENAME_CUT] = 0;
    }
    const short tokcap = (short)(2 * linelen + 1);  // usable bytes of token before its NUL
    toklen = 0;
    short result = 0, start = 1, events = 0, remaining = count;
    short i = (index >= 0) ? 0 : pos;
    if (i > linelen) i = linelen;
    short rawstart = i;

    while (remaining > 0) {
        char c = line[i++];
        if (start) {
            if (c == ' ') continue;
            if ((mode & PP_MARK) && remaining == count && toklen == 0) rawstart = (short)(i - 1);
            if (c == 0) {
                result = (remaining == count) ? 1 : 0;
                i--;
                break;
            }
        }
        bool sep = (c == 0) || strchr(seps, c) != nullptr;
        if (sep) {
            if (index >= 0 && events < index) {
                events++;
                toklen = 0;
                if (!start) i--;
                rawstart = i;
                start = 1;
                continue;
            }
            events++;
            if (start) {
                if (toklen < tokcap) token[toklen++] = c;
            } else {
                i--;
            }
            start = 1;
            if (--remaining == 0) break;
            if (toklen < tokcap) token[toklen++] = ' ';
            continue;
        }
        if (c >= 'a' && c <= 'z') c = (char)(c - 'a' + 'A');
        if (toklen < tokcap) token[toklen++] = c;
        start = 0;
    }

    if (mode & (PP_RAW | PP_FILENAME)) {
        short n = (short)(i - rawstart);
        if (n < 0) n = 0;
        if (n > tokcap) n = tokcap;
        memcpy(token, line + rawstart, n);
        toklen = n;
    }
    token[toklen] = 0;
    if (index < 0) pos = i;
    if (mode & PP_FILENAME) seps[PP_FILENAME_CUT] = saved;
    return result;
}

char* PARSE::cmd_ptr() { return line ? line + pos : nullptr; }

short PARSE::delimited(unsigned short keep) {
    if (!line || !token || pos <= 0) return 0;
    char d = line[pos - 1];
    if (d == 0) return 0;
    short start = keep ? (short)(pos - 1) : pos;
    for (;;) {
        if (get(0) == 1) return 1;
        if (token[0] == d) break;
    }
    short end = keep ? pos : (short)(pos - 1);
    short n = (short)(end - start);
    if (n < 0) n = 0;
    memcpy(token, line + start, n);
    token[n] = 0;
    toklen = n;
    return 0;
}

// 1 when a is non-empty and each of its characters (up to n) equals the same place of b, both
// compared with bit 0x20 cleared: a is a prefix of b, without case.
static short xequal(const char* a, const char* b, short n) {
    if (!a || !b || !*a) return 0;
    for (short i = 0; i < n && a[i]; i++) {
        if (!b[i]) return 0;
        if ((a[i] & ~0x20) != (b[i] & ~0x20)) return 0;
    }
    return 1;
}

short WC::streq(const char* a, const char* b) { return xequal(a, b, 0x7FFF); }

short WC::strxfer(char*& dst, const char* src) {
    free(dst);
    dst = nullptr;
    if (!src) return 0;
    size_t n = strlen(src) + 1;
    dst = (char*)mem_zalloc(n);
    if (!dst) return set_errhdl(ERR_MEMORY);
    memcpy(dst, src, n);
    return 0;
}

void WC::strupr(char* s) {
    for (; s && *s; s++)
        if (*s >= 'a' && *s <= 'z') *s = (char)(*s - 'a' + 'A');
}

void WC::memset(void* p, short fill, unsigned n) {
    if (p && n) ::memset(p, fill, n);
}

void WC::memcpy(void* dst, const void* src, unsigned n) {
    if (dst && src && n) ::memcpy(dst, src, n);
}
