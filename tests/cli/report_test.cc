#include <gtest/gtest.h>

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

#include "cli/inspect_report.h"
#include "cli/utf8.h"

namespace idstamp {
namespace {

// The escapes of the reports, written a byte at a time as a person would.
std::string hex_pair(unsigned char b) {
  char pair[3];
  (void)std::snprintf(pair, sizeof pair, "%02x", b);
  return pair;
}

std::string escaped_oracle(std::string_view bytes) {
  std::string out;
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    if (b == '\\') {
      out += "\\\\";
    } else if (b >= 0x20 && b < 0x7F) {
      out += c;
    } else {
      out += "\\x" + hex_pair(b);
    }
  }
  return out;
}

std::string json_string_oracle(std::string_view text) {
  std::string out = "\"";
  for (const char c : text) {
    const auto b = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += {'\\', c};
    } else if (b < 0x20) {
      out += "\\u00" + hex_pair(b);
    } else {
      out += c;
    }
  }
  return out + "\"";
}

Check parsed_check(std::int64_t age) {
  Check c;
  c.verdict = Verdict::expired;
  c.parsed = true;
  c.stamp = 411'196'474 - age;
  c.now = 411'196'474;
  c.age_ms = age;
  return c;
}

// Every byte value at every place of ASCII ids whose lengths fall on either
// side of the eight-byte steps the escaping takes, and two such bytes apart:
// the batch line and the JSON object against escapes made a byte at a time.
TEST(Reports, EscapeEveryByteAnywhere) {
  const Check check = parsed_check(61'001);
  std::size_t disagreements = 0;
  constexpr std::size_t lengths[] = {1, 2, 7, 8, 9, 15, 16, 17, 23, 24, 25};
  for (const std::size_t length : lengths) {
    for (std::size_t at = 0; at < length; ++at) {
      for (unsigned byte = 1; byte < 256; ++byte) {
        std::string id(length, 'a');
        for (std::size_t k = 0; k < length; ++k) id[k] = static_cast<char>('!' + (k * 7) % 94);
        id[at] = static_cast<char>(byte);
        if (byte % 16 == 0) id[(at + 9) % length] = static_cast<char>(0xFF - byte);
        BatchText line;
        tab_report(line, check, id, 7);
        if (line.view() != "7\texpired\t61001\t" + escaped_oracle(id) + "\n") ++disagreements;

        std::string hex;
        for (const char b : id) hex += hex_pair(static_cast<unsigned char>(b));
        const std::string json_id = is_utf8(id) ? ", \"id\": " + json_string_oracle(id) : "";
        Report json;
        json_report(json, check, id, 30, std::nullopt);
        if (json.view() != "{\"verdict\": \"expired\", \"id_hex\": \"" + hex + "\"" + json_id +
                               ", \"stamp\": 411135473, \"now\": 411196474, \"age_ms\": 61001, "
                               "\"lifetime\": 30, \"reason\": null}\n")
          ++disagreements;
      }
    }
  }
  EXPECT_EQ(disagreements, 0u);
}

// Each verdict of a token that parsed names itself in its batch line, and in
// its JSON object, with a line number and without, in a batch and alone.
TEST(Reports, EachVerdictNamesItself) {
  for (const Verdict v : {Verdict::fresh, Verdict::expired, Verdict::ahead, Verdict::malformed}) {
    Check c = parsed_check(-5);
    c.verdict = v;
    const std::string fields = "\"verdict\": \"" + std::string(verdict_name(v)) +
                               "\", \"id_hex\": \"6964\", \"id\": \"id\", \"stamp\": "
                               "411196479, \"now\": 411196474, \"age_ms\": -5, \"lifetime\": 9, "
                               "\"reason\": null}\n";
    Report alone;
    json_report(alone, c, "id", 9, std::nullopt);
    EXPECT_EQ(alone.view(), "{" + fields);
    BatchReports reports(true, 9);
    BatchText batch;
    reports.add(batch, c, "id", 12);
    EXPECT_EQ(batch.view(), "{\"line\": 12, " + fields);
    BatchText line;
    tab_report(line, c, "i\\d", 12);
    EXPECT_EQ(line.view(), "12\t" + std::string(verdict_name(v)) + "\t-5\ti\\\\d\n");
  }
}

// A batch's results, with the line number counted up in its text and `now`
// kept, equal each token's report written afresh: across carries (9, 99,
// 999 to the next power of ten), jumps back to fewer digits (whose carry must
// stop short of the nines a longer number left) and forward again, the
// largest numbers, and a `now` that changes or stays.
TEST(Reports, BatchKeepsNumbersAsTextExactly) {
  std::vector<std::uint64_t> lines;
  for (std::uint64_t n = 1; n <= 1'002; ++n) lines.push_back(n);
  constexpr std::uint64_t jumps[] = {5, 6, 9, 10, 11, 99, 100, 999, 8, 9, 10, 11};
  for (const std::uint64_t n : jumps) lines.push_back(n);
  for (std::uint64_t n = UINT64_MAX - 2; n != 0; ++n) lines.push_back(n);
  lines.push_back(0);
  lines.push_back(1);
  const Check malformed;  // too short, as the core leaves it
  for (const bool json : {false, true}) {
    BatchReports reports(json, 1'440);
    BatchText out;
    std::size_t disagreements = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
      Check c = i % 5 == 4 ? malformed : parsed_check(static_cast<std::int64_t>(i) - 600);
      c.now = 411'196'474 + static_cast<std::uint32_t>(i / 3 % 4);  // some runs of one now
      BatchText single;
      if (json) {
        json_report(single, c, "id", 1'440, lines[i]);
      } else {
        tab_report(single, c, "id", lines[i]);
      }
      out.clear();
      reports.add(out, c, "id", lines[i]);
      if (out.view() != single.view()) ++disagreements;
    }
    EXPECT_EQ(disagreements, 0u) << json;
  }
}

// Numbers against to_chars, for each width of integer: each power of ten and
// its neighbours (those of up to eight digits, and of nine or ten, take paths
// of their own), the extremes, and a text too full for the longest number.
template <class Integer>
std::size_t number_disagreements() {
  using limits = std::numeric_limits<Integer>;
  std::vector<Integer> values = {limits::min(), limits::max(), 0};
  for (std::uint64_t p = 1; p <= limits::max() / 10; p *= 10) {
    for (const std::uint64_t v : {p * 10 - 1, p * 10, p * 10 + 1, p * 10 + p / 3}) {
      values.push_back(static_cast<Integer>(v));
      if (limits::is_signed) values.push_back(static_cast<Integer>(0 - static_cast<Integer>(v)));
    }
  }
  // Every number of up to three digits, and of each sign: the leading zeros
  // that shorter numbers drop.
  for (int v = 0; v <= 1'000; ++v) {
    values.push_back(static_cast<Integer>(v));
    if (limits::is_signed) values.push_back(static_cast<Integer>(-v));
  }
  std::size_t disagreements = 0;
  for (const Integer v : values) {
    char want[24];
    const std::string_view digits(
        want, static_cast<std::size_t>(std::to_chars(want, want + sizeof want, v).ptr - want));
    FixedText<40> roomy;
    FixedText<24> tight;  // two bytes in: 22 left, above the 20 of the in-place path
    FixedText<24> full;   // 19 left
    tight.append("<<");
    full.append("12345");
    if (roomy.number(v).view() != digits || tight.number(v).view().substr(2) != digits)
      ++disagreements;
    full.number(v);
    if (full.view() != std::string("12345") + std::string(digits).substr(0, 19)) ++disagreements;
    if (full.cut() != (digits.size() > 19)) ++disagreements;
  }
  return disagreements;
}

TEST(FixedText, NumbersAsToChars) {
  EXPECT_EQ(number_disagreements<std::int32_t>(), 0u);
  EXPECT_EQ(number_disagreements<std::uint32_t>(), 0u);
  EXPECT_EQ(number_disagreements<std::int64_t>(), 0u);
  EXPECT_EQ(number_disagreements<std::uint64_t>(), 0u);
}

// ASCII before a sequence, read eight bytes at a time, changes nothing: each
// two-byte text, and a cut or whole sequence of three and four, after every
// length of ASCII up to 17 bytes, and the same texts placed at every length.
TEST(IsUtf8, AsciiRunsChangeNothing) {
  std::vector<std::string> texts = {
      "", "\xE2\x82", "\xE2\x82\xAC", "\xF0\x9F\x98", "\xF0\x9F\x98\x80", "\xED\xA0\x80"};
  for (unsigned n = 0; n < 0x10000; ++n)
    texts.push_back({static_cast<char>(n >> 8), static_cast<char>(n)});
  std::size_t disagreements = 0;
  for (std::size_t ascii = 0; ascii <= 17; ++ascii) {
    for (const std::string& text : texts) {
      const std::string before = std::string(ascii, 'a') + text;
      const std::string after = text + std::string(ascii, 'a');
      if (is_utf8(before) != is_utf8(text) || is_utf8(after) != is_utf8(text)) ++disagreements;
    }
  }
  EXPECT_EQ(disagreements, 0u);
}

}  // namespace
}  // namespace idstamp
