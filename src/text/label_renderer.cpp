#include "text/label_renderer.h"

#include <algorithm>

#include "base/sjis.h"
#include "imaging/font_pixel.h"
#include "text/markup_compiler.h"
#include "text/messages.h"

namespace quen {

namespace {

std::vector<uint16_t> Codes(const std::string& line) {
  std::vector<uint16_t> out;
  for (size_t i = 0; i < line.size();) {
    const size_t len = sjis::CharLen(line, i);
    const auto b = [&](size_t k) { return static_cast<uint8_t>(line[k]); };
    out.push_back(len == 2 ? static_cast<uint16_t>(b(i) << 8 | b(i + 1)) : b(i));
    i += len;
  }
  return out;
}

const std::string& FaceOf(const TLabelStyle& s) {
  static const std::string fallback = msg::kDefaultFace;
  return s.face.empty() ? fallback : s.face;
}

int32_t Border(const TLabelStyle& s) {
  return std::clamp(s.border, 0, kMaxEdgeWidth);
}
int32_t Shadow(const TLabelStyle& s) {
  return std::clamp(s.shadow, 0, kMaxShadowOffset);
}
int32_t Height(const TLabelStyle& s) {
  return std::clamp(s.height, 1, kMaxGlyphHeight);
}

}  // namespace

int32_t LabelLineWidth(const std::string& line, const TLabelStyle& style) {
  TFontPixelManager& fonts = FontPixels();
  fonts.Level = std::clamp(style.level, 0, 3);
  int64_t w = 0;
  for (uint16_t c : Codes(line))
    w += fonts.GetGlyph(c, FaceOf(style), style.style, Height(style))->Advance();
  if (w == 0) return 0;
  return static_cast<int32_t>(
      std::min<int64_t>(w + 2 * Border(style) + Shadow(style), TDIBSurface::kMaxSide));
}

void RenderLabelLines(const std::vector<std::string>& lines, const TLabelStyle& style, int32_t bits,
                      TLabel& out) {
  out.width = out.height = 0;
  out.color.Clear();
  out.mask.Clear();
  if (lines.empty()) return;
  const int32_t b = Border(style), s = Shadow(style), h = Height(style);
  const int32_t row = h + 2 * b + s;
  std::vector<int32_t> widths;
  for (const std::string& l : lines) {
    widths.push_back(LabelLineWidth(l, style));
    out.width = std::max(out.width, widths.back());
  }
  const int64_t height = int64_t{row + style.line_space} * static_cast<int64_t>(lines.size());
  out.height = static_cast<int32_t>(std::clamp<int64_t>(height, 0, TDIBSurface::kMaxSide));
  if (out.width <= 0 || out.height <= 0) return;
  if (bits != 15 && bits != 16 && bits != 24) bits = 32;
  out.color.SetSize(out.width, out.height, bits);
  out.mask.SetSize(out.width, out.height, 8);
  const uint32_t text = static_cast<uint32_t>(out.color.ColorToPixel(std::max(style.color, 0)));
  const uint32_t edge =
      static_cast<uint32_t>(out.color.ColorToPixel(std::max(style.border_color, 0)));
  const uint32_t shade =
      static_cast<uint32_t>(out.color.ColorToPixel(std::max(style.shadow_color, 0)));
  out.color.Fill(text);
  out.mask.Fill(0);

  TFontPixelManager& fonts = FontPixels();
  fonts.Level = std::clamp(style.level, 0, 3);
  for (size_t k = 0; k < lines.size(); ++k) {
    int64_t x = 0;
    if (style.align == 1) x = (out.width - widths[k]) / 2;
    if (style.align == 2) x = out.width - widths[k];
    const int64_t y = int64_t{row + style.line_space} * static_cast<int64_t>(k);
    if (y >= out.height) break;
    const std::vector<uint16_t> codes = Codes(lines[k]);
    for (size_t i = 0; i < codes.size(); ++i) {
      TFontPixel* g = fonts.GetGlyph(codes[i], FaceOf(style), style.style, h);
      const int32_t advance = g->Advance();
      // The cell is the advance: letters keep their place on the line and are not centred.
      TRect changed;
      g->DrawChar(out.color, out.mask, false, changed, shade, edge, text, i + 1 == codes.size(),
                  i == 0, s, b,
                  TRect::FromSize(static_cast<int32_t>(x), static_cast<int32_t>(y), advance, row));
      x += advance;
      if (x >= out.width) break;
    }
  }
}

void TLabelList::SetItems(std::vector<std::string> items) {
  items_ = std::move(items);
  rendered_.clear();
}

TLabel* TLabelList::Label(int32_t i, int32_t bits) {
  if (i < 0 || i >= Count()) return nullptr;
  if (!(rendered_style_ == style) || rendered_bits_ != bits) {
    rendered_.clear();
    rendered_style_ = style;
    rendered_bits_ = bits;
  }
  if (rendered_.size() != items_.size()) rendered_.resize(items_.size());
  auto& slot = rendered_[static_cast<size_t>(i)];
  if (!slot) {
    slot = std::make_unique<TLabel>();
    RenderLabelLines(SplitMarkupLines(items_[static_cast<size_t>(i)]), style, bits, *slot);
  }
  return slot.get();
}

int32_t TLabelList::Widest(int32_t bits) {
  int32_t w = 0;
  for (int32_t i = 0; i < Count(); ++i) w = std::max(w, Label(i, bits)->width);
  return w;
}

void TLabelList::Draw(int32_t i, TCustomDIBX& target, int32_t x, int32_t y, const TRect& clip) {
  const int32_t bits = target.BitCount();
  TLabel* l = Label(i, bits);
  if (!l || l->width == 0 || blend <= 0) return;
  const TRect r = TRect::FromSize(x, y, l->width, l->height)
                      .Intersect(clip)
                      .Intersect(TRect{0, 0, target.Width(), target.Height()});
  if (r.IsEmpty()) return;
  const TRect src = r.Offset(-x, -y);
  TDIBX& c = l->color;
  TDIBX& m = l->mask;
  if (blend <= 255) {
    target.DrawAlphaMask(r.Left, r.Top, blend, m, false, false, src, c);
  } else {
    target.DrawAddMask(r.Left, r.Top, std::min(blend - 256, 255), m, false, false, src, c);
  }
}

void TLabelList::SaveToStream(TStream& s) const {
  WriteString(s, style.face);
  WriteInt32(s, style.height);
  WriteByte(s, style.style);
  WriteInt32(s, style.color);
  WriteInt32(s, style.border);
  WriteInt32(s, style.border_color);
  WriteInt32(s, style.shadow);
  WriteInt32(s, style.shadow_color);
  WriteByte(s, static_cast<uint8_t>(std::clamp(style.level, 0, 3)));
  WriteInt32(s, style.line_space);
  WriteByte(s, style.align);
  WriteInt32(s, blend);
  WriteStringList(s, items_);
}

void TLabelList::LoadFromStream(TStream& s) {
  TLabelStyle st;
  st.face = ReadString(s);
  st.height = ReadInt32(s);
  st.style = ReadByte(s);
  st.color = ReadInt32(s);
  st.border = ReadInt32(s);
  st.border_color = ReadInt32(s);
  st.shadow = ReadInt32(s);
  st.shadow_color = ReadInt32(s);
  st.level = std::min<int32_t>(ReadByte(s), 3);
  st.line_space = ReadInt32(s);
  st.align = ReadByte(s);
  const int32_t b = ReadInt32(s);
  std::vector<std::string> items = ReadStringList(s);
  style = std::move(st);
  blend = b;
  SetItems(std::move(items));
}

}  // namespace quen
