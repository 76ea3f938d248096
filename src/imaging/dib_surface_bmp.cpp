// Windows bitmap files: every count and offset is checked against the bytes we hold.
#include <bit>
#include <cstring>

#include "base/error.h"
#include "base/le.h"
#include "base/stream.h"
#include "imaging/dib_surface.h"
#include "imaging/messages.h"
#include "imaging/pixel_convert.h"

namespace quen {

namespace {

constexpr uint32_t kBiRgb = 0, kBiRle8 = 1, kBiRle4 = 2, kBiBitfields = 3;

[[noreturn]] void Damaged() {
  RaiseError(msg::kBitmapDamaged);
}

struct TBytes {
  const uint8_t* data;
  int64_t size;
  uint32_t U16(int64_t at) const {
    if (at < 0 || at + 2 > size) Damaged();
    return static_cast<uint32_t>(data[at] | (data[at + 1] << 8));
  }
  uint32_t U32(int64_t at) const {
    if (at < 0 || at + 4 > size) Damaged();
    return static_cast<uint32_t>(data[at]) | (static_cast<uint32_t>(data[at + 1]) << 8) |
           (static_cast<uint32_t>(data[at + 2]) << 16) |
           (static_cast<uint32_t>(data[at + 3]) << 24);
  }
  int32_t I32(int64_t at) const { return static_cast<int32_t>(U32(at)); }
};

// Channel of an arbitrary mask scaled to 0..255.
uint32_t MaskChannel(uint32_t v, uint32_t mask) {
  if (mask == 0) return 0;
  const int shift = std::countr_zero(mask);
  const uint64_t max = mask >> shift;
  return static_cast<uint32_t>((((v & mask) >> shift) * 255 + max / 2) / max);
}

void DecodeRle(const TBytes& in, int64_t at, int64_t end, bool four, TDIBSurface& out,
               bool bottomUp) {
  const int32_t w = out.Width(), h = out.Height();
  int32_t x = 0, row = 0;  // row counts in file order
  auto put = [&](uint32_t v) {
    if (x < w && row < h)
      StorePixel(out.ScanLine(bottomUp ? h - 1 - row : row), four ? 4 : 8, x, v);
    ++x;
  };
  while (at + 2 <= end) {
    const uint32_t n = in.data[at], c = in.data[at + 1];
    at += 2;
    if (n > 0) {
      for (uint32_t i = 0; i < n; ++i) put(four ? ((i & 1) ? (c & 0x0F) : (c >> 4)) : c);
    } else if (c == 0) {
      x = 0;
      ++row;
    } else if (c == 1) {
      return;
    } else if (c == 2) {
      if (at + 2 > end) Damaged();
      x += in.data[at];
      row += in.data[at + 1];
      at += 2;
    } else {
      const int64_t bytes = four ? (c + 1) / 2 : c;
      if (at + bytes > end) Damaged();
      for (uint32_t i = 0; i < c; ++i) {
        const uint8_t b = in.data[at + (four ? i / 2 : i)];
        put(four ? ((i & 1) ? (b & 0x0F) : (b >> 4)) : b);
      }
      at += (bytes + 1) & ~int64_t{1};
    }
    if (row >= h) return;
  }
}

}  // namespace

void TDIBSurface::LoadFromBitmapStream(TStream& stream) {
  const int64_t remaining = stream.Remaining();
  if (remaining < 26 || remaining > kMaxBytes + (int64_t{1} << 20)) Damaged();
  const std::string file = ReadBytes(stream, remaining);
  const TBytes in{reinterpret_cast<const uint8_t*>(file.data()), static_cast<int64_t>(file.size())};
  if (in.data[0] != 'B' || in.data[1] != 'M') Damaged();
  const int64_t offBits = in.U32(10);
  const int64_t headerSize = in.U32(14);
  if (headerSize < 12 || 14 + headerSize > in.size) Damaged();

  int64_t width, height;
  uint32_t bits, compression = kBiRgb, colorsUsed = 0;
  int64_t tableAt = 14 + headerSize, entrySize = 4;
  uint32_t masks[3] = {0, 0, 0};
  if (headerSize == 12) {
    width = in.U16(18);
    height = static_cast<int16_t>(in.U16(20));
    bits = in.U16(24);
    entrySize = 3;
  } else {
    if (headerSize < 40) Damaged();
    width = in.I32(18);
    height = in.I32(22);
    bits = in.U16(28);
    compression = in.U32(30);
    colorsUsed = in.U32(46);
    if (compression == kBiBitfields) {
      const int64_t maskAt = headerSize >= 52 ? 54 : 14 + headerSize;
      for (int i = 0; i < 3; ++i) masks[i] = in.U32(maskAt + 4 * i);
      if (headerSize < 52) tableAt += 12;
    }
  }
  const bool bottomUp = height > 0;
  if (height < 0) height = -height;
  if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) Damaged();

  int32_t outBits;
  bool directCopy = true;
  switch (bits) {
    case 1:
    case 4:
    case 8:
      outBits = static_cast<int32_t>(bits);
      if (compression == kBiRle8 && bits != 8) Damaged();
      if (compression == kBiRle4 && bits != 4) Damaged();
      if (compression != kBiRgb && compression != kBiRle8 && compression != kBiRle4) {
        RaiseError(msg::kBitmapUnsupported);
      }
      break;
    case 16:
      if (compression == kBiRgb || (compression == kBiBitfields && masks[0] == 0x7C00 &&
                                    masks[1] == 0x03E0 && masks[2] == 0x001F)) {
        outBits = 15;
      } else if (compression == kBiBitfields && masks[0] == 0xF800 && masks[1] == 0x07E0 &&
                 masks[2] == 0x001F) {
        outBits = 16;
      } else if (compression == kBiBitfields) {
        outBits = 32;
        directCopy = false;
      } else {
        RaiseError(msg::kBitmapUnsupported);
      }
      break;
    case 24:
      if (compression != kBiRgb) RaiseError(msg::kBitmapUnsupported);
      outBits = 24;
      break;
    case 32:
      outBits = 32;
      if (compression == kBiBitfields &&
          !(masks[0] == 0xFF0000 && masks[1] == 0xFF00 && masks[2] == 0xFF)) {
        directCopy = false;
      } else if (compression != kBiRgb && compression != kBiBitfields) {
        RaiseError(msg::kBitmapUnsupported);
      }
      break;
    default:
      RaiseError(msg::kBitmapUnsupported);
  }

  TDIBSurface pic;
  pic.SetSize(static_cast<int32_t>(width), static_cast<int32_t>(height), outBits);
  pic.colors_ = colors_;
  if (bits <= 8) {
    const uint32_t maxEntries = 1u << bits;
    const uint32_t entries = colorsUsed == 0 || colorsUsed > maxEntries ? maxEntries : colorsUsed;
    if (tableAt + static_cast<int64_t>(entries) * entrySize > in.size) Damaged();
    pic.colors_.fill(TRGBQuad{});
    for (uint32_t i = 0; i < entries; ++i) {
      const uint8_t* q = in.data + tableAt + i * entrySize;
      pic.colors_[i] = TRGBQuad{q[0], q[1], q[2], 0};
    }
  }
  if (offBits < 14 + headerSize || offBits > in.size) Damaged();

  if (compression == kBiRle8 || compression == kBiRle4) {
    DecodeRle(in, offBits, in.size, compression == kBiRle4, pic, bottomUp);
  } else {
    const int64_t rowBytes = RowBytes(static_cast<int32_t>(width), static_cast<int32_t>(bits));
    if (offBits + rowBytes * height > in.size) Damaged();
    for (int64_t r = 0; r < height; ++r) {
      const uint8_t* src = in.data + offBits + r * rowBytes;
      uint8_t* dst = pic.ScanLine(static_cast<int32_t>(bottomUp ? height - 1 - r : r));
      if (directCopy) {
        std::memcpy(dst, src, static_cast<size_t>(rowBytes));
        continue;
      }
      for (int64_t x = 0; x < width; ++x) {
        const uint32_t v = bits == 16 ? static_cast<uint32_t>(src[2 * x] | (src[2 * x + 1] << 8))
                                      : in.U32(offBits + r * rowBytes + 4 * x);
        StorePixel(dst, 32, static_cast<int32_t>(x),
                   (MaskChannel(v, masks[0]) << 16) | (MaskChannel(v, masks[1]) << 8) |
                       MaskChannel(v, masks[2]));
      }
    }
  }
  // Only a complete picture replaces ours.
  width_ = pic.width_;
  height_ = pic.height_;
  bit_count_ = pic.bit_count_;
  pitch_ = pic.pitch_;
  bits_ = std::move(pic.bits_);
  colors_ = pic.colors_;
  if (mask_ && (mask_->width_ != width_ || mask_->height_ != height_)) mask_.reset();
}

void TDIBSurface::SaveToBitmapStream(TStream& stream, int32_t bitCount) const {
  TDIBSurface out;
  out.SetSize(width_, height_, bitCount);
  out.colors_ = colors_;
  ConvertPixels(*this, out);
  const int32_t fileBits = out.StorageBitCount();
  const bool bitfields = bitCount == 16;
  const uint32_t tableEntries = fileBits <= 8 ? (1u << fileBits) : 0;
  const uint32_t headerBytes = 14 + 40 + (bitfields ? 12 : 0) + tableEntries * 4;
  const uint32_t imageBytes = static_cast<uint32_t>(out.ImageBytes());
  std::string h(headerBytes, '\0');
  auto* p = reinterpret_cast<uint8_t*>(h.data());
  p[0] = 'B';
  p[1] = 'M';
  le::Put32(p + 2, headerBytes + imageBytes);
  le::Put32(p + 10, headerBytes);
  le::Put32(p + 14, 40);
  le::Put32(p + 18, static_cast<uint32_t>(width_));
  le::Put32(p + 22, static_cast<uint32_t>(height_));
  le::Put16(p + 26, 1);
  le::Put16(p + 28, static_cast<uint16_t>(fileBits));
  le::Put32(p + 30, bitfields ? kBiBitfields : kBiRgb);
  le::Put32(p + 34, imageBytes);
  le::Put32(p + 38, 2835);
  le::Put32(p + 42, 2835);
  if (bitfields) {
    le::Put32(p + 54, 0xF800);
    le::Put32(p + 58, 0x07E0);
    le::Put32(p + 62, 0x001F);
  }
  for (uint32_t i = 0; i < tableEntries; ++i) {
    uint8_t* q = p + 54 + 4 * i;
    q[0] = colors_[i].Blue;
    q[1] = colors_[i].Green;
    q[2] = colors_[i].Red;
    q[3] = 0;
  }
  stream.WriteBuffer(h.data(), headerBytes);
  for (int32_t y = height_ - 1; y >= 0; --y) stream.WriteBuffer(out.ScanLine(y), out.pitch_);
}

}  // namespace quen
