// Records that carry their own moment, and the summary of a batch.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <limits>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "cli/inspect.h"
#include "cli/inspect_args.h"
#include "cli/log_line.h"
#include "cli/summary.h"
#include "idstamp/token_codec.h"
#include "support/in_zone.h"

namespace idstamp {
namespace {

std::string reading_text(DateTicks t) {
  FixedText<32> text;
  append_reading(text, t);
  return std::string(text.view());
}

// What a record came to, as one text: "READING TOKEN", the cause, or
// "skipped".
std::string outcome(const LogRecord& r) {
  if (r.skipped) return "skipped";
  if (r.cause != Unjudged::none) return std::string(unjudged_name(r.cause));
  return reading_text(r.at) + " " + std::string(r.token);
}

struct Row {
  const char* zone;
  std::string record;
  std::string want;
};

#ifndef _WIN32  // the zones are named as the tz database names them
void expect_moments(const std::vector<Row>& rows) {
  for (const Row& row : rows) {
    const InZone zone(row.zone);
    LocalReadings local;
    EXPECT_EQ(outcome(read_moments_record(row.record, local)), row.want)
        << row.zone << " '" << row.record << "'";
  }
}

// Local readings are taken as they read, in a gap or a fold alike; instants
// land on the local reading they had, so two instants an hour apart share
// one reading in autumn.
TEST(MomentsRecord, AcrossDaylightSavingChanges) {
  expect_moments({
      {"Europe/Paris", "2026-03-29T00:59:59.999Z\tT", "2026-03-29 01:59:59.999 T"},
      {"Europe/Paris", "2026-03-29T01:00:00Z\tT", "2026-03-29 03:00:00.000 T"},
      {"Europe/Paris", "2026-03-29 02:30:00\tT", "2026-03-29 02:30:00.000 T"},
      {"Europe/Paris", "2026-10-25T00:30:00Z\tT", "2026-10-25 02:30:00.000 T"},
      {"Europe/Paris", "2026-10-25T01:30:00Z\tT", "2026-10-25 02:30:00.000 T"},
      {"Europe/Paris", "2026-10-25 02:30:00+02:00\tT", "2026-10-25 02:30:00.000 T"},
      {"Europe/Paris", "2026-10-25T02:30:00.500\tT", "2026-10-25 02:30:00.500 T"},
      {"America/New_York", "2026-03-08T06:59:59Z\tT", "2026-03-08 01:59:59.000 T"},
      {"America/New_York", "2026-03-08T07:00:00.001Z\tT", "2026-03-08 03:00:00.001 T"},
      {"America/New_York", "2026-03-08 02:30:00\tT", "2026-03-08 02:30:00.000 T"},
      {"America/New_York", "2026-11-01T05:30:00Z\tT", "2026-11-01 01:30:00.000 T"},
      {"America/New_York", "2026-11-01T06:30:00Z\tT", "2026-11-01 01:30:00.000 T"},
      {"America/New_York", "2026-11-01 01:30:00-05:00\tT", "2026-11-01 01:30:00.000 T"},
      {"America/New_York", "2026-11-01T01:30:00\tT", "2026-11-01 01:30:00.000 T"},
  });
}

// The offset names the instant whatever TZ is; only the exact forms are
// moments, and the token is every byte after the first TAB.
TEST(MomentsRecord, OffsetsAndShapes) {
  expect_moments({
      {"Europe/Paris", "2026-12-08T10:42:00Z\tT", "2026-12-08 11:42:00.000 T"},
      {"Europe/Paris", "2026-12-08T10:42:00z\tT", "2026-12-08 11:42:00.000 T"},
      {"Europe/Paris", "2026-12-08T10:42:00-00:00\tT", "2026-12-08 11:42:00.000 T"},
      {"Europe/Paris", "2026-12-08T10:42:00+00:00\tT", "2026-12-08 11:42:00.000 T"},
      {"Europe/Paris", "2026-12-08T10:42:00-08:00\tT", "2026-12-08 19:42:00.000 T"},
      {"Europe/Paris", "2026-12-08 10:42:00.250+05:30\tT", "2026-12-08 06:12:00.250 T"},
      {"Europe/Paris", "2026-12-08T23:59:00+23:59\tT", "2026-12-08 01:00:00.000 T"},
      {"Europe/Paris", "2026-12-31T23:30:00-01:00\tT", "2027-01-01 01:30:00.000 T"},
      {"America/New_York", "2026-12-08T10:42:00+01:00\tT", "2026-12-08 04:42:00.000 T"},
      {"UTC0", "2024-02-29T12:00:00.999+12:00\tT", "2024-02-29 00:00:00.999 T"},
      {"UTC0", "2026-12-08 10:42:00\tA\tB", "2026-12-08 10:42:00.000 A\tB"},
      {"UTC0", "2026-12-08 10:42:00Z\t", "2026-12-08 10:42:00.000 "},
      {"UTC0", "2026-12-08 10:42:00Z", "no moment"},
      {"UTC0", "", "no moment"},
      {"UTC0", "\tT", "bad moment"},
      {"UTC0", "2026-12-08T10:42:00+24:00\tT", "bad moment"},
      {"UTC0", "2026-12-08T10:42:00+01:60\tT", "bad moment"},
      {"UTC0", "2026-12-08T10:42:00+0100\tT", "bad moment"},
      {"UTC0", "2026-12-08T10:42:00+1:00\tT", "bad moment"},
      {"UTC0", "2026-12-08T10:42:00 +01:00\tT", "bad moment"},
      {"UTC0", "2026-12-08T10:42:00Z \tT", "bad moment"},
      {"UTC0", "2026-12-08T10:42:00ZZ\tT", "bad moment"},
      {"UTC0", "2026-12-08T10:42:00.25Z\tT", "bad moment"},
      {"UTC0", "2026-12-08T10:42:00.250\x01\tT", "bad moment"},
      {"UTC0", "2026-02-30T10:42:00Z\tT", "bad moment"},
      {"UTC0", "2026-12-08T24:00:00Z\tT", "bad moment"},
      {"UTC0", "2026-12-08 10:42\tT", "bad moment"},
      // Instants whose UTC or local reading leaves years 1 to 9999.
      {"UTC0", "0001-01-01T00:30:00+01:00\tT", "bad moment"},
      {"UTC0", "9999-12-31T23:30:00-01:00\tT", "bad moment"},
      {"UTC0", "9999-12-31T23:30:00+01:00\tT", "9999-12-31 22:30:00.000 T"},
  });
}
#endif

// A CLF line, its bracketed time in UTC and in Paris, its request's escapes
// and its query.
TEST(ClfRecord, Lines) {
  const std::string head = "203.0.113.9 - frank [10/Oct/2026:13:55:36 -0700] \"";
  const std::string tail = " HTTP/1.1\" 200 2326 \"-\" \"curl/8\"";
  const auto get = [&head, &tail](const std::string& target) {
    return head + "GET " + target + tail;
  };
  const std::string at = "2026-10-10 20:55:36.000 ";
  const std::vector<Row> rows = {
      {"UTC0", get("/a/b?x=1&t=TOKEN"), at + "TOKEN"},
      {"UTC0", get("/a?t=first&t=second"), at + "first"},
      {"UTC0", get("/a?tt=1&t=2&t"), at + "2"},
      {"UTC0", get("/a?x&t"), at + ""},
      {"UTC0", get("/a?t=%2B%25%0A+%2b%7e"), at + "+%\n++~"},
      {"UTC0", get("/a?t=a%4"), "bad escape"},
      {"UTC0", get("/a?t=a%4g&t=b"), "bad escape"},
      {"UTC0", get("/a?t=%"), "bad escape"},
      {"UTC0", get("/a?x=%zz&t=ok"), at + "ok"},
      {"UTC0", get("/a?%74=not&t=ok"), at + "ok"},
      {"UTC0", get("/a?t=ok#t=frag"), at + "ok"},
      {"UTC0", get("/a#?t=frag"), at + "frag"},  // the first '?', wherever it lies
      {"UTC0", get("/a?x=1"), "skipped"},
      {"UTC0", get("/a"), "skipped"},
      {"UTC0", head + "GET\"", "skipped"},
      {"UTC0", head + "\"", "skipped"},
      // Log escapes are undone before the query is read.
      {"UTC0", get("/a?t=\\x41\\x4a\\\"q\\\\b\\n\\x4"), at + "AJ\"q\\b\\n\\x4"},
      {"UTC0", get("/a?\\x74=esc"), at + "esc"},
      {"UTC0", head + "GET /a?t=1\\\" x\" 200", at + "1\""},
      {"UTC0", head + "GET /a?t=1 HTTP/1.1", "not a log line"},
      {"UTC0", head + "GET /a?t=1\\\"", "not a log line"},
      {"UTC0", "[10/Oct/2026:13:55:36 +0000] \"GET /?t=x \"", "2026-10-10 13:55:36.000 x"},
      {"UTC0", "a [b] [10/Oct/2026:13:55:36 +0000] \"GET /?t=x\"", "not a log line"},
      {"UTC0", "no bracket \"GET /?t=x\"", "not a log line"},
      {"UTC0", "[10/Oct/2026:13:55:36 +0000]\"GET /?t=x\"", "not a log line"},
      {"UTC0", "[10/Oct/2026:13:55:36 +0000]  \"GET /?t=x\"", "not a log line"},
      {"UTC0", "[10/Oct/2026:13:55:36 +000] \"GET /?t=x\"", "not a log line"},
      {"UTC0", "[10/Oct/2026 13:55:36 +0000] \"GET /?t=x\"", "not a log line"},
      {"UTC0", "[1/Oct/2026:13:55:36 +0000] \"GET /?t=x\"", "not a log line"},
      {"UTC0", "[10/O1t/2026:13:55:36 +0000] \"GET /?t=x\"", "not a log line"},
      {"UTC0", "[10/Oct/2026:13:55:36 0000] \"GET /?t=x\"", "not a log line"},
      {"UTC0", "[10/Oct/2026:13:55:36 +0000]", "not a log line"},
      {"UTC0", "[10/oct/2026:13:55:36 +0000] \"GET /?t=x\"", "bad moment"},
      {"UTC0", "[31/Sep/2026:13:55:36 +0000] \"GET /?t=x\"", "bad moment"},
      {"UTC0", "[29/Feb/2026:13:55:36 +0000] \"GET /?t=x\"", "bad moment"},
      {"UTC0", "[29/Feb/2024:13:55:36 +0000] \"GET /?t=x\"", "2024-02-29 13:55:36.000 x"},
      {"UTC0", "[00/Oct/2026:13:55:36 +0000] \"GET /?t=x\"", "bad moment"},
      {"UTC0", "[10/Oct/2026:24:00:00 +0000] \"GET /?t=x\"", "bad moment"},
      {"UTC0", "[10/Oct/2026:13:60:00 +0000] \"GET /?t=x\"", "bad moment"},
      {"UTC0", "[10/Oct/2026:13:55:60 +0000] \"GET /?t=x\"", "bad moment"},
      {"UTC0", "[10/Oct/2026:13:55:36 +2400] \"GET /?t=x\"", "bad moment"},
      {"UTC0", "[10/Oct/2026:13:55:36 -0060] \"GET /?t=x\"", "bad moment"},
      {"UTC0", "[10/Oct/0000:13:55:36 +0000] \"GET /?t=x\"", "bad moment"},
      {"UTC0", "[10/Oct/2026:13:55:36 +2359] \"GET /?t=x\"", "2026-10-09 13:56:36.000 x"},
      // The moment is read before the query.
      {"UTC0", "[31/Sep/2026:13:55:36 +0000] \"GET /\"", "bad moment"},
#ifndef _WIN32
      {"Europe/Paris", "[25/Oct/2026:00:30:00 +0000] \"GET /?t=x\"", "2026-10-25 02:30:00.000 x"},
      {"Europe/Paris", "[25/Oct/2026:02:30:00 +0100] \"GET /?t=x\"", "2026-10-25 02:30:00.000 x"},
      {"America/New_York", "[08/Mar/2026:07:00:00 +0000] \"GET /?t=x\"",
       "2026-03-08 03:00:00.000 x"},
#endif
  };
  for (const Row& row : rows) {
    const InZone zone(row.zone);
    LocalReadings local;
    std::string line = row.record;
    EXPECT_EQ(outcome(read_clf_record(line.data(), line.size(), "t", local)), row.want)
        << row.zone << " '" << row.record << "'";
  }
}

// The request rules written out again, plainly, for a line of `head`
// (a well-formed time and ` "`) then `rest`: the outcome read_clf_record
// should give.
std::string plain_request_outcome(const std::string& rest, const std::string& at) {
  std::size_t end = 0;
  while (end < rest.size() && rest[end] != '"') end += rest[end] == '\\' ? std::size_t{2} : 1;
  if (end >= rest.size()) return "not a log line";
  const auto hex = [](char c) {
    return static_cast<int>(std::string_view("0123456789abcdef0123456789ABCDEF").find(c) % 16);
  };
  const auto is_hex = [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; };
  std::string request;
  for (std::size_t i = 0; i < end; ++i) {
    if (rest[i] == '\\' && i + 1 < end && (rest[i + 1] == '"' || rest[i + 1] == '\\')) {
      request += rest[++i];
    } else if (rest[i] == '\\' && i + 3 < end && rest[i + 1] == 'x' && is_hex(rest[i + 2]) &&
               is_hex(rest[i + 3])) {
      request += static_cast<char>(hex(rest[i + 2]) * 16 + hex(rest[i + 3]));
      i += 3;
    } else {
      request += rest[i];
    }
  }
  std::vector<std::string> words{""};
  for (const char c : request) {
    if (c == ' ') {
      words.emplace_back();
    } else {
      words.back() += c;
    }
  }
  const std::string target = words.size() > 1 ? words[1] : "";
  if (target.find('?') == std::string::npos) return "skipped";
  std::string query = target.substr(target.find('?') + 1);
  query.resize(std::min(query.find('#'), query.size()));
  for (std::size_t from = 0;; from = query.find('&', from) + 1) {
    const std::string pair = query.substr(from, query.find('&', from) - from);
    if (pair.substr(0, pair.find('=')) == "t") {
      const std::string value = pair.substr(std::min(pair.find('='), pair.size() - 1) + 1);
      std::string token;
      for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '%') {
          token += value[i];
        } else if (i + 2 < value.size() && is_hex(value[i + 1]) && is_hex(value[i + 2])) {
          token += static_cast<char>(hex(value[i + 1]) * 16 + hex(value[i + 2]));
          i += 2;
        } else {
          return "bad escape";
        }
      }
      return at + token;
    }
    if (query.find('&', from) == std::string::npos) return "skipped";
  }
}

// Random requests of the bytes that shape one (long runs too, which the
// reader passes eight bytes at a time), against the rules read plainly.
TEST(ClfRecord, AgreesWithAPlainReading) {
  const InZone zone("UTC0");
  const std::string head = "h - - [10/Oct/2026:13:55:36 +0000] \"";
  const std::string at = "2026-10-10 13:55:36.000 ";
  const std::string bytes = " \"\\?&#=%tx4A1-\x01\xff";
  std::mt19937_64 random(20261209);
  LocalReadings local;
  for (int n = 0; n < 200'000; ++n) {
    std::string rest;
    const std::size_t size = random() % 40;
    for (std::size_t i = 0; i < size; ++i) {
      const char c = bytes[random() % bytes.size()];
      rest.append(random() % 4 == 0 ? 1 + random() % 12 : 1, c);
    }
    if (random() % 2 == 0) rest = "GET /a?t=" + rest;
    std::string line = head + rest;
    ASSERT_EQ(outcome(read_clf_record(line.data(), line.size(), "t", local)),
              plain_request_outcome(rest, at))
        << "'" << head + rest << "'";
  }
}

// The bucket rule written out again: the top 8 bits of the magnitude kept.
std::int64_t representative_of(std::int64_t v) {
  std::uint64_t m = v < 0 ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
  int shift = 0;
  while (m >> shift >= 256) ++shift;
  m = m >> shift << shift;
  return v < 0 ? static_cast<std::int64_t>(0 - m) : static_cast<std::int64_t>(m);
}

// Against an exact sort of random sets, small and wide, with ties and the
// extremes: each percentile is the nearest-rank value's bucket clamped into
// [min, max], so within 1/128 of it; max is exact.
TEST(AgeHistogram, AgreesWithAnExactSort) {
  std::mt19937_64 random(20261208);
  constexpr std::int64_t lowest = std::numeric_limits<std::int64_t>::min();
  constexpr std::int64_t highest = std::numeric_limits<std::int64_t>::max();
  for (int set = 0; set < 400; ++set) {
    const std::size_t n = 1 + random() % (set < 200 ? 20 : 3000);
    const int width = static_cast<int>(random() % 64);
    std::vector<std::int64_t> ages;
    AgeHistogram h;
    for (std::size_t i = 0; i < n; ++i) {
      std::int64_t v = static_cast<std::int64_t>(random() >> (63 - width));
      if (set % 3 == 0) v = -v;
      if (set % 3 == 1 && random() % 2 == 0) v = -v / 2;
      if (set % 50 == 7 && i < 2) v = i == 0 ? lowest : highest;
      ages.push_back(v);
      h.add(v);
    }
    std::sort(ages.begin(), ages.end());
    ASSERT_EQ(h.count(), n);
    EXPECT_EQ(h.max(), ages.back());
    for (const std::uint32_t p : {1u, 50u, 90u, 99u, 100u}) {
      const std::int64_t exact = ages[(p * n + 99) / 100 - 1];
      const std::int64_t want = std::clamp(representative_of(exact), ages.front(), ages.back());
      const std::optional<std::int64_t> got = h.percentile(p);
      ASSERT_TRUE(got.has_value());
      EXPECT_EQ(*got, want) << "set " << set << " p" << p;
      const double error = std::abs(static_cast<double>(*got) - static_cast<double>(exact));
      EXPECT_LE(error, std::abs(static_cast<double>(exact)) / 128) << "set " << set << " p" << p;
    }
  }
  EXPECT_EQ(AgeHistogram().percentile(50), std::nullopt);
}

// The clamping: a bucket's representative lies toward zero from its values,
// so one value gives itself, and of two negative ones in a bucket, both
// percentiles give the larger.
TEST(AgeHistogram, ClampsIntoTheSet) {
  AgeHistogram one;
  one.add(1'000'003);
  EXPECT_EQ(one.percentile(50), 1'000'003);
  AgeHistogram two;
  two.add(-1'000'003);
  two.add(-1'000'001);
  EXPECT_EQ(two.percentile(50), -1'000'001);  // the bucket's -999,424 clamped
  EXPECT_EQ(two.percentile(100), -1'000'001);
  EXPECT_EQ(AgeHistogram::representative(AgeHistogram::bucket_of(std::uint64_t{1} << 63)),
            std::uint64_t{1} << 63);
}

// The stand-in for standard input and output.
class Streams final : public BatchStreams {
 public:
  explicit Streams(std::string input) : input_(std::move(input)) {}
  std::ptrdiff_t read(char* buffer, std::size_t size) override {
    const std::size_t n = std::min(size, input_.size() - at_);
    std::copy_n(input_.data() + at_, n, buffer);
    at_ += n;
    return static_cast<std::ptrdiff_t>(n);
  }
  bool write(std::string_view bytes) override {
    output.append(bytes);
    return true;
  }
  std::string output;

 private:
  std::string input_;
  std::size_t at_ = 0;
};

// A plain batch summed up is judged by the clock, read for every record, so
// that first and last count the malformed ones too; with --at, never.
int reads = 0;
DateTicks moving_clock() {
  return ticks_from_parts(2026, 12, 8, 10, 0, 0, 0) + DateTicks(++reads) * 10'000;
}

TEST(Summary, PlainBatchByTheClock) {
  const std::string input = *crypt_id("A", year_stamp_of(moving_clock()) - 5) + "\n\nxyz\n";
  for (const bool at : {false, true}) {
    std::vector<std::string_view> args = {"--batch", "--summary", "--json"};
    if (at) args.insert(args.end(), {"--at", "2026-12-08 09:00:00"});
    Streams streams(input);
    reads = 0;
    EXPECT_EQ(run_inspect(args, moving_clock, streams).status, 0);
    EXPECT_EQ(reads, at ? 0 : 3);
    const std::string ends =
        at ? R"("first": "2026-12-08 09:00:00.000", "last": "2026-12-08 09:00:00.000"})"
           : R"("first": "2026-12-08 10:00:00.001", "last": "2026-12-08 10:00:00.003"})";
    EXPECT_NE(streams.output.find("{\"records\": 3, \"judged\": 3, "), std::string::npos);
    EXPECT_NE(streams.output.find(ends + "\n"), std::string::npos) << streams.output;
  }
}

DateTicks unused_clock() {
  ADD_FAILURE() << "the clock was read";
  return 0;
}

// The summary counts what the results of the same batch say, line by line:
// every verdict, reason and cause, the skipped lines (no result), the ages,
// and the first and last readings. Unjudged records make the status 3, with
// the count on standard error.
TEST(Summary, CountsWhatTheResultsSay) {
  const InZone zone("UTC0");
  std::mt19937 random(8);
  const DateTicks base = ticks_from_parts(2026, 12, 8, 10, 0, 0, 0);
  std::string input;
  std::map<std::string, std::uint64_t> want;
  std::vector<std::int64_t> fresh;
  std::int32_t first = 600;
  std::int32_t last = -1;
  const char* const broken[] = {"", "12", "X99ABC", "005AB1", "0"};
  for (int i = 0; i < 3000; ++i) {
    const auto minute = static_cast<std::int32_t>(random() % 600);
    const DateTicks at = base + static_cast<DateTicks>(minute) * 60 * 10'000'000;
    const std::int64_t age = static_cast<std::int64_t>(random() % 7'200'000) - 120'000;
    const std::string token =
        random() % 7 == 0 ? broken[random() % 5]
                          : *crypt_id("id", static_cast<std::uint32_t>(year_stamp_of(at) - age));
    switch (random() % 6) {
      case 0:
        input += "oops\n";
        break;
      case 1:
        input += "2026-12-08 25:00:00\t" + token + "\n";
        break;
      default:
        input += reading_text(at).substr(0, 19) + (random() % 2 ? "Z\t" : "\t") + token + "\n";
        first = std::min(first, minute);
        last = std::max(last, minute);
    }
  }
  Streams lines(input);
  const InspectOutput per_line =
      run_inspect(std::vector<std::string_view>{"--batch", "--moments"}, unused_clock, lines);
  Streams summed(input);
  const InspectOutput summary =
      run_inspect(std::vector<std::string_view>{"--batch", "--moments", "--summary", "--json"},
                  unused_clock, summed);
  // Tally the lines: N TAB VERDICT[": " REASON] TAB AGE TAB ID.
  std::size_t at = 0;
  std::uint64_t records = 0;
  std::uint64_t unjudged = 0;
  while (at < lines.output.size()) {
    const std::size_t end = lines.output.find('\n', at);
    const std::string line = lines.output.substr(at, end - at);
    at = end + 1;
    ++records;
    const std::size_t tab = line.find('\t');
    const std::string rest = line.substr(tab + 1);
    const std::string verdict = rest.substr(0, rest.find('\t'));
    ++want[verdict];
    if (verdict.rfind("unjudged", 0) == 0) ++unjudged;
    if (verdict == "fresh") fresh.push_back(std::stoll(rest.substr(rest.find('\t') + 1)));
  }
  ASSERT_GT(want["fresh"], 0u);
  ASSERT_GT(want["unjudged: bad moment"], 0u);
  EXPECT_EQ(per_line.status, 3);
  EXPECT_EQ(summary.status, 3);
  const std::string count_line =
      "idstamp-inspect: " + std::to_string(unjudged) + " records could not be judged\n";
  EXPECT_EQ(per_line.err.view(), count_line);
  EXPECT_EQ(summary.err.view(), count_line);
  std::sort(fresh.begin(), fresh.end());
  const auto fresh_at = [&fresh](std::size_t p) {
    const std::int64_t v = fresh[(p * fresh.size() + 99) / 100 - 1];
    return std::to_string(std::clamp(representative_of(v), fresh.front(), fresh.back()));
  };
  const auto n = [&want](const std::string& key) { return std::to_string(want[key]); };
  std::string expected = "{\"records\": " + std::to_string(records) +
                         ", \"judged\": " + std::to_string(records - unjudged) +
                         ", \"skipped\": 0, \"verdicts\": {\"fresh\": " + n("fresh") +
                         ", \"expired\": " + n("expired") + ", \"ahead\": " + n("ahead");
  std::uint64_t malformed = 0;
  std::string reasons;
  for (const std::string_view reason : malformed_reasons) {
    const std::string key = "malformed: " + std::string(reason);
    malformed += want[key];
    reasons += (reasons.empty() ? "\"" : ", \"") + std::string(reason) + "\": " + n(key);
  }
  expected += ", \"malformed\": " + std::to_string(malformed) + "}, \"reasons\": {" + reasons +
              "}, \"unjudged\": {\"no moment\": " + n("unjudged: no moment") +
              ", \"bad moment\": " + n("unjudged: bad moment") +
              ", \"not a log line\": 0, \"bad escape\": 0}, \"age_ms\": {\"fresh\": {\"p50\": " +
              fresh_at(50) + ", \"p90\": " + fresh_at(90) + ", \"p99\": " + fresh_at(99) +
              ", \"max\": " + std::to_string(fresh.back()) + "}";
  EXPECT_EQ(summed.output.substr(0, expected.size()), expected);
  const auto reading = [&base](std::int32_t minute) {
    return reading_text(base + static_cast<DateTicks>(minute) * 60 * 10'000'000);
  };
  const std::string ends =
      "\"first\": \"" + reading(first) + "\", \"last\": \"" + reading(last) + "\"}\n";
  ASSERT_GE(summed.output.size(), ends.size());
  EXPECT_EQ(summed.output.substr(summed.output.size() - ends.size()), ends);
  EXPECT_EQ(std::count(summed.output.begin(), summed.output.end(), '\n'), 1);
}

}  // namespace
}  // namespace idstamp
