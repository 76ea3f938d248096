#include "imaging/custom_wipe.h"

#include <algorithm>
#include <cstring>

#include "imaging/color_tables.h"
#include "imaging/pixel_convert.h"
#include "imaging/row_ops.h"
#include "imaging/wipe_util.h"

namespace quen {

namespace wipe {

std::array<uint32_t, 256> GreyPixels(int32_t bits) {
  std::array<uint32_t, 256> out{};
  const TQuenColorTables& tables = QuenColorTables();
  const bool tablesFit = bits == 32 || (bits == 15) == (tables.BitCount == 15);
  const uint32_t* made = tablesFit ? tables.GreyFor(bits) : nullptr;
  for (uint32_t i = 0; i < 256; ++i) {
    if (made)
      out[i] = made[i];
    else
      out[i] = bits == 8 ? i : RgbToPixel(bits, i, i, i);
  }
  return out;
}

}  // namespace wipe

// ---------------------------------------------------------------- TCustomWipe

TCustomWipe::TCustomWipe(TCustomDIBX& target, TCustomDIBX& to, TCustomDIBX& from)
    : target_(target), from_(from), to_(to) {}

TCustomWipe::~TCustomWipe() = default;

void TCustomWipe::SetReverse(bool reverse) {
  if (reverse == reverse_) return;
  reverse_ = reverse;
  Invalidate();
}

int32_t TCustomWipe::GetParam(int32_t index) const {
  return index >= 0 && index < static_cast<int32_t>(params_.size()) ? params_[index] : 0;
}

void TCustomWipe::SetParam(int32_t index, int32_t value) {
  StoreParam(index, value);
}

void TCustomWipe::StoreParam(int32_t index, int32_t value) {
  if ((index != 0 && index != 1) || params_[index] == value) return;
  params_[index] = value;
  Invalidate();
}

void TCustomWipe::SetPicture(const std::string& name) {
  if (name == picture_) return;
  picture_ = name;
  Invalidate();
}

void TCustomWipe::Prepare() {
  width_ = target_.Width();
  height_ = target_.Height();
  bits_ = target_.BitCount();
  prepared_ = true;
  if (target_.IsEmpty()) return;
  PrepareKind();
}

void TCustomWipe::SyncSources() {
  auto sync = [&](TCustomDIBX& source, std::unique_ptr<TDIBX>& copy) {
    if (source.Width() == width_ && source.Height() == height_ && source.BitCount() == bits_) {
      copy.reset();
      return;
    }
    // Only a caller that breaks the rule gets here; the copy goes through the converter.
    if (!copy) copy = std::make_unique<TDIBX>();
    if (copy->Width() != width_ || copy->Height() != height_ || copy->BitCount() != bits_)
      copy->SetSize(width_, height_, bits_);
    copy->Fill(0);
    copy->Draw(0, 0, false, false, false, TRect{0, 0, source.Width(), source.Height()}, source);
  };
  sync(from_, from_copy_);
  sync(to_, to_copy_);
}

bool TCustomWipe::Step() {
  params_[2] = 0;
  params_[3] = 0;
  params_[4] = target_.Width();
  params_[5] = target_.Height();
  if (Finished()) return true;
  if (target_.IsEmpty()) return false;
  if (!prepared_ || width_ != target_.Width() || height_ != target_.Height() ||
      bits_ != target_.BitCount())
    Prepare();
  target_.AddUpdateRect(ChangedRect());
  SyncSources();
  DrawStep();
  return false;
}

// ---------------------------------------------------------------- TWipeMask

TWipeMask::TWipeMask(TCustomDIBX& target, TCustomDIBX& to, TCustomDIBX& from)
    : TCustomWipe(target, to, from) {
  StoreParam(0, 2);
  StoreParam(1, 1);
}

void TWipeMask::SetParam(int32_t index, int32_t value) {
  if (index == 0) value = std::max(value, 2);
  if (index == 1) value = std::max(value, 1);
  StoreParam(index, value);
}

void TWipeMask::PrepareKind() {
  const int32_t rows = std::max(MaskHeight(), 1);
  if (mask_.Width() != W() || mask_.Height() != rows || mask_.BitCount() != 8)
    mask_.SetSize(W(), rows, 8);
  ClearMask(0);
  last_progress_ = -1;
  PrepareMask();
}

void TWipeMask::ClearMask(uint8_t value) {
  const int64_t bytes = mask_.DIB().ImageBytes();
  if (bytes > 0) std::memset(mask_.DIB().Bits(), value, static_cast<size_t>(bytes));
}

bool TWipeMask::Advance(int64_t progress) {
  if (progress == last_progress_) return false;
  last_progress_ = progress;
  return true;
}

uint8_t TWipeMask::Ramp(int64_t b, int64_t e) const {
  if (b < e) return 0;
  return static_cast<uint8_t>(std::min<int64_t>(wipe::MulDiv(b - e, 255, P1()), 255));
}

void TWipeMask::DrawStep() {
  if (!UpdateMask()) return;
  wipe::TWipeViews v(Target(), From(), To());
  const TRowOps* ops = GetRowOps(Bits());
  if (!v.Ok() || !ops) return;
  const auto row = binary_ ? ops->WipeSelect : ops->WipeMix;
  const int32_t rows = mask_.Height();
  for (int32_t y = 0; y < H(); ++y)
    row(v.dst.Row(y), v.from.Row(y), v.to.Row(y), MaskRow(y % rows), W());
}

// ---------------------------------------------------------------- order masks

void TWipeOrderHMask::PrepareMask() {
  order_.assign(static_cast<size_t>(std::max(OrderCount(), 0)), 0);
}

}  // namespace quen
