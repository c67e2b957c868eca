// Tests on eight bytes at once, for the decimal reading of long texts.
#ifndef IDSTAMP_WORDS_H
#define IDSTAMP_WORDS_H

#include <cstdint>

namespace idstamp::words {

// Eight bytes, the first in the low byte on every host; compilers make this
// one load where the host is little-endian.
inline std::uint64_t load(const char* p) {
  std::uint64_t w = 0;
  for (unsigned i = 8; i-- > 0;) w = w << 8 | static_cast<unsigned char>(p[i]);
  return w;
}

inline constexpr std::uint64_t ones = 0x0101010101010101u;

// Exact for every byte value: each high nibble is 3, and adding 6 to each
// byte carries out of no low nibble.
inline bool eight_digits(std::uint64_t w) {
  constexpr std::uint64_t high = 0xF0F0F0F0F0F0F0F0u;
  return ((w & high) | (((w + 6 * ones) & high) >> 4)) == 0x33 * ones;
}

}  // namespace idstamp::words

#endif  // IDSTAMP_WORDS_H
