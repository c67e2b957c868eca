#include "token/core.h"

#include <charconv>
#include <cstring>
#include <limits>

#include "token/decimal.h"
#include "token/scramble.h"

namespace idstamp {

namespace {

// The three bytes of a length field, as an issuer writes them (three
// digits) or as the decimal reading takes them. Three digits, the only form
// an issuer writes, are read straight away, more cheaply than through the
// general decimal reading (docs/performance.md).
std::optional<std::int64_t> length_field(const char* p) {
  const auto d0 = static_cast<unsigned char>(p[0] - '0');
  const auto d1 = static_cast<unsigned char>(p[1] - '0');
  const auto d2 = static_cast<unsigned char>(p[2] - '0');
  if (d0 <= 9 && d1 <= 9 && d2 <= 9) return d0 * 100 + d1 * 10 + d2;
  return read_decimal({p, 3}, DecimalWidth::int32);
}

void malformed(Check& check, std::string_view reason) { check.reason = reason; }

// now - stamp in milliseconds, modulo 2^64, read as a signed number.
std::int64_t signed_age(std::int64_t stamp, std::uint32_t now) {
  const std::uint64_t diff = std::uint64_t{now} - static_cast<std::uint64_t>(stamp);
  constexpr auto max = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
  // Above max, diff stands for diff - 2^64 = -(~diff) - 1, with ~diff <= max.
  return diff <= max ? static_cast<std::int64_t>(diff) : -static_cast<std::int64_t>(~diff) - 1;
}

// Judges a token that parsed, for `lifetime` minutes at year stamp `now`.
void judge(Check& check, std::int32_t lifetime, std::uint32_t now) {
  check.now = now;
  check.age_ms = signed_age(check.stamp, now);
  const std::int64_t minutes = check.age_ms / 60'000;  // toward zero
  if (minutes < 0) {
    check.verdict = Verdict::ahead;
  } else {
    check.verdict = minutes < lifetime ? Verdict::fresh : Verdict::expired;
  }
}

}  // namespace

bool is_valid_id(std::string_view id) {
  return !id.empty() && id.size() <= max_id_length && id.find('\0') == std::string_view::npos;
}

std::size_t token_length(std::string_view id, std::uint32_t stamp) {
  if (!is_valid_id(id)) return 0;
  // Counted against powers of ten, which is cheaper than dividing by ten
  // (docs/performance.md).
  std::size_t digits = 1;  // [1, 10]
  for (std::uint64_t power = 10; power <= stamp; power *= 10) ++digits;
  return 3 + id.size() + digits;
}

std::size_t issue_token(char* dst, std::size_t capacity, std::string_view id, std::uint32_t stamp) {
  const std::size_t n = token_length(id, stamp);
  if (n == 0 || n > capacity) return 0;
  dst[0] = static_cast<char>('0' + id.size() / 100);
  dst[1] = static_cast<char>('0' + id.size() / 10 % 10);
  dst[2] = static_cast<char>('0' + id.size() % 10);
  std::memcpy(dst + 3, id.data(), id.size());
  char* const stamp_at = dst + 3 + id.size();
  (void)std::to_chars(stamp_at, dst + n, stamp);  // n counted its digits
  scramble_for_issue(dst, n);
  return n;
}

// token = length id stamp, after unscrambling.
//
// A token no longer than the longest an issuer writes is unscrambled whole
// into a buffer on the stack, in one pass over mirror pairs, which costs far
// less than a pass over each field (docs/performance.md). A longer one,
// which only a stamp padded with zeros leaves readable, is read a field at a
// time and its stamp a piece at a time.
//
// Reading and judging are one function, so that the check of a token makes
// no call of its own beyond the unscrambling and the decimal reading.
void check_token(std::string_view token, std::int32_t lifetime, When when, char* id, Check& check) {
  check = Check{};
  id[0] = '\0';
  const char* const t = token.data();
  const std::size_t n = token.size();
  if (n < 3) return malformed(check, "too short");
  char plain[max_token_length];
  const bool whole = n <= sizeof plain;
  if (whole) {
    unscramble(t, n, plain);
  } else {
    unscramble_range(t, n, 0, 3, plain);
  }
  const std::optional<std::int64_t> length = length_field(plain);
  if (!length || *length <= 0) return malformed(check, "bad length field");
  const auto id_length = static_cast<std::size_t>(*length);  // [1, 999]
  if (3 + id_length >= n) return malformed(check, "no stamp");
  if (whole) {
    std::memcpy(id, plain + 3, id_length);
  } else {
    unscramble_range(t, n, 3, 3 + id_length, id);
  }
  // A zero byte in either number already fails its reading.
  if (std::memchr(id, '\0', id_length) != nullptr) {
    id[0] = '\0';
    return malformed(check, "zero byte in the id");
  }
  id[id_length] = '\0';
  std::optional<std::int64_t> value;
  const std::size_t stamp_at = 3 + id_length;
  if (whole) {
    value = read_decimal({plain + stamp_at, n - stamp_at}, DecimalWidth::int64);
  } else {
    DecimalReader stamp(DecimalWidth::int64);
    for (std::size_t at = stamp_at; at < n && !stamp.failed(); at += sizeof plain) {
      const std::size_t end = n - at < sizeof plain ? n : at + sizeof plain;
      unscramble_range(t, n, at, end, plain);
      stamp.feed({plain, end - at});
    }
    value = stamp.value();
  }
  if (!value || *value == -1) {
    id[0] = '\0';
    return malformed(check, "bad stamp");
  }
  check.parsed = true;
  check.id_length = id_length;
  check.stamp = *value;
  if (when.clock != nullptr) {  // read once, and only now that the token parsed
    check.clock_ticks = when.clock();
    when.stamp = year_stamp_of(check.clock_ticks);
  }
  judge(check, lifetime, when.stamp);
}

}  // namespace idstamp
