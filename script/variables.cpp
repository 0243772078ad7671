// Variable commands: INT, INT32, CHAR declarations, SHOW, GET, DELETE; continuation-line readers.
#include "script/variables.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "input/input_stack.h"
#include "script/expression.h"
#include "script/symtab.h"
#include "shell/cgets.h"
#include "shell/memory.h"
#include "shell/signals.h"
#include "shell/errhdl.h"
#include "shell/parse.h"

namespace {

const short CHAR_DEFAULT_LENGTH = 80;
const char* const SHOW_HEADER = "%-32.32s  %-5.5s  %-6.6s  %s\n";
const char* const SHOW_UNDEFINED = "%-32.32s  %-5.5s  %s\n";

// Takes the next token of P. 1 when there is one that does not end the command (';' or '#'
// begins a comment), else 0.
short next_arg() {
    if (P.get(0) != 0) return 0;
    return P.token[0] != ';' && P.token[0] != '#';
}

// Skips the rest of a bracketed size: up to and including its ']', or up to a ';' or '#' (left
// unread: it ends the command) or the end of the line. Can't fail.
void skip_bracket_rest() {
    for (;;) {
        short before = P.pos;
        if (P.get(0) != 0 || P.token[0] == ']') return;
        if (P.token[0] == ';' || P.token[0] == '#') {
            P.pos = before;
            return;
        }
    }
}

// The size after a CHAR name: "[expr]", a bare number, or nothing (80). A ';', '#' or ',' that
// follows the name or ends the size is left unread for the caller. With evaluate 0 the size is
// only read past (the name is not being declared). 1 with *length, or 0 when the size cannot be
// evaluated (the evaluator's errors queued).
short char_size(long* length, short evaluate) {
    *length = CHAR_DEFAULT_LENGTH;
    short before = P.pos;
    if (P.get(0) != 0) return 1;
    char c = P.token[0];
    if (c == ';' || c == '#' || c == ',') {
        P.pos = before;
        return 1;
    }
    if (c != '[') return evaluate ? toINT(length, P.token, nullptr) : 1;
    if (!evaluate) {
        skip_bracket_rest();
        return 1;
    }
    short ok = eval_expr(length, "]");
    // The evaluator has read its stop token: ']' closes the size, while a ';' or '#' ends the
    // command and goes back for the caller (a separator is a token of one character). Any other
    // token is the one it failed at, inside the brackets.
    c = P.token[0];
    if (c == ';' || c == '#')
        P.pos--;
    else if (!ok && c != ']')
        skip_bracket_rest();
    return ok;
}

}  // namespace

// INT name [, name ...]      INT32 name [, name ...]
// CHAR name [[size] | size] [, name ...]
// Every name not yet defined becomes a zeroed variable. 0 when the first token is no type name.
short exec_defvar() {
    short type;
    if (strcasecmp(P.token, "INT32") == 0)
        type = T_INT32;
    else if (strcasecmp(P.token, "INT") == 0)
        type = T_INT;
    else if (strcasecmp(P.token, "CHAR") == 0)
        type = T_CHAR;
    else
        return 0;

    SYMBOL_TYP proto;
    proto.make();
    short seen = 0;
    while (next_arg()) {
        if (seen && P.token[0] == ',') continue;
        seen = 1;
        if (symtab.find(P.token) != nullptr) {
            set_errhdl(ERR_DEFINED);
            set_errdetail(" '%s'", P.token);
            long unused;
            if (type == T_CHAR) char_size(&unused, 0);  // the size belongs to the name: no name itself
            continue;
        }
        // The name is copied first: reading the size replaces the token.
        if (!proto.make(P.token, type, 1, 0, nullptr, 0)) break;
        long size = type == T_INT ? 2 : 4;
        if (type == T_CHAR && !char_size(&size, 1)) {
            set_errhdl(ERR_CHAR_LENGTH);
            proto.unmake();
            continue;
        }
        short length = static_cast<short>(static_cast<uint16_t>(size));
        if (length == 0) {
            proto.unmake();
            continue;
        }
        void* block = length > 0 ? mem_zalloc(length) : nullptr;
        if (block == nullptr) {
            set_errhdl(ERR_MEMORY);
            proto.unmake();
            break;
        }
        proto.length = length;
        proto.value = block;
        short inserted = symtab.insert(&proto);
        proto.unmake();  // frees the block too when the table did not take it
        if (!inserted) break;
    }
    if (!seen) set_errhdl(ERR_DECLARATION);
    proto.unmake();
    return 1;
}

// One row of the SHOW table: name, type, length and value. hex shows an INT in hexadecimal.
static void dump_sym(SYMBOL_TYP* sym, short hex) {
    short type = sym->type >= T_NONE && sym->type <= T_FUNCTION ? sym->type : short(T_NONE);
    printf("%-32.32s  ", sym->name != nullptr ? sym->name : "");
    printf("%-5.5s  ", SYMBOL_TYP::typenames[type]);
    printf("%6d  ", sym->length);
    if (sym->value != nullptr || type == T_FUNCTION) {
        switch (type) {
        case T_INT32: printf("%lx", static_cast<unsigned long>(*static_cast<uint32_t*>(sym->value))); break;
        case T_INT: {
            int v = *static_cast<short*>(sym->value);  // sign-extended: -1 is ffffffff in hex
            if (hex)
                printf("%x", static_cast<unsigned>(v));
            else
                printf("%d", v);
            break;
        }
        case T_CHAR: {
            // An element assignment can overwrite the last NUL: never read past length.
            const char* text = static_cast<const char*>(sym->value);
            printf("'%.*s'", static_cast<int>(strnlen(text, sym->length)), text);
            break;
        }
        case T_FUNCTION: printf("%d-Args", sym->arg_count); break;
        default: break;
        }
    }
    printf("\n");
}

// SHOW [HEX] [name [, name ...]] [*]   named rows show INT in hex; no name lists every symbol
short exec_show() {
    if (strcasecmp(P.token, "SHOW") != 0) return 0;
    if (symtab.count == 0) {
        printf("\nNo variables have been declared!\n\n");
        return 1;
    }
    printf("\n");
    printf(SHOW_HEADER, "NAME", "TYPE", "LENGTH", "VALUE");
    printf(SHOW_HEADER, "----", "----", "------", "-----");
    printf("\n");
    short hex = 0, named = 0, taken = 0;
    while (next_arg() && P.token[0] != '*') {
        if (strcasecmp(P.token, "HEX") == 0) {
            hex = 1;
            taken = 1;
            continue;
        }
        if (taken && P.token[0] == ',') continue;
        taken = 1;
        named = 1;
        SYMBOL_TYP* sym = symtab.find(P.token);
        if (sym != nullptr) {
            dump_sym(sym, 1);
            printf("\n");
        } else {
            printf(SHOW_UNDEFINED, P.token, "NONE", "NOT DEFINED");
        }
    }
    if (!named)
        for (short i = 0; i < symtab.count; i++) dump_sym(symtab.index[i], hex);
    printf("\n");
    return 1;
}

// GET name ["prompt" | 'prompt']   reads one keyboard line into the variable; at end of input
// the variable is left alone and every frame above the keyboard is dropped
short exec_get() {
    if (strcasecmp(P.token, "GET") != 0) return 0;
    if (P.get(0) != 0) {
        set_errhdl(ERR_END_OF_LINE);
        return 1;
    }
    SYMBOL_TYP* sym = symtab.find(P.token);
    if (sym == nullptr || sym->value == nullptr ||
        (sym->type != T_INT && sym->type != T_INT32 && sym->type != T_CHAR)) {
        set_errhdl(ERR_ARGUMENT_REF);
        return 1;
    }
    const char* prompt = "";
    if (P.get(0) == 0 && (P.token[0] == '\'' || P.token[0] == '"')) {
        if (P.delimited(0) != 0) {
            set_errhdl(ERR_END_OF_LINE);
            return 1;
        }
        prompt = P.token;
    }
    const char* line = cgets(smallbuf, prompt);
    if (sig_pending()) return 1;  // Ctrl-C or a termination signal: the variable keeps its value
    if (cgets_eof()) {
        // Nothing more will be typed: the variable keeps its value and the run ends as at end of
        // input, which the command loop's next keyboard read sees once nothing is above it.
        input.hold = 0;
        while (input.depth > 1) input.pop();
        return 1;
    }
    if (line == nullptr)
        return 1;  // a line too long for the buffer was refused (6004): the variable keeps its value
    if (sym->type == T_CHAR) {
        char* text = static_cast<char*>(sym->value);
        memset(text, 0, sym->length);
        size_t n = strnlen(smallbuf, SMALLBUF_SIZE);
        if (n > static_cast<size_t>(sym->length - 1)) n = sym->length - 1;
        memcpy(text, smallbuf, n);
        return 1;
    }
    long value;
    if (!toINT(&value, smallbuf, nullptr)) {
        set_errhdl(ERR_NUMBER_1);
        return 1;
    }
    store_number(sym, value);
    return 1;
}

// DELETE name [, name ...]   (or DEL)   removes variables, functions and bound variables alike
short exec_delete() {
    if (strcasecmp(P.token, "DELETE") != 0 && strcasecmp(P.token, "DEL") != 0) return 0;
    short seen = 0;
    while (next_arg()) {
        if (seen && P.token[0] == ',') continue;
        seen = 1;
        if (!symtab.remove(P.token)) set_errhdl(ERR_DELETION);
    }
    if (!seen) set_errhdl(ERR_DELETION);
    return 1;
}

short getline(const char* prompt, unsigned short substitute) {
    for (;;) {
        if (sig_pending()) return 0;  // the construct being read is abandoned
        short from_keyboard = input.is_keyboard() && !input.hold;
        if (input.setup(prompt, substitute)) {
            // At end of input the keyboard hands out empty lines: they are no line.
            if (from_keyboard && cgets_eof()) return 0;
            return 1;
        }
        if (cgets_eof() && input.is_keyboard()) return 0;
    }
}

short getword(const char* prompt) {
    while (P.get(0) != 0 || P.token[0] == '#') {
        if (!getline(prompt, 0)) return 0;
    }
    return 1;
}
