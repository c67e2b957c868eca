#include "cli/utf8.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace idstamp {

// Each sequence by the ranges its lead byte allows for the first byte after
// it, which rule out overlong forms, surrogates and code points past U+10FFFF.
bool is_utf8(std::string_view text) {
  std::size_t i = 0;
  // ASCII, the common case, eight bytes at a time.
  for (std::uint64_t word = 0; text.size() - i >= sizeof word; i += sizeof word) {
    std::memcpy(&word, text.data() + i, sizeof word);
    if ((word & 0x8080808080808080U) != 0) break;
  }
  while (i < text.size()) {
    const auto b = static_cast<unsigned char>(text[i]);
    std::size_t extra = 0;
    unsigned char lo = 0x80;
    unsigned char hi = 0xBF;  // the range of the first continuation byte
    if (b < 0x80) {
      extra = 0;
    } else if (b >= 0xC2 && b <= 0xDF) {
      extra = 1;
    } else if (b >= 0xE0 && b <= 0xEF) {
      extra = 2;
      if (b == 0xE0) lo = 0xA0;
      if (b == 0xED) hi = 0x9F;
    } else if (b >= 0xF0 && b <= 0xF4) {
      extra = 3;
      if (b == 0xF0) lo = 0x90;
      if (b == 0xF4) hi = 0x8F;
    } else {
      return false;
    }
    if (text.size() - i - 1 < extra) return false;
    for (std::size_t k = 1; k <= extra; ++k) {
      const auto c = static_cast<unsigned char>(text[i + k]);
      if (c < (k == 1 ? lo : 0x80) || c > (k == 1 ? hi : 0xBF)) return false;
    }
    i += 1 + extra;
  }
  return true;
}

}  // namespace idstamp
