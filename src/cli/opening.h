// The opening both programs share: "--help" or "--version" as the only
// argument.
#ifndef IDSTAMP_OPENING_H
#define IDSTAMP_OPENING_H

#include <string_view>

#include "cli/text.h"
#include "idstamp/version.h"

namespace idstamp {

// For "--help" alone, appends the usage and the help text; for "--version"
// alone, the line "PROGRAM VERSION". False, appending nothing, for any other
// arguments.
template <class Text>
bool help_or_version(Args args, std::string_view program, std::string_view usage,
                     std::string_view help, Text& out) {
  if (args.size() != 1) return false;
  if (args[0] == "--help") {
    out.append(usage).append(help);
    return true;
  }
  if (args[0] == "--version") {
    out.append(program).append(" " IDSTAMP_VERSION_STRING "\n");
    return true;
  }
  return false;
}

}  // namespace idstamp

#endif  // IDSTAMP_OPENING_H
