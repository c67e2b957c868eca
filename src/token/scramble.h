// The scramble transform: each odd position i below n / 2 trades places with
// its mirror n - 1 - i, and every digit goes through a digit map. Even
// positions below n / 2, their mirrors and the middle byte of an odd length
// stay where they are. The exchange is its own inverse and commutes with the
// digit maps, so checking undoes issuing with the inverse map.
#ifndef IDSTAMP_SCRAMBLE_H
#define IDSTAMP_SCRAMBLE_H

#include <cstddef>

#include "token/digit_maps.h"

namespace idstamp {

// Scrambles the plain token text[0, n) in place for issuing.
void scramble_for_issue(char* text, std::size_t n);

// Writes the plain token of the n-byte token into out[0, n).
void unscramble(const char* token, std::size_t n, char* out);

// Writes plain-token bytes [from, to) of the n-byte token into out, without
// changing or copying the token itself.
void unscramble_range(const char* token, std::size_t n, std::size_t from, std::size_t to,
                      char* out);

}  // namespace idstamp

#endif  // IDSTAMP_SCRAMBLE_H
