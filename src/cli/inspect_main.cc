// idstamp-inspect: tell why a token is accepted or refused.
#include <cstddef>

#include "cli/inspect.h"
#include "cli/output.h"

int main(int argc, char** argv) {
  idstamp::failed_writes_are_errors();
  const idstamp::Args args(argv + 1, argc > 1 ? static_cast<std::size_t>(argc - 1) : 0);
  const idstamp::InspectOutput out = idstamp::run_inspect(args, idstamp::local_now_ticks());
  const bool written = idstamp::write_stdout(out.out.view()) && idstamp::write_stderr(out.err);
  return written ? out.status : 1;
}
