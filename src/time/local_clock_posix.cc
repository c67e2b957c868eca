#include <ctime>
#include <limits>

#include "time/local_clock.h"

namespace idstamp {

ClockReading read_clock() {
  timespec now{};
  if (clock_gettime(CLOCK_REALTIME, &now) != 0) return {0, 0};
  return {static_cast<std::int64_t>(now.tv_sec),
          static_cast<std::int32_t>(now.tv_nsec / 1'000'000)};  // [0, 999]
}

LocalFields local_fields(std::int64_t seconds) {
  // A host with a 32-bit time_t cannot name every 64-bit second.
  if (seconds < std::numeric_limits<time_t>::min() || seconds > std::numeric_limits<time_t>::max())
    return failed_local_fields;
  const auto t = static_cast<time_t>(seconds);
  tm local{};
  if (localtime_r(&t, &local) == nullptr) return failed_local_fields;
  return {local.tm_year, local.tm_mon, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec};
}

}  // namespace idstamp
