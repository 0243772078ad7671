// Output and mode commands: DEBUG, ECHO, QUOTE, FILE, PRINT, SHELL.
#include "script/output.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>
#include <sys/wait.h>

#include "input/input_stack.h"
#include "shell/cgets.h"
#include "shell/errhdl.h"
#include "shell/lost_output.h"
#include "shell/parse.h"
#include "shell/signals.h"

FILE* outfp = stdout;
short udebug;
short uquote;

short shell_disabled = 0;
const char* file_confine_dir = nullptr;

// Name of the open output file as typed; empty while reports go to the screen.
enum { FILENAME_SIZE = 64 };
static char filename[FILENAME_SIZE];

// 1 when the current token of P is `word` (exact, any case).
static short is_keyword(const char* word) { return P.token && strcasecmp(P.token, word) == 0; }

// Shared by DEBUG, QUOTE and ECHO: with no argument prints the state, else sets the flag from
// ON or OFF (abbreviated; ON tested first); anything else queues 4003.
static void mode_command(unsigned short* flag, const char* message) {
    if (P.get(0)) {
        printf(message, *flag ? "ON" : "OFF");
        return;
    }
    if (WC::streq(P.token, "ON"))
        *flag = 1;
    else if (WC::streq(P.token, "OFF"))
        *flag = 0;
    else {
        set_errhdl(ERR_UNKNOWN_COMMAND);
        set_errdetail(": ON or OFF was expected, not '%s'", P.token);
    }
}

// DEBUG [ON | OFF]
short exec_debug() {
    if (!is_keyword("DEBUG")) return 0;
    unsigned short flag = udebug ? 1 : 0;
    mode_command(&flag, "Debug state is %s\n");
    udebug = (short)flag;
    return 1;
}

// QUOTE [ON | OFF]   substituted CHAR values are put between quotes while ON
short exec_quote() {
    if (!is_keyword("QUOTE")) return 0;
    unsigned short flag = uquote ? 1 : 0;
    mode_command(&flag, "Quote state is %s\n");
    uquote = (short)flag;
    return 1;
}

// ECHO [ON | OFF]   the command loop lists the lines of files and text blocks while ON
short exec_echo(unsigned short* echo) {
    if (!is_keyword("ECHO")) return 0;
    unsigned short dummy = 0;
    mode_command(echo ? echo : &dummy, "Echo state is %s\n");
    return 1;
}

void close_outfile() {
    if (outfp && outfp != stdout) close_watched_output(outfp);
    outfp = stdout;
    filename[0] = 0;
}

// Opens name (append or write) as the output file; the previous one is closed first, so its data
// is on disk before the same name may be opened again. On failure (6003 queued) reports go
// to the screen. Names of 64 characters or more are refused rather than cut to another name;
// with file_confine_dir set, names are taken below it and may not climb out of it.
static void open_outfile(const char* name, size_t namelen, short append) {
    close_outfile();
    char path[4096];
    int n = -1;
    if (namelen < FILENAME_SIZE) {
        if (!file_confine_dir)
            n = snprintf(path, sizeof path, "%.*s", (int)namelen, name);
        else if (namelen && name[0] != '/' && !memmem(name, namelen, "..", 2))
            n = snprintf(path, sizeof path, "%s/%.*s", file_confine_dir, (int)namelen, name);
    }
    FILE* fp = n >= 0 && (size_t)n < sizeof path ? fopen(path, append ? "a" : "w") : nullptr;
    if (!fp) {
        int reason = errno;
        set_errhdl(ERR_NO_FILE);
        if (namelen >= FILENAME_SIZE)
            set_errdetail(": an output file name takes at most %d characters", (int)FILENAME_SIZE - 1);
        else if (n < 0 || (size_t)n >= sizeof path)
            set_errdetail(" '%.*s': not below the directory output files are confined to", (int)namelen, name);
        else
            set_errdetail(" '%.*s': %s", (int)namelen, name, strerror(reason));
        return;
    }
    memcpy(filename, name, namelen);
    filename[namelen] = 0;
    outfp = fp;
    watch_output(fp, filename);
}

// FILE                      shows the output file
// FILE CLOSE                reports go to the screen again
// FILE [-a] name | "name"   reports go to name (appended with -a); the rest of the line is ignored
short exec_file() {
    if (!is_keyword("FILE")) return 0;
    const char* raw = P.cmd_ptr();
    if (P.get(0)) {
        printf("Output File: ");
        printf("%s", filename[0] ? filename : "screen");
        printf("\n");
        return 1;
    }
    if (strcasecmp(P.token, "CLOSE") == 0) {
        close_outfile();
        return 1;
    }
    short append = 0;
    if (P.token[0] == '-') {
        if (P.get(0)) return 1;
        if (P.token[0] == 'A') append = 1;  // other option words are accepted and ignored
        raw = P.cmd_ptr();
        if (P.get(0)) return 1;
    }
    if (P.token[0] == '"' || P.token[0] == '\'') {
        if (P.delimited(0)) return 1;
        open_outfile(P.token, strlen(P.token), append);
        return 1;
    }
    // Unquoted, the name is the raw word as typed: '.', '/' and '-' belong to it.
    if (!raw) return 1;
    while (*raw == ' ') raw++;
    const char* end = strchr(raw, ' ');
    open_outfile(raw, end ? (size_t)(end - raw) : strlen(raw), append);
    return 1;
}

// The character a backslash and c stand for in PRINT -e.
static char print_escape(char c) {
    switch (c) {
    case 'e':
    case 'E': return 0x1B;
    case 'n':
    case 'N': return '\n';
    case 'r':
    case 'R': return '\r';
    case 'f':
    case 'F': return '\f';
    case 't': return '\t';
    default: return c;
    }
}

// PRINT [-n] [-e] [-o] text   the raw rest of the line up to '#' and its last ';'
//   -n no newline, -e backslash escapes, -o to the output file
// The text is cut at SMALLBUF_SIZE - 1 characters.
short exec_print() {
    if (!is_keyword("PRINT")) return 0;
    FILE* dest = stdout;
    short newline = 1, escapes = 0;
    const char* s = P.cmd_ptr();
    if (!s) s = "";
    smallbuf[0] = 0;

    short text = 1;
    for (;;) {
        while (*s == ' ') s++;
        if (*s == '#') {
            text = 0;
            break;
        }
        if (*s != '-') break;
        for (s++;; s++) {
            if (*s == 'n' || *s == 'N')
                newline = 0;
            else if (*s == 'e' || *s == 'E')
                escapes = 1;
            else if (*s == 'o' || *s == 'O')
                dest = outfp;
            else
                break;
        }
    }

    int len = 0, last_semi = -1;
    for (; text && *s && *s != '#' && len < SMALLBUF_SIZE - 1; s++) {
        char c = *s;
        if (escapes && c == '\\') {
            if (!*++s) break;  // a backslash ending the line is dropped
            smallbuf[len++] = print_escape(*s);
            continue;
        }
        if (c == ';') last_semi = len;
        smallbuf[len++] = c;
    }
    smallbuf[last_semi >= 0 ? last_semi : len] = 0;

    if (!dest) dest = stdout;
    fprintf(dest, "%s", smallbuf);
    if (newline) fprintf(dest, "\n");
    return 1;
}

// SHELL | SH | ! command   runs the raw rest of the line (blanks and case kept, nothing removed)
// with the system shell; a non-zero status is reported, and a command that Ctrl-C ended stops
// the script as Ctrl-C does. Returns 1 (the line is taken).
short exec_shell() {
    if (!P.token || !(is_keyword("SHELL") || is_keyword("SH") || P.token[0] == '!')) return 0;
    const char* text = P.cmd_ptr();
    P.pos = P.linelen;  // the command is the whole rest of the line
    while (text && *text == ' ') text++;
    if (shell_disabled || !text || !*text) return 1;
    // The command writes to the same terminal or file: what is buffered goes first. It may read
    // the same standard input too: what the keyboard read ahead goes back.
    fflush(nullptr);
    cgets_unread();
    int result = system(text);
    short status = (short)(result & 0xFFFF);
    if (status != 0) printf("Error: %d\n", status);
    // While system waits it ignores SIGINT, so Ctrl-C ends only the command: take it as ours,
    // as a shell does when its child dies of SIGINT (a loop of SHELL commands can be stopped).
    if (result != -1 && WIFSIGNALED(result) && WTERMSIG(result) == SIGINT) sig_interrupt = 1;
    return 1;
}
