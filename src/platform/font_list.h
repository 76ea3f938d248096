// The font families installed on the system, for scripts that look for a font by name.
#pragma once

#include <string>
#include <vector>

namespace quen::platform {

// Family names (UTF-8), a family's Japanese name where it has one, sorted and without
// duplicates; fixed_pitch keeps only monospaced families. Empty when fontconfig has nothing.
std::vector<std::string> InstalledFontFamilies(bool fixed_pitch);

}  // namespace quen::platform
