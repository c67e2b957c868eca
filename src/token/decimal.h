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
// A value beyond the signed range of the width takes the nearest limit.
// Trailing bytes of any kind, white space included, make the reading fail.
//
// The text may arrive in pieces, as a token's stamp does when it is read
// out of the scrambled token without a copy; read_decimal is one piece.
class DecimalReader {
 public:
  explicit DecimalReader(DecimalWidth width) : width_(width) {}

  void feed(std::string_view piece);
  std::optional<std::int64_t> value() const;
  // True once no further piece can make the text read.
  bool failed() const { return stage_ == Stage::failed; }

 private:
  enum class Stage { space, sign, zeros, digits, failed };
  DecimalWidth width_;
  Stage stage_ = Stage::space;
  bool negative_ = false;
  int significant_ = 0;          // digits after the leading zeros, counted to 20
  std::uint64_t magnitude_ = 0;  // of the first 19 of them, below 10^19
};

std::optional<std::int64_t> read_decimal(std::string_view text, DecimalWidth width);

}  // namespace idstamp

#endif  // IDSTAMP_DECIMAL_H
