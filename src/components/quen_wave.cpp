#include "components/quen_wave.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numbers>

#include "base/stream.h"

namespace quen {
namespace {

int32_t Widen(int32_t v, int64_t by) {
  return static_cast<int32_t>(std::clamp<int64_t>(int64_t{v} + by, INT32_MIN, INT32_MAX));
}

// Rows a wave moves: no screen is taller, and a damaged height must not ask for gigabytes.
constexpr int32_t kMaxWaveRows = 32768;

size_t WaveRows(int32_t height) {
  return static_cast<size_t>(std::clamp(height, 0, kMaxWaveRows));
}

}  // namespace

bool TQuenWave::ComputeOffsets() {
  const size_t rows = WaveRows(Height());
  bool changed = offsets_.size() != rows;
  offsets_.resize(rows, 0);
  const double k = 2.0 * std::numbers::pi / wavelength_;
  const double base = static_cast<double>(wavelength_) * phase_ / 256.0;
  for (size_t i = 0; i < rows; ++i) {
    const double v = std::nearbyint(std::sin(k * (base + static_cast<double>(i))) * amp_);
    const auto o = static_cast<int32_t>(std::clamp(v, -1.0e9, 1.0e9));
    if (o != offsets_[i]) {
      offsets_[i] = o;
      changed = true;
    }
  }
  return changed;
}

TRect TQuenWave::ClipToParent(const TRect& r) const {
  const int64_t a = std::abs(int64_t{amp_});
  return TRect{Widen(r.Left, -a), r.Top, Widen(r.Right, a), r.Bottom};
}

bool TQuenWave::Update(int32_t frameMs) {
  if (!PropBool(PR_ANIPAUSED)) {
    const int64_t t = int64_t{frameMs} * 256 + remainder_;
    remainder_ = t % period_;
    int64_t phase = phase_ - t / period_;
    if (phase < 0) phase += (-phase + 254) / 255 * 255;
    phase_ = static_cast<int32_t>(phase);
    if (ComputeOffsets()) Invalidate();
  }
  return TQuenControl::Update(frameMs);
}

void TQuenWave::Draw(TCustomDIBX& target) {
  if (amp_ == 0) {
    TQuenControl::Draw(target);
    return;
  }
  if (offsets_.size() != WaveRows(Height())) ComputeOffsets();
  // The children draw into a surface that hands every row to the target moved sideways; its
  // area reaches the amplitude beyond the wave on both sides.
  const TRect area = ClipToParent(HitRect());
  surface_.SetTarget(&target, area.Left, area.Top);
  surface_.SetSize(area.Width(), static_cast<int32_t>(offsets_.size()), target.BitCount());
  std::copy(offsets_.begin(), offsets_.end(), surface_.Offsets().begin());
  const TRect saved = target.UpdateRect();
  const TRect clip = target.ClipRect();
  for (TQuenControl* child : Children()) {
    if (child->Name().empty() || !child->Visible()) continue;
    TRect cr = clip.Intersect(area);
    if (child->ClipActive()) cr = cr.Intersect(child->ClipRect());
    if (cr.IsEmpty()) continue;
    SetSurfaceClip(surface_, cr);
    child->Draw(surface_);
  }
  SetSurfaceClip(target, saved);
}

TPropValue TQuenWave::ReadOwn(uint8_t code) const {
  switch (code) {
    case PR_AMP:
      return TPropValue::OfInt(amp_);
    case PR_WAVELEN:
      return TPropValue::OfInt(wavelength_);
    case PR_DELAY:
      return TPropValue::OfInt(period_);
    case PR_PAUSED:
      return TPropValue::OfBool(paused_);
    default:
      return TQuenControl::ReadOwn(code);
  }
}

void TQuenWave::WriteOwn(uint8_t code, const TPropValue& value) {
  switch (code) {
    case PR_AMP:
      if (value.Int == amp_) return;
      Invalidate();
      amp_ = value.Int;
      ComputeOffsets();
      Invalidate();
      return;
    case PR_WAVELEN:
      wavelength_ = std::max(value.Int, 1);
      if (ComputeOffsets()) Invalidate();
      return;
    case PR_DELAY:
      period_ = std::max(value.Int, 1);
      return;
    case PR_PAUSED:
      paused_ = value.Int != 0;
      return;
    default:
      TQuenControl::WriteOwn(code, value);
      return;
  }
}

void TQuenWave::SaveToStream(TStream& s, int32_t version) const {
  TQuenControl::SaveToStream(s, version);
  WriteInt32(s, amp_);
  WriteInt32(s, wavelength_);
  WriteInt32(s, period_);
  if (version > 103) {
    WriteString(s, PropStr(PR_ONIDLE));
    WriteBool(s, paused_);
  }
}

void TQuenWave::LoadFromStream(TStream& s, int32_t version) {
  TQuenControl::LoadFromStream(s, version);
  amp_ = ReadInt32(s);
  wavelength_ = std::max(ReadInt32(s), 1);
  period_ = std::max(ReadInt32(s), 1);
  if (version > 103) {
    TQuenControl::WriteOwn(PR_ONIDLE, TPropValue::OfStr(ReadString(s)));
    paused_ = ReadBool(s);
  }
  ComputeOffsets();
}

}  // namespace quen
