#include "platform/font_list.h"

#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cstring>

namespace quen::platform {

std::vector<std::string> InstalledFontFamilies(bool fixed_pitch) {
  std::vector<std::string> out;
  // A configuration of our own, freed when done: the list is read once and kept by the caller.
  FcConfig* config = FcInitLoadConfigAndFonts();
  if (!config) return out;
  FcPattern* pattern = FcPatternCreate();
  if (fixed_pitch) FcPatternAddInteger(pattern, FC_SPACING, FC_MONO);
  FcObjectSet* objects = FcObjectSetBuild(FC_FAMILY, FC_FAMILYLANG, nullptr);
  FcFontSet* set = FcFontList(config, pattern, objects);
  if (set) {
    for (int i = 0; i < set->nfont; ++i) {
      // A family may carry several names, one per language: take the Japanese one when there
      // is one, otherwise the first.
      std::string chosen;
      FcChar8* family = nullptr;
      for (int k = 0; FcPatternGetString(set->fonts[i], FC_FAMILY, k, &family) == FcResultMatch;
           ++k) {
        FcChar8* lang = nullptr;
        const bool japanese =
            FcPatternGetString(set->fonts[i], FC_FAMILYLANG, k, &lang) == FcResultMatch &&
            std::strcmp(reinterpret_cast<const char*>(lang), "ja") == 0;
        if (k == 0 || japanese) chosen = reinterpret_cast<const char*>(family);
        if (japanese) break;
      }
      if (!chosen.empty()) out.push_back(chosen);
    }
    FcFontSetDestroy(set);
  }
  FcObjectSetDestroy(objects);
  FcPatternDestroy(pattern);
  FcConfigDestroy(config);
  std::sort(out.begin(), out.end());
  out.erase(std::unique(out.begin(), out.end()), out.end());
  return out;
}

}  // namespace quen::platform
