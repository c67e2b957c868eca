#include "cli/inspect.h"

#include "idstamp/version.h"
#include "time/calendar.h"
#include "token/decimal.h"

namespace idstamp {

namespace {

using Report = InspectOutput::Text;

constexpr std::string_view help_text =
    "\n"
    "Shows what a checker makes of TOKEN: the id and stamp it carries, its age,\n"
    "and a verdict of fresh, expired, ahead (stamped a minute or more ahead of\n"
    "the clock) or malformed, with the reason.\n"
    "\n"
    "  -t MINUTES  the lifetime to judge the token by (default 30)\n"
    "  --json      print one JSON object instead of lines\n"
    "  --          end the options, for a token that begins with '-'\n"
    "\n"
    "Exit status: 0 for a fresh token, 1 for any other verdict, a failed write\n"
    "or no memory, 2 for a usage error.\n";

void append_hex(Report& out, unsigned char b) {
  constexpr char hex_digits[] = "0123456789abcdef";
  out.append(hex_digits[b >> 4]).append(hex_digits[b & 15]);
}

// The id as a person reads it: printable ASCII as it is, a backslash
// doubled, every other byte as \xHH.
void append_escaped(Report& out, std::string_view bytes) {
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
void append_json_string(Report& out, std::string_view text) {
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

void plain_report(Report& out, const Check& c, std::string_view id, const InspectSettings& s,
                  DateTicks now) {
  if (c.parsed) {
    append_escaped(line(out, "id"), id);
    append_issued_at(line(out.append('\n'), "stamp").number(c.stamp).append(", "), now, c.age_ms);
    append_issued_at(line(out.append('\n'), "now").number(c.now).append(", "), now, 0);
    append_duration(line(out.append('\n'), "age"), c.age_ms);
    out.append('\n');
  }
  line(out, "lifetime").number(s.lifetime).append(" min\n");
  line(out, "verdict").append(verdict_name(c.verdict));
  if (!c.parsed) out.append(": ").append(c.reason);
  out.append('\n');
}

void json_report(Report& out, const Check& c, std::string_view id, const InspectSettings& s) {
  out.append("{\"verdict\": \"").append(verdict_name(c.verdict)).append('"');
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
  out.append(", \"lifetime\": ").number(s.lifetime);
  out.append(", \"reason\": ");
  if (c.parsed) {
    out.append("null");
  } else {
    append_json_string(out, c.reason);
  }
  out.append("}\n");
}

}  // namespace

// Each sequence by the ranges its lead byte allows for the first byte after
// it, which rule out overlong forms, surrogates and code points past U+10FFFF.
bool is_utf8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const auto b = static_cast<unsigned char>(text[i]);
    std::size_t extra = 0;
    unsigned char lo = 0x80;
    unsigned char hi = 0xBF;  // the range of the first continuation byte
    if (b < 0x80) {
      extra = 0;
    } else if (b >= 0xC2 && b <= 0xDF) {
      extra = 1;
    } else if (b >= 0xE0 && b <= 0xEF) {
      extra = 2;
      if (b == 0xE0) lo = 0xA0;
      if (b == 0xED) hi = 0x9F;
    } else if (b >= 0xF0 && b <= 0xF4) {
      extra = 3;
      if (b == 0xF0) lo = 0x90;
      if (b == 0xF4) hi = 0x8F;
    } else {
      return false;
    }
    if (text.size() - i - 1 < extra) return false;
    for (std::size_t k = 1; k <= extra; ++k) {
      const auto c = static_cast<unsigned char>(text[i + k]);
      if (c < (k == 1 ? lo : 0x80) || c > (k == 1 ? hi : 0xBF)) return false;
    }
    i += 1 + extra;
  }
  return true;
}

std::optional<InspectSettings> scan_inspect_arguments(Args args) {
  InspectSettings s;
  std::size_t i = 0;
  for (; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    if (arg == "--") {
      ++i;
      break;
    }
    if (arg == "--json") {
      s.json = true;
    } else if (arg == "-t") {
      if (++i == args.size()) return std::nullopt;
      const std::optional<std::int64_t> minutes = read_decimal(args[i], DecimalWidth::int32);
      if (!minutes || *minutes <= 0) return std::nullopt;
      s.lifetime = static_cast<std::int32_t>(*minutes);
    } else if (!arg.empty() && arg[0] == '-') {
      return std::nullopt;  // an option we do not know
    } else {
      break;
    }
  }
  if (i + 1 != args.size()) return std::nullopt;  // the token, and nothing after it
  s.token = args[i];
  return s;
}

InspectOutput run_inspect(Args args, DateTicks now) {
  InspectOutput out;
  if (args.size() == 1 && args[0] == "--help") {
    out.out.append(inspect_usage_text).append(help_text);
    return out;
  }
  if (args.size() == 1 && args[0] == "--version") {
    out.out.append("idstamp-inspect " IDSTAMP_VERSION_STRING "\n");
    return out;
  }
  const std::optional<InspectSettings> s = scan_inspect_arguments(args);
  if (!s) {
    out.err = inspect_usage_text;
    out.status = 2;
    return out;
  }
  char id[max_id_length + 1];
  Check check;
  if (read_token(s->token, id, check)) judge(check, s->lifetime, year_stamp_of(now));
  const std::string_view id_text(id, check.id_length);
  if (s->json) {
    json_report(out.out, check, id_text, *s);
  } else {
    plain_report(out.out, check, id_text, *s, now);
  }
  out.status = check.verdict == Verdict::fresh ? 0 : 1;
  return out;
}

}  // namespace idstamp
