#include "cli/cli.h"

#include "cli/opening.h"
#include "idstamp/date_ticks.h"
#include "token/decimal.h"

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
    "output could not be written or memory ran out, 2 when the usage text was\n"
    "printed.\n";

// The usage and help texts keep their bytes, "(default 30)" included.
static_assert(default_lifetime == 30, "the usage and help texts name the default lifetime");

}  // namespace

Settings scan_arguments(Args args) {
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

CliOutput run_cli(const Args& args) {
  CliOutput out;
  if (help_or_version(args, "idstamp", usage_text, help_text, out.text)) return out;
  const Settings s = scan_arguments(args);
  if (!s.id || s.mode == Mode::none || s.lifetime <= 0) {
    out.text.append(usage_text);
    out.status = exit_usage;
    return out;
  }
  if (s.mode == Mode::crypt) {
    if (!is_valid_id(*s.id)) return out;  // without reading the clock
    char* const at = out.text.tail(max_token_length + 1);
    const std::size_t n = issue_token(at, max_token_length, *s.id, year_stamp());
    at[n] = '\n';
    out.text.grow(n + 1);
    return out;
  }
  char id[max_id_length + 1];
  Check check;
  check_token(*s.id, s.lifetime, by_clock(local_now_ticks), id, check);
  if (check.verdict == Verdict::fresh)
    out.text.append(std::string_view(id, check.id_length)).append('\n');
  return out;
}

}  // namespace idstamp
