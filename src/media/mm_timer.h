// The sequencer's timer: a tick every period (10 ms for the sequencer) while enabled and not
// held. Windowed, a worker thread at the most urgent scheduling the system grants sleeps to each
// deadline and runs the tick; when it falls behind it skips the missed deadlines rather than
// racing through them. Headless there is no thread: the frame loop calls Step with the game
// time and the ticks whose deadlines have come run there, on a 10 ms grid from time 0, so a run
// is the same every time and no tick is ever late.
//
// Hold: every operation of another thread that changes what a tick reads holds the timer first;
// Hold returns once no tick is running, and no tick starts until Release.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace quen {

class TMMTimer {
 public:
  enum class TMode { kThread, kStepped };
  // Runs with the tick's time in ms (the deadline when stepped, the wake-up time otherwise).
  using TickFn = std::function<void(int64_t now_ms)>;

  TMMTimer(TMode mode, TickFn tick);
  // Stops the thread (a tick that runs ends first).
  ~TMMTimer();
  TMMTimer(const TMMTimer&) = delete;
  TMMTimer& operator=(const TMMTimer&) = delete;

  TMode Mode() const { return mode_; }
  int32_t Period();
  void SetPeriod(int32_t ms);
  bool Enabled();
  void SetEnabled(bool enabled);
  void Hold();
  void Release();

  // The time a tick or an operation of the main thread sees, in ms.
  int64_t NowMs();
  // Waits of the main thread (notifications, the settling of a reset): real sleeps on the real
  // clock; stepped, they take no time and are only counted.
  void Wait(int32_t ms);
  int64_t WaitedMs() const { return waited_ms_; }

  // Stepped: runs the ticks due up to now_ms and makes now_ms the present.
  void Step(int64_t now_ms);
  // Stepped: the deadline of the next tick.
  int64_t NextTickMs();

  // Threaded: the scheduling the thread got (once it runs): 2 real-time, 1 raised, 0 normal.
  int32_t Urgency() const { return urgency_; }
  // Threaded: keeps how late each of the next `count` ticks woke, in microseconds.
  void RecordLateness(size_t count);
  std::vector<int32_t> Lateness();

 private:
  void ThreadMain();
  bool BeginTick();  // under the lock: may a tick run now? marks it running
  void EndTick();

  const TMode mode_;
  TickFn tick_;
  std::mutex lock_;
  std::condition_variable tick_done_;
  int32_t period_ = 100;
  bool enabled_ = false;
  bool held_ = false;
  bool ticking_ = false;
  std::atomic<bool> stop_{false};
  std::atomic<int32_t> urgency_{0};
  std::thread thread_;

  // Stepped mode.
  int64_t now_ms_ = 0;
  int64_t next_tick_ms_ = 100;
  int64_t waited_ms_ = 0;

  // Lateness record (threaded).
  size_t lateness_wanted_ = 0;
  std::vector<int32_t> lateness_;
};

}  // namespace quen
