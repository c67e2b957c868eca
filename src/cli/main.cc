// idstamp: issue a short-lived token for an id, or check one back.
#include <new>
#include <string_view>
#include <vector>

#include "cli/cli.h"
#include "cli/output.h"

int main(int argc, char** argv) {
  idstamp::failed_writes_are_errors();
  try {
    const std::vector<std::string_view> args(argv + 1, argv + (argc > 1 ? argc : 1));
    const idstamp::CliOutput out = idstamp::run_cli(args);
    return idstamp::write_stdout(out.text) ? out.status : idstamp::exit_write_failed;
  } catch (const std::bad_alloc&) {
    return idstamp::exit_write_failed;
  }
}
