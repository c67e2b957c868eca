// Issues a token for an id and checks it back, through the installed library.
#include <idstamp/token_codec.h>

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

int main(int argc, char** argv) {
  const std::string id = argc > 1 ? argv[1] : "user-42";
  const std::optional<std::string> token = idstamp::crypt_id(id);
  if (!token) return 1;
  const std::optional<std::string> back = idstamp::decrypt_id(*token, 10);
  if (back != id) return 1;
  // With the stamp as a value: accepted for 9:59.999, refused at 10:00.000.
  const std::uint32_t stamp = 411'196'474;
  const std::optional<std::string> fixed = idstamp::crypt_id(id, stamp);
  if (!fixed || idstamp::decrypt_id(*fixed, 10, stamp + 10 * 60'000 - 1) != id) return 1;
  if (idstamp::decrypt_id(*fixed, 10, stamp + 10 * 60'000)) return 1;
  std::printf("%s -> %s -> %s\n", id.c_str(), token->c_str(), back->c_str());
  return 0;
}
