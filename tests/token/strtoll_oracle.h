// The C library's strtoll as an oracle for the decimal reading, shared by
// its unit tests and its fuzz target.
#ifndef IDSTAMP_STRTOLL_ORACLE_H
#define IDSTAMP_STRTOLL_ORACLE_H

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

#include "token/decimal.h"

namespace idstamp::oracles {

// strtoll's value limited to the width; a reading succeeds exactly when
// strtoll consumes the whole text (it stops at a zero byte; the size tells).
inline std::optional<std::int64_t> strtoll_oracle(std::string_view text, DecimalWidth width) {
  const std::string copy(text);
  const char* begin = copy.c_str();
  char* end = nullptr;
  errno = 0;
  const long long value = std::strtoll(begin, &end, 10);
  if (end == begin || end != begin + copy.size()) return std::nullopt;
  if (width == DecimalWidth::int64) return value;
  constexpr long long lo = std::numeric_limits<std::int32_t>::min();
  constexpr long long hi = std::numeric_limits<std::int32_t>::max();
  return value < lo ? lo : (value > hi ? hi : value);
}

}  // namespace idstamp::oracles

#endif  // IDSTAMP_STRTOLL_ORACLE_H
