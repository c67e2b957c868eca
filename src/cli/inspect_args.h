// The arguments of idstamp-inspect, and the moment a --at value names.
#ifndef IDSTAMP_INSPECT_ARGS_H
#define IDSTAMP_INSPECT_ARGS_H

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "cli/inspect_types.h"
#include "cli/text.h"
#include "idstamp/date_ticks.h"

namespace idstamp {

// args = *option [ "--" ] TOKEN, or with "--batch" among the options,
// args = *option [ "--" ]
// option = "-t" MINUTES / "--json" / "--at" MOMENT / "--batch" / "-z" /
//          "--moments" / "--log" "clf" / "--param" NAME / "--summary"
// MINUTES reads as a positive decimal number, MOMENT as read_moment reads it;
// TOKEN is the last argument, and may be empty. "-z", "--moments", "--log",
// "--param" and "--summary" need "--batch"; "--log" and "--param" come
// together; at most one of "--at", "--moments" and "--log" is given.
// A usage error comes with what is wrong, and the argument at fault.
ScannedArguments scan_inspect_arguments(Args args);

// "YYYY-MM-DD HH:MM:SS" or "YYYY-MM-DD HH:MM:SS.mmm", with a T allowed for
// the space, naming a local date-time that exists in years 1 to 9999: the
// ticks of its fields. Nothing for any other text, rather than a clamped one.
std::optional<DateTicks> read_moment(std::string_view text);

// The number in text[at, at + n) when those bytes are all decimal digits;
// -1 otherwise. The caller sees to it that they lie within text.
std::int32_t digits_at(std::string_view text, std::size_t at, std::size_t n);

}  // namespace idstamp

#endif  // IDSTAMP_INSPECT_ARGS_H
