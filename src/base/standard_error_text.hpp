#pragma once

// Text for standard error. Names and texts there may come from the job's
// files (a job name holding an escape sequence or a NUL): standard error is
// usually a terminal, so control characters are shown, never sent.

#include <string>
#include <string_view>

namespace korvanel {

// The text with every control character (bytes 0 to 31 and 127) as \xNN;
// everything else, UTF-8 included, as it is.
std::string escapedControlCharacters(std::string_view text);

}  // namespace korvanel
