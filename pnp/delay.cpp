// Precise waits: sleep on an absolute deadline less the learned wake-up latency, then spin.
#include "pnp/delay.h"

#include <cerrno>
#include <cstdio>
#include <ctime>

#if defined(__linux__)
#include <sys/prctl.h>
#endif

// A wait left with less than this to sleep once the wake-up estimate is taken off is spun.
static const long long MIN_SLEEP_NS = 10000;
// Longer waits are made as several of this length, which keeps the nanosecond sums small.
static const long CHUNK_US = 1000000000L;

// A later wake-up moves the estimate up by at most this much: a lone wake-up delayed by another
// task (a millisecond and more) says nothing of the next one, and would cost a long spin after it.
static const long WAKE_STEP_UP_MAX_NS = 2000;

// How late a sleep is expected to wake, learned from the sleeps made so far.
static long wake_estimate_ns = 50000;

long next_wake_estimate(long estimate_ns, long long late_ns) {
    if (late_ns < 0) late_ns = 0;
    if (late_ns > WAKE_ESTIMATE_MAX_NS) late_ns = WAKE_ESTIMATE_MAX_NS;
    long late = (long)late_ns;
    long next;
    if (late > estimate_ns) {
        long step = (late - estimate_ns + 1) / 2;
        next = estimate_ns + (step < WAKE_STEP_UP_MAX_NS ? step : WAKE_STEP_UP_MAX_NS);
    } else {
        next = estimate_ns - (estimate_ns - late) / 16;
    }
    // Never above the upper bound: late is not, and next lies between it and the estimate.
    return next < WAKE_ESTIMATE_MIN_NS ? WAKE_ESTIMATE_MIN_NS : next;
}

static long long monotonic_ns() {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (long long)now.tv_sec * 1000000000LL + now.tv_nsec;
}

static inline void cpu_pause() {
#if defined(__i386__) || defined(__x86_64__)
    __builtin_ia32_pause();
#elif defined(__aarch64__)
    __asm__ __volatile__("yield");
#endif
}

// The kernel may defer a timer by the thread's slack (50 us by default) to batch wake-ups; the
// only timed sleeps of this program are these waits, so the slack is lowered once, for good.
static void lower_timer_slack() {
#if defined(__linux__)
    static bool lowered;
    if (lowered) return;
    lowered = true;
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);  // when refused, the estimate covers the slack
#endif
}

// Sleeps until target on CLOCK_MONOTONIC, again after every signal. 1 when the sleep ran
// undisturbed to its end (its wake-up says something of the latency), 0 when not.
static int sleep_until(long long target) {
    struct timespec at;
    at.tv_sec = (time_t)(target / 1000000000LL);
    at.tv_nsec = (long)(target % 1000000000LL);
    int undisturbed = 1;
    int rc;
    while ((rc = clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr)) == EINTR) undisturbed = 0;
    if (rc == 0) return undisturbed;
    errno = rc;
    perror("nanosleep failed");  // the protocol delay's own message
    return 0;
}

static void wait_chunk(long usec) {
    long long start = monotonic_ns();
    long long deadline = start + (long long)usec * 1000;
    long long target = deadline - wake_estimate_ns;
    if (target - start >= MIN_SLEEP_NS) {
        lower_timer_slack();
        if (sleep_until(target))
            wake_estimate_ns = next_wake_estimate(wake_estimate_ns, monotonic_ns() - target);
    }
    while (monotonic_ns() < deadline) cpu_pause();
}

void precise_wait(long usec) {
    for (; usec > CHUNK_US; usec -= CHUNK_US) wait_chunk(CHUNK_US);
    if (usec > 0) wait_chunk(usec);
}
