// Arbitrary token bytes, lifetime and now stamp: the in-place reading must
// agree with reading the plain text the format's own steps give, decrypt_id
// with inspect_token and the C interface, the verdict with the acceptance
// window, and an accepted token must be one that issuing its id at its stamp
// would give back.
#include <limits>
#include <string>

#include "fuzz_check.h"
#include "idstamp/idstamp.h"
#include "idstamp/token_codec.h"
#include "token/decimal.h"
#include "token/reference.h"

using namespace idstamp;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::Input in(data, size);
  const std::uint32_t now = in.u32();
  const std::int32_t lifetime = in.i32();
  const std::string_view token = in.rest();

  const std::optional<std::string> id = decrypt_id(token, lifetime, now);
  const TokenReport report = inspect_token(token, lifetime, now);
  const bool fresh = report.verdict == Verdict::fresh;
  fuzz::check(id.has_value() == fresh, "decrypt_id accepts exactly the fresh tokens");
  fuzz::check(!fresh || report.id == id, "decrypt_id gives the id inspect_token reads");

  // The plain token is the length field, the id and the stamp, back to back.
  const std::string plain = reference::plain_of(std::string(token));
  const std::string_view fields = plain;
  std::optional<std::int64_t> length;
  std::optional<std::int64_t> stamp;
  if (fields.size() >= 3) length = read_decimal(fields.substr(0, 3), DecimalWidth::int32);
  const auto id_size = static_cast<std::size_t>(length && *length > 0 ? *length : 0);
  if (id_size > 0 && 3 + id_size < fields.size() &&
      fields.substr(3, id_size).find('\0') == std::string_view::npos)
    stamp = read_decimal(fields.substr(3 + id_size), DecimalWidth::int64);
  if (stamp == -1) stamp.reset();
  fuzz::check(report.id.has_value() == stamp.has_value(), "parses exactly when the fields read");
  if (stamp) {
    fuzz::check(*report.id == fields.substr(3, id_size), "the id follows the length field");
    fuzz::check(report.stamp == stamp, "the stamp follows the id");
  }

  if (token.find('\0') == std::string_view::npos) {
    idstamp_report c;
    const std::string text(token);
    fuzz::check(idstamp_inspect_at(text.c_str(), lifetime, now, &c) ==
                    static_cast<idstamp_verdict>(report.verdict),
                "the C interface gives the same verdict");
    fuzz::check((c.parsed != 0) == stamp.has_value() &&
                    (!stamp || (std::string_view(c.id, c.id_length) == *report.id &&
                                c.stamp == *stamp && c.age_ms == report.age_ms)),
                "the C interface reads the same fields");
  }

  if (stamp && *stamp >= 0 && *stamp <= 0xFFFFFFFF)
    fuzz::check(fresh == fuzz::in_window(*stamp, now, lifetime), "the acceptance window");
  if (!id) return 0;

  // Issuing the id again at its stamp gives a token that is just as fresh,
  // and the very same token when this one was written in the issued form.
  if (*stamp < 0 || *stamp > std::numeric_limits<std::uint32_t>::max()) return 0;
  const std::optional<std::string> again = crypt_id(*id, static_cast<std::uint32_t>(*stamp));
  fuzz::check(again.has_value(), "an accepted id can be issued");
  fuzz::check(decrypt_id(*again, lifetime, now) == id, "the re-issued token is accepted too");
  std::string canonical = std::to_string(id->size());
  canonical.insert(0, 3 - canonical.size(), '0');
  canonical += *id + std::to_string(*stamp);
  fuzz::check((plain == canonical) == (*again == token), "re-issues to the same token");
  return 0;
}
