#include "cli/output.h"

#include <csignal>
#include <cstdio>

namespace idstamp {

namespace {

bool write_all(std::string_view text, std::FILE* stream) {
  if (text.empty()) return true;
  return std::fwrite(text.data(), 1, text.size(), stream) == text.size() &&
         std::fflush(stream) == 0;
}

}  // namespace

void failed_writes_are_errors() {
#ifdef SIGPIPE
  (void)std::signal(SIGPIPE, SIG_IGN);
#endif
#ifdef SIGXFSZ
  (void)std::signal(SIGXFSZ, SIG_IGN);
#endif
}

bool write_stdout(std::string_view text) { return write_all(text, stdout); }
bool write_stderr(std::string_view text) { return write_all(text, stderr); }

}  // namespace idstamp
