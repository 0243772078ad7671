// Precise waits of the hardware bus: a sleep for the bulk of the wait, then a short spin to its end.
#ifndef VELKOR_PNP_DELAY_H
#define VELKOR_PNP_DELAY_H

// Bounds of the wake-up latency estimate, in nanoseconds.
const long WAKE_ESTIMATE_MIN_NS = 2000;
const long WAKE_ESTIMATE_MAX_NS = 200000;

// The wake-up latency estimate after a sleep that woke late_ns after its target, given the
// estimate before: half-way up to a later wake-up, by 2 us at the most, and a sixteenth of the
// way down to an earlier one; always within the bounds above. Can't fail.
long next_wake_estimate(long estimate_ns, long long late_ns);

// Returns once usec microseconds have passed on CLOCK_MONOTONIC since the call, never sooner; a
// signal does not cut the wait short. Zero or less returns at once. A failed sleep is said on
// stderr and the wait is still made whole by spinning. Can't fail.
void precise_wait(long usec);

#endif
