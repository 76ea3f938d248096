// The time of the sound world and the periodic workers that run in it. A window's run uses
// the monotonic clock and one thread per worker, each sleeping to its deadlines; a headless
// run uses a virtual time that the frame loop advances, and runs the workers' ticks and the
// sound capture in the order of their times, so every sample comes out the same on every run.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "platform/realtime_thread.h"

namespace quen::platform {

// Switches to the virtual time (at 0 ms), or back to the monotonic clock; before any worker or
// device starts.
void UseVirtualMediaTime(bool on = true);
bool VirtualMediaTime();
// Milliseconds of the monotonic clock, or the virtual time.
int64_t MediaNowMs();
// Virtual time only: runs every tick due up to t in time order (ties in creation order); before
// each tick the capture renders up to that tick's time, and up to t at the end. Time never
// goes back.
void AdvanceMediaTime(int64_t t_ms);

// What the virtual time renders before each tick (the headless sound capture).
class IMediaTimeSink {
 public:
  virtual ~IMediaTimeSink() = default;
  virtual void RenderUntilMs(int64_t t_ms) = 0;
};
void SetMediaTimeSink(IMediaTimeSink* sink);

// Calls tick every period ms until it is destroyed: on a thread of its own at real-time
// priority where the system grants it (else the normal one), or in the virtual time. The first
// tick comes one period after creation. Destruction waits for a running tick, and no tick
// starts afterwards; a tick must not destroy its own timer.
class PeriodicTimer {
 public:
  PeriodicTimer(int32_t period_ms, std::function<void()> tick);
  ~PeriodicTimer();
  PeriodicTimer(const PeriodicTimer&) = delete;
  PeriodicTimer& operator=(const PeriodicTimer&) = delete;
  // Takes effect from the next deadline.
  void SetPeriod(int32_t period_ms);
  int32_t Period() const;
  // How late the ticks started after their deadlines (real threads only), in microseconds:
  // the count and the 99th percentile of the most recent 4096.
  int64_t TickCount() const;
  int64_t LatenessP99Micros() const;

  struct State;

 private:
  std::shared_ptr<State> state_;
};

}  // namespace quen::platform
