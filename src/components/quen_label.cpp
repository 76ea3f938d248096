#include "components/quen_label.h"

#include "base/error.h"
#include "base/sjis.h"
#include "base/stream.h"
#include "components/messages.h"
#include "components/quen_base_list.h"
#include "components/quen_motion.h"
#include "files/host_path.h"
#include "text/markup_compiler.h"

namespace quen {

TQuenLabel::TQuenLabel(TQuenBaseList* owner) : TQuenCustomImage(owner) {
  style_.face = msg::kLabelDefaultFace;
  style_.height = 12;
  style_.level = 0;
}

void TQuenLabel::Render() const {
  if (!stale_) return;
  stale_ = false;
  int32_t bits = 32;
  if (owner_ && !owner_->Screen().IsEmpty()) bits = owner_->Screen().BitCount();
  std::vector<std::string> lines;
  if (!text_.empty()) lines = SplitMarkupLines(text_);
  RenderLabelLines(lines, style_, bits, label_);
}

// Everything that changes the rendering: redraw the old area, render, size, redraw the new.
void TQuenLabel::Restyle() {
  Invalidate();
  stale_ = true;
  RecomputeSize();
  Invalidate();
}

TCustomDIBX* TQuenLabel::Picture() {
  if (HasExternalPicture()) return TQuenCustomImage::Picture();
  Render();
  return label_.color.IsEmpty() ? nullptr : &label_.color;
}

TCustomDIBX* TQuenLabel::PictureMask() {
  if (HasExternalPicture()) return TQuenCustomImage::PictureMask();
  Render();
  return label_.mask.IsEmpty() ? nullptr : &label_.mask;
}

TPoint TQuenLabel::PictureSize() const {
  if (HasExternalPicture()) return TQuenCustomImage::PictureSize();
  Render();
  return {label_.width, label_.height};
}

void TQuenLabel::ReleaseSurfaces() {
  label_.color.Clear();
  label_.mask.Clear();
  stale_ = true;
}

void TQuenLabel::RestoreSurfaces() {
  Restyle();
}

void TQuenLabel::SetSource(const std::string& source) {
  if (source == source_) return;
  source_ = source;
  FreeMotion();
  if (!sjis::EqualsNoCase(GameExtension(source), ".qmt")) return;
  try {
    StartMotion(source);
  } catch (const EQuenError&) {
    // A film that cannot be opened leaves the caption where it is.
  }
}

TPropValue TQuenLabel::ReadOwn(uint8_t code) const {
  switch (code) {
    case PR_TEXT:
      return TPropValue::OfStr(text_);
    case PR_FONTNAME:
      return TPropValue::OfStr(style_.face);
    case PR_FONTHEIGHT:
      return TPropValue::OfInt(style_.height);
    case PR_FONTSTYLE:
      return TPropValue::OfInt(style_.style);
    case PR_LINESPACE:
      return TPropValue::OfInt(style_.line_space);
    case PR_FONTCOLOR:
      return TPropValue::OfInt(style_.color);
    case PR_HALIGN:
      return TPropValue::OfInt(style_.align);
    case PR_ANTIALIAS:
      return TPropValue::OfBool(style_.level != 0);
    case PR_SOURCE:
      return TPropValue::OfStr(source_);
    case PR_REPEAT:
      return TPropValue::OfBool(repeat_);
    case PR_PAUSED:
      return TPropValue::OfBool(paused_);
    default:
      return TQuenCustomImage::ReadOwn(code);
  }
}

void TQuenLabel::WriteOwn(uint8_t code, const TPropValue& value) {
  auto restyle = [&](auto& field, auto now) {
    if (field == now) return;
    field = now;
    Restyle();
  };
  switch (code) {
    case PR_TEXT:
      restyle(text_, value.Str);
      return;
    case PR_FONTNAME:
      restyle(style_.face, value.Str);
      return;
    case PR_FONTHEIGHT:
      restyle(style_.height, value.Int);
      return;
    case PR_FONTSTYLE:
      restyle(style_.style, static_cast<uint8_t>(value.Int & 15));
      return;
    case PR_LINESPACE:
      restyle(style_.line_space, value.Int);
      return;
    case PR_FONTCOLOR:
      restyle(style_.color, value.Int);
      return;
    case PR_HALIGN:
      restyle(style_.align, static_cast<uint8_t>(value.Int));
      return;
    case PR_ANTIALIAS:
      restyle(style_.level, value.Int != 0 ? 3 : 0);
      return;
    case PR_SOURCE:
      SetSource(value.Str);
      return;
    case PR_REPEAT:
      repeat_ = value.Int != 0;
      if (repeat_ && GetMotion() && GetMotion()->Finished()) RestartMotion();
      return;
    case PR_PAUSED:
      paused_ = value.Int != 0;
      return;
    default:
      TQuenCustomImage::WriteOwn(code, value);
      return;
  }
}

void TQuenLabel::SaveToStream(TStream& s, int32_t version) const {
  TQuenControl::SaveToStream(s, version);
  WriteString(s, style_.face);
  WriteInt32(s, style_.height);
  WriteInt32(s, style_.line_space);
  WriteByte(s, style_.style);
  WriteInt32(s, alpha_);
  WriteInt32(s, style_.color);
  WriteByte(s, style_.align);
  WriteBool(s, style_.level != 0);
  WriteBool(s, flip_h_);
  WriteBool(s, flip_v_);
  WriteInt32(s, angle_);
  WriteInt32(s, zoom_x_);
  std::string text;
  if (!text_.empty())
    for (const std::string& line : SplitMarkupLines(text_)) text += line + "\r\n";
  WriteString(s, text);
  if (version > 103) {
    WriteString(s, PropStr(PR_ONIDLE));
    WriteString(s, source_);
    WriteBool(s, repeat_);
    WriteBool(s, PropBool(PR_AUTOSCRAP));
    WriteString(s, PropStr(PR_ONPLAYEND));
    WriteBool(s, paused_);
    WriteInt32(s, zoom_y_);
  }
}

void TQuenLabel::LoadFromStream(TStream& s, int32_t version) {
  TQuenControl::LoadFromStream(s, version);
  style_.face = ReadString(s);
  style_.height = ReadInt32(s);
  style_.line_space = ReadInt32(s);
  style_.style = ReadByte(s) & 15;
  alpha_ = ReadInt32(s);
  style_.color = ReadInt32(s);
  style_.align = ReadByte(s);
  style_.level = ReadBool(s) ? 3 : 0;
  flip_h_ = ReadBool(s);
  flip_v_ = ReadBool(s);
  angle_ = ReadInt32(s);
  zoom_x_ = std::max(ReadInt32(s), 1);
  text_ = ReadString(s);
  zoom_y_ = 256;
  if (version > 103) {
    TQuenControl::WriteOwn(PR_ONIDLE, TPropValue::OfStr(ReadString(s)));
    SetSource(ReadString(s));
    repeat_ = ReadBool(s);
    TQuenControl::WriteOwn(PR_AUTOSCRAP, TPropValue::OfBool(ReadBool(s)));
    TQuenControl::WriteOwn(PR_ONPLAYEND, TPropValue::OfStr(ReadString(s)));
    paused_ = ReadBool(s);
    zoom_y_ = std::max(ReadInt32(s), 1);
  }
  Restyle();
}

}  // namespace quen
