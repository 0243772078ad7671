// Built-in string functions (date, time, environment) and string expressions.
#include "script/strings.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "script/expression.h"
#include "shell/errhdl.h"
#include "shell/parse.h"

// Identifiers of the built-in functions; ORDER: the `builtin` table lists them in this order.
enum { BI_DATE = 0, BI_DATEY2, BI_DATEY4, BI_TIME, BI_DATETIME, BI_SYSENV };

// Tried in order: the first name the word abbreviates wins (so "DT_DATE" is DT_DATE, "S" SYS_ENV).
static const BUILTIN_TYP builtin[] = {
    {BI_DATE, "DT_DATE"}, {BI_DATEY2, "DT_DATEY2"},     {BI_DATEY4, "DT_DATEY4"},
    {BI_TIME, "DT_TIME"}, {BI_DATETIME, "DT_DATETIME"}, {BI_SYSENV, "SYS_ENV"},
    {0, nullptr},
};

static const char* const montxt[12] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                       "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};

// Room for either date/time form with its terminator (the long form has 21 characters).
enum { TIMDAT_SIZE = 22 };

const BUILTIN_TYP* get_builtin(const char* name) {
    if (!name) return nullptr;
    if (*name == '$') name++;
    for (const BUILTIN_TYP* b = builtin; b->name; b++)
        if (WC::streq(name, b->name)) return b;
    return nullptr;
}

const char* builtin_name(short k) {
    const short count = (short)(sizeof builtin / sizeof builtin[0]) - 1;  // the null entry ends it
    return k >= 0 && k < count ? builtin[k].name : nullptr;
}

short is_builtin(const char* name) { return get_builtin(name) ? 1 : 0; }

// Takes the next token. With opens, that token must begin with one of its characters (else 7015
// and 0); the token after it is then taken. Returns 1 otherwise.
static short get_args(const char* opens) {
    short none = P.get(0);
    if (!opens) return 1;
    if (none || !P.token[0] || !strchr(opens, P.token[0])) {
        set_errhdl(ERR_FUNCTION_ARGS);
        return 0;
    }
    P.get(0);
    return 1;
}

long time_sec() {
    time_t now = time(nullptr);
    if (now == (time_t)-1) return 0;
    return (long)(uint32_t)now;
}

// The 22 bytes of buf that strings.h asks for are TIMDAT_SIZE.
void str_timdat(unsigned long when, char* buf, short type) {
    time_t t = (time_t)(uint32_t)when;  // times are 32-bit counts
    struct tm zero_tm;
    memset(&zero_tm, 0, sizeof zero_tm);
    zero_tm.tm_mday = 1;
    zero_tm.tm_year = 70;
    const struct tm* tm = localtime(&t);
    if (!tm) tm = &zero_tm;
    const char* mon = montxt[(unsigned)tm->tm_mon % 12];
    char form[64];
    if (type == 4)
        snprintf(form, sizeof form, "%s %02d, %04d %02d:%02d:%02d", mon, tm->tm_mday, tm->tm_year + 1900,
                 tm->tm_hour, tm->tm_min, tm->tm_sec);
    else
        snprintf(form, sizeof form, "%s-%02d-%02d %02d:%02d:%02d", mon, tm->tm_mday,
                 (tm->tm_year + 1900) % 100, tm->tm_hour, tm->tm_min, tm->tm_sec);
    size_t n = strnlen(form, TIMDAT_SIZE - 1);
    memcpy(buf, form, n);
    buf[n] = 0;
}

// Appends text at position *i of dst (len bytes). A text of len - 1 characters fits; the one
// character more that would land on the last byte is counted but not stored, so that dst stays
// terminated. 1, or 0 with 7023 queued once *i has reached len (dst holds len - 1 characters).
static short append(char* dst, short len, short* i, const char* text) {
    for (; *text; text++) {
        if (*i >= len) {
            dst[len - 1] = 0;
            set_errhdl(ERR_EXPR_OVERFLOW);
            return 0;
        }
        if (*i < len - 1) {
            dst[*i] = *text;
            dst[*i + 1] = 0;
        }
        (*i)++;
    }
    return 1;
}

// The call of built-in `b`, its name just taken: reads "( [argument] )" from P and leaves the
// result text in out (at least TIMDAT_SIZE bytes) or points *env at an environment value.
// 1, or 0 on failure (7015 or the number error queued; nothing queued when the line ends).
static short call_builtin(const BUILTIN_TYP* b, char* out, const char** env) {
    long when = time_sec();
    *env = nullptr;
    out[0] = 0;
    if (!get_args("(")) return 0;
    if (b->id == BI_SYSENV) {
        // Only a quoted name is an argument: an unquoted word would lose its case in the
        // tokenizer, so it is refused like a missing bracket.
        if (P.token[0] != '"' && P.token[0] != '\'') {
            set_errhdl(ERR_FUNCTION_ARGS);
            return 0;
        }
        if (P.delimited(0)) return 0;
        *env = getenv(P.token);
        if (!*env) *env = "";
        if (P.get(0)) return 0;
    } else {
        if (!P.token[0]) return 0;  // the line ended right after "("
        if (strcmp(P.token, ")") != 0) {
            if (!toINT(&when, P.token, nullptr)) return 0;
            if (P.get(0)) return 0;
        }
        char form[TIMDAT_SIZE];
        str_timdat((unsigned long)when, form, b->id == BI_DATEY4 ? 4 : 2);
        switch (b->id) {
        case BI_DATE:
        case BI_DATEY2: snprintf(out, TIMDAT_SIZE, "%.9s", form); break;
        case BI_DATEY4: snprintf(out, TIMDAT_SIZE, "%.12s", form); break;
        case BI_TIME: snprintf(out, TIMDAT_SIZE, "%s", form + 10); break;
        default: snprintf(out, TIMDAT_SIZE, "%s", form); break;
        }
    }
    if (strcmp(P.token, ")") != 0) {
        set_errhdl(ERR_FUNCTION_ARGS);
        return 0;
    }
    return 1;
}

short eval_strexpr(char* dst, short len, const char* stops) {
    if (!dst || len <= 0) {
        set_errhdl(ERR_EXPR_OVERFLOW);
        return 0;
    }
    short i = 0;
    dst[0] = 0;
    while (!P.get(0)) {
        char c = P.token[0];
        if (c == ';' || c == '#' || (stops && c && strchr(stops, c))) break;
        if (strcmp(P.token, "+") == 0) continue;
        if (c == '"' || c == '\'') {
            if (P.delimited(0)) return 0;
            if (!append(dst, len, &i, P.token)) return 0;
            continue;
        }
        const BUILTIN_TYP* b = get_builtin(P.token);
        if (!b) {
            // A bare word (a CHAR value substituted without QUOTE, a misspelt name) is refused:
            // it has lost its case and blanks in the tokenizer, so no text could stand for it.
            set_errhdl(ERR_BAD_TOKEN);
            set_errdetail(" '%s'", P.token);
            return 0;
        }
        char out[TIMDAT_SIZE];
        const char* env;
        if (!call_builtin(b, out, &env)) return 0;
        if (!append(dst, len, &i, env ? env : out)) return 0;
    }
    dst[len - 1] = 0;
    if (i >= len) {
        set_errhdl(ERR_EXPR_OVERFLOW);
        return 0;
    }
    dst[i] = 0;
    return 1;
}
