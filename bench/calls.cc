// Runs one operation on a 16-byte id a given number of times, for
// bench/instructions.sh to count instructions per call under callgrind.
//   idstamp_calls OPERATION COUNT
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "idstamp/idstamp.h"
#include "idstamp/token_codec.h"
#include "token/core.h"

namespace {

constexpr std::uint32_t stamp = 411'196'474;
const std::string id = "id-0123456789-AB";  // 16 bytes

// Keeps the compiler from dropping a result it cannot see used.
template <class T>
void keep(const T& value) {
  asm volatile("" : : "g"(&value) : "memory");
}

using Call = void (*)();

const std::string token = *idstamp::crypt_id(id, stamp);

void copy() {
  std::string c = token;  // a string the size of the token: one allocation and a copy
  keep(c);
}

void crypt_core() {
  char buffer[idstamp::max_token_length];
  keep(idstamp::issue_token(buffer, sizeof buffer, id, stamp));
  keep(buffer);
}

void check_core() {
  char buffer[idstamp::max_id_length + 1];
  idstamp::Check check;
  idstamp::check_token(token, 30, idstamp::at_stamp(stamp), buffer, check);
  keep(check);
}

// The C interface's check, with a report and for the verdict alone.
void check_c() {
  idstamp_report report;
  keep(idstamp_check_token(token.data(), token.size(), 30, &stamp, &report));
  keep(report);
}

void check_c_verdict() {
  keep(idstamp_check_token(token.data(), token.size(), 30, &stamp, nullptr));
}

void crypt_id() { keep(idstamp::crypt_id(id, stamp)); }

void decrypt_id() { keep(idstamp::decrypt_id(token, 30, stamp)); }

// The stamp of now: one clock reading and its local-time conversion.
void year_stamp() { keep(idstamp::year_stamp()); }

// A token judged against the clock, as a caller without a stamp of its own.
void check_c_now() { keep(idstamp_check_token(token.data(), token.size(), 30, nullptr, nullptr)); }

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  const std::string_view op = argv[1];
  const Call call = op == "copy"              ? copy
                    : op == "crypt_core"      ? crypt_core
                    : op == "check_core"      ? check_core
                    : op == "check_c"         ? check_c
                    : op == "check_c_verdict" ? check_c_verdict
                    : op == "crypt_id"        ? crypt_id
                    : op == "decrypt_id"      ? decrypt_id
                    : op == "year_stamp"      ? year_stamp
                    : op == "check_c_now"     ? check_c_now
                                              : nullptr;
  if (call == nullptr) return 2;
  for (long i = std::strtol(argv[2], nullptr, 10); i > 0; --i) call();
  return 0;
}
