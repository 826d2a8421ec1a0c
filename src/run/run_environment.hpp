#pragma once

#include <string>
#include <vector>

namespace korvanel {

// The local time of day as HH:MM:SS (24-hour clock).
std::string timeOfDay();

// The decimal separator of the user's numeric locale; "." when the locale
// gives none or gives more than one character.
char localeDecimalSeparator();

// Writes the lines of a fatal stop to the advisory file, each followed by
// CR LF, replacing the file whole. Returns false when the file cannot be
// written (it is then left as it was, and the reason is on standard error).
bool writeAdvisoryFile(const std::string& path, const std::vector<std::string>& lines,
                       char decimalSeparator);

}  // namespace korvanel
