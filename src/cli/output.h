// Standard output for the programs, where a failed write is an exit status.
#ifndef IDSTAMP_OUTPUT_H
#define IDSTAMP_OUTPUT_H

#include <string_view>

namespace idstamp {

// A closed pipe or a file-size limit makes a write fail, rather than end the
// process by a signal.
void failed_writes_are_errors();

// True when every byte of `text` reached the stream.
bool write_stdout(std::string_view text);
bool write_stderr(std::string_view text);

}  // namespace idstamp

#endif  // IDSTAMP_OUTPUT_H
