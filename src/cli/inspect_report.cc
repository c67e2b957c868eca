#include "cli/inspect_report.h"

#include <charconv>
#include <cstring>

#include "cli/utf8.h"
#include "time/calendar.h"

namespace idstamp {

namespace {

constexpr char hex_digits[] = "0123456789abcdef";

template <class Text>
void append_hex(Text& out, unsigned char b) {
  out.append(hex_digits[b >> 4]).append(hex_digits[b & 15]);
}

// The two hex digits of every byte, 00 to ff, back to back.
struct HexPairs {
  char text[512];
};
constexpr HexPairs make_hex_pairs() {
  HexPairs pairs{};
  for (std::size_t b = 0; b < 256; ++b) {
    pairs.text[2 * b] = hex_digits[b >> 4];
    pairs.text[2 * b + 1] = hex_digits[b & 15];
  }
  return pairs;
}
constexpr HexPairs hex_pairs = make_hex_pairs();

// Each byte as two lowercase hex digits, written in place where they fit.
template <class Text>
void append_hex_bytes(Text& out, std::string_view bytes) {
  char* const at = out.tail(2 * bytes.size());
  if (at == nullptr) {
    for (const char b : bytes) append_hex(out, static_cast<unsigned char>(b));
    return;
  }
  char* p = at;
  for (const char c : bytes) {
    std::memcpy(p, hex_pairs.text + std::size_t{2} * static_cast<unsigned char>(c), 2);
    p += 2;
  }
  out.grow(2 * bytes.size());
}

// Eight bytes at a time: a word's bytes, and the tests that say whether any
// of them is below n (n <= 128), above n (n <= 127), or equal to c. Each is
// exact for the word as a whole, which is all that is asked of it.
using Word = std::uint64_t;
constexpr Word ones = 0x0101010101010101U;
constexpr Word highs = 0x8080808080808080U;

Word word_at(const char* p) {
  Word w = 0;
  std::memcpy(&w, p, sizeof w);
  return w;
}
constexpr bool any_below(Word w, unsigned n) { return ((w - ones * n) & ~w & highs) != 0; }
constexpr bool any_above(Word w, unsigned n) { return (((w + ones * (127 - n)) | w) & highs) != 0; }
constexpr bool any_equal(Word w, unsigned char c) { return any_below(w ^ (ones * c), 1); }

// Copies `bytes` to `out`, each run of bytes that `plain` keeps at once, and
// every other byte as `escape` writes it. `plain_word` says of eight bytes
// whether `plain` keeps every one, which skips most runs a word at a time.
template <class Text, class PlainWord, class Plain, class Escape>
void append_runs(Text& out, std::string_view bytes, PlainWord plain_word, Plain plain,
                 Escape escape) {
  const std::size_t n = bytes.size();
  std::size_t from = 0;
  std::size_t i = 0;
  while (i < n) {
    while (n - i >= sizeof(Word) && plain_word(word_at(bytes.data() + i))) i += sizeof(Word);
    // Fewer than eight bytes left: as the word that ends with them.
    if (i < n && n - i < sizeof(Word) && n >= sizeof(Word) &&
        plain_word(word_at(bytes.data() + n - sizeof(Word))))
      break;
    for (const std::size_t stop = n - i > sizeof(Word) ? i + sizeof(Word) : n; i < stop; ++i) {
      const auto b = static_cast<unsigned char>(bytes[i]);
      if (plain(b)) continue;
      out.append(bytes.substr(from, i - from));
      escape(b);
      from = i + 1;
    }
  }
  out.append(bytes.substr(from));
}

// The id as a person reads it: printable ASCII as it is, a backslash
// doubled, every other byte as \xHH.
template <class Text>
void append_escaped(Text& out, std::string_view bytes) {
  append_runs(
      out, bytes,
      [](Word w) { return !any_below(w, 0x20) && !any_above(w, 0x7E) && !any_equal(w, '\\'); },
      [](unsigned char b) { return b >= 0x20 && b < 0x7F && b != '\\'; },
      [&out](unsigned char b) {
        if (b == '\\') {
          out.append("\\\\");
        } else {
          append_hex(out.append("\\x"), b);
        }
      });
}

// Valid UTF-8 text as it stands between the quotes of a JSON string.
template <class Text>
void append_json_text(Text& out, std::string_view text) {
  append_runs(
      out, text,
      [](Word w) { return !any_below(w, 0x20) && !any_equal(w, '"') && !any_equal(w, '\\'); },
      [](unsigned char b) { return b >= 0x20 && b != '"' && b != '\\'; },
      [&out](unsigned char b) {
        if (b < 0x20) {
          append_hex(out.append("\\u00"), b);
        } else {
          out.append('\\').append(static_cast<char>(b));
        }
      });
}

// A JSON string of valid UTF-8 text.
template <class Text>
void append_json_string(Text& out, std::string_view text) {
  append_json_text(out.append('"'), text);
  out.append('"');
}

// v in at least `width` digits, zero-padded; v >= 0.
void append_padded(Report& out, std::int64_t v, int width) {
  for (std::int64_t limit = 10; --width > 0; limit *= 10)
    if (v < limit) out.append('0');
  out.number(v);
}

// "-59.999 s", "29 min 59.999 s".
void append_duration(Report& out, std::int64_t ms) {
  const std::uint64_t magnitude =
      ms < 0 ? 0 - static_cast<std::uint64_t>(ms) : static_cast<std::uint64_t>(ms);
  if (ms < 0) out.append('-');
  if (magnitude >= 60'000) out.number(magnitude / 60'000).append(" min ");
  out.number(magnitude / 1'000 % 60).append('.');
  append_padded(out, static_cast<std::int64_t>(magnitude % 1'000), 3);
  out.append(" s");
}

// When a token of age `age` was issued, by the local clock at `now`: the
// moment its stamp names in the clock's own cycle of the year stamp.
void append_issued_at(Report& out, DateTicks now, std::int64_t age) {
  const std::int32_t year = year_of_ticks(now);
  const std::int64_t into_year = ms_since_year_start(now);
  const std::int64_t year_ms = (is_leap_year(year) ? 366 : 365) * milliseconds_per_day;
  if (age > into_year || age <= into_year - year_ms) {
    out.append("not within this year");
    return;
  }
  const std::int64_t start = std::int64_t{day_number(year, 1, 1)} * milliseconds_per_day;
  append_reading(out, static_cast<DateTicks>((start + into_year - age) * ticks_per_millisecond));
  out.append(" local time");
}

Report& line(Report& out, std::string_view name) {
  out.append(name);
  for (std::size_t i = name.size(); i < 10; ++i) out.append(' ');
  return out;
}

}  // namespace

void plain_report(Report& out, const Check& c, std::string_view id, std::int32_t lifetime,
                  DateTicks now) {
  if (c.parsed) {
    append_escaped(line(out, "id"), id);
    append_issued_at(line(out.append('\n'), "stamp").number(c.stamp).append(", "), now, c.age_ms);
    append_issued_at(line(out.append('\n'), "now").number(c.now).append(", "), now, 0);
    append_duration(line(out.append('\n'), "age"), c.age_ms);
    out.append('\n');
  }
  line(out, "lifetime").number(lifetime).append(" min\n");
  line(out, "verdict").append(verdict_name(c.verdict));
  if (!c.parsed) out.append(": ").append(c.reason);
  out.append('\n');
}

namespace {

// An argument quoted in a message: escaped, and cut after 64 bytes, which
// "..." marks.
ErrorText& append_quoted(ErrorText& err, std::string_view argument) {
  FixedText<64> shown;
  shown.append(argument);
  append_escaped(err.append('\''), shown.view());
  return err.append(shown.cut() ? "...'" : "'");
}

}  // namespace

void append_usage_error(ErrorText& err, const ScannedArguments& scanned) {
  if (scanned.error == UsageError::none) return;
  err.append("idstamp-inspect: ");
  const std::string_view argument = scanned.argument;
  switch (scanned.error) {
    case UsageError::none:
      break;
    case UsageError::no_value:
      err.append(argument).append(" needs a value");
      break;
    case UsageError::bad_minutes:
      append_quoted(err.append("-t "), argument).append(" is not a positive number of minutes");
      break;
    case UsageError::bad_moment:
      append_quoted(err.append("--at "), argument)
          .append(" is not a local date-time YYYY-MM-DD HH:MM:SS[.mmm] in years 1 to 9999");
      break;
    case UsageError::unknown_option:
      append_quoted(err.append("unknown option "), argument)
          .append(" (-- comes before a token that begins with '-')");
      break;
    case UsageError::no_token:
      err.append("no token given");
      break;
    case UsageError::extra_argument:
      append_quoted(err.append("unexpected argument "), argument).append(" after the token");
      break;
    case UsageError::batch_token:
      append_quoted(err.append("unexpected argument "), argument)
          .append(": --batch reads the tokens from standard input");
      break;
    case UsageError::zero_ends_alone:
      err.append("-z needs --batch");
      break;
    case UsageError::batch_only:
      err.append("--moments, --log, --param and --summary need --batch");
      break;
    case UsageError::bad_log_format:
      append_quoted(err.append("--log "), argument).append(" is not a log format (clf is)");
      break;
    case UsageError::log_and_param:
      err.append("--log and --param go together");
      break;
    case UsageError::two_moments:
      err.append("--at, --moments and --log exclude one another");
      break;
  }
  err.append('\n');
}

namespace {

// A number's text, for a report of one token.
using NumberDigits = FixedText<20>;

// ", \"lifetime\": N, \"reason\": ", the part of a JSON result between
// the token's fields and the reason.
template <class Text>
void append_lifetime_field(Text& out, std::int32_t lifetime) {
  out.append(", \"lifetime\": ").number(lifetime).append(", \"reason\": ");
}

// The fields of a token that parsed from the verdict to the opening quote
// of "id_hex", after the line's: one copy in place of five, each of a
// literal, whose copy is a few moves.
template <class Text>
void append_verdict_fields(Text& out, Verdict verdict) {
  switch (verdict) {
    case Verdict::fresh:
      out.append(", \"verdict\": \"fresh\", \"id_hex\": \"");
      break;
    case Verdict::expired:
      out.append(", \"verdict\": \"expired\", \"id_hex\": \"");
      break;
    case Verdict::ahead:
      out.append(", \"verdict\": \"ahead\", \"id_hex\": \"");
      break;
    case Verdict::malformed:
      out.append(", \"verdict\": \"malformed\", \"id_hex\": \"");
      break;
  }
}

// ", \"now\": N, \"age_ms\": ", the fields around now's.
template <class Text>
void append_now_field(Text& out, std::uint32_t now) {
  out.append(", \"now\": ").number(now).append(", \"age_ms\": ");
}

// The texts of a JSON result that a batch may keep from one result to the
// next.
struct JsonTexts {
  std::string_view line;            // the line number's digits, empty for none
  std::string_view now_field;       // as append_now_field writes it
  std::string_view lifetime_field;  // as append_lifetime_field writes it
  std::string_view parsed_end;      // the lifetime field, "null}" and a newline
};

// The JSON object of one token.
template <class Text>
void json_result(Text& out, const Check& c, std::string_view id, const JsonTexts& texts) {
  const std::string_view line = texts.line;
  if (c.parsed) {
    if (line.empty()) {
      FixedText<48> fields;
      append_verdict_fields(fields, c.verdict);
      out.append('{').append(fields.view().substr(2));
    } else {
      append_verdict_fields(out.append("{\"line\": ").append(line), c.verdict);
    }
    append_hex_bytes(out, id);
    if (is_utf8(id)) append_json_text(out.append("\", \"id\": \""), id);
    out.append("\", \"stamp\": ").number(c.stamp).append(texts.now_field).number(c.age_ms);
    out.append(texts.parsed_end);
  } else {
    out.append('{');
    if (!line.empty()) out.append("\"line\": ").append(line).append(", ");
    out.append("\"verdict\": \"").append(verdict_name(c.verdict)).append('"');
    out.append(", \"id_hex\": null, \"stamp\": null, \"now\": null, \"age_ms\": null");
    append_json_string(out.append(texts.lifetime_field), c.reason);
    out.append("}\n");
  }
}

void tab_result(BatchText& out, const Check& c, std::string_view id, std::string_view line) {
  out.append(line);
  if (!c.parsed) {
    out.append('\t').append(verdict_name(c.verdict));
    out.append(": ").append(c.reason).append("\t\t\n");
    return;
  }
  // Each verdict's text a literal, whose copy is a few moves.
  switch (c.verdict) {
    case Verdict::fresh:
      out.append("\tfresh\t");
      break;
    case Verdict::expired:
      out.append("\texpired\t");
      break;
    case Verdict::ahead:
      out.append("\tahead\t");
      break;
    case Verdict::malformed:
      out.append("\tmalformed\t");
      break;
  }
  append_escaped(out.number(c.age_ms).append('\t'), id);
  out.append('\n');
}

}  // namespace

template <class Text>
void json_report(Text& out, const Check& c, std::string_view id, std::int32_t lifetime,
                 std::optional<std::uint64_t> line) {
  NumberDigits line_text;
  if (line) line_text.number(*line);
  FixedText<48> now_field;
  append_now_field(now_field, c.now);
  FixedText<48> lifetime_field;
  append_lifetime_field(lifetime_field, lifetime);
  FixedText<64> parsed_end;  // written afresh: a copy of lifetime_field trips gcc's bounds warning
  append_lifetime_field(parsed_end, lifetime);
  parsed_end.append("null}\n");
  json_result(out, c, id,
              {line_text.view(), now_field.view(), lifetime_field.view(), parsed_end.view()});
}

template void json_report(Report&, const Check&, std::string_view, std::int32_t,
                          std::optional<std::uint64_t>);
template void json_report(BatchText&, const Check&, std::string_view, std::int32_t,
                          std::optional<std::uint64_t>);

void tab_report(BatchText& out, const Check& c, std::string_view id, std::uint64_t line) {
  NumberDigits line_text;
  line_text.number(line);
  tab_result(out, c, id, line_text.view());
}

std::string_view NumberText::of(std::uint64_t v) {
  constexpr std::size_t size = sizeof digits_;
  if (set_ && v == value_) return {digits_ + begin_, size - begin_};
  if (set_ && value_ != UINT64_MAX && v == value_ + 1) {
    std::size_t i = size;
    while (i > begin_ && digits_[i - 1] == '9') digits_[--i] = '0';
    if (i == begin_) {
      digits_[--begin_] = '1';  // all nines: never twenty of them in 64 bits
    } else {
      ++digits_[i - 1];
    }
  } else {
    char text[size];
    const auto n = static_cast<std::size_t>(std::to_chars(text, text + size, v).ptr - text);
    begin_ = size - n;
    std::memcpy(digits_ + begin_, text, n);
  }
  value_ = v;
  set_ = true;
  return {digits_ + begin_, size - begin_};
}

BatchReports::BatchReports(bool json, std::int32_t lifetime) : json_(json) {
  append_lifetime_field(lifetime_field_, lifetime);
  parsed_end_.append(lifetime_field_.view()).append("null}\n");
}

void BatchReports::add(BatchText& out, const Check& c, std::string_view id, std::uint64_t line) {
  const std::string_view line_text = line_.of(line);
  if (json_) {
    if (c.parsed && (!now_ || *now_ != c.now)) {
      now_field_.clear();
      append_now_field(now_field_, c.now);
      now_ = c.now;
    }
    json_result(out, c, id,
                {line_text, now_field_.view(), lifetime_field_.view(), parsed_end_.view()});
  } else {
    tab_result(out, c, id, line_text);
  }
}

}  // namespace idstamp
