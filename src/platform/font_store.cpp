#include "platform/font_store.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <iterator>

#include "platform/outline_font.h"
#include "platform/text_encoding.h"

namespace quen::platform {
namespace detail {
namespace {

constexpr char32_t kUnknown = 0xFFFFFFFF;

// The Windows families games ask for, by their UTF-8 names, and the families serving them.
struct Alias {
  const char* windows;
  const char* family;
  const char* fallback;  // fontconfig pattern when the family is missing
};
constexpr Alias kAliases[] = {
    {"ＭＳ ゴシック", "IPAGothic", "IPAGothic,monospace:lang=ja"},
    {"ＭＳ Ｐゴシック", "IPAPGothic", "IPAPGothic,sans-serif:lang=ja"},
    {"ＭＳ 明朝", "IPAMincho", "IPAMincho,serif:lang=ja"},
    {"ＭＳ Ｐ明朝", "IPAPMincho", "IPAPMincho,serif:lang=ja"},
};

bool FileExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

FontStore& Store() {
  static FontStore* store = [] {
    auto* s = new FontStore;
    // fontconfig's structures hold offsets rather than pointers, so a configuration kept to
    // the end looks lost to a leak checker: it is handed back at exit.
    std::atexit([] {
      auto lock = Store().Lock();
      Store().ReleaseConfig();
    });
    return s;
  }();
  return *store;
}

void FontStore::ReleaseConfig() {
  if (config_) FcConfigDestroy(config_);
  config_ = nullptr;
}

void FontStore::UseSystem(bool system) {
  if (system == system_) return;
  system_ = system;
  ReleaseConfig();
  entries_read_ = false;
  entries_.clear();
  resolved_.clear();
}

FcConfig* FontStore::Config() {
  if (config_) return config_;
  if (system_) {
    config_ = FcInitLoadConfigAndFonts();
    return config_;
  }
  // No configuration files and no system folders: the pinned files only, scanned directly.
  config_ = FcConfigCreate();
  if (!config_) return nullptr;
  for (const std::string& file : PinnedFontFiles()) {
    if (FileExists(file))
      FcConfigAppFontAddFile(config_, reinterpret_cast<const FcChar8*>(file.c_str()));
  }
  return config_;
}

const std::vector<FontEntry>& FontStore::Entries() {
  if (entries_read_) return entries_;
  entries_read_ = true;
  FcConfig* config = Config();
  if (!config) return entries_;
  FcPattern* pattern = FcPatternCreate();
  FcPatternAddBool(pattern, FC_OUTLINE, FcTrue);
  FcObjectSet* objects =
      FcObjectSetBuild(FC_FAMILY, FC_FAMILYLANG, FC_FILE, FC_INDEX, FC_SPACING, nullptr);
  if (FcFontSet* set = FcFontList(config, pattern, objects)) {
    for (int i = 0; i < set->nfont; ++i) {
      FontEntry e;
      FcChar8* file = nullptr;
      if (FcPatternGetString(set->fonts[i], FC_FILE, 0, &file) != FcResultMatch) continue;
      e.file = reinterpret_cast<const char*>(file);
      FcPatternGetInteger(set->fonts[i], FC_INDEX, 0, &e.index);
      int spacing = 0;
      e.fixed_pitch =
          FcPatternGetInteger(set->fonts[i], FC_SPACING, 0, &spacing) == FcResultMatch &&
          spacing == FC_MONO;
      FcChar8* family = nullptr;
      for (int k = 0; FcPatternGetString(set->fonts[i], FC_FAMILY, k, &family) == FcResultMatch;
           ++k) {
        e.families.emplace_back(reinterpret_cast<const char*>(family));
        FcChar8* lang = nullptr;
        const bool has =
            FcPatternGetString(set->fonts[i], FC_FAMILYLANG, k, &lang) == FcResultMatch;
        e.languages.emplace_back(has ? reinterpret_cast<const char*>(lang) : "");
      }
      entries_.push_back(std::move(e));
    }
    FcFontSetDestroy(set);
  }
  FcObjectSetDestroy(objects);
  FcPatternDestroy(pattern);
  // fontconfig lists in no promised order; files and faces sort so that the first exact
  // family match is the same on every run.
  std::sort(entries_.begin(), entries_.end(), [](const FontEntry& a, const FontEntry& b) {
    return a.file != b.file ? a.file < b.file : a.index < b.index;
  });
  return entries_;
}

const FontEntry* FontStore::FindFamily(const std::string& utf8) const {
  for (const FontEntry& e : entries_) {
    for (const std::string& f : e.families) {
      if (f == utf8) return &e;
    }
  }
  return nullptr;
}

ResolvedFace FontStore::BestMatch(const char* pattern_text) {
  ResolvedFace out;
  FcConfig* config = Config();
  if (!config) return out;
  FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(pattern_text));
  if (!pattern) return out;
  FcPatternAddBool(pattern, FC_OUTLINE, FcTrue);
  FcConfigSubstitute(config, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  if (FcFontSet* set = FcFontSort(config, pattern, FcFalse, nullptr, &result)) {
    for (int i = 0; i < set->nfont && out.file.empty(); ++i) {
      FcChar8* file = nullptr;
      FcBool outline = FcFalse;
      if (FcPatternGetString(set->fonts[i], FC_FILE, 0, &file) != FcResultMatch) continue;
      if (FcPatternGetBool(set->fonts[i], FC_OUTLINE, 0, &outline) == FcResultMatch && !outline)
        continue;
      int index = 0;
      FcPatternGetInteger(set->fonts[i], FC_INDEX, 0, &index);
      if (Face(reinterpret_cast<const char*>(file), index)) {
        out.file = reinterpret_cast<const char*>(file);
        out.index = index;
      }
    }
    FcFontSetDestroy(set);
  }
  FcPatternDestroy(pattern);
  return out;
}

ResolvedFace FontStore::AliasFace(int which) {
  Entries();
  const Alias& a = kAliases[which];
  ResolvedFace r;
  if (const FontEntry* e = FindFamily(a.family)) {
    r.file = e->file;
    r.index = e->index;
  } else {
    r = BestMatch(a.fallback);
  }
  r.alias = true;
  return r;
}

ResolvedFace FontStore::DefaultFace() {
  return AliasFace(0);
}

ResolvedFace FontStore::ProportionalGothic() {
  return AliasFace(1);
}

const ResolvedFace& FontStore::Resolve(const std::string& face_sjis) {
  auto it = resolved_.find(face_sjis);
  if (it != resolved_.end()) return it->second;
  Entries();
  ResolvedFace r;
  std::string utf8;
  const bool converted = TryCp932ToUtf8(face_sjis, utf8);
  int alias = -1;
  for (int i = 0; i < static_cast<int>(std::size(kAliases)); ++i) {
    if (converted && utf8 == kAliases[i].windows) alias = i;
  }
  if (alias >= 0) {
    r = AliasFace(alias);
  } else if (const FontEntry* e = converted ? FindFamily(utf8) : nullptr) {
    r.file = e->file;
    r.index = e->index;
  } else {
    r = AliasFace(0);
  }
  return resolved_.emplace(face_sjis, std::move(r)).first->second;
}

FT_Library FontStore::Library() {
  if (!library_tried_) {
    library_tried_ = true;
    if (FT_Init_FreeType(&library_) != 0) library_ = nullptr;
  }
  return library_;
}

FT_Face FontStore::Face(const std::string& file, int index) {
  if (file.empty()) return nullptr;
  const auto key = std::make_pair(file, index);
  auto it = faces_.find(key);
  if (it != faces_.end()) return it->second;
  FT_Face face = nullptr;
  FT_Library lib = Library();
  if (lib && FT_New_Face(lib, file.c_str(), index, &face) == 0 && !FT_IS_SCALABLE(face)) {
    FT_Done_Face(face);  // a bitmap-only face has no size for most heights
    face = nullptr;
  }
  faces_.emplace(key, face);
  return face;
}

char32_t FontStore::Unicode(uint16_t code) {
  if (unicode_.empty()) unicode_.assign(65536, kUnknown);
  char32_t& slot = unicode_[code];
  if (slot != kUnknown) return slot;
  std::string sjis;
  if (code >= 0x100) sjis.push_back(static_cast<char>(code >> 8));
  sjis.push_back(static_cast<char>(code & 0xFF));
  std::string utf8;
  slot = 0;
  if (TryCp932ToUtf8(sjis, utf8) && !utf8.empty()) {
    // One character of at most three UTF-8 bytes (the code page has nothing beyond U+FFFF).
    const auto b = [&utf8](size_t i) { return static_cast<unsigned char>(utf8[i]); };
    if (utf8.size() == 1 && b(0) < 0x80) {
      slot = b(0);
    } else if (utf8.size() == 2 && (b(0) & 0xE0) == 0xC0) {
      slot = ((b(0) & 0x1F) << 6) | (b(1) & 0x3F);
    } else if (utf8.size() == 3 && (b(0) & 0xF0) == 0xE0) {
      slot = ((b(0) & 0x0F) << 12) | ((b(1) & 0x3F) << 6) | (b(2) & 0x3F);
    }
  }
  return slot;
}

}  // namespace detail

const std::vector<std::string>& PinnedFontFiles() {
  static const std::vector<std::string> files = {
      "/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf",
      "/usr/share/fonts/opentype/ipafont-gothic/ipagp.ttf",
      "/usr/share/fonts/opentype/ipafont-mincho/ipam.ttf",
      "/usr/share/fonts/opentype/ipafont-mincho/ipamp.ttf",
  };
  return files;
}

void UseSystemFonts() {
  auto& s = detail::Store();
  auto lock = s.Lock();
  s.UseSystem(true);
}

void UsePinnedFonts() {
  auto& s = detail::Store();
  auto lock = s.Lock();
  s.UseSystem(false);
}

bool UsingSystemFonts() {
  auto& s = detail::Store();
  auto lock = s.Lock();
  return s.System();
}

std::string FaceFile(std::string_view face_sjis) {
  auto& s = detail::Store();
  auto lock = s.Lock();
  const detail::ResolvedFace& r = s.Resolve(std::string(face_sjis));
  return s.Face(r.file, r.index) ? r.file : std::string();
}

}  // namespace quen::platform
