// The program: command line, start-up, the loop and clean-up.
#include "app/cmdline.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "app/application.h"
#include "app/list.h"
#include "app/plan.h"
#include "input/input_stack.h"
#include "pnp/ports.h"
#include "script/output.h"
#include "script/substitution.h"
#include "app/command_loop.h"
#include "app/save_cards.h"
#include "app/sim_setup.h"
#include "shell/errhdl.h"
#include "shell/lost_output.h"
#include "shell/signals.h"
#include "shell/version.h"
#include "sim/bus.h"

namespace {

const char* const usage_text =
    "Usage: velkor [OPTION]... [COMMAND-FILE]...\n"
    "Examine and configure ISA Plug and Play cards from an interactive shell.\n"
    "\n"
    "The command files run in the order given, then commands are read from the keyboard.\n"
    "\n"
    "  -s, --sim          use the simulated ISA bus with the built-in sample cards\n"
    "  -c, --card FILE    put the card FILE describes on the simulated bus (repeatable;\n"
    "                     after the built-in cards when --sim is given too)\n"
    "      --trace FILE   append every port access and delay to FILE\n"
    "      --save-cards DIR  write every card DETECT or --plan reads to DIR as a card\n"
    "                     file (VENDOR-SERIAL.hex, for --card)\n"
    "      --plan         plan resources for every card found, placing as many devices\n"
    "                     as any plan can (proven), and print the script that applies\n"
    "                     them (no shell, no command files; exit status 1 when a device\n"
    "                     has no room)\n"
    "      --list [ID]... list every card and logical device with its current\n"
    "                     resources (no shell); IDs narrow it to the cards and devices\n"
    "                     whose vendor, device or compatible ID is one of them\n"
    "  -v, --verbose      with --list: what each device can be set to as well\n"
    "      --json         with --list or --plan: one JSON document instead of text\n"
    "  -e, --exit-on-error  end the run at the first error report, with exit status 1\n"
    "  -h, --help         show this help and exit\n"
    "  -V, --version      show the version and exit\n"
    "      --             end of options\n"
    "\n"
    "Without --sim or --card the program uses the PnP ports of the machine, which needs\n"
    "permission for raw port I/O (run as root).\n"
    "Exit status: 0; 1 when output was lost or, with -e, a command failed; 2 for a bad\n"
    "option, card file or trace file, or command files given with --plan.\n"
    "Type HELP at the PnP> prompt for the commands.\n";

struct OPTIONS_TYP {
    short sim;
    short plan;
    short list;
    short verbose;
    short json;
    std::vector<const char*> cards;
    const char* trace;
    int first_file;
};

// Returns -1 when the program is to go on, else the exit status.
int parse_options(int argc, char** argv, OPTIONS_TYP& o) {
    o.sim = 0;
    o.plan = 0;
    o.list = 0;
    o.verbose = 0;
    o.json = 0;
    o.trace = nullptr;
    int i = 1;
    for (; i < argc; i++) {
        const char* a = argv[i];
        if (strcmp(a, "--") == 0) {
            i++;
            break;
        }
        if (a[0] != '-' || a[1] == 0) break;
        if (!strcmp(a, "-h") || !strcmp(a, "--help")) {
            fputs(usage_text, stdout);
            return 0;
        }
        if (!strcmp(a, "-V") || !strcmp(a, "--version")) {
            printf("velkor " VELKOR_VERSION "\n");
            return 0;
        }
        if (!strcmp(a, "-s") || !strcmp(a, "--sim")) {
            o.sim = 1;
            continue;
        }
        if (!strcmp(a, "--plan")) {
            o.plan = 1;
            continue;
        }
        if (!strcmp(a, "--list")) {
            o.list = 1;
            continue;
        }
        if (!strcmp(a, "-v") || !strcmp(a, "--verbose")) {
            o.verbose = 1;
            continue;
        }
        if (!strcmp(a, "--json")) {
            o.json = 1;
            continue;
        }
        if (!strcmp(a, "-e") || !strcmp(a, "--exit-on-error")) {
            exit_on_error = 1;
            continue;
        }
        const char* value = nullptr;
        bool card = false, trace = false, save = false;
        if (!strcmp(a, "-c") || !strcmp(a, "--card")) {
            card = true;
        } else if (!strncmp(a, "--card=", 7)) {
            card = true;
            value = a + 7;
        } else if (!strcmp(a, "--trace")) {
            trace = true;
        } else if (!strncmp(a, "--trace=", 8)) {
            trace = true;
            value = a + 8;
        } else if (!strcmp(a, "--save-cards")) {
            save = true;
        } else if (!strncmp(a, "--save-cards=", 13)) {
            save = true;
            value = a + 13;
        } else {
            fprintf(stderr, "velkor: unknown option '%s'\nTry 'velkor --help' for more information.\n", a);
            return 2;
        }
        if (!value) {
            if (i + 1 >= argc) {
                fprintf(stderr,
                        "velkor: option '%s' needs a file name\nTry 'velkor --help' for more information.\n",
                        a);
                return 2;
            }
            value = argv[++i];
        }
        if (card) o.cards.push_back(value);
        if (trace) o.trace = value;
        if (save && !use_save_cards_dir(value)) return 2;
    }
    o.first_file = i;
    const char* misuse = o.plan && o.list                        ? "--plan and --list do not go together"
                         : o.verbose && !o.list                   ? "-v goes with --list"
                         : o.json && !o.plan && !o.list           ? "--json goes with --list or --plan"
                         : o.list && argc - o.first_file > 0x7FFF ? "--list takes at most 32767 IDs"
                                                                  : nullptr;
    if (misuse) {
        fprintf(stderr, "velkor: %s\nTry 'velkor --help' for more information.\n", misuse);
        return 2;
    }
    // The plan is all a --plan run does: a command file would silently not run.
    if (o.plan && i < argc) {
        fprintf(stderr,
                "velkor: --plan runs no command files ('%s' was given)\nTry 'velkor --help' for more "
                "information.\n",
                argv[i]);
        return 2;
    }
    return -1;
}

}  // namespace

int velkor_main(int argc, char** argv) {
    // Started with a standard stream closed, the first file opened would take its place.
    if (!open_standard_descriptors()) return 2;
    OPTIONS_TYP o;
    int status = parse_options(argc, argv, o);
    if (status >= 0) return status;
    if (o.sim || !o.cards.empty()) {
        use_bus(&sim_bus);
        if (!load_sim_cards(o.sim, o.cards.data(), (int)o.cards.size(), "velkor")) return 2;
    }
    if (o.trace && !trace_open(o.trace)) {
        fprintf(stderr, "velkor: cannot open trace file '%s': %s\n", o.trace, strerror(errno));
        return 2;
    }
    if (o.list || o.plan) {
        // With --list, what follows the options are IDs, not command files.
        status = o.list ? run_list(o.verbose, o.json, (const char* const*)argv + o.first_file,
                                   (short)(argc - o.first_file))
                        : run_plan(o.json);
        trace_close();
        check_outputs();
        plan_die_of_signal();  // a run a signal ended dies of it, its files closed
        return output_lost() ? 1 : status;
    }
    install_signals();
    attach_script_to_input();
    // The first file named ends up on top of the stack and runs first.
    for (int i = argc - 1; i >= o.first_file; i--) input.push(argv[i], nullptr);

    if (!init_APP()) {
        errhdl("ERROR", stdout);
        printf("\n");
        if (exit_on_error) stopped_on_error = 1;
    } else {
        process();
    }
    clean_APP();
    close_outfile();
    trace_close();
    check_outputs();
    // A boot script learns from the status that a report or trace is incomplete, or (with -e)
    // that a command failed.
    return output_lost() || stopped_on_error ? 1 : 0;
}
