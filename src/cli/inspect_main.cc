// idstamp-inspect: tell why a token is accepted or refused.
#include <new>
#include <string_view>
#include <vector>

#include "cli/inspect.h"
#include "cli/output.h"

int main(int argc, char** argv) {
  idstamp::failed_writes_are_errors();
  try {
    const std::vector<std::string_view> args(argv + 1, argv + (argc > 1 ? argc : 1));
    const idstamp::InspectOutput out = idstamp::run_inspect(args, idstamp::local_now_ticks());
    const bool written = idstamp::write_stdout(out.out) && idstamp::write_stderr(out.err);
    return written ? out.status : 1;
  } catch (const std::bad_alloc&) {
    return 1;
  }
}
