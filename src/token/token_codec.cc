// The C++ interface: std::string results over the token core.
#include "idstamp/token_codec.h"

#include <new>

#include "idstamp/date_ticks.h"
#include "token/core.h"

namespace idstamp {

namespace {

TokenReport report_of(const Check& check, const char* id) {
  TokenReport report;
  report.verdict = check.verdict;
  report.reason = check.reason;
  if (!check.parsed) return report;
  report.id.emplace(id, check.id_length);  // may throw std::bad_alloc
  report.stamp = check.stamp;
  report.now = check.now;
  report.age_ms = check.age_ms;
  return report;
}

// The id of a fresh token, or nothing; nothing too when memory runs out.
std::optional<std::string> id_if_fresh(const Check& check, const char* id) {
  if (check.verdict != Verdict::fresh) return std::nullopt;
  try {
    return std::string(id, check.id_length);
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
}

}  // namespace

std::optional<std::string> crypt_id(std::string_view id, std::uint32_t stamp) {
  // Issued on the stack and copied once, which costs less than sizing the
  // token first and issuing into the string (docs/performance.md).
  char token[max_token_length];
  const std::size_t n = issue_token(token, sizeof token, id, stamp);
  if (n == 0) return std::nullopt;
  try {
    return std::string(token, n);
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
}

std::optional<std::string> crypt_id(std::string_view id) {
  if (!is_valid_id(id)) return std::nullopt;  // without reading the clock
  return crypt_id(id, year_stamp());
}

// Each check reads the token into `id` on the stack; only the result is
// allocated.
std::optional<std::string> decrypt_id(std::string_view token, std::int32_t lifetime,
                                      std::uint32_t now) {
  char id[max_id_length + 1];
  Check check;
  check_token(token, lifetime, at_stamp(now), id, check);
  return id_if_fresh(check, id);
}

std::optional<std::string> decrypt_id(std::string_view token, std::int32_t lifetime) {
  if (lifetime <= 0) return std::nullopt;  // nothing is fresh: no need for the clock
  char id[max_id_length + 1];
  Check check;
  check_token(token, lifetime, by_clock(local_now_ticks), id, check);
  return id_if_fresh(check, id);
}

TokenReport inspect_token(std::string_view token, std::int32_t lifetime, std::uint32_t now) {
  char id[max_id_length + 1];
  Check check;
  check_token(token, lifetime, at_stamp(now), id, check);
  return report_of(check, id);
}

TokenReport inspect_token(std::string_view token, std::int32_t lifetime) {
  char id[max_id_length + 1];
  Check check;
  check_token(token, lifetime, by_clock(local_now_ticks), id, check);
  return report_of(check, id);
}

}  // namespace idstamp
