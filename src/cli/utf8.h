// UTF-8 checking, for the reports that show an id as text only when it is.
#ifndef IDSTAMP_UTF8_H
#define IDSTAMP_UTF8_H

#include <string_view>

namespace idstamp {

// Well-formed UTF-8: no overlong forms, no surrogates, nothing past U+10FFFF.
bool is_utf8(std::string_view text);

}  // namespace idstamp

#endif  // IDSTAMP_UTF8_H
