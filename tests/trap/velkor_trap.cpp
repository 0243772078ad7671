// velkor-trap: runs a program on its hardware bus with the simulated cards behind the ports.
//
// The program runs under ptrace. Its ioperm and iopl calls are stopped by a seccomp filter and
// answered here (granted, or refused with --refuse); every in/out instruction then faults, as it
// does without port permission, and the fault is caught before the program sees it: the
// instruction is decoded, checked against what was granted, performed on the simulated bus and
// stepped over. The cards keep real time, so the program's real waits are held to their rules.
//
// Exit status: the program's own (a death by a signal is passed on as the same signal); 2 for a
// bad command line or card file; 3 when the program broke a rule (a port not granted, an
// instruction that cannot be performed, a wait shorter than a card needs); 4 when it cannot be
// traced.
#include <cerrno>
#include <csignal>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "app/sim_setup.h"
#include "sim/bus.h"
#include "trap/port_insn.h"

#if defined(__x86_64__)
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/ptrace.h>
#include <sys/syscall.h>
#include <sys/user.h>
#endif

namespace {

const char* const usage_text =
    "Usage: velkor-trap [--sim] [--card FILE]... [--log FILE] [--refuse[=ERRNO]] -- PROGRAM [ARG]...\n"
    "Runs PROGRAM on its hardware bus under ptrace, with the simulated cards behind the ports.\n"
    "\n"
    "  --sim            the built-in sample cards\n"
    "  --card FILE      the card FILE describes (repeatable; after the built-in cards)\n"
    "  --log FILE       write every permission call and port access, with its time, to FILE\n"
    "  --refuse[=ERRNO] refuse every ioperm and iopl (EPERM, or ENOSYS, EINVAL)\n"
    "  --slow N         the cards' clock runs N times slower, so their timing rules ask\n"
    "                   N times longer waits (the trap's own tests, on a loaded machine)\n"
    "\n"
    "Exit status: PROGRAM's; 2 bad usage; 3 PROGRAM broke a rule; 4 cannot trace.\n";

enum { EXIT_USAGE = 2, EXIT_BROKE_RULE = 3, EXIT_NO_TRACE = 4, PORTS = 0x10000 };

struct TRAP_OPTIONS {
    short sim = 0;
    std::vector<const char*> cards;
    const char* log = nullptr;
    int refuse = 0;  // 0: grant; otherwise the errno every permission call fails with
    long slow = 1;   // the cards' clock is the monotonic clock divided by this
    int first_arg = 0;
};

FILE* logfp;
struct timespec start_time;
unsigned char granted[PORTS];  // ioperm's bits, one byte a port
long clock_divisor = 1;
int io_level;  // iopl's level: 3 opens every port
pid_t child;

unsigned long long monotonic_us() {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    unsigned long long us = (unsigned long long)t.tv_sec * 1000000ULL + (unsigned long long)t.tv_nsec / 1000;
    return us / (unsigned long long)clock_divisor;
}

// Starts a log line with the time since the trap started.
void log_time() {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    long long ns = (t.tv_sec - start_time.tv_sec) * 1000000000LL + (t.tv_nsec - start_time.tv_nsec);
    fprintf(logfp, "%lld.%06lld ", ns / 1000000000LL, (ns % 1000000000LL) / 1000);
}

int parse_errno(const char* name) {
    if (!strcmp(name, "EPERM")) return EPERM;
    if (!strcmp(name, "ENOSYS")) return ENOSYS;
    if (!strcmp(name, "EINVAL")) return EINVAL;
    return 0;
}

// Returns -1 to go on, else the exit status.
int parse_options(int argc, char** argv, TRAP_OPTIONS& o) {
    int i = 1;
    for (; i < argc; i++) {
        const char* a = argv[i];
        if (!strcmp(a, "--")) {
            i++;
            break;
        }
        if (!strcmp(a, "--help")) {
            fputs(usage_text, stdout);
            return 0;
        }
        if (!strcmp(a, "--sim")) {
            o.sim = 1;
        } else if (!strcmp(a, "--card") || !strcmp(a, "--log")) {
            if (i + 1 >= argc) {
                fprintf(stderr, "velkor-trap: option '%s' needs a file\n", a);
                return EXIT_USAGE;
            }
            if (!strcmp(a, "--card"))
                o.cards.push_back(argv[++i]);
            else
                o.log = argv[++i];
        } else if (!strcmp(a, "--slow")) {
            char* end = nullptr;
            o.slow = i + 1 < argc ? strtol(argv[++i], &end, 10) : 0;
            if (!end || *end || o.slow < 1 || o.slow > 1000) {
                fprintf(stderr, "velkor-trap: --slow needs a whole number from 1 to 1000\n");
                return EXIT_USAGE;
            }
        } else if (!strcmp(a, "--refuse")) {
            o.refuse = EPERM;
        } else if (!strncmp(a, "--refuse=", 9)) {
            o.refuse = parse_errno(a + 9);
            if (!o.refuse) {
                fprintf(stderr, "velkor-trap: --refuse: unknown error '%s' (EPERM, ENOSYS or EINVAL)\n",
                        a + 9);
                return EXIT_USAGE;
            }
        } else {
            fprintf(stderr, "velkor-trap: unknown option '%s'\n%s", a, usage_text);
            return EXIT_USAGE;
        }
    }
    if (i >= argc) {
        fprintf(stderr, "velkor-trap: no program to run\n%s", usage_text);
        return EXIT_USAGE;
    }
    o.first_arg = i;
    return -1;
}

// Ends the trap, and the program with it, for a rule the program broke.
[[noreturn]] void broke_rule() {
    if (logfp) fflush(logfp);
    kill(child, SIGKILL);
    int st;
    while (waitpid(child, &st, __WALL) < 0 && errno == EINTR) {}
    exit(EXIT_BROKE_RULE);
}

// A signal sent to the trap by someone (not by the terminal, which signals the program too)
// goes on to the program.
void pass_on(int sig, siginfo_t* info, void*) {
    if (info->si_code <= 0 && child > 0) kill(child, sig);
}

#if defined(__x86_64__)

// In the program, before exec: ioperm and iopl stop for the tracer; nothing else does.
int install_filter() {
    struct sock_filter code[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(struct seccomp_data, arch)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, AUDIT_ARCH_X86_64, 0, 4),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(struct seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_ioperm, 2, 0),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_iopl, 1, 0),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_TRACE),
    };
    struct sock_fprog prog = {(unsigned short)(sizeof code / sizeof code[0]), code};
    if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0) return -1;
    return prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &prog, 0, 0);
}

// Answers an ioperm or iopl call of the program as a kernel with raw port access would
// (or refuses it), and logs it.
void permission_call(const TRAP_OPTIONS& o) {
    struct user_regs_struct r;
    if (ptrace(PTRACE_GETREGS, child, 0, &r) != 0) return;
    long result = 0;
    if (r.orig_rax == __NR_ioperm) {
        unsigned long from = r.rdi, num = r.rsi;
        int on = r.rdx != 0;
        if (from + num <= from || from + num > PORTS)
            result = -EINVAL;
        else if (o.refuse)
            result = -o.refuse;
        else
            for (unsigned long p = from; p < from + num; p++) granted[p] = (unsigned char)on;
        if (logfp) {
            log_time();
            fprintf(logfp, "ioperm %04lX %lu %s %s\n", from, num, on ? "on" : "off",
                    result ? strerror((int)-result) : "granted");
        }
    } else {
        unsigned long level = r.rdi;
        if (level > 3)
            result = -EINVAL;
        else if (o.refuse)
            result = -o.refuse;
        else
            io_level = (int)level;
        if (logfp) {
            log_time();
            fprintf(logfp, "iopl %lu %s\n", level, result ? strerror((int)-result) : "granted");
        }
    }
    r.orig_rax = (unsigned long long)-1;  // the kernel skips the call and returns rax
    r.rax = (unsigned long long)result;
    ptrace(PTRACE_SETREGS, child, 0, &r);
}

// Reads up to INSN_MAX_LEN bytes at addr in the program; returns how many could be read.
size_t read_code(unsigned long long addr, unsigned char* code) {
    size_t got = 0;
    while (got < INSN_MAX_LEN) {
        errno = 0;
        long word = ptrace(PTRACE_PEEKTEXT, child, (void*)(addr + got), 0);
        if (errno != 0) break;
        size_t take = INSN_MAX_LEN - got < sizeof word ? INSN_MAX_LEN - got : sizeof word;
        memcpy(code + got, &word, take);
        got += take;
    }
    return got;
}

void check_timing() {
    static long seen;
    SIM_TIMING_FAULT f;
    long n = sim_timing_faults(&f);
    if (n == seen) return;
    seen = n;
    fprintf(stderr, "velkor-trap: card %d read its %s %ld us after %s; the card needs %ld us\n", f.card + 1,
            f.first_pair ? "first bit pair" : "next bit pair", f.waited,
            f.first_pair ? "Wake[0]" : "the pair before", f.needed);
    if (logfp) {
        log_time();
        fprintf(logfp, "timing: card %d waited %ld us of %ld\n", f.card + 1, f.waited, f.needed);
    }
    broke_rule();
}

// A SIGSEGV of the program: performs the port instruction that caused it and returns 1, or
// returns 0 when the fault is the program's own.
int port_fault() {
    siginfo_t info;
    if (ptrace(PTRACE_GETSIGINFO, child, 0, &info) != 0 || info.si_code != SI_KERNEL) return 0;
    struct user_regs_struct r;
    if (ptrace(PTRACE_GETREGS, child, 0, &r) != 0) return 0;
    unsigned char code[INSN_MAX_LEN];
    size_t n = read_code(r.rip, code);
    PORT_INSN insn;
    short kind = decode_port_insn(code, n, &insn);
    if (kind == INSN_OTHER) return 0;
    if (kind == INSN_UNKNOWN) {
        fprintf(stderr, "velkor-trap: cannot perform the port instruction at %#llx:", r.rip);
        for (short k = 0; k < insn.length; k++) fprintf(stderr, " %02X", code[k]);
        fprintf(stderr, " (only byte in and out are emulated)\n");
        broke_rule();
    }
    unsigned short port = insn.immediate ? insn.imm8 : (unsigned short)(r.rdx & 0xFFFF);
    if (io_level < 3 && !granted[port]) {
        fprintf(stderr, "velkor-trap: %s port %04X at %#llx: the port was not granted\n",
                kind == INSN_IN ? "in from" : "out to", port, r.rip);
        if (logfp) {
            log_time();
            fprintf(logfp, "%s %04X not granted\n", kind == INSN_IN ? "in" : "out", port);
        }
        broke_rule();
    }
    if (kind == INSN_OUT) {
        unsigned char value = (unsigned char)(r.rax & 0xFF);
        sim_bus.out(port, value);
        if (logfp) {
            log_time();
            fprintf(logfp, "out %04X %02X\n", port, value);
        }
    } else {
        unsigned char value = sim_bus.in(port);
        r.rax = (r.rax & ~0xFFULL) | value;
        if (logfp) {
            log_time();
            fprintf(logfp, "in %04X %02X\n", port, value);
        }
        check_timing();
    }
    r.rip += (unsigned long long)insn.length;
    ptrace(PTRACE_SETREGS, child, 0, &r);
    return 1;
}

// The program died of sig: the trap dies of it too, so that its caller sees the same.
[[noreturn]] void die_of(int sig) {
    if (logfp) fclose(logfp);
    signal(sig, SIG_DFL);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, sig);
    sigprocmask(SIG_UNBLOCK, &set, nullptr);
    raise(sig);
    exit(128 + sig);
}

int run(const TRAP_OPTIONS& o, char** argv) {
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0) {
        perror("velkor-trap: pipe");
        return EXIT_NO_TRACE;
    }
    child = fork();
    if (child < 0) {
        perror("velkor-trap: fork");
        return EXIT_NO_TRACE;
    }
    if (child == 0) {
        // Stopped until the trap is attached; then the filter, then the program.
        close(report[0]);
        raise(SIGSTOP);
        int err = 0;
        const char* what = "seccomp";
        if (install_filter() != 0) {
            err = errno;
        } else {
            execvp(argv[0], argv);
            err = errno;
            what = "exec";
        }
        char msg[256];
        int len = snprintf(msg, sizeof msg, "%s: %s", what, strerror(err));
        if (write(report[1], msg, (size_t)len) < 0) {}
        _exit(127);
    }
    close(report[1]);
    int st;
    if (waitpid(child, &st, WUNTRACED) < 0 || !WIFSTOPPED(st)) {
        fprintf(stderr, "velkor-trap: cannot start %s\n", argv[0]);
        return EXIT_NO_TRACE;
    }
    long opts = PTRACE_O_TRACESECCOMP | PTRACE_O_EXITKILL;
    if (ptrace(PTRACE_SEIZE, child, 0, opts) != 0) {
        fprintf(stderr, "velkor-trap: cannot trace %s: ptrace: %s\n", argv[0], strerror(errno));
        kill(child, SIGKILL);
        waitpid(child, &st, 0);
        return EXIT_NO_TRACE;
    }
    struct sigaction sa;
    memset(&sa, 0, sizeof sa);
    sa.sa_sigaction = pass_on;
    sa.sa_flags = SA_SIGINFO | SA_RESTART;
    for (int sig : {SIGINT, SIGQUIT, SIGTERM, SIGHUP}) sigaction(sig, &sa, nullptr);
    signal(SIGPIPE, SIG_IGN);
    kill(child, SIGCONT);

    for (;;) {
        if (waitpid(child, &st, __WALL) < 0) {
            if (errno == EINTR) continue;
            perror("velkor-trap: waitpid");
            return EXIT_NO_TRACE;
        }
        if (WIFEXITED(st) || WIFSIGNALED(st)) break;
        if (!WIFSTOPPED(st)) continue;
        int sig = WSTOPSIG(st);
        int event = st >> 16;
        int deliver = 0;
        if (event == PTRACE_EVENT_SECCOMP) {
            permission_call(o);
        } else if (event == PTRACE_EVENT_STOP) {
            if (sig == SIGSTOP || sig == SIGTSTP || sig == SIGTTIN || sig == SIGTTOU) {
                ptrace(PTRACE_LISTEN, child, 0, 0);  // a job-control stop: stays stopped
                continue;
            }
        } else if (event == 0) {
            if (sig == SIGSEGV && port_fault()) sig = 0;
            deliver = sig;
        }
        ptrace(PTRACE_CONT, child, 0, (void*)(long)deliver);
    }
    char msg[256];
    ssize_t len = read(report[0], msg, sizeof msg - 1);
    if (len > 0) {
        msg[len] = '\0';
        fprintf(stderr, "velkor-trap: cannot run %s: %s\n", argv[0], msg);
        return !strncmp(msg, "seccomp", 7) ? EXIT_NO_TRACE : 127;
    }
    if (logfp) {
        log_time();
        if (WIFEXITED(st))
            fprintf(logfp, "exit %d\n", WEXITSTATUS(st));
        else
            fprintf(logfp, "signal %d\n", WTERMSIG(st));
    }
    if (WIFSIGNALED(st)) die_of(WTERMSIG(st));
    return WEXITSTATUS(st);
}

#else

int run(const TRAP_OPTIONS&, char** argv) {
    fprintf(stderr, "velkor-trap: cannot trace %s: the port trap needs x86-64\n", argv[0]);
    return EXIT_NO_TRACE;
}

#endif

}  // namespace

int main(int argc, char** argv) {
    TRAP_OPTIONS o;
    int status = parse_options(argc, argv, o);
    if (status >= 0) return status;
    clock_gettime(CLOCK_MONOTONIC, &start_time);
    if (!load_sim_cards(o.sim, o.cards.data(), (int)o.cards.size(), "velkor-trap")) return EXIT_USAGE;
    clock_divisor = o.slow;
    sim_use_clock(monotonic_us);
    if (o.log) {
        logfp = fopen(o.log, "we");
        if (!logfp) {
            fprintf(stderr, "velkor-trap: cannot open log file '%s': %s\n", o.log, strerror(errno));
            return EXIT_USAGE;
        }
    }
    status = run(o, argv + o.first_arg);
    if (logfp && fclose(logfp) != 0) {
        fprintf(stderr, "velkor-trap: %s: %s\n", o.log, strerror(errno));
        if (status == 0) status = 1;
    }
    return status;
}
