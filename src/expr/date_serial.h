// Date values: reals counting days since 30 December 1899 (day 0), the fraction being the time
// of day. The calendar is the proleptic Gregorian one, years 1 to 9999.
#pragma once

#include <cstdint>
#include <optional>

namespace quen::date {

// Day numbers of 1 January 0001 and 31 December 9999.
constexpr int64_t kMinDay = -693593;
constexpr int64_t kMaxDay = 2958465;
constexpr int64_t kMsecPerDay = 86400000;

// Day number of a calendar date; none when the date does not exist or lies outside the years
// 1 to 9999.
std::optional<int64_t> EncodeDay(int32_t year, int32_t month, int32_t day);
// Fraction of a day; none unless hour < 24, minute < 60 and second < 60, all from 0.
std::optional<long double> EncodeDayTime(int32_t hour, int32_t minute, int32_t second);

struct TDateParts {
  int32_t year = 0, month = 0, day = 0;
  int32_t hour = 0, minute = 0, second = 0, msec = 0;
  int32_t week = 0;  // 1 = Sunday ... 7 = Saturday
};

// Splits a date value. The whole days are the value truncated toward zero and the time of day
// is the fraction's magnitude, counting forward from midnight also for negative values: -1.25 is
// 29 December 1899, 06:00 (counting straight back from day 0 would give 28 December, 18:00), and
// -0.5 reads like 0.5. The time is rounded to the millisecond; a time that rounds up to 24:00
// belongs to the next day. A value whose day falls outside the years 1 to 9999 decodes to zeros.
TDateParts Decode(long double value);

}  // namespace quen::date
