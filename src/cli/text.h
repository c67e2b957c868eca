// Program output built without allocating, so that running out of memory
// cannot stop a program half-way through what it prints.
#ifndef IDSTAMP_TEXT_H
#define IDSTAMP_TEXT_H

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

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
  // Written in place when the room allows the longest 64-bit number.
  template <class Integer>
  FixedText& number(Integer v) {
    static_assert(sizeof(Integer) <= 8, "a number of at most 64 bits");
    if (N - size_ >= 20) {
      size_ = static_cast<std::size_t>(std::to_chars(data_ + size_, data_ + N, v).ptr - data_);
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

}  // namespace idstamp

#endif  // IDSTAMP_TEXT_H
