// The reports of idstamp-inspect: lines for a person, one JSON object, or a
// batch's tab-separated line, for a token as the core checked it; and the
// message for a --at value that names no moment.
#ifndef IDSTAMP_INSPECT_REPORT_H
#define IDSTAMP_INSPECT_REPORT_H

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "cli/inspect_types.h"
#include "cli/text.h"
#include "idstamp/date_ticks.h"
#include "token/core.h"

namespace idstamp {

// The report of one token, the longest result of one record.
using Report = FixedText<report_size>;
inline constexpr std::size_t max_result = Report::capacity;

// Results waiting to be written.
using BatchText = FixedText<batch_output_size>;

// A message on standard error, with the usage after it.
using ErrorText = FixedText<error_size>;

// The lines of one token, `id` being the id the check read: id, stamp, now
// and age when it parsed, then lifetime and verdict, with the reason for a
// malformed one. `now` is the local date-time it was judged at.
void plain_report(Report& out, const Check& c, std::string_view id, std::int32_t lifetime,
                  DateTicks now);

// The JSON object of one token, and a newline; in a batch, "line" comes
// first. "id" is there only for an id of valid UTF-8.
template <class Text>
void json_report(Text& out, const Check& c, std::string_view id, std::int32_t lifetime,
                 std::optional<std::uint64_t> line);
extern template void json_report(Report&, const Check&, std::string_view, std::int32_t,
                                 std::optional<std::uint64_t>);
extern template void json_report(BatchText&, const Check&, std::string_view, std::int32_t,
                                 std::optional<std::uint64_t>);

// A batch's line for one token:
//   NUMBER TAB VERDICT[": " REASON] TAB AGE_MS TAB ESCAPED_ID
// where a malformed token leaves the last two fields empty.
void tab_report(BatchText& out, const Check& c, std::string_view id, std::uint64_t line);

// The decimal text of a number, kept for the next: converted again only when
// the number changes, and counted up in place when it grows by one, as a
// batch's line numbers do.
class NumberText {
 public:
  std::string_view of(std::uint64_t v);

 private:
  char digits_[20] = {};  // right-aligned, from begin_
  std::size_t begin_ = sizeof digits_;
  std::uint64_t value_ = 0;
  bool set_ = false;
};

// A batch's results, JSON objects or tab-separated lines, as json_report and
// tab_report write them; the lifetime is converted once a batch, and the
// line number and `now` only when they change.
class BatchReports {
 public:
  BatchReports(bool json, std::int32_t lifetime);
  void add(BatchText& out, const Check& c, std::string_view id, std::uint64_t line);

 private:
  bool json_;
  FixedText<48> lifetime_field_;  // ", \"lifetime\": N, \"reason\": "
  FixedText<64> parsed_end_;      // the same, "null}" and a newline
  FixedText<48> now_field_;       // ", \"now\": N, \"age_ms\": "
  std::optional<std::uint32_t> now_;
  NumberText line_;
};

// The line that says what makes the arguments a usage error, naming the
// option or value at fault (escaped, and cut after 64 bytes); nothing for
// arguments without one.
void append_usage_error(ErrorText& err, const ScannedArguments& scanned);

}  // namespace idstamp

#endif  // IDSTAMP_INSPECT_REPORT_H
