// The host's wall clock and its local-time conversion: the only place the
// tool touches the platform's notion of time.
#ifndef IDSTAMP_LOCAL_CLOCK_H
#define IDSTAMP_LOCAL_CLOCK_H

#include <cstdint>

#include "idstamp/date_ticks.h"

namespace idstamp {

// One reading of the wall clock: whole seconds since 1970-01-01 00:00:00 UTC
// and the millisecond part of the same reading, [0, 999].
struct ClockReading {
  std::int64_t seconds;
  std::int32_t millisecond;
};

// Local broken-down time in the host's own convention: years since 1900,
// month [0, 11], day [1, 31]. Every field is -1 when the host cannot convert.
struct LocalFields {
  std::int32_t years_since_1900;
  std::int32_t month;
  std::int32_t day;
  std::int32_t hour;
  std::int32_t minute;
  std::int32_t second;
};

inline constexpr LocalFields failed_local_fields{-1, -1, -1, -1, -1, -1};

ClockReading read_clock();

// Converts epoch seconds under the host's zone rules, honouring TZ.
LocalFields local_fields(std::int64_t seconds);

// The ticks of converted fields plus a millisecond part, clamped as
// ticks_from_parts clamps: failed fields give 1899-01-01 00:00:00.
DateTicks ticks_from_local(const LocalFields& fields, std::int32_t millisecond);

}  // namespace idstamp

#endif  // IDSTAMP_LOCAL_CLOCK_H
