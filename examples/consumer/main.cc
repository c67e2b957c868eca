// Issues a token for an id and checks it back, through the installed library.
#include <idstamp/token_codec.h>

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
  const std::string id = argc > 1 ? argv[1] : "user-42";
  const std::optional<std::string> token = idstamp::crypt_id(id);
  if (!token) return 1;
  const std::optional<std::string> back = idstamp::decrypt_id(*token, 10);
  if (back != id) return 1;
  // Ten minutes and one millisecond after issue, the token is refused.
  const std::optional<idstamp::TokenContents> contents = idstamp::read_token(*token);
  const auto stamp = static_cast<std::uint32_t>(contents->stamp);
  if (idstamp::decrypt_id(*token, 10, stamp + 10 * 60'000)) return 1;
  std::printf("%s -> %s -> %s\n", id.c_str(), token->c_str(), back->c_str());
  return 0;
}
