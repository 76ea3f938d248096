#include "components/quen_map_image.h"

#include <algorithm>

#include "base/error.h"
#include "base/stream.h"
#include "components/brix_collection.h"
#include "components/quen_base_list.h"
#include "components/vk_codes.h"
#include "expr/param_collection.h"
#include "files/file_manager.h"
#include "imaging/custom_dibx.h"

namespace quen {
namespace {

// The map's pictures play round and round.
void Loop(TQuenImageList& list, int32_t frameMs) {
  TQuenImageData* d = list.Current();
  if (!d || list.Count() < 2) return;
  int64_t left = int64_t{list.Countdown} - frameMs;
  while (left < 1) {
    list.Index = (list.Index + 1) % list.Count();
    left += list.Current()->Time();
  }
  list.Countdown = static_cast<int32_t>(std::min<int64_t>(left, INT32_MAX));
}

void Start(TQuenImageList& list) {
  list.Index = list.Count() > 0 ? 0 : -1;
  list.Countdown = list.Current() ? list.Current()->Time() : 0;
}

bool Has(const std::vector<int32_t>& keys, int32_t key) {
  return std::find(keys.begin(), keys.end(), key) != keys.end();
}

}  // namespace

bool TQuenMapImage::Blocks() const {
  const int32_t im = PropInt(PR_IGNOREMOUSE);
  return paused_ || !(im == IM_NONE || im == IM_RCLICK);
}

void TQuenMapImage::InvalidateArea(int32_t index) {
  if (index < 0 || index >= areas_.Count() || !Visible()) return;
  TQuenBase* root = Root();
  if (!root) return;
  TRect r = areas_.Area(index).Region.Bounds().Offset(AbsLeft(), AbsTop()).Intersect(HitRect());
  if (Parent()) r = r.Intersect(Parent()->HitRect());
  if (ClipActive()) r = r.Intersect(ClipRect());
  if (!r.IsEmpty()) root->AddDirtyRect(ClipToParent(r));
}

void TQuenMapImage::Select(int32_t index) {
  if (index < -1 || index >= areas_.Count()) index = -1;
  if (index == selected_) return;
  const int32_t old = selected_;
  selected_ = index;
  if (old >= 0) FireEvent(PR_ONMAPOUT, {areas_.Area(old).Name, std::to_string(old)}, false);
  if (index >= 0) FireEvent(PR_ONMAPIN, {areas_.Area(index).Name, std::to_string(index)}, false);
  InvalidateArea(old);
  InvalidateArea(index);
  Start(hover_);
}

void TQuenMapImage::Choose() {
  if (selected_ < 0 || selected_ >= areas_.Count()) return;
  const TMapArea& a = areas_.Area(selected_);
  if (owner_ && owner_->ScriptVars()) {
    owner_->ScriptVars()->sel_str = a.Name;
    owner_->ScriptVars()->sel_index = selected_;
  }
  FireEvent(PR_ONSELECT, {a.Name, std::to_string(selected_)}, true);
  if (PropBool(PR_AUTOSCRAP)) StartClosing();
}

void TQuenMapImage::Cancel() {
  if (owner_ && owner_->ScriptVars()) {
    owner_->ScriptVars()->sel_str.clear();
    owner_->ScriptVars()->sel_index = -1;
  }
  StartClosing();
}

void TQuenMapImage::StartClosing() {
  if (closing_ == 0) closing_ = 1;
}

bool TQuenMapImage::Update(int32_t frameMs) {
  if (closing_ == 2) return true;
  if (closing_ == 1) closing_ = 2;
  if (TQuenControl::Update(frameMs)) return true;
  const int32_t a = picture_.Index, b = hover_.Index;
  Loop(picture_, frameMs);
  Loop(hover_, frameMs);
  if (a != picture_.Index) Invalidate();
  if (b != hover_.Index) InvalidateArea(selected_);
  return false;
}

void TQuenMapImage::DoMouseMove(int32_t x, int32_t y) {
  TQuenControl::DoMouseMove(x, y);
  if (closing_ == 0) Select(areas_.AreaAt(x - AbsLeft(), y - AbsTop()));
}

void TQuenMapImage::DoMouseOut(TQuenControl* newTarget) {
  TQuenControl::DoMouseOut(newTarget);
  if (closing_ == 0) Select(-1);
}

void TQuenMapImage::DoLButtonDown(int32_t x, int32_t y) {
  TQuenControl::DoLButtonDown(x, y);
  if (closing_ == 0 && !Blocks() && selected_ >= 0) Choose();
}

void TQuenMapImage::DoKeyDown(const std::vector<int32_t>& keys) {
  TQuenControl::DoKeyDown(keys);
  if (closing_ != 0 || paused_) return;
  if (Has(keys, VK_RETURN) || Has(keys, VK_SPACE))
    Choose();
  else if (Has(keys, VK_ESCAPE) && PropBool(PR_RCLICKSCRAP))
    Cancel();
}

void TQuenMapImage::DoKeyRepeat(const std::vector<int32_t>& keys) {
  TQuenControl::DoKeyRepeat(keys);
  // Without areas there is nothing to move to.
  const int32_t n = areas_.Count();
  if (closing_ != 0 || paused_ || n == 0) return;
  for (int32_t k : keys) {
    if (k == VK_UP || k == VK_LEFT)
      Select(selected_ <= 0 ? n - 1 : selected_ - 1);
    else if (k == VK_DOWN || k == VK_RIGHT)
      Select(selected_ < 0 || selected_ >= n - 1 ? 0 : selected_ + 1);
  }
}

bool TQuenMapImage::ConsumeRightClick() {
  const int32_t im = PropInt(PR_IGNOREMOUSE);
  if (closing_ != 0 || !(im == IM_NONE || im == IM_LCLICK)) return false;
  Cancel();
  return true;
}

void TQuenMapImage::SetPicture(TQuenImageList& list, std::string& field,
                               const std::string& source) {
  Invalidate();
  field = source;
  list.Clear();
  if (!source.empty()) list.Load(source, false);
  list.SetBrightness(brightness_);
  Start(list);
  if (&list == &picture_) {
    const TBrixItem* item = list.Item();
    SetBounds(Left(), Top(), item ? item->Width() : 0, item ? item->Height() : 0);
  }
  Invalidate();
}

void TQuenMapImage::SetMapSource(const std::string& source) {
  Select(-1);
  map_source_ = source;
  areas_.Clear();
  if (source.empty() || !HasFileManager() || !FileManager().FileExists(source)) return;
  TKvMemoryStream content;
  FileManager().LoadFile(content, source);
  content.SetPosition(0);
  areas_.LoadFromStream(content);
}

void TQuenMapImage::DrawFrame(TCustomDIBX& target, TQuenImageList& list) {
  TQuenImageData* d = list.Current();
  TCustomDIBX* pic = d ? d->Surface() : nullptr;
  if (!pic) return;
  TCustomDIBX* mask = d->Mask();
  const int32_t x = AbsLeft(), y = AbsTop(), blend = alpha_;
  const TRect src{0, 0, pic->Width(), pic->Height()};
  const bool key = pic->ColorKey() != -1;
  if (blend == 255) {
    if (mask)
      target.DrawMask(x, y, *mask, false, false, src, *pic);
    else
      target.Draw(x, y, false, false, key, src, *pic);
  } else if (blend < 255) {
    if (mask)
      target.DrawAlphaMask(x, y, blend, *mask, false, false, src, *pic);
    else
      target.DrawAlpha(x, y, blend, false, false, key, src, *pic);
  } else if (mask) {
    target.DrawAddMask(x, y, blend - 256, *mask, false, false, src, *pic);
  } else {
    target.DrawAdd(x, y, blend - 256, false, false, key, src, *pic);
  }
}

void TQuenMapImage::DrawSelf(TCustomDIBX& target) {
  if (alpha_ < 1 || alpha_ > 511) return;
  DrawFrame(target, picture_);
  if (selected_ < 0 || !hover_.Current()) return;
  // The hover picture shows only inside the selected area: its rows, clipped one run at a
  // time (rows with the same runs drawn together).
  const TMapRegion& region = areas_.Area(selected_).Region;
  const int32_t x0 = AbsLeft(), y0 = AbsTop();
  const TRect saved = target.UpdateRect();
  const TRect clip = target.ClipRect().Intersect(HitRect());
  if (clip.IsEmpty()) return;
  std::vector<std::pair<int32_t, int32_t>> runs, next;
  auto flush = [&](int32_t top, int32_t bottom) {
    for (const auto& [a, b] : runs) {
      const TRect r = TRect{static_cast<int32_t>(int64_t{a} + x0), top,
                            static_cast<int32_t>(int64_t{b} + x0), bottom}
                          .Intersect(clip);
      if (r.IsEmpty()) continue;
      SetSurfaceClip(target, r);
      DrawFrame(target, hover_);
    }
  };
  int32_t start = clip.Top;
  for (int32_t y = clip.Top; y < clip.Bottom; ++y) {
    next.clear();
    region.RowSpans(static_cast<int32_t>(int64_t{y} - y0), next);
    if (y == clip.Top) {
      runs = next;
      continue;
    }
    if (next == runs) continue;
    flush(start, y);
    runs.swap(next);
    start = y;
  }
  flush(start, clip.Bottom);
  SetSurfaceClip(target, saved);
}

void TQuenMapImage::ReleaseSurfaces() {
  picture_.ReleaseSurfaces();
  hover_.ReleaseSurfaces();
}

void TQuenMapImage::RestoreSurfaces() {
  picture_.Refresh();
  hover_.Refresh();
  Invalidate();
}

TPropValue TQuenMapImage::ReadOwn(uint8_t code) const {
  switch (code) {
    case PR_SOURCE:
      return TPropValue::OfStr(source_);
    case PR_HOVERSOURCE:
      return TPropValue::OfStr(hover_source_);
    case PR_MAPSOURCE:
      return TPropValue::OfStr(map_source_);
    case PR_ALPHA:
      return TPropValue::OfInt(alpha_);
    case PR_BRIGHTNESS:
      return TPropValue::OfInt(brightness_);
    case PR_PAUSED:
      return TPropValue::OfBool(paused_);
    default:
      return TQuenControl::ReadOwn(code);
  }
}

void TQuenMapImage::WriteOwn(uint8_t code, const TPropValue& value) {
  switch (code) {
    case PR_SOURCE:
      SetPicture(picture_, source_, value.Str);
      return;
    case PR_HOVERSOURCE:
      SetPicture(hover_, hover_source_, value.Str);
      return;
    case PR_MAPSOURCE:
      SetMapSource(value.Str);
      return;
    case PR_ALPHA:
      if (alpha_ == value.Int) return;
      alpha_ = value.Int;
      Invalidate();
      return;
    case PR_BRIGHTNESS:
      if (brightness_ == value.Int) return;
      brightness_ = value.Int;
      picture_.SetBrightness(brightness_);
      hover_.SetBrightness(brightness_);
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

void TQuenMapImage::SaveToStream(TStream& s, int32_t version) const {
  TQuenControl::SaveToStream(s, version);
  WriteString(s, source_);
  WriteString(s, hover_source_);
  WriteString(s, map_source_);
  WriteInt32(s, alpha_);
  WriteInt32(s, brightness_);
  WriteString(s, PropStr(PR_ONMAPIN));
  WriteString(s, PropStr(PR_ONMAPOUT));
  WriteBool(s, PropBool(PR_AUTOSCRAP));
  WriteBool(s, PropBool(PR_RCLICKSCRAP));
  if (version > 103) {
    WriteString(s, PropStr(PR_ONIDLE));
    WriteBool(s, paused_);
    WriteString(s, PropStr(PR_ONSELECT));
  }
  if (version > 114) WriteInt32(s, closing_);
}

void TQuenMapImage::LoadFromStream(TStream& s, int32_t version) {
  TQuenControl::LoadFromStream(s, version);
  const std::string source = ReadString(s);
  const std::string hover = ReadString(s);
  const std::string map = ReadString(s);
  SetPicture(picture_, source_, source);
  SetPicture(hover_, hover_source_, hover);
  SetMapSource(map);
  alpha_ = ReadInt32(s);
  WriteOwn(PR_BRIGHTNESS, TPropValue::OfInt(ReadInt32(s)));
  TQuenControl::WriteOwn(PR_ONMAPIN, TPropValue::OfStr(ReadString(s)));
  TQuenControl::WriteOwn(PR_ONMAPOUT, TPropValue::OfStr(ReadString(s)));
  TQuenControl::WriteOwn(PR_AUTOSCRAP, TPropValue::OfBool(ReadBool(s)));
  TQuenControl::WriteOwn(PR_RCLICKSCRAP, TPropValue::OfBool(ReadBool(s)));
  if (version > 103) {
    TQuenControl::WriteOwn(PR_ONIDLE, TPropValue::OfStr(ReadString(s)));
    paused_ = ReadBool(s);
    TQuenControl::WriteOwn(PR_ONSELECT, TPropValue::OfStr(ReadString(s)));
  }
  if (version > 114) {
    const int32_t closing = ReadInt32(s);
    if (closing < 0 || closing > 2) RaiseReadError();
    closing_ = closing;
  }
}

}  // namespace quen
