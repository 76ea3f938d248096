// Text descriptions of the project file and the installation record, for the authoring tool:
// every field of every version, one per line, readable and writable by hand.
#pragma once

#include <string>
#include <string_view>

#include "runtime/install_set.h"
#include "runtime/project_setting.h"

namespace quen {

// "version" comes first and decides which fields may follow; a field the version lacks, or
// one given twice, raises "line N: ...". Fields not given keep their defaults.
TProjectSetting ParseProjectText(std::string_view utf8);
std::string ProjectToText(const TProjectSetting& p);

// "version" (0 or 99..108) is the layout the tool writes the record in.
TQuenInstallSet ParseInstallText(std::string_view utf8);
std::string InstallToText(const TQuenInstallSet& r);

// Writes the record in an older layout (what installers of that time wrote); the player itself
// always writes version 108.
void SaveInstallSetVersion(const TQuenInstallSet& r, TStream& s, int version);

}  // namespace quen
