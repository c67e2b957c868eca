// Short-lived scrambled tokens.
//
// A plain token is three fields back to back:
//
//   length   three decimal digits, the id's length in bytes, zero-padded
//   id       the id's bytes, unchanged
//   stamp    the year stamp at issue, unsigned decimal with no leading zeros
//
// A token is its plain token after the scramble transform: each odd position
// i below n / 2 trades places with its mirror n - 1 - i, and every digit is
// replaced through encode_map. Checking undoes this with decode_map.
//
// Tokens are scrambled, not encrypted: anyone who knows the digit map can
// read and forge them.
#ifndef IDSTAMP_TOKEN_CODEC_H
#define IDSTAMP_TOKEN_CODEC_H

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace idstamp {

// Entry d holds the character that replaces the digit d.
using DigitMap = std::array<char, 10>;

// The digit maps this library was built with. Tokens pass between two builds
// only when both use the same maps.
DigitMap encode_map();
DigitMap decode_map();

// The three steps of the scramble transform, on a text of n bytes, h = n / 2.
// R: exchange positions i and n - 1 - i for every i < h.
void reverse_step(std::string& text);
// E: exchange positions i and n - 1 - i for every even i < h.
void even_step(std::string& text);
// S: replace each byte '0' to '9' by map[byte - '0'].
void substitute_step(std::string& text, const DigitMap& map);

// R, E, S with encode_map; and its inverse S, E, R with decode_map.
void scramble_for_issue(std::string& text);
void scramble_for_check(std::string& text);

// Ids are 1 to 999 bytes, none of them zero.
inline constexpr std::size_t max_id_length = 999;

// The plain token of an id issued at `stamp`, or nothing for an invalid id.
std::optional<std::string> plain_token(std::string_view id, std::uint32_t stamp);

// What a token carries. The stamp is as read from the token, which may hold
// values no issued token has.
struct TokenContents {
  std::string id;
  std::int64_t stamp;
};

// Unscrambles and parses a token without looking at its age, or nothing
// when it is malformed.
std::optional<TokenContents> read_token(std::string_view token);

// Whether a token stamped `stamp` is younger than `lifetime` minutes when the
// year stamp reads `now`: 0 <= whole minutes elapsed < lifetime, counting
// minutes toward zero, so a stamp up to 59.999 s ahead still counts as 0.
bool is_fresh(std::int64_t stamp, std::int32_t lifetime, std::uint32_t now);

// Issue a token for `id` at year stamp `stamp`; nothing for an empty id, an
// id of more than max_id_length bytes, an id holding a zero byte, or when
// memory runs out.
std::optional<std::string> crypt_id(std::string_view id, std::uint32_t stamp);

// The id a token carries when it is fresh at year stamp `now`, else nothing.
std::optional<std::string> decrypt_id(std::string_view token, std::int32_t lifetime,
                                      std::uint32_t now);

// The same, reading the local clock: crypt_id once per token, decrypt_id
// only for a token that has passed every other check.
std::optional<std::string> crypt_id(std::string_view id);
std::optional<std::string> decrypt_id(std::string_view token, std::int32_t lifetime);

}  // namespace idstamp

#endif  // IDSTAMP_TOKEN_CODEC_H
