#include "cli/log_line.h"

#include <array>
#include <cstring>

#include "cli/inspect_args.h"
#include "time/local_clock.h"

namespace idstamp {

namespace {

constexpr std::int64_t ticks_per_second = 10'000'000;
// Seconds from 0001-01-01 to 1970-01-01: 719,162 days.
constexpr std::int64_t epoch_seconds = 62'135'596'800;

// The value of a hex digit, or -1.
int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool is_letter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// The instant of a reading taken on a clock `offset_minutes` ahead of UTC.
Instant instant_of(DateTicks reading, std::int32_t offset_minutes) {
  const auto ticks = static_cast<std::int64_t>(reading & tick_mask);
  return {ticks / ticks_per_second - epoch_seconds - std::int64_t{offset_minutes} * 60,
          static_cast<std::int32_t>(ticks / ticks_per_millisecond % 1'000)};
}

// "+HH:MM" or "-HH:MM" (with a colon) or "+HHMM" / "-HHMM" (without), HH in
// [0, 23] and MM in [0, 59]: the offset in minutes, or nothing.
std::optional<std::int32_t> read_offset(std::string_view text, bool colon) {
  if (text.size() != (colon ? 6u : 5u) || (text[0] != '+' && text[0] != '-')) return std::nullopt;
  if (colon && text[3] != ':') return std::nullopt;
  const std::int32_t hours = digits_at(text, 1, 2);
  const std::int32_t minutes = digits_at(text, colon ? 4 : 3, 2);
  if (hours < 0 || hours > 23 || minutes < 0 || minutes > 59) return std::nullopt;
  const std::int32_t offset = hours * 60 + minutes;
  return text[0] == '-' ? -offset : offset;
}

}  // namespace

std::string_view unjudged_name(Unjudged cause) {
  switch (cause) {
    case Unjudged::none:
      break;
    case Unjudged::no_moment:
      return "no moment";
    case Unjudged::bad_moment:
      return "bad moment";
    case Unjudged::not_a_log_line:
      return "not a log line";
    case Unjudged::bad_escape:
      return "bad escape";
  }
  return {};
}

std::optional<DateTicks> LocalReadings::of(Instant instant) {
  if (!known_ || instant.seconds != seconds_) {
    known_ = true;
    seconds_ = instant.seconds;
    const LocalFields f = local_fields(instant.seconds);
    const std::int64_t year = std::int64_t{f.years_since_1900} + 1'900;
    if (f.month < 0 || year < min_year || year > max_year) {
      whole_second_ = std::nullopt;
    } else {
      whole_second_ = ticks_from_local(f, 0);
    }
  }
  if (!whole_second_) return std::nullopt;
  return *whole_second_ + static_cast<DateTicks>(instant.millisecond) * ticks_per_millisecond;
}

LogRecord read_moments_record(std::string_view record, LocalReadings& local) {
  LogRecord r;
  const std::size_t tab = record.find('\t');
  if (tab == std::string_view::npos) {
    r.cause = Unjudged::no_moment;
    return r;
  }
  r.token = record.substr(tab + 1);
  const std::string_view moment = record.substr(0, tab);
  // The reading: 23 characters when the seconds have a fraction.
  const std::size_t reading_size = moment.size() > 19 && moment[19] == '.' ? 23 : 19;
  const std::optional<DateTicks> reading = read_moment(moment.substr(0, reading_size));
  const std::string_view zone = moment.size() > reading_size ? moment.substr(reading_size) : "";
  std::optional<std::int32_t> offset;
  if (zone == "Z" || zone == "z") {
    offset = 0;
  } else if (!zone.empty()) {
    offset = read_offset(zone, true);
  }
  // A local reading as it reads; an instant as the local clock read then.
  std::optional<DateTicks> at = reading;
  if (reading && !zone.empty()) {
    at = offset ? local.of(instant_of(*reading, *offset)) : std::nullopt;
  }
  if (at) {
    r.at = *at;
  } else {
    r.cause = Unjudged::bad_moment;
  }
  return r;
}

namespace {

constexpr std::string_view month_names = "JanFebMarAprMayJunJulAugSepOctNovDec";

// The bracketed time of a CLF line, "[DD/Mon/YYYY:HH:MM:SS +HHMM]", whose
// shape has been checked: its instant, or nothing for a field out of range.
std::optional<Instant> clf_instant(std::string_view t) {
  std::int32_t month = 0;
  for (std::int32_t m = 0; m < 12; ++m)
    if (t.substr(4, 3) == month_names.substr(static_cast<std::size_t>(m) * 3, 3)) month = m + 1;
  const std::int32_t day = digits_at(t, 1, 2);
  const std::int32_t year = digits_at(t, 8, 4);
  const std::int32_t hour = digits_at(t, 13, 2);
  const std::int32_t minute = digits_at(t, 16, 2);
  const std::int32_t second = digits_at(t, 19, 2);
  const std::optional<std::int32_t> offset = read_offset(t.substr(22, 5), false);
  if (month == 0 || day < 1 || day > days_in_month(year, month) || hour > 23 || minute > 59 ||
      second > 59 || !offset) {
    return std::nullopt;
  }
  return instant_of(ticks_from_parts(year, month, day, hour, minute, second, 0), *offset);
}

// Whether the 28 bytes at t have the shape of the bracketed time.
bool clf_time_shaped(std::string_view t) {
  constexpr std::string_view shape = "[00/aaa/0000:00:00:00 +0000]";
  if (t.size() < shape.size()) return false;
  for (std::size_t i = 0; i < shape.size(); ++i) {
    const char c = t[i];
    const bool fits = shape[i] == '0'   ? c >= '0' && c <= '9'
                      : shape[i] == 'a' ? is_letter(c)
                      : shape[i] == '+' ? c == '+' || c == '-'
                                        : c == shape[i];
    if (!fits) return false;
  }
  return true;
}

// Undoes the log escapes of request[0, size) in place: \" and \\ give the
// byte escaped, \xHH the byte it names; any other backslash stays. The new
// size.
std::size_t undo_log_escapes(char* request, std::size_t size) {
  const void* const first = std::memchr(request, '\\', size);
  if (first == nullptr) return size;
  std::size_t out = static_cast<std::size_t>(static_cast<const char*>(first) - request);
  for (std::size_t i = out; i < size; ++i) {
    char c = request[i];
    if (c == '\\' && i + 1 < size) {
      const char next = request[i + 1];
      if (next == '"' || next == '\\') {
        c = next;
        ++i;
      } else if (next == 'x' && i + 3 < size && hex_value(request[i + 2]) >= 0 &&
                 hex_value(request[i + 3]) >= 0) {
        c = static_cast<char>(hex_value(request[i + 2]) * 16 + hex_value(request[i + 3]));
        i += 3;
      }
    }
    request[out++] = c;
  }
  return out;
}

// Percent-decodes value[0, size) in place ('+' stays): the new size, or
// nothing for a '%' without two hex digits after it.
std::optional<std::size_t> percent_decode(char* value, std::size_t size) {
  const void* const first = std::memchr(value, '%', size);
  if (first == nullptr) return size;
  std::size_t out = static_cast<std::size_t>(static_cast<const char*>(first) - value);
  for (std::size_t i = out; i < size; ++i) {
    char c = value[i];
    if (c == '%') {
      if (size - i < 3 || hex_value(value[i + 1]) < 0 || hex_value(value[i + 2]) < 0)
        return std::nullopt;
      c = static_cast<char>(hex_value(value[i + 1]) * 16 + hex_value(value[i + 2]));
      i += 2;
    }
    value[out++] = c;
  }
  return out;
}

}  // namespace

std::optional<DateTicks> LocalReadings::of_clf_time(std::string_view time) {
  std::memcpy(clf_time_, time.data(), clf_time_size);
  const std::optional<Instant> instant = clf_instant(time);
  clf_reading_ = instant ? of(*instant) : std::nullopt;
  return clf_reading_;
}

namespace {

// Marks of the bytes that end a part of a request without log escapes.
constexpr std::uint8_t quote_mark = 1;    // '"' ends the request; '\\' starts an escape
constexpr std::uint8_t space_mark = 2;    // ' ' ends the method and the target
constexpr std::uint8_t query_mark = 4;    // '?' starts the query
constexpr std::uint8_t pair_mark = 8;     // '&' ends a pair, '#' the query
constexpr std::uint8_t equals_mark = 16;  // '=' ends a name

constexpr std::array<std::uint8_t, 256> request_marks = [] {
  std::array<std::uint8_t, 256> marks{};
  marks['"'] = marks['\\'] = quote_mark;
  marks[' '] = space_mark;
  marks['?'] = query_mark;
  marks['&'] = marks['#'] = pair_mark;
  marks['='] = equals_mark;
  return marks;
}();

// Eight bytes at a time for the long parts of a request: whether a word
// (eight bytes) holds a byte `c`, or one below `c` (<= 128).
constexpr std::uint64_t ones = ~std::uint64_t{0} / 255;

bool holds_byte(std::uint64_t word, char c) {
  const std::uint64_t x = word ^ (ones * static_cast<unsigned char>(c));
  return ((x - ones) & ~x & (ones << 7)) != 0;
}

bool holds_below(std::uint64_t word, unsigned c) {
  return ((word - ones * c) & ~word & (ones << 7)) != 0;
}

// Moves `at` forward by whole words of line[at, size) in which `may_stop`
// sees no byte that could end the part read.
template <class MayStop>
void skip_words(const char* line, std::size_t& at, std::size_t size, MayStop may_stop) {
  std::size_t i = at;
  for (std::uint64_t word = 0; i + 8 <= size; i += 8) {
    std::memcpy(&word, line + i, 8);
    if (may_stop(word)) break;
  }
  at = i;
}

// The first value of the query parameter `name` in the target of `request`,
// whose log escapes have been undone; nothing when it has none.
std::optional<std::string_view> param_value(std::string_view request, std::string_view name) {
  const std::size_t space = request.find(' ');
  std::string_view target = space == std::string_view::npos ? "" : request.substr(space + 1);
  target = target.substr(0, target.find(' '));
  const std::size_t question = target.find('?');
  if (question == std::string_view::npos) return std::nullopt;
  std::string_view query = target.substr(question + 1);
  query = query.substr(0, query.find('#'));
  while (true) {
    const std::string_view pair = query.substr(0, query.find('&'));
    const std::size_t equals = pair.find('=');
    if (pair.substr(0, equals) == name)
      return pair.substr(equals == std::string_view::npos ? pair.size() : equals + 1);
    if (pair.size() == query.size()) return std::nullopt;
    query.remove_prefix(pair.size() + 1);
  }
}

}  // namespace

LogRecord read_clf_record(char* line, std::size_t size, std::string_view name,
                          LocalReadings& local) {
  LogRecord r;
  const void* const bracket = std::memchr(line, '[', size);
  constexpr std::size_t time_size = LocalReadings::clf_time_size;
  const std::size_t open =
      bracket == nullptr ? 0 : static_cast<std::size_t>(static_cast<const char*>(bracket) - line);
  const std::size_t request = open + time_size + 2;  // after `] "`
  const std::string_view time(line + open, time_size);
  const bool same_second = bracket != nullptr && size >= request && local.is_last_clf_time(time);
  if (bracket == nullptr || size < request || line[request - 2] != ' ' ||
      line[request - 1] != '"' || !(same_second || clf_time_shaped({line + open, size - open}))) {
    r.cause = Unjudged::not_a_log_line;
    return r;
  }
  // One pass over a request without escapes: its method, its target, the
  // target's query pair by pair up to the one named, then up to the closing
  // quote. A backslash sends the request to the slower reading below.
  std::size_t i = request;
  const auto skip = [&i, line, size](std::uint8_t marks) {
    std::size_t j = i;
    while (j < size && (request_marks[static_cast<unsigned char>(line[j])] & marks) == 0) ++j;
    i = j;
  };
  const auto at_byte = [&](char c) { return i < size && line[i] == c; };
  std::size_t value = 0;
  std::size_t value_end = 0;
  bool named = false;
  skip(quote_mark | space_mark);
  if (at_byte(' ')) {
    ++i;
    skip(quote_mark | space_mark | query_mark);
    if (at_byte('?')) {
      do {
        const std::size_t key = ++i;
        skip(quote_mark | space_mark | pair_mark | equals_mark);
        named = i - key == name.size() && (name.empty() || line[key] == name[0]) &&
                std::string_view(line + key, i - key) == name;
        if (at_byte('=')) ++i;
        value = i;
        // Values are long and seldom hold a byte below '\'' but '%'.
        skip_words(line, i, size, [](std::uint64_t word) {
          return holds_below(word, '\'' + 1) || holds_byte(word, '\\');
        });
        skip(quote_mark | space_mark | pair_mark);
        value_end = i;
      } while (!named && at_byte('&'));
    }
  }
  skip_words(line, i, size,
             [](std::uint64_t word) { return holds_byte(word, '"') || holds_byte(word, '\\'); });
  skip(quote_mark);
  const bool escaped = !at_byte('"');
  if (escaped) {
    // The request ends at its closing quote; past a backslash, byte by byte.
    while (i < size && line[i] != '"') i += line[i] == '\\' ? 2 : 1;
    if (i >= size) {
      r.cause = Unjudged::not_a_log_line;
      return r;
    }
  }
  const std::optional<DateTicks> at =
      same_second ? local.last_clf_reading() : local.of_clf_time(time);
  if (!at) {
    r.cause = Unjudged::bad_moment;
    return r;
  }
  r.at = *at;
  if (escaped) {
    // Undone, the escapes may make or unmake any part of the request.
    const std::size_t request_size = undo_log_escapes(line + request, i - request);
    const std::optional<std::string_view> found = param_value({line + request, request_size}, name);
    named = found.has_value();
    if (named) {
      value = static_cast<std::size_t>(found->data() - line);
      value_end = value + found->size();
    }
  }
  r.skipped = !named;
  if (!named) return r;
  // The value lies in `line`, which this function may write.
  const std::optional<std::size_t> decoded = percent_decode(line + value, value_end - value);
  r.cause = decoded ? Unjudged::none : Unjudged::bad_escape;
  r.token = std::string_view(line + value, decoded.value_or(0));
  return r;
}

}  // namespace idstamp
