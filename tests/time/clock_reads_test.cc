// The clock is read only when a verdict needs it: not for a token that does
// not parse, not for a lifetime of 0 or less, not for an id that cannot be
// issued; and each reading gives exactly what its wall-clock fields give.
// Linked with --wrap=clock_gettime, so every read is counted, and the clock
// can be frozen without libfaketime.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "cli/inspect.h"
#include "idstamp/idstamp.h"
#include "idstamp/token_codec.h"
#include "support/in_zone.h"
#include "time/local_clock.h"

namespace {
int clock_reads = 0;
std::optional<timespec> frozen;  // what the clock reads, when set
}  // namespace

extern "C" int __real_clock_gettime(clockid_t clock, timespec* now);   // NOLINT
extern "C" int __wrap_clock_gettime(clockid_t clock, timespec* now) {  // NOLINT
  ++clock_reads;
  if (frozen) {
    *now = *frozen;
    return 0;
  }
  return __real_clock_gettime(clock, now);
}

namespace idstamp {
namespace {

// How often `f` reads the clock.
template <class F>
int reads(F f) {
  clock_reads = 0;
  f();
  return clock_reads;
}

TEST(ClockReads, OnlyWhenAVerdictNeedsIt) {
  const std::string token = *crypt_id("ABC", 0);
  const char* const malformed = "5109B8788C4A75X";
  EXPECT_EQ(reads([] { (void)crypt_id(""); }), 0);
  EXPECT_EQ(reads([] { idstamp_free(idstamp_crypt_id("")); }), 0);
  EXPECT_EQ(reads([&] { (void)decrypt_id(malformed, 30); }), 0);
  EXPECT_EQ(reads([&] { (void)decrypt_id(token, 0); }), 0);
  EXPECT_EQ(reads([&] { (void)decrypt_id(token, -5); }), 0);
  EXPECT_EQ(reads([&] { (void)inspect_token(malformed, 30); }), 0);
  EXPECT_EQ(reads([&] { idstamp_free(idstamp_decrypt_id(malformed, 30)); }), 0);
  EXPECT_EQ(reads([&] { idstamp_free(idstamp_decrypt_id(token.c_str(), 0)); }), 0);
  EXPECT_EQ(reads([&] { (void)idstamp_inspect(malformed, 30, nullptr); }), 0);
  EXPECT_EQ(reads([&] { (void)idstamp_inspect(nullptr, 30, nullptr); }), 0);
  char buffer[IDSTAMP_MAX_TOKEN_LENGTH];
  EXPECT_EQ(reads([&] { (void)idstamp_issue_token(buffer, sizeof buffer, "A\0", 2, nullptr); }), 0);
  EXPECT_EQ(reads([&] { (void)idstamp_check_token(malformed, 15, 30, nullptr, nullptr); }), 0);
  // Once for every token issued or judged.
  EXPECT_EQ(reads([] { (void)crypt_id("ABC"); }), 1);
  EXPECT_EQ(reads([] { idstamp_free(idstamp_crypt_id("ABC")); }), 1);
  EXPECT_EQ(reads([&] { (void)decrypt_id(token, 30); }), 1);
  EXPECT_EQ(reads([&] { (void)inspect_token(token, 0); }), 1);
  EXPECT_EQ(reads([&] { idstamp_free(idstamp_decrypt_id(token.c_str(), 30)); }), 1);
  EXPECT_EQ(reads([&] { (void)idstamp_inspect(token.c_str(), 30, nullptr); }), 1);
  EXPECT_EQ(reads([&] { (void)idstamp_issue_token(buffer, sizeof buffer, "A", 1, nullptr); }), 1);
  EXPECT_EQ(
      reads([&] { (void)idstamp_check_token(token.data(), token.size(), 0, nullptr, nullptr); }),
      1);
}

class NoStreams final : public BatchStreams {
 public:
  std::ptrdiff_t read(char*, std::size_t) override { return -1; }
  bool write(std::string_view) override { return false; }
};

// The reading itself, which a round trip cannot tell: with the clock frozen
// at 2021-10-31 00:30:00.250999999 UTC, the exact token the tool prints, and
// the moment inspection reports five minutes later.
TEST(ClockReads, TheTokenAndTheNowAreTheClocks) {
  const char* const old_zone = std::getenv("TZ");
  const std::optional<std::string> saved =
      old_zone != nullptr ? std::optional(old_zone) : std::nullopt;
  setenv("TZ", "UTC", 1);
  tzset();
  frozen = timespec{1635640200, 250'999'999};
  const CliOutput token = run_cli(std::vector<std::string_view>{"-i", "ABC", "-c"});
  EXPECT_EQ(token.text.view(), "5109B8788C4A757\n");
  frozen->tv_sec += 300;
  NoStreams streams;
  const InspectOutput out =
      run_inspect(std::vector<std::string_view>{"5109B8788C4A757"}, local_now_ticks, streams);
  EXPECT_NE(out.out.view().find("now       411496474, 2021-10-31 00:35:00.250 local time\n"),
            std::string::npos)
      << out.out.view();
  frozen.reset();
  if (saved) {
    setenv("TZ", saved->c_str(), 1);
  } else {
    unsetenv("TZ");
  }
  tzset();
}

// The ticks the host's fields give for a reading, converted afresh.
DateTicks fields_ticks(std::int64_t seconds, std::int32_t ms) {
  return ticks_from_local(local_fields(seconds), ms);
}

// Freezes the clock at each millisecond in turn, all within `seconds`, and
// holds the stamp and the ticks of now to the fields of that reading. The
// first reading of a second converts it; the later ones may not.
void expect_fields_at(std::int64_t seconds, const char* where) {
  for (const std::int32_t ms : {999, 0, 500, 1, 998, 999}) {
    frozen = timespec{static_cast<time_t>(seconds), ms * 1'000'000L + 999'999};
    const DateTicks expected = fields_ticks(seconds, ms);
    EXPECT_EQ(local_now_ticks(), expected) << where << ' ' << seconds << '.' << ms;
    EXPECT_EQ(year_stamp(), year_stamp_of(expected)) << where << ' ' << seconds << '.' << ms;
  }
  frozen.reset();
}

// Seconds on both sides of daylight-saving changes, New Years in zones with
// whole, half- and no-hour offsets, the 2^32 ms return to 0 (which falls
// within one second: 4,294,967,000 at .000), and a reading the host cannot
// convert.
TEST(ClockReads, EachReadingIsItsFields) {
  const struct {
    const char* zone;
    std::int32_t hour_at_epoch;  // tells loaded zone data from silent UTC
    std::int64_t first;          // the seconds first .. first + 1
  } cases[] = {
      {"Europe/Berlin", 1, 1'616'893'199},         // 01:59:59 -> 03:00:00
      {"Europe/Berlin", 1, 1'635'641'999},         // 02:59:59 -> 02:00:00
      {"America/New_York", 19, 1'615'705'199},     // 01:59:59 -> 03:00:00
      {"America/New_York", 19, 1'636'264'799},     // 01:59:59 -> 01:00:00
      {"Australia/Lord_Howe", 10, 1'633'188'599},  // 01:59:59 -> 02:30:00
      {"Australia/Lord_Howe", 10, 1'640'955'599},  // New Year at +11:00
      {"Asia/Kolkata", 5, 1'640'975'399},          // New Year at +05:30
      {"UTC", 0, 1'640'995'199},                   // New Year
      {"UTC", 0, 1'613'754'166},                   // 2021-02-19 17:02:47.296 is 0 again
      {"UTC", 0, std::int64_t{1} << 60},           // no fields: the stamp is the ms
  };
  for (const auto& c : cases) {
    const InZone zone(c.zone);
    ASSERT_EQ(local_fields(0).hour, c.hour_at_epoch) << c.zone << ": zone data missing";
    expect_fields_at(c.first, c.zone);
    expect_fields_at(c.first + 1, c.zone);
    expect_fields_at(c.first, c.zone);  // and back
  }
}

// TZ set, changed and removed (each followed by tzset, as POSIX asks) while
// the clock stays within one second: each reading follows the zone of its
// moment, including zones whose names agree for longer than any prefix a
// shortcut might compare.
TEST(ClockReads, AChangedZoneWithinOneSecond) {
  std::string padding;
  for (int i = 0; i < 100; ++i) padding += "./";
  const std::string berlin = "/usr/share/zoneinfo/" + padding + "Europe/Berlin";
  const std::string kolkata = "/usr/share/zoneinfo/" + padding + "Asia/Kolkata";
  const std::int64_t second = 1'635'640'200;  // 2021-10-31 00:30:00 UTC
  const char* const zones[] = {
      nullptr, "Asia/Kolkata", "America/New_York", "Asia/Kolkata", nullptr,
      "",      berlin.c_str(), kolkata.c_str(),    berlin.c_str(), "Europe/Berlin",
  };
  std::vector<std::uint32_t> stamps;
  for (const char* z : zones) {
    const InZone zone(z);
    expect_fields_at(second, z != nullptr ? z : "TZ unset");
    frozen = timespec{static_cast<time_t>(second), 0};
    stamps.push_back(year_stamp());
    frozen.reset();
  }
  // The zones differ at that second where the test needs them to.
  EXPECT_NE(stamps[1], stamps[2]);
  EXPECT_NE(stamps[6], stamps[7]);
  EXPECT_EQ(stamps[6], stamps[9]);
}

}  // namespace
}  // namespace idstamp
