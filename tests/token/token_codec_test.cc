#include "idstamp/token_codec.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "idstamp/date_ticks.h"
#include "token/core.h"
#include "token/reference.h"
#include "token/scramble.h"

namespace idstamp {
namespace {

using namespace std::string_literals;
using reference::scrambled;

constexpr std::uint32_t u32_max = std::numeric_limits<std::uint32_t>::max();
constexpr std::int32_t i32_max = std::numeric_limits<std::int32_t>::max();
constexpr std::int64_t i64_max = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t i64_min = std::numeric_limits<std::int64_t>::min();

// The reference steps against the examples of the format.
TEST(Reference, PositionSteps) {
  const struct {
    std::string text, reversed, exchanged;
  } cases[] = {
      {"0123456789", "9876543210", "0826453719"},
      {"002AB1234567", "7654321BA200", "0624B213A507"},
      {"abcdefghijk", "kjihgfedcba", "ajchefgdibk"},
      {"abcd", "dcba", "acbd"},
  };
  for (const auto& c : cases) {
    std::string t = c.text;
    reference::reverse_step(t);
    EXPECT_EQ(t, c.reversed);
    reference::even_step(t);
    EXPECT_EQ(t, c.exchanged);
  }
}

// The one-pass transform and the in-place reading against the steps, for
// every length and every range of positions.
TEST(Scramble, AgreesWithTheSteps) {
  const std::string source = "0123456789ab\xff 9876543210cd\x01";
  for (std::size_t n = 0; n <= source.size(); ++n) {
    const std::string plain = source.substr(0, n);
    std::string token = plain;
    scramble_for_issue(token.data(), n);
    ASSERT_EQ(token, scrambled(plain)) << n;
    for (std::size_t from = 0; from <= n; ++from) {
      for (std::size_t to = from; to <= n; ++to) {
        std::string out(to - from, '?');
        unscramble_range(token.data(), n, from, to, out.data());
        ASSERT_EQ(out, plain.substr(from, to - from)) << n << ' ' << from << ' ' << to;
      }
    }
  }
}

TEST(IssueToken, LayoutAndCapacity) {
  const struct {
    std::string id;
    std::uint32_t stamp;
    std::string plain;
  } cases[] = {
      {"ABC", 0, "003ABC0"},
      {"ABC", u32_max, "003ABC4294967295"},
      {"1234567", 10, "007123456710"},
      {std::string(42, 'x'), 7, "042" + std::string(42, 'x') + "7"},
      {std::string(999, 'z'), 411'196'474, "999" + std::string(999, 'z') + "411196474"},
  };
  for (const auto& c : cases) {
    const std::size_t n = c.plain.size();
    EXPECT_EQ(token_length(c.id, c.stamp), n);
    std::string buffer(n + 1, '#');
    EXPECT_EQ(issue_token(buffer.data(), n - 1, c.id, c.stamp), 0u);  // too small: untouched
    EXPECT_EQ(buffer, std::string(n + 1, '#'));
    ASSERT_EQ(issue_token(buffer.data(), n, c.id, c.stamp), n);
    EXPECT_EQ(buffer, scrambled(c.plain) + "#");  // nothing past the token
    EXPECT_EQ(crypt_id(c.id, c.stamp), scrambled(c.plain));
  }
  EXPECT_EQ(crypt_id("ABC", 411'196'474), "5109B8788C4A757");
}

TEST(CryptId, RefusesInvalidIds) {
  for (const std::string& id :
       {""s, std::string(1'000, 'a'), std::string(128 * 1024, '7'), "a\0b"s, "\0"s}) {
    EXPECT_EQ(token_length(id, 1'234), 0u) << id.size();
    EXPECT_EQ(crypt_id(id, 1'234), std::nullopt) << id.size();
    EXPECT_EQ(crypt_id(id), std::nullopt) << id.size();
  }
}

TEST(RoundTrip, GivesBackTheIdByteForByte) {
  std::string every_byte;
  for (int b = 1; b < 256; ++b) every_byte += static_cast<char>(b);
  for (const std::string& id : {"A"s, "0123456789"s, "  spaced id  "s, every_byte, "003ABC5"s,
                                std::string(999, '9'), std::string(998, 'q')}) {
    for (const std::uint32_t stamp : {0u, 59'999u, 4'000'000'000u, u32_max}) {
      const std::optional<std::string> token = crypt_id(id, stamp);
      ASSERT_TRUE(token) << id;
      EXPECT_EQ(reference::contents(*token), std::make_pair(id, std::int64_t{stamp}));
      EXPECT_EQ(decrypt_id(*token, 30, stamp), id);
    }
  }
}

TEST(RoundTrip, ThroughTheClock) {
  const std::optional<std::string> token = crypt_id("clocked id");
  ASSERT_TRUE(token);
  EXPECT_EQ(decrypt_id(*token, 30), "clocked id");
  EXPECT_EQ(inspect_token(*token, 30).id, "clocked id");
  EXPECT_EQ(decrypt_id(*token, 0), std::nullopt);
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
    std::string_view reason;
    std::string token;
  } cases[] = {
      {"too short", ""},
      {"too short", "0"},
      {"too short", "00"},
      {"bad length field", scrambled("000ABC0")},
      {"bad length field", scrambled("-01ABC0")},
      {"bad length field", scrambled("abcABC0")},
      {"bad length field", scrambled("0x3ABC0")},
      {"bad length field", scrambled("3  ABC0")},
      {"bad length field", scrambled("+-3ABC0")},
      {"no stamp", scrambled("003ABC")},
      {"no stamp", scrambled("005ABC0")},
      {"no stamp", scrambled("999ABC0")},
      {"zero byte in the id", scrambled("003A\0C0"s)},
      {"bad stamp", scrambled("003ABC+")},
      {"bad stamp", scrambled("003ABC 0x10")},
      {"bad stamp", scrambled("003ABC+-5")},
      {"bad stamp", scrambled("003ABC-1")},
      {"bad stamp", scrambled("003ABC-0001")},
      {"bad stamp", scrambled("003ABC0\0"s)},
      {"bad stamp", scrambled("003ABC12 ")},
      {"bad stamp", scrambled("003ABC1\n")},
      {"bad stamp", scrambled("003ABC" + std::string(300, '0') + "x")},
      // Past 18 bytes, with a non-digit after the last whole word of zeros,
      // and after the last whole word beyond 19 significant digits.
      {"bad stamp", scrambled("003ABC" + std::string(16, '0') + "12x")},
      {"bad stamp", scrambled("003ABC1" + std::string(26, '0') + "12x")},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(reference::contents(c.token), std::nullopt) << c.token;
    EXPECT_EQ(decrypt_id(c.token, i32_max, 0), std::nullopt) << c.token;
    const TokenReport report = inspect_token(c.token, i32_max, 0);
    EXPECT_EQ(report.verdict, Verdict::malformed) << c.token;
    EXPECT_EQ(report.reason, c.reason) << c.token;
    EXPECT_FALSE(report.id || report.stamp || report.now || report.age_ms) << c.token;
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
      {"003ABC 5", "ABC", 5},
      {"003ABC0005", "ABC", 5},
      {"003ABC-5", "ABC", -5},
      {"0010123", "0", 123},
      {"001A99999999999999999999", "A", i64_max},
      {"003ABC9223372036854775808", "ABC", i64_max},  // 19 digits past 2^63 - 1
      {"003ABC9999999999999999999", "ABC", i64_max},
      {"003ABC" + std::string(1000, ' ') + "-" + std::string(1000, '0') + "42", "ABC", -42},
  };
  for (const auto& c : cases)
    EXPECT_EQ(reference::contents(scrambled(c.plain)), std::make_pair(c.id, c.stamp)) << c.plain;
}

// Stamps no issuer writes: the age wraps modulo 2^64, and the whole 64-bit
// minute count is judged.
TEST(InspectToken, ForgedStamps) {
  const struct {
    std::int64_t stamp;
    std::uint32_t now;
    Verdict verdict;
    std::int64_t age_ms;
  } cases[] = {
      {-5, 0, Verdict::fresh, 5},
      {-59'999, 0, Verdict::fresh, 59'999},
      {i64_max, u32_max, Verdict::ahead, std::int64_t{u32_max} - i64_max},
      {i64_min, 0, Verdict::ahead, i64_min},
      {-(std::int64_t{60'000} << 32), 0, Verdict::expired, std::int64_t{60'000} << 32},
      {std::int64_t{u32_max} - (std::int64_t{60'000} << 32), u32_max, Verdict::expired,
       std::int64_t{60'000} << 32},
  };
  for (const auto& c : cases) {
    const std::string token = scrambled("003ABC" + std::to_string(c.stamp));
    const TokenReport r = inspect_token(token, i32_max, c.now);
    EXPECT_EQ(r.verdict, c.verdict) << c.stamp;
    EXPECT_EQ(r.age_ms, c.age_ms) << c.stamp;
    EXPECT_EQ(r.stamp, c.stamp);
    EXPECT_EQ(r.id, "ABC");
  }
}

// Around the longest token an issuer writes (1012 bytes), where reading
// whole gives way to reading in pieces, and around the pieces' edges: a
// stamp padded with spaces, a sign and zeros reads the same, and one stray
// byte anywhere in the padding fails it.
TEST(ReadToken, PaddedStampsAcrossThePieces) {
  for (const std::size_t n : {1011u, 1012u, 1013u, 2023u, 2024u, 2025u, 3037u}) {
    for (std::size_t spaces = 0; spaces < n - 9; spaces += 250) {
      std::string plain = "003ABC" + std::string(spaces, ' ') + "-";
      plain += std::string(n - plain.size() - 2, '0') + "42";
      EXPECT_EQ(reference::contents(scrambled(plain)), std::make_pair("ABC"s, std::int64_t{-42}))
          << n << ' ' << spaces;
      for (const std::size_t at : {spaces + 6, n - 3}) {
        std::string stray = plain;
        stray[at] = 'x';
        EXPECT_EQ(reference::contents(scrambled(stray)), std::nullopt) << n << ' ' << at;
      }
    }
  }
}

TEST(ReadToken, LargeInputs) {
  constexpr std::size_t big = 128 * 1024;
  EXPECT_EQ(reference::contents(std::string(big, 'x')), std::nullopt);
  EXPECT_EQ(reference::contents(std::string(big, '5')), std::nullopt);
  // A huge stamp field still reads, saturated or not.
  EXPECT_EQ(reference::contents(scrambled("003ABC" + std::string(big, '0') + "7")),
            std::make_pair("ABC"s, std::int64_t{7}));
  EXPECT_EQ(reference::contents(scrambled("003ABC" + std::string(big, '9'))),
            std::make_pair("ABC"s, i64_max));
}

}  // namespace
}  // namespace idstamp
