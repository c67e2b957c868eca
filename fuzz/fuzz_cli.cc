// Random argument vectors through the front end: the output is always the
// usage text (status 2), nothing, a token for the id scanned, or the id a
// fresh token carries (status 0).
#include <string>
#include <vector>

#include "cli/cli.h"
#include "fuzz_check.h"
#include "token/reference.h"

using namespace idstamp;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Arguments are separated by zero bytes, as they are in memory.
  std::vector<std::string_view> args;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  for (std::size_t start = 0; start <= text.size() && args.size() < 64;) {
    const std::size_t end = std::min(text.find('\0', start), text.size());
    args.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  if (size == 0) args.clear();

  const CliOutput result = run_cli(args);
  const std::string_view out = result.text.view();
  if (args.size() == 1 && (args[0] == "--help" || args[0] == "--version")) {
    fuzz::check(result.status == exit_ok && out.size() > 1, "help and version");
    return 0;
  }
  const Settings s = scan_arguments(args);
  if (!s.id || s.mode == Mode::none || s.lifetime <= 0) {
    fuzz::check(out == usage_text && result.status == exit_usage, "usage for incomplete arguments");
    return 0;
  }
  fuzz::check(result.status == exit_ok, "status 0 for a result or silence");
  if (out.empty()) return 0;
  // Ids may hold newlines themselves, so only the last byte is known.
  fuzz::check(out.back() == '\n', "ends in a newline");
  const std::string_view line(out.data(), out.size() - 1);
  if (s.mode == Mode::crypt) {
    const auto contents = reference::contents(line);
    fuzz::check(contents && contents->first == *s.id, "a token for the id");
  } else {
    const auto contents = reference::contents(*s.id);
    fuzz::check(contents && contents->first == line, "the id the token carries");
  }
  return 0;
}
