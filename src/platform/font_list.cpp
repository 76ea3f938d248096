#include "platform/font_list.h"

#include <algorithm>

#include "platform/font_store.h"

namespace quen::platform {

std::vector<std::string> InstalledFontFamilies(bool fixed_pitch) {
  std::vector<std::string> out;
  detail::FontStore& store = detail::Store();
  auto lock = store.Lock();
  // The fonts the glyph service sees (the pinned files unless the system's were asked for).
  for (const detail::FontEntry& e : store.Entries()) {
    if (fixed_pitch && !e.fixed_pitch) continue;
    if (e.families.empty()) continue;
    // A family may carry several names, one per language: take the Japanese one when there
    // is one, otherwise the first.
    std::string chosen = e.families.front();
    for (size_t k = 0; k < e.families.size(); ++k) {
      if (e.languages[k] == "ja") {
        chosen = e.families[k];
        break;
      }
    }
    out.push_back(chosen);
  }
  std::sort(out.begin(), out.end());
  out.erase(std::unique(out.begin(), out.end()), out.end());
  return out;
}

}  // namespace quen::platform
