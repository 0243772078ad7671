// Loops and conditionals: WHILE, FOR, BREAK, CONTINUE, IF, ELSE IF, ELSE.
//
// Loops are not run here: their handlers capture the whole construct and push it on the input
// stack as a loop frame, which hands the body out again and again while the condition holds.
// Conditionals work in place: a true block's lines are simply read as commands, a false block
// is read and thrown away.
#include "script/control.h"

#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "input/input_stack.h"
#include "script/capture.h"
#include "script/expression.h"
#include "shell/errhdl.h"
#include "shell/memory.h"
#include "shell/parse.h"

namespace {

const char WHILE_PROMPT[] = "WHILE> ";
const char FOR_PROMPT[] = "FOR> ";
const char IF_PROMPT[] = "IF> ";
const char ELSE_PROMPT[] = "ELSE> ";

// The WHILE condition has a buffer of its own: bigbuf receives the substitution of every line,
// and continuation lines are read while the condition is kept.
char while_cond[BIGBUF_SIZE];
char if_cond[SMALLBUF_SIZE];

// Captures a loop body from after its '{' up to the matching '}' into body, closed as a text
// block; P's position is left after that '}'. skip_lead drops the leading blanks of
// continuation lines. 1, or 0 at the end of input (the loop is abandoned).
short capture_body(BLOCK_TYP& body, const char* prompt, bool skip_lead) {
    while (cur_char() == ' ') P.pos++;
    NESTING_TYP braces;
    braces.make('{', '}');
    for (;;) {
        char c = cur_char();
        if (c == 0) {
            if (!next_line(prompt, 0)) return 0;
            body.endline();
            if (skip_lead) {
                while (cur_char() == ' ') P.pos++;
            }
            continue;
        }
        P.pos++;
        if (braces.closes(c)) break;
        body.put(c);
    }
    body.close();
    return 1;
}

// Reads raw text up to and including the first '{' (see scan_to): ';' reads on in headers; a
// skipped ELSE part (semicolon_ends false) runs on to its brace. When cond is given the text is
// kept there. 1, or 0 at the end of input.
short read_to_brace(BLOCK_TYP* cond, const char* prompt, unsigned short substitute,
                    bool semicolon_ends = true) {
    return scan_to('{', prompt, substitute, semicolon_ends, cond);
}

// Pushes the frames of a captured loop, bottom first: the rest of the line after its '}' (runs
// when the loop is done), the loop frame, and the initial statements (FOR) on top.
// On a failed push every frame pushed here is removed again (the error is queued).
void push_loop(short restpos, const BLOCK_TYP& body, const char* cond, short condlen, const char* step,
               short steplen, const char* init, short initlen) {
    short pushed = 0;
    if (!rest_is_empty(restpos)) {
        if (!push_rest(restpos)) return;
        pushed++;
    }
    if (input.push(body.buf, body.len, cond, condlen, step, steplen)) {
        pushed++;
        if (!init || input.push(init, initlen, nullptr, 0, nullptr, 0)) return;
    }
    while (pushed-- > 0) input.pop();
}

// One part of a FOR header, from P's position up to its end character (';', or for the step
// the ')' that closes the header's '('). A line end or '#' reads the next line and stands as a
// blank. statements: each ',' ends a statement, which becomes a line of the block.
// 1, or 0 at the end of input.
short header_part(BLOCK_TYP& part, bool is_step, bool statements) {
    NESTING_TYP parens;
    parens.make('(', ')');
    for (;;) {
        char c = cur_char();
        if (c == 0 || c == '#') {
            if (!next_line(FOR_PROMPT, 0)) return 0;
            part.put(' ');
            continue;
        }
        P.pos++;
        if (is_step) {
            if (parens.closes(c)) return 1;
        } else if (c == ';') {
            return 1;
        }
        if (c == ',' && statements) {
            part.endline();
        } else {
            part.put(c);
        }
    }
}

// A heap copy of a built part (len bytes); null with 1001 queued when memory runs out.
char* keep_part(const BLOCK_TYP& part) {
    char* copy = (char*)mem_alloc(part.len > 0 ? part.len : 1);
    if (!copy) {
        set_errhdl(ERR_MEMORY);
        return nullptr;
    }
    memcpy(copy, part.buf, part.len);
    return copy;
}

// Runs an IF whose condition starts at P's position (after IF, also after ELSE): evaluates the
// condition up to its '{', then either leaves the block's lines to run as commands or skips
// the block. Returns 1.
short run_if() {
    BLOCK_TYP cond;
    cond.make(if_cond, SMALLBUF_SIZE - 1);
    if (!read_to_brace(&cond, IF_PROMPT, 1)) return 1;
    cond.terminate();
    short bracepos = P.pos;

    short ok = 0;
    long value = 0;
    if (cond.overflow) {
        set_errhdl(ERR_TOO_LONG);
    } else {
        // The evaluator reads P: load the condition, then put the '{' line back.
        char* line = nullptr;
        if (WC::strxfer(line, P.line) != 0) return 1;
        if (P.command(cond.buf) == 0) ok = eval_expr(&value, ";{");
        P.command(line);
        WC::strxfer(line, nullptr);
        P.pos = bracepos;
        if (!ok) return 1;  // nothing is skipped: the block's lines run as commands
    }

    if (ok && value != 0) {
        if (!rest_is_empty(P.pos)) input.hold = 1;
        return 1;
    }
    if (!skip_block(IF_PROMPT, 1)) return 1;
    if (cond.overflow) {
        // Refused whole: an ELSE of this IF is skipped too.
        STREAM_TYP* top = input.stream_ptr(0);
        if (top) top->endbrace = 1;
    }
    if (!rest_is_empty(P.pos)) input.hold = 1;
    return 1;
}

}  // namespace

// WHILE (expr) { body }   the body is captured and pushed as a loop frame; the input stack
// tests the condition before every pass, so a false condition runs the body zero times.
short exec_while() {
    if (strcasecmp(P.token, "WHILE") != 0) return 0;
    BLOCK_TYP cond;
    cond.make(while_cond, BIGBUF_SIZE - 1);
    if (!read_to_brace(&cond, WHILE_PROMPT, 0)) return 1;
    cond.terminate();

    BLOCK_TYP body;
    body.make(hugebuf, HUGEBUF_SIZE);
    if (!capture_body(body, WHILE_PROMPT, true)) return 1;

    short restpos = P.pos;
    if (cond.overflow || body.overflow || (!rest_is_empty(restpos) && !rest_fits(restpos))) {
        set_errhdl(ERR_TOO_LONG);
        return 1;
    }
    push_loop(restpos, body, cond.buf, cond.len, nullptr, 0, nullptr, 0);
    return 1;
}

// FOR ( init, init ... ; (expr) ; step, step ... ) { body }
// Runs the init statements, then the condition, then body, step, condition ... until the
// condition is zero or fails. The step never runs before the first test.
short exec_for() {
    if (strcasecmp(P.token, "FOR") != 0) return 0;
    if (!scan_to('(', FOR_PROMPT, 0, false, nullptr)) return 1;

    // Each part is built in hugebuf and kept on the heap until the frames are pushed.
    char* parts[3] = {nullptr, nullptr, nullptr};  // init, condition, step
    short lens[3] = {0, 0, 0};
    short too_long = 0;

    BLOCK_TYP part;
    BLOCK_TYP body;
    for (int i = 0; i < 3; i++) {
        bool is_cond = i == 1;
        part.make(hugebuf, is_cond ? HUGEBUF_SIZE - 1 : HUGEBUF_SIZE);
        if (!header_part(part, i == 2, !is_cond)) goto done;
        if (is_cond) {
            part.terminate();
        } else {
            part.close();
        }
        too_long |= part.overflow;
        parts[i] = keep_part(part);
        if (!parts[i]) goto done;
        lens[i] = part.len;
    }

    if (!read_to_brace(nullptr, FOR_PROMPT, 0)) goto done;
    body.make(hugebuf, HUGEBUF_SIZE);
    if (!capture_body(body, FOR_PROMPT, false)) goto done;

    if (too_long || body.overflow || (!rest_is_empty(P.pos) && !rest_fits(P.pos))) {
        set_errhdl(ERR_TOO_LONG);
        goto done;
    }
    {
        // A block without lines is left out: an empty step must never become due.
        bool has_init = parts[0][0] != 0;
        bool has_step = parts[2][0] != 0;
        push_loop(P.pos, body, parts[1], lens[1], has_step ? parts[2] : nullptr, has_step ? lens[2] : 0,
                  has_init ? parts[0] : nullptr, has_init ? lens[0] : 0);
    }
done:
    for (char* p : parts) free(p);
    return 1;
}

// BREAK | CONTINUE | CONT   act on the innermost loop, only from that loop's own body
short exec_loopctl() {
    bool is_break = strcasecmp(P.token, "BREAK") == 0;
    if (!is_break && strcasecmp(P.token, "CONTINUE") != 0 && strcasecmp(P.token, "CONT") != 0) return 0;
    STREAM_TYP* top = input.stream_ptr(0);
    if (!top || !top->text || !top->cond) {
        set_errhdl(ERR_OUT_OF_CONTEXT);
        return 1;
    }
    if (is_break) {
        input.pop();
        return 1;
    }
    // The body counts as used up whenever the cursor rests on a NUL: the end of its first line
    // is one, so the next read runs the step (FOR) and tests the condition.
    top->endbrace = 0;
    short first = (short)strnlen(top->text, top->textlen > 0 ? top->textlen : 0);
    if (first >= top->textlen) first = top->textlen > 0 ? top->textlen - 1 : 0;
    top->cursor = top->text + first;
    return 1;
}

// IF (expr) { block } [ELSE IF (expr) { block }] ... [ELSE { block }]
short exec_if() {
    if (strcasecmp(P.token, "IF") != 0) return 0;
    return run_if();
}

// Offered every command before the handler chain: a '}' marks that a block has run to its end;
// ELSE then runs its part only when the preceding block did not run.
short exec_ifctl() {
    STREAM_TYP* top = input.stream_ptr(0);
    if (!top) return 0;
    short block_ran = top->endbrace;
    top->endbrace = 0;

    if (strcmp(P.token, "}") == 0) {
        top->endbrace = 1;
        input.hold = 1;  // the rest of the line (typically ELSE) is the next command
        return 1;
    }
    if (strcasecmp(P.token, "ELSE") != 0) return 0;

    if (!block_ran) {
        // This part runs: up to its '{', or into a new condition after ELSE IF.
        for (;;) {
            // A ';' is dropped like any other word; a comment ends the line.
            if (P.get(0) != 0 || P.token[0] == '#') {
                if (!next_line(ELSE_PROMPT, 1)) return 1;
                continue;
            }
            if (strcasecmp(P.token, "IF") == 0) return run_if();
            if (P.token[0] == '{') {
                input.hold = 1;
                return 1;
            }
        }
    }

    // A block of the chain has run: skip this part (with an ELSE IF's condition) and mark the
    // chain again, so that a further ELSE is skipped as well.
    if (!read_to_brace(nullptr, ELSE_PROMPT, 1, false)) return 1;
    if (!skip_block(ELSE_PROMPT, 1)) return 1;
    top = input.stream_ptr(0);  // lines may have come from frames below
    if (top) top->endbrace = 1;
    if (!rest_is_empty(P.pos)) input.hold = 1;
    return 1;
}
