#include "cli/inspect_report.h"

#include "cli/utf8.h"
#include "time/calendar.h"

namespace idstamp {

namespace {

template <class Text>
void append_hex(Text& out, unsigned char b) {
  constexpr char hex_digits[] = "0123456789abcdef";
  out.append(hex_digits[b >> 4]).append(hex_digits[b & 15]);
}

// The id as a person reads it: printable ASCII as it is, a backslash
// doubled, every other byte as \xHH.
template <class Text>
void append_escaped(Text& out, std::string_view bytes) {
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    if (b == '\\') {
      out.append("\\\\");
    } else if (b >= 0x20 && b < 0x7F) {
      out.append(c);
    } else {
      append_hex(out.append("\\x"), b);
    }
  }
}

// A JSON string of valid UTF-8 text.
template <class Text>
void append_json_string(Text& out, std::string_view text) {
  out.append('"');
  for (const char c : text) {
    const auto b = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out.append('\\').append(c);
    } else if (b < 0x20) {
      append_hex(out.append("\\u00"), b);
    } else {
      out.append(c);
    }
  }
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
  const DateParts p =
      parts_of_ticks(static_cast<DateTicks>((start + into_year - age) * ticks_per_millisecond));
  append_padded(out, p.year, 4);
  append_padded(out.append('-'), p.month, 2);
  append_padded(out.append('-'), p.day, 2);
  append_padded(out.append(' '), p.hour, 2);
  append_padded(out.append(':'), p.minute, 2);
  append_padded(out.append(':'), p.second, 2);
  append_padded(out.append('.'), p.millisecond, 3);
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

template <class Text>
void json_report(Text& out, const Check& c, std::string_view id, std::int32_t lifetime,
                 std::optional<std::uint64_t> line) {
  out.append('{');
  if (line) out.append("\"line\": ").number(*line).append(", ");
  out.append("\"verdict\": \"").append(verdict_name(c.verdict)).append('"');
  if (c.parsed) {
    out.append(", \"id_hex\": \"");
    for (const char b : id) append_hex(out, static_cast<unsigned char>(b));
    out.append('"');
    if (is_utf8(id)) append_json_string(out.append(", \"id\": "), id);
    out.append(", \"stamp\": ").number(c.stamp);
    out.append(", \"now\": ").number(c.now);
    out.append(", \"age_ms\": ").number(c.age_ms);
  } else {
    out.append(", \"id_hex\": null, \"stamp\": null, \"now\": null, \"age_ms\": null");
  }
  out.append(", \"lifetime\": ").number(lifetime);
  out.append(", \"reason\": ");
  if (c.parsed) {
    out.append("null");
  } else {
    append_json_string(out, c.reason);
  }
  out.append("}\n");
}

template void json_report(Report&, const Check&, std::string_view, std::int32_t,
                          std::optional<std::uint64_t>);
template void json_report(BatchText&, const Check&, std::string_view, std::int32_t,
                          std::optional<std::uint64_t>);

void tab_report(BatchText& out, const Check& c, std::string_view id, std::uint64_t line) {
  out.number(line).append('\t').append(verdict_name(c.verdict));
  if (!c.parsed) {
    out.append(": ").append(c.reason).append("\t\t\n");
    return;
  }
  append_escaped(out.append('\t').number(c.age_ms).append('\t'), id);
  out.append('\n');
}

}  // namespace idstamp
