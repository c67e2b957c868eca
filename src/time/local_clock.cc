// The one place the clock is read: a platform reading, converted to local
// fields by the host, and from there into calendar ticks.
#include "time/local_clock.h"

#include <array>
#include <cstddef>
#include <cstdlib>
#include <cstring>
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

// A second's start in local time: its ticks (hh:mm:ss.000) and year stamp.
struct SecondStart {
  DateTicks ticks;
  std::uint32_t stamp;
};

SecondStart convert_second(std::int64_t seconds) {
  const DateTicks ticks = ticks_from_local(local_fields(seconds), 0);
  return {ticks, year_stamp_of(ticks)};
}

#ifdef __ELF__
// The last second this thread converted, with the zone setting it was
// converted under. Within one UTC second the host's answer cannot change
// while its zone setting holds: offsets change only on whole seconds. So a
// later reading in that second adds its milliseconds to the second's start
// and skips the conversion. The milliseconds never carry: a second starts on
// a whole second of local time, so it ends in the same day, and so in the
// same year.
//
// The zone setting is the TZ text, compared by content (setenv may reuse
// the same pointer); a memo taken under another text is converted afresh.
// What it cannot see is the C library's own zone changing behind an
// unchanged text within the memo's second: zone data replaced and reloaded
// by tzset, or a new TZ taken up by tzset only after a reading under it.
// From the next second on, readings follow the library again.
struct SecondMemo {
  bool valid;
  bool zone_set;  // TZ was present
  std::int64_t seconds;
  SecondStart start;
  std::array<char, 128> zone;  // TZ with its terminating zero
};

// Zero-initialised, so each thread's copy needs no constructor or guard. In
// static TLS: reserved with the thread, never allocated on first use, where
// running out of memory could only end the process. A library loaded later
// that finds no room left fails to load, and says so.
thread_local SecondMemo memo __attribute__((tls_model("initial-exec")));

bool memo_zone_is(const SecondMemo& m, const char* tz) {
  if (tz == nullptr || !m.zone_set) return tz == nullptr && !m.zone_set;
  return std::strcmp(m.zone.data(), tz) == 0;  // m.zone ends within the array
}

// Stores the zone; false when TZ is too long to remember.
bool remember_zone(SecondMemo& m, const char* tz) {
  m.zone_set = tz != nullptr;
  if (tz == nullptr) return true;
  const std::size_t length = std::strlen(tz);
  if (length >= m.zone.size()) return false;
  std::memcpy(m.zone.data(), tz, length + 1);
  return true;
}

SecondStart second_start(std::int64_t seconds) {
  SecondMemo& m = memo;
  // NOLINTNEXTLINE(concurrency-mt-unsafe): read as the host's conversion reads it
  const char* const tz = std::getenv("TZ");
  if (m.valid && m.seconds == seconds && memo_zone_is(m, tz)) return m.start;
  m.seconds = seconds;
  m.start = convert_second(seconds);
  m.valid = remember_zone(m, tz);
  return m.start;
}
#else
// Elsewhere a thread's memo may be allocated on first use, with no way to
// report a failure; so each reading is converted.
SecondStart second_start(std::int64_t seconds) { return convert_second(seconds); }
#endif

// ticks_from_parts clamps the millisecond field on its own.
std::int32_t clamp_millisecond(std::int32_t ms) { return ms < 0 ? 0 : (ms > 999 ? 999 : ms); }

}  // namespace

DateTicks ticks_from_local(const LocalFields& f, std::int32_t millisecond) {
  return ticks_from_parts(offset(f.years_since_1900, 1'900), offset(f.month, 1), f.day, f.hour,
                          f.minute, f.second, millisecond);
}

DateTicks local_now_ticks() {
  const ClockReading now = read_clock();
  return second_start(now.seconds).ticks +
         static_cast<DateTicks>(clamp_millisecond(now.millisecond) * ticks_per_millisecond);
}

std::uint32_t year_stamp() {
  const ClockReading now = read_clock();
  return second_start(now.seconds).stamp +
         static_cast<std::uint32_t>(clamp_millisecond(now.millisecond));
}

}  // namespace idstamp
