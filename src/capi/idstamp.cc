// The C interface over the token core. idstamp_issue_token and
// idstamp_check_token are the core itself behind C types; the older
// functions are thin layers over those two. The one allocation is the
// malloc'd result of the text functions; nothing here throws, so nothing can
// escape into C or end the process.
#include "idstamp/idstamp.h"

#include <cstdlib>
#include <cstring>
#include <functional>
#include <string_view>

#include "idstamp/date_ticks.h"
#include "token/core.h"

namespace {

using idstamp::Verdict;

// The C constants are the C++ ones; a verdict converts by a cast.
static_assert(IDSTAMP_MAX_ID_LENGTH == idstamp::max_id_length);
static_assert(IDSTAMP_MAX_TOKEN_LENGTH == idstamp::max_token_length);
static_assert(IDSTAMP_DEFAULT_LIFETIME == idstamp::default_lifetime);
static_assert(IDSTAMP_FRESH == static_cast<int>(Verdict::fresh));
static_assert(IDSTAMP_EXPIRED == static_cast<int>(Verdict::expired));
static_assert(IDSTAMP_AHEAD == static_cast<int>(Verdict::ahead));
static_assert(IDSTAMP_MALFORMED == static_cast<int>(Verdict::malformed));

// A zero-terminated heap copy of text[0, n), or NULL.
char* heap_text(const char* text, std::size_t n) {
  auto* copy = static_cast<char*>(std::malloc(n + 1));
  if (copy == nullptr) return nullptr;
  std::memcpy(copy, text, n);
  copy[n] = '\0';
  return copy;
}

// A zero-terminated id issued on the stack, then copied to the heap.
char* crypt(const char* id, const uint32_t* stamp) {
  if (id == nullptr) return nullptr;
  char token[IDSTAMP_MAX_TOKEN_LENGTH];
  const std::size_t n = idstamp_issue_token(token, sizeof token, id, std::strlen(id), stamp);
  return n == 0 ? nullptr : heap_text(token, n);
}

// The id of a zero-terminated token while it is fresh, on the heap.
char* decrypt(const char* token, int32_t lifetime, const uint32_t* now) {
  idstamp_report r;
  const std::size_t n = token != nullptr ? std::strlen(token) : 0;
  if (idstamp_check_token(token, n, lifetime, now, &r) != IDSTAMP_FRESH) return nullptr;
  return heap_text(r.id, r.id_length);
}

idstamp_verdict fill(idstamp_report& r, const idstamp::Check& check) {
  r.verdict = static_cast<idstamp_verdict>(check.verdict);
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

size_t idstamp_issue_token(char* dst, size_t capacity, const char* id, size_t id_length,
                           const uint32_t* stamp) {
  if (dst == nullptr || id == nullptr) return 0;
  const std::string_view text(id, id_length);
  if (!idstamp::is_valid_id(text)) return 0;  // without reading the clock
  const std::uint32_t at = stamp != nullptr ? *stamp : idstamp::year_stamp();
  // The core writes the length field before it copies the id, so an id that
  // shares bytes with dst is issued apart first. std::less orders pointers
  // into different arrays too.
  const std::less<const char*> before;
  if (before(id, dst + capacity) && before(dst, id + id_length)) {
    char token[IDSTAMP_MAX_TOKEN_LENGTH];
    const std::size_t n = idstamp::issue_token(token, sizeof token, text, at);
    if (n > capacity) return 0;
    std::memcpy(dst, token, n);
    return n;
  }
  return idstamp::issue_token(dst, capacity, text, at);
}

idstamp_verdict idstamp_check_token(const char* token, size_t token_length, int32_t lifetime,
                                    const uint32_t* now, idstamp_report* report) {
  // A caller that wants the verdict alone gets the id read into a buffer
  // of its own, which nothing reads after: no report is set up or filled.
  char own_id[IDSTAMP_MAX_ID_LENGTH + 1];
  char* const id = report != nullptr ? report->id : own_id;
  idstamp::Check check;
  if (token == nullptr) {
    check.reason = "too short";
    id[0] = '\0';
  } else {
    const idstamp::When when =
        now != nullptr ? idstamp::at_stamp(*now) : idstamp::by_clock(idstamp::local_now_ticks);
    idstamp::check_token({token, token_length}, lifetime, when, id, check);
  }
  return report != nullptr ? fill(*report, check) : static_cast<idstamp_verdict>(check.verdict);
}

char* idstamp_crypt_id(const char* id) { return crypt(id, nullptr); }

char* idstamp_crypt_id_at(const char* id, uint32_t stamp) { return crypt(id, &stamp); }

idstamp_verdict idstamp_inspect_at(const char* token, int32_t lifetime, uint32_t now,
                                   idstamp_report* report) {
  return idstamp_check_token(token, token != nullptr ? std::strlen(token) : 0, lifetime, &now,
                             report);
}

idstamp_verdict idstamp_inspect(const char* token, int32_t lifetime, idstamp_report* report) {
  return idstamp_check_token(token, token != nullptr ? std::strlen(token) : 0, lifetime, nullptr,
                             report);
}

char* idstamp_decrypt_id_at(const char* token, int32_t lifetime, uint32_t now) {
  return decrypt(token, lifetime, &now);
}

char* idstamp_decrypt_id(const char* token, int32_t lifetime) {
  if (lifetime <= 0) return nullptr;  // nothing is fresh: no need for the clock
  return decrypt(token, lifetime, nullptr);
}

uint32_t idstamp_year_stamp(void) { return idstamp::year_stamp(); }

void idstamp_free(char* text) { std::free(text); }

const char* idstamp_version(void) { return IDSTAMP_VERSION_STRING; }

}  // extern "C"
