#include "platform/clock.h"

#include <chrono>
#include <ctime>

namespace quen::platform {

namespace {

// Days from 1970-01-01 to y-m-d in the proleptic Gregorian calendar.
int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, int32_t& y, int32_t& m, int32_t& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  d = static_cast<int32_t>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int32_t>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int32_t>(yoe + era * 400 + (m <= 2));
}

int64_t FloorDiv(int64_t a, int64_t b) {
  return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

std::unique_ptr<IClock>& Installed() {
  static std::unique_ptr<IClock> clock = std::make_unique<RealClock>();
  return clock;
}

}  // namespace

LocalDateTime DateTimeFromEpochMs(int64_t ms) {
  LocalDateTime t;
  const int64_t days = FloorDiv(ms, 86400000);
  int64_t rest = ms - days * 86400000;
  CivilFromDays(days, t.year, t.month, t.day);
  t.hour = static_cast<int32_t>(rest / 3600000);
  rest %= 3600000;
  t.minute = static_cast<int32_t>(rest / 60000);
  rest %= 60000;
  t.second = static_cast<int32_t>(rest / 1000);
  t.millisecond = static_cast<int32_t>(rest % 1000);
  // 1970-01-01 was a Thursday.
  t.week_day = static_cast<int32_t>(((days % 7) + 7 + 4) % 7);
  return t;
}

int64_t EpochMsFromDateTime(const LocalDateTime& t) {
  return DaysFromCivil(t.year, t.month, t.day) * 86400000 + int64_t{t.hour} * 3600000 +
         int64_t{t.minute} * 60000 + int64_t{t.second} * 1000 + t.millisecond;
}

bool ParseLocalDateTime(const std::string& text, LocalDateTime& out) {
  // Digits exactly where the pattern has them, the separators in between.
  static const char kPattern[] = "dddd-dd-ddTdd:dd:dd";
  const size_t n = text.size();
  if (n != 10 && n != 16 && n != 19) return false;
  for (size_t i = 0; i < n; ++i) {
    const char c = text[i], want = kPattern[i];
    if (want == 'd' ? (c < '0' || c > '9') : want == 'T' ? (c != 'T' && c != ' ') : c != want)
      return false;
  }
  auto num = [&](size_t at, size_t len) {
    int32_t v = 0;
    for (size_t i = at; i < at + len; ++i) v = v * 10 + (text[i] - '0');
    return v;
  };
  LocalDateTime t;
  t.year = num(0, 4);
  t.month = num(5, 2);
  t.day = num(8, 2);
  t.hour = n > 10 ? num(11, 2) : 0;
  t.minute = n > 10 ? num(14, 2) : 0;
  t.second = n > 16 ? num(17, 2) : 0;
  if (t.year < 1601 || t.month < 1 || t.month > 12 || t.day < 1 || t.hour > 23 || t.minute > 59 ||
      t.second > 59)
    return false;
  // A day past the month's end (2001-02-29) does not come back as itself.
  const LocalDateTime back = DateTimeFromEpochMs(EpochMsFromDateTime(t));
  if (back.day != t.day || back.month != t.month) return false;
  out = back;
  return true;
}

int64_t RealClock::NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

LocalDateTime RealClock::LocalNow() {
  const auto now = std::chrono::system_clock::now();
  const std::time_t t = std::chrono::system_clock::to_time_t(now);
  std::tm tm{};
  localtime_r(&t, &tm);
  LocalDateTime out;
  out.year = tm.tm_year + 1900;
  out.month = tm.tm_mon + 1;
  out.day = tm.tm_mday;
  out.hour = tm.tm_hour;
  out.minute = tm.tm_min;
  out.second = tm.tm_sec > 59 ? 59 : tm.tm_sec;
  out.millisecond = static_cast<int32_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000);
  out.week_day = tm.tm_wday;
  return out;
}

uint64_t RealClock::Entropy() {
  const auto wall =
      static_cast<uint64_t>(std::chrono::system_clock::now().time_since_epoch().count());
  const auto mono =
      static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  return wall ^ ((mono << 32) | (mono >> 32));
}

VirtualClock::VirtualClock(LocalDateTime start) : start_ms_(EpochMsFromDateTime(start)) {}

VirtualClock::VirtualClock() {
  LocalDateTime start;
  ParseLocalDateTime(kDefaultStart, start);
  start_ms_ = EpochMsFromDateTime(start);
}

LocalDateTime VirtualClock::LocalNow() {
  return DateTimeFromEpochMs(start_ms_ + now_ms_);
}

IClock& Clock() {
  return *Installed();
}

void SetClock(std::unique_ptr<IClock> clock) {
  Installed() = clock ? std::move(clock) : std::make_unique<RealClock>();
}

}  // namespace quen::platform
