#include "token/token_codec.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <limits>
#include <new>
#include <utility>

#include "time/date_ticks.h"
#include "token/decimal.h"
#include "token/scramble.h"
#include "token/token_layout.h"

namespace idstamp {

namespace {

bool is_valid_id(std::string_view id) {
  return !id.empty() && id.size() <= max_id_length && id.find('\0') == std::string_view::npos;
}

// Reads the token, and only when it parses asks `stamp_now` for the stamp to
// judge it against.
template <class StampSource>
TokenReport inspect(std::string_view token, std::int32_t lifetime, StampSource stamp_now) {
  TokenReport report;
  std::optional<TokenContents> contents = read_token(token, &report.reason);
  if (!contents) return report;
  const std::uint32_t now = stamp_now();
  const std::int64_t age = signed_age(contents->stamp, now);
  report.verdict = judge(age, lifetime);
  report.id = std::move(contents->id);
  report.stamp = contents->stamp;
  report.now = now;
  report.age_ms = age;
  return report;
}

// The id of a fresh token; nothing for any other verdict, or when memory
// runs out on the way.
template <class Inspect>
std::optional<std::string> id_if_fresh(Inspect inspect_now) {
  try {
    TokenReport report = inspect_now();
    if (report.verdict != Verdict::fresh) return std::nullopt;
    return std::move(report.id);
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
}

}  // namespace

std::optional<std::string> plain_token(std::string_view id, std::uint32_t stamp) {
  if (!is_valid_id(id)) return std::nullopt;
  char digits[std::numeric_limits<std::uint32_t>::digits10 + 1];
  const auto digits_end = std::to_chars(digits, digits + sizeof digits, stamp).ptr;
  const auto stamp_size = static_cast<std::size_t>(digits_end - digits);
  try {
    std::string text(3 + id.size() + stamp_size, '0');
    char* out = text.data();
    out[0] = static_cast<char>('0' + id.size() / 100);
    out[1] = static_cast<char>('0' + id.size() / 10 % 10);
    out[2] = static_cast<char>('0' + id.size() % 10);
    id.copy(out + 3, id.size());
    std::copy(digits, digits_end, out + 3 + id.size());
    return text;
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
}

// token = length id stamp, after unscrambling; see the header.
std::optional<TokenContents> read_token(std::string_view token, std::string_view* why) {
  const auto malformed = [why](std::string_view reason) -> std::optional<TokenContents> {
    if (why != nullptr) *why = reason;
    return std::nullopt;
  };
  if (token.size() < 3) return malformed("too short");
  std::string plain(token);
  scramble_for_check(plain);
  const std::string_view text = plain;
  const std::optional<std::int64_t> length = read_decimal(text.substr(0, 3), DecimalWidth::int32);
  if (!length || *length <= 0) return malformed("bad length field");
  const auto id_size = static_cast<std::size_t>(*length);  // [1, 999]
  if (3 + id_size >= text.size()) return malformed("no stamp");
  // A zero byte in either number already fails its reading.
  if (text.substr(3, id_size).find('\0') != std::string_view::npos)
    return malformed("zero byte in the id");
  const std::optional<std::int64_t> stamp =
      read_decimal(text.substr(3 + id_size), DecimalWidth::int64);
  if (!stamp || *stamp == -1) return malformed("bad stamp");
  // The id moves to the front of the buffer it was decoded in.
  std::memmove(plain.data(), plain.data() + 3, id_size);
  plain.resize(id_size);
  return TokenContents{std::move(plain), *stamp};
}

std::int64_t signed_age(std::int64_t stamp, std::uint32_t now) {
  const std::uint64_t diff = std::uint64_t{now} - static_cast<std::uint64_t>(stamp);
  constexpr auto max = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
  // Above max, diff stands for diff - 2^64 = -(~diff) - 1, with ~diff <= max.
  return diff <= max ? static_cast<std::int64_t>(diff) : -static_cast<std::int64_t>(~diff) - 1;
}

Verdict judge(std::int64_t age_ms, std::int32_t lifetime) {
  const std::int64_t minutes = age_ms / 60'000;  // toward zero
  if (minutes < 0) return Verdict::ahead;
  return minutes < lifetime ? Verdict::fresh : Verdict::expired;
}

std::optional<std::string> crypt_id(std::string_view id, std::uint32_t stamp) {
  std::optional<std::string> token = plain_token(id, stamp);
  if (token) scramble_for_issue(*token);
  return token;
}

TokenReport inspect_token(std::string_view token, std::int32_t lifetime, std::uint32_t now) {
  return inspect(token, lifetime, [now] { return now; });
}

TokenReport inspect_token(std::string_view token, std::int32_t lifetime) {
  return inspect(token, lifetime, year_stamp);
}

std::optional<std::string> decrypt_id(std::string_view token, std::int32_t lifetime,
                                      std::uint32_t now) {
  return id_if_fresh([&] { return inspect_token(token, lifetime, now); });
}

std::optional<std::string> crypt_id(std::string_view id) {
  if (!is_valid_id(id)) return std::nullopt;  // without reading the clock
  return crypt_id(id, year_stamp());
}

std::optional<std::string> decrypt_id(std::string_view token, std::int32_t lifetime) {
  if (lifetime <= 0) return std::nullopt;  // nothing is fresh: no need for the clock
  return id_if_fresh([&] { return inspect_token(token, lifetime); });
}

}  // namespace idstamp
