#include "token/decimal.h"

#include <gtest/gtest.h>

#include <limits>
#include <random>
#include <string>

#include "token/strtoll_oracle.h"

namespace idstamp {
namespace {

using namespace std::string_view_literals;

constexpr std::int64_t i32_min = std::numeric_limits<std::int32_t>::min();
constexpr std::int64_t i32_max = std::numeric_limits<std::int32_t>::max();
constexpr std::int64_t i64_min = std::numeric_limits<std::int64_t>::min();
constexpr std::int64_t i64_max = std::numeric_limits<std::int64_t>::max();

struct Case {
  std::string_view text;
  std::optional<std::int64_t> value;
};

void expect_reads(DecimalWidth width, std::initializer_list<Case> cases) {
  for (const Case& c : cases)
    EXPECT_EQ(read_decimal(c.text, width), c.value) << '"' << c.text << '"';
}

TEST(ReadDecimal, Accepted) {
  for (const DecimalWidth w : {DecimalWidth::int32, DecimalWidth::int64}) {
    expect_reads(w, {
                        {"0", 0},
                        {"45", 45},
                        {" 45", 45},
                        {"+45", 45},
                        {"010", 10},
                        {"-5", -5},
                        {"-0", 0},
                        {"+0", 0},
                        {"\t\n\v\f\r 7", 7},
                        {"00000000000000000000000000000000000000001", 1},
                    });
  }
}

TEST(ReadDecimal, SaturatesAtTheLimitsOfInt32) {
  expect_reads(DecimalWidth::int32, {
                                        {"2147483647", i32_max},
                                        {"2147483648", i32_max},
                                        {"99999999999", i32_max},
                                        {"9223372036854775808", i32_max},
                                        {"9999999999999999999", i32_max},
                                        {"-2147483648", i32_min},
                                        {"-2147483649", i32_min},
                                        {"-99999999999999999999999999", i32_min},
                                    });
}

TEST(ReadDecimal, SaturatesAtTheLimitsOfInt64) {
  expect_reads(DecimalWidth::int64, {
                                        {"9223372036854775807", i64_max},
                                        {"9223372036854775808", i64_max},
                                        {"9999999999999999999", i64_max},
                                        {"18446744073709551616", i64_max},
                                        {"-9223372036854775808", i64_min},
                                        {"-9223372036854775809", i64_min},
                                        {"99999999999", 99'999'999'999},
                                    });
}

TEST(ReadDecimal, NoDigits) {
  expect_reads(DecimalWidth::int32, {{"", {}}, {" ", {}}, {"+", {}}, {"-", {}}, {" \t-", {}}});
}

TEST(ReadDecimal, BadSign) {
  expect_reads(DecimalWidth::int32,
               {{"+-5", {}}, {"--5", {}}, {"++5", {}}, {"- 5", {}}, {"5-", {}}});
}

TEST(ReadDecimal, NotDecimal) {
  expect_reads(DecimalWidth::int32,
               {{"0x10", {}}, {"abc", {}}, {"\xb5", {}}, {"1e3", {}}, {"\xd9\xa3", {}}});
}

TEST(ReadDecimal, TrailingData) {
  expect_reads(DecimalWidth::int64, {{"45 ", {}},
                                     {"5x", {}},
                                     {"4 5", {}},
                                     {"7\n", {}},
                                     {"9\0"sv, {}},
                                     {"99999999999999999999x", {}}});
}

std::optional<std::int64_t> oracle(std::string_view text, DecimalWidth width) {
  return oracles::strtoll_oracle(text, width);
}

// Long runs are read eight bytes at a time: every length and alignment, with
// a wrong byte at every position, including bytes that differ from a digit
// only in their high nibble.
TEST(ReadDecimal, LongTextsAgreeWithStrtoll) {
  for (std::size_t zeros = 0; zeros <= 40; ++zeros) {
    for (const std::string_view tail : {"", "7", "12345678901234567890", "999999999999999999"}) {
      std::string text(zeros, '0');
      text += tail;
      for (const DecimalWidth w : {DecimalWidth::int32, DecimalWidth::int64}) {
        ASSERT_EQ(read_decimal(text, w), oracle(text, w)) << text;
        for (std::size_t at = 0; at < text.size(); ++at) {
          for (const char bad : {'/', ':', '?', 'p', '\xb5', '\0', ' '}) {
            std::string broken = text;
            broken[at] = bad;
            ASSERT_EQ(read_decimal(broken, w), oracle(broken, w)) << '"' << broken << '"';
          }
        }
      }
    }
  }
}

TEST(ReadDecimal, AgreesWithStrtoll) {
  static constexpr char alphabet[] = " \t+-0123456789x9";
  std::mt19937 random(20261208);
  std::uniform_int_distribution<std::size_t> length(0, 24);
  std::uniform_int_distribution<std::size_t> pick(0, sizeof alphabet - 2);
  for (int n = 0; n < 200'000; ++n) {
    std::string text(length(random), ' ');
    for (char& c : text) c = alphabet[pick(random)];
    for (const DecimalWidth w : {DecimalWidth::int32, DecimalWidth::int64})
      ASSERT_EQ(read_decimal(text, w), oracle(text, w)) << '"' << text << '"';
  }
}

}  // namespace
}  // namespace idstamp
