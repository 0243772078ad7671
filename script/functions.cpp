// User functions: FUNCTION definitions and CALL.
//
// A function is a FUNCTION symbol whose value is its body as a text block, with each argument
// reference $k (1 <= k <= argument count) stored as the single byte k. A call copies the body
// with every such byte replaced by the text of argument k and pushes the result as a plain text
// frame: there is no call frame and no local scope.
#include "script/functions.h"

#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "input/input_stack.h"
#include "script/capture.h"
#include "script/expression.h"
#include "script/symtab.h"
#include "shell/errhdl.h"
#include "shell/memory.h"
#include "shell/parse.h"

namespace {

const char FUNCTION_PROMPT[] = "FUNCTION> ";
const char CALL_PROMPT[] = "CALL> ";

// References are bytes 1 to 31, so that ordinary characters (32 and up) never pass for one.
enum { MAX_ARGS = 31 };
// Body bytes that could be read as a reference (a tab in a function of 9 or more arguments) are
// stored behind this byte, which is itself stored doubled; a call copies the byte after it.
const char LITERAL = 0x7F;

// Stores the argument reference that starts at the '$' at P's position: its digits are read as
// a number literal (a leading 0 makes them octal). k from 1 to nargs is stored as the byte k;
// any other number is kept as written; digits that are no number ("08") queue toINT's 7002
// and 7011 and are dropped.
void put_reference(BLOCK_TYP& body, short nargs) {
    short start = P.pos;
    short end = start + 1;
    while (P.line[end] >= '0' && P.line[end] <= '9') end++;
    P.pos = end;

    char digits[16];
    short n = end - start - 1;
    long k = 0;
    if (n < (short)sizeof digits) {
        memcpy(digits, P.line + start + 1, n);
        digits[n] = 0;
        if (!toINT(&k, digits, nullptr)) {
            set_errhdl(ERR_ARGUMENT_REF);
            return;
        }
    } else {
        k = -1;  // far beyond any argument number
    }
    if (k >= 1 && k <= nargs) {
        body.put((char)k);
    } else {
        for (short i = start; i < end; i++) body.put(P.line[i]);
    }
}

// Captures a function body from after its '{' to the matching '}' with references encoded.
// P's position is left after that '}'. 1, or 0 at the end of input.
short capture_function(BLOCK_TYP& body, short nargs) {
    NESTING_TYP braces;
    braces.make('{', '}');
    for (;;) {
        char c = cur_char();
        if (c == 0) {
            if (!next_line(FUNCTION_PROMPT, 0)) return 0;
            body.endline();
            continue;
        }
        if (c == '$' && P.line[P.pos + 1] >= '0' && P.line[P.pos + 1] <= '9') {
            put_reference(body, nargs);
            continue;
        }
        P.pos++;
        if (braces.closes(c)) break;
        if ((c >= 1 && c <= nargs) || c == LITERAL) body.put(LITERAL);
        body.put(c);
    }
    // The closing brace stands for one NUL and the block's own NUL follows, also when the
    // brace opens a line whose predecessor already ended with its NUL.
    body.put(0);
    body.put(0);
    return 1;
}

// The argument texts of one call, each a heap string; freed by release.
struct ARGS_TYP {
    char* text[MAX_ARGS];
    short count;
    short wanted;

    void make(short n) {
        count = 0;
        wanted = n;
        for (char*& t : text) t = nullptr;
    }
    void release() {
        for (char*& t : text) {
            free(t);
            t = nullptr;
        }
        count = 0;
    }
    // Takes the text of P's line from start to end as the next argument. 1, or 0 with 7015
    // (one too many, or any text for a function without arguments) or 1001 queued.
    short store(short start, short end) {
        if (wanted == 0) {
            for (short i = start; i < end; i++) {
                if (P.line[i] != ' ') {
                    set_errhdl(ERR_FUNCTION_ARGS);
                    return 0;
                }
            }
            return 1;
        }
        if (count >= wanted) {
            set_errhdl(ERR_FUNCTION_ARGS);
            return 0;
        }
        char* t = (char*)mem_alloc(end - start + 1);
        if (!t) {
            set_errhdl(ERR_MEMORY);
            return 0;
        }
        memcpy(t, P.line + start, end - start);
        t[end - start] = 0;
        text[count++] = t;
        return 1;
    }
};

// Reads the argument list from after its '(' to the matching ')'; P's position is left after
// it. Arguments end at a ',' of the call's own parentheses, at ';', '#', a line end, and at the
// closing ')'; an inner pair of parentheses stays whole inside its argument.
// 1, or 0 when the call is abandoned (error queued, or the end of input).
short read_args(ARGS_TYP& args) {
    NESTING_TYP parens;
    parens.make('(', ')');
    short start = P.pos;
    // An opening parenthesis that ends its line leaves no argument behind on that line.
    bool skip_empty = cur_char() == 0;
    for (;;) {
        char c = cur_char();
        if (c == 0 || c == ';' || c == '#') {
            if (!skip_empty && !args.store(start, P.pos)) return 0;
            skip_empty = false;
            if (!next_line(CALL_PROMPT, 1)) return 0;
            start = 0;
            continue;
        }
        if (parens.closes(c)) {
            short end = P.pos++;
            return args.store(start, end);
        }
        if (c == ',' && parens.depth == 1) {
            if (args.wanted == 0) {
                set_errhdl(ERR_FUNCTION_ARGS);
                return 0;
            }
            if (!args.store(start, P.pos)) return 0;
            start = P.pos + 1;
        }
        P.pos++;
    }
}

// Expands body (len bytes) with the arguments into hugebuf. The expanded length, or 0 when it
// does not fit.
short expand(const char* body, short len, const ARGS_TYP& args) {
    BLOCK_TYP out;
    out.make(hugebuf, HUGEBUF_SIZE);
    for (short i = 0; i < len; i++) {
        unsigned char b = (unsigned char)body[i];
        if (b == (unsigned char)LITERAL && i + 1 < len) {
            out.put(body[++i]);
        } else if (b >= 1 && b <= args.count) {
            for (const char* s = args.text[b - 1]; *s; s++) out.put(*s);
        } else {
            out.put((char)b);
        }
        if (out.overflow) return 0;
    }
    return out.len;
}

}  // namespace

// FUNCTION name( [n] ) { body }   stores the body under name; $1 ... $n refer to the arguments.
// The header's tokens may be spread over lines. Body lines are read without substitution.
short exec_deffunct() {
    if (strcasecmp(P.token, "FUNCTION") != 0) return 0;
    if (!next_word(FUNCTION_PROMPT)) return 1;
    if (symtab.find(P.token)) {
        set_errhdl(ERR_DEFINED);
        set_errdetail(" '%s'", P.token);
        return 1;
    }
    // A name of one separator character could never be called.
    if (P.toklen == 1 && strchr(PARSE::PP_seps, P.token[0])) {
        set_errhdl(ERR_FUNCTION_DECL);
        return 1;
    }
    char* name = nullptr;
    if (WC::strxfer(name, P.token) != 0) return 1;

    short result = 1;
    short nargs = 0;
    BLOCK_TYP body;
    char* value = nullptr;
    SYMBOL_TYP proto;
    if (!next_word(FUNCTION_PROMPT)) goto done;
    if (strcmp(P.token, "(") != 0) {
        set_errhdl(ERR_FUNCTION_DECL);
        goto done;
    }
    if (!next_word(FUNCTION_PROMPT)) goto done;
    if (strcmp(P.token, ")") != 0) {
        long n = 0;
        if (!toINT(&n, P.token, nullptr) || n < 0 || n > MAX_ARGS) {
            set_errhdl(ERR_FUNCTION_DECL);
            goto done;
        }
        nargs = (short)n;
        if (!next_word(FUNCTION_PROMPT)) goto done;
        if (strcmp(P.token, ")") != 0) {
            set_errhdl(ERR_FUNCTION_DECL);
            goto done;
        }
    }
    if (!scan_to('{', FUNCTION_PROMPT, 0, true, nullptr)) goto done;

    body.make(hugebuf, HUGEBUF_SIZE);
    if (!capture_function(body, nargs)) goto done;
    if (body.overflow) {
        set_errhdl(ERR_TOO_LONG);
        goto done;
    }
    value = (char*)mem_alloc(body.len);
    if (!value) {
        set_errhdl(ERR_MEMORY);
        goto done;
    }
    memcpy(value, body.buf, body.len);
    if (!proto.make(name, T_FUNCTION, 1, body.len, value, nargs)) {
        free(value);
        goto done;
    }
    symtab.insert(&proto);  // takes over the body, unless it fails
    proto.unmake();

    // Text after the closing brace is the next command.
    if (!rest_is_empty(P.pos)) input.hold = 1;
done:
    WC::strxfer(name, nullptr);
    return result;
}

// CALL name(arg, arg, ...)   runs the function's body with the argument texts put in for
// $1 ... $n; text after the ')' runs once the function is done.
short exec_call() {
    if (strcasecmp(P.token, "CALL") != 0) return 0;
    if (P.get(0) != 0) {
        set_errhdl(ERR_FUNCTION_NAME);
        return 1;
    }
    // Only a FUNCTION's value is a body: a variable's storage must never run as text.
    SYMBOL_TYP* fn = symtab.find(P.token);
    if (!fn || fn->type != T_FUNCTION || !fn->value) {
        set_errhdl(ERR_NO_FUNCTION);
        set_errdetail(" '%s'", P.token);
        return 1;
    }
    short nargs = fn->arg_count;
    if (nargs < 0 || nargs > MAX_ARGS) {
        set_errhdl(ERR_NO_FUNCTION);
        return 1;
    }
    const char* body = (const char*)fn->value;
    short bodylen = fn->length;

    ARGS_TYP args;
    args.make(nargs);
    if (!scan_to('(', CALL_PROMPT, 1, true, nullptr)) return 1;
    if (!read_args(args)) {
        args.release();
        return 1;
    }
    if (args.count != nargs) {
        set_errhdl(ERR_FUNCTION_ARGS);
        args.release();
        return 1;
    }

    short restpos = P.pos;
    bool has_rest = !rest_is_empty(restpos);
    short len = expand(body, bodylen, args);
    args.release();
    if (len == 0 || (has_rest && !rest_fits(restpos))) {
        set_errhdl(ERR_TOO_LONG);
        return 1;
    }
    if (has_rest && !push_rest(restpos)) return 1;
    if (!input.push(hugebuf, len, nullptr, 0, nullptr, 0) && has_rest) input.pop();
    return 1;
}
