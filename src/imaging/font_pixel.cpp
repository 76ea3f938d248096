#include "imaging/font_pixel.h"

#include <algorithm>

#include "base/error.h"
#include "imaging/messages.h"
#include "platform/outline_font.h"

namespace quen {

namespace {

TFontPixelManager* g_manager = nullptr;

platform::GlyphFormat FormatOfLevel(int32_t level) {
  switch (level) {
    case 1:
      return platform::GlyphFormat::kGray4;
    case 2:
      return platform::GlyphFormat::kGray16;
    case 3:
      return platform::GlyphFormat::kGray64;
    default:
      return platform::GlyphFormat::kMono;
  }
}

}  // namespace

const std::vector<uint8_t>& TFontPixelManager::LevelTable(int32_t level) {
  static const std::vector<uint8_t> k0 = {0, 255};
  static const std::vector<uint8_t> k1 = {0, 79, 127, 207, 255};
  static const std::vector<uint8_t> k2 = {0,   43,  55,  67,  79,  91,  103, 115, 159,
                                          171, 183, 195, 207, 219, 231, 243, 255};
  static const std::vector<uint8_t> k3 = {
      0,   18,  21,  24,  27,  30,  33,  36,  55,  58,  61,  64,  67,  70,  73,  76,  79,
      82,  85,  88,  91,  94,  97,  100, 119, 122, 125, 128, 131, 134, 137, 140, 143, 146,
      149, 152, 155, 158, 161, 164, 183, 186, 189, 192, 195, 198, 201, 204, 207, 210, 213,
      216, 219, 222, 225, 228, 231, 234, 237, 240, 243, 246, 249, 252, 255};
  switch (level) {
    case 1:
      return k1;
    case 2:
      return k2;
    case 3:
      return k3;
    default:
      return k0;
  }
}

const uint8_t* TFontPixel::CoverageRow(int32_t y) {
  return coverage_.DIB().ScanLine(y);
}

TFontPixelManager::TFontPixelManager() {
  if (!g_manager) g_manager = this;
}

TFontPixelManager::~TFontPixelManager() {
  if (g_manager == this) g_manager = nullptr;
}

TFontPixelManager* FontPixelManager() {
  return g_manager;
}

TFontPixelManager& FontPixels() {
  if (g_manager) return *g_manager;
  static TFontPixelManager* fallback = [] {
    static TFontPixelManager m;
    if (g_manager == &m) g_manager = nullptr;  // kept apart: a manager the program makes wins
    return &m;
  }();
  return *fallback;
}

int32_t TFontPixelManager::Ascent() const {
  return font_ ? font_->Metrics().ascent : 0;
}

std::string TFontPixelManager::FontFile() const {
  return font_ ? font_->Metrics().file : std::string();
}

void TFontPixelManager::SelectFont(const std::string& face, int32_t height, uint8_t flags) {
  if (have_font_ && face == font_face_ && height == font_height_ && flags == font_flags_) return;
  std::unique_ptr<platform::OutlineFont> font = platform::OutlineFont::Open(
      face, std::clamp(height, -kMaxGlyphHeight, kMaxGlyphHeight), flags);
  if (!font) RaiseError(msg::kGetOutlineTextMetrics);
  font_ = std::move(font);
  font_face_ = face;
  font_height_ = height;
  font_flags_ = flags;
  have_font_ = true;
  ++fonts_made_;
}

TFontPixel* TFontPixelManager::GetGlyph(uint16_t code, const std::string& face, uint8_t flags,
                                        int32_t height) {
  std::vector<TFontPixel*>& bucket = buckets_[code & 0xFF];
  for (TFontPixel* g : bucket) {
    if (g->code == code && g->height == height && g->flags == flags && g->level == Level &&
        g->face == face) {
      recency_.splice(recency_.begin(), recency_, g->recency_);
      return g;
    }
  }
  // The font first: when it cannot be made nothing half-made is left in the cache.
  SelectFont(face, height, flags);
  auto owned = std::make_unique<TFontPixel>();
  TFontPixel* glyph = owned.get();
  glyph->code = code;
  glyph->face = face;
  glyph->height = height;
  glyph->flags = flags;
  glyph->level = Level;
  glyph->manager_ = this;
  recency_.push_front(std::move(owned));
  glyph->recency_ = recency_.begin();
  bucket.push_back(glyph);
  if (recency_.size() > kCacheSize) {
    TFontPixel* old = recency_.back().get();
    std::vector<TFontPixel*>& b = buckets_[old->code & 0xFF];
    b.erase(std::find(b.begin(), b.end(), old));
    recency_.pop_back();
  }
  Rasterise(*glyph);
  return glyph;
}

void TFontPixelManager::Rasterise(TFontPixel& glyph) {
  platform::GlyphBitmap bm;
  platform::GlyphFormat format = FormatOfLevel(glyph.level);
  if (!font_->Render(glyph.code, format, bm)) {
    // The grey formats are refused: 1-bit glyphs from now on.
    Level = 0;
    format = platform::GlyphFormat::kMono;
    if (!font_->Render(glyph.code, format, bm)) return;  // no bitmap, no advance
  }
  const platform::OutlineTextMetrics& m = font_->Metrics();
  if (bm.width <= 0 || bm.height <= 0 || bm.bits.empty()) {
    glyph.right_pad = font_->TextWidth(glyph.code);  // a space: its text width
    return;
  }
  // The buffer may hold more rows than the black box claims; the rows it holds count.
  const int64_t size = static_cast<int64_t>(bm.bits.size());
  const int32_t row4 = (bm.width + 3) / 4 * 4;
  int32_t h = bm.height;
  if (static_cast<int64_t>(h) * row4 < size && format != platform::GlyphFormat::kMono)
    h = static_cast<int32_t>(size / row4);
  h = std::min<int64_t>(h, size / std::max(1, bm.pitch));
  const int32_t w = bm.width;
  glyph.coverage_.SetSize(w, h, 8);
  glyph.left = std::max(0, bm.origin_x);
  glyph.top = std::max(0, m.ascent - bm.origin_y);
  glyph.right_pad = std::max(0, bm.advance - w - glyph.left);
  if (glyph.flags & kGlyphUnderline) glyph.underline_size = m.underline_size;
  if (glyph.flags & kGlyphStrikeOut) {
    glyph.strikeout_top = m.ascent - m.strikeout_position;
    glyph.strikeout_size = m.strikeout_size;
  }
  TDIBSurface& dib = glyph.coverage_.DIB();
  if (format == platform::GlyphFormat::kMono) {
    for (int32_t y = 0; y < h; ++y) {
      const uint8_t* src = &bm.bits[static_cast<size_t>(y) * static_cast<size_t>(bm.pitch)];
      uint8_t* dst = dib.ScanLine(y);
      for (int32_t x = 0; x < w; ++x) dst[x] = ((src[x >> 3] >> (7 - (x & 7))) & 1) ? 255 : 0;
    }
    return;
  }
  const std::vector<uint8_t>& table = LevelTable(glyph.level);
  uint8_t map[256];
  for (int v = 0; v < 256; ++v) map[v] = table[std::min<size_t>(v, table.size() - 1)];
  for (int32_t y = 0; y < h; ++y) {
    const uint8_t* src = &bm.bits[static_cast<size_t>(y) * static_cast<size_t>(bm.pitch)];
    uint8_t* dst = dib.ScanLine(y);
    for (int32_t x = 0; x < w; ++x) dst[x] = map[src[x]];
  }
}

TCharABC TFontPixelManager::CharABC(uint16_t code, const std::string& face, uint8_t flags,
                                    int32_t height) {
  const uint8_t style = flags & (kGlyphBold | kGlyphItalic);
  if (!abc_font_ || face != abc_face_ || height != abc_height_ || style != abc_flags_) {
    abc_font_ = platform::OutlineFont::Open(
        face, std::clamp(height, -kMaxGlyphHeight, kMaxGlyphHeight), style);
    abc_face_ = face;
    abc_height_ = height;
    abc_flags_ = style;
  }
  if (!abc_font_) return {};
  const platform::CharWidths w = abc_font_->Widths(code);
  return TCharABC{w.a, w.b, w.c};
}

}  // namespace quen
