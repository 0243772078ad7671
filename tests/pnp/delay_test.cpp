// The hardware bus's waits: never short, not even when signals interrupt them, and the wake-up
// estimate that lets them sleep for most of their length.
#include <gtest/gtest.h>

#include <climits>
#include <csignal>
#include <cstring>
#include <ctime>
#include <sys/time.h>

#include "pnp/delay.h"
#include "pnp/ports.h"

namespace {

long long monotonic_ns() {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (long long)t.tv_sec * 1000000000LL + t.tv_nsec;
}

// How long hw_bus.delay(usec) took, in nanoseconds.
long long timed_delay(long usec) {
    long long t0 = monotonic_ns();
    hw_bus.delay(usec);
    return monotonic_ns() - t0;
}

TEST(Delay, NeverShorterThanAsked) {
    // Spun, short sleeps and long ones; the repeats let the estimate move in between.
    const long lengths[] = {0, 1, 10, 100, 250, 750, 3000, 250, 1, 750, 10, 3000, 100};
    for (long usec : lengths) {
        for (int i = 0; i < 3; i++) EXPECT_GE(timed_delay(usec), usec * 1000LL) << usec << " us";
    }
}

TEST(Delay, ZeroOrLessReturnsAtOnce) {
    // Taken as a length, -100000 would wait a tenth of a second and LONG_MIN for ever.
    const long lengths[] = {0, -1, -250, -100000, LONG_MIN};
    for (long usec : lengths) EXPECT_LT(timed_delay(usec), 20000000LL) << usec;
}

volatile sig_atomic_t alarms;
void on_alarm(int) { alarms = alarms + 1; }

TEST(Delay, SignalsDoNotShortenAWait) {
    struct sigaction sa, old;
    memset(&sa, 0, sizeof sa);
    sa.sa_handler = on_alarm;  // no SA_RESTART: every signal ends the sleep with EINTR
    sigaction(SIGALRM, &sa, &old);
    struct itimerval tick = {{0, 50}, {0, 50}}, off = {{0, 0}, {0, 0}};
    for (long usec : {5000L, 750L, 250L}) {
        alarms = 0;
        setitimer(ITIMER_REAL, &tick, nullptr);
        long long took = timed_delay(usec);
        setitimer(ITIMER_REAL, &off, nullptr);
        EXPECT_GE(took, usec * 1000LL) << usec << " us, " << (int)alarms << " signals";
        if (usec == 5000) {
            EXPECT_GT(alarms, 2);
        }
    }
    sigaction(SIGALRM, &old, nullptr);
}

TEST(WakeEstimate, StaysWithinItsBounds) {
    EXPECT_EQ(next_wake_estimate(WAKE_ESTIMATE_MAX_NS, LLONG_MAX), WAKE_ESTIMATE_MAX_NS);
    EXPECT_EQ(next_wake_estimate(WAKE_ESTIMATE_MAX_NS, 10LL * WAKE_ESTIMATE_MAX_NS), WAKE_ESTIMATE_MAX_NS);
    EXPECT_EQ(next_wake_estimate(WAKE_ESTIMATE_MIN_NS, 0), WAKE_ESTIMATE_MIN_NS);
    EXPECT_EQ(next_wake_estimate(WAKE_ESTIMATE_MIN_NS, LLONG_MIN), WAKE_ESTIMATE_MIN_NS);
    long e = 40000;
    for (int i = 0; i < 2000; i++) e = next_wake_estimate(e, i % 2 ? LLONG_MAX : 0);
    EXPECT_GE(e, WAKE_ESTIMATE_MIN_NS);
    EXPECT_LE(e, WAKE_ESTIMATE_MAX_NS);
}

TEST(WakeEstimate, UpFastDownSlowly) {
    const long e = 40000;
    EXPECT_EQ(next_wake_estimate(e, e), e);
    long up = next_wake_estimate(e, e + 4000) - e;
    long down = e - next_wake_estimate(e, e - 4000);
    EXPECT_GT(down, 0);
    EXPECT_GE(up, 4 * down);
    // One wake-up delayed by another task (2 ms) moves the estimate up a little, not to the top.
    long after_outlier = next_wake_estimate(e, 2000000);
    EXPECT_GT(after_outlier, e);
    EXPECT_LT(after_outlier, e + 10000);
}

TEST(WakeEstimate, SettlesOnASteadyLatency) {
    for (long latency : {30000L, 90000L}) {
        long from_below = WAKE_ESTIMATE_MIN_NS, from_above = WAKE_ESTIMATE_MAX_NS;
        int below_steps = 0;
        for (int i = 0; i < 1000; i++) {
            if (from_below < latency) below_steps++;
            from_below = next_wake_estimate(from_below, latency);
            from_above = next_wake_estimate(from_above, latency);
        }
        EXPECT_NEAR(from_below, latency, 100) << latency;
        EXPECT_NEAR(from_above, latency, 100) << latency;
        EXPECT_LT(below_steps, 100) << latency;  // a later latency is taken up within a hundred sleeps
    }
}

}  // namespace
