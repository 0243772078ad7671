// Test support: every global of the program remade around each test.
#include "support/program_fixture.h"

#include <cstdio>

#include <readline/readline.h>

#include "app/command_loop.h"
#include "app/device_config.h"
#include "input/input_stack.h"
#include "pnp/host_resources.h"
#include "pnp/pnp_ids.h"
#include "pnp/ports.h"
#include "pnp/state.h"
#include "script/output.h"
#include "script/symtab.h"
#include "shell/cgets.h"
#include "shell/errhdl.h"
#include "shell/help.h"
#include "shell/lost_output.h"
#include "shell/memory.h"
#include "shell/parse.h"
#include "shell/signals.h"
#include "sim/bus.h"
#include "support/recording_bus.h"

namespace {
FILE* keyboard;  // what readline reads
FILE* screen;    // where readline echoes: nowhere

void remake_keyboard(const char* text) {
    if (keyboard) fclose(keyboard);
    keyboard = tmpfile();
    fputs(text, keyboard);
    rewind(keyboard);
    if (!screen) screen = fopen("/dev/null", "w");
    rl_instream = keyboard;
    rl_outstream = screen;
    cgets_reset();
}
}  // namespace

void keyboard_types(const char* text) { remake_keyboard(text); }

void remake_program() {
    mem_fail_at(0);
    // The PnP layer: configuration mode, trace and ports go first, while the old bus is in place.
    drop_DEVICE();
    trace_close();
    clean_PNP();
    use_bus(&sim_bus);
    sim_reset();
    clear_bus_log();
    refuse_permit = refuse_privilege = 0;
    init_PNP();
    host_forget();
    pnp_ids_forget();

    close_outfile();
    file_confine_dir = nullptr;
    shell_disabled = 0;
    echo_flag = 0;
    udebug = uquote = 0;
    sig_interrupt = sig_terminate = 0;
    lost_output_reset();

    input.unmake();
    input.make();
    symtab.unmake();
    symtab.make();
    P.clear();
    help_reset();
    remake_keyboard("");
    clr_errhdl();
    errhdl_reset_user();
}
