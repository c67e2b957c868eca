// The records of a batch that name their own moments (--moments, --log), and
// every record of a --summary batch: judged, reported or summed up.
#ifndef IDSTAMP_BATCH_RECORD_H
#define IDSTAMP_BATCH_RECORD_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>

#include "cli/inspect_report.h"
#include "cli/inspect_types.h"
#include "cli/log_line.h"
#include "cli/summary.h"

namespace idstamp {

// What a batch carries from one record to the next.
struct DatedBatch {
  LocalReadings local;
  std::unique_ptr<Summary> summary;  // with --summary
  std::uint64_t unjudged = 0;
  DateTicks stamp_of = 0;  // the last reading judged at, and its year stamp
  std::uint32_t stamp = year_stamp_of(0);
};

// A DatedBatch for `settings`, or nothing when there is no memory for its
// summary.
std::unique_ptr<DatedBatch> start_dated_batch(const InspectSettings& settings);

// Judges record[0, size) (its CR dropped; it may be rewritten in place) at
// `at` when given, at the moment it names with --moments or --log, or else by
// the clock; then writes its result (or nothing for a skipped log line, and
// for every record with --summary), or adds it to the summary.
void judge_dated_record(BatchText& out, char* record, std::size_t size, std::uint64_t line,
                        const InspectSettings& settings, std::optional<DateTicks> at, Clock clock,
                        DatedBatch& batch);

// The summary with --json, or its table.
void append_summary(BatchText& out, const Summary& summary, bool json);

// "idstamp-inspect: N records could not be judged" and a newline, N > 0.
void append_unjudged_count(FixedText<error_size>& err, std::uint64_t n);

}  // namespace idstamp

#endif  // IDSTAMP_BATCH_RECORD_H
