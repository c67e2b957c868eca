// Records that carry their own moment: "MOMENT<TAB>TOKEN" (--moments) and
// the Common or Combined Log Format of web servers (--log clf), read into the
// local reading to judge at and the token, or the cause that leaves the
// record unjudged.
#ifndef IDSTAMP_LOG_LINE_H
#define IDSTAMP_LOG_LINE_H

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string_view>

#include "idstamp/date_ticks.h"

namespace idstamp {

// Why a record got no verdict. `none` for a record that did.
enum class Unjudged : std::uint8_t { none, no_moment, bad_moment, not_a_log_line, bad_escape };

inline constexpr std::size_t unjudged_causes = 4;  // the causes after `none`

// "no moment", "bad moment", "not a log line", "bad escape"; empty for none.
std::string_view unjudged_name(Unjudged cause);

// An instant: UTC seconds since 1970-01-01 and the millisecond part.
struct Instant {
  std::int64_t seconds;
  std::int32_t millisecond;
};

// The local wall-clock reading of an instant under TZ, as the host converts
// it; nothing when the host cannot, or when the reading falls outside
// years 1 to 9999. The last conversion is remembered, so that the records
// of one second convert once, and so is the last bracketed time of a CLF
// line, which the lines of one second share.
class LocalReadings {
 public:
  std::optional<DateTicks> of(Instant instant);
  // The reading of a CLF time "[DD/Mon/YYYY:HH:MM:SS +HHMM]" of that shape;
  // nothing for a field out of range too.
  std::optional<DateTicks> of_clf_time(std::string_view time);
  // Whether `time`, of clf_time_size bytes, is the last one converted (and
  // so of the shape of one), and what of_clf_time gave for it.
  bool is_last_clf_time(std::string_view time) const {
    // Word by word: a call to memcmp would cost as much as the rest.
    std::uint64_t a[4] = {};
    std::uint64_t b[4] = {};
    std::memcpy(a, time.data(), clf_time_size);
    std::memcpy(b, clf_time_, clf_time_size);
    return ((a[0] ^ b[0]) | (a[1] ^ b[1]) | (a[2] ^ b[2]) | (a[3] ^ b[3])) == 0;
  }
  std::optional<DateTicks> last_clf_reading() const { return clf_reading_; }

  static constexpr std::size_t clf_time_size = 28;

 private:
  bool known_ = false;
  std::int64_t seconds_ = 0;
  std::optional<DateTicks> whole_second_;  // the reading at seconds_, 0 ms
  char clf_time_[clf_time_size] = {};      // zeroes match no time
  std::optional<DateTicks> clf_reading_;
};

// What a record names: the reading to judge at and the token, or a cause.
// A --log line without the parameter is `skipped`, with neither.
struct LogRecord {
  Unjudged cause = Unjudged::none;
  bool skipped = false;
  DateTicks at = 0;
  std::string_view token;
};

// MOMENT is a local reading as --at takes it ("YYYY-MM-DD HH:MM:SS[.mmm]",
// T or a space between), judged as it reads; or the same followed by "Z",
// "z", "+HH:MM" or "-HH:MM", an instant judged at its local reading. The
// first TAB ends it and the token is every byte after that TAB.
LogRecord read_moments_record(std::string_view record, LocalReadings& local);

// A CLF line: the instant of "[DD/Mon/YYYY:HH:MM:SS +HHMM]" at the first
// '[', then ` "` and the request up to its closing quote. The request's log
// escapes (\" \\ \xHH) are undone and the first value of the query
// parameter `name` in its target percent-decoded, both in place: the token
// lies in `line`.
LogRecord read_clf_record(char* line, std::size_t size, std::string_view name,
                          LocalReadings& local);

}  // namespace idstamp

#endif  // IDSTAMP_LOG_LINE_H
