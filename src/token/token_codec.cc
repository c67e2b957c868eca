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

template <class StampSource>
std::optional<std::string> check(std::string_view token, std::int32_t lifetime,
                                 StampSource stamp_now) {
  if (lifetime <= 0) return std::nullopt;
  std::optional<TokenContents> contents = read_token(token);
  if (!contents || !is_fresh(contents->stamp, lifetime, stamp_now())) return std::nullopt;
  return std::move(contents->id);
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
std::optional<TokenContents> read_token(std::string_view token) {
  if (token.size() < 3) return std::nullopt;
  try {
    std::string plain(token);
    scramble_for_check(plain);
    const std::string_view text = plain;
    const std::optional<std::int64_t> length = read_decimal(text.substr(0, 3), DecimalWidth::int32);
    if (!length || *length <= 0) return std::nullopt;
    const auto id_size = static_cast<std::size_t>(*length);  // [1, 999]
    if (3 + id_size >= text.size()) return std::nullopt;
    // A zero byte in either number already fails its reading.
    if (text.substr(3, id_size).find('\0') != std::string_view::npos) return std::nullopt;
    const std::optional<std::int64_t> stamp =
        read_decimal(text.substr(3 + id_size), DecimalWidth::int64);
    if (!stamp || *stamp == -1) return std::nullopt;
    // The id moves to the front of the buffer it was decoded in.
    std::memmove(plain.data(), plain.data() + 3, id_size);
    plain.resize(id_size);
    return TokenContents{std::move(plain), *stamp};
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
}

bool is_fresh(std::int64_t stamp, std::int32_t lifetime, std::uint32_t now) {
  // now - stamp wraps modulo 2^64 and is then read as a signed difference,
  // whose whole minutes count toward zero.
  const std::uint64_t diff = std::uint64_t{now} - static_cast<std::uint64_t>(stamp);
  constexpr std::uint64_t ms_per_minute = 60'000;
  const std::int64_t minutes = diff <= std::uint64_t{std::numeric_limits<std::int64_t>::max()}
                                   ? static_cast<std::int64_t>(diff / ms_per_minute)
                                   : -static_cast<std::int64_t>((0 - diff) / ms_per_minute);
  return minutes >= 0 && minutes < lifetime;
}

std::optional<std::string> crypt_id(std::string_view id, std::uint32_t stamp) {
  std::optional<std::string> token = plain_token(id, stamp);
  if (token) scramble_for_issue(*token);
  return token;
}

std::optional<std::string> decrypt_id(std::string_view token, std::int32_t lifetime,
                                      std::uint32_t now) {
  return check(token, lifetime, [now] { return now; });
}

std::optional<std::string> crypt_id(std::string_view id) {
  if (!is_valid_id(id)) return std::nullopt;  // without reading the clock
  return crypt_id(id, year_stamp());
}

std::optional<std::string> decrypt_id(std::string_view token, std::int32_t lifetime) {
  return check(token, lifetime, year_stamp);
}

}  // namespace idstamp
