#include "media/mm_timer.h"

#include <algorithm>

#include "platform/realtime_thread.h"

namespace quen {

TMMTimer::TMMTimer(TMode mode, TickFn tick) : mode_(mode), tick_(std::move(tick)) {
  if (mode_ == TMode::kThread) thread_ = std::thread([this] { ThreadMain(); });
}

TMMTimer::~TMMTimer() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
}

int32_t TMMTimer::Period() {
  std::lock_guard<std::mutex> l(lock_);
  return period_;
}

void TMMTimer::SetPeriod(int32_t ms) {
  std::lock_guard<std::mutex> l(lock_);
  period_ = std::max(1, ms);
  if (mode_ == TMode::kStepped) next_tick_ms_ = (now_ms_ / period_ + 1) * period_;
}

bool TMMTimer::Enabled() {
  std::lock_guard<std::mutex> l(lock_);
  return enabled_;
}

void TMMTimer::SetEnabled(bool enabled) {
  std::lock_guard<std::mutex> l(lock_);
  enabled_ = enabled;
}

void TMMTimer::Hold() {
  std::unique_lock<std::mutex> l(lock_);
  held_ = true;
  tick_done_.wait(l, [this] { return !ticking_; });
}

void TMMTimer::Release() {
  std::lock_guard<std::mutex> l(lock_);
  held_ = false;
}

int64_t TMMTimer::NowMs() {
  if (mode_ == TMode::kThread) return platform::MonotonicMicros() / 1000;
  std::lock_guard<std::mutex> l(lock_);
  return now_ms_;
}

void TMMTimer::Wait(int32_t ms) {
  if (ms <= 0) return;
  waited_ms_ += ms;
  if (mode_ == TMode::kThread) platform::SleepMillis(ms);
}

bool TMMTimer::BeginTick() {
  std::lock_guard<std::mutex> l(lock_);
  if (!enabled_ || held_) return false;
  ticking_ = true;
  return true;
}

void TMMTimer::EndTick() {
  {
    std::lock_guard<std::mutex> l(lock_);
    ticking_ = false;
  }
  tick_done_.notify_all();
}

void TMMTimer::Step(int64_t now_ms) {
  if (mode_ != TMode::kStepped) return;
  for (;;) {
    int64_t deadline;
    {
      std::lock_guard<std::mutex> l(lock_);
      if (next_tick_ms_ > now_ms) {
        now_ms_ = std::max(now_ms_, now_ms);
        return;
      }
      deadline = next_tick_ms_;
      now_ms_ = std::max(now_ms_, deadline);
      next_tick_ms_ += period_;
    }
    if (BeginTick()) {
      tick_(deadline);
      EndTick();
    }
  }
}

int64_t TMMTimer::NextTickMs() {
  std::lock_guard<std::mutex> l(lock_);
  return next_tick_ms_;
}

void TMMTimer::RecordLateness(size_t count) {
  std::lock_guard<std::mutex> l(lock_);
  lateness_.clear();
  lateness_.reserve(count);
  lateness_wanted_ = count;
}

std::vector<int32_t> TMMTimer::Lateness() {
  std::lock_guard<std::mutex> l(lock_);
  return lateness_;
}

void TMMTimer::ThreadMain() {
  switch (platform::MakeThreadUrgent()) {
    case platform::ThreadUrgency::kRealtime:
      urgency_ = 2;
      break;
    case platform::ThreadUrgency::kRaised:
      urgency_ = 1;
      break;
    case platform::ThreadUrgency::kNormal:
      urgency_ = 0;
      break;
  }
  int64_t deadline = platform::MonotonicMicros();
  while (!stop_) {
    const int64_t period_us = int64_t{Period()} * 1000;
    deadline += period_us;
    const int64_t now = platform::MonotonicMicros();
    // Woken far too late (a stalled process): start a fresh grid instead of catching up.
    if (now - deadline > period_us) deadline = now;
    // Sleep in slices so that the destructor never waits a whole long period.
    while (!stop_) {
      const int64_t slice = std::min(deadline, platform::MonotonicMicros() + 10000);
      platform::SleepUntilMicros(slice);
      if (slice == deadline) break;
    }
    if (stop_) break;
    const int64_t woke = platform::MonotonicMicros();
    {
      std::lock_guard<std::mutex> l(lock_);
      if (lateness_.size() < lateness_wanted_)
        lateness_.push_back(static_cast<int32_t>(std::min<int64_t>(woke - deadline, INT32_MAX)));
    }
    if (BeginTick()) {
      tick_(woke / 1000);
      EndTick();
    }
  }
}

}  // namespace quen
