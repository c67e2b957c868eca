#include <windows.h>

#include <ctime>

#include "time/local_clock.h"

namespace idstamp {

namespace {
// Seconds from 1601-01-01, the FILETIME epoch, to 1970-01-01.
constexpr std::int64_t unix_epoch_seconds = 11'644'473'600;
}  // namespace

ClockReading read_clock() {
  FILETIME ft{};
  GetSystemTimeAsFileTime(&ft);
  const std::uint64_t intervals =
      (static_cast<std::uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
  const auto ms = static_cast<std::int64_t>(intervals / 10'000u);  // [0, 2^51)
  return {ms / 1'000 - unix_epoch_seconds, static_cast<std::int32_t>(ms % 1'000)};
}

// _localtime64_s refuses readings before 1970 and after 3000-12-31 23:59:59
// local time; its refusal leaves the fields at -1, which we report the same
// way whatever the runtime leaves behind.
LocalFields local_fields(std::int64_t seconds) {
  const __time64_t t = seconds;
  tm local{};
  if (_localtime64_s(&local, &t) != 0) return failed_local_fields;
  return {local.tm_year, local.tm_mon, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec};
}

}  // namespace idstamp
