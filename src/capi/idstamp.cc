// The C interface over the token core. The one allocation is the malloc'd
// result of the text functions; nothing here throws, so nothing can escape
// into C or end the process.
#include "idstamp/idstamp.h"

#include <cstdlib>
#include <cstring>
#include <string_view>

#include "idstamp/date_ticks.h"
#include "token/core.h"

namespace {

using idstamp::Check;

// A zero-terminated heap copy of text[0, n), or NULL.
char* heap_text(const char* text, std::size_t n) {
  auto* copy = static_cast<char*>(std::malloc(n + 1));
  if (copy == nullptr) return nullptr;
  std::memcpy(copy, text, n);
  copy[n] = '\0';
  return copy;
}

char* crypt_at(const char* id, std::uint32_t stamp) {
  char token[idstamp::max_token_length];
  const std::size_t n = idstamp::issue_token(token, sizeof token, id, stamp);
  return n == 0 ? nullptr : heap_text(token, n);
}

idstamp_verdict verdict_of(idstamp::Verdict v) {
  switch (v) {
    case idstamp::Verdict::fresh:
      return IDSTAMP_FRESH;
    case idstamp::Verdict::expired:
      return IDSTAMP_EXPIRED;
    case idstamp::Verdict::ahead:
      return IDSTAMP_AHEAD;
    case idstamp::Verdict::malformed:
      break;
  }
  return IDSTAMP_MALFORMED;
}

// The report to fill: the caller's, or `own` when the caller wants the
// verdict alone.
idstamp_report& target(idstamp_report* report, idstamp_report& own) {
  return report != nullptr ? *report : own;
}

// Reads `token`, a NULL one as malformed, writing the id into `r`.
bool read(const char* token, idstamp_report& r, Check& check) {
  if (token != nullptr) return idstamp::read_token(token, r.id, check);
  check.reason = "too short";
  r.id[0] = '\0';
  return false;
}

idstamp_verdict fill(idstamp_report& r, const Check& check) {
  r.verdict = verdict_of(check.verdict);
  r.reason = check.parsed ? nullptr : check.reason.data();  // a literal: zero-terminated
  r.parsed = check.parsed ? 1 : 0;
  r.id_length = check.id_length;
  r.stamp = check.stamp;
  r.now = check.now;
  r.age_ms = check.age_ms;
  return r.verdict;
}

}  // namespace

extern "C" {

char* idstamp_crypt_id(const char* id) {
  if (id == nullptr || !idstamp::is_valid_id(id)) return nullptr;  // without reading the clock
  return crypt_at(id, idstamp::year_stamp());
}

char* idstamp_crypt_id_at(const char* id, uint32_t stamp) {
  return id == nullptr ? nullptr : crypt_at(id, stamp);
}

idstamp_verdict idstamp_inspect_at(const char* token, int32_t lifetime, uint32_t now,
                                   idstamp_report* report) {
  idstamp_report own;
  idstamp_report& r = target(report, own);
  Check check;
  if (read(token, r, check)) idstamp::judge(check, lifetime, now);
  return fill(r, check);
}

idstamp_verdict idstamp_inspect(const char* token, int32_t lifetime, idstamp_report* report) {
  idstamp_report own;
  idstamp_report& r = target(report, own);
  Check check;
  if (read(token, r, check)) idstamp::judge(check, lifetime, idstamp::year_stamp());
  return fill(r, check);
}

char* idstamp_decrypt_id_at(const char* token, int32_t lifetime, uint32_t now) {
  idstamp_report r;
  if (idstamp_inspect_at(token, lifetime, now, &r) != IDSTAMP_FRESH) return nullptr;
  return heap_text(r.id, r.id_length);
}

char* idstamp_decrypt_id(const char* token, int32_t lifetime) {
  if (lifetime <= 0) return nullptr;  // nothing is fresh: no need for the clock
  idstamp_report r;
  if (idstamp_inspect(token, lifetime, &r) != IDSTAMP_FRESH) return nullptr;
  return heap_text(r.id, r.id_length);
}

uint32_t idstamp_year_stamp(void) { return idstamp::year_stamp(); }

void idstamp_free(char* text) { std::free(text); }

const char* idstamp_version(void) { return IDSTAMP_VERSION_STRING; }

}  // extern "C"
