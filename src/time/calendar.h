// Calendar fields of a tick count: the inverse of ticks_from_parts.
#ifndef IDSTAMP_CALENDAR_H
#define IDSTAMP_CALENDAR_H

#include <cstdint>

#include "idstamp/date_ticks.h"

namespace idstamp {

struct DateParts {
  std::int32_t year;         // [1, 9999]
  std::int32_t month;        // [1, 12]
  std::int32_t day;          // [1, 31]
  std::int32_t hour;         // [0, 23]
  std::int32_t minute;       // [0, 59]
  std::int32_t second;       // [0, 59]
  std::int32_t millisecond;  // [0, 999]
};

// The local date-time of t, to the millisecond. For every value that
// ticks_from_parts makes, ticks_from_parts of the result gives t back; a
// count past 9999-12-31 23:59:59.999 gives that moment.
DateParts parts_of_ticks(DateTicks t);

}  // namespace idstamp

#endif  // IDSTAMP_CALENDAR_H
