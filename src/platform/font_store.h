// The one place that holds fontconfig's configuration and the open FreeType faces, shared by
// the glyph service, the tool-bar labels and the font list. Internal to the platform layer.
#pragma once

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace quen::platform::detail {

// An outline font file fontconfig knows, with every family name it carries (all languages).
struct FontEntry {
  std::string file;
  int index = 0;
  std::vector<std::string> families;   // UTF-8
  std::vector<std::string> languages;  // of each family name ("en", "ja", ...)
  bool fixed_pitch = false;
};

// A face name resolved to a file: which family of which file, and whether it came through one
// of the Windows aliases (whose heights count as the em, see outline_font.h).
struct ResolvedFace {
  std::string file;
  int index = 0;
  bool alias = false;
};

class FontStore {
 public:
  // Everything below is called with Lock() held.
  std::unique_lock<std::mutex> Lock() { return std::unique_lock<std::mutex>(mutex_); }

  // Switches between the pinned files (the default) and the system configuration; faces
  // already open stay open for whoever holds them.
  void UseSystem(bool system);
  bool System() const { return system_; }
  // Frees the configuration; the next use makes it again.
  void ReleaseConfig();

  // The outline fonts of the configuration in use, read once per configuration.
  const std::vector<FontEntry>& Entries();
  // Face name in Shift-JIS -> file, memoised per configuration.
  const ResolvedFace& Resolve(const std::string& face_sjis);
  // What "ＭＳ ゴシック" resolves to: the face of last resort.
  ResolvedFace DefaultFace();
  // What "ＭＳ Ｐゴシック" resolves to (the tool-bar labels' face).
  ResolvedFace ProportionalGothic();
  // A file of the configuration for a family and language, in fontconfig's order of
  // preference ("IPAPGothic,sans-serif:lang=ja"); empty when nothing scalable matches.
  ResolvedFace BestMatch(const char* pattern_text);

  FT_Library Library();
  // The face of a file, opened once and kept for the process; nullptr when FreeType refuses.
  FT_Face Face(const std::string& file, int index);

  // Unicode of a Shift-JIS character code (lead byte high), memoised; 0 when invalid.
  char32_t Unicode(uint16_t code);

 private:
  FcConfig* Config();
  ResolvedFace AliasFace(int which);
  const FontEntry* FindFamily(const std::string& utf8) const;

  std::mutex mutex_;
  bool system_ = false;
  FcConfig* config_ = nullptr;
  bool entries_read_ = false;
  std::vector<FontEntry> entries_;
  std::map<std::string, ResolvedFace> resolved_;
  FT_Library library_ = nullptr;
  bool library_tried_ = false;
  std::map<std::pair<std::string, int>, FT_Face> faces_;
  std::vector<char32_t> unicode_;  // 65536 entries once used; 0xFFFFFFFF = not yet known
};

// The process's store. It is never destroyed: glyph caches that outlive static destruction
// order may still hand their sizes back to it at exit.
FontStore& Store();

}  // namespace quen::platform::detail
