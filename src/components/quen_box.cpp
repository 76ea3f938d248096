#include "components/quen_box.h"

#include "base/error.h"
#include "base/sjis.h"
#include "base/stream.h"
#include "components/quen_motion.h"
#include "files/host_path.h"
#include "imaging/custom_dibx.h"

namespace quen {
namespace {

// Each channel times (level / 256), for the additive forms.
TColor ScaleColor(TColor c, int32_t level) {
  auto ch = [level](uint8_t v) { return static_cast<uint8_t>(v * level / 256); };
  return RGBColor(ch(GetRValue(c)), ch(GetGValue(c)), ch(GetBValue(c)));
}

}  // namespace

void TQuenBox::DrawSelf(TCustomDIBX& target) {
  const int32_t blend = alpha_;
  if (blend <= 0 || blend >= 512) return;
  TRect r = HitRect();
  auto paint = [&](TColor color, auto fill, auto alpha, auto add) {
    if (blend == 255)
      fill(static_cast<uint32_t>(target.ColorToPixel(color)));
    else if (blend < 255)
      alpha(static_cast<uint32_t>(target.ColorToPixel(color)));
    else
      add(static_cast<uint32_t>(target.ColorToPixel(ScaleColor(color, blend - 256))));
  };
  const int32_t w = border_width_;
  if (w > 0 && border_color_ >= 0) {
    paint(
        border_color_, [&](uint32_t p) { target.FrameRect(r, w, p); },
        [&](uint32_t p) { target.FrameRectAlpha(r, w, blend, p); },
        [&](uint32_t p) { target.FrameRectAdd(r, w, p); });
  }
  const TColor color = PropInt(PR_COLOR);
  if (color < 0) return;
  if (w > 0) {
    const int64_t l = int64_t{r.Left} + w, t = int64_t{r.Top} + w;
    const int64_t rr = int64_t{r.Right} - w, b = int64_t{r.Bottom} - w;
    if (rr <= l || b <= t) return;
    r = TRect{static_cast<int32_t>(l), static_cast<int32_t>(t), static_cast<int32_t>(rr),
              static_cast<int32_t>(b)};
  }
  paint(
      color, [&](uint32_t p) { target.FillRect(r, p); },
      [&](uint32_t p) { target.FillRectAlpha(r, p, blend); },
      [&](uint32_t p) { target.FillRectAdd(r, p); });
}

std::vector<int64_t> TQuenBox::TrailState() const {
  return {Left(), Top(), Width(), Height(), border_width_};
}

void TQuenBox::SetSource(const std::string& source) {
  source_ = source;
  FreeMotion();
  if (!sjis::EqualsNoCase(GameExtension(source), ".qmt")) return;
  try {
    StartMotion(source);
  } catch (const EQuenError&) {
    // A film that cannot be opened leaves the box standing, as a missing picture would.
  }
}

void TQuenBox::LeaveAfterImage() {
  if (!owner_) return;
  auto* copy = owner_->Create<TQuenBlurBox>();
  copy->CopyFrom(*this);
  copy->Follow(*this, trail_.Delay());
}

bool TQuenBox::Update(int32_t frameMs) {
  if (trail_.Step(frameMs, TrailState())) LeaveAfterImage();
  return TQuenControl::Update(frameMs);
}

TPropValue TQuenBox::ReadOwn(uint8_t code) const {
  switch (code) {
    case PR_BORDERWIDTH:
      return TPropValue::OfInt(border_width_);
    case PR_BORDERCOLOR:
      return TPropValue::OfInt(border_color_);
    case PR_ALPHA:
      return TPropValue::OfInt(alpha_);
    case PR_SOURCE:
      return TPropValue::OfStr(source_);
    case PR_REPEAT:
      return TPropValue::OfBool(repeat_);
    case PR_PAUSED:
      return TPropValue::OfBool(paused_);
    case PR_BLURSPAN:
      return TPropValue::OfInt(trail_.Span());
    case PR_BLURDELAY:
      return TPropValue::OfInt(trail_.Delay());
    default:
      return TQuenControl::ReadOwn(code);
  }
}

void TQuenBox::WriteOwn(uint8_t code, const TPropValue& value) {
  const int32_t v = value.Int;
  auto looks = [&](int32_t& field) {
    if (field == v) return;
    Invalidate();
    field = v;
    Invalidate();
  };
  switch (code) {
    case PR_BORDERWIDTH:
      looks(border_width_);
      return;
    case PR_BORDERCOLOR:
      looks(border_color_);
      return;
    case PR_ALPHA:
      looks(alpha_);
      return;
    case PR_SOURCE:
      SetSource(value.Str);
      return;
    case PR_REPEAT:
      repeat_ = v != 0;
      if (repeat_ && GetMotion() && GetMotion()->Finished()) RestartMotion();
      return;
    case PR_PAUSED:
      paused_ = v != 0;
      return;
    case PR_BLURSPAN:
      trail_.SetSpan(v, TrailState());
      return;
    case PR_BLURDELAY:
      trail_.SetDelay(v);
      return;
    default:
      TQuenControl::WriteOwn(code, value);
      return;
  }
}

void TQuenBox::SaveToStream(TStream& s, int32_t version) const {
  TQuenControl::SaveToStream(s, version);
  WriteInt32(s, border_width_);
  WriteInt32(s, border_color_);
  WriteInt32(s, alpha_);
  if (version > 103) {
    WriteString(s, PropStr(PR_ONIDLE));
    WriteString(s, source_);
    WriteBool(s, repeat_);
    WriteBool(s, PropBool(PR_AUTOSCRAP));
    WriteString(s, PropStr(PR_ONPLAYEND));
    WriteBool(s, paused_);
    WriteBool(s, PropBool(PR_ANIPAUSED));
  }
  if (version > 139) {
    WriteInt32(s, trail_.Span());
    WriteInt32(s, trail_.Delay());
  }
}

void TQuenBox::LoadFromStream(TStream& s, int32_t version) {
  TQuenControl::LoadFromStream(s, version);
  border_width_ = ReadInt32(s);
  border_color_ = ReadInt32(s);
  alpha_ = ReadInt32(s);
  if (version > 103) {
    TQuenControl::WriteOwn(PR_ONIDLE, TPropValue::OfStr(ReadString(s)));
    SetSource(ReadString(s));
    repeat_ = ReadBool(s);
    TQuenControl::WriteOwn(PR_AUTOSCRAP, TPropValue::OfBool(ReadBool(s)));
    TQuenControl::WriteOwn(PR_ONPLAYEND, TPropValue::OfStr(ReadString(s)));
    paused_ = ReadBool(s);
    TQuenControl::WriteOwn(PR_ANIPAUSED, TPropValue::OfBool(ReadBool(s)));
  }
  if (version > 139) {
    const int32_t span = ReadInt32(s);
    trail_.SetDelay(ReadInt32(s));
    trail_.SetSpan(span, TrailState());
  }
  Invalidate();
}

void TQuenBlurBox::CopyFrom(const TQuenBox& source) {
  SetBounds(source.Left(), source.Top(), source.Width(), source.Height());
  for (uint8_t code : {PR_OFFSETX, PR_OFFSETY, PR_PLUSX, PR_PLUSY, PR_COLOR, PR_POSZOOMED,
                       PR_CLIPLEFT, PR_CLIPTOP, PR_CLIPWIDTH, PR_CLIPHEIGHT, PR_IGNOREMOUSE})
    TQuenControl::WriteOwn(code, source.ReadProp(code));
  if (source.GetMotion()) {
    const TPoint p = source.MotionPos();
    SetBounds(p.X, p.Y, source.Width(), source.Height());
  }
  border_width_ = source.border_width_;
  border_color_ = source.border_color_;
}

}  // namespace quen
