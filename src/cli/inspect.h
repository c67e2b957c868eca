// idstamp-inspect: what a checker makes of a token, and why; for one token,
// or for a stream of them.
//
// run_inspect (inspect.cc) is the program; its parts are the arguments
// (inspect_args.cc), the reports (inspect_report.h), the batch driver
// (inspect_batch.h) over its record buffer (record_buffer.h), and UTF-8
// checking (utf8.h).
#ifndef IDSTAMP_INSPECT_H
#define IDSTAMP_INSPECT_H

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "cli/text.h"
#include "idstamp/date_ticks.h"
#include "token/core.h"

namespace idstamp {

inline constexpr std::string_view inspect_usage_text =
    "usage: idstamp-inspect [-t MINUTES] [--json] [--at MOMENT] [--] TOKEN\n"
    "       idstamp-inspect --batch [-z] [-t MINUTES] [--json] [--at MOMENT]\n";

struct InspectSettings {
  std::int32_t lifetime = default_lifetime;
  bool json = false;
  bool batch = false;           // tokens from standard input, one a record
  bool zero_ends = false;       // records end in a zero byte, not a line feed
  std::optional<DateTicks> at;  // judge as if the local clock read this
  std::string_view token;
};

// What makes the arguments a usage error.
enum class UsageError {
  none,
  no_value,         // -t or --at as the last argument
  bad_minutes,      // a -t value that is not a positive number
  bad_moment,       // a --at value that names no moment
  unknown_option,   // an argument that begins with '-' before the token
  no_token,         // no argument left for the token
  extra_argument,   // an argument after the token
  batch_token,      // a token beside --batch
  zero_ends_alone,  // -z without --batch
};

struct ScannedArguments {
  std::optional<InspectSettings> settings;  // nothing for a usage error
  UsageError error = UsageError::none;
  std::string_view argument;  // the option or value at fault, where there is one
};

// args = *option [ "--" ] TOKEN, or with "--batch" among the options,
// args = *option [ "--" ]
// option = "-t" MINUTES / "--json" / "--at" MOMENT / "--batch" / "-z"
// MINUTES reads as a positive decimal number, MOMENT as read_moment reads it;
// TOKEN is the last argument, and may be empty. "-z" needs "--batch".
// A usage error comes with what is wrong, and the argument at fault.
ScannedArguments scan_inspect_arguments(Args args);

// "YYYY-MM-DD HH:MM:SS" or "YYYY-MM-DD HH:MM:SS.mmm", with a T allowed for
// the space, naming a local date-time that exists in years 1 to 9999: the
// ticks of its fields. Nothing for any other text, rather than a clamped one.
std::optional<DateTicks> read_moment(std::string_view text);

// Where a run reads standard input and writes standard output as it goes:
// the standard streams, or a test's stand-ins. Only --batch uses them.
class BatchStreams {
 public:
  // Reads up to `size` bytes, waiting for at least one: how many were read,
  // 0 at the end of the input, or -1 when reading failed.
  virtual std::ptrdiff_t read(char* buffer, std::size_t size) = 0;
  // Writes every byte of `bytes`, or returns false.
  virtual bool write(std::string_view bytes) = 0;

 protected:
  BatchStreams() = default;
  BatchStreams(const BatchStreams&) = default;
  BatchStreams& operator=(const BatchStreams&) = default;
  ~BatchStreams() = default;
};

// The line on standard error for each failure that makes the status 1.
inline constexpr std::string_view read_failed_text =
    "idstamp-inspect: reading standard input failed\n";
inline constexpr std::string_view write_failed_text =
    "idstamp-inspect: writing standard output failed\n";
inline constexpr std::string_view no_memory_text = "idstamp-inspect: out of memory\n";

// A message on standard error, with the usage after it.
using ErrorText = FixedText<1024>;

struct InspectOutput {
  // Room for the longest report: a 999-byte id as JSON and in hex.
  using Text = FixedText<16384>;
  Text out;
  ErrorText err;   // what was wrong and the usage; or the failure that ended a batch
  int status = 0;  // 0 fresh, 1 any refusal or a failure, 2 a usage error
};

// The program for `args` (without the program path). For one token: what it
// prints, which `streams` never sees, and the clock is read once, and only
// for a token that parses and no --at. For --batch: out stays empty, the
// records are read from `streams` and their results written there, as
// run_batch (cli/inspect_batch.h) tells; the status is 0 when it is done, and
// 1, with the failure's line in err, when reading, writing or memory failed.
InspectOutput run_inspect(Args args, Clock clock, BatchStreams& streams);

}  // namespace idstamp

#endif  // IDSTAMP_INSPECT_H
