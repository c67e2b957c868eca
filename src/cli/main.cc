// idstamp: issue a short-lived token for an id, or check one back.
#include <cstddef>

#include "cli/cli.h"
#include "cli/output.h"

int main(int argc, char** argv) {
  idstamp::failed_writes_are_errors();
  const idstamp::Args args(argv + 1, argc > 1 ? static_cast<std::size_t>(argc - 1) : 0);
  const idstamp::CliOutput out = idstamp::run_cli(args);
  return idstamp::write_stdout(out.text.view()) ? out.status : idstamp::exit_failed;
}
