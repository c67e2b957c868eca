#include "cli/inspect.h"

#include <cinttypes>
#include <cstdio>
#include <cstdlib>

#include "idstamp/version.h"
#include "token/decimal.h"
#include "token/token_codec.h"

namespace idstamp {

namespace {

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
    "Exit status: 0 for a fresh token, 1 for any other verdict or a failed\n"
    "write, 2 for a usage error.\n";

// Appends the byte's two lower-case hex digits.
void append_hex(std::string& out, unsigned char b) {
  constexpr char hex_digits[] = "0123456789abcdef";
  out.append(1, hex_digits[b >> 4]).append(1, hex_digits[b & 15]);
}

// The id as a person reads it: printable ASCII as it is, a backslash
// doubled, every other byte as \xHH.
std::string escaped(std::string_view bytes) {
  std::string out;
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    if (b == '\\') {
      out += "\\\\";
    } else if (b >= 0x20 && b < 0x7F) {
      out += c;
    } else {
      append_hex(out.append("\\x"), b);
    }
  }
  return out;
}

std::string hex(std::string_view bytes) {
  std::string out;
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    append_hex(out, b);
  }
  return out;
}

// A JSON string of valid UTF-8 text.
std::string json_string(std::string_view text) {
  std::string out = "\"";
  for (const char c : text) {
    const auto b = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out.append(1, '\\').append(1, c);
    } else if (b < 0x20) {
      append_hex(out.append("\\u00"), b);
    } else {
      out += c;
    }
  }
  return out + "\"";
}

template <class T>
std::string json_number(const std::optional<T>& value) {
  return value ? std::to_string(*value) : "null";
}

// "-59.999 s", "29 min 59.999 s".
std::string duration(std::int64_t ms) {
  const std::uint64_t magnitude =
      ms < 0 ? 0 - static_cast<std::uint64_t>(ms) : static_cast<std::uint64_t>(ms);
  const std::uint64_t minutes = magnitude / 60'000;
  const std::uint64_t seconds = magnitude / 1'000 % 60;
  char text[64];
  if (minutes == 0) {
    (void)std::snprintf(text, sizeof text, "%s%" PRIu64 ".%03" PRIu64 " s", ms < 0 ? "-" : "",
                        seconds, magnitude % 1'000);
  } else {
    (void)std::snprintf(text, sizeof text, "%s%" PRIu64 " min %" PRIu64 ".%03" PRIu64 " s",
                        ms < 0 ? "-" : "", minutes, seconds, magnitude % 1'000);
  }
  return text;
}

// The local date-time `ms` milliseconds after the start of `year`, which
// the caller keeps within the year.
std::string local_time(std::int32_t year, std::int64_t ms) {
  std::int64_t day = ms / milliseconds_per_day;  // [0, 365]
  std::int32_t month = 1;
  while (month < 12 && day >= days_in_month(year, month)) day -= days_in_month(year, month++);
  const std::int64_t in_day = ms % milliseconds_per_day;
  char text[64];
  (void)std::snprintf(text, sizeof text,
                      "%04" PRId32 "-%02" PRId32 "-%02" PRId64 " %02" PRId64 ":%02" PRId64
                      ":%02" PRId64 ".%03" PRId64 " local time",
                      year, month, day + 1, in_day / 3'600'000, in_day / 60'000 % 60,
                      in_day / 1'000 % 60, in_day % 1'000);
  return text;
}

// When a token of age `age` was issued, by the local clock at `now`: the
// moment its stamp names in the clock's own cycle of the year stamp.
std::string issued_at(DateTicks now, std::int64_t age) {
  const std::int32_t year = year_of_ticks(now);
  const std::int64_t into_year = ms_since_year_start(now);
  const std::int64_t year_ms = (is_leap_year(year) ? 366 : 365) * milliseconds_per_day;
  if (age > into_year || age <= into_year - year_ms) return "not within this year";
  return local_time(year, into_year - age);
}

std::string plain_report(const TokenReport& r, const InspectSettings& s, DateTicks now) {
  std::string out;
  const auto line = [&out](std::string_view name, const std::string& value) {
    out.append(name).append(10 - name.size(), ' ').append(value).append("\n");
  };
  if (r.id && r.stamp && r.now && r.age_ms) {
    line("id", escaped(*r.id));
    line("stamp", std::to_string(*r.stamp) + ", " + issued_at(now, *r.age_ms));
    line("now", std::to_string(*r.now) + ", " + issued_at(now, 0));
    line("age", duration(*r.age_ms));
  }
  line("lifetime", std::to_string(s.lifetime) + " min");
  std::string verdict(verdict_name(r.verdict));
  if (!r.reason.empty()) verdict.append(": ").append(r.reason);
  line("verdict", verdict);
  return out;
}

std::string json_report(const TokenReport& r, const InspectSettings& s) {
  std::string out = "{\"verdict\": " + json_string(verdict_name(r.verdict));
  out += ", \"id_hex\": " + (r.id ? json_string(hex(*r.id)) : "null");
  if (r.id && is_utf8(*r.id)) out += ", \"id\": " + json_string(*r.id);
  out += ", \"stamp\": " + json_number(r.stamp);
  out += ", \"now\": " + json_number(r.now);
  out += ", \"age_ms\": " + json_number(r.age_ms);
  out += ", \"lifetime\": " + std::to_string(s.lifetime);
  out += ", \"reason\": " + (r.reason.empty() ? "null" : json_string(r.reason));
  return out + "}\n";
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

std::optional<InspectSettings> scan_inspect_arguments(const std::vector<std::string_view>& args) {
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

InspectOutput run_inspect(const std::vector<std::string_view>& args, DateTicks now) {
  if (args.size() == 1 && args[0] == "--help")
    return {std::string(inspect_usage_text).append(help_text), {}, 0};
  if (args.size() == 1 && args[0] == "--version")
    return {"idstamp-inspect " IDSTAMP_VERSION_STRING "\n", {}, 0};
  const std::optional<InspectSettings> s = scan_inspect_arguments(args);
  if (!s) return {{}, std::string(inspect_usage_text), 2};
  const TokenReport report = inspect_token(s->token, s->lifetime, year_stamp_of(now));
  return {s->json ? json_report(report, *s) : plain_report(report, *s, now),
          {},
          report.verdict == Verdict::fresh ? 0 : 1};
}

}  // namespace idstamp
