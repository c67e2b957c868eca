// The build's digit maps, as two constant byte tables.
#ifndef IDSTAMP_DIGIT_MAPS_H
#define IDSTAMP_DIGIT_MAPS_H

#include <array>
#include <cstddef>
#include <string_view>

// Ten distinct digits, entry d replacing the digit d. The build system passes
// the one definition; this header is where it is checked.
#ifndef IDSTAMP_DIGIT_MAP
#error "IDSTAMP_DIGIT_MAP must be defined, as ten distinct digits in quotes"
#endif

namespace idstamp {

// 256 entries: each digit goes through a map, every other byte to itself.
using ByteTable = std::array<char, 256>;

namespace detail {

constexpr bool is_digit_permutation(std::string_view map) {
  if (map.size() != 10) return false;
  bool seen[10] = {};
  for (const char c : map) {
    if (c < '0' || c > '9' || seen[c - '0']) return false;
    seen[c - '0'] = true;
  }
  return true;
}

// Sends the digit d to map[d] when issuing, and map[d] back to d when not.
constexpr ByteTable byte_table(std::string_view map, bool issuing) {
  ByteTable t{};
  for (std::size_t b = 0; b < t.size(); ++b) t[b] = static_cast<char>(b);
  for (std::size_t d = 0; d < 10; ++d) {
    const char plain = static_cast<char>('0' + d);
    if (issuing) {
      t[static_cast<unsigned char>(plain)] = map[d];
    } else {
      t[static_cast<unsigned char>(map[d])] = plain;
    }
  }
  return t;
}

}  // namespace detail

static_assert(detail::is_digit_permutation(IDSTAMP_DIGIT_MAP),
              "IDSTAMP_DIGIT_MAP must be ten digits, each of 0 to 9 once, like 5820739164");

inline constexpr std::string_view digit_map = IDSTAMP_DIGIT_MAP;
inline constexpr ByteTable encode_table = detail::byte_table(digit_map, true);
inline constexpr ByteTable decode_table = detail::byte_table(digit_map, false);

}  // namespace idstamp

#endif  // IDSTAMP_DIGIT_MAPS_H
