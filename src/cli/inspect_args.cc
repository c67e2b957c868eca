// idstamp-inspect's arguments, and the moment a --at value names.
#include "cli/inspect_args.h"

#include <cstddef>
#include <cstdint>

#include "time/calendar.h"
#include "token/decimal.h"

namespace idstamp {

std::int32_t digits_at(std::string_view text, std::size_t at, std::size_t n) {
  std::int32_t v = 0;
  for (std::size_t i = at; i < at + n; ++i) {
    const auto d = static_cast<unsigned char>(text[i] - '0');
    if (d > 9) return -1;
    v = v * 10 + d;
  }
  return v;
}

ScannedArguments scan_inspect_arguments(Args args) {
  ScannedArguments scanned;
  const auto usage_error = [&scanned](UsageError error, std::string_view argument) {
    scanned.error = error;
    scanned.argument = argument;
    return scanned;
  };
  InspectSettings s;
  std::optional<std::string_view> param;
  unsigned moment_sources = 0;  // bits for --at, --moments and --log
  std::size_t i = 0;
  for (; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    if (arg == "--") {
      ++i;
      break;
    }
    if (arg == "--json") {
      s.json = true;
    } else if (arg == "--batch") {
      s.batch = true;
    } else if (arg == "-z") {
      s.zero_ends = true;
    } else if (arg == "-t") {
      if (++i == args.size()) return usage_error(UsageError::no_value, arg);
      const std::optional<std::int64_t> minutes = read_decimal(args[i], DecimalWidth::int32);
      if (!minutes || *minutes <= 0) return usage_error(UsageError::bad_minutes, args[i]);
      s.lifetime = static_cast<std::int32_t>(*minutes);
    } else if (arg == "--at") {
      if (++i == args.size()) return usage_error(UsageError::no_value, arg);
      s.at = read_moment(args[i]);
      moment_sources |= 1u;
      if (!s.at) return usage_error(UsageError::bad_moment, args[i]);
    } else if (arg == "--moments") {
      s.form = RecordForm::moments;
      moment_sources |= 2u;
    } else if (arg == "--summary") {
      s.summary = true;
    } else if (arg == "--log" || arg == "--param") {
      if (++i == args.size()) return usage_error(UsageError::no_value, arg);
      if (arg == "--param") {
        param = args[i];
      } else if (args[i] != "clf") {
        return usage_error(UsageError::bad_log_format, args[i]);
      } else {
        s.form = RecordForm::clf;
        moment_sources |= 4u;
      }
    } else if (!arg.empty() && arg[0] == '-') {
      return usage_error(UsageError::unknown_option, arg);
    } else {
      break;
    }
  }
  // The token and nothing after it; in a batch, nothing at all.
  if (s.zero_ends && !s.batch) return usage_error(UsageError::zero_ends_alone, "-z");
  if (!s.batch && (s.form != RecordForm::token || param || s.summary))
    return usage_error(UsageError::batch_only, {});
  if ((s.form == RecordForm::clf) != param.has_value())
    return usage_error(UsageError::log_and_param, {});
  if ((moment_sources & (moment_sources - 1)) != 0) return usage_error(UsageError::two_moments, {});
  if (param) s.param = *param;
  if (!s.batch && i == args.size()) return usage_error(UsageError::no_token, {});
  const std::size_t extra = s.batch ? i : i + 1;
  if (extra < args.size()) {
    return usage_error(s.batch ? UsageError::batch_token : UsageError::extra_argument, args[extra]);
  }
  if (!s.batch) s.token = args[i];
  scanned.settings = s;
  return scanned;
}

// Fixed places for the separators; the fields are checked as
// ticks_from_parts would clamp them, so that a clamped moment is refused.
// days_in_month is 0 for a year or month out of range, so the day test
// refuses those too.
std::optional<DateTicks> read_moment(std::string_view text) {
  if (text.size() != 19 && (text.size() != 23 || text[19] != '.')) return std::nullopt;
  if (text[4] != '-' || text[7] != '-' || (text[10] != ' ' && text[10] != 'T') || text[13] != ':' ||
      text[16] != ':') {
    return std::nullopt;
  }
  const std::int32_t year = digits_at(text, 0, 4);
  const std::int32_t month = digits_at(text, 5, 2);
  const std::int32_t day = digits_at(text, 8, 2);
  const std::int32_t hour = digits_at(text, 11, 2);
  const std::int32_t minute = digits_at(text, 14, 2);
  const std::int32_t second = digits_at(text, 17, 2);
  const std::int32_t millisecond = text.size() == 23 ? digits_at(text, 20, 3) : 0;
  if (day < 1 || day > days_in_month(year, month) || hour < 0 || hour > 23 || minute < 0 ||
      minute > 59 || second < 0 || second > 59 || millisecond < 0) {
    return std::nullopt;
  }
  return ticks_from_parts(year, month, day, hour, minute, second, millisecond);
}

}  // namespace idstamp
