// Built-in string functions (date, time, environment) and string expressions.
#ifndef VELKOR_SCRIPT_STRINGS_H
#define VELKOR_SCRIPT_STRINGS_H

// A built-in function: its identifier and its name ("DT_DATE").
struct BUILTIN_TYP {
    int id;
    const char* name;
};

// 1 when name (a leading '$' skipped) abbreviates a built-in function name, else 0 (also for
// null or an empty name).
short is_builtin(const char* name);
// The first built-in, in the order DT_DATE, DT_DATEY2, DT_DATEY4, DT_TIME, DT_DATETIME, SYS_ENV,
// that name abbreviates without case (a leading '$' skipped), or null. The entry is static.
const BUILTIN_TYP* get_builtin(const char* name);
// The name of built-in k (from 0) in that order ("DT_DATE"), null past the last.
const char* builtin_name(short k);
// Evaluates the string expression that follows in P into dst, a buffer of len bytes: quoted
// texts and built-in calls, joined with or without '+', up to the end of the line, a ';' or '#'
// token, or a token beginning with a character of stops (may be null; that token is consumed).
// Returns 1, or 0 on failure: 7023 when the text does not fit, 7009 for a bare word, 7015 for
// bad call arguments, the number error of a time argument; nothing is queued when the line ends
// inside a call or a quoted text. dst always ends terminated and holds what was appended before
// a failure (a text that does not fit: its first len - 1 characters). A null dst or len below 1
// is 7023 with nothing written.
short eval_strexpr(char* dst, short len, const char* stops);
// Seconds since 1970 as a 32-bit count; 0 when the clock cannot be read.
long time_sec();
// Writes when (seconds since 1970, local time) into buf, which holds at least 22 bytes: the long
// form "MMM DD, YYYY hh:mm:ss" for type 4, else the short form "MMM-DD-YY hh:mm:ss". Can't fail:
// a time localtime refuses prints as the epoch.
void str_timdat(unsigned long when, char* buf, short type);

#endif
