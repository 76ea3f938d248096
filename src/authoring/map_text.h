// The text form of map files: one area per line in file order, "rect NAME L T R B",
// "ellipse NAME L T R B" (inclusive bounds) or "poly NAME X,Y X,Y ..." ("poly:N" keeps another
// polygon shape byte N). NAME is a word or a quoted string (hex:... for bytes without text).
#pragma once

#include <string>
#include <string_view>

#include "components/map_area_list.h"

namespace quen {

// Raises "line N: ..." for what it cannot read.
TMapAreaList ParseMapText(std::string_view utf8);
std::string MapToText(const TMapAreaList& areas);

}  // namespace quen
