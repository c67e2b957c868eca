#include "token/token_codec.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "time/date_ticks.h"
#include "token/scramble.h"
#include "token/token_layout.h"

namespace idstamp {
namespace {

using namespace std::string_literals;

constexpr std::uint32_t u32_max = std::numeric_limits<std::uint32_t>::max();
constexpr std::int32_t i32_max = std::numeric_limits<std::int32_t>::max();
constexpr std::int64_t minute = 60'000;

std::string issued(std::string text) {
  scramble_for_issue(text);
  return text;
}

TEST(Scramble, PositionSteps) {
  const struct {
    std::string text, reversed, exchanged;
  } cases[] = {
      {"0123456789", "9876543210", "0826453719"},
      {"002AB1234567", "7654321BA200", "0624B213A507"},
      {"abcdefghijk", "kjihgfedcba", "ajchefgdibk"},
      {"", "", ""},
      {"a", "a", "a"},
      {"ab", "ba", "ab"},
      {"abcd", "dcba", "acbd"},
  };
  for (const auto& c : cases) {
    std::string t = c.text;
    reverse_step(t);
    EXPECT_EQ(t, c.reversed);
    even_step(t);
    EXPECT_EQ(t, c.exchanged);
  }
}

TEST(Scramble, IssueIsRThenEThenSAndCheckUndoesIt) {
  const std::string source = "0123456789ab\xff 9876543210cd\x01";
  for (std::size_t n = 0; n <= source.size(); ++n) {
    const std::string text = source.substr(0, n);
    std::string stepwise = text;
    reverse_step(stepwise);
    even_step(stepwise);
    substitute_step(stepwise, encode_map());
    std::string token = text;
    scramble_for_issue(token);
    EXPECT_EQ(token, stepwise) << n;
    if (n % 2 == 1) {  // the middle byte stays in place
      std::string middle(1, text[n / 2]);
      substitute_step(middle, encode_map());
      EXPECT_EQ(token[n / 2], middle[0]) << n;
    }
    scramble_for_check(token);
    EXPECT_EQ(token, text) << n;
  }
}

TEST(PlainToken, Layout) {
  const struct {
    std::string id;
    std::uint32_t stamp;
    std::string plain;
  } cases[] = {
      {"ABC", 0, "003ABC0"},
      {"ABC", 411'196'474, "003ABC411196474"},
      {"ABC", u32_max, "003ABC4294967295"},
      {"1234567", 10, "007123456710"},
      {std::string(42, 'x'), 7, "042" + std::string(42, 'x') + "7"},
      {std::string(123, 'y'), 7, "123" + std::string(123, 'y') + "7"},
      {std::string(999, 'z'), 7, "999" + std::string(999, 'z') + "7"},
  };
  for (const auto& c : cases) EXPECT_EQ(plain_token(c.id, c.stamp), c.plain);
}

TEST(CryptId, ExactToken) {
  EXPECT_EQ(crypt_id("ABC", 411'196'474), "5109B8788C4A757");
  EXPECT_EQ(crypt_id("ABC", 418'396'474), "5109B0786C4A757");
}

TEST(CryptId, RefusesInvalidIds) {
  for (const std::string& id : {""s, std::string(1'000, 'a'), std::string(1'024, '7'),
                                std::string(128 * 1024, 'a'), "a\0b"s, "\0"s}) {
    EXPECT_EQ(crypt_id(id, 1'234), std::nullopt) << id.size();
    EXPECT_EQ(crypt_id(id), std::nullopt) << id.size();
  }
}

TEST(RoundTrip, GivesBackTheIdByteForByte) {
  std::string every_byte;
  for (int b = 1; b < 256; ++b) every_byte += static_cast<char>(b);
  for (const std::string& id :
       {"A"s, "ABC"s, "0"s, "0123456789"s, "  spaced id  "s, "\x80\xfe\xff"s, every_byte, "-c"s,
        "003ABC5"s, std::string(999, '9'), std::string(998, 'q')}) {
    for (const std::uint32_t stamp : {0u, 1u, 59'999u, 4'000'000'000u, u32_max}) {
      const std::optional<std::string> token = crypt_id(id, stamp);
      ASSERT_TRUE(token) << id;
      EXPECT_EQ(token->size(), id.size() + 3 + std::to_string(stamp).size());
      const std::optional<TokenContents> contents = read_token(*token);
      ASSERT_TRUE(contents) << id;
      EXPECT_EQ(contents->id, id);
      EXPECT_EQ(contents->stamp, stamp);
      EXPECT_EQ(decrypt_id(*token, 30, stamp), id);
    }
  }
}

TEST(RoundTrip, ThroughTheClock) {
  const std::optional<std::string> token = crypt_id("clocked id");
  ASSERT_TRUE(token);
  EXPECT_EQ(decrypt_id(*token, 30), "clocked id");
  EXPECT_EQ(decrypt_id(*token, 0), std::nullopt);
  EXPECT_EQ(decrypt_id("5109", 30), std::nullopt);
}

TEST(Judge, AcceptanceWindow) {
  const struct {
    std::int64_t stamp;
    std::int32_t lifetime;
    std::uint32_t now;
    bool fresh;
  } cases[] = {
      // Age up to one millisecond short of the lifetime.
      {1'000, 30, 1'000, true},
      {1'000, 30, 1'000 + 30 * minute - 1, true},
      {1'000, 30, 1'000 + 30 * minute, false},
      {0, 1, 59'999, true},
      {0, 1, 60'000, false},
      {0, i32_max, u32_max, true},
      // Up to 59.999 s ahead of the clock counts as minute 0.
      {60'000, 30, 1, true},
      {59'999, 30, 0, true},
      {60'000, 30, 0, false},
      {u32_max, 30, u32_max - 59'999, true},
      {u32_max, 30, u32_max - 60'000, false},
      // Issued before a stamp reset, checked after it.
      {u32_max - 1'000, 30, 500, false},
      // The whole 64-bit minute count is tested, not its low 32 bits.
      {-(minute << 32), 30, 0, false},
      {-(minute << 32) + 1, 30, 0, false},
      {std::int64_t{u32_max} - (minute << 32), 30, u32_max, false},
      // Stamps no issued token carries.
      {std::numeric_limits<std::int64_t>::min(), i32_max, 0, false},
      {std::numeric_limits<std::int64_t>::max(), i32_max, u32_max, false},
      {-1, 30, 0, true},
      {-59'999, 1, 0, true},
      // A lifetime that is not positive accepts nothing.
      {1'000, 0, 1'000, false},
      {1'000, -5, 1'000, false},
      {1'000, std::numeric_limits<std::int32_t>::min(), 1'000, false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(judge(signed_age(c.stamp, c.now), c.lifetime) == Verdict::fresh, c.fresh)
        << c.stamp << ' ' << c.lifetime << ' ' << c.now;
}

TEST(DecryptId, ExactMillisecondEdges) {
  const std::uint32_t issued_at = 411'196'474;
  const std::string token = *crypt_id("ABC", issued_at);
  const struct {
    std::int32_t lifetime;
    std::int64_t offset;
    bool accepted;
  } cases[] = {
      {30, 0, true},
      {30, 30 * minute - 1, true},
      {30, 30 * minute, false},
      {10, 10 * minute - 1, true},
      {10, 10 * minute, false},
      {30, -59'999, true},
      {30, -60'000, false},
  };
  for (const auto& c : cases) {
    const auto now = static_cast<std::uint32_t>(issued_at + c.offset);
    EXPECT_EQ(decrypt_id(token, c.lifetime, now),
              c.accepted ? std::optional<std::string>("ABC") : std::nullopt)
        << c.lifetime << ' ' << c.offset;
  }
}

TEST(DecryptId, StampResets) {
  // Issued at 23:59 on 31 December, checked at 00:01 on 1 January.
  const std::uint32_t before = year_stamp_of(ticks_from_parts(2021, 12, 31, 23, 59, 0, 0));
  const std::uint32_t after = year_stamp_of(ticks_from_parts(2022, 1, 1, 0, 1, 0, 0));
  EXPECT_EQ(decrypt_id(*crypt_id("X", before), 30, after), std::nullopt);
  // Issued just before the first 2^32 ms reset of the year, checked after it.
  const std::uint32_t early = year_stamp_of(ticks_from_parts(2021, 2, 19, 17, 2, 0, 0));
  const std::uint32_t late = year_stamp_of(ticks_from_parts(2021, 2, 19, 17, 3, 0, 0));
  EXPECT_EQ(decrypt_id(*crypt_id("X", early), 30, late), std::nullopt);
  // The same offset from 1 January a year later accepts the token again.
  const std::uint32_t next_year = year_stamp_of(ticks_from_parts(2022, 12, 31, 23, 59, 0, 0));
  EXPECT_EQ(decrypt_id(*crypt_id("X", before), 30, next_year), "X");
}

// Hostile tokens, grouped by what is wrong with them. Each is the token of a
// plain text that a stamp of 0 would otherwise make fresh.
TEST(ReadToken, Malformed) {
  const struct {
    const char* what;
    std::string_view reason;
    std::string token;
  } cases[] = {
      {"too short", "too short", ""},
      {"too short", "too short", "0"},
      {"too short", "too short", "00"},
      {"length not positive", "bad length field", issued("000ABC0")},
      {"length not positive", "bad length field", issued("-01ABC0")},
      {"length not positive", "bad length field", issued("-00ABC0")},
      {"length not decimal", "bad length field", issued("abcABC0")},
      {"length not decimal", "bad length field", issued("0x3ABC0")},
      {"length not decimal", "bad length field", issued("3  ABC0")},
      {"length not decimal", "bad length field", issued("+-3ABC0")},
      {"length leaves no stamp", "no stamp", issued("003ABC")},
      {"length leaves no stamp", "no stamp", issued("005ABC0")},
      {"length leaves no stamp", "no stamp", issued("999ABC0")},
      {"stamp not decimal", "bad stamp", issued("003ABC+")},
      {"stamp not decimal", "bad stamp", issued("003ABC-")},
      {"stamp not decimal", "bad stamp", issued("003ABC 0x10")},
      {"stamp not decimal", "bad stamp", issued("003ABC+-5")},
      {"stamp is -1", "bad stamp", issued("003ABC-1")},
      {"stamp is -1", "bad stamp", issued("003ABC-0001")},
      {"zero byte", "zero byte in the id", issued("003A\0C0"s)},
      {"zero byte", "bad stamp", issued("003ABC0\0"s)},
      {"trailing data", "bad stamp", issued("003ABC12x")},
      {"trailing data", "bad stamp", issued("003ABC12 ")},
      {"trailing data", "bad stamp", issued("003ABC1\n")},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(read_token(c.token), std::nullopt) << c.what << ": " << c.token;
    EXPECT_EQ(decrypt_id(c.token, i32_max, 0), std::nullopt) << c.what;
    const TokenReport report = inspect_token(c.token, i32_max, 0);
    EXPECT_EQ(report.verdict, Verdict::malformed) << c.what;
    EXPECT_EQ(report.reason, c.reason) << c.what << ": " << c.token;
    EXPECT_FALSE(report.id || report.stamp || report.now || report.age_ms) << c.what;
  }
}

// Forms no issued token has, which the decimal reading still takes.
TEST(ReadToken, LenientNumbers) {
  const struct {
    std::string plain, id;
    std::int64_t stamp;
  } cases[] = {
      {" 03ABC5", "ABC", 5},
      {"+03ABC5", "ABC", 5},
      {"\t03ABC5", "ABC", 5},
      {"003ABC+5", "ABC", 5},
      {"003ABC 5", "ABC", 5},
      {"003ABC0005", "ABC", 5},
      {"003ABC-5", "ABC", -5},
      {"0010123", "0", 123},
      {"001A99999999999999999999", "A", std::numeric_limits<std::int64_t>::max()},
  };
  for (const auto& c : cases) {
    const std::optional<TokenContents> contents = read_token(issued(c.plain));
    ASSERT_TRUE(contents) << c.plain;
    EXPECT_EQ(contents->id, c.id);
    EXPECT_EQ(contents->stamp, c.stamp);
  }
}

// The verdict and the age at the edges of the window, and against resets.
TEST(InspectToken, Verdicts) {
  const std::uint32_t at = 411'196'474;
  const struct {
    std::int64_t stamp;  // written into the token as it stands
    std::int32_t lifetime;
    std::uint32_t now;
    Verdict verdict;
    std::int64_t age_ms;
  } cases[] = {
      {at, 30, at, Verdict::fresh, 0},
      {at, 30, at + 30 * minute - 1, Verdict::fresh, 30 * minute - 1},
      {at, 30, at + 30 * minute, Verdict::expired, 30 * minute},
      {at, 30, at - 59'999, Verdict::fresh, -59'999},
      {at, 30, at - 60'000, Verdict::ahead, -60'000},
      {at, 1, at + minute, Verdict::expired, minute},
      {u32_max, 30, 0, Verdict::ahead, -std::int64_t{u32_max}},
      {0, i32_max, u32_max, Verdict::fresh, u32_max},
      // A lifetime that is not positive leaves no token fresh.
      {at, 0, at, Verdict::expired, 0},
      {at, -5, at - 60'000, Verdict::ahead, -60'000},
      // Stamps no issuer writes: the age wraps modulo 2^64.
      {-5, 30, 0, Verdict::fresh, 5},
      {std::numeric_limits<std::int64_t>::max(), 30, u32_max, Verdict::ahead,
       std::int64_t{u32_max} - std::numeric_limits<std::int64_t>::max()},
      {std::numeric_limits<std::int64_t>::min(), 30, 0, Verdict::ahead,
       std::numeric_limits<std::int64_t>::min()},
  };
  for (const auto& c : cases) {
    const std::string token = issued("003ABC" + std::to_string(c.stamp));
    const TokenReport r = inspect_token(token, c.lifetime, c.now);
    EXPECT_EQ(r.verdict, c.verdict) << c.stamp << ' ' << c.lifetime << ' ' << c.now;
    EXPECT_EQ(r.age_ms, c.age_ms) << c.stamp << ' ' << c.now;
    EXPECT_EQ(r.id, "ABC");
    EXPECT_EQ(r.stamp, c.stamp);
    EXPECT_EQ(r.now, c.now);
    EXPECT_TRUE(r.reason.empty());
    EXPECT_EQ(decrypt_id(token, c.lifetime, c.now),
              c.verdict == Verdict::fresh ? std::optional<std::string>("ABC") : std::nullopt);
  }
}

TEST(ReadToken, LargeInputs) {
  constexpr std::size_t big = 128 * 1024;
  EXPECT_EQ(read_token(std::string(big, 'x')), std::nullopt);
  EXPECT_EQ(read_token(std::string(big, '5')), std::nullopt);
  // A huge stamp field still reads, saturated, in one pass.
  const std::optional<TokenContents> padded =
      read_token(issued("003ABC" + std::string(big, '0') + "7"));
  ASSERT_TRUE(padded);
  EXPECT_EQ(padded->stamp, 7);
}

}  // namespace
}  // namespace idstamp
