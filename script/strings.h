// Built-in string functions (date, time, environment) and string expressions.
#ifndef VELKOR_SCRIPT_STRINGS_H
#define VELKOR_SCRIPT_STRINGS_H

struct BUILTIN_TYP {
    int id;
    const char* name;
};

short is_builtin(const char* name);
const BUILTIN_TYP* get_builtin(const char* name);
// Evaluates the string expression in P into dst (len bytes). 1, or 0 on failure.
short eval_strexpr(char* dst, short len, const char* stops);
long time_sec();
// Long form (type 4) "MMM DD, YYYY hh:mm:ss", else short "MMM-DD-YY hh:mm:ss".
void str_timdat(unsigned long when, char* buf, short type);

#endif
