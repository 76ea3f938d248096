#include "components/quen_fire.h"

#include <algorithm>
#include <cmath>

#include "base/error.h"
#include "base/stream.h"
#include "expr/random_source.h"
#include "imaging/color_tables.h"
#include "imaging/custom_dibx.h"

namespace quen {
namespace {

constexpr double kNewFireHeat = 4.5;

int32_t Clamp32(int64_t v) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

}  // namespace

TQuenFire::TQuenFire(TQuenBaseList* owner) : TQuenControl(owner) {
  BuildCooling(kNewFireHeat);
}

void TQuenFire::BuildCooling(double heat) {
  for (int i = 0; i < 256; ++i)
    lookup_[static_cast<size_t>(i)] = static_cast<uint8_t>(i < 16 ? 16 : i);
  for (int k = 0; k < 1024; ++k) {
    const double f = (1023.0 - k) / 1023.0;
    const double v = std::nearbyint(k / (heat - f * f * f * 0.05));
    lookup_[256 + static_cast<size_t>(k)] = static_cast<uint8_t>(std::clamp(v, 0.0, 254.0));
  }
}

void TQuenFire::SetPower(int32_t power) {
  power = std::clamp(power, 0, 255);
  if (power == power_) return;
  power_ = power;
  BuildCooling((128.0 - power) / 128.0 * 1.2825 + 4.2175);
}

void TQuenFire::Resize() {
  const int32_t w = Clamp32(int64_t{src_w_} * zoom_x_ / 256);
  const int32_t h = Clamp32(int64_t{src_h_} * zoom_y_ / 256);
  if (w != Width() || h != Height()) SetBounds(Left(), Top(), w, h);
}

void TQuenFire::SetSourceSize(int32_t w, int32_t h) {
  src_w_ = w;
  src_h_ = h;
  Resize();
}

void TQuenFire::SetZoom(bool vertical, int32_t zoom) {
  (vertical ? zoom_y_ : zoom_x_) = std::max(zoom, 1);
  Resize();
}

bool TQuenFire::Start() {
  started_ = true;
  const int32_t w = src_w_, h = src_h_;
  field_w_ = w;
  field_h_ = h;
  // Too small a field would take "mod 0" or write its bottom rows outside itself.
  if (w < kMinWidth || h < kMinHeight) {
    field_.Clear();
    return false;
  }
  if (field_.Width() != w || field_.Height() != h || field_.BitCount() != 8) {
    try {
      field_.SetSize(w, h, 8);
    } catch (const EQuenError&) {
      // A size the surfaces refuse burns nothing.
      field_.Clear();
      return false;
    }
  }
  const size_t cells = static_cast<size_t>(w) * static_cast<size_t>(h);
  random_.resize(cells);
  for (uint8_t& r : random_) r = static_cast<uint8_t>(RandomBelow(9));
  rows_.resize(2 * static_cast<size_t>(h));
  for (size_t i = 0; i < rows_.size(); ++i)
    rows_[i] = static_cast<int32_t>(i % static_cast<size_t>(h));
  cols_.resize(2 * static_cast<size_t>(w));
  for (size_t i = 0; i < cols_.size(); ++i)
    cols_[i] = static_cast<int32_t>(i % static_cast<size_t>(w));
  row_offset_ = col_offset_ = 0;
  field_.Fill(16);
  return true;
}

void TQuenFire::Step() {
  const int32_t w = field_.Width(), h = field_.Height();
  if (w < kMinWidth || h < kMinHeight || field_.BitCount() != 8) return;
  uint8_t* bits = field_.PixelAddress(0, 0);
  if (!bits) return;
  const int64_t pitch = field_.Pitch();
  row_offset_ = (row_offset_ + 1) % h;
  if (row_offset_ % 8 == 0) col_offset_ = (col_offset_ + 1) % w;
  // The outer columns stay at the floor heat, the bottom rows as well.
  for (int32_t y = h - 4; y < h; ++y) std::fill_n(bits + y * pitch + 1, w - 2, uint8_t{254});
  const uint8_t* cooling = lookup_.data() + 256;
  for (int32_t y = 0; y <= h - 3; ++y) {
    uint8_t* row = bits + y * pitch;
    const uint8_t* below = row + pitch;
    const uint8_t* below2 = row + 2 * pitch;
    const uint8_t* rnd =
        random_.data() + static_cast<size_t>(rows_[static_cast<size_t>(row_offset_ + y + 1)]) *
                             static_cast<size_t>(w);
    const int32_t* col = cols_.data() + col_offset_;
    for (int32_t x = 1; x <= w - 2; ++x) {
      const int s = below[x - 1] + below[x + 1] + row[x] + below2[x];
      const int v = cooling[s] - rnd[col[x]];
      row[x] = static_cast<uint8_t>(v < 16 ? 16 : v);
    }
  }
  field_.Unlock();
}

bool TQuenFire::Update(int32_t frameMs) {
  if (!started_ || field_w_ != src_w_ || field_h_ != src_h_) {
    Start();
  } else if (!PropBool(PR_ANIPAUSED)) {
    time_ = Clamp32(int64_t{time_} + frameMs);
    if (time_ > 39) {
      time_ %= 40;
      Step();
      Invalidate();
    }
  }
  return TQuenControl::Update(frameMs);
}

void TQuenFire::DrawSelf(TCustomDIBX& target) {
  if (field_.IsEmpty() || field_.Width() < kMinWidth || field_.Height() < kMinHeight) return;
  // Only screens of the tables' depths show the fire.
  const TQuenColorTables& tables = QuenColorTables();
  const int32_t bits = target.BitCount();
  const uint32_t* table = tables.FireFor(bits);
  // The 16-bit table holds the screen's format (5-6-5, or 5-5-5 on a 15-bit screen).
  if (!table || (bits != 32 && tables.BitCount != bits)) return;
  const TRect src{0, 0, field_.Width(), field_.Height()};
  const TRect dest = HitRect();
  // Cells at the floor heat are the cold background and are left out.
  constexpr int32_t kThreshold = 17;
  if (dest.Width() == field_.Width() && dest.Height() == field_.Height())
    target.DrawIndexedAdd(dest.Left, dest.Top, table, 255, false, false, kThreshold, src, field_);
  else
    target.StretchIndexedAdd(dest, field_, table, 255, false, false, kThreshold, src);
}

TPropValue TQuenFire::ReadOwn(uint8_t code) const {
  switch (code) {
    case PR_POWER:
      return TPropValue::OfInt(power_);
    case PR_ORIGWIDTH:
      return TPropValue::OfInt(src_w_);
    case PR_ORIGHEIGHT:
      return TPropValue::OfInt(src_h_);
    case PR_ZOOMX:
      return TPropValue::OfInt(zoom_x_);
    case PR_ZOOMY:
      return TPropValue::OfInt(zoom_y_);
    case PR_PAUSED:
      return TPropValue::OfBool(paused_);
    default:
      return TQuenControl::ReadOwn(code);
  }
}

void TQuenFire::WriteOwn(uint8_t code, const TPropValue& value) {
  switch (code) {
    case PR_POWER:
      SetPower(value.Int);
      return;
    case PR_ORIGWIDTH:
      SetSourceSize(value.Int, src_h_);
      return;
    case PR_ORIGHEIGHT:
      SetSourceSize(src_w_, value.Int);
      return;
    case PR_ZOOMX:
      SetZoom(false, value.Int);
      return;
    case PR_ZOOMY:
      SetZoom(true, value.Int);
      return;
    case PR_PAUSED:
      paused_ = value.Int != 0;
      return;
    default:
      TQuenControl::WriteOwn(code, value);
      return;
  }
}

void TQuenFire::SaveToStream(TStream& s, int32_t version) const {
  TQuenControl::SaveToStream(s, version);
  WriteInt32(s, power_);
  WriteInt32(s, src_w_);
  WriteInt32(s, src_h_);
  WriteInt32(s, zoom_x_);
  if (version >= 104) {
    WriteString(s, PropStr(PR_ONIDLE));
    WriteBool(s, paused_);
    WriteInt32(s, zoom_y_);
  }
}

void TQuenFire::LoadFromStream(TStream& s, int32_t version) {
  TQuenControl::LoadFromStream(s, version);
  SetPower(ReadInt32(s));
  src_w_ = ReadInt32(s);
  src_h_ = ReadInt32(s);
  zoom_x_ = std::max(ReadInt32(s), 1);
  if (version >= 104) {
    TQuenControl::WriteOwn(PR_ONIDLE, TPropValue::OfStr(ReadString(s)));
    paused_ = ReadBool(s);
    zoom_y_ = std::max(ReadInt32(s), 1);
  }
  // The field starts anew at the next update.
  started_ = false;
  time_ = 0;
  Resize();
}

}  // namespace quen
