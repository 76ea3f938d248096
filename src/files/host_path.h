// Game file names ("data\Pic.brx", Shift-JIS, "\" separators) and their host paths (UTF-8, "/").
#pragma once

#include <string>
#include <vector>

namespace quen {

// Splits a game name into its components at "\" and "/" (walking Shift-JIS characters).
std::vector<std::string> SplitGameName(const std::string& name);
// The folder part including its trailing "\" ("" when none) and the file-name part.
std::string GameFolderPart(const std::string& name);
std::string GameFileNamePart(const std::string& name);
// The extension including its dot ("" when none), in the name's own case.
std::string GameExtension(const std::string& name);

// Finds the host file (or folder) for a game name under root, matching every component
// without regard to ASCII case (an exact match is preferred). "" when nothing matches, and for
// names that would leave root ("..").
std::string ResolveGamePath(const std::string& root, const std::string& name,
                            bool want_dir = false);

// Converts a relative host path (UTF-8, "/") into a game name (Shift-JIS, "\").
std::string HostRelativeToGameName(const std::string& relative);

// Appends "/" when missing.
std::string WithSlash(const std::string& host_folder);

}  // namespace quen
