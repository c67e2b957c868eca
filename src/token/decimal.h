// The one way the tool reads a number from text.
#ifndef IDSTAMP_DECIMAL_H
#define IDSTAMP_DECIMAL_H

#include <cstdint>
#include <optional>
#include <string_view>

namespace idstamp {

enum class DecimalWidth { int32, int64 };

// decimal = *space [ "+" / "-" ] 1*DIGIT, and nothing after it,
// where space is one of the bytes 9 to 13 and 32.
//
// A value beyond the signed range of `width` takes the nearest limit.
// Trailing bytes of any kind, white space included, make the reading fail.
std::optional<std::int64_t> read_decimal(std::string_view text, DecimalWidth width);

}  // namespace idstamp

#endif  // IDSTAMP_DECIMAL_H
