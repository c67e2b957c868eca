#include "time/local_clock.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <limits>
#include <optional>
#include <ostream>
#include <string>

#include "support/in_zone.h"

namespace idstamp {

// Found by argument-dependent lookup, so they live beside LocalFields.
static bool operator==(const LocalFields& a, const LocalFields& b) {
  return a.years_since_1900 == b.years_since_1900 && a.month == b.month && a.day == b.day &&
         a.hour == b.hour && a.minute == b.minute && a.second == b.second;
}

static void PrintTo(const LocalFields& f, std::ostream* os) {
  *os << f.years_since_1900 + 1900 << '-' << f.month + 1 << '-' << f.day << ' ' << f.hour << ':'
      << f.minute << ':' << f.second;
}

namespace {

#ifndef _WIN32
// A misspelt or missing zone silently means UTC; the local hour at the epoch
// tells a loaded zone from that.
void expect_zone_loaded(std::int32_t hour_at_epoch) {
  ASSERT_EQ(local_fields(0).hour, hour_at_epoch) << "zone data missing (install tzdata)";
}

TEST(LocalFields, ZonesAndDaylightSaving) {
  const struct {
    const char* zone;
    std::int32_t hour_at_epoch;
    std::int64_t seconds;
    LocalFields local;
  } cases[] = {
      {"UTC", 0, 1'635'640'200, {121, 9, 31, 0, 30, 0}},
      // Berlin leaves summer time at 03:00 on 2021-10-31: 02:30 comes twice.
      {"Europe/Berlin", 1, 1'635'640'200, {121, 9, 31, 2, 30, 0}},
      {"Europe/Berlin", 1, 1'635'643'800, {121, 9, 31, 2, 30, 0}},
      // ... and enters it at 02:00 on 2021-03-28, straight to 03:00.
      {"Europe/Berlin", 1, 1'616'893'199, {121, 2, 28, 1, 59, 59}},
      {"Europe/Berlin", 1, 1'616'893'200, {121, 2, 28, 3, 0, 0}},
      {"America/New_York", 19, 1'636'264'800, {121, 10, 7, 1, 0, 0}},
      {"Asia/Kolkata", 5, 0, {70, 0, 1, 5, 30, 0}},
      {"Australia/Lord_Howe", 10, 1'640'995'200, {122, 0, 1, 11, 0, 0}},
  };
  for (const auto& c : cases) {
    const InZone zone(c.zone);
    expect_zone_loaded(c.hour_at_epoch);
    EXPECT_EQ(local_fields(c.seconds), c.local) << c.zone << ' ' << c.seconds;
  }
}

TEST(LocalFields, ReadingsTheHostCannotConvert) {
  const InZone zone("UTC");
  EXPECT_EQ(local_fields(std::numeric_limits<std::int64_t>::max()), failed_local_fields);
  EXPECT_EQ(local_fields(std::numeric_limits<std::int64_t>::min()), failed_local_fields);
}
#endif

#ifdef _WIN32
// The runtime calls this where it would otherwise end the process.
int invalid_parameter_calls = 0;
void count_invalid_parameter(const wchar_t*, const wchar_t*, const wchar_t*, unsigned, uintptr_t) {
  ++invalid_parameter_calls;
}

// The Windows runtime converts readings from 1970-01-01 00:00:00 UTC to
// 3001-01-01 07:59:59 UTC; the rest never reach it and give -1 fields. The
// zones are the runtime's own TZ notation, with no daylight saving: UTC, and
// UTC-8, where the last convertible reading is the last second of 3000. Wine
// refuses a reading out of range quietly; the Windows runtime calls its
// invalid-parameter handler, so the count of calls shows one reaching it.
TEST(LocalFields, HostRangeOnWindows) {
  constexpr std::int64_t int64_max = std::numeric_limits<std::int64_t>::max();
  constexpr std::int64_t int64_min = std::numeric_limits<std::int64_t>::min();
  const struct {
    const char* zone;
    std::int64_t seconds;
    LocalFields local;
  } cases[] = {
      {"UTC0", 0, {70, 0, 1, 0, 0, 0}},
      {"UTC0", 32'535'244'799, {1101, 0, 1, 7, 59, 59}},
      {"UTC0", -1, failed_local_fields},
      {"UTC0", 32'535'244'800, failed_local_fields},
      {"UTC0", int64_max, failed_local_fields},
      {"UTC0", int64_min, failed_local_fields},
      {"PST8", 0, {69, 11, 31, 16, 0, 0}},
      {"PST8", 32'535'244'799, {1100, 11, 31, 23, 59, 59}},
      {"PST8", -1, failed_local_fields},
      {"PST8", 32'535'244'800, failed_local_fields},
  };
  invalid_parameter_calls = 0;
  const _invalid_parameter_handler previous =
      _set_invalid_parameter_handler(count_invalid_parameter);
  for (const auto& c : cases) {
    const InZone zone(c.zone);
    EXPECT_EQ(local_fields(c.seconds), c.local) << c.zone << ' ' << c.seconds;
  }
  _set_invalid_parameter_handler(previous);
  EXPECT_EQ(invalid_parameter_calls, 0);
}
#endif

TEST(TicksFromLocal, FailedConversionLeavesTheMillisecondField) {
  for (const std::int32_t ms : {0, 1, 500, 999})
    EXPECT_EQ(year_stamp_of(ticks_from_local(failed_local_fields, ms)),
              static_cast<std::uint32_t>(ms));
}

TEST(TicksFromLocal, FieldsAtTheEdgeOfInt32) {
  constexpr std::int32_t max = std::numeric_limits<std::int32_t>::max();
  const LocalFields huge{max, max, max, max, max, max};
  EXPECT_EQ(year_of_ticks(ticks_from_local(huge, 0)), 9999);
  EXPECT_EQ(ticks_from_local({100, 0, 1, 0, 0, 0}, 0), ticks_from_parts(2000, 1, 1, 0, 0, 0, 0));
}

}  // namespace
}  // namespace idstamp
