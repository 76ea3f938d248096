#include "platform/realtime_thread.h"

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>

namespace quen::platform {

int64_t MonotonicMicros() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

void SleepUntilMicros(int64_t deadline) {
  timespec ts{};
  ts.tv_sec = static_cast<time_t>(deadline / 1000000);
  ts.tv_nsec = static_cast<long>(deadline % 1000000) * 1000;
  while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) == EINTR) {
  }
}

void SleepMillis(int32_t ms) {
  if (ms > 0) SleepUntilMicros(MonotonicMicros() + int64_t{ms} * 1000);
}

ThreadUrgency MakeThreadUrgent() {
  sched_param p{};
  p.sched_priority = sched_get_priority_min(SCHED_FIFO) + 10;
  if (pthread_setschedparam(pthread_self(), SCHED_FIFO, &p) == 0) return ThreadUrgency::kRealtime;
  // Without the right to real-time scheduling a lower nice value still helps; it applies to
  // this thread only (Linux keeps nice values per thread).
  const auto tid = static_cast<id_t>(syscall(SYS_gettid));
  if (setpriority(PRIO_PROCESS, tid, -10) == 0) return ThreadUrgency::kRaised;
  return ThreadUrgency::kNormal;
}

}  // namespace quen::platform
