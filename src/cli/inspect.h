// idstamp-inspect: what a checker makes of a token, and why; for one token,
// or for a stream of them.
//
// run_inspect (inspect.cc) is the program; its parts are the arguments
// (inspect_args.h), the reports (inspect_report.h), the batch driver
// (inspect_batch.h) over its record buffer (record_buffer.h), and UTF-8
// checking (utf8.h). What they share is in inspect_types.h.
#ifndef IDSTAMP_INSPECT_H
#define IDSTAMP_INSPECT_H

#include "cli/inspect_types.h"
#include "cli/text.h"

namespace idstamp {

struct InspectOutput {
  using Text = FixedText<report_size>;
  Text out;
  FixedText<error_size> err;  // what was wrong and the usage; or the failure that ended a batch
  int status = 0;             // 0 fresh, 1 any refusal or a failure, 2 a usage error
};

// The program for `args` (without the program path). For one token: what it
// prints, which `streams` never sees, and the clock is read once, and only
// for a token that parses and no --at. For --batch: out stays empty, the
// records are read from `streams` and their results written there, as
// run_batch (cli/inspect_batch.h) tells; the status is 0 when it is done, and
// 1, with the failure's line in err, when reading, writing or memory failed.
InspectOutput run_inspect(const Args& args, Clock clock, BatchStreams& streams);

}  // namespace idstamp

#endif  // IDSTAMP_INSPECT_H
