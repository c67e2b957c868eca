// The plain token: the length field, the id and the stamp, back to back.
//
//   length   three decimal digits, the id's length in bytes, zero-padded
//   id       the id's bytes, unchanged
//   stamp    the year stamp at issue, unsigned decimal with no leading zeros
#ifndef IDSTAMP_TOKEN_LAYOUT_H
#define IDSTAMP_TOKEN_LAYOUT_H

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "token/token_codec.h"

namespace idstamp {

// The plain token of an id issued at `stamp`, or nothing for an invalid id.
std::optional<std::string> plain_token(std::string_view id, std::uint32_t stamp);

// What a token carries. The stamp is as read from the token, which may hold
// values no issued token has.
struct TokenContents {
  std::string id;
  std::int64_t stamp;
};

// Unscrambles and parses a token without looking at its age, or nothing
// when it is malformed; then `why`, when given, names what is wrong. Throws
// std::bad_alloc when memory runs out.
std::optional<TokenContents> read_token(std::string_view token, std::string_view* why = nullptr);

// now - stamp in milliseconds, modulo 2^64, read as a signed number.
std::int64_t signed_age(std::int64_t stamp, std::uint32_t now);

// The verdict on a well-formed token of age `age_ms`: its whole minutes,
// counted toward zero, against [0, lifetime). A stamp up to 59.999 s ahead
// still counts as 0 minutes.
Verdict judge(std::int64_t age_ms, std::int32_t lifetime);

}  // namespace idstamp

#endif  // IDSTAMP_TOKEN_LAYOUT_H
