// Shared set-up of the fuzz targets: a fresh program state around every input.
#include "harness.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "app/application.h"
#include "app/device_config.h"
#include "input/input_stack.h"
#include "script/output.h"
#include "pnp/ports.h"
#include "pnp/state.h"
#include "script/output.h"
#include "script/substitution.h"
#include "script/symtab.h"
#include "shell/cgets.h"
#include "app/command_loop.h"
#include "shell/errhdl.h"
#include "shell/help.h"
#include "shell/parse.h"
#include "shell/signals.h"
#include "sim/bus.h"

const char* fuzz_workdir() {
    // In memory where possible: files the inputs write and truncate thousands of times would
    // otherwise wait on the disk, and a slow input is reported as a hang.
    static char shm_dir[] = "/dev/shm/velkor-fuzz-XXXXXX";
    static char tmp_dir[] = "/tmp/velkor-fuzz-XXXXXX";
    static char* dir = shm_dir;
    static bool made = false;
    if (!made) {
        if (!mkdtemp(shm_dir)) {
            dir = tmp_dir;
            if (!mkdtemp(tmp_dir)) abort();
        }
        made = true;
        atexit([] {
            std::string cmd = std::string("rm -rf '") + dir + "'";
            if (system(cmd.c_str()) != 0) {}
        });
        // Reports go nowhere: the fuzzer looks for crashes, hangs and sanitizer reports.
        if (!freopen("/dev/null", "w", stdout)) abort();
    }
    return dir;
}

void fuzz_reset_program() {
    fuzz_workdir();
    shell_disabled = 1;
    file_confine_dir = fuzz_workdir();
    sig_interrupt = sig_terminate = 0;
    input.unmake();
    input.make();
    attach_script_to_input();
    symtab.unmake();
    symtab.make();
    clr_errhdl();
    help_reset();
    echo_flag = 0;
    udebug = uquote = 0;
    drop_DEVICE();
    use_bus(&sim_bus);
    sim_reset();
    sim_add_builtin_cards();
    // The keyboard is at end of input: the loop ends when the command file does.
    cgets_close();
}

void fuzz_clean_program() {
    clean_APP();
    close_outfile();
    input.unmake();
    input.make();
    symtab.unmake();
    symtab.make();
    P.clear();
}
