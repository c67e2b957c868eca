// Calendar ticks and the year stamp.
//
// A DateTicks word counts 100-ns ticks since 0001-01-01 00:00:00.000 of the
// proleptic Gregorian calendar, as a local wall-clock reading with no zone.
// The low 62 bits hold the count; the top two bits are reserved and masked
// off wherever a count is read. Calendar fields outside their ranges are
// clamped, never rejected, so nothing here can fail.
#ifndef IDSTAMP_DATE_TICKS_H
#define IDSTAMP_DATE_TICKS_H

#include <array>
#include <cstdint>

#include "idstamp/export.h"

namespace idstamp {

using DateTicks = std::uint64_t;

inline constexpr DateTicks tick_mask = 0x3FFFFFFFFFFFFFFFu;
inline constexpr std::int64_t ticks_per_millisecond = 10'000;
inline constexpr std::int64_t milliseconds_per_day = 86'400'000;
inline constexpr std::int64_t ticks_per_day = 864'000'000'000;
inline constexpr std::int32_t min_year = 1;
inline constexpr std::int32_t max_year = 9'999;

// [leap][month]; index 0 of each row is unused.
inline constexpr std::array<std::array<std::int32_t, 13>, 2> month_length_table{{
    {0, 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31},
    {0, 31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31},
}};

// False outside [1, 9999].
IDSTAMP_EXPORT bool is_leap_year(std::int32_t year);

// 0 when the year is outside [1, 9999] or the month outside [1, 12].
IDSTAMP_EXPORT std::int32_t days_in_month(std::int32_t year, std::int32_t month);

// Days since 0001-01-01. Fields are clamped as ticks_from_parts clamps them,
// so the result lies in [0, 3652058].
IDSTAMP_EXPORT std::int32_t day_number(std::int32_t year, std::int32_t month, std::int32_t day);

// The ticks of a local date-time. Each out-of-range field is clamped to its
// nearest bound on its own: nothing carries into a neighbouring field.
IDSTAMP_EXPORT DateTicks ticks_from_parts(std::int32_t year, std::int32_t month, std::int32_t day,
                                          std::int32_t hour, std::int32_t minute,
                                          std::int32_t second, std::int32_t millisecond);

// The year a tick count falls in: [1, 14614] over all 62-bit counts.
IDSTAMP_EXPORT std::int32_t year_of_ticks(DateTicks t);

// Milliseconds since local midnight of 1 January of the year of t.
IDSTAMP_EXPORT std::int64_t ms_since_year_start(DateTicks t);

// The year stamp of t: ms_since_year_start(t) modulo 2^32.
IDSTAMP_EXPORT std::uint32_t year_stamp_of(DateTicks t);

// The current local date-time. Reads the clock once.
IDSTAMP_EXPORT DateTicks local_now_ticks();

// The year stamp of the current local date-time. Reads the clock once.
IDSTAMP_EXPORT std::uint32_t year_stamp();

}  // namespace idstamp

#endif  // IDSTAMP_DATE_TICKS_H
