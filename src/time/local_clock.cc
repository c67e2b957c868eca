// The one place the clock is read: a platform reading, converted to local
// fields by the host, and from there into calendar ticks.
#include "time/local_clock.h"

#include <limits>

namespace idstamp {

namespace {

// v + k for host fields, which the host may leave anywhere in int32.
std::int32_t offset(std::int32_t v, std::int32_t k) {
  const std::int64_t sum = std::int64_t{v} + k;
  constexpr std::int64_t lo = std::numeric_limits<std::int32_t>::min();
  constexpr std::int64_t hi = std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(sum < lo ? lo : (sum > hi ? hi : sum));
}

}  // namespace

DateTicks ticks_from_local(const LocalFields& f, std::int32_t millisecond) {
  return ticks_from_parts(offset(f.years_since_1900, 1'900), offset(f.month, 1), f.day, f.hour,
                          f.minute, f.second, millisecond);
}

DateTicks local_now_ticks() {
  const ClockReading now = read_clock();
  return ticks_from_local(local_fields(now.seconds), now.millisecond);
}

std::uint32_t year_stamp() { return year_stamp_of(local_now_ticks()); }

}  // namespace idstamp
