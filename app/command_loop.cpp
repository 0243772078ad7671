// Command loop: banner, predefined lines, the read-dispatch loop and its handler chain.
#include "app/command_loop.h"

#include <cstdio>
#include <cstring>
#include <unistd.h>

#include "app/card_commands.h"
#include "app/device_config.h"
#include "app/dump_command.h"
#include "input/input_stack.h"
#include "script/control.h"
#include "script/expression.h"
#include "script/functions.h"
#include "script/output.h"
#include "script/variables.h"
#include "shell/cgets.h"
#include "shell/errhdl.h"
#include "shell/help.h"
#include "shell/lost_output.h"
#include "shell/parse.h"
#include "shell/signals.h"
#include "shell/version.h"

const char* const PROMPT = "PnP> ";
unsigned short echo_flag;
long loop_turn_budget = -1;
short exit_on_error;
short stopped_on_error;

namespace {

// Every run starts with these lines: they declare TRUE, FALSE, ON, OFF and set them.
const char* const localdefs[] = {
    "INT TRUE", "INT FALSE", "INT ON", "INT OFF", "ON = 1", "FALSE = 0", "TRUE = 1", "OFF = 0", nullptr,
};
static_assert(sizeof(localdefs) / sizeof(localdefs[0]) == 9, "eight lines and the end entry");

short echo_handler() { return exec_echo(&echo_flag); }

// The handler chain, in its fixed order: the first handler that returns non-zero took the line.
// Keyword handlers come before the assignment (exec_expr), so a keyword is never taken for a
// variable name.
short (*const handlers[])() = {
    exec_debug,    echo_handler, exec_quote, exec_file,   exec_print,   exec_show, exec_defvar, exec_get,
    exec_deffunct, exec_call,    exec_while, exec_for,    exec_loopctl, exec_if,   exec_delete, exec_isolate,
    exec_detect,   exec_status,  exec_dump,  exec_device, test_USR,     exec_expr, exec_shell,  exec_help,
};
static_assert(sizeof(handlers) / sizeof(handlers[0]) == 24, "24 command handlers");

enum FRAME_KIND { KEYBOARD, COMMAND_FILE, TEXT_BLOCK };

FRAME_KIND top_kind() {
    if (input.is_file()) return COMMAND_FILE;
    if (input.is_funct()) return TEXT_BLOCK;
    return KEYBOARD;
}

// Ctrl-C: everything above the keyboard is dropped (scripts, loops, called functions, the rest
// of a line); configuration mode stays as it was.
void interrupt_to_keyboard() {
    sig_interrupt = 0;
    input.hold = 0;
    if (input.depth > 1 && !cgets_quiet) printf("\n");
    while (input.depth > 1) input.pop();
}

}  // namespace

void report_queued_errors() {
    if (errhdl_code(0) == 0) return;
    if (cgets_quiet) {
        // Standard output keeps what the commands print; the report is said on standard error.
        fflush(stdout);
        errhdl_located(stderr, 0);
        clr_errhdl();
    } else {
        // The report stays as it always was; the errors of command files are placed on
        // standard error as well, after it.
        errhdl_located(stderr, 1);
        errhdl("ERROR", stdout);
        printf("\n");
    }
    if (exit_on_error) stopped_on_error = 1;
}

namespace {

// Prints the queued errors, then makes sure that what the last command wrote has reached its
// files: a failure is said at once, not when a buffer happens to fill.
void report_errors() {
    report_queued_errors();
    check_outputs();
}

// Lists a line read from a file ('<') or a text block ('>'), one marker per prompt character
// but the last.
void echo_line(FRAME_KIND kind) {
    size_t n = strlen(PROMPT) - 1;
    for (size_t i = 0; i < n; i++) putchar(kind == COMMAND_FILE ? '<' : '>');
    printf(" %s\n", P.line ? P.line : "");
}

// @name: runs a command file, trying name and then name.pnp.
void run_file_command() {
    if (P.get(PP_FILENAME) != 0) {
        set_errhdl(ERR_FILENAME);
        return;
    }
    const char* name = P.token;
    while (*name == ' ') name++;  // "@ setup" names setup, not " setup"
    input.push(name, ".pnp");
}

}  // namespace

void load_localdefs() {
    char buf[80];
    for (short i = 7; i >= 0; i--) {
        if (!localdefs[i]) break;
        memset(buf, 0, sizeof buf);
        strncpy(buf, localdefs[i], sizeof buf - 2);
        input.push(buf, (short)(strlen(buf) + 2), nullptr, 0, nullptr, 0);
    }
}

void run_loop() {
    for (;;) {
        if (loop_turn_budget >= 0 && loop_turn_budget-- == 0) sig_terminate = 1;
        if (sig_terminate) break;
        if (sig_interrupt) interrupt_to_keyboard();
        report_errors();
        if (stopped_on_error) return;  // -e: the first error report ends the run
        FRAME_KIND kind = top_kind();
        if (!input.setup(cgets_quiet ? "" : PROMPT, 1)) {
            // End of keyboard input ends the program as EXIT does.
            if (cgets_eof() && input.is_keyboard()) {
                if (isatty(STDIN_FILENO) && !cgets_quiet) printf("\n");
                break;
            }
            continue;
        }
        // -q echoes no line read: standard output holds only what the commands print.
        if (kind != KEYBOARD && echo_flag && !cgets_quiet) echo_line(kind);
        if (P.get(0) != 0 || strcmp(P.token, "#") == 0) continue;
        // The word no handler takes is named in the report on standard error.
        char word[64];
        snprintf(word, sizeof word, "%s", P.token);
        if (exec_ifctl()) continue;
        if (WC::streq(P.token, "EXIT") || WC::streq(P.token, "QUIT")) break;
        if (strcmp(P.token, "@") == 0) {
            run_file_command();
            continue;
        }
        if (WC::streq(P.token, "RETURN")) {
            if (kind != KEYBOARD)
                input.pop();
            else
                set_errhdl(ERR_RETURN_KEYBOARD);
            continue;
        }
        short taken = 0;
        for (auto handler : handlers)
            if ((taken = handler()) != 0) break;
        if (!taken) {
            set_errhdl(ERR_UNKNOWN_COMMAND);
            set_errdetail(" '%s'", word);
        }
    }
    report_errors();
}

void process() {
    if (!cgets_quiet) {
        printf("\n%14s%s\n%14s", "", "VELKOR V" VELKOR_VERSION, "");
        for (int i = 0; i < 52; i++) putchar('-');
        printf("\n\n");
    }
    load_localdefs();
    run_loop();
}
