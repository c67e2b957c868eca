// The decimal reading against strtoll: the same value, saturated to the
// width, and success exactly when strtoll consumes the whole text.
#include "fuzz_check.h"
#include "token/decimal.h"
#include "token/strtoll_oracle.h"

using namespace idstamp;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const DecimalWidth width = data[0] % 2 == 0 ? DecimalWidth::int32 : DecimalWidth::int64;
  const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
  fuzz::check(read_decimal(text, width) == oracles::strtoll_oracle(text, width),
              "agrees with strtoll");
  return 0;
}
