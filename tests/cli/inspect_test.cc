#include "cli/inspect.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "cli/inspect_args.h"
#include "cli/inspect_batch.h"
#include "cli/utf8.h"
#include "idstamp/token_codec.h"
#include "idstamp/version.h"
#include "time/calendar.h"
#include "token/reference.h"

namespace idstamp {
namespace {

using namespace std::string_literals;
using Args = std::vector<std::string_view>;

// 2021-10-31 00:30:00.250 local time: year stamp 411196474.
const DateTicks now = ticks_from_parts(2021, 10, 31, 0, 30, 0, 250);
constexpr std::uint32_t now_stamp = 411'196'474;
constexpr std::string_view now_text = "2021-10-31 00:30:00.250";

TEST(ScanInspectArguments, Grammar) {
  const struct {
    Args args;
    std::optional<std::string_view> token;  // nothing for a usage error
    std::int32_t lifetime;
    bool json;
    bool batch = false;
    bool zero_ends = false;
    std::string_view at = {};  // as given, or for a bad value; no text for none
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
      {{"-t", "9223372036854775808", "T"}, "T", 2147483647, false},
      {{"--at", now_text, "T"}, "T", 30, false, false, false, now_text},
      {{"-z", "--json", "--batch", "--"}, "", 30, true, true, true},
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
      {{"--at", "T"}, {}, 30, false, false, false, "T"},
      {{"T", "--at", now_text}, {}, 30, false},
      {{"--batch", "T"}, {}, 30, false},
      {{"-z", "T"}, {}, 30, false},
      {{"--moments", "T"}, {}, 30, false},
      {{"--summary", "T"}, {}, 30, false},
      {{"--batch", "--moments", "--at", now_text}, {}, 30, false},
      {{"--batch", "--moments", "--log", "clf", "--param", "t"}, {}, 30, false},
      {{"--batch", "--log", "clf"}, {}, 30, false},
      {{"--batch", "--param", "t"}, {}, 30, false},
      {{"--batch", "--log", "json", "--param", "t"}, {}, 30, false},
      {{"--batch", "--log"}, {}, 30, false},
      {{"--batch", "--at", now_text, "--log", "clf", "--param", "t"}, {}, 30, false},
  };
  for (const auto& c : cases) {
    const ScannedArguments scanned = scan_inspect_arguments(c.args);
    const std::optional<InspectSettings>& s = scanned.settings;
    std::string described;
    for (const std::string_view a : c.args) described.append("\"").append(a).append("\" ");
    ASSERT_EQ(s.has_value(), c.token.has_value()) << described;
    EXPECT_EQ(scanned.error == UsageError::none, s.has_value()) << described;
    if (!s) {  // a --at value that names no moment is the argument at fault
      if (!c.at.empty()) {
        EXPECT_EQ(scanned.argument.data(), c.at.data()) << described;
      }
      continue;
    }
    EXPECT_EQ(s->token, *c.token) << described;
    EXPECT_EQ(s->lifetime, c.lifetime) << described;
    EXPECT_EQ(s->json, c.json) << described;
    EXPECT_EQ(s->batch, c.batch) << described;
    EXPECT_EQ(s->zero_ends, c.zero_ends) << described;
    EXPECT_EQ(s->at, c.at.empty() ? std::nullopt : read_moment(c.at)) << described;
  }
}

// The clock of a test: reads `reading`, and counts how often it is read.
DateTicks reading = now;
int clock_reads = 0;
DateTicks test_clock() {
  ++clock_reads;
  return reading;
}

// The streams of a single-token run, which it never uses.
class UnusedStreams final : public BatchStreams {
 public:
  std::ptrdiff_t read(char*, std::size_t) override {
    ADD_FAILURE() << "a single-token run read standard input";
    return -1;
  }
  bool write(std::string_view) override {
    ADD_FAILURE() << "a single-token run wrote through the batch's streams";
    return false;
  }
};

InspectOutput inspect(const Args& args) {
  UnusedStreams streams;
  return run_inspect(args, test_clock, streams);
}

TEST(RunInspect, Plain) {
  const std::string token = *crypt_id("tab\there \\ \xC3\xA9", now_stamp - 61'001);
  const InspectOutput out = inspect(Args{token});
  EXPECT_EQ(out.out.view(),
            "id        tab\\x09here \\\\ \\xc3\\xa9\n"
            "stamp     411135473, 2021-10-31 00:28:59.249 local time\n"
            "now       411196474, 2021-10-31 00:30:00.250 local time\n"
            "age       1 min 1.001 s\n"
            "lifetime  30 min\n"
            "verdict   fresh\n");
  EXPECT_EQ(out.err.view(), "");
  EXPECT_EQ(out.status, 0);

  const InspectOutput ahead = inspect(Args{*crypt_id("A", now_stamp + 60'000)});
  EXPECT_NE(ahead.out.view().find("age       -1 min 0.000 s\n"), std::string::npos)
      << ahead.out.view();
  EXPECT_NE(ahead.out.view().find("verdict   ahead\n"), std::string::npos);
  EXPECT_EQ(ahead.status, 1);

  // Ages zero-padded to three digits of milliseconds, at powers of ten.
  const struct {
    std::int64_t age_ms;
    std::string_view text;
  } ages[] = {
      {10'010, "10.010 s"},        {100, "0.100 s"}, {99, "0.099 s"}, {9, "0.009 s"},
      {600'000, "10 min 0.000 s"},
  };
  for (const auto& a : ages) {
    const std::string token = *crypt_id("A", static_cast<std::uint32_t>(now_stamp - a.age_ms));
    const InspectOutput out = inspect(Args{token});
    EXPECT_NE(out.out.view().find("age       " + std::string(a.text) + "\n"), std::string::npos)
        << out.out.view();
  }

  // The stamp names a moment in the clock's own cycle of the year stamp,
  // which for a stamp no issuer writes may lie outside this year: at the
  // year's first millisecond and its last, in a common year and a leap one.
  const struct {
    std::string_view at;  // 00:00:01 is year stamp 1000
    std::string stamp;
    std::string_view issued;
  } stamps[] = {
      {now_text, "0", "2021-10-26 06:16:43.776 local time"},
      {"2021-01-01 00:00:01", "0", "2021-01-01 00:00:00.000 local time"},
      {"2021-01-01 00:00:01", "-2", "not within this year"},
      {"2021-01-01 00:00:01", "31535999999", "2021-12-31 23:59:59.999 local time"},
      {"2021-01-01 00:00:01", "31536000000", "not within this year"},
      {"2024-01-01 00:00:01", "31622399999", "2024-12-31 23:59:59.999 local time"},
      {"2024-01-01 00:00:01", "31622400000", "not within this year"},
  };
  for (const auto& s : stamps) {
    const std::string token = reference::scrambled("003ABC" + s.stamp);
    const InspectOutput out = inspect(Args{"--at", s.at, token});
    EXPECT_NE(out.out.view().find("stamp     " + s.stamp + ", " + std::string(s.issued) + "\n"),
              std::string::npos)
        << out.out.view();
  }
}

TEST(RunInspect, Malformed) {
  const InspectOutput out = inspect(Args{"-t", "10", "--", "-c"});
  EXPECT_EQ(out.out.view(), "lifetime  10 min\nverdict   malformed: too short\n");
  EXPECT_EQ(out.status, 1);
  EXPECT_EQ(inspect(Args{""}).out.view(), "lifetime  30 min\nverdict   malformed: too short\n");
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
      {"ab\xE2\x82", ""},
  };
  for (const auto& c : cases) {
    std::string hex;
    for (const char b : c.id) {
      char pair[3];
      (void)std::snprintf(pair, sizeof pair, "%02x", static_cast<unsigned char>(b));
      hex += pair;
    }
    const InspectOutput out = inspect(Args{"--json", *crypt_id(c.id, now_stamp - 5)});
    EXPECT_EQ(out.out.view(), R"({"verdict": "fresh", "id_hex": ")" + hex + "\"" + c.json_id +
                                  R"(, "stamp": 411196469, "now": 411196474, "age_ms": 5, )"
                                  R"("lifetime": 30, "reason": null})"
                                  "\n");
  }
  // The lines show such an id escaped.
  EXPECT_NE(inspect(Args{*crypt_id("ab\xE2\x82", now_stamp - 5)})
                .out.view()
                .find("id        ab\\xe2\\x82\n"),
            std::string::npos);
  EXPECT_EQ(inspect(Args{"--json", "-t", "1", "ab"}).out.view(),
            R"({"verdict": "malformed", "id_hex": null, "stamp": null, "now": null, )"
            R"("age_ms": null, "lifetime": 1, "reason": "too short"})"
            "\n");
}

// A usage error names what is wrong, and the argument or value at fault,
// escaped and cut after 64 bytes, before the usage.
TEST(RunInspect, UsageHelpVersion) {
  const std::string x63(63, 'x');
  const std::string tab64 = "\t" + x63;
  const std::string tab65 = tab64 + "y";
  const char* const moment =
      " is not a local date-time YYYY-MM-DD HH:MM:SS[.mmm] in years 1 to 9999";
  const struct {
    Args args;
    std::string message;
  } cases[] = {
      {{}, "no token given"},
      {{"-x", "T"}, "unknown option '-x' (-- comes before a token that begins with '-')"},
      {{"--bogus"}, "unknown option '--bogus' (-- comes before a token that begins with '-')"},
      {{"-t", "0", "T"}, "-t '0' is not a positive number of minutes"},
      {{"-t", "abc", "T"}, "-t 'abc' is not a positive number of minutes"},
      {{"T", "-t"}, "unexpected argument '-t' after the token"},
      {{"-t"}, "-t needs a value"},
      {{"--json", "--at"}, "--at needs a value"},
      {{"T", "U"}, "unexpected argument 'U' after the token"},
      {{"-z", "T"}, "-z needs --batch"},
      {{"--batch", "--", "T"},
       "unexpected argument 'T': --batch reads the tokens from standard input"},
      {{"--at", "2021-02-29 10:00:00", "T"}, "--at '2021-02-29 10:00:00'"s + moment},
      {{"--at", tab64, "T"}, "--at '\\x09" + x63 + "'" + moment},
      {{"--at", tab65, "T"}, "--at '\\x09" + x63 + "...'" + moment},
  };
  for (const auto& c : cases) {
    const InspectOutput out = inspect(c.args);
    EXPECT_EQ(out.out.view(), "");
    EXPECT_EQ(out.err.view(),
              "idstamp-inspect: " + c.message + "\n" + std::string(inspect_usage_text));
    EXPECT_EQ(out.status, 2);
  }
  const InspectOutput help = inspect(Args{"--help"});
  EXPECT_EQ(help.out.view().substr(0, inspect_usage_text.size()), inspect_usage_text);
  for (const char* option :
       {"-t MINUTES", "--json", "--at MOMENT", "--batch", "-z", "--", "Exit status"})
    EXPECT_NE(help.out.view().find(option, inspect_usage_text.size()), std::string::npos) << option;
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(inspect(Args{"--version"}).out.view(), "idstamp-inspect " IDSTAMP_VERSION_STRING "\n");
  EXPECT_EQ(inspect(Args{"--help", "T"}).status, 2);
}

// Every field from one below its range to one above, in years of each kind:
// a text is read exactly when its fields name a moment that exists, which
// is when ticks_from_parts keeps them as they are rather than clamp them.
TEST(ReadMoment, ReadsExactlyTheMomentsThatExist) {
  std::size_t read = 0;
  const auto check = [&read](std::int32_t y, std::int32_t mo, std::int32_t d, std::int32_t h,
                             std::int32_t mi, std::int32_t s, std::int32_t ms, char t) {
    char text[96];  // room for any int fields, which -Wformat-truncation asks for
    (void)std::snprintf(text, sizeof text, "%04d-%02d-%02d%c%02d:%02d:%02d.%03d", y, mo, d, t, h,
                        mi, s, ms);
    const DateTicks ticks = ticks_from_parts(y, mo, d, h, mi, s, ms);
    const DateParts p = parts_of_ticks(ticks);
    const bool exists = p.year == y && p.month == mo && p.day == d && p.hour == h &&
                        p.minute == mi && p.second == s && p.millisecond == ms;
    const std::optional<DateTicks> moment = read_moment(text);
    EXPECT_EQ(moment, exists ? std::optional(ticks) : std::nullopt) << text;
    // Without the milliseconds, the same moment at .000.
    text[19] = '\0';
    EXPECT_EQ(read_moment(text),
              exists ? std::optional(ticks - DateTicks(ms) * 10'000) : std::nullopt)
        << text;
    read += moment.has_value();
  };
  for (const std::int32_t year : {0, 1, 4, 100, 400, 1900, 2000, 2023, 2024, 9999})
    for (std::int32_t month = 0; month <= 13; ++month)
      for (std::int32_t day = 0; day <= 32; ++day) check(year, month, day, 12, 30, 30, 500, ' ');
  for (std::int32_t hour = 0; hour <= 24; ++hour)
    for (std::int32_t minute = 0; minute <= 60; ++minute)
      for (const std::int32_t second : {0, 59, 60})
        for (const std::int32_t ms : {0, 999}) check(2021, 10, 31, hour, minute, second, ms, 'T');
  // Every day of five common years and four leap ones (year 0 has none), and
  // 24 * 60 minutes with two seconds and two milliseconds each.
  EXPECT_EQ(read, 5u * 365 + 4 * 366 + 24 * 60 * 2 * 2);
  // Anything but the two forms.
  // A ':' is the byte after '9'.
  for (const char* text : {"2021-10-31 00:30:00.5", "2021-10-31 00:30:00x", "2021-10-31t00:30:00",
                           " 2021-10-31 00:30:00", "+021-10-31 00:30:00", "2021/10/31 00:30:00",
                           "2021-10-31 00:30:0:", "2021-10-31 00:30:00.00:"})
    EXPECT_EQ(read_moment(text), std::nullopt) << text;
}

// The program's streams in a test: the input given in pieces of `piece`
// bytes, the output collected. Each read first checks that every line
// ended so far has its result written, so none waits for more input.
class TestStreams final : public BatchStreams {
 public:
  TestStreams(std::string_view input, std::size_t piece) : input_(input), piece_(piece) {}

  std::ptrdiff_t read(char* buffer, std::size_t size) override {
    EXPECT_EQ(std::count(output.begin(), output.end(), '\n'), ended_) << "after " << at_;
    if (reads_left-- == 0) return -1;
    const std::size_t n = std::min({size, piece_, input_.size() - at_});
    std::copy_n(input_.begin() + at_, n, buffer);
    ended_ += std::count(buffer, buffer + n, '\n');
    at_ += n;
    return static_cast<std::ptrdiff_t>(n);
  }
  bool write(std::string_view bytes) override {
    if (writes_left-- == 0) return false;
    output.append(bytes);
    return true;
  }

  std::string output;
  int reads_left = -1;   // the read that fails, counting down; -1 for none
  int writes_left = -1;  // the same for writes

 private:
  std::string_view input_;
  std::size_t piece_;
  std::size_t at_ = 0;
  std::ptrdiff_t ended_ = 0;  // lines whose LF has been read
};

// Each line of a batch gives the single-token JSON report of its token with
// "line" first, at --at or with the clock read once for each line that
// parses, whatever pieces the input comes in: fresh, expired, ahead and
// malformed tokens, an empty line, CRLF, a line that outgrows the buffer (a
// stamp padded with zeros still reads), and a last line without its LF, with
// or without a CR.
TEST(RunBatch, GivesEachLineTheSingleTokenReport) {
  const std::string tokens[] = {
      "",
      *crypt_id("ABC", now_stamp - 5),
      *crypt_id("A", now_stamp - 31 * 60'000),
      *crypt_id("A", now_stamp + 60'000),
      "5109B8788C4A75X",
      reference::scrambled("003ABC" + std::string(200'000, '0') + "411196474"),
      *crypt_id("caf\xC3\xA9", now_stamp - 29 * 60'000),
  };
  std::string input;
  std::string want;
  for (std::size_t i = 0; i < std::size(tokens); ++i) {
    input += (i == 0 ? "" : i % 2 ? "\n" : "\r\n") + tokens[i];
    const std::string single(inspect(Args{"--json", tokens[i]}).out.view());
    want += "{\"line\": " + std::to_string(i + 1) + ", " + single.substr(1);
  }
  InspectSettings settings;
  settings.json = true;
  const std::string inputs[] = {input, input + "\r"};
  for (const bool at : {false, true}) {
    if (at) settings.at = read_moment(now_text);
    for (const std::string& in : inputs) {
      for (const std::size_t piece : {std::size_t{1}, std::size_t{7}, in.size()}) {
        TestStreams streams(in, piece);
        clock_reads = 0;
        EXPECT_EQ(run_batch(settings, test_clock, streams), BatchEnd::done);
        EXPECT_EQ(streams.output, want) << at << piece << in.size();
        EXPECT_EQ(clock_reads, at ? 0 : 5) << at << piece << in.size();
      }
    }
  }
}

// Through the program's one entry, which hands --batch to run_batch.
TEST(RunBatch, TabSeparatedLines) {
  const std::string input = *crypt_id("tab\tand \\", now_stamp - 61'001) + "\n\n" +
                            *crypt_id("A", now_stamp + 60'000) + "\r\n";
  TestStreams streams(input, input.size());
  const InspectOutput out =
      run_inspect(Args{"--batch", "-t", "1", "--at", now_text}, test_clock, streams);
  EXPECT_EQ(out.status, 0);
  EXPECT_EQ(out.out.view(), "");
  EXPECT_EQ(
      streams.output,
      "1\texpired\t61001\ttab\\x09and \\\\\n2\tmalformed: too short\t\t\n3\tahead\t-60000\tA\n");
}

// A failed read or write ends the batch with status 1 and a line that says
// which: the results written are whole, and nothing is written after it.
TEST(RunBatch, FailuresEndIt) {
  const std::string token = *crypt_id("ABC", now_stamp - 5);
  std::string input;
  for (int i = 0; i < 2000; ++i) input += token + "\n";  // more than one write's worth
  InspectSettings settings;
  settings.json = true;
  TestStreams whole(input, 100);
  ASSERT_EQ(run_batch(settings, test_clock, whole), BatchEnd::done);
  for (const bool writing : {false, true}) {
    for (int fail_at = 0; fail_at < 4; ++fail_at) {
      TestStreams streams(input, writing ? input.size() : 100);
      (writing ? streams.writes_left : streams.reads_left) = fail_at;
      const InspectOutput out = run_inspect(Args{"--batch", "--json"}, test_clock, streams);
      EXPECT_EQ(out.status, 1) << writing << fail_at;
      EXPECT_EQ(out.err.view(), writing ? write_failed_text : read_failed_text);
      EXPECT_EQ(whole.output.substr(0, streams.output.size()), streams.output);
      EXPECT_TRUE(streams.output.empty() || streams.output.back() == '\n');
    }
  }
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
// byte of F0 to F7; each followed by a continuation byte that is not part of
// it, so that a sequence cut at the end is not read on past it.
TEST(IsUtf8, AgreesWithDecodingEveryShortText) {
  std::string text;
  const auto agree = [&text] {
    text += '\x80';
    const std::string_view cut(text.data(), text.size() - 1);
    const bool agreed = is_utf8(cut) == decodes_as_utf8(cut);
    text.pop_back();
    return agreed;
  };
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
