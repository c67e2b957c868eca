#include "token/decimal.h"

#include <limits>

namespace idstamp {

namespace {

bool is_space(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

std::uint64_t max_magnitude(DecimalWidth width, bool negative) {
  const std::uint64_t max = width == DecimalWidth::int32
                                ? std::uint64_t{std::numeric_limits<std::int32_t>::max()}
                                : std::uint64_t{std::numeric_limits<std::int64_t>::max()};
  return negative ? max + 1 : max;
}

}  // namespace

std::optional<std::int64_t> read_decimal(std::string_view text, DecimalWidth width) {
  std::size_t i = 0;
  while (i < text.size() && is_space(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i == text.size()) return std::nullopt;

  // Accumulate the magnitude, pinned at the limit once it would pass it.
  const std::uint64_t limit = max_magnitude(width, negative);
  std::uint64_t magnitude = 0;
  for (; i < text.size(); ++i) {
    const auto digit =
        static_cast<std::uint64_t>(static_cast<unsigned char>(text[i])) - std::uint64_t{'0'};
    if (digit > 9) return std::nullopt;
    magnitude = magnitude <= (limit - digit) / 10 ? magnitude * 10 + digit : limit;
  }
  if (!negative || magnitude == 0) return static_cast<std::int64_t>(magnitude);
  return -static_cast<std::int64_t>(magnitude - 1) - 1;  // reaches INT64_MIN without overflow
}

}  // namespace idstamp
