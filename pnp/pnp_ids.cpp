// Vendor names from the system's PnP ID list, read once into a table of every 3-letter ID.
#include "pnp/pnp_ids.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "pnp/host_files.h"
#include "shell/memory.h"

namespace {

const char* const SYSTEM_LIST = "/usr/share/hwdata/pnp.ids";

enum {
    ID_CODES = 1 << 15,      // three letters of 5 bits
    FIRST_NAMES = 16 * 1024  // bytes of the first block of names
};

// The names read: slot[code] is 1 + the offset of the ID's name in names, 0 for no name.
struct PNP_IDS {
    short read;
    unsigned slot[ID_CODES];
    char* names;
    size_t used, size;
};

PNP_IDS ids;

// The 5-bit value of an ID letter ('@' 0, 'A' 1 ... '_' 31), or -1 for another character.
int letter_value(char c) { return c >= '@' && c <= '_' ? c - '@' : -1; }

// The 15-bit code of the three letters at s, or -1 when they are not all ID letters. With fold,
// a lower-case letter counts as its upper-case one.
long id_code(const char* s, short fold) {
    long code = 0;
    for (short i = 0; i < 3; i++) {
        char c = s[i];
        if (fold && c >= 'a' && c <= 'z') c = (char)(c - 'a' + 'A');
        int v = letter_value(c);
        if (v < 0) return -1;  // a NUL too: nothing past it is read
        code = code << 5 | v;
    }
    return code;
}

// The length of the valid UTF-8 character at p (len bytes left, len > 0, *p >= 0x80), with its
// code point in *cp; 0 when the byte starts none (a stray continuation byte, an overlong form, a
// surrogate, past U+10FFFF, or a sequence cut short).
size_t utf8_char(const unsigned char* p, size_t len, unsigned long* cp) {
    size_t n;
    unsigned long least;
    if (*p >= 0xC2 && *p <= 0xDF) {
        n = 2, least = 0x80, *cp = *p & 0x1Fu;
    } else if (*p >= 0xE0 && *p <= 0xEF) {
        n = 3, least = 0x800, *cp = *p & 0x0Fu;
    } else if (*p >= 0xF0 && *p <= 0xF4) {
        n = 4, least = 0x10000, *cp = *p & 0x07u;
    } else {
        return 0;
    }
    if (n > len) return 0;
    for (size_t i = 1; i < n; i++) {
        if ((p[i] & 0xC0) != 0x80) return 0;
        *cp = *cp << 6 | (p[i] & 0x3Fu);
    }
    if (*cp < least || *cp > 0x10FFFF || (*cp >= 0xD800 && *cp <= 0xDFFF)) return 0;
    return n;
}

// The safe copy of the name s..s+len into out (PNP_IDS_NAME_SIZE bytes): see the header. Returns
// its length.
size_t safe_name(const char* s, size_t len, char* out) {
    const unsigned char* p = (const unsigned char*)s;
    size_t at = 0, kept = 0;
    while (at < len) {
        size_t n = 1;
        unsigned long cp = p[at];
        if (p[at] >= 0x80) n = utf8_char(p + at, len - at, &cp);
        short safe = n > 0 && cp >= 0x20 && cp != 0x7F && !(cp >= 0x80 && cp <= 0x9F);
        size_t width = safe ? n : 1;
        if (kept + width > PNP_IDS_NAME_SIZE - 1) break;
        if (safe)
            memcpy(out + kept, p + at, n);
        else
            out[kept] = '?';
        kept += width;
        at += n ? n : 1;
    }
    out[kept] = 0;
    return kept;
}

short blank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

// Keeps the name of the line (len bytes) for its ID, unless the line is malformed or the ID has
// a name already. 1, or 0 when the memory for the name is not there.
short take_line(const char* line, size_t len) {
    long code = len > 4 && line[3] == '\t' ? id_code(line, 0) : -1;
    if (code < 0 || ids.slot[code]) return 1;
    const char* name = line + 4;
    size_t n = len - 4;
    while (n && blank(*name)) name++, n--;
    while (n && blank(name[n - 1])) n--;
    if (!n) return 1;
    if (ids.size - ids.used < PNP_IDS_NAME_SIZE) {  // doubled, the room left is more than a name
        size_t size = ids.size ? ids.size * 2 : (size_t)FIRST_NAMES;
        void* p = mem_realloc(ids.names, size);
        if (!p) return 0;
        ids.names = (char*)p;
        ids.size = size;
    }
    size_t kept = safe_name(name, n, ids.names + ids.used);
    ids.slot[code] = (unsigned)ids.used + 1;
    ids.used += kept + 1;
    return 1;
}

void read_list() {
    ids.read = 1;
    const char* path = getenv("VELKOR_PNP_IDS");
    if (!path || !*path) path = SYSTEM_LIST;
    HOST_FILE hf;
    if (!host_open_path(path, hf)) return;
    // Two more than the list's bytes: the reader counts what ends a line (its newline, or the end
    // of the file) too, so a line whose text ends at the limit leaves one over, and a line the
    // limit cuts leaves none.
    hf.left = PNP_IDS_READ_MAX + 2;
    char line[PNP_IDS_LINE_SIZE];
    for (long lines = 0; lines < PNP_IDS_LINES_MAX; lines++) {
        // A longer line keeps its start, which holds all of a name that is kept.
        if (!host_read_line(hf, line, sizeof line) || !hf.left || !take_line(line, strlen(line))) break;
    }
    fclose(hf.f);
}

}  // namespace

const char* pnp_vendor_name(const char* id) {
    long code = id ? id_code(id, 1) : -1;
    if (code < 0) return nullptr;
    if (!ids.read) read_list();
    return ids.slot[code] ? ids.names + ids.slot[code] - 1 : nullptr;
}

void pnp_ids_forget() {
    free(ids.names);
    memset(&ids, 0, sizeof ids);
}
