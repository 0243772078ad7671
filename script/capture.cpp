// Reading block statements: bounded text builders and raw scanning of P across continuation lines.
#include "script/capture.h"

#include <cstring>

#include "input/input_stack.h"
#include "script/variables.h"
#include "shell/errhdl.h"
#include "shell/parse.h"
#include "shell/signals.h"

void BLOCK_TYP::make(char* buffer, short capacity) {
    buf = buffer;
    cap = capacity;
    len = 0;
    overflow = 0;
}

void BLOCK_TYP::put(char c) {
    if (len < cap) {
        buf[len++] = c;
    } else {
        overflow = 1;
    }
}

short BLOCK_TYP::at_line_start() const { return len == 0 || buf[len - 1] == 0; }

void BLOCK_TYP::endline() {
    if (!at_line_start()) put(0);
}

void BLOCK_TYP::close() {
    // Every block ends in exactly two NULs: the last line's and the block's own.
    if (len == 0 || buf[len - 1] != 0) put(0);
    put(0);
}

void BLOCK_TYP::terminate() {
    if (len < cap) {
        buf[len] = 0;
    } else {
        overflow = 1;
        if (cap > 0) buf[cap - 1] = 0;
    }
}

char cur_char() {
    if (!P.line || P.pos < 0 || P.pos >= P.linelen) return 0;
    return P.line[P.pos];
}

short next_line(const char* prompt, unsigned short substitute) {
    for (;;) {
        if (sig_pending()) return 0;  // Ctrl-C: the construct is dropped
        STREAM_TYP* f = input.stream_ptr(0);
        if (!f) return 0;
        if (input.hold || (!f->text && !f->fp)) {
            // The keyboard, which knows the end of input.
            if (!getline(prompt, substitute)) return 0;
            break;
        }
        if (f->text && *f->cursor == 0) {
            // Reading on would start the loop's next pass (its step, its condition, its body
            // again) inside this construct, without end when the braces never balance.
            if (f->cond) {
                set_errhdl(ERR_BRACES);
                return 0;
            }
            input.pop();  // a plain block is used up: read on in the frame below
            continue;
        }
        // A line, or none: a file ended (its frame is gone) or a line was dropped.
        if (input.setup(prompt, substitute)) break;
    }
    P.pos = 0;
    return 1;
}

short next_word(const char* prompt) {
    while (P.get(0) != 0 || P.token[0] == '#') {
        if (!next_line(prompt, 0)) return 0;
    }
    return 1;
}

short rest_is_empty(short pos) {
    if (!P.line) return 1;
    const char* s = P.line + pos;
    while (*s == ' ') s++;
    return *s == 0 || *s == ';' || *s == '#';
}

void NESTING_TYP::make(char opening, char closing) {
    open = opening;
    close = closing;
    depth = 1;
}

short NESTING_TYP::closes(char c) {
    if (c == open)
        depth++;
    else if (c == close && --depth == 0)
        return 1;
    return 0;
}

short scan_to(char target, const char* prompt, unsigned short substitute, bool semicolon_ends,
              BLOCK_TYP* keep) {
    for (;;) {
        char c = cur_char();
        if (c == 0 || c == '#' || (c == ';' && semicolon_ends)) {
            if (!next_line(prompt, substitute)) return 0;
            if (keep) keep->put(' ');
            continue;
        }
        P.pos++;
        if (c == target) return 1;
        if (keep) keep->put(c);
    }
}

short skip_block(const char* prompt, unsigned short substitute) {
    NESTING_TYP braces;
    braces.make('{', '}');
    for (;;) {
        char c = cur_char();
        if (c == 0) {
            if (!next_line(prompt, substitute)) return 0;
            continue;
        }
        P.pos++;
        if (braces.closes(c)) return 1;
    }
}

short rest_fits(short pos) {
    // The line, its NUL and the block's NUL.
    return P.line && strlen(P.line + pos) + 2 <= SMALLBUF_SIZE;
}

short push_rest(short pos) {
    if (!rest_fits(pos)) {
        set_errhdl(ERR_TOO_LONG);
        return 0;
    }
    size_t n = strlen(P.line + pos);
    memcpy(smallbuf, P.line + pos, n);
    smallbuf[n] = 0;
    smallbuf[n + 1] = 0;
    return input.push(smallbuf, (short)(n + 2), nullptr, 0, nullptr, 0);
}
