// idstamp-inspect as a whole: the help, the version or a usage error, one
// token judged and reported, or a batch handed to run_batch.
#include "cli/inspect.h"

#include "cli/batch_record.h"
#include "cli/inspect_args.h"
#include "cli/inspect_batch.h"
#include "cli/inspect_report.h"
#include "cli/opening.h"

namespace idstamp {

namespace {

constexpr std::string_view help_text =
    "\n"
    "Shows what a checker makes of TOKEN: the id and stamp it carries, its age,\n"
    "and a verdict of fresh, expired, ahead (stamped a minute or more ahead of\n"
    "the clock) or malformed, with the reason.\n"
    "\n"
    "  -t MINUTES   the lifetime to judge the token by (default 30)\n"
    "  --json       print one JSON object instead of lines\n"
    "  --at MOMENT  judge as if the local clock read MOMENT, given as\n"
    "               'YYYY-MM-DD HH:MM:SS[.mmm]' (or with a T for the space)\n"
    "  --           end the options, for a token that begins with '-'\n"
    "  --batch      judge the tokens of standard input, one a line (a CR before\n"
    "               the LF is dropped), and print one result for each as it is\n"
    "               read: with --json, the JSON object with \"line\": N first;\n"
    "               without, N, the verdict, the age in ms and the escaped id,\n"
    "               separated by tabs\n"
    "  -z           with --batch, tokens end in a zero byte instead of a line\n"
    "  --moments    with --batch, each record is MOMENT, a tab, then the token,\n"
    "               judged at MOMENT: a local time as --at takes it, or an\n"
    "               instant, the same followed by Z or +HH:MM / -HH:MM, judged\n"
    "               at the local time it had under TZ\n"
    "  --log clf --param NAME\n"
    "               with --batch, each record is a Common or Combined Log Format\n"
    "               line, judged at its [DD/Mon/YYYY:HH:MM:SS +HHMM] instant; the\n"
    "               token is the first value of the query parameter NAME in the\n"
    "               request, percent-decoded; a line without it prints nothing\n"
    "  --summary    with --batch, print one summary at the end instead: the\n"
    "               records read, judged and skipped, the count of each verdict,\n"
    "               malformed reason and unjudged cause, the ages in ms of fresh\n"
    "               and expired tokens at the 50th, 90th and 99th percentiles\n"
    "               (nearest rank, within 1/128) and their largest, and the first\n"
    "               and last local times judged at; a table, or with --json one\n"
    "               JSON object on one line\n"
    "\n"
    "A record that cannot be judged prints N, a tab and 'unjudged: CAUSE' (with\n"
    "--json, {\"line\": N, \"verdict\": null, \"error\": \"CAUSE\"}), CAUSE being\n"
    "no moment, bad moment, not a log line or bad escape.\n"
    "\n"
    "Exit status: 0 for a fresh token, 1 for any other verdict, a failed write\n"
    "or no memory, 2 for a usage error. With --batch: 0 when every record was\n"
    "judged and its result written, whatever the verdicts; 1 when reading,\n"
    "writing or memory failed; 2 for a usage error; 3 when some records could\n"
    "not be judged, which a line on standard error counts.\n";

// The usage and help texts keep their bytes, "(default 30)" included.
static_assert(default_lifetime == 30, "the usage and help texts name the default lifetime");

}  // namespace

InspectOutput run_inspect(const Args& args, Clock clock, BatchStreams& streams) {
  InspectOutput out;
  if (help_or_version(args, "idstamp-inspect", inspect_usage_text, help_text, out.out)) return out;
  const ScannedArguments scanned = scan_inspect_arguments(args);
  if (!scanned.settings) {
    append_usage_error(out.err, scanned);
    out.err.append(inspect_usage_text);
    out.status = 2;
    return out;
  }
  const InspectSettings& s = *scanned.settings;
  if (s.batch) {
    std::uint64_t unjudged = 0;
    const BatchEnd end = run_batch(s, clock, streams, &unjudged);
    if (end != BatchEnd::done) {
      out.err.append(end == BatchEnd::read_failed    ? read_failed_text
                     : end == BatchEnd::write_failed ? write_failed_text
                                                     : no_memory_text);
      out.status = 1;
    } else if (unjudged > 0) {
      append_unjudged_count(out.err, unjudged);
      out.status = 3;
    }
    return out;
  }
  char id[max_id_length + 1];
  Check check;
  check_token(s.token, s.lifetime, s.at ? at_stamp(year_stamp_of(*s.at)) : by_clock(clock), id,
              check);
  const DateTicks now = s.at ? *s.at : check.clock_ticks;
  const std::string_view id_text(id, check.id_length);
  if (s.json) {
    json_report(out.out, check, id_text, s.lifetime, std::nullopt);
  } else {
    plain_report(out.out, check, id_text, s.lifetime, now);
  }
  out.status = check.verdict == Verdict::fresh ? 0 : 1;
  return out;
}

}  // namespace idstamp
