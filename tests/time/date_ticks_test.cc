#include "idstamp/date_ticks.h"

#include <gtest/gtest.h>

#include <array>
#include <ctime>
#include <limits>

#include "time/calendar.h"

namespace idstamp {
namespace {

constexpr std::int32_t i32_min = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t i32_max = std::numeric_limits<std::int32_t>::max();
constexpr DateTicks top_bits = ~tick_mask;
constexpr DateTicks last_tick = 3'155'378'975'999'990'000u;  // 9999-12-31 23:59:59.999

TEST(IsLeapYear, Rules) {
  const struct {
    std::int32_t year;
    bool leap;
  } cases[] = {
      {2000, true}, {2024, true},     {1900, false},    {2023, false}, {4, true},
      {1, false},   {9996, true},     {9999, false},    {0, false},    {10'000, false},
      {-4, false},  {i32_min, false}, {i32_max, false},
  };
  for (const auto& c : cases) EXPECT_EQ(is_leap_year(c.year), c.leap) << c.year;
}

TEST(DaysInMonth, LengthsAndOutOfRange) {
  const struct {
    std::int32_t year, month, days;
  } cases[] = {
      {2024, 2, 29}, {2023, 2, 28}, {2023, 1, 31}, {2023, 4, 30},  {2023, 12, 31},
      {2023, 13, 0}, {2023, 0, 0},  {0, 1, 0},     {10'000, 1, 0}, {i32_min, i32_max, 0},
  };
  for (const auto& c : cases)
    EXPECT_EQ(days_in_month(c.year, c.month), c.days) << c.year << '-' << c.month;
}

TEST(DayNumber, KnownDays) {
  const struct {
    std::int32_t year, month, day, number;
  } cases[] = {
      {1, 1, 1, 0},
      {1970, 1, 1, 719'162},
      {2000, 2, 29, 730'178},
      {2019, 12, 11, 737'403},
      {9999, 12, 31, 3'652'058},
      // Fields outside their ranges are clamped into 0001-01-01 .. 9999-12-31.
      {i32_min, i32_min, i32_min, 0},
      {i32_max, i32_max, i32_max, 3'652'058},
      {2019, 2, 30, 737'117},  // 2019-02-28
  };
  for (const auto& c : cases)
    EXPECT_EQ(day_number(c.year, c.month, c.day), c.number)
        << c.year << '-' << c.month << '-' << c.day;
}

struct Parts {
  std::int32_t year, month, day, hour, minute, second, millisecond;
};

DateTicks ticks(const Parts& p) {
  return ticks_from_parts(p.year, p.month, p.day, p.hour, p.minute, p.second, p.millisecond);
}

TEST(TicksFromParts, ClampsEachFieldOnItsOwn) {
  const struct {
    Parts given, clamped;
  } cases[] = {
      {{2019, 2, 30, 10, 0, 0, 0}, {2019, 2, 28, 10, 0, 0, 0}},
      {{2019, 0, 0, -1, 75, 61, 1'500}, {2019, 1, 1, 0, 59, 59, 999}},
      {{12'000, 6, 15, 12, 0, 0, 0}, {9'999, 6, 15, 12, 0, 0, 0}},
      {{2023, 14, 40, 24, 60, 60, 1'000}, {2023, 12, 31, 23, 59, 59, 999}},
      {{2024, 2, 31, 0, 0, 0, 0}, {2024, 2, 29, 0, 0, 0, 0}},
      // What a failed local-time conversion hands over.
      {{1'899, 0, -1, -1, -1, -1, 321}, {1'899, 1, 1, 0, 0, 0, 321}},
  };
  for (const auto& c : cases) EXPECT_EQ(ticks(c.given), ticks(c.clamped));
}

TEST(TicksFromParts, Limits) {
  EXPECT_EQ(ticks({1, 1, 1, 0, 0, 0, 0}), 0u);
  EXPECT_EQ(ticks({1970, 1, 1, 0, 0, 0, 0}), 621'355'968'000'000'000u);
  EXPECT_EQ(ticks({9999, 12, 31, 23, 59, 59, 999}), last_tick);
  EXPECT_EQ(ticks({i32_min, i32_min, i32_min, i32_min, i32_min, i32_min, i32_min}), 0u);
  EXPECT_EQ(ticks({i32_max, i32_max, i32_max, i32_max, i32_max, i32_max, i32_max}), last_tick);
}

TEST(YearOfTicks, YearEdges) {
  EXPECT_EQ(year_of_ticks(ticks({2020, 12, 31, 23, 59, 59, 999})), 2020);
  EXPECT_EQ(year_of_ticks(ticks({2021, 1, 1, 0, 0, 0, 0})), 2021);
  EXPECT_EQ(year_of_ticks(0), 1);
  EXPECT_EQ(year_of_ticks(last_tick), 9999);
  EXPECT_EQ(year_of_ticks(last_tick + 10'000), 10'000);
  EXPECT_EQ(year_of_ticks(tick_mask), 14'614);
}

TEST(MsSinceYearStart, YearEdges) {
  EXPECT_EQ(ms_since_year_start(ticks({2021, 1, 1, 0, 0, 0, 0})), 0);
  EXPECT_EQ(ms_since_year_start(ticks({2024, 12, 31, 23, 59, 59, 999})), 31'622'399'999);
  EXPECT_EQ(ms_since_year_start(ticks({2023, 12, 31, 23, 59, 59, 999})), 31'535'999'999);
  // Beyond 9999-12-31 the year is held at 9999.
  EXPECT_EQ(ms_since_year_start(last_tick + 10'000), 31'536'000'000);
}

TEST(ReservedBits, AreIgnoredOnReading) {
  for (const DateTicks t : {DateTicks{0}, ticks({2020, 12, 31, 23, 59, 59, 999}),
                            ticks({2021, 7, 4, 12, 0, 0, 1}), last_tick, tick_mask}) {
    for (const DateTicks bits : {DateTicks{1} << 62, DateTicks{1} << 63, top_bits}) {
      EXPECT_EQ(year_of_ticks(t | bits), year_of_ticks(t));
      EXPECT_EQ(ms_since_year_start(t | bits), ms_since_year_start(t));
    }
  }
}

TEST(YearStampOf, ResetsAndWrap) {
  const struct {
    Parts at;
    std::uint32_t stamp;
  } cases[] = {
      {{2021, 1, 1, 0, 0, 0, 0}, 0},
      {{2021, 2, 19, 17, 2, 47, 295}, 4'294'967'295u},
      {{2021, 2, 19, 17, 2, 47, 296}, 0},
      {{2021, 12, 14, 23, 19, 31, 72}, 0},  // the seventh return to 0
      {{2024, 12, 13, 23, 19, 31, 72}, 0},  // a day earlier in a leap year
      {{2023, 12, 31, 23, 59, 59, 999}, 1'471'228'927u},
      {{2021, 10, 31, 0, 30, 0, 250}, 411'196'474u},
  };
  for (const auto& c : cases) EXPECT_EQ(year_stamp_of(ticks(c.at)), c.stamp);
}

std::array<std::int32_t, 7> parts_of(const DateParts& p) {
  return {p.year, p.month, p.day, p.hour, p.minute, p.second, p.millisecond};
}
std::array<std::int32_t, 7> parts_of(DateTicks t) { return parts_of(parts_of_ticks(t)); }

TEST(PartsOfTicks, Limits) {
  using Parts = std::array<std::int32_t, 7>;
  EXPECT_EQ(parts_of(0), (Parts{1, 1, 1, 0, 0, 0, 0}));
  EXPECT_EQ(parts_of(last_tick), (Parts{9999, 12, 31, 23, 59, 59, 999}));
  EXPECT_EQ(parts_of(last_tick + 10'000), (Parts{9999, 12, 31, 23, 59, 59, 999}));
  EXPECT_EQ(parts_of(tick_mask), (Parts{9999, 12, 31, 23, 59, 59, 999}));
  EXPECT_EQ(parts_of(top_bits | 9'999), (Parts{1, 1, 1, 0, 0, 0, 0}));  // below a millisecond
}

#ifndef _WIN32
// Every day of years 1 to 9999 against the C library's own calendar.
TEST(Calendar, AgreesWithTheCLibraryOnEveryDay) {
  constexpr std::int64_t seconds_per_day = 86'400;
  for (std::int32_t year = 1; year <= 9999; ++year) {
    for (std::int32_t month = 1; month <= 12; ++month) {
      for (std::int32_t day = 1; day <= days_in_month(year, month); ++day) {
        std::tm date{};
        date.tm_year = year - 1900;
        date.tm_mon = month - 1;
        date.tm_mday = day;
        const std::int64_t since_1970 = static_cast<std::int64_t>(timegm(&date)) / seconds_per_day;
        ASSERT_EQ(day_number(year, month, day), since_1970 + 719'162)
            << year << '-' << month << '-' << day;
        // timegm normalises the fields and fills tm_yday.
        ASSERT_EQ(date.tm_mday, day);
        const std::int64_t day_ms = std::int64_t{date.tm_yday} * milliseconds_per_day;
        const DateTicks first = ticks_from_parts(year, month, day, 0, 0, 0, 0);
        const DateTicks last = ticks_from_parts(year, month, day, 23, 59, 59, 999);
        ASSERT_EQ(year_of_ticks(first), year);
        ASSERT_EQ(year_of_ticks(last), year);
        ASSERT_EQ(ms_since_year_start(first), day_ms);
        ASSERT_EQ(ms_since_year_start(last), day_ms + milliseconds_per_day - 1);
        // parts_of_ticks undoes ticks_from_parts, at a time of day that
        // moves with the date.
        const DateParts want{
            year, month, day, day % 24, (day * 7 + month) % 60, (year + day) % 60, year % 1000};
        ASSERT_EQ(parts_of(ticks_from_parts(want.year, want.month, want.day, want.hour, want.minute,
                                            want.second, want.millisecond)),
                  parts_of(want))
            << year << '-' << month << '-' << day;
      }
    }
  }
}
#endif

}  // namespace
}  // namespace idstamp
