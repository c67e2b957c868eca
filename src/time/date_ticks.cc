#include "idstamp/date_ticks.h"

#include <cstddef>

#include "time/calendar.h"

namespace idstamp {

namespace {

std::int32_t clamp(std::int32_t v, std::int32_t lo, std::int32_t hi) {
  return v < lo ? lo : (v > hi ? hi : v);
}

std::int64_t tick_count(DateTicks t) { return static_cast<std::int64_t>(t & tick_mask); }

const std::array<std::int32_t, 13>& month_lengths(std::int32_t year) {
  return month_length_table[is_leap_year(year) ? 1 : 0];
}

}  // namespace

bool is_leap_year(std::int32_t year) {
  if (year < min_year || year > max_year) return false;
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

std::int32_t days_in_month(std::int32_t year, std::int32_t month) {
  if (month < 1 || month > 12 || year < min_year || year > max_year) return 0;
  return month_lengths(year)[static_cast<std::size_t>(month)];
}

// Domain: every field is first clamped into 0001-01-01 .. 9999-12-31.
std::int32_t day_number(std::int32_t year, std::int32_t month, std::int32_t day) {
  year = clamp(year, min_year, max_year);
  month = clamp(month, 1, 12);
  day = clamp(day, 1, days_in_month(year, month));
  const auto& lengths = month_lengths(year);
  std::int32_t before = 0;  // [0, 335]
  for (std::size_t m = 1; m < static_cast<std::size_t>(month); ++m) before += lengths[m];
  const std::int32_t y = year - 1;                                // [0, 9998]
  return 365 * y + y / 4 - y / 100 + y / 400 + before + day - 1;  // [0, 3652058]
}

DateTicks ticks_from_parts(std::int32_t year, std::int32_t month, std::int32_t day,
                           std::int32_t hour, std::int32_t minute, std::int32_t second,
                           std::int32_t millisecond) {
  std::int64_t total = day_number(year, month, day);   // [0, 3652058]
  total = total * 24 + clamp(hour, 0, 23);             // [0, 87649415]
  total = total * 60 + clamp(minute, 0, 59);           // [0, 5258964959]
  total = total * 60 + clamp(second, 0, 59);           // [0, 315537897599]
  total = total * 1'000 + clamp(millisecond, 0, 999);  // [0, 315537897599999]
  return static_cast<DateTicks>(total * ticks_per_millisecond);
}

// Domain: every 62-bit count, [0, 2^62 - 1].
std::int32_t year_of_ticks(DateTicks t) {
  const auto days = static_cast<std::int32_t>(tick_count(t) / ticks_per_day);  // [0, 5337599]
  const std::int32_t q400 = days / 146'097;                                    // [0, 36]
  std::int32_t r = days - q400 * 146'097;                                      // [0, 146096]
  std::int32_t q100 = r / 36'524;                                              // [0, 4]
  if (q100 == 4) q100 = 3;                                                     // [0, 3]
  r -= q100 * 36'524;                                                          // [0, 36524]
  const std::int32_t q4 = r / 1'461;                                           // [0, 24]
  r -= q4 * 1'461;                                                             // [0, 1460]
  std::int32_t q1 = r / 365;                                                   // [0, 4]
  if (q1 == 4) q1 = 3;                                                         // [0, 3]
  return 400 * q400 + 100 * q100 + 4 * q4 + q1 + 1;                            // [1, 14614]
}

std::int64_t ms_since_year_start(DateTicks t) {
  const std::int32_t year = clamp(year_of_ticks(t), min_year, max_year);
  const std::int64_t start = std::int64_t{day_number(year, 1, 1)} * ticks_per_day;
  return (tick_count(t) - start) / ticks_per_millisecond;  // >= 0
}

std::uint32_t year_stamp_of(DateTicks t) {
  return static_cast<std::uint32_t>(static_cast<std::uint64_t>(ms_since_year_start(t)));
}

DateParts parts_of_ticks(DateTicks t) {
  constexpr auto last = std::int64_t{3'155'378'975'999'990'000} / ticks_per_millisecond;
  std::int64_t ms = tick_count(t) / ticks_per_millisecond;  // [0, 2^62 / 10^4]
  if (ms > last) ms = last;                                 // [0, 315537897599999]
  const std::int32_t year = year_of_ticks(static_cast<DateTicks>(ms * ticks_per_millisecond));
  std::int64_t in_year = ms - std::int64_t{day_number(year, 1, 1)} * milliseconds_per_day;
  auto day_of_year = static_cast<std::int32_t>(in_year / milliseconds_per_day);  // [0, 365]
  const std::int64_t in_day = in_year % milliseconds_per_day;                    // [0, 86399999]
  std::int32_t month = 1;
  while (month < 12 && day_of_year >= days_in_month(year, month))
    day_of_year -= days_in_month(year, month++);  // [0, 30] at the end
  const auto in_day32 = static_cast<std::int32_t>(in_day);
  return {year,
          month,
          day_of_year + 1,
          in_day32 / 3'600'000,    // [0, 23]
          in_day32 / 60'000 % 60,  // [0, 59]
          in_day32 / 1'000 % 60,   // [0, 59]
          in_day32 % 1'000};       // [0, 999]
}

}  // namespace idstamp
