#include "cli/inspect.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "token/scramble.h"
#include "token/token_codec.h"

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
  const InspectOutput out = run_inspect({token}, now);
  EXPECT_EQ(out.out,
            "id        tab\\x09here \\\\ \\xc3\\xa9\n"
            "stamp     411135473, 2021-10-31 00:28:59.249 local time\n"
            "now       411196474, 2021-10-31 00:30:00.250 local time\n"
            "age       1 min 1.001 s\n"
            "lifetime  30 min\n"
            "verdict   fresh\n");
  EXPECT_EQ(out.err, "");
  EXPECT_EQ(out.status, 0);

  const InspectOutput ahead = run_inspect({*crypt_id("A", now_stamp + 60'000)}, now);
  EXPECT_NE(ahead.out.find("age       -1 min 0.000 s\n"), std::string::npos) << ahead.out;
  EXPECT_NE(ahead.out.find("verdict   ahead\n"), std::string::npos);
  EXPECT_EQ(ahead.status, 1);

  // The stamp names a moment in the clock's own cycle of the year stamp...
  const InspectOutput old = run_inspect({"-t", "2147483647", *crypt_id("A", 0)}, now);
  EXPECT_NE(old.out.find("stamp     0, 2021-10-26 06:16:43.776 local time"), std::string::npos)
      << old.out;
  // ... which for a stamp no issuer writes may lie outside this year.
  std::string forged = "003ABC-100000";
  scramble_for_issue(forged);
  const InspectOutput early =
      run_inspect({forged}, ticks_from_parts(2021, 1, 1, 0, 0, 1, 0));  // stamp 1000
  EXPECT_NE(early.out.find("stamp     -100000, not within this year\n"), std::string::npos)
      << early.out;
}

TEST(RunInspect, Malformed) {
  const InspectOutput out = run_inspect({"-t", "10", "--", "-c"}, now);
  EXPECT_EQ(out.out, "lifetime  10 min\nverdict   malformed: too short\n");
  EXPECT_EQ(out.status, 1);
  EXPECT_EQ(run_inspect({""}, now).out, "lifetime  30 min\nverdict   malformed: too short\n");
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
    const InspectOutput out = run_inspect({"--json", *crypt_id(c.id, now_stamp - 5)}, now);
    EXPECT_EQ(out.out, R"({"verdict": "fresh", "id_hex": ")" + hex + "\"" + c.json_id +
                           R"(, "stamp": 411196469, "now": 411196474, "age_ms": 5, )"
                           R"("lifetime": 30, "reason": null})"
                           "\n");
  }
  EXPECT_EQ(run_inspect({"--json", "-t", "1", "ab"}, now).out,
            R"({"verdict": "malformed", "id_hex": null, "stamp": null, "now": null, )"
            R"("age_ms": null, "lifetime": 1, "reason": "too short"})"
            "\n");
}

TEST(RunInspect, UsageHelpVersion) {
  for (const Args& args : {Args{}, Args{"-x", "T"}, Args{"-t", "0", "T"}, Args{"T", "U"}}) {
    const InspectOutput out = run_inspect(args, now);
    EXPECT_EQ(out.out, "");
    EXPECT_EQ(out.err, inspect_usage_text);
    EXPECT_EQ(out.status, 2);
  }
  const InspectOutput help = run_inspect({"--help"}, now);
  EXPECT_EQ(help.out.substr(0, inspect_usage_text.size()), inspect_usage_text);
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(run_inspect({"--version"}, now).out.substr(0, 16), "idstamp-inspect ");
  EXPECT_EQ(run_inspect({"--help", "T"}, now).status, 2);
}

}  // namespace
}  // namespace idstamp
