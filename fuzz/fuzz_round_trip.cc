// Any id of 1 to 999 non-zero bytes at any stamp: checked at stamp + d, the
// token gives back exactly the id for d inside the acceptance window,
// -60000 < d < lifetime * 60000, and nothing outside it.
#include <limits>
#include <string>

#include "fuzz_check.h"
#include "idstamp/token_codec.h"

using namespace idstamp;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::Input in(data, size);
  const std::uint32_t stamp = in.u32();
  // Lifetimes whose window fits in one stamp cycle: [1, 71582] minutes.
  const auto lifetime = static_cast<std::int32_t>(in.u32() % 71'582 + 1);
  const std::int64_t probe = in.i32();
  const std::string_view id = in.rest();

  const std::optional<std::string> token = crypt_id(id, stamp);
  const bool valid =
      !id.empty() && id.size() <= max_id_length && id.find('\0') == std::string_view::npos;
  fuzz::check(token.has_value() == valid, "issued exactly for a valid id");
  if (!token) return 0;
  fuzz::check(token->size() == 3 + id.size() + std::to_string(stamp).size(), "token length");

  // Just inside and outside both ends of the window, and one probe.
  const std::int64_t ends[] = {
      -60'000, -59'999, 0, std::int64_t{lifetime} * 60'000 - 1, std::int64_t{lifetime} * 60'000,
      probe};
  for (const std::int64_t d : ends) {
    const std::int64_t now = std::int64_t{stamp} + d;
    if (now < 0 || now > std::numeric_limits<std::uint32_t>::max()) continue;  // a reset between
    const auto at = static_cast<std::uint32_t>(now);
    const std::optional<std::string> back = decrypt_id(*token, lifetime, at);
    if (fuzz::in_window(stamp, at, lifetime)) {
      fuzz::check(back.has_value() && *back == id, "inside the window: the id, exactly");
    } else {
      fuzz::check(!back.has_value(), "outside the window: nothing");
    }
  }
  return 0;
}
