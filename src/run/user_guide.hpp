#pragma once

#include <string>

namespace korvanel {

// The first page of the user guide installed with this program:
// <bin directory>/<guideFromBinDir>/README.md, found from the location of the
// running program (for /opt/k/bin/korvanel and "../share/doc/korvanel",
// /opt/k/share/doc/korvanel/README.md). Empty when the program does not run
// from an installation that holds the guide, for example from a build tree.
std::string installedUserGuide(const std::string& guideFromBinDir);

}  // namespace korvanel
