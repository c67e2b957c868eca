// The C interface, compiled as C++, against the C++ functions it wraps.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

#include "idstamp/idstamp.h"
#include "idstamp/token_codec.h"
#include "token/reference.h"

namespace idstamp {
namespace {

// Takes ownership of a C result.
std::optional<std::string> owned(char* text) {
  if (text == nullptr) return std::nullopt;
  std::string copy(text);
  idstamp_free(text);
  return copy;
}

// Every field of the C report against the C++ one.
void expect_same(const idstamp_report& c, const TokenReport& cxx, const std::string& what) {
  EXPECT_EQ(static_cast<int>(c.verdict), static_cast<int>(cxx.verdict)) << what;
  EXPECT_EQ(c.reason != nullptr ? std::string_view(c.reason) : std::string_view(), cxx.reason)
      << what;
  EXPECT_EQ(c.parsed != 0, cxx.id.has_value()) << what;
  if (c.parsed == 0) return;
  EXPECT_EQ(std::string(c.id, c.id_length), *cxx.id) << what;
  EXPECT_EQ(c.id[c.id_length], '\0') << what;
  EXPECT_EQ(c.stamp, cxx.stamp) << what;
  EXPECT_EQ(c.now, cxx.now) << what;
  EXPECT_EQ(c.age_ms, cxx.age_ms) << what;
}

TEST(CInterface, AgreesWithTheCxxFunctions) {
  const std::string ids[] = {"",
                             "A",
                             "id with spaces 0123456789",
                             "\xFF\x80",
                             std::string(999, '7'),
                             std::string(1000, 'x')};
  const std::uint32_t stamps[] = {0, 411'196'474, 4'294'967'295u};
  for (const std::string& id : ids) {
    for (const std::uint32_t stamp : stamps) {
      const std::optional<std::string> token = owned(idstamp_crypt_id_at(id.c_str(), stamp));
      ASSERT_EQ(token, crypt_id(id, stamp)) << id << " at " << stamp;
      for (const std::string& t : {token.value_or(id), reference::scrambled("003ABC-1"),
                                   reference::scrambled("003ABC99999999999999999999")}) {
        const std::uint32_t now = stamp + 1'000;
        EXPECT_EQ(owned(idstamp_decrypt_id_at(t.c_str(), 30, now)), decrypt_id(t, 30, now)) << t;
        idstamp_report c;
        EXPECT_EQ(idstamp_inspect_at(t.c_str(), 30, now, &c), c.verdict);
        expect_same(c, inspect_token(t, 30, now), t);
        EXPECT_EQ(idstamp_inspect_at(t.c_str(), 30, now, nullptr), c.verdict) << t;
      }
    }
  }
}

TEST(CInterface, NullArguments) {
  EXPECT_EQ(idstamp_crypt_id(nullptr), nullptr);
  EXPECT_EQ(idstamp_crypt_id_at(nullptr, 0), nullptr);
  EXPECT_EQ(idstamp_decrypt_id(nullptr, 30), nullptr);
  EXPECT_EQ(idstamp_decrypt_id_at(nullptr, 30, 0), nullptr);
  idstamp_report c;
  for (const idstamp_verdict v :
       {idstamp_inspect(nullptr, 30, &c), idstamp_inspect_at(nullptr, 30, 0, &c)}) {
    EXPECT_EQ(v, IDSTAMP_MALFORMED);
    expect_same(c, inspect_token("", 30, 0), "NULL");
  }
  EXPECT_EQ(idstamp_inspect(nullptr, 30, nullptr), IDSTAMP_MALFORMED);
  idstamp_free(nullptr);
}

}  // namespace
}  // namespace idstamp
