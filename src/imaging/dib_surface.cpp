#include "imaging/dib_surface.h"

#include <cstring>

#include "base/error.h"
#include "imaging/messages.h"

namespace quen {

int32_t TDIBSurface::RowBytes(int32_t width, int32_t storageBits) {
  return static_cast<int32_t>(((static_cast<int64_t>(width) * storageBits + 31) / 32) * 4);
}

void TDIBSurface::SetSize(int32_t width, int32_t height, int32_t bitCount) {
  const bool knownDepth = bitCount == 1 || bitCount == 4 || bitCount == 8 || bitCount == 15 ||
                          bitCount == 16 || bitCount == 24 || bitCount == 32;
  const int32_t storage = bitCount == 15 ? 16 : bitCount;
  if (!knownDepth || width < 0 || height < 0 || width > kMaxSide || height > kMaxSide ||
      static_cast<int64_t>(RowBytes(width, storage)) * height > kMaxBytes) {
    RaiseErrorFmt(msg::kSurfaceTooLarge, width, height, bitCount);
  }
  const int32_t pitch = RowBytes(width, storage);
  auto bits = std::make_shared<std::vector<uint8_t>>(static_cast<size_t>(pitch) * height);
  width_ = width;
  height_ = height;
  bit_count_ = bitCount;
  pitch_ = pitch;
  bits_ = std::move(bits);
  if (mask_ && (mask_->width_ != width || mask_->height_ != height)) mask_.reset();
}

uint32_t TDIBSurface::RedMask() const {
  switch (bit_count_) {
    case 15:
      return 0x7C00;
    case 16:
      return 0xF800;
    case 24:
    case 32:
      return 0xFF0000;
    default:
      return 0;
  }
}

uint32_t TDIBSurface::GreenMask() const {
  switch (bit_count_) {
    case 15:
      return 0x03E0;
    case 16:
      return 0x07E0;
    case 24:
    case 32:
      return 0x00FF00;
    default:
      return 0;
  }
}

uint32_t TDIBSurface::BlueMask() const {
  switch (bit_count_) {
    case 15:
    case 16:
      return 0x001F;
    case 24:
    case 32:
      return 0x0000FF;
    default:
      return 0;
  }
}

TDIBSurface& TDIBSurface::CreateMask() {
  if (!mask_ || mask_->width_ != width_ || mask_->height_ != height_) {
    auto mask = std::make_unique<TDIBSurface>();
    mask->SetSize(width_, height_, 8);
    for (int i = 0; i < 256; ++i) {
      const auto v = static_cast<uint8_t>(i);
      mask->colors_[i] = TRGBQuad{v, v, v, 0};
    }
    mask_ = std::move(mask);
  }
  return *mask_;
}

void TDIBSurface::FillMask() {
  TDIBSurface& mask = CreateMask();
  mask.MakeIndependent();
  if (mask.bits_) std::memset(mask.bits_->data(), 255, mask.bits_->size());
}

void TDIBSurface::Assign(const TDIBSurface& source) {
  if (this == &source) return;
  width_ = source.width_;
  height_ = source.height_;
  bit_count_ = source.bit_count_;
  pitch_ = source.pitch_;
  bits_ = source.bits_ ? std::make_shared<std::vector<uint8_t>>(*source.bits_) : nullptr;
  colors_ = source.colors_;
  if (source.mask_) {
    if (!mask_) mask_ = std::make_unique<TDIBSurface>();
    mask_->Assign(*source.mask_);
  } else {
    mask_.reset();
  }
}

void TDIBSurface::ShareBits(TDIBSurface& source) {
  width_ = source.width_;
  height_ = source.height_;
  bit_count_ = source.bit_count_;
  pitch_ = source.pitch_;
  bits_ = source.bits_;
  colors_ = source.colors_;
}

void TDIBSurface::MakeIndependent() {
  if (SharesBits()) bits_ = std::make_shared<std::vector<uint8_t>>(*bits_);
}

}  // namespace quen
