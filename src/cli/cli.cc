#include "cli/cli.h"

#include "token/decimal.h"
#include "token/token_codec.h"

namespace idstamp {

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

std::string run_cli(const std::vector<std::string_view>& args) {
  const Settings s = scan_arguments(args);
  if (!s.id || s.mode == Mode::none || s.lifetime <= 0) return std::string(usage_text);
  std::optional<std::string> result =
      s.mode == Mode::crypt ? crypt_id(*s.id) : decrypt_id(*s.id, s.lifetime);
  if (!result) return {};
  *result += '\n';
  return std::move(*result);
}

}  // namespace idstamp
