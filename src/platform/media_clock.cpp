#include "platform/media_clock.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace quen::platform {

struct PeriodicTimer::State {
  std::function<void()> tick;
  std::atomic<int32_t> period{1};
  // Virtual time: the next deadline and the creation number that orders ties.
  int64_t deadline = 0;
  uint64_t order = 0;
  bool active = true;
  // Real time.
  std::mutex mu;
  std::condition_variable wake;
  bool stop = false;
  std::thread thread;
  std::mutex stats_mu;
  std::vector<int32_t> lateness;  // ring of the most recent ticks, microseconds
  int64_t ticks = 0;
};

namespace {

using SteadyClock = std::chrono::steady_clock;

struct VirtualWorld {
  std::mutex mu;
  bool on = false;
  int64_t now = 0;
  uint64_t next_order = 0;
  std::vector<std::shared_ptr<PeriodicTimer::State>> timers;
  IMediaTimeSink* sink = nullptr;
};

VirtualWorld& World() {
  static VirtualWorld w;
  return w;
}

void RunThread(PeriodicTimer::State* s) {
  // Real-time scheduling needs a privilege most desktops do not grant; the thread then still
  // sleeps to exact deadlines.
  MakeThreadUrgent();
  auto deadline = SteadyClock::now() + std::chrono::milliseconds(s->period.load());
  for (;;) {
    {
      std::unique_lock<std::mutex> lock(s->mu);
      if (s->wake.wait_until(lock, deadline, [s] { return s->stop; })) return;
    }
    const auto started = SteadyClock::now();
    {
      std::lock_guard<std::mutex> lock(s->stats_mu);
      const auto late =
          std::chrono::duration_cast<std::chrono::microseconds>(started - deadline).count();
      const int32_t v = static_cast<int32_t>(std::clamp<int64_t>(late, 0, INT32_MAX));
      if (s->lateness.size() < 4096) {
        s->lateness.push_back(v);
      } else {
        s->lateness[static_cast<size_t>(s->ticks % 4096)] = v;
      }
      ++s->ticks;
    }
    s->tick();
    deadline += std::chrono::milliseconds(s->period.load());
    // After a stall the missed deadlines are dropped rather than run back to back.
    const auto now = SteadyClock::now();
    if (deadline < now) deadline = now + std::chrono::milliseconds(s->period.load());
  }
}

}  // namespace

void UseVirtualMediaTime(bool on) {
  VirtualWorld& w = World();
  std::lock_guard<std::mutex> lock(w.mu);
  w.on = on;
  w.now = 0;
}

bool VirtualMediaTime() {
  VirtualWorld& w = World();
  std::lock_guard<std::mutex> lock(w.mu);
  return w.on;
}

int64_t MediaNowMs() {
  VirtualWorld& w = World();
  {
    std::lock_guard<std::mutex> lock(w.mu);
    if (w.on) return w.now;
  }
  return MonotonicMicros() / 1000;
}

void SetMediaTimeSink(IMediaTimeSink* sink) {
  VirtualWorld& w = World();
  std::lock_guard<std::mutex> lock(w.mu);
  w.sink = sink;
}

void AdvanceMediaTime(int64_t t_ms) {
  VirtualWorld& w = World();
  std::unique_lock<std::mutex> lock(w.mu);
  if (!w.on || t_ms < w.now) return;
  for (;;) {
    std::shared_ptr<PeriodicTimer::State> due;
    for (const auto& s : w.timers) {
      if (!s->active || s->deadline > t_ms) continue;
      if (!due || s->deadline < due->deadline ||
          (s->deadline == due->deadline && s->order < due->order))
        due = s;
    }
    if (!due) break;
    const int64_t at = due->deadline;
    IMediaTimeSink* sink = w.sink;
    lock.unlock();
    if (sink) sink->RenderUntilMs(at);
    lock.lock();
    w.now = std::max(w.now, at);
    if (!due->active) continue;
    due->deadline = at + std::max(1, due->period.load());
    lock.unlock();
    due->tick();
    lock.lock();
  }
  IMediaTimeSink* sink = w.sink;
  lock.unlock();
  if (sink) sink->RenderUntilMs(t_ms);
  lock.lock();
  w.now = std::max(w.now, t_ms);
}

PeriodicTimer::PeriodicTimer(int32_t period_ms, std::function<void()> tick)
    : state_(std::make_shared<State>()) {
  state_->tick = std::move(tick);
  state_->period = std::max(1, period_ms);
  VirtualWorld& w = World();
  {
    std::lock_guard<std::mutex> lock(w.mu);
    if (w.on) {
      state_->deadline = w.now + state_->period;
      state_->order = w.next_order++;
      w.timers.push_back(state_);
      return;
    }
  }
  state_->thread = std::thread(RunThread, state_.get());
}

PeriodicTimer::~PeriodicTimer() {
  if (state_->thread.joinable()) {
    {
      std::lock_guard<std::mutex> lock(state_->mu);
      state_->stop = true;
    }
    state_->wake.notify_all();
    state_->thread.join();
    return;
  }
  VirtualWorld& w = World();
  std::lock_guard<std::mutex> lock(w.mu);
  state_->active = false;
  std::erase(w.timers, state_);
}

void PeriodicTimer::SetPeriod(int32_t period_ms) {
  state_->period = std::max(1, period_ms);
}

int32_t PeriodicTimer::Period() const {
  return state_->period;
}

int64_t PeriodicTimer::TickCount() const {
  std::lock_guard<std::mutex> lock(state_->stats_mu);
  return state_->ticks;
}

int64_t PeriodicTimer::LatenessP99Micros() const {
  std::vector<int32_t> v;
  {
    std::lock_guard<std::mutex> lock(state_->stats_mu);
    v = state_->lateness;
  }
  if (v.empty()) return 0;
  const size_t k = (v.size() * 99) / 100;
  std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(k), v.end());
  return v[k];
}

}  // namespace quen::platform
