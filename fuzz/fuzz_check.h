// Helpers shared by the fuzz targets.
#ifndef IDSTAMP_FUZZ_CHECK_H
#define IDSTAMP_FUZZ_CHECK_H

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace idstamp::fuzz {

// A broken invariant is a crash the fuzzer can report and minimise.
inline void check(bool holds, const char* what) {
  if (holds) return;
  (void)std::fprintf(stderr, "invariant broken: %s\n", what);
  std::abort();
}

// The acceptance window for a stamp an issuer writes, [0, 2^32): a token is
// fresh exactly when -60000 < now - stamp < lifetime * 60000 milliseconds,
// and never for a lifetime that is not positive.
inline bool in_window(std::int64_t stamp, std::uint32_t now, std::int32_t lifetime) {
  const std::int64_t elapsed = std::int64_t{now} - stamp;
  return lifetime > 0 && elapsed > -60'000 && elapsed < std::int64_t{lifetime} * 60'000;
}

// Reads fixed-size values off the front of the input, zero past its end.
class Input {
 public:
  Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  std::uint32_t u32() {
    std::uint32_t v = 0;
    const std::size_t n = size_ < sizeof v ? size_ : sizeof v;
    if (n > 0) std::memcpy(&v, data_, n);
    data_ += n;
    size_ -= n;
    return v;
  }
  std::int32_t i32() {
    const std::uint32_t u = u32();
    std::int32_t v;
    std::memcpy(&v, &u, sizeof v);
    return v;
  }
  std::string_view rest() const { return {reinterpret_cast<const char*>(data_), size_}; }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
};

}  // namespace idstamp::fuzz

#endif  // IDSTAMP_FUZZ_CHECK_H
