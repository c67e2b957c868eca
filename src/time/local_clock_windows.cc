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

// _localtime64_s converts readings from 1970-01-01 00:00:00 UTC to
// 3001-01-01 07:59:59 UTC (the end of the year 3000 at UTC-8). Given a later
// one, the runtime calls its invalid-parameter handler, which by default ends
// the process, so readings outside that range never reach it: they give -1
// fields, as a refusal by the runtime does.
LocalFields local_fields(std::int64_t seconds) {
  constexpr std::int64_t last_convertible = 32'535'244'799;
  if (seconds < 0 || seconds > last_convertible) return failed_local_fields;
  const __time64_t t = seconds;
  tm local{};
  if (_localtime64_s(&local, &t) != 0) return failed_local_fields;
  return {local.tm_year, local.tm_mon, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec};
}

}  // namespace idstamp
