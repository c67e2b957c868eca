#include "cli/inspect.h"

#include <cstdlib>
#include <cstring>

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
    "  -t MINUTES   the lifetime to judge the token by (default 30)\n"
    "  --json       print one JSON object instead of lines\n"
    "  --at MOMENT  judge as if the local clock read MOMENT, given as\n"
    "               'YYYY-MM-DD HH:MM:SS[.mmm]' (or with a T for the space)\n"
    "  --           end the options, for a token that begins with '-'\n"
    "  --batch      judge the tokens of standard input, one a line (a CR before\n"
    "               the LF is dropped), and print one result for each as it is\n"
    "               read: with --json, the JSON object with \"line\": N first;\n"
    "               without, N, the verdict, the age in ms and the escaped id,\n"
    "               separated by tabs\n"
    "  -z           with --batch, tokens end in a zero byte instead of a line\n"
    "\n"
    "Exit status: 0 for a fresh token, 1 for any other verdict, a failed write\n"
    "or no memory, 2 for a usage error. With --batch: 0 when every token was\n"
    "judged and its result written, whatever the verdicts; 1 when reading,\n"
    "writing or memory failed; 2 for a usage error.\n";

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

// The JSON object of one judged token; in a batch, "line" comes first.
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

// The number in text[at, at + n) when those bytes are all decimal digits;
// -1 otherwise.
std::int32_t digits_at(std::string_view text, std::size_t at, std::size_t n) {
  std::int32_t v = 0;
  for (std::size_t i = at; i < at + n; ++i) {
    const auto d = static_cast<unsigned char>(text[i] - '0');
    if (d > 9) return -1;
    v = v * 10 + d;
  }
  return v;
}

// A --at value in an error message: escaped, and cut after 64 bytes.
void append_moment_error(FixedText<512>& err, std::string_view value) {
  constexpr std::size_t shown = 64;
  append_escaped(err.append("idstamp-inspect: --at '"), value.substr(0, shown));
  err.append(value.size() > shown ? "...'" : "'");
  err.append(" is not a local date-time YYYY-MM-DD HH:MM:SS[.mmm] in years 1 to 9999\n");
}

// The longest result of one record: the JSON of a 999-byte id of control
// characters (six bytes each as a JSON string, two in hex) stays below it.
constexpr std::size_t max_result = InspectOutput::Text::capacity;

// Results waiting to be written: several records' worth, so that a batch
// makes one write for many results.
using BatchText = FixedText<4 * max_result>;

// One record of a batch, judged into its result.
void judge_record(BatchText& out, std::string_view record, std::uint64_t line,
                  const InspectSettings& s, std::optional<std::uint32_t> fixed_now, Clock clock) {
  char id[max_id_length + 1];
  Check check;
  check_token(record, s.lifetime, fixed_now ? at_stamp(*fixed_now) : by_clock(clock), id, check);
  const std::string_view id_text(id, check.id_length);
  if (s.json) {
    json_report(out, check, id_text, s.lifetime, line);
    return;
  }
  out.number(line).append('\t').append(verdict_name(check.verdict));
  if (!check.parsed) {
    out.append(": ").append(check.reason).append("\t\t\n");
    return;
  }
  append_escaped(out.append('\t').number(check.age_ms).append('\t'), id_text);
  out.append('\n');
}

// The bytes read and not yet judged. They lie in a buffer of its own until a
// record outgrows it, then on the heap, which doubles as often as a record
// needs; malloc and realloc report a failure rather than throw.
class RecordBuffer {
 public:
  RecordBuffer() = default;
  RecordBuffer(const RecordBuffer&) = delete;
  RecordBuffer& operator=(const RecordBuffer&) = delete;
  ~RecordBuffer() { std::free(heap_); }

  char* data() { return heap_ != nullptr ? heap_ : own_; }
  std::size_t capacity() const { return capacity_; }

  // Twice the room, keeping the bytes; false, keeping everything, when
  // there is no memory for it.
  bool grow() {
    if (capacity_ > static_cast<std::size_t>(-1) / 2) return false;
    const std::size_t bigger = capacity_ * 2;
    void* const p = heap_ != nullptr ? std::realloc(heap_, bigger) : std::malloc(bigger);
    if (p == nullptr) return false;
    if (heap_ == nullptr) std::memcpy(p, own_, capacity_);
    heap_ = static_cast<char*>(p);
    capacity_ = bigger;
    return true;
  }

 private:
  char own_[1 << 16] = {};
  char* heap_ = nullptr;
  std::size_t capacity_ = sizeof own_;
};

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

ScannedArguments scan_inspect_arguments(Args args) {
  ScannedArguments scanned;
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
    } else if (arg == "--batch") {
      s.batch = true;
    } else if (arg == "-z") {
      s.zero_ends = true;
    } else if (arg == "-t") {
      if (++i == args.size()) return scanned;
      const std::optional<std::int64_t> minutes = read_decimal(args[i], DecimalWidth::int32);
      if (!minutes || *minutes <= 0) return scanned;
      s.lifetime = static_cast<std::int32_t>(*minutes);
    } else if (arg == "--at") {
      if (++i == args.size()) return scanned;
      s.at = read_moment(args[i]);
      if (!s.at) {
        scanned.bad_moment = args[i];
        return scanned;
      }
    } else if (!arg.empty() && arg[0] == '-') {
      return scanned;  // an option we do not know
    } else {
      break;
    }
  }
  // The token and nothing after it; in a batch, nothing at all.
  if (args.size() - i != (s.batch ? 0 : 1)) return scanned;
  if (s.zero_ends && !s.batch) return scanned;
  if (!s.batch) s.token = args[i];
  scanned.settings = s;
  return scanned;
}

// Fixed places for the separators; the fields are checked as
// ticks_from_parts would clamp them, so that a clamped moment is refused.
// days_in_month is 0 for a year or month out of range, so the day test
// refuses those too.
std::optional<DateTicks> read_moment(std::string_view text) {
  if (text.size() != 19 && (text.size() != 23 || text[19] != '.')) return std::nullopt;
  if (text[4] != '-' || text[7] != '-' || (text[10] != ' ' && text[10] != 'T') || text[13] != ':' ||
      text[16] != ':') {
    return std::nullopt;
  }
  const std::int32_t year = digits_at(text, 0, 4);
  const std::int32_t month = digits_at(text, 5, 2);
  const std::int32_t day = digits_at(text, 8, 2);
  const std::int32_t hour = digits_at(text, 11, 2);
  const std::int32_t minute = digits_at(text, 14, 2);
  const std::int32_t second = digits_at(text, 17, 2);
  const std::int32_t millisecond = text.size() == 23 ? digits_at(text, 20, 3) : 0;
  if (day < 1 || day > days_in_month(year, month) || hour < 0 || hour > 23 || minute < 0 ||
      minute > 59 || second < 0 || second > 59 || millisecond < 0) {
    return std::nullopt;
  }
  return ticks_from_parts(year, month, day, hour, minute, second, millisecond);
}

InspectOutput run_inspect(Args args, Clock clock) {
  InspectOutput out;
  if (args.size() == 1 && args[0] == "--help") {
    out.out.append(inspect_usage_text).append(help_text);
    return out;
  }
  if (args.size() == 1 && args[0] == "--version") {
    out.out.append("idstamp-inspect " IDSTAMP_VERSION_STRING "\n");
    return out;
  }
  const ScannedArguments scanned = scan_inspect_arguments(args);
  if (!scanned.settings) {
    if (scanned.bad_moment) append_moment_error(out.err, *scanned.bad_moment);
    out.err.append(inspect_usage_text);
    out.status = 2;
    return out;
  }
  const InspectSettings& s = *scanned.settings;
  if (s.batch) {
    out.batch = s;
    return out;
  }
  char id[max_id_length + 1];
  Check check;
  check_token(s.token, s.lifetime, s.at ? at_stamp(year_stamp_of(*s.at)) : by_clock(clock), id,
              check);
  const DateTicks now = s.at ? *s.at : check.clock_ticks;
  const std::string_view id_text(id, check.id_length);
  if (s.json) {
    json_report(out.out, check, id_text, s.lifetime, std::nullopt);
  } else {
    plain_report(out.out, check, id_text, s.lifetime, now);
  }
  out.status = check.verdict == Verdict::fresh ? 0 : 1;
  return out;
}

// The input is read into the record buffer; every record that has ended is
// judged where it lies, and the part of a record still to come moves to the
// front to await the next read. Only a record that fills the whole buffer
// grows it.
int run_batch(const InspectSettings& settings, Clock clock, BatchStreams& streams) {
  const char end_byte = settings.zero_ends ? '\0' : '\n';
  std::optional<std::uint32_t> fixed_now;
  if (settings.at) fixed_now = year_stamp_of(*settings.at);
  RecordBuffer buffer;
  BatchText out;
  const auto flush = [&out, &streams] {
    const bool written = out.view().empty() || streams.write(out.view());
    out.clear();
    return written;
  };
  std::uint64_t line = 0;
  std::size_t used = 0;     // bytes in the buffer
  std::size_t scanned = 0;  // of which none ends a record
  for (;;) {
    char* const data = buffer.data();
    std::size_t begin = 0;  // of the record to come
    while (const void* found = std::memchr(data + scanned, end_byte, used - scanned)) {
      const auto end = static_cast<std::size_t>(static_cast<const char*>(found) - data);
      std::string_view record(data + begin, end - begin);
      if (!settings.zero_ends && !record.empty() && record.back() == '\r') record.remove_suffix(1);
      if (out.room() < max_result && !flush()) return 1;
      judge_record(out, record, ++line, settings, fixed_now, clock);
      begin = end + 1;
      scanned = begin;
    }
    if (!flush()) return 1;  // before a read that may wait
    if (begin > 0) std::memmove(data, data + begin, used - begin);
    used -= begin;
    scanned = used;
    if (used == buffer.capacity() && !buffer.grow()) return 1;
    const std::ptrdiff_t n = streams.read(buffer.data() + used, buffer.capacity() - used);
    if (n < 0) return 1;
    if (n == 0) break;
    used += static_cast<std::size_t>(n);
  }
  if (used > 0) judge_record(out, {buffer.data(), used}, ++line, settings, fixed_now, clock);
  return flush() ? 0 : 1;
}

}  // namespace idstamp
