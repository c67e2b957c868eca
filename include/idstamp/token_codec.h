// Short-lived scrambled tokens.
//
// A token carries an id of 1 to 999 bytes (none of them zero) and the year
// stamp of its issue, with its bytes shuffled and its digits replaced. It is
// accepted while 0 <= whole minutes since its stamp < lifetime, counting
// minutes toward zero, so a stamp up to 59.999 s ahead of the clock still
// counts as 0. docs/token-format.md describes the format in full.
//
// Tokens are scrambled, not encrypted: anyone who knows the digit map can
// read and forge them.
#ifndef IDSTAMP_TOKEN_CODEC_H
#define IDSTAMP_TOKEN_CODEC_H

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "idstamp/export.h"
#include "idstamp/token_format.h"

namespace idstamp {

// Issue a token for `id` at year stamp `stamp`; nothing for an empty id, an
// id of more than max_id_length bytes, an id holding a zero byte, or when
// memory runs out.
IDSTAMP_EXPORT std::optional<std::string> crypt_id(std::string_view id, std::uint32_t stamp);

// The id a token carries when it is fresh at year stamp `now` for a lifetime
// of `lifetime` minutes, else nothing. A lifetime of 0 or less accepts none.
IDSTAMP_EXPORT std::optional<std::string> decrypt_id(std::string_view token, std::int32_t lifetime,
                                                     std::uint32_t now);

// The same, reading the local clock: crypt_id once per token, decrypt_id
// only for a token that has passed every other check.
IDSTAMP_EXPORT std::optional<std::string> crypt_id(std::string_view id);
IDSTAMP_EXPORT std::optional<std::string> decrypt_id(std::string_view token, std::int32_t lifetime);

// What a checker makes of a token is a Verdict (idstamp/token_format.h);
// decrypt_id gives the id exactly when the verdict is fresh.
struct TokenReport {
  Verdict verdict = Verdict::malformed;
  // Why a malformed token is malformed ("too short", "bad length field",
  // "no stamp", "zero byte in the id", "bad stamp"); empty otherwise.
  std::string_view reason;
  // What the token carries, when it parses: the id, and the stamp as
  // written, which may be a value no issued token holds.
  std::optional<std::string> id;
  std::optional<std::int64_t> stamp;
  // When the token parses: the year stamp it was judged against, and
  // now - stamp in milliseconds (modulo 2^64, read as signed).
  std::optional<std::uint32_t> now;
  std::optional<std::int64_t> age_ms;
};

// The verdict on `token` for a lifetime of `lifetime` minutes at year stamp
// `now`, with what could be read from it. Throws std::bad_alloc when memory
// runs out, the one failure that says nothing about the token.
IDSTAMP_EXPORT TokenReport inspect_token(std::string_view token, std::int32_t lifetime,
                                         std::uint32_t now);

// The same, reading the local clock only for a token that parses.
IDSTAMP_EXPORT TokenReport inspect_token(std::string_view token, std::int32_t lifetime);

}  // namespace idstamp

#endif  // IDSTAMP_TOKEN_CODEC_H
