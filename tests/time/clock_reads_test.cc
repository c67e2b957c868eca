// The clock is read only when a verdict needs it: not for a token that does
// not parse, not for a lifetime of 0 or less, not for an id that cannot be
// issued. Linked with --wrap=clock_gettime, so every read is counted, and the
// clock can be frozen without libfaketime.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "cli/inspect.h"
#include "idstamp/idstamp.h"
#include "idstamp/token_codec.h"

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

}  // namespace
}  // namespace idstamp
