// port-probe: a small program for the port trap's tests. Each argument is one step, done in
// order; what a step reads or is answered is printed on standard output, one line a step.
//   ioperm FROM NUM ON   iopl LEVEL   out PORT VALUE   in PORT   (DX forms, hexadecimal)
//   out80 VALUE   in80   (the immediate forms, port 0x80)   outw PORT VALUE   (16-bit)
//   key   (the initiation key, without waits)   sleep USEC   segv   exit N
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <sys/mman.h>

#if defined(__x86_64__)
#include <sys/io.h>
#endif

static unsigned long hex(const char* s) { return strtoul(s, nullptr, 16); }

int main(int argc, char** argv) {
#if defined(__x86_64__)
    setvbuf(stdout, nullptr, _IONBF, 0);
    for (int i = 1; i < argc; i++) {
        const char* a = argv[i];
        if (!strcmp(a, "ioperm") && i + 3 < argc) {
            int r = ioperm(hex(argv[i + 1]), hex(argv[i + 2]), (int)hex(argv[i + 3]));
            printf("ioperm %d %s\n", r, r ? strerror(errno) : "");
            i += 3;
        } else if (!strcmp(a, "iopl") && i + 1 < argc) {
            int r = iopl((int)hex(argv[++i]));
            printf("iopl %d %s\n", r, r ? strerror(errno) : "");
        } else if (!strcmp(a, "out") && i + 2 < argc) {
            outb((unsigned char)hex(argv[i + 2]), (unsigned short)hex(argv[i + 1]));
            i += 2;
        } else if (!strcmp(a, "outw") && i + 2 < argc) {
            outw((unsigned short)hex(argv[i + 2]), (unsigned short)hex(argv[i + 1]));
            i += 2;
        } else if (!strcmp(a, "in") && i + 1 < argc) {
            printf("in %02X\n", inb((unsigned short)hex(argv[++i])));
        } else if (!strcmp(a, "out80") && i + 1 < argc) {
            unsigned char v = (unsigned char)hex(argv[++i]);
            __asm__ volatile("outb %0, $0x80" : : "a"(v));
        } else if (!strcmp(a, "in80")) {
            unsigned char v;
            __asm__ volatile("inb $0x80, %0" : "=a"(v));
            printf("in80 %02X\n", v);
        } else if (!strcmp(a, "key")) {
            unsigned char k = 0x6A;
            outb(0, 0x279);
            outb(0, 0x279);
            for (int n = 0; n < 32; n++) {
                outb(k, 0x279);
                k = (unsigned char)((k >> 1) | (((k ^ (k >> 1)) & 1) << 7));
            }
        } else if (!strcmp(a, "sleep") && i + 1 < argc) {
            long us = strtol(argv[++i], nullptr, 10);
            struct timespec t = {us / 1000000, (us % 1000000) * 1000};
            while (nanosleep(&t, &t) != 0 && errno == EINTR) {}
        } else if (!strcmp(a, "segv")) {
            // A write to a page that allows none: a real fault, which the sanitizers do not catch
            // first once their handler is gone.
            signal(SIGSEGV, SIG_DFL);
            void* page = mmap(nullptr, 4096, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
            if (page != MAP_FAILED) *(volatile int*)page = 1;
        } else if (!strcmp(a, "exit") && i + 1 < argc) {
            return atoi(argv[++i]);
        } else {
            fprintf(stderr, "port-probe: bad step '%s'\n", a);
            return 2;
        }
    }
    return 0;
#else
    (void)argc;
    (void)argv;
    fprintf(stderr, "port-probe: needs x86-64\n");
    return 2;
#endif
}
