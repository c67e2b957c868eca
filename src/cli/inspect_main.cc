// idstamp-inspect: tell why a token is accepted or refused.
#include <cerrno>
#include <climits>
#include <cstddef>
#include <string_view>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#else
#include <poll.h>
#include <unistd.h>
#endif

#include "cli/inspect.h"
#include "cli/inspect_types.h"
#include "cli/output.h"

namespace {

// Standard input and output as file descriptors: a read returns what has
// come, rather than wait for a buffer to fill as stdio would. A descriptor
// left non-blocking by whoever opened it (a terminal shares one between
// input and output) is waited for with poll().
class StandardStreams final : public idstamp::BatchStreams {
#ifndef _WIN32
  // After a failed read or write of `fd`: whether to try it again, after an
  // interruption, or once `fd` is ready for `events` where it would have
  // blocked.
  static bool again(int fd, short events) {
    if (errno != EAGAIN && errno != EWOULDBLOCK) return errno == EINTR;
    pollfd wait_for = {fd, events, 0};
    return ::poll(&wait_for, 1, -1) >= 0 || errno == EINTR;
  }
#endif

 public:
  StandardStreams() {
#ifdef _WIN32
    (void)_setmode(0, _O_BINARY);  // a zero byte or a CR is a byte like any other
#endif
  }

  std::ptrdiff_t read(char* buffer, std::size_t size) override {
    const std::size_t most = size < INT_MAX ? size : INT_MAX;
    for (;;) {
#ifdef _WIN32
      const int n = _read(0, buffer, static_cast<unsigned>(most));
      if (n < 0 && errno == EINTR) continue;
#else
      const ssize_t n = ::read(0, buffer, most);
      if (n < 0 && again(0, POLLIN)) continue;
#endif
      return n < 0 ? -1 : static_cast<std::ptrdiff_t>(n);
    }
  }

  bool write(std::string_view bytes) override {
    while (!bytes.empty()) {
      const std::size_t most = bytes.size() < INT_MAX ? bytes.size() : INT_MAX;
#ifdef _WIN32
      const int n = _write(1, bytes.data(), static_cast<unsigned>(most));
      if (n < 0 && errno == EINTR) continue;
#else
      const ssize_t n = ::write(1, bytes.data(), most);
      if (n < 0 && again(1, POLLOUT)) continue;
#endif
      if (n <= 0) return false;
      bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
  }
};

}  // namespace

int main(int argc, char** argv) {
  idstamp::failed_writes_are_errors();
  const idstamp::Args args(argv + 1, argc > 1 ? static_cast<std::size_t>(argc - 1) : 0);
  StandardStreams streams;
  const idstamp::InspectOutput out = idstamp::run_inspect(args, idstamp::local_now_ticks, streams);
  if (!idstamp::write_stdout(out.out.view())) {
    (void)idstamp::write_stderr(idstamp::write_failed_text);
    return 1;
  }
  return idstamp::write_stderr(out.err.view()) ? out.status : 1;
}
