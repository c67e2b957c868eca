#include "cli/summary.h"

#include <utility>

namespace idstamp {

std::size_t AgeHistogram::bucket_of(std::uint64_t magnitude) {
  if (magnitude < 256) return static_cast<std::size_t>(magnitude);
  std::size_t top = 8;  // the index of the highest set bit
  while (top < 63 && magnitude >> (top + 1) != 0) ++top;
  const std::size_t shift = top - 7;
  return 256 + (top - 8) * 128 + static_cast<std::size_t>((magnitude >> shift) - 128);
}

std::uint64_t AgeHistogram::representative(std::size_t bucket) {
  if (bucket < 256) return bucket;
  const std::size_t above = bucket - 256;
  return (std::uint64_t{128} + above % 128) << (above / 128 + 1);
}

void AgeHistogram::add(std::int64_t age) {
  const bool negative = age < 0;
  // |INT64_MIN| is 2^63, which only the unsigned type holds.
  const std::uint64_t magnitude =
      negative ? 0 - static_cast<std::uint64_t>(age) : static_cast<std::uint64_t>(age);
  ++(negative ? negative_ : positive_)[bucket_of(magnitude)];
  if (count_ == 0 || age < min_) min_ = age;
  if (count_ == 0 || age > max_) max_ = age;
  ++count_;
}

std::optional<std::int64_t> AgeHistogram::percentile(std::uint32_t p) const {
  if (count_ == 0) return std::nullopt;
  // ceil(p * count / 100), without overflow for any count.
  const std::uint64_t rank = count_ / 100 * p + (count_ % 100 * p + 99) / 100;
  std::uint64_t seen = 0;
  std::int64_t value = max_;
  bool found = false;
  for (std::size_t b = buckets_per_sign; b-- > 1 && !found;) {
    seen += negative_[b];
    if (seen >= rank) {
      // Two's complement: the negation of a magnitude up to 2^63.
      value = static_cast<std::int64_t>(0 - representative(b));
      found = true;
    }
  }
  for (std::size_t b = 0; b < buckets_per_sign && !found; ++b) {
    seen += positive_[b];
    if (seen >= rank) {
      value = static_cast<std::int64_t>(representative(b));
      found = true;
    }
  }
  return value < min_ ? min_ : (value > max_ ? max_ : value);
}

void Summary::add(const Check& check, DateTicks at) {
  ++records;
  ++judged;
  ++verdicts[static_cast<std::size_t>(check.verdict)];
  for (std::size_t i = 0; i < malformed_reasons.size(); ++i)
    if (!check.parsed && check.reason == malformed_reasons[i]) ++reasons[i];
  if (check.verdict == Verdict::fresh) fresh.add(check.age_ms);
  if (check.verdict == Verdict::expired) expired.add(check.age_ms);
  if (!first || at < *first) first = at;
  if (!last || at > *last) last = at;
}

void Summary::add(Unjudged cause) {
  ++records;
  if (cause != Unjudged::none) ++unjudged[static_cast<std::size_t>(cause) - 1];
}

void Summary::add_skipped() {
  ++records;
  ++skipped;
}

std::uint64_t Summary::unjudged_total() const {
  std::uint64_t total = 0;
  for (const std::uint64_t n : unjudged) total += n;
  return total;
}

namespace {

constexpr std::array<Verdict, 4> all_verdicts = {Verdict::fresh, Verdict::expired, Verdict::ahead,
                                                 Verdict::malformed};

// The four figures of a set of ages: p50, p90, p99 and max.
std::array<std::optional<std::int64_t>, 4> figures(const AgeHistogram& h) {
  if (h.count() == 0) return {};
  return {h.percentile(50), h.percentile(90), h.percentile(99), h.max()};
}

constexpr std::array<std::string_view, 4> figure_names = {"p50", "p90", "p99", "max"};

}  // namespace

void summary_json(SummaryJson& out, const Summary& s) {
  out.append("{\"records\": ").number(s.records);
  out.append(", \"judged\": ").number(s.judged);
  out.append(", \"skipped\": ").number(s.skipped);
  const auto counts = [&out](std::string_view key, auto names, const auto& values) {
    out.append(", \"").append(key).append("\": {");
    for (std::size_t i = 0; i < values.size(); ++i) {
      if (i > 0) out.append(", ");
      out.append('"').append(names(i)).append("\": ").number(values[i]);
    }
    out.append('}');
  };
  counts(
      "verdicts", [](std::size_t i) { return verdict_name(all_verdicts[i]); }, s.verdicts);
  counts(
      "reasons", [](std::size_t i) { return malformed_reasons[i]; }, s.reasons);
  counts(
      "unjudged", [](std::size_t i) { return unjudged_name(static_cast<Unjudged>(i + 1)); },
      s.unjudged);
  const auto ages = [&out](std::string_view key, const AgeHistogram& h) {
    out.append('"').append(key).append("\": {");
    const auto values = figures(h);
    for (std::size_t i = 0; i < values.size(); ++i) {
      out.append(i > 0 ? ", \"" : "\"").append(figure_names[i]).append("\": ");
      if (values[i]) {
        out.number(*values[i]);
      } else {
        out.append("null");
      }
    }
    out.append('}');
  };
  out.append(", \"age_ms\": {");
  ages("fresh", s.fresh);
  out.append(", ");
  ages("expired", s.expired);
  out.append('}');
  const auto reading = [&out](std::string_view key, const std::optional<DateTicks>& t) {
    out.append(", \"").append(key).append("\": ");
    if (t) {
      append_reading(out.append('"'), *t);
      out.append('"');
    } else {
      out.append("null");
    }
  };
  reading("first", s.first);
  reading("last", s.last);
  out.append("}\n");
}

namespace {

using Table = SummaryTable;
constexpr std::size_t label_width = 22;
constexpr std::size_t column_width = 12;

Table& label(Table& out, std::string_view name) {
  constexpr std::string_view spaces = "                      ";
  static_assert(spaces.size() == label_width);
  return out.append(name).append(spaces.substr(name.size() < label_width ? name.size() : 0));
}

// `text` right-aligned in a column, with a space before it at least.
Table& column(Table& out, std::string_view text) {
  constexpr std::string_view spaces = "            ";
  static_assert(spaces.size() == column_width);
  return out.append(spaces.substr(text.size() < column_width ? text.size() : column_width - 1))
      .append(text);
}

template <class Integer>
Table& number_column(Table& out, Integer v) {
  FixedText<24> digits;
  digits.number(v);
  return column(out, digits.view());
}

}  // namespace

void summary_table(Table& out, const Summary& s) {
  const auto count = [&out](std::string_view name, std::uint64_t n) {
    number_column(label(out, name), n).append('\n');
  };
  count("records", s.records);
  count("judged", s.judged);
  count("skipped", s.skipped);
  for (std::size_t i = 0; i < all_verdicts.size(); ++i)
    count(verdict_name(all_verdicts[i]), s.verdicts[i]);
  FixedText<32> indented;
  for (std::size_t i = 0; i < malformed_reasons.size(); ++i) {
    indented.clear();
    count(indented.append("  ").append(malformed_reasons[i]).view(), s.reasons[i]);
  }
  count("unjudged", s.unjudged_total());
  for (std::size_t i = 0; i < s.unjudged.size(); ++i) {
    indented.clear();
    count(indented.append("  ").append(unjudged_name(static_cast<Unjudged>(i + 1))).view(),
          s.unjudged[i]);
  }
  label(out, "age_ms");
  for (const std::string_view name : figure_names) column(out, name);
  out.append('\n');
  for (const auto& [name, h] :
       {std::pair<std::string_view, const AgeHistogram&>{"  fresh", s.fresh},
        {"  expired", s.expired}}) {
    label(out, name);
    for (const auto& v : figures(h)) {
      if (v) {
        number_column(out, *v);
      } else {
        column(out, "-");
      }
    }
    out.append('\n');
  }
  for (const auto& [name, t] :
       {std::pair<std::string_view, const std::optional<DateTicks>&>{"first", s.first},
        {"last", s.last}}) {
    if (t) {
      append_reading(label(out, name), *t);
    } else {
      label(out, name).append('-');
    }
    out.append('\n');
  }
}

}  // namespace idstamp
