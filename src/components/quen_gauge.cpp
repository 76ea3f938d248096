#include "components/quen_gauge.h"

#include <algorithm>
#include <cmath>

#include "base/stream.h"
#include "components/brix_collection.h"
#include "components/cell_draw.h"

namespace quen {

int32_t TQuenGauge::Value() const {
  return ClampInto(value_, min_, max_);
}

int32_t TQuenGauge::BarLength() const {
  if (bar_size_ > 0) return bar_size_;
  const TBrixItem* item = bar_.Item();
  if (!item) return 0;
  return orientation_ == 1 ? item->Height() : item->Width() / 2;
}

int32_t TQuenGauge::FilledLength(long double value) const {
  const int64_t range = int64_t{max_} - min_;
  if (range <= 0) return 0;
  const long double share = std::clamp<long double>((value - min_) / range, 0, 1);
  return static_cast<int32_t>(std::llround(share * BarLength()));
}

long double TQuenGauge::Rate() const {
  const int64_t range = int64_t{max_} - min_;
  if (range <= 0 || duration_ <= 0) return 0;
  return static_cast<long double>(range) / duration_;
}

void TQuenGauge::Settle() {
  shown_ = trail_end_ = Value();
  delay_left_ = 0;
  Invalidate();
}

void TQuenGauge::SetValue(int32_t value) {
  value_ = value;
  const long double target = Value();
  if (Rate() <= 0) {
    Settle();
    return;
  }
  if (target < shown_) {
    // The bar drops at once; what it lost stays as the trailing segment for a while.
    trail_end_ = std::max(trail_end_, shown_);
    shown_ = target;
    delay_left_ = delay_;
  }
  Invalidate();
}

bool TQuenGauge::Update(int32_t frameMs) {
  if (TQuenControl::Update(frameMs)) return true;
  if (IsPaused()) return false;
  const long double target = Value();
  const long double rate = Rate();
  if (rate <= 0) {
    if (shown_ != target || trail_end_ != target) Settle();
    return false;
  }
  const long double step = rate * std::max(frameMs, 0);
  if (shown_ < target) {
    shown_ = std::min(target, shown_ + step);
    trail_end_ = std::max(trail_end_, shown_);
    Invalidate();
  } else if (shown_ > target) {
    // Min or max moved under the shown value.
    shown_ = target;
    Invalidate();
  }
  if (trail_end_ > shown_) {
    if (delay_left_ > 0) {
      delay_left_ = static_cast<int32_t>(std::max<int64_t>(int64_t{delay_left_} - frameMs, 0));
    } else {
      trail_end_ = std::max(shown_, trail_end_ - step);
      Invalidate();
    }
  } else {
    trail_end_ = shown_;
  }
  return false;
}

void TQuenGauge::DrawSelf(TCustomDIBX& target) {
  TQuenImageData* d = bar_.Frame(0);
  const TBrixItem* item = bar_.Item();
  const int32_t blend = alpha_;
  if (!d || !item || blend < 1 || blend > 511) return;
  const int32_t hw = item->Width() / 2, h = item->Height();
  const int32_t length = BarLength();
  if (hw <= 0 || h <= 0 || length <= 0) return;
  const TRect full_src{0, 0, hw, h}, empty_src{hw, 0, 2 * hw, h};
  const int32_t filled = FilledLength(shown_);
  const int32_t trail = std::max(FilledLength(trail_end_) - filled, 0);
  const bool vertical = orientation_ == 1;
  // Vertical gauges grow upwards unless reversed; horizontal ones rightwards.
  const bool from_end = vertical != reverse_;
  auto rect_of = [&](int64_t from, int64_t to) {
    if (from_end) {
      const int64_t a = length - to, b = length - from;
      from = a;
      to = b;
    }
    const int64_t l = AbsLeft(), t = AbsTop();
    auto c = [](int64_t v) {
      return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
    };
    if (vertical) return TRect{c(l), c(t + from), c(l + hw), c(t + to)};
    return TRect{c(l + from), c(t), c(l + to), c(t + h)};
  };
  TileCell(target, rect_of(0, filled), full_src, d, blend);
  // The trailing segment shows the filled half at half strength.
  TileCell(target, rect_of(filled, int64_t{filled} + trail), full_src, d,
           blend > 255 ? 256 + (blend - 256) / 2 : std::max(blend / 2, 1));
  TileCell(target, rect_of(int64_t{filled} + trail, length), empty_src, d, blend);
}

void TQuenGauge::Relayout() {
  const TBrixItem* item = bar_.Item();
  const int32_t across = item ? (orientation_ == 1 ? item->Width() / 2 : item->Height()) : 0;
  const int32_t along = BarLength();
  Invalidate();
  if (orientation_ == 1)
    SetBounds(Left(), Top(), across, along);
  else
    SetBounds(Left(), Top(), along, across);
  Invalidate();
}

void TQuenGauge::SetSource(const std::string& source) {
  source_ = source;
  bar_.Clear();
  if (!source.empty()) bar_.Load(source, false);
  bar_.Index = bar_.Count() > 0 ? 0 : -1;
  Relayout();
}

void TQuenGauge::RestoreSurfaces() {
  bar_.Refresh();
  Relayout();
}

TPropValue TQuenGauge::ReadOwn(uint8_t code) const {
  switch (code) {
    case PR_SOURCE:
      return TPropValue::OfStr(source_);
    case PR_MIN:
      return TPropValue::OfInt(min_);
    case PR_MAX:
      return TPropValue::OfInt(max_);
    case PR_VALUE:
      return TPropValue::OfInt(Value());
    case PR_ALPHA:
      return TPropValue::OfInt(alpha_);
    case PR_ORIENTATION:
      return TPropValue::OfInt(orientation_);
    case PR_DELAY:
      return TPropValue::OfInt(delay_);
    case PR_DURATION:
      return TPropValue::OfInt(duration_);
    case PR_REVERSE:
      return TPropValue::OfBool(reverse_);
    case PR_BARSIZE:
      return TPropValue::OfInt(bar_size_);
    default:
      return TQuenControl::ReadOwn(code);
  }
}

void TQuenGauge::WriteOwn(uint8_t code, const TPropValue& value) {
  const int32_t v = value.Int;
  switch (code) {
    case PR_SOURCE:
      SetSource(value.Str);
      return;
    case PR_MIN:
    case PR_MAX:
      (code == PR_MIN ? min_ : max_) = v;
      Settle();
      return;
    case PR_VALUE:
      SetValue(v);
      return;
    case PR_ALPHA:
      alpha_ = v;
      Invalidate();
      return;
    case PR_ORIENTATION:
      orientation_ = static_cast<uint8_t>(v);
      Relayout();
      return;
    case PR_DELAY:
      delay_ = v;
      return;
    case PR_DURATION:
      duration_ = v;
      return;
    case PR_REVERSE:
      reverse_ = v != 0;
      Invalidate();
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

void TQuenGauge::SaveToStream(TStream& s, int32_t version) const {
  TQuenControl::SaveToStream(s, version);
  WriteString(s, source_);
  WriteInt32(s, min_);
  WriteInt32(s, max_);
  WriteInt32(s, value_);
  WriteInt32(s, alpha_);
  WriteBool(s, PropBool(PR_PAUSED));
  WriteByte(s, orientation_);
  WriteInt32(s, delay_);
  WriteInt32(s, duration_);
  WriteBool(s, reverse_);
  if (version > 124) WriteString(s, PropStr(PR_ONIDLE));
  if (version > 127) WriteInt32(s, bar_size_);
}

void TQuenGauge::LoadFromStream(TStream& s, int32_t version) {
  TQuenControl::LoadFromStream(s, version);
  const std::string source = ReadString(s);
  min_ = ReadInt32(s);
  max_ = ReadInt32(s);
  value_ = ReadInt32(s);
  alpha_ = ReadInt32(s);
  TQuenControl::WriteOwn(PR_PAUSED, TPropValue::OfBool(ReadBool(s)));
  orientation_ = ReadByte(s);
  delay_ = ReadInt32(s);
  duration_ = ReadInt32(s);
  reverse_ = ReadBool(s);
  if (version > 124) TQuenControl::WriteOwn(PR_ONIDLE, TPropValue::OfStr(ReadString(s)));
  if (version > 127) bar_size_ = ReadInt32(s);
  SetSource(source);
  Settle();
}

}  // namespace quen
