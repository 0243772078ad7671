// Input stack: keyboard, command-file and text-block frames handing out one line at a time.
#include "input/input_stack.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include "shell/cgets.h"
#include "shell/errhdl.h"
#include "shell/memory.h"
#include "shell/parse.h"
#include "shell/signals.h"

char smallbuf[SMALLBUF_SIZE];
char bigbuf[BIGBUF_SIZE];
char hugebuf[HUGEBUF_SIZE];

INPUT_TYP input;
INPUT_HOOKS_TYP input_hooks;

namespace {
short where_hook(const char** name, long* line) { return input.where(name, line); }

// The stack exists before main runs, holding the keyboard frame, and closes its files at the end.
// Every error queued is placed at the command file line it came from.
struct INPUT_INIT {
    INPUT_INIT() {
        input.make();
        errhdl_where_hook = where_hook;
    }
    ~INPUT_INIT() { input.unmake(); }
} input_init;

void free_frame(STREAM_TYP* f) {
    if (f->fp) fclose(f->fp);
    free(f->text);
    free(f->cond);
    free(f->step);
    free(f->name);
    f->name = nullptr;
    f->fp = nullptr;
    f->text = f->cursor = f->cond = f->step = nullptr;
}

// A heap copy of n bytes followed by two NULs, so that a block always ends even if the caller's
// did not.
char* copy_block(const char* src, short n) {
    if (n < 0) n = 0;
    char* p = (char*)mem_zalloc((size_t)n + 2);
    if (p && n) memcpy(p, src, (size_t)n);
    return p;
}

// What read_file_line found.
enum { LINE_END = 0, LINE_READ = 1, LINE_TOO_LONG = -1, LINE_SIGNAL = -2 };

// Reads one line of a command file into smallbuf, without its newline (and a carriage return
// before it). Returns LINE_READ, LINE_END at end of file, LINE_TOO_LONG for a line too long for
// the buffer (the rest of it is read and thrown away, never kept), or LINE_SIGNAL when a signal
// came while it read (what was read of the line is lost). A line that never ends (a device
// that gives bytes for ever) is read until a signal comes.
short read_file_line(FILE* fp) {
    short n = 0, too_long = 0;
    for (;;) {
        if (sig_pending()) {
            smallbuf[0] = 0;
            return LINE_SIGNAL;
        }
        int c = getc(fp);
        if (c == EOF) {
            // A read a signal cut short is not the end of the file.
            if (ferror(fp) && errno == EINTR) {
                clearerr(fp);
                continue;
            }
            if (n == 0 && !too_long) return LINE_END;
            break;
        }
        if (c == '\n') break;
        if (n < SMALLBUF_SIZE - 1)
            smallbuf[n++] = (char)c;
        else
            too_long = 1;
    }
    if (too_long) {
        smallbuf[0] = 0;
        return LINE_TOO_LONG;
    }
    if (n > 0 && smallbuf[n - 1] == '\r') n--;
    smallbuf[n] = 0;
    return LINE_READ;
}
}  // namespace

void INPUT_TYP::make() {
    hold = 0;
    depth = 0;
    frames = nullptr;
    push(nullptr, nullptr);
}

void INPUT_TYP::unmake() {
    for (short i = 0; i < depth; i++) {
        free_frame(frames[i]);
        free(frames[i]);
    }
    free(frames);
    frames = nullptr;
    depth = 0;
    hold = 0;
}

short INPUT_TYP::allocate() {
    // depth is a signed 16-bit count: one more frame would wrap it.
    if (depth >= INPUT_DEPTH_MAX) {
        set_errhdl(ERR_STACK_OVERFLOW);
        return 0;
    }
    STREAM_TYP* f = (STREAM_TYP*)mem_zalloc(sizeof(STREAM_TYP));
    STREAM_TYP** grown = f ? (STREAM_TYP**)mem_realloc(frames, sizeof(STREAM_TYP*) * (depth + 1)) : nullptr;
    if (!grown) {
        free(f);
        set_errhdl(ERR_MEMORY);
        return 0;
    }
    frames = grown;
    frames[depth++] = f;
    return 1;
}

short INPUT_TYP::deallocate() {
    if (depth <= 0) {
        set_errhdl(ERR_STACK_UNDERFLOW);
        return 0;
    }
    free(frames[--depth]);
    frames[depth] = nullptr;
    if (depth == 0) {
        free(frames);
        frames = nullptr;
    }
    return 1;
}

// Opens path as a command file. A directory opens for reading but holds no lines: it is no
// command file, as a missing one. null with errno set when path is none.
static FILE* open_command_file(const char* path) {
    FILE* fp = fopen(path, "r");
    if (!fp) return nullptr;
    struct stat st;
    if (fstat(fileno(fp), &st) == 0 && S_ISDIR(st.st_mode)) {
        fclose(fp);
        errno = EISDIR;
        return nullptr;
    }
    return fp;
}

short INPUT_TYP::push(const char* name, const char* ext) {
    if (!allocate()) return 0;
    if (!name) return 1;
    STREAM_TYP* f = frames[depth - 1];
    // The whole name is used (a cut name could open another file than the one meant).
    f->fp = open_command_file(name);
    int reason = errno;
    const char* opened = name;
    char* full = nullptr;
    // Out of file descriptors (a file that runs itself) the name with the extension fails too.
    bool no_descriptor = !f->fp && (reason == EMFILE || reason == ENFILE);
    if (!f->fp && ext && !no_descriptor) {
        size_t n = strlen(name), e = strlen(ext);
        full = (char*)mem_alloc(n + e + 1);
        if (!full) {
            reason = ENOMEM;  // the name with the extension was never tried
        } else {
            memcpy(full, name, n);
            memcpy(full + n, ext, e + 1);
            f->fp = open_command_file(full);
            if (f->fp) opened = full;
        }
    }
    if (!f->fp) {
        // No descriptor left is a full stack: the file itself is there.
        set_errhdl(no_descriptor ? ERR_STACK_OVERFLOW : reason == ENOMEM ? ERR_MEMORY : ERR_NO_FILE);
        if (!no_descriptor && reason != ENOMEM) {
            if (ext)
                set_errdetail(" '%s' (nor '%s%s'): %s", name, name, ext, strerror(reason));
            else
                set_errdetail(" '%s': %s", name, strerror(reason));
        }
        free(full);
        deallocate();
        return 0;
    }
    // The name places the file's errors; without memory for it they go unplaced.
    if (opened != full) {
        free(full);
        size_t n = strlen(name);
        full = (char*)mem_alloc(n + 1);
        if (full) memcpy(full, name, n + 1);
    }
    f->name = full;
    return 1;
}

short INPUT_TYP::push(const char* text, short textlen, const char* cond, short condlen, const char* step,
                      short steplen) {
    if (textlen < 1 || !text) textlen = 1, text = "";
    // A step of no bytes is none: its length would read as due again each time it ran.
    if (steplen < 1) step = nullptr;
    if (!allocate()) return 0;
    STREAM_TYP* f = frames[depth - 1];
    f->text = copy_block(text, textlen);
    f->textlen = textlen;
    if (cond) f->cond = copy_block(cond, condlen);
    if (step) f->step = copy_block(step, steplen);
    if (!f->text || (cond && !f->cond) || (step && !f->step)) {
        free_frame(f);
        deallocate();
        set_errhdl(ERR_MEMORY);
        return 0;
    }
    // A loop tests its condition before the first pass: start at the end of the block.
    f->cursor = cond ? f->text + (textlen - 1) : f->text;
    if (step) f->steplen = (short)-steplen;
    return 1;
}

short INPUT_TYP::pop() {
    if (depth <= 0) {
        set_errhdl(ERR_STACK_OVERFLOW);
        return 0;
    }
    free_frame(frames[depth - 1]);
    return deallocate();
}

STREAM_TYP* INPUT_TYP::stream_ptr(unsigned short report) {
    if (depth <= 0) {
        if (report) set_errhdl(ERR_STACK_OVERFLOW);
        return nullptr;
    }
    return frames[depth - 1];
}

short INPUT_TYP::where(const char** name, long* line) {
    for (short i = depth - 1; i >= 0; i--) {
        const STREAM_TYP* f = frames[i];
        if (!f->fp) continue;
        if (!f->name) return 0;
        *name = f->name;
        *line = f->lineno;
        return 1;
    }
    // With -q a script piped in is placed too, as "-" (standard input), by the lines read.
    if (cgets_quiet && cgets_lines() > 0 && !isatty(STDIN_FILENO)) {
        *name = "-";
        *line = cgets_lines();
        return 1;
    }
    return 0;
}

short INPUT_TYP::is_file() {
    STREAM_TYP* f = stream_ptr(0);
    return f && f->fp ? 1 : 0;
}

short INPUT_TYP::is_funct() {
    STREAM_TYP* f = stream_ptr(0);
    return f && f->text ? 1 : 0;
}

short INPUT_TYP::is_keyboard() {
    STREAM_TYP* f = stream_ptr(0);
    return f && !f->fp && !f->text ? 1 : 0;
}

short INPUT_TYP::varsubst(const char* text, unsigned short substitute) {
    if (substitute && text && input_hooks.substitute) return input_hooks.substitute(text);
    return P.command(text) == 0 ? 1 : 0;
}

short INPUT_TYP::setup(const char* prompt, unsigned short substitute) {
    if (hold) {
        hold = 0;
        return 1;
    }
    smallbuf[0] = 0;
    STREAM_TYP* f = stream_ptr(1);
    if (!f) return 0;

    if (f->text) {
        if (*f->cursor) {
            const char* line = f->cursor;
            f->cursor += strlen(line) + 1;
            return varsubst(line, substitute);
        }
        // The body is used up: run the step when it is due, else test the condition.
        if (f->step && f->steplen >= 0) {
            short len = f->steplen;
            f->steplen = (short)-f->steplen;
            push(f->step, len, nullptr, 0, nullptr, 0);
            return 0;
        }
        if (f->step) f->steplen = (short)-f->steplen;
        if (!f->cond) {
            pop();
            return 0;
        }
        long value = 0;
        if (!varsubst(f->cond, 1) || !input_hooks.condition || !input_hooks.condition(&value) || value == 0) {
            pop();
            return 0;
        }
        f->cursor = f->text;
        if (!*f->cursor) return 0;  // an empty body: the condition is tested again next turn
        const char* line = f->cursor;
        f->cursor += strlen(line) + 1;
        return varsubst(line, substitute);
    }

    if (f->fp) {
        short r = read_file_line(f->fp);
        if (r == LINE_READ || r == LINE_TOO_LONG) f->lineno++;
        if (r == LINE_END) {
            pop();
            return 0;
        }
        if (r == LINE_TOO_LONG) set_errhdl(ERR_TOO_LONG);
        if (r != LINE_READ) return 0;
        return varsubst(smallbuf, substitute);
    }

    if (!cgets(smallbuf, prompt) || sig_pending()) return 0;
    return varsubst(smallbuf, substitute);
}
