// What the parts of idstamp-inspect share: the settings, the usage errors,
// the sizes of the outputs and the streams of a batch. It includes no other
// header of the programs, so that every part may include it.
#ifndef IDSTAMP_INSPECT_TYPES_H
#define IDSTAMP_INSPECT_TYPES_H

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "idstamp/date_ticks.h"
#include "token/core.h"

namespace idstamp {

inline constexpr std::string_view inspect_usage_text =
    "usage: idstamp-inspect [-t MINUTES] [--json] [--at MOMENT] [--] TOKEN\n"
    "       idstamp-inspect --batch [-z] [-t MINUTES] [--json] [--summary]\n"
    "                       [--at MOMENT | --moments | --log clf --param NAME]\n";

// What a batch's records hold: a token, "MOMENT<TAB>TOKEN", or a log line.
enum class RecordForm { token, moments, clf };

struct InspectSettings {
  std::int32_t lifetime = default_lifetime;
  bool json = false;
  bool batch = false;           // tokens from standard input, one a record
  bool zero_ends = false;       // records end in a zero byte, not a line feed
  std::optional<DateTicks> at;  // judge as if the local clock read this
  RecordForm form = RecordForm::token;
  std::string_view param;  // with --log, the query parameter that holds the token
  bool summary = false;    // one summary at the end instead of a result each
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
  batch_only,       // --moments, --log, --param or --summary without --batch
  bad_log_format,   // a --log value other than clf
  log_and_param,    // --log without --param, or --param without --log
  two_moments,      // two of --at, --moments and --log
};

struct ScannedArguments {
  std::optional<InspectSettings> settings;  // nothing for a usage error
  UsageError error = UsageError::none;
  std::string_view argument;  // the option or value at fault, where there is one
};

// Room for the longest report of one token: the JSON of a 999-byte id of
// control characters (six bytes each as a JSON string, two in hex) stays
// below it.
inline constexpr std::size_t report_size = 16384;
// Room for a message on standard error and the usage after it.
inline constexpr std::size_t error_size = 1024;
// Results waiting to be written: several records' worth, so that a batch
// makes one write for many results.
inline constexpr std::size_t batch_output_size = 4 * report_size;

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

}  // namespace idstamp

#endif  // IDSTAMP_INSPECT_TYPES_H
