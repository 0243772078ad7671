// Lost output: failed writes, flushes and closes of the result streams, said once each.
#include "shell/lost_output.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdio_ext.h>
#include <unistd.h>

namespace {

struct WATCH_TYP {
    FILE* fp;
    char name[256];
    short said;  // its failure has been said: later ones only count
};

WATCH_TYP watched[WATCH_MAX] = {{stdout, "standard output", 0}};
short lost;

WATCH_TYP* find(FILE* fp) {
    for (WATCH_TYP& w : watched)
        if (fp && w.fp == fp) return &w;
    return nullptr;
}

// Marks the run as having lost output and says w's first failure.
void say(WATCH_TYP& w, int reason) {
    lost = 1;
    if (w.said) return;
    w.said = 1;
    // A reader that went away (head, a closed pager) is no fault to report.
    if (reason != EPIPE)
        fprintf(stderr, "velkor: %s: %s\n", w.name, reason ? strerror(reason) : "write error");
}

// Flushes w's stream when it holds unwritten data or has failed. A failed write keeps its data in
// the buffer, so flushing it again gives the system's reason once more.
short check(WATCH_TYP& w) {
    if (__fpending(w.fp) == 0 && !ferror(w.fp)) return 1;
    errno = 0;
    int failed = fflush(w.fp) != 0 || ferror(w.fp);
    if (!failed) return 1;
    say(w, errno);
    clearerr(w.fp);
    return 0;
}

}  // namespace

void watch_output(FILE* fp, const char* name) {
    if (!fp || find(fp)) return;
    for (WATCH_TYP& w : watched) {
        if (w.fp) continue;
        w.fp = fp;
        snprintf(w.name, sizeof w.name, "%s", name ? name : "");
        w.said = 0;
        return;
    }
}

short check_outputs() {
    short ok = 1;
    for (WATCH_TYP& w : watched)
        if (w.fp && !check(w)) ok = 0;
    return ok;
}

short close_watched_output(FILE* fp) {
    WATCH_TYP* w = find(fp);
    if (!w) return fclose(fp) == 0 ? 1 : 0;
    short ok = check(*w);
    errno = 0;
    if (fclose(fp) != 0) {
        say(*w, errno);
        ok = 0;
    }
    w->fp = nullptr;
    return ok;
}

void output_failed(const char* name, int reason) {
    lost = 1;
    fprintf(stderr, "velkor: %s: %s\n", name ? name : "", strerror(reason));
}

short output_lost() { return lost; }

void lost_output_reset() {
    for (WATCH_TYP& w : watched) w.fp = nullptr;
    watched[0].fp = stdout;
    watched[0].said = 0;
    lost = 0;
}

short open_standard_descriptors() {
    for (int fd = 0; fd <= 2; fd++) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        // open takes the lowest free descriptor: the closed one, as the lower ones are open.
        int got = open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        if (got != fd) {
            if (got >= 0) close(got);
            return 0;
        }
    }
    return 1;
}
