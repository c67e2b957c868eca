// idstamp-inspect: what a checker makes of a token, and why.
#ifndef IDSTAMP_INSPECT_H
#define IDSTAMP_INSPECT_H

#include <cstdint>
#include <optional>
#include <string_view>

#include "cli/text.h"
#include "idstamp/date_ticks.h"
#include "token/core.h"

namespace idstamp {

inline constexpr std::string_view inspect_usage_text =
    "usage: idstamp-inspect [-t MINUTES] [--json] [--] TOKEN\n";

struct InspectSettings {
  std::int32_t lifetime = 30;
  bool json = false;
  std::string_view token;
};

// args = *( "-t" MINUTES / "--json" ) [ "--" ] TOKEN
// MINUTES reads as a positive decimal number; TOKEN is the last argument,
// and may be empty. Nothing otherwise.
std::optional<InspectSettings> scan_inspect_arguments(Args args);

// Well-formed UTF-8: no overlong forms, no surrogates, nothing past U+10FFFF.
bool is_utf8(std::string_view text);

struct InspectOutput {
  // Room for the longest report: a 999-byte id as JSON and in hex.
  using Text = FixedText<16384>;
  Text out;
  std::string_view err;  // the usage line, or nothing
  int status = 0;        // 0 fresh, 1 any refusal, 2 a usage error
};

// What the program prints for `args` (without the program path) when the
// local date-time is `now`.
InspectOutput run_inspect(Args args, DateTicks now);

}  // namespace idstamp

#endif  // IDSTAMP_INSPECT_H
