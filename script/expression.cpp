// Numbers, integer expressions without precedence, and assignment.
#include "script/expression.h"

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "script/strings.h"
#include "script/symtab.h"
#include "shell/errhdl.h"
#include "shell/parse.h"

namespace {

enum { STACK_SIZE = 130, TAG_NUMBER = 100 };

struct STACK_ENTRY {
    long value;  // always within the 32-bit range
    short tag;   // TAG_NUMBER, or an operator code
};

STACK_ENTRY stack[STACK_SIZE];
short stack_len = 0;

// Operator codes.
enum {
    OP_OPEN = 1,
    OP_CLOSE = 2,
    OP_MOD = 3,
    OP_MUL = 4,
    OP_DIV = 5,
    OP_OR = 6,
    OP_AND = 7,
    OP_XOR = 8,
    OP_NOT = 9,
    OP_LNOT = 10,
    OP_SHR = 11,
    OP_SHL = 12,
    OP_ADD = 13,
    OP_SUB = 14,
    OP_EQ = 15,
    OP_NE = 16,
    OP_GE = 17,
    OP_LE = 18,
    OP_GT = 19,
    OP_LT = 20,
    OP_LAND = 21,
    OP_LOR = 22
};

struct OP_ROW {
    char c;
    short code;
};
const OP_ROW ops[] = {{'(', OP_OPEN}, {')', OP_CLOSE}, {'%', OP_MOD}, {'*', OP_MUL},
                      {'/', OP_DIV},  {'|', OP_OR},    {'&', OP_AND}, {'^', OP_XOR},
                      {'~', OP_NOT},  {'!', OP_LNOT},  {'+', OP_ADD}, {'-', OP_SUB},
                      {'>', OP_GT},   {'<', OP_LT},    {'=', OP_EQ},  {0, 0}};

// Two-character operators; the first row that matches wins.
struct COP_ROW {
    const char* text;
    short code;
};
const COP_ROW cops[] = {{"==", OP_EQ}, {"=>", OP_GE}, {">>", OP_SHR},  {"<<", OP_SHL}, {"!=", OP_NE},
                        {">=", OP_GE}, {"<=", OP_LE}, {"&&", OP_LAND}, {"||", OP_LOR}, {nullptr, 0}};

// Escape letters of character literals and their values.
const char Cstring[] = "btrnf";
const unsigned char Cvalue[] = {8, 9, 13, 10, 12};

// The code of operator character c, or 0.
short op_code(char c) {
    for (const OP_ROW* row = ops; row->c != 0; row++)
        if (row->c == c) return row->code;
    return 0;
}

// Applies binary operator code to l and r in 32-bit two's complement.
// 1 with *res set; 0 with an error queued (division impossible, or not a binary operator).
short apply(short code, int32_t l, int32_t r, int32_t* res) {
    uint32_t ul = static_cast<uint32_t>(l), ur = static_cast<uint32_t>(r);
    switch (code) {
    case OP_MOD:
    case OP_DIV:
        if (r == 0 || (code == OP_DIV && l == INT32_MIN && r == -1)) {
            set_errhdl(ERR_EXPR_ARG1);  // no 32-bit result: divisor 0, or -2147483648 / -1
            return 0;
        }
        // -2147483648 % -1 is 0, but the machine instruction traps on it.
        if (code == OP_MOD)
            *res = r == -1 ? 0 : l % r;
        else
            *res = l / r;
        return 1;
    case OP_MUL: *res = static_cast<int32_t>(ul * ur); return 1;
    case OP_OR: *res = l | r; return 1;
    case OP_AND: *res = l & r; return 1;
    case OP_XOR: *res = l ^ r; return 1;
    case OP_SHR: *res = l >> (ur & 31); return 1;
    case OP_SHL: *res = static_cast<int32_t>(ul << (ur & 31)); return 1;
    case OP_ADD: *res = static_cast<int32_t>(ul + ur); return 1;
    case OP_SUB: *res = static_cast<int32_t>(ul - ur); return 1;
    case OP_EQ: *res = l == r; return 1;
    case OP_NE: *res = l != r; return 1;
    case OP_GE: *res = l >= r; return 1;
    case OP_LE: *res = l <= r; return 1;
    case OP_GT: *res = l > r; return 1;
    case OP_LT: *res = l < r; return 1;
    case OP_LAND: *res = l != 0 && r != 0; return 1;
    case OP_LOR: *res = l != 0 || r != 0; return 1;
    default: set_errhdl(ERR_EXPR_ARG3); return 0;
    }
}

// The character literal at text ('c' or '\c'). 1 with *out and *end (just past the closing
// quote), or 0 with 7001 queued.
short char_literal(const char* text, long* out, const char** end) {
    const char* p = text + 1;
    unsigned char v = static_cast<unsigned char>(*p);
    if (v == 0) {
        set_errhdl(ERR_NUMBER_1);
        return 0;
    }
    if (v == '\\') {
        p++;
        v = static_cast<unsigned char>(*p);
        if (v == 0) {
            set_errhdl(ERR_NUMBER_1);
            return 0;
        }
        const char* hit = strchr(Cstring, v);
        if (hit != nullptr) v = Cvalue[hit - Cstring];
    }
    p++;
    if (*p != '\'') {
        set_errhdl(ERR_NUMBER_1);
        return 0;
    }
    *out = v;
    *end = p + 1;
    return 1;
}

}  // namespace

short toINT(long* out, const char* text, const char* allowed_tail) {
    *out = 0;
    if (text == nullptr) {
        set_errhdl(ERR_NUMBER_2);
        return 0;
    }
    while (*text == ' ') text++;
    long value;
    const char* end;
    if (text[0] == '\'') {
        if (!char_literal(text, &value, &end)) return 0;
    } else {
        char* stop;
        errno = 0;
        if (text[0] == '0' && (text[1] == 'b' || text[1] == 'B'))
            value = strtol(text + 2, &stop, 2);
        else
            value = strtol(text, &stop, 0);
        end = stop;
        // A long of 64 bits holds more than a value may: saturate like a 32-bit strtol.
        if (value > INT32_MAX)
            value = INT32_MAX;
        else if (value < INT32_MIN)
            value = INT32_MIN;
    }
    if (*end != 0 && (allowed_tail == nullptr || strchr(allowed_tail, *end) == nullptr)) {
        set_errhdl(ERR_NUMBER_2);
        return 0;
    }
    *out = value;
    return 1;
}

namespace {

// 1, or 0 with 7017 queued when the stack is full.
short qpush(long value, short tag) {
    if (stack_len >= STACK_SIZE) {
        set_errhdl(ERR_EXPR_PUSH);
        return 0;
    }
    stack[stack_len].value = value;
    stack[stack_len].tag = tag;
    stack_len++;
    return 1;
}

// 1, or 0 with 7018 queued when the stack is empty.
short qpop(long* value, short* tag) {
    if (stack_len <= 0) {
        set_errhdl(ERR_EXPR_POP);
        return 0;
    }
    stack_len--;
    *value = stack[stack_len].value;
    *tag = stack[stack_len].tag;
    return 1;
}

// Reduces the stack from the top, right operand first: to the final value (to_group 0) or to the
// innermost open group, whose "(" the value replaces (to_group 1). 1, or 0 with an error queued.
short eval(unsigned short to_group) {
    for (;;) {
        long r, l, unused;
        short tag, code;
        if (!qpop(&r, &tag)) return 0;
        if (tag != TAG_NUMBER) {
            set_errhdl(ERR_EXPR_ARG1);
            return 0;
        }
        if (to_group == 0 && stack_len == 0) return qpush(r, TAG_NUMBER);
        if (!qpop(&unused, &code)) return 0;
        if (to_group == 1 && code == OP_OPEN) return qpush(r, TAG_NUMBER);
        int32_t res;
        if (code == OP_NOT || code == OP_LNOT) {
            res = code == OP_NOT ? ~static_cast<int32_t>(r) : r == 0;
        } else {
            if (!qpop(&l, &tag)) return 0;
            if (tag != TAG_NUMBER) {
                set_errhdl(ERR_EXPR_ARG2);
                return 0;
            }
            if (!apply(code, static_cast<int32_t>(l), static_cast<int32_t>(r), &res)) return 0;
        }
        if (!qpush(res, TAG_NUMBER)) return 0;
    }
}

}  // namespace

short eval_expr(long* out, const char* stop_chars) {
    stack_len = 0;
    *out = 0;
    while (P.get(0) == 0) {
        char c = P.token[0];
        if (c == ';' || c == '#' || (stop_chars != nullptr && strchr(stop_chars, c) != nullptr)) break;
        short code = op_code(c);
        if (code != 0) {
            const char* rest = P.cmd_ptr();
            char next = rest != nullptr ? rest[0] : 0;
            for (const COP_ROW* row = cops; row->text != nullptr; row++) {
                if (row->text[0] == c && row->text[1] == next) {
                    P.get(0);
                    code = row->code;
                    break;
                }
            }
            if (code == OP_CLOSE) {
                if (!eval(1)) return 0;
            } else if (!qpush(0, code)) {
                return 0;
            }
            continue;
        }
        // A character literal arrives as a lone quote: take the whole quoted text as written.
        if (c == '\'' && P.delimited(1) != 0) return 0;
        long value;
        if (!toINT(&value, P.token, nullptr) || !qpush(value, TAG_NUMBER)) return 0;
    }
    long value;
    short tag;
    if (!eval(0) || !qpop(&value, &tag)) return 0;
    *out = value;
    return 1;
}

// name = expression           INT, INT32: the low 16 or all 32 bits are stored
// name[index] = expression    CHAR element: the low 8 bits are stored
// name = string-expression    CHAR
// 0 when the first token is not a symbol, else 1 (errors queued).
short exec_expr() {
    SYMBOL_TYP* sym = symtab.find(P.token);
    if (sym == nullptr) return 0;
    if (sym->type != T_INT && sym->type != T_INT32 && sym->type != T_CHAR) {
        set_errhdl(ERR_BAD_TOKEN);
        return 1;
    }
    if (sym->value == nullptr) {
        set_errhdl(ERR_BAD_TOKEN);
        return 1;
    }
    if (P.get(0) != 0) {
        set_errhdl(ERR_BAD_COMMAND);
        return 1;
    }
    long value;
    if (sym->type == T_CHAR && P.token[0] == '[') {
        long idx;
        if (P.get(0) != 0) {
            set_errhdl(ERR_BAD_COMMAND);
            return 1;
        }
        if (!toINT(&idx, P.token, nullptr)) {
            set_errhdl(ERR_NUMBER_3);
            return 1;
        }
        if (P.get(0) != 0) {
            set_errhdl(ERR_BAD_COMMAND);
            return 1;
        }
        if (P.token[0] != ']' || idx < 0 || idx >= sym->length) {
            set_errhdl(ERR_INDEX);
            return 1;
        }
        if (P.get(0) != 0 || P.token[0] != '=') {
            set_errhdl(ERR_BAD_COMMAND);
            return 1;
        }
        if (eval_expr(&value, nullptr)) static_cast<char*>(sym->value)[idx] = static_cast<char>(value & 0xFF);
        return 1;
    }
    if (P.token[0] != '=') {
        set_errhdl(ERR_BAD_COMMAND);
        return 1;
    }
    if (sym->type == T_CHAR) {
        eval_strexpr(static_cast<char*>(sym->value), sym->length, nullptr);
        return 1;
    }
    if (!eval_expr(&value, nullptr)) return 1;
    store_number(sym, value);
    return 1;
}
