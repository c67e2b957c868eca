// idstamp: issue a short-lived token for an id, or check one back.
#include <csignal>
#include <cstdio>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "cli/cli.h"

namespace {

// True when every byte reached standard output.
bool write_out(std::string_view text) {
  if (text.empty()) return true;
  return std::fwrite(text.data(), 1, text.size(), stdout) == text.size() &&
         std::fflush(stdout) == 0;
}

}  // namespace

int main(int argc, char** argv) {
#ifdef SIGPIPE
  // A closed pipe is a failed write like any other, not a reason to die.
  (void)std::signal(SIGPIPE, SIG_IGN);
#endif
  try {
    const std::vector<std::string_view> args(argv + 1, argv + (argc > 1 ? argc : 1));
    return write_out(idstamp::run_cli(args)) ? 0 : 1;
  } catch (const std::bad_alloc&) {
    return 1;
  }
}
