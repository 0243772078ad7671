// $ substitution: variable references in a line replaced by their values before it is parsed.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "script/substitution.h"

#include "input/input_stack.h"
#include "script/expression.h"
#include "script/output.h"
#include "script/strings.h"
#include "script/symtab.h"
#include "shell/errhdl.h"
#include "shell/parse.h"

// A reference is '$' and its name: at most 64 characters in all.
enum { REF_MAX = 64 };
// A line whose indexes never settle into numbers would otherwise be substituted without end
// (two variables holding references to each other); after this many passes it runs as it stands.
enum { MAX_PASSES = 32 };

const short* subst_pnp_cards;

// One pass over a line: its output in bigbuf, bounded by the buffer.
struct PASS {
    short out;       // characters written to bigbuf
    short overflow;  // the output did not fit
    short again;     // an element index was not yet a number
};

static void emit(PASS* ps, char c) {
    if (ps->out >= BIGBUF_SIZE - 1) {
        ps->overflow = 1;
        return;
    }
    bigbuf[ps->out++] = c;
}

static void emit_n(PASS* ps, const char* s, size_t n) {
    for (size_t k = 0; k < n && s[k]; k++) emit(ps, s[k]);
}

static short is_sep(char c) { return c && strchr(PARSE::PP_seps, c) ? 1 : 0; }

// A loop head (FOR or WHILE as its own word) keeps its references: the loop substitutes its
// condition afresh at every test.
static short is_loop_head(const char* s) {
    while (*s == ' ') s++;
    const char* words[] = {"FOR", "WHILE"};
    for (const char* w : words) {
        size_t n = strlen(w);
        if (strncasecmp(s, w, n) == 0) {
            char c = s[n];
            if (c == 0 || c == ';' || c == '(' || c == ' ' || c == '#') return 1;
        }
    }
    return 0;
}

// toINT for an element index, leaving the error queue as it was: an index that is not a
// number yet (another reference) is no error, and errors queued earlier stay queued.
static short index_value(long* out, const char* text) {
    short saved[ERRHDL_KEPT];
    short n = errhdl_count();
    if (n > ERRHDL_KEPT) n = ERRHDL_KEPT;
    for (short k = 0; k < n; k++) saved[k] = errhdl_code(k);
    if (toINT(out, text, "]")) return 1;
    clr_errhdl();
    for (short k = 0; k < n; k++) set_errhdl(saved[k]);
    return 0;
}

// The reference at src[i] ('$' and name of reflen characters) resolved into the pass output.
// Returns the index of the first character after what it consumed, or -1 when the line is to
// be dropped (the error queued).
static int reference(PASS* ps, const char* src, int i, int reflen) {
    char name[REF_MAX + 1];
    memcpy(name, src + i, reflen);
    name[reflen] = 0;
    int after = i + reflen;

    // A built-in function stays a call: only its '$' is taken, the name follows as plain text.
    if (is_builtin(name + 1)) {
        emit(ps, '$');
        return i + 1;
    }

    char num[24];
    SYMBOL_TYP* sym = name[1] ? symtab.find(name + 1) : nullptr;
    if (!sym || !sym->value) {
        if (strcasecmp(name, "$NOW") == 0) {
            snprintf(num, sizeof num, "0x%08lX", (unsigned long)(uint32_t)time_sec());
            emit_n(ps, num, sizeof num);
        } else if (strcasecmp(name, "$PNP_CARDS") == 0) {
            snprintf(num, sizeof num, "%d", subst_pnp_cards ? *subst_pnp_cards : 0);
            emit_n(ps, num, sizeof num);
        } else {
            emit_n(ps, name, reflen);
        }
        return after;
    }

    if (sym->type == T_INT) {
        int16_t v;
        memcpy(&v, sym->value, sizeof v);
        snprintf(num, sizeof num, "%d", v);
        emit_n(ps, num, sizeof num);
        return after;
    }
    if (sym->type == T_INT32) {
        int32_t v;
        memcpy(&v, sym->value, sizeof v);
        snprintf(num, sizeof num, "%ld", (long)v);
        emit_n(ps, num, sizeof num);
        return after;
    }
    if (sym->type != T_CHAR) {
        emit_n(ps, name, reflen);
        return after;
    }

    const char* value = (const char*)sym->value;
    size_t length = sym->length > 0 ? (size_t)sym->length : 0;
    int k = after;
    while (src[k] == ' ') k++;
    if (src[k] != '[') {
        if (uquote) emit(ps, '"');
        emit_n(ps, value, length);
        if (uquote) emit(ps, '"');
        return after;
    }

    long idx;
    if (!index_value(&idx, src + k + 1)) {
        ps->again = 1;  // another pass, once the index has become a number
        emit_n(ps, name, reflen);
        return after;
    }
    const char* close = strchr(src + k, ']');
    if (!close) {
        set_errhdl(ERR_MISSING_BRACKET);
        return -1;
    }
    if (idx < 0 || (size_t)idx >= length) {
        set_errhdl(ERR_INDEX);
        return -1;
    }
    if (uquote) emit(ps, '\'');
    if (value[idx]) emit(ps, value[idx]);
    if (uquote) emit(ps, '\'');
    return (int)(close - src) + 1;
}

// One pass over src into bigbuf (terminated). 1, or 0 when the line is to be dropped (6004,
// 6005 or 7008 queued).
static short one_pass(const char* src, PASS* ps) {
    short esc = 0, squote = 0, dquote = 0;
    ps->out = 0;
    ps->overflow = 0;
    ps->again = 0;
    int i = 0;
    while (src[i]) {
        char c = src[i];
        if (esc || c != '$' || squote || dquote) {
            if (esc)
                esc = 0;
            else if (c == '\\')
                esc = 1;
            else if (c == '"')
                dquote ^= 1;
            else if (c == '\'')
                squote ^= 1;
            emit(ps, c);
            i++;
        } else {
            // The name ends at a separator or at the next '$', which begins a reference of its own.
            int j = i + 1;
            while (src[j] && src[j] != '$' && !is_sep(src[j])) j++;
            if (j - i > REF_MAX) {
                set_errhdl(ERR_TOO_LONG);
                return 0;
            }
            i = reference(ps, src, i, j - i);
            if (i < 0) return 0;
        }
        if (ps->overflow) {
            set_errhdl(ERR_TOO_LONG);  // the substituted line does not fit its buffer
            return 0;
        }
    }
    bigbuf[ps->out] = 0;
    return 1;
}

static short substitute_line(const char* text) {
    if (!text || !strchr(text, '$') || is_loop_head(text)) return P.command(text) == 0 ? 1 : 0;

    // Passes write bigbuf: a text that lies in it is read from a copy.
    char* copy = nullptr;
    const char* src = text;
    if (text >= bigbuf && text < bigbuf + BIGBUF_SIZE) {
        if (WC::strxfer(copy, text)) return 0;
        src = copy;
    }
    short ok = 1;
    for (short pass = 1;; pass++) {
        PASS ps;
        if (!one_pass(src, &ps)) {
            ok = 0;
            break;
        }
        if (!ps.again || pass >= MAX_PASSES || strcmp(bigbuf, src) == 0) break;
        if (WC::strxfer(copy, bigbuf)) {
            ok = 0;
            break;
        }
        src = copy;
    }
    WC::strxfer(copy, nullptr);
    if (!ok) return 0;
    return P.command(bigbuf) == 0 ? 1 : 0;
}

namespace {
// A loop condition, loaded in P, ends at the ';' or '{' of its line.
short loop_condition(long* value) { return eval_expr(value, ";{"); }
}  // namespace

void attach_script_to_input() {
    input_hooks.substitute = substitute_line;
    input_hooks.condition = loop_condition;
}
