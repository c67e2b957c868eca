// The command-line front end, as a function from arguments to output.
#ifndef IDSTAMP_CLI_H
#define IDSTAMP_CLI_H

#include <cstdint>
#include <optional>
#include <string_view>

#include "cli/text.h"
#include "token/core.h"

namespace idstamp {

inline constexpr std::string_view usage_text =
    "Usage:\n-i id -c crypt -d decrypt -t encrypted id lifetime in minutes (default 30)\n";

// Exit statuses: a result or silence; a failed write or no memory; the
// usage text.
inline constexpr int exit_ok = 0;
inline constexpr int exit_failed = 1;
inline constexpr int exit_usage = 2;

enum class Mode { none, crypt, decrypt };

struct Settings {
  std::optional<std::string_view> id;
  Mode mode = Mode::none;
  std::int32_t lifetime = default_lifetime;
};

// Visits every argument in turn. An argument with another after it may take
// that one as its value ("-i" always, "-t" when the value reads as a number),
// but the value is still visited in its own turn, so "-i -c" sets the id to
// "-c" and crypt mode too. Later settings win; unknown arguments are ignored.
Settings scan_arguments(Args args);

// What to print on standard output, and the exit status when it is written.
struct CliOutput {
  FixedText<2048> text;  // the help text, or a token or id and a newline
  int status = exit_ok;
};

// What the tool does for `args`, which exclude the program path: a token or
// an id and a newline, nothing, or the usage text (status 2). "--help" and
// "--version" as the only argument print the help or the version.
CliOutput run_cli(const Args& args);

}  // namespace idstamp

#endif  // IDSTAMP_CLI_H
