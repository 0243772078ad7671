// The program: command line, start-up, the loop and clean-up.
#include "app/cmdline.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <getopt.h>
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
#include "app/device_config.h"
#include "shell/cgets.h"
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
    "  -q, --quiet        no banner, prompts or echo of lines read; error reports on\n"
    "                     standard error, so standard output holds what commands print\n"
    "      --strict       a DEVICE SET line that draws a warning writes nothing and is\n"
    "                     an error\n"
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

// The long options that have no short form.
enum { OPT_TRACE = 256, OPT_SAVE_CARDS, OPT_PLAN, OPT_LIST, OPT_JSON, OPT_STRICT };

// Options the GNU way: short ones bundle (-se) and take their argument attached or apart
// (-cFILE, -c FILE); a long one may be cut to a unique prefix (--pla) and take its argument
// after '=' or apart. The '+' keeps options before the first command file: what follows it is
// the script's, as is everything after "--".
const char* const short_options = "+sc:veqhV";
const struct option long_options[] = {
    {"sim", no_argument, nullptr, 's'},
    {"card", required_argument, nullptr, 'c'},
    {"trace", required_argument, nullptr, OPT_TRACE},
    {"save-cards", required_argument, nullptr, OPT_SAVE_CARDS},
    {"plan", no_argument, nullptr, OPT_PLAN},
    {"list", no_argument, nullptr, OPT_LIST},
    {"verbose", no_argument, nullptr, 'v'},
    {"json", no_argument, nullptr, OPT_JSON},
    {"exit-on-error", no_argument, nullptr, 'e'},
    {"quiet", no_argument, nullptr, 'q'},
    {"strict", no_argument, nullptr, OPT_STRICT},
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, 'V'},
    {nullptr, 0, nullptr, 0},
};

const char* const try_help = "Try 'velkor --help' for more information.\n";

// Returns -1 when the program is to go on, else the exit status.
int parse_options(int argc, char** argv, OPTIONS_TYP& o) {
    o.sim = 0;
    o.plan = 0;
    o.list = 0;
    o.verbose = 0;
    o.json = 0;
    o.trace = nullptr;
    // getopt's own messages name the program as its argv[0] does: they say "velkor", however
    // the program was started. getopt may reorder nothing here ('+'), so a copy serves.
    std::vector<char*> args(argv, argv + argc);
    args.push_back(nullptr);
    char name[] = "velkor";
    if (argc > 0) args[0] = name;
    optind = 0;  // a fresh scan, should the program be run again in one process
    opterr = 1;
    for (;;) {
        int c = getopt_long(argc, args.data(), short_options, long_options, nullptr);
        if (c == -1) break;
        switch (c) {
            case 'h': fputs(usage_text, stdout); return 0;
            case 'V': printf("velkor " VELKOR_VERSION "\n"); return 0;
            case 's': o.sim = 1; break;
            case 'c': o.cards.push_back(optarg); break;
            case OPT_TRACE: o.trace = optarg; break;
            case OPT_SAVE_CARDS:
                if (!use_save_cards_dir(optarg)) return 2;
                break;
            case OPT_PLAN: o.plan = 1; break;
            case OPT_LIST: o.list = 1; break;
            case 'v': o.verbose = 1; break;
            case OPT_JSON: o.json = 1; break;
            case 'e': exit_on_error = 1; break;
            case 'q': cgets_quiet = 1; break;
            case OPT_STRICT: strict_writes = 1; break;
            default:  // getopt has said what is wrong
                fputs(try_help, stderr);
                return 2;
        }
    }
    int i = optind;
    o.first_file = i;
    const char* misuse = o.plan && o.list                        ? "--plan and --list do not go together"
                         : o.verbose && !o.list                   ? "-v goes with --list"
                         : o.json && !o.plan && !o.list           ? "--json goes with --list or --plan"
                         : o.list && argc - o.first_file > 0x7FFF ? "--list takes at most 32767 IDs"
                                                                  : nullptr;
    if (misuse) {
        fprintf(stderr, "velkor: %s\n%s", misuse, try_help);
        return 2;
    }
    // The plan is all a --plan run does: a command file would silently not run.
    if (o.plan && i < argc) {
        fprintf(stderr, "velkor: --plan runs no command files ('%s' was given)\n%s", argv[i], try_help);
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
        report_queued_errors();
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
