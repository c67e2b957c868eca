#include "cli/cli.h"

#include "idstamp/version.h"
#include "token/decimal.h"
#include "token/token_codec.h"

namespace idstamp {

namespace {

constexpr std::string_view help_text =
    "\n"
    "  -i VALUE    the id, or with -d the token\n"
    "  -c          crypt: print a token for the id\n"
    "  -d          decrypt: print the id the token carries while it is fresh\n"
    "  -t MINUTES  the lifetime a token is checked against (default 30)\n"
    "  --help      print this text (as the only argument)\n"
    "  --version   print the version (as the only argument)\n"
    "\n"
    "A refused token or an empty id prints nothing.\n"
    "Exit status: 0 when the token, the id or nothing was printed, 1 when the\n"
    "output could not be written, 2 when the usage text was printed.\n";

}  // namespace

Settings scan_arguments(const std::vector<std::string_view>& args) {
  Settings s;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    if (i + 1 < args.size()) {
      const std::string_view next = args[i + 1];
      if (arg == "-i") {
        s.id = next;
      } else if (arg == "-t" && !next.empty()) {
        if (const auto minutes = read_decimal(next, DecimalWidth::int32))
          s.lifetime = static_cast<std::int32_t>(*minutes);
      }
    }
    if (arg == "-c") {
      s.mode = Mode::crypt;
    } else if (arg == "-d") {
      s.mode = Mode::decrypt;
    }
  }
  return s;
}

CliOutput run_cli(const std::vector<std::string_view>& args) {
  if (args.size() == 1 && args[0] == "--help")
    return {std::string(usage_text).append(help_text), exit_ok};
  if (args.size() == 1 && args[0] == "--version")
    return {"idstamp " IDSTAMP_VERSION_STRING "\n", exit_ok};
  const Settings s = scan_arguments(args);
  if (!s.id || s.mode == Mode::none || s.lifetime <= 0)
    return {std::string(usage_text), exit_usage};
  std::optional<std::string> result =
      s.mode == Mode::crypt ? crypt_id(*s.id) : decrypt_id(*s.id, s.lifetime);
  if (!result) return {};
  *result += '\n';
  return {std::move(*result), exit_ok};
}

}  // namespace idstamp
