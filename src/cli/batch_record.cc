#include "cli/batch_record.h"

#include <new>

namespace idstamp {

std::unique_ptr<DatedBatch> start_dated_batch(const InspectSettings& settings) {
  std::unique_ptr<DatedBatch> batch(new (std::nothrow) DatedBatch);
  if (batch && settings.summary) {
    batch->summary.reset(new (std::nothrow) Summary);
    if (!batch->summary) batch.reset();
  }
  return batch;
}

namespace {

void unjudged_report(BatchText& out, Unjudged cause, std::uint64_t line, bool json) {
  if (json) {
    out.append("{\"line\": ").number(line).append(", \"verdict\": null, \"error\": \"");
    out.append(unjudged_name(cause)).append("\"}\n");
  } else {
    out.number(line).append("\tunjudged: ").append(unjudged_name(cause)).append('\n');
  }
}

}  // namespace

void judge_dated_record(BatchText& out, char* record, std::size_t size, std::uint64_t line,
                        const InspectSettings& s, std::optional<DateTicks> at, Clock clock,
                        DatedBatch& batch) {
  LogRecord r;
  switch (s.form) {
    case RecordForm::token:
      r.token = std::string_view(record, size);
      break;
    case RecordForm::moments:
      r = read_moments_record(std::string_view(record, size), batch.local);
      at = r.at;
      break;
    case RecordForm::clf:
      r = read_clf_record(record, size, s.param, batch.local);
      at = r.at;
      break;
  }
  Summary* const summary = batch.summary.get();
  if (r.skipped) {
    if (summary != nullptr) summary->add_skipped();
    return;
  }
  if (r.cause != Unjudged::none) {
    ++batch.unjudged;
    if (summary != nullptr) {
      summary->add(r.cause);
    } else {
      unjudged_report(out, r.cause, line, s.json);
    }
    return;
  }
  char id[max_id_length + 1];
  Check check;
  if (at && *at != batch.stamp_of) {
    batch.stamp_of = *at;
    batch.stamp = year_stamp_of(*at);
  }
  check_token(r.token, s.lifetime, at ? at_stamp(batch.stamp) : by_clock(clock), id, check);
  if (summary != nullptr) {
    // By the clock, a token that does not parse leaves it unread, but the
    // summary's first and last count every record judged.
    summary->add(check, at ? *at : check.parsed ? check.clock_ticks : clock());
    return;
  }
  const std::string_view id_text(id, check.id_length);
  if (s.json) {
    json_report(out, check, id_text, s.lifetime, line);
  } else {
    tab_report(out, check, id_text, line);
  }
}

void append_summary(BatchText& out, const Summary& summary, bool json) {
  if (json) {
    SummaryJson text;
    summary_json(text, summary);
    out.append(text.view());
  } else {
    SummaryTable text;
    summary_table(text, summary);
    out.append(text.view());
  }
}

void append_unjudged_count(FixedText<error_size>& err, std::uint64_t n) {
  err.append("idstamp-inspect: ").number(n);
  err.append(n == 1 ? " record could not be judged\n" : " records could not be judged\n");
}

}  // namespace idstamp
