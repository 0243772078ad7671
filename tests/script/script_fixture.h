// Test support of the script layer: a script fed to the handlers through the input stack, and the
// frames they push.
#ifndef VELKOR_TESTS_SCRIPT_SCRIPT_FIXTURE_H
#define VELKOR_TESTS_SCRIPT_SCRIPT_FIXTURE_H

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "input/input_stack.h"
#include "script/control.h"
#include "script/symtab.h"
#include "shell/errhdl.h"
#include "shell/memory.h"
#include "shell/parse.h"
#include "support/program_fixture.h"
#include "support/run_line.h"

// The lines of a text block joined by '|', up to the empty line that ends it.
inline std::string block(const char* p, short len) {
    std::string out;
    const char* end = p + len;
    while (p < end && *p) {
        if (!out.empty()) out += "|";
        size_t n = strnlen(p, (size_t)(end - p));
        out.append(p, n);
        p += n + 1;
    }
    return out;
}

// The frames above the script's own, bottom first: "text[A|B]" or "loop[body] if[cond] step[..]".
inline std::string frames() {
    std::string out;
    for (short i = 2; i < input.depth; i++) {
        STREAM_TYP* f = input.frames[i];
        if (!out.empty()) out += " ";
        if (!f->cond) {
            out += "text[" + block(f->text, f->textlen) + "]";
            continue;
        }
        out += "loop[" + block(f->text, f->textlen) + "] if[" + f->cond + "]";
        if (f->step) out += " step[" + block(f->step, (short)-f->steplen) + "]";
    }
    return out;
}

// A fresh program (the keyboard at its end: a construct left open is abandoned, never waits).
class ScriptTest : public ProgramTest {
protected:
    // The script's lines become a text frame above the keyboard.
    void script(const std::vector<std::string>& lines) {
        std::string text;
        for (const std::string& l : lines) text += l + std::string(1, '\0');
        text += std::string(1, '\0');
        ASSERT_EQ(input.push(text.data(), (short)text.size(), nullptr, 0, nullptr, 0), 1);
        ASSERT_EQ(input.depth, 2);
    }
    // Reads the next line of the script and offers it to handler (after exec_ifctl, as the
    // command loop does). What the handler returned, or -1 when there was no line. A fail_at
    // other than 0 is given to mem_fail_at just before exec_ifctl, and left as it then stands.
    short run(HANDLER handler, long fail_at = 0) {
        if (!input.setup("", 1)) return -1;
        if (P.get(0) != 0) return -1;
        if (fail_at) mem_fail_at(fail_at);
        if (exec_ifctl()) return 1;
        return handler();
    }
    // The rest of P's line from its position, as the command loop would go on with it.
    std::string held() { return input.hold ? std::string(P.line + P.pos) : std::string("-"); }
    // Goes on with the held rest of the line, as the command loop's next turn does: the first
    // token of the rest is current. 1, or 0 when nothing was held.
    short resume() {
        if (!input.hold || !input.setup("", 1)) return 0;
        return P.get(0) == 0;
    }
    // The next line the script itself would hand out ("-" for none, also when its frame is gone).
    std::string next_script_line() {
        input.hold = 0;
        if (input.depth < 2) return "-";
        STREAM_TYP* f = input.frames[1];
        return *f->cursor ? std::string(f->cursor) : std::string("-");
    }
};

#endif
