#include "token/token_codec.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <limits>
#include <new>
#include <utility>

#include "time/date_ticks.h"
#include "token/decimal.h"
#include "token/words.h"

// The build's digit map: ten distinct digits, entry d replacing the digit d.
#ifndef IDSTAMP_DIGIT_MAP
#define IDSTAMP_DIGIT_MAP "5820739164"
#endif

namespace idstamp {

namespace {

// A map is kept as three pieces of 4, 4 and 2 characters and put together
// afresh in each call, so no call depends on a table another one filled.
struct MapPieces {
  std::array<char, 4> first;
  std::array<char, 4> second;
  std::array<char, 2> third;
};

constexpr DigitMap join(const MapPieces& p) {
  return {p.first[0],  p.first[1],  p.first[2],  p.first[3], p.second[0],
          p.second[1], p.second[2], p.second[3], p.third[0], p.third[1]};
}

constexpr MapPieces split(const DigitMap& m) {
  return {{m[0], m[1], m[2], m[3]}, {m[4], m[5], m[6], m[7]}, {m[8], m[9]}};
}

constexpr bool is_digit_permutation(std::string_view text) {
  if (text.size() != 10) return false;
  bool seen[10] = {};
  for (const char c : text) {
    if (c < '0' || c > '9' || seen[c - '0']) return false;
    seen[c - '0'] = true;
  }
  return true;
}

constexpr DigitMap map_of(std::string_view text) {
  DigitMap m{};
  for (std::size_t d = 0; d < m.size(); ++d) m[d] = text[d];
  return m;
}

constexpr DigitMap inverse_of(const DigitMap& m) {
  DigitMap inv{};
  for (std::size_t d = 0; d < m.size(); ++d)
    inv[static_cast<std::size_t>(m[d] - '0')] = static_cast<char>('0' + d);
  return inv;
}

constexpr bool inverts(const DigitMap& decode, const DigitMap& encode) {
  for (std::size_t d = 0; d < encode.size(); ++d)
    if (decode[static_cast<std::size_t>(encode[d] - '0')] != static_cast<char>('0' + d))
      return false;
  return true;
}

static_assert(is_digit_permutation(IDSTAMP_DIGIT_MAP),
              "IDSTAMP_DIGIT_MAP must hold each of the ten digits exactly once");

constexpr MapPieces encode_pieces = split(map_of(IDSTAMP_DIGIT_MAP));
constexpr MapPieces decode_pieces = split(inverse_of(join(encode_pieces)));

static_assert(inverts(join(decode_pieces), join(encode_pieces)), "decode_map must undo encode_map");

using ByteTable = std::array<char, 256>;

constexpr ByteTable identity_of_bytes() {
  ByteTable t{};
  for (std::size_t b = 0; b < t.size(); ++b) t[b] = static_cast<char>(b);
  return t;
}

constexpr ByteTable identity_table = identity_of_bytes();

// A table sending each digit through `map` and every other byte to itself.
ByteTable byte_table(const DigitMap& map) {
  ByteTable table = identity_table;
  for (std::size_t d = 0; d < map.size(); ++d) table['0' + d] = map[d];
  return table;
}

// The whole scramble transform in one pass over mirror pairs: each odd
// position below n / 2 trades places with its mirror, and every byte goes
// through `table` once. Position and substitution commute, so the same pass
// issues with the encoding table and checks with the decoding one.
void scramble(std::string& text, const ByteTable& table) {
  const auto at = [&table](char c) { return table[static_cast<unsigned char>(c)]; };
  const std::size_t n = text.size();
  const std::size_t h = n / 2;
  char* const p = text.data();
  std::size_t i = 0;
  for (; i + 1 < h; i += 2) {  // an even position and the odd one after it
    const std::size_t j = n - 1 - i;
    const char even = p[i];
    const char even_mirror = p[j];
    const char odd = p[i + 1];
    const char odd_mirror = p[j - 1];
    p[i] = at(even);
    p[j] = at(even_mirror);
    p[i + 1] = at(odd_mirror);
    p[j - 1] = at(odd);
  }
  for (; i < n - i; ++i) {  // a last even pair, and the middle of an odd length
    p[i] = at(p[i]);
    if (i != n - 1 - i) p[n - 1 - i] = at(p[n - 1 - i]);
  }
}

bool is_valid_id(std::string_view id) {
  return !id.empty() && id.size() <= max_id_length && !words::contains_zero_byte(id);
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

DigitMap encode_map() { return join(encode_pieces); }
DigitMap decode_map() { return join(decode_pieces); }

void reverse_step(std::string& text) {
  const std::size_t n = text.size();
  for (std::size_t i = 0; i < n / 2; ++i) std::swap(text[i], text[n - 1 - i]);
}

void even_step(std::string& text) {
  const std::size_t n = text.size();
  for (std::size_t i = 0; i < n / 2; i += 2) std::swap(text[i], text[n - 1 - i]);
}

void substitute_step(std::string& text, const DigitMap& map) {
  const ByteTable table = byte_table(map);
  for (char& c : text) c = table[static_cast<unsigned char>(c)];
}

void scramble_for_issue(std::string& text) { scramble(text, byte_table(join(encode_pieces))); }

void scramble_for_check(std::string& text) { scramble(text, byte_table(join(decode_pieces))); }

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
    if (words::contains_zero_byte(text.substr(3, id_size))) return std::nullopt;
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
