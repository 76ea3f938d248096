#include "components/quen_cg_label.h"

#include <algorithm>

#include "base/sjis.h"
#include "base/stream.h"
#include "components/brix_collection.h"
#include "imaging/custom_dibx.h"
#include "text/markup_compiler.h"

namespace quen {

void TQuenCGLabel::Rebuild() {
  std::vector<std::string> map;
  sjis::ForEachChar(map_text_, [&](size_t i, size_t n) { map.push_back(map_text_.substr(i, n)); });
  cells_.clear();
  size_t widest = 0;
  // No text has no lines (and so no size); a final line break ends the last line.
  const std::vector<std::string> text_lines =
      text_.empty() ? std::vector<std::string>{} : SplitMarkupLines(text_);
  for (const std::string& line : text_lines) {
    std::vector<int32_t> row;
    sjis::ForEachChar(line, [&](size_t i, size_t n) {
      auto it = std::find(map.begin(), map.end(), line.substr(i, n));
      row.push_back(it == map.end() ? -1 : static_cast<int32_t>(it - map.begin()));
    });
    widest = std::max(widest, row.size());
    cells_.push_back(std::move(row));
  }
  const int64_t lines = static_cast<int64_t>(cells_.size());
  const int64_t w = int64_t{glyph_w_} * static_cast<int64_t>(widest);
  const int64_t h = lines > 0 ? int64_t{glyph_h_} * lines + int64_t{line_space_} * (lines - 1) : 0;
  auto c32 = [](int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, 0, INT32_MAX)); };
  SetBounds(Left(), Top(), c32(w), c32(h));
}

void TQuenCGLabel::SetSource(const std::string& source) {
  Invalidate();
  source_ = source;
  glyphs_.Clear();
  if (!source.empty()) glyphs_.Load(source, false);
  glyphs_.Index = glyphs_.Count() > 0 ? 0 : -1;
  Invalidate();
}

void TQuenCGLabel::RestoreSurfaces() {
  glyphs_.Refresh();
  Invalidate();
}

void TQuenCGLabel::DrawSelf(TCustomDIBX& target) {
  const int32_t cw = glyph_w_, ch = glyph_h_, blend = alpha_;
  // A cell of no size would divide by zero.
  if (Width() <= 0 || Height() <= 0 || cw <= 0 || ch <= 0 || blend < 1 || blend > 511) return;
  TQuenImageData* d = glyphs_.Current();
  TCustomDIBX* pic = d ? d->Surface() : nullptr;
  if (!pic || pic->Width() < cw) return;
  TCustomDIBX* mask = d->Mask();
  const bool key = pic->ColorKey() != -1;
  const int64_t columns = pic->Width() / cw;
  const int64_t usable = int64_t{pic->Height() / ch} * columns;
  int64_t y = AbsTop();
  for (const std::vector<int32_t>& line : cells_) {
    const int64_t used = static_cast<int64_t>(line.size()) * cw;
    int64_t x = AbsLeft();
    if (align_ == 1)
      x += (Width() - used) / 2;
    else if (align_ == 2)
      x += Width() - used;
    for (int32_t n : line) {
      if (n >= 0 && n < usable && x > INT32_MIN && x < INT32_MAX && y > INT32_MIN &&
          y < INT32_MAX) {
        const TRect src = TRect::FromSize(static_cast<int32_t>(n % columns * cw),
                                          static_cast<int32_t>(n / columns * ch), cw, ch);
        const auto px = static_cast<int32_t>(x), py = static_cast<int32_t>(y);
        if (blend == 255) {
          if (mask)
            target.DrawMask(px, py, *mask, false, false, src, *pic);
          else
            target.Draw(px, py, false, false, key, src, *pic);
        } else if (blend < 255) {
          if (mask)
            target.DrawAlphaMask(px, py, blend, *mask, false, false, src, *pic);
          else
            target.DrawAlpha(px, py, blend, false, false, key, src, *pic);
        } else if (mask) {
          target.DrawAddMask(px, py, blend - 256, *mask, false, false, src, *pic);
        } else {
          target.DrawAdd(px, py, blend - 256, false, false, key, src, *pic);
        }
      }
      x += cw;
    }
    y += int64_t{ch} + line_space_;
  }
}

TPropValue TQuenCGLabel::ReadOwn(uint8_t code) const {
  switch (code) {
    case PR_SOURCE:
      return TPropValue::OfStr(source_);
    case PR_TEXT:
      return TPropValue::OfStr(text_);
    case PR_MAPTEXT:
      return TPropValue::OfStr(map_text_);
    case PR_GLYPHWIDTH:
      return TPropValue::OfInt(glyph_w_);
    case PR_GLYPHHEIGHT:
      return TPropValue::OfInt(glyph_h_);
    case PR_LINESPACE:
      return TPropValue::OfInt(line_space_);
    case PR_HALIGN:
      return TPropValue::OfInt(align_);
    case PR_ALPHA:
      return TPropValue::OfInt(alpha_);
    case PR_PAUSED:
      return TPropValue::OfBool(paused_);
    case PR_ORIGWIDTH:
    case PR_ORIGHEIGHT: {
      const TBrixItem* item = glyphs_.Item();
      if (!item) return TPropValue::OfInt(0);
      return TPropValue::OfInt(code == PR_ORIGWIDTH ? item->Width() : item->Height());
    }
    default:
      return TQuenControl::ReadOwn(code);
  }
}

void TQuenCGLabel::WriteOwn(uint8_t code, const TPropValue& value) {
  auto layout = [&](auto& field, auto now) {
    if (field == now) return;
    Invalidate();
    field = now;
    Rebuild();
    Invalidate();
  };
  switch (code) {
    case PR_SOURCE:
      SetSource(value.Str);
      return;
    case PR_TEXT:
      layout(text_, value.Str);
      return;
    case PR_MAPTEXT:
      layout(map_text_, value.Str);
      return;
    case PR_GLYPHWIDTH:
      layout(glyph_w_, value.Int);
      return;
    case PR_GLYPHHEIGHT:
      layout(glyph_h_, value.Int);
      return;
    case PR_LINESPACE:
      layout(line_space_, value.Int);
      return;
    case PR_HALIGN:
      layout(align_, static_cast<uint8_t>(value.Int));
      return;
    case PR_ALPHA:
      if (alpha_ == value.Int) return;
      alpha_ = value.Int;
      Invalidate();
      return;
    case PR_PAUSED:
      paused_ = value.Int != 0;
      return;
    default:
      TQuenControl::WriteOwn(code, value);
      return;
  }
}

void TQuenCGLabel::SaveToStream(TStream& s, int32_t version) const {
  TQuenControl::SaveToStream(s, version);
  WriteString(s, source_);
  WriteString(s, text_);
  WriteString(s, map_text_);
  WriteInt32(s, glyph_w_);
  WriteInt32(s, glyph_h_);
  WriteInt32(s, line_space_);
  WriteBool(s, paused_);
  WriteByte(s, align_);
  WriteInt32(s, alpha_);
  if (version > 124) WriteString(s, PropStr(PR_ONIDLE));
}

void TQuenCGLabel::LoadFromStream(TStream& s, int32_t version) {
  TQuenControl::LoadFromStream(s, version);
  SetSource(ReadString(s));
  text_ = ReadString(s);
  map_text_ = ReadString(s);
  glyph_w_ = ReadInt32(s);
  glyph_h_ = ReadInt32(s);
  line_space_ = ReadInt32(s);
  paused_ = ReadBool(s);
  align_ = ReadByte(s);
  alpha_ = ReadInt32(s);
  if (version > 124) TQuenControl::WriteOwn(PR_ONIDLE, TPropValue::OfStr(ReadString(s)));
  Rebuild();
}

}  // namespace quen
