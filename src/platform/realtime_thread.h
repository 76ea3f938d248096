// What a timer thread needs from the system: a fine monotonic clock, sleeping to an absolute
// deadline, and the most urgent scheduling the process is allowed.
#pragma once

#include <cstdint>

namespace quen::platform {

// Microseconds of the monotonic clock since an arbitrary origin.
int64_t MonotonicMicros();
// Sleeps until the monotonic clock reaches deadline (returns at once when it has).
void SleepUntilMicros(int64_t deadline);
void SleepMillis(int32_t ms);

enum class ThreadUrgency { kRealtime, kRaised, kNormal };
// Asks for SCHED_FIFO for the calling thread, else a lower nice value; says what it got.
ThreadUrgency MakeThreadUrgent();

}  // namespace quen::platform
