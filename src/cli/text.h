// Program output built without allocating, so that running out of memory
// cannot stop a program half-way through what it prints.
#ifndef IDSTAMP_TEXT_H
#define IDSTAMP_TEXT_H

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <type_traits>
#include <vector>

#include "idstamp/date_ticks.h"
#include "time/calendar.h"

namespace idstamp {

// Up to N bytes. Appending past the end keeps what fits and marks the text
// cut, which the programs' fixed bounds on ids and tokens never allow.
template <std::size_t N>
class FixedText {
 public:
  static constexpr std::size_t capacity = N;

  FixedText& append(std::string_view s) {
    if (s.size() <= N - size_) {  // the common case, where a short text's size is often known
      if (!s.empty()) std::memcpy(data_ + size_, s.data(), s.size());
      size_ += s.size();
      return *this;
    }
    const std::size_t room = N - size_;
    const std::size_t n = s.size() < room ? s.size() : room;
    if (n > 0) std::memcpy(data_ + size_, s.data(), n);
    size_ += n;
    cut_ = cut_ || n < s.size();
    return *this;
  }
  FixedText& append(char c) {
    if (size_ < N) {
      data_[size_++] = c;
    } else {
      cut_ = true;
    }
    return *this;
  }
  // Written in place when the room allows the longest 64-bit number; one of
  // nine or ten digits, as a year stamp mostly is, or of fewer, as an age in
  // milliseconds mostly is, with no loop.
  template <class Integer>
  FixedText& number(Integer v) {
    static_assert(sizeof(Integer) <= 8, "a number of at most 64 bits");
    if (N - size_ >= 20) {
      auto u = static_cast<std::uint64_t>(v);  // a negative value wraps far above 10^10
      if (u - 100'000'000 < 10'000'000'000 - 100'000'000) {
        size_ = static_cast<std::size_t>(nine_or_ten_digits(data_ + size_, u) - data_);
        return *this;
      }
      if constexpr (std::is_signed_v<Integer>) {
        if (v < 0 && 0 - u < 100'000'000) {
          data_[size_++] = '-';
          u = 0 - u;
        }
      }
      if (u < 100'000'000) {
        size_ = static_cast<std::size_t>(up_to_eight_digits(data_ + size_, u) - data_);
      } else {
        size_ = static_cast<std::size_t>(std::to_chars(data_ + size_, data_ + N, v).ptr - data_);
      }
      return *this;
    }
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, v).ptr;
    return append(std::string_view(digits, static_cast<std::size_t>(end - digits)));
  }
  // Room for `n` bytes written straight into the text by the caller, who
  // then calls grow(n); nullptr when they do not fit.
  char* tail(std::size_t n) { return N - size_ >= n ? data_ + size_ : nullptr; }
  void grow(std::size_t n) { size_ += n; }

  std::string_view view() const { return {data_, size_}; }
  bool cut() const { return cut_; }
  std::size_t room() const { return N - size_; }
  void clear() {
    size_ = 0;
    cut_ = false;
  }

 private:
  static constexpr char pairs[] =
      "0001020304050607080910111213141516171819202122232425262728293031323334353637383940414243"
      "4445464748495051525354555657585960616263646566676869707172737475767778798081828384858687"
      "888990919293949596979899";

  // v in [0, 10^8) at `at`, which has room for eight bytes, and the end of
  // its digits: all eight written, then moved back over the leading zeros.
  static char* up_to_eight_digits(char* at, std::uint64_t v) {
    static constexpr std::uint64_t limits[] = {10,      100,       1'000,     10'000,
                                               100'000, 1'000'000, 10'000'000};
    std::size_t zeros = 0;
    for (const std::uint64_t limit : limits) zeros += v < limit ? 1 : 0;
    char digits[16] = {};
    const auto upper = static_cast<std::size_t>(v / 10'000);
    const auto lower = static_cast<std::size_t>(v % 10'000);
    std::memcpy(digits, pairs + 2 * (upper / 100), 2);
    std::memcpy(digits + 2, pairs + 2 * (upper % 100), 2);
    std::memcpy(digits + 4, pairs + 2 * (lower / 100), 2);
    std::memcpy(digits + 6, pairs + 2 * (lower % 100), 2);
    std::memcpy(at, digits + zeros, 8);
    return at + 8 - zeros;
  }

  // v in [10^8, 10^10) at `at`, and the end of its digits.
  static char* nine_or_ten_digits(char* at, std::uint64_t v) {
    const auto high = static_cast<std::size_t>(v / 100'000'000);  // 1 to 99
    const auto low = static_cast<std::size_t>(v % 100'000'000);
    if (high >= 10) {
      std::memcpy(at, pairs + 2 * high, 2);
      at += 2;
    } else {
      *at++ = static_cast<char>('0' + high);
    }
    const std::size_t upper = low / 10'000;
    const std::size_t lower = low % 10'000;
    std::memcpy(at, pairs + 2 * (upper / 100), 2);
    std::memcpy(at + 2, pairs + 2 * (upper % 100), 2);
    std::memcpy(at + 4, pairs + 2 * (lower / 100), 2);
    std::memcpy(at + 6, pairs + 2 * (lower % 100), 2);
    return at + 8;
  }

  char data_[N] = {};  // zeroed, so that copying a text never reads indeterminate bytes
  std::size_t size_ = 0;
  bool cut_ = false;
};

// The arguments after the program path, as main receives them or as a list
// of texts (in tests and fuzz targets); read without copying.
class Args {
 public:
  Args(const char* const* argv, std::size_t count) : argv_(argv), count_(count) {}
  Args(const std::vector<std::string_view>& list) : list_(list.data()), count_(list.size()) {}

  std::size_t size() const { return count_; }
  std::string_view operator[](std::size_t i) const {
    return list_ != nullptr ? list_[i] : std::string_view(argv_[i]);
  }

 private:
  const char* const* argv_ = nullptr;
  const std::string_view* list_ = nullptr;
  std::size_t count_;
};

// A local reading as "YYYY-MM-DD HH:MM:SS.mmm", for the years 1 to 9999
// that DateTicks name.
template <std::size_t N>
void append_reading(FixedText<N>& out, DateTicks t) {
  const DateParts p = parts_of_ticks(t);
  const auto digits = [&out](std::int32_t v, std::int32_t unit) {
    for (; unit > 0; unit /= 10) out.append(static_cast<char>('0' + v / unit % 10));
  };
  digits(p.year, 1000);
  out.append('-');
  digits(p.month, 10);
  out.append('-');
  digits(p.day, 10);
  out.append(' ');
  digits(p.hour, 10);
  out.append(':');
  digits(p.minute, 10);
  out.append(':');
  digits(p.second, 10);
  out.append('.');
  digits(p.millisecond, 100);
}

}  // namespace idstamp

#endif  // IDSTAMP_TEXT_H
