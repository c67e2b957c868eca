// The facts of the token format that every layer shares: the verdicts a
// checker gives and their names, the longest id and token, and the lifetime
// a token is checked against unless the caller says otherwise.
// docs/token-format.md describes the format in full.
#ifndef IDSTAMP_TOKEN_FORMAT_H
#define IDSTAMP_TOKEN_FORMAT_H

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace idstamp {

// Ids are 1 to 999 bytes, none of them zero.
inline constexpr std::size_t max_id_length = 999;

// The longest token: a length field, the longest id, ten stamp digits.
inline constexpr std::size_t max_token_length = 3 + max_id_length + 10;

// Minutes a token stays fresh when the caller names no lifetime.
inline constexpr std::int32_t default_lifetime = 30;

// What a checker makes of a token.
enum class Verdict {
  fresh,      // 0 <= whole minutes since the stamp < lifetime
  expired,    // whole minutes since the stamp >= lifetime
  ahead,      // stamped a minute or more ahead of the clock
  malformed,  // not a token
};

inline constexpr std::string_view verdict_name(Verdict verdict) {
  switch (verdict) {
    case Verdict::fresh:
      return "fresh";
    case Verdict::expired:
      return "expired";
    case Verdict::ahead:
      return "ahead";
    case Verdict::malformed:
      break;
  }
  return "malformed";
}

}  // namespace idstamp

#endif  // IDSTAMP_TOKEN_FORMAT_H
