#include "expr/date_serial.h"

#include <cmath>

namespace quen::date {

namespace {

// Day 0 counted from 1 March 0000, the start of the era the conversions below work in.
constexpr int64_t kEpochShift = 693899;

bool IsLeap(int64_t y) {
  return y % 4 == 0 && (y % 100 != 0 || y % 400 == 0);
}

int32_t DaysInMonth(int64_t y, int32_t m) {
  static constexpr int32_t kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

// Days since 1 March 0000 of a valid date in years 1 to 9999 (all non-negative, so plain
// division is floor division). Years begin in March so that the leap day falls last.
int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d) {
  if (m <= 2) --y;
  int64_t era = y / 400;
  int64_t yoe = y - era * 400;
  int64_t doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe;
}

void CivilFromDays(int64_t z, TDateParts& p) {
  int64_t era = z / 146097;
  int64_t doe = z - era * 146097;
  int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  int64_t mp = (5 * doy + 2) / 153;
  int64_t d = doy - (153 * mp + 2) / 5 + 1;
  int64_t m = mp < 10 ? mp + 3 : mp - 9;
  int64_t y = yoe + era * 400 + (m <= 2 ? 1 : 0);
  p.year = static_cast<int32_t>(y);
  p.month = static_cast<int32_t>(m);
  p.day = static_cast<int32_t>(d);
}

}  // namespace

std::optional<int64_t> EncodeDay(int32_t year, int32_t month, int32_t day) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 ||
      day > DaysInMonth(year, month))
    return std::nullopt;
  return DaysFromCivil(year, month, day) - kEpochShift;
}

std::optional<long double> EncodeDayTime(int32_t hour, int32_t minute, int32_t second) {
  if (hour < 0 || hour >= 24 || minute < 0 || minute >= 60 || second < 0 || second >= 60)
    return std::nullopt;
  int64_t msec = ((int64_t{hour} * 60 + minute) * 60 + second) * 1000;
  return static_cast<long double>(msec) / kMsecPerDay;
}

TDateParts Decode(long double value) {
  TDateParts p;
  // Also keeps the conversions below inside the 64-bit range.
  if (!(std::fabs(value) < static_cast<long double>(kMaxDay + 2))) return p;
  long double whole = std::trunc(value);
  auto day = static_cast<int64_t>(whole);
  auto msec = static_cast<int64_t>(std::llround(std::fabs(value - whole) * kMsecPerDay));
  if (msec >= kMsecPerDay) {
    ++day;
    msec -= kMsecPerDay;
  }
  if (day < kMinDay || day > kMaxDay) return p;
  CivilFromDays(day + kEpochShift, p);
  p.hour = static_cast<int32_t>(msec / 3600000);
  p.minute = static_cast<int32_t>(msec / 60000 % 60);
  p.second = static_cast<int32_t>(msec / 1000 % 60);
  p.msec = static_cast<int32_t>(msec % 1000);
  // Day 0 was a Saturday; day + kEpochShift is never negative here.
  p.week = static_cast<int32_t>((day + kEpochShift + 3) % 7) + 1;
  return p;
}

}  // namespace quen::date
