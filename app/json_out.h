// The --json documents: json-c objects made from the program's data, and the one writer. Text
// from the cards and the host is bytes, not always text: every string goes through json_text,
// so that the document is always valid JSON in UTF-8.
#ifndef VELKOR_APP_JSON_OUT_H
#define VELKOR_APP_JSON_OUT_H

#include <cstdio>

#include <json-c/json.h>

// A JSON string of text: valid UTF-8 kept as it is, each byte that is not part of a valid UTF-8
// sequence made U+FFFD (the replacement character); control characters are escaped by the
// writer. Null text, and "" when empty_is_null is non-zero, give JSON null (a null pointer,
// which json-c writes as null). Null when memory ran out.
json_object* json_text(const char* text, short empty_is_null = 0);
// Adds value under key to the object obj (json-c takes value over; a null value is JSON null).
// Can't fail: when memory runs out the key is missing and json_write says so.
void json_put(json_object* obj, const char* key, json_object* value);
// Appends value to the array arr (json-c takes value over). Can't fail, as json_put.
void json_push(json_object* arr, json_object* value);
// A new object or array (null when memory ran out; json_put and json_push take a null one as
// JSON null, and json_write then says memory ran out).
json_object* json_new_object();
json_object* json_new_array();
// The integer and the boolean as JSON values (null when memory ran out).
json_object* json_number(long long value);
json_object* json_flag(short value);

// Writes doc to fp as one document, laid out two spaces a level and ended by a newline, then
// frees it. Returns 1, or 0 when it could not be made (memory; said on standard error as
// "velkor: cannot write the JSON document: ...") or the write failed (left in fp's error flag).
short json_write(FILE* fp, json_object* doc);

#endif
