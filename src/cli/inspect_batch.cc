#include "cli/inspect_batch.h"

#include <cstring>

#include "cli/batch_record.h"
#include "cli/inspect_report.h"
#include "cli/record_buffer.h"

namespace idstamp {

namespace {

// One record of a batch, judged into its result.
void judge_record(BatchText& out, BatchReports& reports, std::string_view record,
                  std::uint64_t line, const InspectSettings& s,
                  std::optional<std::uint32_t> fixed_now, Clock clock) {
  // A CR before the line's end, or before the end of the input, is dropped.
  if (!s.zero_ends && !record.empty() && record.back() == '\r') record.remove_suffix(1);
  char id[max_id_length + 1];
  Check check;
  check_token(record, s.lifetime, fixed_now ? at_stamp(*fixed_now) : by_clock(clock), id, check);
  reports.add(out, check, {id, check.id_length}, line);
}

}  // namespace

// The input is read into the record buffer; every record that has ended is
// judged where it lies, and the part of a record still to come moves to the
// front to await the next read. Only a record that fills the whole buffer
// grows it.
BatchEnd run_batch(const InspectSettings& settings, Clock clock, BatchStreams& streams,
                   std::uint64_t* unjudged) {
  const char end_byte = settings.zero_ends ? '\0' : '\n';
  std::optional<std::uint32_t> fixed_now;
  if (settings.at) fixed_now = year_stamp_of(*settings.at);
  std::unique_ptr<DatedBatch> dated;
  if (settings.form != RecordForm::token || settings.summary) {
    dated = start_dated_batch(settings);
    if (!dated) return BatchEnd::no_memory;
  }
  BatchReports reports(settings.json, settings.lifetime);
  RecordBuffer buffer;
  BatchText out;
  const auto judge = [&](char* record, std::size_t size, std::uint64_t n) {
    if (dated) {
      if (!settings.zero_ends && size > 0 && record[size - 1] == '\r') --size;
      judge_dated_record(out, record, size, n, settings, settings.at, clock, *dated);
    } else {
      judge_record(out, reports, {record, size}, n, settings, fixed_now, clock);
    }
  };
  const auto flush = [&out, &streams] {
    const bool written = out.view().empty() || streams.write(out.view());
    out.clear();
    return written;
  };
  std::uint64_t line = 0;
  std::size_t used = 0;     // bytes in the buffer
  std::size_t scanned = 0;  // of which none ends a record
  for (;;) {
    char* const data = buffer.data();
    std::size_t begin = 0;  // of the record to come
    while (const void* found = std::memchr(data + scanned, end_byte, used - scanned)) {
      const auto end = static_cast<std::size_t>(static_cast<const char*>(found) - data);
      if (out.room() < max_result && !flush()) return BatchEnd::write_failed;
      judge(data + begin, end - begin, ++line);
      begin = end + 1;
      scanned = begin;
    }
    if (!flush()) return BatchEnd::write_failed;  // before a read that may wait
    if (begin > 0) std::memmove(data, data + begin, used - begin);
    used -= begin;
    scanned = used;
    if (used == buffer.capacity() && !buffer.grow()) return BatchEnd::no_memory;
    const std::ptrdiff_t n = streams.read(buffer.data() + used, buffer.capacity() - used);
    if (n < 0) return BatchEnd::read_failed;
    if (n == 0) break;
    used += static_cast<std::size_t>(n);
  }
  if (used > 0) judge(buffer.data(), used, ++line);
  if (dated && dated->summary) {
    if (!flush()) return BatchEnd::write_failed;
    append_summary(out, *dated->summary, settings.json);
  }
  if (dated && unjudged != nullptr) *unjudged = dated->unjudged;
  return flush() ? BatchEnd::done : BatchEnd::write_failed;
}

}  // namespace idstamp
