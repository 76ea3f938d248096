#include "components/quen_slider.h"

#include <algorithm>
#include <cmath>

#include "base/stream.h"
#include "components/brix_collection.h"
#include "components/cell_draw.h"
#include "components/quen_base_list.h"
#include "components/vk_codes.h"

namespace quen {
namespace {

bool Has(const std::vector<int32_t>& keys, int32_t k) {
  return std::find(keys.begin(), keys.end(), k) != keys.end();
}

int32_t Clamp32(int64_t v) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

}  // namespace

TQuenSlider::TQuenSlider(TQuenBaseList* owner)
    : TQuenControl(owner), track_(this), thumb_(this), buttons_(this) {}

int32_t TQuenSlider::Value() const {
  return ClampInto(value_, min_, max_);
}

TQuenSlider::TParts TQuenSlider::Parts() const {
  TParts p;
  p.vertical = orientation_ == 1;
  auto size = [](const TQuenImageList& l, int cells, int32_t& w, int32_t& h) {
    const TBrixItem* item = l.Item();
    w = item ? item->Width() / cells : 0;
    h = item ? item->Height() : 0;
  };
  size(buttons_, 6, p.bw, p.bh);
  size(thumb_, 3, p.tw, p.th);
  size(track_, 2, p.hw, p.hh);
  p.length = TrackLength();
  return p;
}

int32_t TQuenSlider::TrackLength() const {
  if (bar_size_ > 0) return bar_size_;
  const TBrixItem* item = track_.Item();
  if (!item) return 0;
  return orientation_ == 1 ? item->Height() : item->Width();
}

int32_t TQuenSlider::ThumbOffset() const {
  const int64_t range = int64_t{max_} - min_;
  if (range <= 0) return 0;
  const long double share = static_cast<long double>(int64_t{Value()} - min_) / range;
  return Clamp32(std::llround(share * TrackLength()));
}

void TQuenSlider::Relayout() {
  const TParts p = Parts();
  const int64_t along = int64_t{p.vertical ? p.bh : p.bw} * 2 + p.length;
  const int64_t across = p.vertical ? std::max({p.bw, p.tw, p.hw}) : std::max({p.bh, p.th, p.hh});
  const int32_t a = static_cast<int32_t>(std::clamp<int64_t>(along, 0, INT32_MAX));
  const int32_t c = static_cast<int32_t>(across);
  Invalidate();
  if (p.vertical)
    SetBounds(Left(), Top(), c, a);
  else
    SetBounds(Left(), Top(), a, c);
  Invalidate();
}

TRect TQuenSlider::ButtonRect(int i) const {
  const TParts p = Parts();
  const int64_t l = AbsLeft(), t = AbsTop();
  int64_t x, y;
  if (p.vertical) {
    x = l + (Width() - p.bw) / 2;
    y = i == 0 ? t : t + p.bh + p.length;
  } else {
    x = i == 0 ? l : l + p.bw + p.length;
    y = t + (Height() - p.bh) / 2;
  }
  return TRect::FromSize(Clamp32(x), Clamp32(y), p.bw, p.bh);
}

TRect TQuenSlider::ThumbRect() const {
  const TParts p = Parts();
  const int64_t offset = ThumbOffset();
  int64_t x, y;
  if (p.vertical) {
    x = int64_t{AbsLeft()} + (Width() - p.tw) / 2;
    y = int64_t{AbsTop()} + p.bh + p.length - offset - p.th / 2;
  } else {
    x = int64_t{AbsLeft()} + p.bw + offset - p.tw / 2;
    y = int64_t{AbsTop()} + (Height() - p.th) / 2;
  }
  return TRect::FromSize(Clamp32(x), Clamp32(y), p.tw, p.th);
}

int64_t TQuenSlider::AlongTrack(int32_t x, int32_t y) const {
  const TParts p = Parts();
  if (p.vertical) return int64_t{AbsTop()} + p.bh + p.length - y;
  return int64_t{x} - AbsLeft() - p.bw;
}

TQuenSlider::TPart TQuenSlider::PartAt(int32_t x, int32_t y) const {
  if (ThumbRect().Contains(x, y)) return TPart::Thumb;
  if (ButtonRect(0).Contains(x, y)) return TPart::First;
  if (ButtonRect(1).Contains(x, y)) return TPart::Second;
  const TParts p = Parts();
  const int64_t along = AlongTrack(x, y);
  if (along < 0 || along >= p.length || !HitRect().Contains(x, y)) return TPart::None;
  if (capture_mask_) {
    // The track's mask under the point, as the tiles of its halves lie.
    TQuenImageList& track = const_cast<TQuenImageList&>(track_);
    TQuenImageData* d = track.Frame(0);
    TCustomDIBX* m = d ? d->Mask() : nullptr;
    if (m && !m->IsEmpty() && p.hw > 0 && p.hh > 0) {
      const int64_t across = p.vertical ? int64_t{x} - AbsLeft() - (Width() - p.hw) / 2
                                        : int64_t{y} - AbsTop() - (Height() - p.hh) / 2;
      const int64_t from_start =
          p.vertical ? int64_t{y} - AbsTop() - p.bh : int64_t{x} - AbsLeft() - p.bw;
      const bool filled = along < ThumbOffset();
      int64_t mx, my;
      if (p.vertical) {
        mx = across;
        my = from_start % p.hh;
      } else {
        mx = from_start % p.hw;
        my = across;
      }
      if (filled) mx += p.hw;
      if (mx < 0 || my < 0 || mx >= m->Width() || my >= m->Height()) return TPart::None;
      if (m->GetPixel(static_cast<int32_t>(mx), static_cast<int32_t>(my)) <= 127)
        return TPart::None;
    }
  }
  return TPart::Track;
}

bool TQuenSlider::ValueAt(int64_t along, int32_t& out) const {
  const int32_t length = TrackLength();
  // A track of no length gives no position (the division would have no value).
  if (length <= 0) return false;
  const int64_t range = int64_t{max_} - min_;
  const long double share = static_cast<long double>(std::clamp<int64_t>(along, 0, length));
  out = ClampInto(int64_t{min_} + std::llround(static_cast<long double>(range) / length * share),
                  min_, max_);
  return true;
}

void TQuenSlider::MoveTo(int64_t value) {
  const int32_t before = Value();
  const int32_t now = ClampInto(value, min_, max_);
  value_ = now;
  if (now == before) return;
  Invalidate();
  FireEvent(PR_ONNOTIFY, {}, true);
}

int32_t TQuenSlider::ButtonDirection(int i) const {
  if (orientation_ == 1) return i == 0 ? 1 : -1;
  return i == 0 ? -1 : 1;
}

bool TQuenSlider::PointerOn(TPart part) const {
  const TQuenBase* root = const_cast<TQuenSlider*>(this)->Root();
  if (!root) return false;
  return PartAt(root->MouseX, root->MouseY) == part;
}

void TQuenSlider::DoLButtonDown(int32_t x, int32_t y) {
  TQuenControl::DoLButtonDown(x, y);
  const int32_t im = PropInt(PR_IGNOREMOUSE);
  if (!(im == IM_NONE || im == IM_RCLICK) || IsPaused() || max_ <= min_ || mode_ != kNone) return;
  TQuenBase* root = Root();
  const TPart part = PartAt(x, y);
  if (part == TPart::None) return;
  if (root) root->Capture |= 4;
  Invalidate();
  switch (part) {
    case TPart::Thumb:
      FireEvent(PR_ONHOLD, {}, false);
      // The slider holds the thumb by its centre; the scroll bar where it was taken.
      grab_ = PagesOnTrack() ? AlongTrack(x, y) - ThumbOffset() : 0;
      thumb_state_ = 2;
      mode_ = kThumb;
      break;
    case TPart::First:
    case TPart::Second: {
      const int i = part == TPart::First ? 0 : 1;
      MoveBy(int64_t{small_change_} * ButtonDirection(i));
      button_state_[i] = 2;
      countdown_ = TQuenBaseList::kRepeatDelay;
      mode_ = i == 0 ? kFirstButton : kSecondButton;
      break;
    }
    case TPart::Track:
      if (PagesOnTrack()) {
        const bool higher = AlongTrack(x, y) > ThumbOffset();
        MoveBy(higher ? int64_t{large_change_} : -int64_t{large_change_});
        countdown_ = TQuenBaseList::kRepeatDelay;
        mode_ = higher ? kTrackHigh : kTrackLow;
      } else {
        FireEvent(PR_ONHOLD, {}, false);
        mode_ = kThumb;
        grab_ = 0;
        thumb_state_ = 2;
        int32_t v;
        if (ValueAt(AlongTrack(x, y), v)) MoveTo(v);
      }
      break;
    case TPart::None:
      break;
  }
  Invalidate();
}

void TQuenSlider::PageTowardsPointer() {
  const TQuenBase* root = Root();
  if (!root) return;
  const int64_t along = AlongTrack(root->MouseX, root->MouseY);
  const int64_t thumb = ThumbOffset();
  if (mode_ == kTrackHigh && along > thumb)
    MoveBy(large_change_);
  else if (mode_ == kTrackLow && along < thumb)
    MoveBy(-int64_t{large_change_});
}

void TQuenSlider::DoMouseHold() {
  const TQuenBase* root = Root();
  if (!root || mode_ == kNone) return;
  if (mode_ == kThumb) {
    int32_t v;
    if (ValueAt(AlongTrack(root->MouseX, root->MouseY) - grab_, v)) MoveTo(v);
    return;
  }
  const int32_t frame = owner_ ? owner_->FrameMs() : 0;
  countdown_ = Clamp32(int64_t{countdown_} - frame);
  if (countdown_ > 0) return;
  countdown_ = TQuenBaseList::kRepeatInterval;
  if (mode_ == kFirstButton || mode_ == kSecondButton) {
    const int i = mode_ == kFirstButton ? 0 : 1;
    if (PointerOn(i == 0 ? TPart::First : TPart::Second))
      MoveBy(int64_t{small_change_} * ButtonDirection(i));
  } else {
    PageTowardsPointer();
  }
}

void TQuenSlider::UpdateHover(int32_t x, int32_t y) {
  const bool live = !IsPaused() && PropInt(PR_IGNOREMOUSE) != IM_ALL;
  const TPart part = live ? PartAt(x, y) : TPart::None;
  const int32_t thumb = part == TPart::Thumb ? 1 : 0;
  const int32_t first = part == TPart::First ? 1 : 0, second = part == TPart::Second ? 1 : 0;
  if (thumb == thumb_state_ && first == button_state_[0] && second == button_state_[1]) return;
  thumb_state_ = thumb;
  button_state_ = {first, second};
  Invalidate();
}

void TQuenSlider::DoLButtonUp(int32_t x, int32_t y) {
  const TQuenHandle self = Handle();
  TQuenControl::DoLButtonUp(x, y);
  if (!owner_ || owner_->Resolve(self) != this) return;
  if (mode_ == kThumb) FireEvent(PR_ONRELEASE, {}, false);
  mode_ = kNone;
  UpdateHover(x, y);
  Invalidate();
}

void TQuenSlider::DoMouseMove(int32_t x, int32_t y) {
  TQuenControl::DoMouseMove(x, y);
  if (mode_ == kNone) UpdateHover(x, y);
}

void TQuenSlider::DoMouseOut(TQuenControl* newTarget) {
  TQuenControl::DoMouseOut(newTarget);
  if (mode_ != kNone) return;
  if (thumb_state_ == 0 && button_state_[0] == 0 && button_state_[1] == 0) return;
  thumb_state_ = 0;
  button_state_ = {0, 0};
  Invalidate();
}

void TQuenSlider::DoKeyRepeat(const std::vector<int32_t>& keys) {
  TQuenControl::DoKeyRepeat(keys);
  if (IsPaused()) return;
  const int32_t up = orientation_ == 1 ? VK_UP : VK_RIGHT,
                down = orientation_ == 1 ? VK_DOWN : VK_LEFT;
  if (Has(keys, up)) MoveBy(small_change_);
  if (Has(keys, down)) MoveBy(-int64_t{small_change_});
}

void TQuenSlider::DrawSelf(TCustomDIBX& target) {
  const TParts p = Parts();
  const int32_t blend = alpha_;
  if (blend < 1 || blend > 511) return;
  const int64_t l = AbsLeft(), t = AbsTop();
  const int32_t offset = ThumbOffset();
  // The track: from its low-value end to the thumb with the right half, the rest with the left.
  if (TQuenImageData* d = track_.Frame(0); d && p.hw > 0 && p.hh > 0 && p.length > 0) {
    const TRect empty_src{0, 0, p.hw, p.hh}, full_src{p.hw, 0, 2 * p.hw, p.hh};
    if (p.vertical) {
      const int32_t x = Clamp32(l + (Width() - p.hw) / 2);
      const int32_t y0 = Clamp32(t + p.bh), split = Clamp32(t + p.bh + p.length - offset);
      const int32_t y1 = Clamp32(t + p.bh + p.length);
      TileCell(target, TRect{x, y0, x + p.hw, split}, empty_src, d, blend);
      TileCell(target, TRect{x, split, x + p.hw, y1}, full_src, d, blend);
    } else {
      const int32_t y = Clamp32(t + (Height() - p.hh) / 2);
      const int32_t x0 = Clamp32(l + p.bw), split = Clamp32(l + p.bw + offset);
      const int32_t x1 = Clamp32(l + p.bw + p.length);
      TileCell(target, TRect{x0, y, split, y + p.hh}, full_src, d, blend);
      TileCell(target, TRect{split, y, x1, y + p.hh}, empty_src, d, blend);
    }
  }
  for (int i = 0; i < 2; ++i) {
    const TRect r = ButtonRect(i);
    const int32_t cell = i * 3 + std::clamp(button_state_[i], 0, 2);
    DrawCell(target, r.Left, r.Top, TRect::FromSize(cell * p.bw, 0, p.bw, p.bh), buttons_.Frame(0),
             blend);
  }
  const TRect r = ThumbRect();
  DrawCell(target, r.Left, r.Top,
           TRect::FromSize(std::clamp(thumb_state_, 0, 2) * p.tw, 0, p.tw, p.th), thumb_.Frame(0),
           blend);
}

void TQuenSlider::SetSourceOf(int slot, const std::string& source) {
  sources_[static_cast<size_t>(slot)] = source;
  TQuenImageList& list = slot == 0 ? track_ : slot == 1 ? thumb_ : buttons_;
  list.Clear();
  if (!source.empty()) list.Load(source, slot == 0 && capture_mask_);
  list.Index = list.Count() > 0 ? 0 : -1;
  Relayout();
}

void TQuenSlider::ReleaseSurfaces() {
  track_.ReleaseSurfaces();
  thumb_.ReleaseSurfaces();
  buttons_.ReleaseSurfaces();
}

void TQuenSlider::RestoreSurfaces() {
  track_.Refresh();
  thumb_.Refresh();
  buttons_.Refresh();
  Relayout();
}

TPropValue TQuenSlider::ReadOwn(uint8_t code) const {
  switch (code) {
    case PR_SOURCE:
      return TPropValue::OfStr(sources_[0]);
    case PR_THUMBSOURCE:
      return TPropValue::OfStr(sources_[1]);
    case PR_BUTTONSOURCE:
      return TPropValue::OfStr(sources_[2]);
    case PR_MIN:
      return TPropValue::OfInt(min_);
    case PR_MAX:
      return TPropValue::OfInt(max_);
    case PR_VALUE:
      return TPropValue::OfInt(Value());
    case PR_ORIENTATION:
      return TPropValue::OfInt(orientation_);
    case PR_SMALLCHANGE:
      return TPropValue::OfInt(small_change_);
    case PR_LARGECHANGE:
      return TPropValue::OfInt(large_change_);
    case PR_ALPHA:
      return TPropValue::OfInt(alpha_);
    case PR_CAPTUREMASK:
      return TPropValue::OfBool(capture_mask_);
    case PR_BARSIZE:
      return TPropValue::OfInt(bar_size_);
    default:
      return TQuenControl::ReadOwn(code);
  }
}

void TQuenSlider::WriteOwn(uint8_t code, const TPropValue& value) {
  const int32_t v = value.Int;
  auto redraw = [&](int32_t& field) {
    field = v;
    Invalidate();
  };
  switch (code) {
    case PR_SOURCE:
      SetSourceOf(0, value.Str);
      return;
    case PR_THUMBSOURCE:
      SetSourceOf(1, value.Str);
      return;
    case PR_BUTTONSOURCE:
      SetSourceOf(2, value.Str);
      return;
    case PR_MIN:
      redraw(min_);
      return;
    case PR_MAX:
      redraw(max_);
      return;
    case PR_VALUE:
      redraw(value_);
      return;
    case PR_ORIENTATION:
      orientation_ = static_cast<uint8_t>(v);
      Relayout();
      return;
    case PR_SMALLCHANGE:
      small_change_ = v;
      return;
    case PR_LARGECHANGE:
      large_change_ = v;
      return;
    case PR_ALPHA:
      redraw(alpha_);
      return;
    case PR_CAPTUREMASK:
      capture_mask_ = v != 0;
      // The track's mask is asked for with the picture.
      if (!sources_[0].empty()) SetSourceOf(0, sources_[0]);
      return;
    case PR_BARSIZE:
      bar_size_ = v;
      Relayout();
      return;
    default:
      TQuenControl::WriteOwn(code, value);
      return;
  }
}

void TQuenSlider::SaveToStream(TStream& s, int32_t version) const {
  TQuenControl::SaveToStream(s, version);
  for (const std::string& source : sources_) WriteString(s, source);
  WriteInt32(s, min_);
  WriteInt32(s, max_);
  WriteInt32(s, value_);
  WriteInt32(s, small_change_);
  WriteInt32(s, alpha_);
  WriteBool(s, PropBool(PR_PAUSED));
  WriteByte(s, orientation_);
  for (uint8_t code : {PR_ONNOTIFY, PR_ONHOLD, PR_ONRELEASE, PR_ONIDLE})
    WriteString(s, PropStr(code));
  if (version > 118) WriteBool(s, capture_mask_);
  if (version > 127) WriteInt32(s, bar_size_);
}

void TQuenSlider::LoadFromStream(TStream& s, int32_t version) {
  TQuenControl::LoadFromStream(s, version);
  std::array<std::string, 3> sources;
  for (std::string& source : sources) source = ReadString(s);
  min_ = ReadInt32(s);
  max_ = ReadInt32(s);
  value_ = ReadInt32(s);
  small_change_ = ReadInt32(s);
  alpha_ = ReadInt32(s);
  TQuenControl::WriteOwn(PR_PAUSED, TPropValue::OfBool(ReadBool(s)));
  orientation_ = ReadByte(s);
  for (uint8_t code : {PR_ONNOTIFY, PR_ONHOLD, PR_ONRELEASE, PR_ONIDLE})
    TQuenControl::WriteOwn(code, TPropValue::OfStr(ReadString(s)));
  if (version > 118) capture_mask_ = ReadBool(s);
  if (version > 127) bar_size_ = ReadInt32(s);
  for (int i = 0; i < 3; ++i) SetSourceOf(i, sources[static_cast<size_t>(i)]);
  mode_ = kNone;
  thumb_state_ = 0;
  button_state_ = {0, 0};
  Relayout();
}

void TQuenScrollbar::SaveToStream(TStream& s, int32_t version) const {
  TQuenSlider::SaveToStream(s, version);
  WriteInt32(s, large_change_);
}

void TQuenScrollbar::LoadFromStream(TStream& s, int32_t version) {
  TQuenSlider::LoadFromStream(s, version);
  large_change_ = ReadInt32(s);
}

}  // namespace quen
