// The scramble transform and the digit maps behind every token.
#ifndef IDSTAMP_SCRAMBLE_H
#define IDSTAMP_SCRAMBLE_H

#include <array>
#include <string>

namespace idstamp {

// Entry d holds the character that replaces the digit d.
using DigitMap = std::array<char, 10>;

// The digit map this library was built with. Tokens pass between two builds
// only when both use the same map; checking uses its inverse.
DigitMap encode_map();

// The three steps of the scramble transform, on a text of n bytes, h = n / 2.
// R: exchange positions i and n - 1 - i for every i < h.
void reverse_step(std::string& text);
// E: exchange positions i and n - 1 - i for every even i < h.
void even_step(std::string& text);
// S: replace each byte '0' to '9' by map[byte - '0'].
void substitute_step(std::string& text, const DigitMap& map);

// R, E, S with the encoding map; and its inverse S, E, R with the decoding
// map, done in one pass each.
void scramble_for_issue(std::string& text);
void scramble_for_check(std::string& text);

}  // namespace idstamp

#endif  // IDSTAMP_SCRAMBLE_H
