// Starting other programs: always with an argument vector, never through a shell.
#pragma once

#include <string>
#include <vector>

namespace quen::platform {

// Runs args[0] (looked up in PATH) with the arguments and waits for it; true when it ran and
// exited with status 0.
bool RunAndWait(std::vector<std::string> args);

}  // namespace quen::platform
