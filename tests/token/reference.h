// The token format step by step, as docs/token-format.md describes it: the
// oracle that the one-pass code in src/token is held to.
#ifndef IDSTAMP_TESTS_REFERENCE_H
#define IDSTAMP_TESTS_REFERENCE_H

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "token/core.h"
#include "token/digit_maps.h"

namespace idstamp::reference {

// R: exchange positions i and n - 1 - i for every i < n / 2.
inline void reverse_step(std::string& t) {
  for (std::size_t i = 0; i < t.size() / 2; ++i) std::swap(t[i], t[t.size() - 1 - i]);
}

// E: the same for every even i < n / 2.
inline void even_step(std::string& t) {
  for (std::size_t i = 0; i < t.size() / 2; i += 2) std::swap(t[i], t[t.size() - 1 - i]);
}

// S: each digit d becomes map[d].
inline void substitute_step(std::string& t, std::string_view map) {
  for (char& c : t)
    if (c >= '0' && c <= '9') c = map[static_cast<std::size_t>(c - '0')];
}

inline std::string inverse(std::string_view map) {
  std::string inv(10, '?');
  for (std::size_t d = 0; d < 10; ++d)
    inv[static_cast<std::size_t>(map[d] - '0')] = static_cast<char>('0' + d);
  return inv;
}

// Issuing runs R, E, S; checking runs S with the inverse map, E, R.
inline std::string scrambled(std::string plain) {
  reverse_step(plain);
  even_step(plain);
  substitute_step(plain, digit_map);
  return plain;
}

inline std::string plain_of(std::string token) {
  substitute_step(token, inverse(digit_map));
  even_step(token);
  reverse_step(token);
  return token;
}

// The id and stamp a token carries, through the core's reading.
inline std::optional<std::pair<std::string, std::int64_t>> contents(std::string_view token) {
  char id[max_id_length + 1];
  Check check;
  check_token(token, default_lifetime, at_stamp(0), id, check);
  if (!check.parsed) return std::nullopt;
  return std::make_pair(std::string(id, check.id_length), check.stamp);
}

}  // namespace idstamp::reference

#endif  // IDSTAMP_TESTS_REFERENCE_H
