// The text form of preview-menu layouts: "version N", "size W H", then per button
// `button "NAME"`, `pos X Y`, `overlay_pos X Y` and one line per other field (picture,
// capture_mask, hover ... group_click_overlay). A field the version does not store is refused;
// a field not given is empty or 0. Names stay as stored (never made absolute).
#pragma once

#include <string>
#include <string_view>

#include "components/cont_sel_list.h"

namespace quen {

TContSelList ParsePrevMenuText(std::string_view utf8);
std::string PrevMenuToText(const TContSelList& list);

}  // namespace quen
