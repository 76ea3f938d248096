// Time as the player sees it: a monotonic millisecond counter and the local calendar date and
// time. The window runs on the real clock; headless runs on a virtual clock that moves only when
// the frame loop advances it, from a fixed start date, so a game that reads the time gives the
// same frames on every run.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace quen::platform {

struct LocalDateTime {
  int32_t year = 2000;
  int32_t month = 1;  // 1..12
  int32_t day = 1;    // 1..31
  int32_t hour = 0;
  int32_t minute = 0;
  int32_t second = 0;       // 0..59 (a leap second reads 59)
  int32_t millisecond = 0;  // 0..999
  int32_t week_day = 6;     // 0 Sunday .. 6 Saturday
};

class IClock {
 public:
  virtual ~IClock() = default;
  // Milliseconds since an arbitrary origin; never goes back.
  virtual int64_t NowMs() = 0;
  virtual LocalDateTime LocalNow() = 0;
  // True when time moves only through Pass (headless runs): waits take no real time.
  virtual bool IsVirtual() const = 0;
  // Lets ms milliseconds go by. The virtual clock moves on; the real one has nothing to do (real
  // time passed while the caller waited for window events).
  virtual void Pass(int64_t ms) = 0;
  // Bits that differ between runs on the real clock (seeding); fixed on the virtual one.
  virtual uint64_t Entropy() = 0;
};

class RealClock : public IClock {
 public:
  int64_t NowMs() override;
  LocalDateTime LocalNow() override;
  bool IsVirtual() const override { return false; }
  void Pass(int64_t) override {}
  uint64_t Entropy() override;
};

class VirtualClock : public IClock {
 public:
  // Headless runs start at this local date and time unless told otherwise (--date).
  static constexpr const char* kDefaultStart = "2000-01-01T09:00:00";

  explicit VirtualClock(LocalDateTime start);
  VirtualClock();
  int64_t NowMs() override { return now_ms_; }
  LocalDateTime LocalNow() override;
  bool IsVirtual() const override { return true; }
  void Pass(int64_t ms) override {
    if (ms > 0) now_ms_ += ms;
  }
  uint64_t Entropy() override { return 0; }

 private:
  int64_t now_ms_ = 0;
  // Milliseconds from 1970-01-01 00:00 to the start, counted in local time.
  int64_t start_ms_ = 0;
};

// "YYYY-MM-DD", "YYYY-MM-DDTHH:MM" or "YYYY-MM-DDTHH:MM:SS" (a space may stand for the T), years
// 1601 to 9999, a real calendar date; false for anything else.
bool ParseLocalDateTime(const std::string& text, LocalDateTime& out);

// The date and time ms milliseconds after 1970-01-01 00:00 (proleptic Gregorian calendar).
LocalDateTime DateTimeFromEpochMs(int64_t ms);
int64_t EpochMsFromDateTime(const LocalDateTime& t);

// The process-wide clock: the real one until another is installed.
IClock& Clock();
void SetClock(std::unique_ptr<IClock> clock);

}  // namespace quen::platform
