// The --json documents: strings made safe, and the writer.
#include "app/json_out.h"

#include <cerrno>
#include <cstring>
#include <string>

namespace {
short memory_ran_out;  // an object or key could not be made since the last json_write

// The length of the valid UTF-8 sequence at p (left bytes there), or 0 when there is none:
// no overlong forms, no surrogates, nothing past U+10FFFF.
size_t utf8_sequence(const unsigned char* p, size_t left) {
    unsigned char c = p[0];
    if (c < 0x80) return 1;
    size_t n = c >= 0xC2 && c <= 0xDF ? 2 : c >= 0xE0 && c <= 0xEF ? 3 : c >= 0xF0 && c <= 0xF4 ? 4 : 0;
    if (n == 0 || n > left) return 0;
    for (size_t k = 1; k < n; k++)
        if ((p[k] & 0xC0) != 0x80) return 0;
    if (c == 0xE0 && p[1] < 0xA0) return 0;   // overlong
    if (c == 0xED && p[1] >= 0xA0) return 0;  // a surrogate
    if (c == 0xF0 && p[1] < 0x90) return 0;   // overlong
    if (c == 0xF4 && p[1] >= 0x90) return 0;  // past U+10FFFF
    return n;
}
}  // namespace

json_object* json_text(const char* text, short empty_is_null) {
    if (!text || (empty_is_null && !text[0])) return nullptr;
    std::string safe;
    const unsigned char* p = (const unsigned char*)text;
    size_t left = strlen(text);
    while (left) {
        size_t n = utf8_sequence(p, left);
        if (n) {
            safe.append((const char*)p, n);
        } else {
            safe.append("\xEF\xBF\xBD");
            n = 1;
        }
        p += n;
        left -= n;
    }
    json_object* s = json_object_new_string_len(safe.data(), (int)safe.size());
    if (!s) memory_ran_out = 1;
    return s;
}

void json_put(json_object* obj, const char* key, json_object* value) {
    if (!obj || json_object_object_add(obj, key, value) != 0) {
        json_object_put(value);
        memory_ran_out = 1;
    }
}

void json_push(json_object* arr, json_object* value) {
    if (!arr || json_object_array_add(arr, value) != 0) {
        json_object_put(value);
        memory_ran_out = 1;
    }
}

json_object* json_new_object() {
    json_object* v = json_object_new_object();
    if (!v) memory_ran_out = 1;
    return v;
}

json_object* json_new_array() {
    json_object* v = json_object_new_array();
    if (!v) memory_ran_out = 1;
    return v;
}

json_object* json_number(long long value) {
    json_object* v = json_object_new_int64(value);
    if (!v) memory_ran_out = 1;
    return v;
}

json_object* json_flag(short value) {
    json_object* v = json_object_new_boolean(value ? 1 : 0);
    if (!v) memory_ran_out = 1;
    return v;
}

short json_write(FILE* fp, json_object* doc) {
    const char* text =
        doc && !memory_ran_out
            ? json_object_to_json_string_ext(doc, JSON_C_TO_STRING_PRETTY | JSON_C_TO_STRING_SPACED | JSON_C_TO_STRING_NOSLASHESCAPE)
            : nullptr;
    short ok = text != nullptr;
    if (ok)
        fprintf(fp, "%s\n", text);
    else
        fprintf(stderr, "velkor: cannot write the JSON document: %s\n", strerror(ENOMEM));
    memory_ran_out = 0;
    json_object_put(doc);
    return ok;
}
