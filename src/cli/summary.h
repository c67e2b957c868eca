// A batch summed up in fixed memory: counts of records, verdicts, reasons
// and unjudged causes, approximate percentiles of the ages, and the first and
// last local readings judged at; and how --summary prints it.
#ifndef IDSTAMP_SUMMARY_H
#define IDSTAMP_SUMMARY_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "cli/log_line.h"
#include "cli/text.h"
#include "idstamp/date_ticks.h"
#include "time/calendar.h"
#include "token/core.h"

namespace idstamp {

// Ages counted in buckets that keep the top 8 bits of the magnitude (below
// 256, every value has its own), so that a bucket's representative, its
// smallest magnitude with the value's sign, is within 1/128 of every value
// in it. min and max are exact.
class AgeHistogram {
 public:
  static constexpr std::size_t buckets_per_sign = 256 + 56 * 128;  // exact, then 2^8..2^63

  // The bucket of a magnitude, and a bucket's representative magnitude.
  static std::size_t bucket_of(std::uint64_t magnitude);
  static std::uint64_t representative(std::size_t bucket);

  void add(std::int64_t age);
  std::uint64_t count() const { return count_; }
  std::int64_t max() const { return max_; }  // with count() > 0
  // The representative of the bucket that holds the rank-th smallest age,
  // rank = ceil(p * count / 100), clamped into [min, max]; nothing when
  // empty. p in [1, 100].
  std::optional<std::int64_t> percentile(std::uint32_t p) const;

 private:
  std::array<std::uint64_t, buckets_per_sign> negative_{};  // by magnitude; [0] unused
  std::array<std::uint64_t, buckets_per_sign> positive_{};  // 0 and above
  std::uint64_t count_ = 0;
  std::int64_t min_ = 0;
  std::int64_t max_ = 0;
};

inline constexpr std::array<std::string_view, 5> malformed_reasons = {
    "too short", "bad length field", "no stamp", "zero byte in the id", "bad stamp"};

struct Summary {
  std::uint64_t records = 0;
  std::uint64_t judged = 0;
  std::uint64_t skipped = 0;
  std::array<std::uint64_t, 4> verdicts{};  // by Verdict
  std::array<std::uint64_t, malformed_reasons.size()> reasons{};
  std::array<std::uint64_t, unjudged_causes> unjudged{};  // by Unjudged, from no_moment
  AgeHistogram fresh;
  AgeHistogram expired;
  std::optional<DateTicks> first;  // the smallest reading judged at
  std::optional<DateTicks> last;

  // One record more: judged as `check` at the local reading `at`, unjudged
  // for `cause`, or skipped.
  void add(const Check& check, DateTicks at);
  void add(Unjudged cause);
  void add_skipped();
  std::uint64_t unjudged_total() const;
};

// Room for the summary with every count and age at 20 digits: the JSON
// line, and the table.
using SummaryJson = FixedText<2048>;
using SummaryTable = FixedText<4096>;

// The summary as one line of JSON, keys always present, "\n" after it.
void summary_json(SummaryJson& out, const Summary& s);

// The summary as an aligned table: one line for each count, the ages'
// percentiles in columns ("-" for an empty set), then first and last.
void summary_table(SummaryTable& out, const Summary& s);

}  // namespace idstamp

#endif  // IDSTAMP_SUMMARY_H
