// The token core: issuing into a buffer the caller owns, and checking a token
// where it lies into a report of fixed size. Nothing here allocates or
// throws, and the clock is read only through the Clock a caller passes; the
// C++ and C interfaces and the programs are thin layers over it.
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

#include "idstamp/date_ticks.h"
#include "idstamp/token_format.h"

namespace idstamp {

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
  std::uint32_t now = 0;      // the year stamp it was judged against
  std::int64_t age_ms = 0;    // now - stamp, modulo 2^64, read as signed
  DateTicks clock_ticks = 0;  // what the clock read, when `when` named one
};

// A reading of the local date-time: local_now_ticks, or a fixed moment in
// tests.
using Clock = DateTicks (*)();

// The year stamp a token is judged at: `stamp`, or when `clock` is set, the
// year stamp of what it reads. The clock is a plain function pointer so
// that it is read only once a token has parsed, and at most once.
struct When {
  Clock clock = nullptr;
  std::uint32_t stamp = 0;
};

inline constexpr When at_stamp(std::uint32_t stamp) { return {nullptr, stamp}; }
inline constexpr When by_clock(Clock clock) { return {clock, 0}; }

// Checks `token` for `lifetime` minutes: unscrambles and parses it where it
// lies, writing its id and a terminating zero into id[0, max_id_length],
// and when it parses judges it at `when`. It is fresh while its whole
// minutes of age, counted toward zero, lie in [0, lifetime), so a stamp up
// to 59.999 s ahead still counts as 0. A token that does not parse leaves
// `check` saying why, and the clock unread. `clock_ticks` holds what a clock
// read, for a caller that shows the local time it judged at.
void check_token(std::string_view token, std::int32_t lifetime, When when, char* id, Check& check);

}  // namespace idstamp

#endif  // IDSTAMP_CORE_H
