// idstamp-inspect --batch: a stream of tokens judged one record at a time.
#ifndef IDSTAMP_INSPECT_BATCH_H
#define IDSTAMP_INSPECT_BATCH_H

#include <cstdint>

#include "cli/inspect_types.h"
#include "token/core.h"

namespace idstamp {

// Judges every record of the input in turn and writes one result for each,
// in order: the --json object with "line" first, or the line
//   NUMBER TAB VERDICT[": " REASON] TAB AGE_MS TAB ESCAPED_ID
// where a malformed record leaves the last two fields empty. Results are
// written before every read, so none waits for input to come. The clock is
// read once for each record that parses, and never with --at. Memory grows
// with the longest record only.
//
// How a batch ended: every record judged and its result written, or the
// failure that stopped it, after which nothing more is written.
enum class BatchEnd { done, read_failed, write_failed, no_memory };

// With --moments or --log each record is judged at the moment it names, and
// a record that names none gets a line that says why (or, for a log line
// without the parameter, nothing); `unjudged`, when given, receives their
// count. With --summary, one summary is written at the end instead.
BatchEnd run_batch(const InspectSettings& settings, Clock clock, BatchStreams& streams,
                   std::uint64_t* unjudged = nullptr);

}  // namespace idstamp

#endif  // IDSTAMP_INSPECT_BATCH_H
