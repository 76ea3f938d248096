// The memory bitmap behind every memory surface and every decoded picture: pixels in one
// format, a 256-entry colour table and an optional 8-bit coverage mask.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

namespace quen {

class TStream;

struct TRGBQuad {
  uint8_t Blue = 0;
  uint8_t Green = 0;
  uint8_t Red = 0;
  uint8_t Reserved = 0;
  friend bool operator==(const TRGBQuad&, const TRGBQuad&) = default;
};

using TColorTable = std::array<TRGBQuad, 256>;

// Rows are stored top-down with a positive pitch, each padded to 4 bytes like a Windows
// bitmap; the drawing arithmetic never depends on the row order.
class TDIBSurface {
 public:
  // Largest picture we agree to hold; anything bigger is a damaged file or a runaway size.
  static constexpr int32_t kMaxSide = 32768;
  static constexpr int64_t kMaxBytes = int64_t{1} << 29;

  TDIBSurface() = default;
  TDIBSurface(const TDIBSurface& other) { Assign(other); }
  TDIBSurface& operator=(const TDIBSurface& other) {
    if (this != &other) Assign(other);
    return *this;
  }

  // bitCount 1, 4, 8, 15 (5-5-5 in 16 bits), 16 (5-6-5), 24 or 32. Pixels start as zeros;
  // the colour table is kept. Raises the system's error for a size we refuse.
  void SetSize(int32_t width, int32_t height, int32_t bitCount);
  static int32_t RowBytes(int32_t width, int32_t storageBits);

  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }
  // 15 when the green mask is 0x03E0.
  int32_t BitCount() const { return bit_count_; }
  int32_t StorageBitCount() const { return bit_count_ == 15 ? 16 : bit_count_; }
  uint32_t RedMask() const;
  uint32_t GreenMask() const;
  uint32_t BlueMask() const;
  int32_t Pitch() const { return pitch_; }

  uint8_t* Bits() { return bits_ ? bits_->data() : nullptr; }
  const uint8_t* Bits() const { return bits_ ? bits_->data() : nullptr; }
  uint8_t* ScanLine(int32_t y) { return Bits() + static_cast<int64_t>(y) * pitch_; }
  const uint8_t* ScanLine(int32_t y) const { return Bits() + static_cast<int64_t>(y) * pitch_; }
  int64_t ImageBytes() const { return static_cast<int64_t>(pitch_) * height_; }

  TColorTable& ColorTable() { return colors_; }
  const TColorTable& ColorTable() const { return colors_; }

  TDIBSurface* Mask() { return mask_.get(); }
  const TDIBSurface* Mask() const { return mask_.get(); }
  // Creates the 8-bit mask only when absent or of another size.
  TDIBSurface& CreateMask();
  void FillMask();
  void FreeMask() { mask_.reset(); }

  // Size, bit count, the whole colour table, pixels and mask; a missing mask on the source
  // frees ours.
  void Assign(const TDIBSurface& source);
  // Shares the source's pixel memory until one of them calls MakeIndependent.
  void ShareBits(TDIBSurface& source);
  bool SharesBits() const { return bits_ && bits_.use_count() > 1; }
  void MakeIndependent();

  // Windows bitmap file ("BM" header): 1, 4, 8 bits with colour table (uncompressed or
  // run-length coded), 16 and 32 bits plain or with channel masks, 24 bits.
  void LoadFromBitmapStream(TStream& stream);
  // Writes a Windows bitmap file of the given depth (24 by default).
  void SaveToBitmapStream(TStream& stream, int32_t bitCount = 24) const;

 private:
  int32_t width_ = 0;
  int32_t height_ = 0;
  int32_t bit_count_ = 8;
  int32_t pitch_ = 0;
  std::shared_ptr<std::vector<uint8_t>> bits_;
  TColorTable colors_{};
  std::unique_ptr<TDIBSurface> mask_;
};

}  // namespace quen
