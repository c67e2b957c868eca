// The C interface, compiled as C++, against the C++ functions it wraps.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

#include "capi/idstamp.h"
#include "token/token_codec.h"

namespace idstamp {
namespace {

// Takes ownership of a C result.
std::optional<std::string> owned(char* text) {
  if (text == nullptr) return std::nullopt;
  std::string copy(text);
  idstamp_free(text);
  return copy;
}

TEST(CInterface, AgreesWithTheCxxFunctions) {
  const std::string ids[] = {"",
                             "A",
                             "id with spaces 0123456789",
                             "\xFF\x80",
                             std::string(999, '7'),
                             std::string(1000, 'x')};
  const std::uint32_t stamps[] = {0, 59'999, 411'196'474, 4'294'967'295u};
  const std::int64_t offsets[] = {-60'000, -59'999, 0, 1'799'999, 1'800'000};
  const std::int32_t lifetimes[] = {-1, 0, 1, 30, 2'147'483'647};
  for (const std::string& id : ids) {
    for (const std::uint32_t stamp : stamps) {
      const std::optional<std::string> token = owned(idstamp_crypt_id_at(id.c_str(), stamp));
      ASSERT_EQ(token, crypt_id(id, stamp)) << id << " at " << stamp;
      if (!token) continue;
      for (const std::int64_t offset : offsets) {
        const auto now = static_cast<std::uint32_t>(stamp + offset);
        for (const std::int32_t lifetime : lifetimes)
          EXPECT_EQ(owned(idstamp_decrypt_id_at(token->c_str(), lifetime, now)),
                    decrypt_id(*token, lifetime, now))
              << *token << ' ' << lifetime << ' ' << now;
      }
    }
  }
}

}  // namespace
}  // namespace idstamp
