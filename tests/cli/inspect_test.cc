#include "cli/inspect.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "idstamp/token_codec.h"
#include "idstamp/version.h"
#include "token/reference.h"

namespace idstamp {
namespace {

using namespace std::string_literals;
using Args = std::vector<std::string_view>;

TEST(ScanInspectArguments, Grammar) {
  const struct {
    Args args;
    std::optional<std::string_view> token;  // nothing for a usage error
    std::int32_t lifetime;
    bool json;
  } cases[] = {
      {{"T"}, "T", 30, false},
      {{"--json", "T"}, "T", 30, true},
      {{"-t", "5", "--json", "T"}, "T", 5, true},
      {{"--json", "-t", "+7", "T"}, "T", 7, true},
      {{"-t", "5", "-t", "6", "T"}, "T", 6, false},
      {{"--", "-c"}, "-c", 30, false},
      {{"--json", "--", "--json"}, "--json", 30, true},
      {{""}, "", 30, false},
      {{"--", ""}, "", 30, false},
      {{"-t", "99999999999", "T"}, "T", 2147483647, false},
      // Usage errors.
      {{}, {}, 30, false},
      {{"--json"}, {}, 30, false},
      {{"--"}, {}, 30, false},
      {{"-c"}, {}, 30, false},
      {{"-t", "5"}, {}, 30, false},
      {{"-t"}, {}, 30, false},
      {{"-t", "0", "T"}, {}, 30, false},
      {{"-t", "-5", "T"}, {}, 30, false},
      {{"-t", "5x", "T"}, {}, 30, false},
      {{"-t", "", "T"}, {}, 30, false},
      {{"T", "--json"}, {}, 30, false},
      {{"T", "U"}, {}, 30, false},
      {{"--", "T", "U"}, {}, 30, false},
  };
  for (const auto& c : cases) {
    const std::optional<InspectSettings> s = scan_inspect_arguments(c.args);
    std::string described;
    for (const std::string_view a : c.args) described.append("\"").append(a).append("\" ");
    ASSERT_EQ(s.has_value(), c.token.has_value()) << described;
    if (!s) continue;
    EXPECT_EQ(s->token, *c.token) << described;
    EXPECT_EQ(s->lifetime, c.lifetime) << described;
    EXPECT_EQ(s->json, c.json) << described;
  }
}

// 2021-10-31 00:30:00.250 local time: year stamp 411196474.
const DateTicks now = ticks_from_parts(2021, 10, 31, 0, 30, 0, 250);
constexpr std::uint32_t now_stamp = 411'196'474;

TEST(RunInspect, Plain) {
  const std::string token = *crypt_id("tab\there \\ \xC3\xA9", now_stamp - 61'001);
  const InspectOutput out = run_inspect(Args{token}, now);
  EXPECT_EQ(out.out.view(),
            "id        tab\\x09here \\\\ \\xc3\\xa9\n"
            "stamp     411135473, 2021-10-31 00:28:59.249 local time\n"
            "now       411196474, 2021-10-31 00:30:00.250 local time\n"
            "age       1 min 1.001 s\n"
            "lifetime  30 min\n"
            "verdict   fresh\n");
  EXPECT_EQ(out.err, "");
  EXPECT_EQ(out.status, 0);

  const InspectOutput ahead = run_inspect(Args{*crypt_id("A", now_stamp + 60'000)}, now);
  EXPECT_NE(ahead.out.view().find("age       -1 min 0.000 s\n"), std::string::npos)
      << ahead.out.view();
  EXPECT_NE(ahead.out.view().find("verdict   ahead\n"), std::string::npos);
  EXPECT_EQ(ahead.status, 1);

  // The stamp names a moment in the clock's own cycle of the year stamp...
  const InspectOutput old = run_inspect(Args{"-t", "2147483647", *crypt_id("A", 0)}, now);
  EXPECT_NE(old.out.view().find("stamp     0, 2021-10-26 06:16:43.776 local time"),
            std::string::npos)
      << old.out.view();
  // ... which for a stamp no issuer writes may lie outside this year.
  const std::string forged = reference::scrambled("003ABC-100000");
  const InspectOutput early =
      run_inspect(Args{forged}, ticks_from_parts(2021, 1, 1, 0, 0, 1, 0));  // stamp 1000
  EXPECT_NE(early.out.view().find("stamp     -100000, not within this year\n"), std::string::npos)
      << early.out.view();
}

TEST(RunInspect, Malformed) {
  const InspectOutput out = run_inspect(Args{"-t", "10", "--", "-c"}, now);
  EXPECT_EQ(out.out.view(), "lifetime  10 min\nverdict   malformed: too short\n");
  EXPECT_EQ(out.status, 1);
  EXPECT_EQ(run_inspect(Args{""}, now).out.view(),
            "lifetime  30 min\nverdict   malformed: too short\n");
}

TEST(RunInspect, Json) {
  const struct {
    std::string id;
    std::string json_id;  // the "id" member, or empty when there is none
  } cases[] = {
      {"ABC", R"(, "id": "ABC")"},
      {"say \"hi\"\\\n", R"(, "id": "say \"hi\"\\\u000a")"},
      {"caf\xC3\xA9", ", \"id\": \"caf\xC3\xA9\""},
      {"\xF0\x9F\x98\x80", ", \"id\": \"\xF0\x9F\x98\x80\""},
      // Not UTF-8: a lone continuation, an overlong form, a surrogate, past
      // U+10FFFF, a cut sequence.
      {"\x80", ""},
      {"\xC0\xAF", ""},
      {"\xED\xA0\x80", ""},
      {"\xF4\x90\x80\x80", ""},
      {"caf\xC3", ""},
  };
  for (const auto& c : cases) {
    std::string hex;
    for (const char b : c.id) {
      char pair[3];
      (void)std::snprintf(pair, sizeof pair, "%02x", static_cast<unsigned char>(b));
      hex += pair;
    }
    const InspectOutput out = run_inspect(Args{"--json", *crypt_id(c.id, now_stamp - 5)}, now);
    EXPECT_EQ(out.out.view(), R"({"verdict": "fresh", "id_hex": ")" + hex + "\"" + c.json_id +
                                  R"(, "stamp": 411196469, "now": 411196474, "age_ms": 5, )"
                                  R"("lifetime": 30, "reason": null})"
                                  "\n");
  }
  EXPECT_EQ(run_inspect(Args{"--json", "-t", "1", "ab"}, now).out.view(),
            R"({"verdict": "malformed", "id_hex": null, "stamp": null, "now": null, )"
            R"("age_ms": null, "lifetime": 1, "reason": "too short"})"
            "\n");
}

TEST(RunInspect, UsageHelpVersion) {
  for (const Args& args : {Args{}, Args{"-x", "T"}, Args{"-t", "0", "T"}, Args{"T", "U"}}) {
    const InspectOutput out = run_inspect(args, now);
    EXPECT_EQ(out.out.view(), "");
    EXPECT_EQ(out.err, inspect_usage_text);
    EXPECT_EQ(out.status, 2);
  }
  const InspectOutput help = run_inspect(Args{"--help"}, now);
  EXPECT_EQ(help.out.view().substr(0, inspect_usage_text.size()), inspect_usage_text);
  for (const char* option : {"-t MINUTES", "--json", "--", "Exit status"})
    EXPECT_NE(help.out.view().find(option, inspect_usage_text.size()), std::string::npos) << option;
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(run_inspect(Args{"--version"}, now).out.view(),
            "idstamp-inspect " IDSTAMP_VERSION_STRING "\n");
  EXPECT_EQ(run_inspect(Args{"--help", "T"}, now).status, 2);
}

// An independent reading of UTF-8: decode each sequence to its code point,
// then ask whether that code point needs exactly this many bytes and is a
// scalar value.
bool decodes_as_utf8(std::string_view text) {
  static constexpr std::uint32_t least[4] = {0, 0x80, 0x800, 0x10000};
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const std::size_t more = lead < 0x80           ? 0
                             : (lead >> 5) == 0x6  ? 1
                             : (lead >> 4) == 0xE  ? 2
                             : (lead >> 3) == 0x1E ? 3
                                                   : 4;
    if (more == 4 || text.size() - i - 1 < more) return false;
    std::uint32_t code = lead & (0x7Fu >> more);
    for (std::size_t k = 1; k <= more; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next >> 6) != 0x2) return false;
      code = code << 6 | (next & 0x3Fu);
    }
    if (code < least[more] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
    i += 1 + more;
  }
  return true;
}

// Every text of one to three bytes, and every four-byte sequence with a lead
// byte of F0 to F7.
TEST(IsUtf8, AgreesWithDecodingEveryShortText) {
  std::string text;
  const auto agree = [&text] { return is_utf8(text) == decodes_as_utf8(text); };
  std::size_t disagreements = 0;
  for (std::size_t size = 1; size <= 3; ++size) {
    text.assign(size, '\0');
    for (std::uint32_t n = 0; n < (1u << (8 * size)); ++n) {
      for (std::size_t k = 0; k < size; ++k) text[k] = static_cast<char>(n >> (8 * k) & 0xFF);
      if (!agree()) ++disagreements;
    }
  }
  for (std::uint32_t n = 0; n < (8u << 18); ++n) {
    text = {static_cast<char>(0xF0 + (n >> 18)), static_cast<char>(0x80 | (n >> 12 & 0x3F)),
            static_cast<char>(0x80 | (n >> 6 & 0x3F)), static_cast<char>(0x80 | (n & 0x3F))};
    if (!agree()) ++disagreements;
  }
  EXPECT_EQ(disagreements, 0u);
}

}  // namespace
}  // namespace idstamp
