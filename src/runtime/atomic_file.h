// Files the player writes replace the old ones only once they are complete.
#pragma once

#include <string>

namespace quen {

// Writes bytes to a temporary file beside host_path and renames it into place; false on failure
// (the old file is then untouched).
bool WriteFileAtomically(const std::string& host_path, const std::string& bytes);

}  // namespace quen
