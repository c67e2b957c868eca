// Arbitrary token bytes, lifetime and now stamp: decrypt_id must agree with
// inspect_token and with the acceptance window, and an accepted token must
// be one that issuing its id at its stamp would give back.
#include <limits>
#include <string>

#include "fuzz_check.h"
#include "token/decimal.h"
#include "token/scramble.h"
#include "token/token_codec.h"
#include "token/token_layout.h"

using namespace idstamp;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::Input in(data, size);
  const std::uint32_t now = in.u32();
  const std::int32_t lifetime = in.i32();
  const std::string_view token = in.rest();

  const std::optional<std::string> id = decrypt_id(token, lifetime, now);
  const std::optional<TokenContents> contents = read_token(token);
  const TokenReport report = inspect_token(token, lifetime, now);
  const bool fresh = report.verdict == Verdict::fresh;
  fuzz::check(id.has_value() == fresh, "decrypt_id accepts exactly the fresh tokens");
  fuzz::check(report.id == (contents ? std::optional<std::string>(contents->id) : std::nullopt),
              "inspect_token reads the id the token carries");
  // For the stamps an issuer writes, the window on its own terms: accepted
  // exactly when -60000 < now - stamp < lifetime * 60000, and never for a
  // lifetime that is not positive.
  if (contents && contents->stamp >= 0 && contents->stamp <= 0xFFFFFFFF) {
    const std::int64_t elapsed = std::int64_t{now} - contents->stamp;
    const bool in_window = elapsed > -60'000 && elapsed < std::int64_t{lifetime} * 60'000;
    fuzz::check(fresh == (lifetime > 0 && in_window), "the acceptance window");
  }
  if (!id) return 0;

  fuzz::check(*id == contents->id, "the id is the one the token carries");
  fuzz::check(!id->empty() && id->size() <= max_id_length, "id length in [1, 999]");
  fuzz::check(id->find('\0') == std::string::npos, "no zero byte in an id");

  // The plain token is the length field, the id and the stamp, back to back.
  std::string plain(token);
  scramble_for_check(plain);
  const std::string_view fields = plain;
  fuzz::check(read_decimal(fields.substr(0, 3), DecimalWidth::int32) ==
                  static_cast<std::int64_t>(id->size()),
              "length field gives the id's length");
  fuzz::check(fields.substr(3, id->size()) == *id, "id follows the length field");
  fuzz::check(read_decimal(fields.substr(3 + id->size()), DecimalWidth::int64) == contents->stamp,
              "stamp follows the id");

  // Issuing the id again at its stamp gives a token that is just as fresh,
  // and the very same token when this one was written in the issued form.
  const std::int64_t stamp = contents->stamp;
  if (stamp < 0 || stamp > std::numeric_limits<std::uint32_t>::max()) return 0;
  const std::optional<std::string> again = crypt_id(*id, static_cast<std::uint32_t>(stamp));
  fuzz::check(again.has_value(), "an accepted id can be issued");
  fuzz::check(decrypt_id(*again, lifetime, now) == id, "the re-issued token is accepted too");
  std::string canonical = std::to_string(id->size());
  canonical.insert(0, 3 - canonical.size(), '0');
  canonical += *id + std::to_string(stamp);
  fuzz::check((plain == canonical) == (*again == token), "re-issues to the same token");
  return 0;
}
