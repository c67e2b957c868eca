// The token core: issuing into a buffer the caller owns, and checking a token
// where it lies into a report of fixed size. Nothing here allocates, throws
// or reads the clock; the C++ and C interfaces are thin layers over it.
//
// The plain token is the length field, the id and the stamp, back to back:
//
//   length   three decimal digits, the id's length in bytes, zero-padded
//   id       the id's bytes, unchanged
//   stamp    the year stamp at issue, unsigned decimal with no leading zeros
//
// and the token is the plain token scrambled (token/scramble.h).
#ifndef IDSTAMP_CORE_H
#define IDSTAMP_CORE_H

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "idstamp/token_codec.h"

namespace idstamp {

// The longest token: a length field, the longest id, ten stamp digits.
inline constexpr std::size_t max_token_length = 3 + max_id_length + 10;

// 1 to 999 bytes, none of them zero.
bool is_valid_id(std::string_view id);

// The length of the token for `id` issued at `stamp`, or 0 for an invalid id.
std::size_t token_length(std::string_view id, std::uint32_t stamp);

// Writes the token for `id` issued at `stamp` into dst[0, capacity), with no
// terminator, and returns its length; 0, writing nothing, for an invalid id
// or a capacity below token_length(id, stamp).
std::size_t issue_token(char* dst, std::size_t capacity, std::string_view id, std::uint32_t stamp);

// What a checker makes of a token. The fields after `reason` are set when
// `parsed` is; the stamp is as written, which may be a value no issuer writes.
struct Check {
  Verdict verdict = Verdict::malformed;
  std::string_view reason;  // why a malformed token is malformed; static text
  bool parsed = false;
  std::size_t id_length = 0;
  std::int64_t stamp = 0;
  std::uint32_t now = 0;    // the year stamp it was judged against
  std::int64_t age_ms = 0;  // now - stamp, modulo 2^64, read as signed
};

// Unscrambles and parses `token`, writing its id and a terminating zero into
// id[0, max_id_length]. True when it parses; otherwise `check` says why.
// Reads the token in place: no copy of it is made.
bool read_token(std::string_view token, char* id, Check& check);

// Judges a token that read_token parsed, for `lifetime` minutes at year
// stamp `now`: fresh while its whole minutes of age, counted toward zero,
// lie in [0, lifetime), so a stamp up to 59.999 s ahead still counts as 0.
void judge(Check& check, std::int32_t lifetime, std::uint32_t now);

// now - stamp in milliseconds, modulo 2^64, read as a signed number.
std::int64_t signed_age(std::int64_t stamp, std::uint32_t now);

}  // namespace idstamp

#endif  // IDSTAMP_CORE_H
