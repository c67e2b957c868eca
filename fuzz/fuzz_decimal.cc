// The decimal reading against strtoll: the same value, saturated to the
// width, and success exactly when strtoll consumes the whole text.
#include <cerrno>
#include <cstdlib>
#include <limits>
#include <string>

#include "fuzz_check.h"
#include "token/decimal.h"

using namespace idstamp;

namespace {

std::optional<std::int64_t> oracle(std::string_view text, DecimalWidth width) {
  const std::string copy(text);  // strtoll stops at a zero byte; the size tells
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const DecimalWidth width = data[0] % 2 == 0 ? DecimalWidth::int32 : DecimalWidth::int64;
  const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
  fuzz::check(read_decimal(text, width) == oracle(text, width), "agrees with strtoll");
  return 0;
}
