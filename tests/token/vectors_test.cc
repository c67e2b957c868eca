// The codec against docs/token-vectors.json, the vectors other
// implementations check themselves against. CMake turns the file into the
// tables below when it configures the tests.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "idstamp/idstamp.h"
#include "idstamp/token_codec.h"
#include "token/digit_maps.h"

namespace idstamp {
namespace {

struct IssueVector {
  std::string_view id_hex;
  std::int64_t stamp;
  std::string_view token_hex;
};

struct CheckVector {
  std::string_view token_hex;
  std::int64_t lifetime;
  std::int64_t now;
  std::string_view verdict;
  const char* id_hex;  // nullptr for a malformed token
  const char* reason;  // nullptr for any other
};

#include "token_vectors.inc"

std::string unhex(std::string_view hex) {
  std::string bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
    bytes += static_cast<char>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16));
  return bytes;
}

TEST(TokenVectors, DigitMap) { EXPECT_EQ(vectors_digit_map, digit_map); }

TEST(TokenVectors, Issue) {
  EXPECT_GE(std::size(issue_vectors), 20u);
  for (const IssueVector& v : issue_vectors)
    EXPECT_EQ(crypt_id(unhex(v.id_hex), static_cast<std::uint32_t>(v.stamp)), unhex(v.token_hex))
        << v.id_hex;
}

// Through C++ and C: the verdict, the id exactly when the token parses, and
// the reason exactly when it does not.
TEST(TokenVectors, Check) {
  EXPECT_GE(std::size(check_vectors), 20u);
  for (const CheckVector& v : check_vectors) {
    const std::string token = unhex(v.token_hex);
    const auto lifetime = static_cast<std::int32_t>(v.lifetime);
    const auto now = static_cast<std::uint32_t>(v.now);
    const TokenReport report = inspect_token(token, lifetime, now);
    EXPECT_EQ(verdict_name(report.verdict), v.verdict) << v.token_hex;
    const std::optional<std::string> id =
        v.id_hex != nullptr ? std::optional<std::string>(unhex(v.id_hex)) : std::nullopt;
    EXPECT_EQ(report.id, id) << v.token_hex;
    EXPECT_EQ(report.reason, std::string_view(v.reason != nullptr ? v.reason : "")) << v.token_hex;
    EXPECT_EQ(decrypt_id(token, lifetime, now),
              report.verdict == Verdict::fresh ? id : std::nullopt)
        << v.token_hex;
    if (token.find('\0') != std::string::npos) continue;  // no C text holds it
    idstamp_report c;
    EXPECT_EQ(static_cast<int>(idstamp_inspect_at(token.c_str(), lifetime, now, &c)),
              static_cast<int>(report.verdict))
        << v.token_hex;
    EXPECT_EQ(
        c.parsed != 0 ? std::optional<std::string>(std::string(c.id, c.id_length)) : std::nullopt,
        id)
        << v.token_hex;
    EXPECT_STREQ(c.reason, v.reason) << v.token_hex;
  }
}

}  // namespace
}  // namespace idstamp
