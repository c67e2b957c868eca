#include "token/decimal.h"

#include <limits>

#include "token/words.h"

namespace idstamp {

namespace {

bool is_space(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

unsigned digit_of(char c) { return static_cast<unsigned char>(c) - unsigned{'0'}; }

// The largest magnitude of each width, [width][negative].
constexpr std::uint64_t max_magnitude[2][2] = {
    {std::uint64_t{std::numeric_limits<std::int32_t>::max()},
     std::uint64_t{std::numeric_limits<std::int32_t>::max()} + 1},
    {std::uint64_t{std::numeric_limits<std::int64_t>::max()},
     std::uint64_t{std::numeric_limits<std::int64_t>::max()} + 1},
};

// Past leading zeros, at most 19 significant digits fit in 64 unsigned bits;
// any more pass every limit, and then need only be digits.
constexpr int max_significant = 19;

// Long texts (a stamp padded with zeros, say) are skipped and checked eight
// bytes a word, here and in skip_zeros, so that hostile input stays cheap
// per byte (docs/performance.md).
bool all_digits(const char* p, const char* end) {
  for (; end - p >= 8; p += 8)
    if (!words::eight_digits(words::load(p))) return false;
  for (; p != end; ++p)
    if (digit_of(*p) > 9) return false;
  return true;
}

const char* skip_zeros(const char* p, const char* end) {
  while (end - p >= 8 && words::load(p) == 0x30 * words::ones) p += 8;
  while (p != end && *p == '0') ++p;
  return p;
}

std::int64_t signed_value(std::uint64_t magnitude, bool negative) {
  if (!negative || magnitude == 0) return static_cast<std::int64_t>(magnitude);
  return -static_cast<std::int64_t>(magnitude - 1) - 1;  // reaches INT64_MIN without overflow
}

}  // namespace

void DecimalReader::feed(std::string_view piece) {
  const char* p = piece.data();
  const char* const end = p + piece.size();
  if (stage_ == Stage::space) {
    while (p != end && is_space(*p)) ++p;
    if (p == end) return;
    stage_ = Stage::sign;
    if (*p == '+' || *p == '-') negative_ = *p++ == '-';
  }
  if (stage_ == Stage::sign || stage_ == Stage::zeros) {
    if (p == end) return;
    const char* const past_zeros = skip_zeros(p, end);
    if (past_zeros != p) stage_ = Stage::zeros;
    p = past_zeros;
    if (p == end) return;
    stage_ = Stage::digits;
  }
  if (stage_ != Stage::digits) return;
  // In locals: a store to a member could alias the bytes read.
  int significant = significant_;
  std::uint64_t magnitude = magnitude_;
  for (; p != end && significant < max_significant; ++p, ++significant) {
    const unsigned digit = digit_of(*p);
    if (digit > 9) {
      stage_ = Stage::failed;
      return;
    }
    magnitude = magnitude * 10 + digit;
  }
  magnitude_ = magnitude;
  significant_ = significant;
  if (p == end) return;
  if (!all_digits(p, end)) stage_ = Stage::failed;
  significant_ = max_significant + 1;
}

// The value is worked out whether or not the text reads, and an empty
// result is a full one reset, so that its payload bytes are set: a caller
// may test the payload before the flag (optimised code does, for
// `!v || *v == -1`), and memcheck then sees a defined value rather than
// whatever bytes lay where the result was built.
std::optional<std::int64_t> DecimalReader::value() const {
  const std::uint64_t limit = max_magnitude[width_ == DecimalWidth::int64][negative_];
  const std::uint64_t m = significant_ > max_significant || magnitude_ > limit ? limit : magnitude_;
  std::optional<std::int64_t> result = signed_value(m, negative_);
  // Digits were read only once past the space and sign stages.
  if (stage_ != Stage::zeros && stage_ != Stage::digits) result.reset();
  return result;
}

std::optional<std::int64_t> read_decimal(std::string_view text, DecimalWidth width) {
  // Most texts are a few plain digits (a length field, a stamp); read those
  // straight away. They stay below 10^18, so only the 32-bit limit can apply.
  if (!text.empty() && text.size() <= 18) {
    std::uint64_t magnitude = 0;
    std::size_t i = 0;
    for (unsigned digit = 0; i < text.size() && (digit = digit_of(text[i])) <= 9; ++i)
      magnitude = magnitude * 10 + digit;
    if (i == text.size()) {
      const std::uint64_t limit = max_magnitude[width == DecimalWidth::int64][0];
      return static_cast<std::int64_t>(magnitude < limit ? magnitude : limit);
    }
  }
  DecimalReader reader(width);
  reader.feed(text);
  return reader.value();
}

}  // namespace idstamp
