// The acceptance window of tests/token/window.tsv through the C++ interface,
// each row for a token issued at stamp 411196474.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "idstamp/token_codec.h"

namespace idstamp {
namespace {

struct WindowRow {
  std::int64_t age_ms;
  std::int32_t lifetime;
  std::string verdict;
};

std::vector<WindowRow> window_rows() {
  std::ifstream in(IDSTAMP_WINDOW_TABLE);
  std::vector<WindowRow> rows;
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    WindowRow row{};
    fields >> row.age_ms >> row.lifetime >> row.verdict;
    EXPECT_TRUE(fields) << line;
    rows.push_back(row);
  }
  EXPECT_GE(rows.size(), 10u) << "cannot read " << IDSTAMP_WINDOW_TABLE;
  return rows;
}

TEST(Window, CxxInterface) {
  constexpr std::int64_t stamp = 411'196'474;
  for (const WindowRow& row : window_rows()) {
    const std::string token = *crypt_id("id 42", stamp);
    const auto now = static_cast<std::uint32_t>(stamp + row.age_ms);
    const TokenReport r = inspect_token(token, row.lifetime, now);
    const std::string what = std::to_string(row.age_ms) + " ms, " + std::to_string(row.lifetime);
    EXPECT_EQ(verdict_name(r.verdict), row.verdict) << what;
    EXPECT_EQ(r.age_ms, row.age_ms) << what;
    EXPECT_EQ(r.stamp, stamp) << what;
    EXPECT_EQ(r.now, now) << what;
    EXPECT_EQ(decrypt_id(token, row.lifetime, now),
              row.verdict == "fresh" ? std::optional<std::string>("id 42") : std::nullopt)
        << what;
  }
}

}  // namespace
}  // namespace idstamp
