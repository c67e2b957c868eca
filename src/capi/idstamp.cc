// The C interface over the C++ one: texts in, malloc'd texts out.
#include "capi/idstamp.h"

#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "time/date_ticks.h"
#include "token/token_codec.h"

namespace {

// A heap copy of `text` that free() releases, or NULL.
char* to_c(const std::optional<std::string>& text) {
  if (!text) return nullptr;
  auto* copy = static_cast<char*>(std::malloc(text->size() + 1));
  if (copy == nullptr) return nullptr;
  std::memcpy(copy, text->c_str(), text->size() + 1);
  return copy;
}

// Runs `f` over a C text argument; NULL for a NULL argument or for any
// exception, which must not cross into C.
template <class F>
char* call(const char* text, F f) noexcept {
  if (text == nullptr) return nullptr;
  try {
    return to_c(f(std::string_view(text)));
  } catch (...) {
    return nullptr;
  }
}

}  // namespace

extern "C" {

char* idstamp_crypt_id(const char* id) {
  return call(id, [](std::string_view v) { return idstamp::crypt_id(v); });
}

char* idstamp_decrypt_id(const char* token, int32_t lifetime) {
  return call(token, [lifetime](std::string_view v) { return idstamp::decrypt_id(v, lifetime); });
}

char* idstamp_crypt_id_at(const char* id, uint32_t stamp) {
  return call(id, [stamp](std::string_view v) { return idstamp::crypt_id(v, stamp); });
}

char* idstamp_decrypt_id_at(const char* token, int32_t lifetime, uint32_t now) {
  return call(
      token, [lifetime, now](std::string_view v) { return idstamp::decrypt_id(v, lifetime, now); });
}

uint32_t idstamp_year_stamp(void) { return idstamp::year_stamp(); }

void idstamp_free(char* text) { std::free(text); }

const char* idstamp_version(void) { return IDSTAMP_VERSION_STRING; }

}  // extern "C"
