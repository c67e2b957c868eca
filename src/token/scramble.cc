#include "token/scramble.h"

namespace idstamp {

namespace {

char through(const ByteTable& table, char c) { return table[static_cast<unsigned char>(c)]; }

// One pass over mirror pairs: each byte is read once, goes through `table`
// once and is written once to its final place in `out`, which may be `in`.
// One pass rather than the reversal, the even re-exchange and the
// substitution in turn, which touches every byte three times
// (docs/performance.md).
void scramble(const char* in, std::size_t n, char* out, const ByteTable& table) {
  const std::size_t h = n / 2;
  std::size_t i = 0;
  for (; i + 1 < h; i += 2) {  // an even position and the odd one after it
    const std::size_t j = n - 1 - i;
    const char even = in[i];
    const char even_mirror = in[j];
    const char odd = in[i + 1];
    const char odd_mirror = in[j - 1];
    out[i] = through(table, even);
    out[j] = through(table, even_mirror);
    out[i + 1] = through(table, odd_mirror);
    out[j - 1] = through(table, odd);
  }
  for (; i < n - i; ++i) {  // a last even pair, and the middle of an odd length
    out[i] = through(table, in[i]);
    if (i != n - 1 - i) out[n - 1 - i] = through(table, in[n - 1 - i]);
  }
}

}  // namespace

void scramble_for_issue(char* text, std::size_t n) { scramble(text, n, text, encode_table); }

void unscramble(const char* token, std::size_t n, char* out) {
  scramble(token, n, out, decode_table);
}

// Below n / 2 the odd positions come from their mirrors; on the mirror side,
// the positions whose mirror is odd; the middle of an odd length stays.
void unscramble_range(const char* token, std::size_t n, std::size_t from, std::size_t to,
                      char* out) {
  const ByteTable& t = decode_table;
  const std::size_t half = n / 2;
  const std::size_t mirrors = n - half;
  std::size_t p = from;
  const std::size_t low_end = to < half ? to : half;
  if (p < low_end && (p & 1) != 0) {
    *out++ = through(t, token[n - 1 - p]);
    ++p;
  }
  for (; p + 1 < low_end; p += 2, out += 2) {  // p even, p + 1 odd
    const char even = token[p];
    const char odd = token[n - 2 - p];
    out[0] = through(t, even);
    out[1] = through(t, odd);
  }
  if (p < low_end) *out++ = through(t, token[p++]);
  for (; p < to && p < mirrors; ++p) *out++ = through(t, token[p]);
  if (p < to && ((n - 1 - p) & 1) == 0) *out++ = through(t, token[p++]);
  for (; p + 1 < to; p += 2, out += 2) {  // mirror of p odd, of p + 1 even
    const char from_mirror = token[n - 1 - p];
    const char stays = token[p + 1];
    out[0] = through(t, from_mirror);
    out[1] = through(t, stays);
  }
  if (p < to) *out = through(t, token[n - 1 - p]);
}

}  // namespace idstamp
