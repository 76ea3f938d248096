#include "imaging/pixel_convert.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace quen {

namespace {

bool IsIndexed(int32_t bits) {
  return bits <= 8;
}

uint8_t NearestIndex(const TColorTable& table, uint32_t r, uint32_t g, uint32_t b) {
  int best = 0;
  int32_t bestDist = INT32_MAX;
  for (int i = 0; i < 256; ++i) {
    const int32_t dr = table[i].Red - static_cast<int32_t>(r);
    const int32_t dg = table[i].Green - static_cast<int32_t>(g);
    const int32_t db = table[i].Blue - static_cast<int32_t>(b);
    const int32_t dist = dr * dr + dg * dg + db * db;
    if (dist < bestDist) {
      bestDist = dist;
      best = i;
      if (dist == 0) break;
    }
  }
  return static_cast<uint8_t>(best);
}

[[gnu::always_inline]] inline uint32_t RgbToPixelAt(int32_t bitCount, uint32_t r, uint32_t g,
                                                    uint32_t b) {
  switch (bitCount) {
    case 15:
      return ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3);
    case 16:
      return ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3);
    default:
      return (r << 16) | (g << 8) | b;
  }
}

[[gnu::always_inline]] inline TColor PixelToColorAt(int32_t bitCount, uint32_t pixel,
                                                    const TColorTable* table) {
  uint32_t r, g, b;
  switch (bitCount) {
    case 15:
      r = Expand5((pixel >> 10) & 31);
      g = Expand5((pixel >> 5) & 31);
      b = Expand5(pixel & 31);
      break;
    case 16:
      r = Expand5((pixel >> 11) & 31);
      g = Expand6((pixel >> 5) & 63);
      b = Expand5(pixel & 31);
      break;
    case 24:
    case 32:
      r = (pixel >> 16) & 0xFF;
      g = (pixel >> 8) & 0xFF;
      b = pixel & 0xFF;
      break;
    default: {
      if (!table) return static_cast<TColor>(pixel & 0xFF);
      const TRGBQuad& q = (*table)[pixel & 0xFF];
      r = q.Red;
      g = q.Green;
      b = q.Blue;
    }
  }
  return RGBColor(static_cast<uint8_t>(r), static_cast<uint8_t>(g), static_cast<uint8_t>(b));
}

[[gnu::always_inline]] inline uint32_t LoadPixelAt(const uint8_t* row, int32_t bitCount,
                                                   int32_t x) {
  switch (bitCount) {
    case 1:
      return (row[x >> 3] >> (7 - (x & 7))) & 1;
    case 4:
      return (x & 1) ? (row[x >> 1] & 0x0F) : (row[x >> 1] >> 4);
    case 8:
      return row[x];
    case 15:
    case 16:
      return static_cast<uint32_t>(row[2 * x] | (row[2 * x + 1] << 8));
    case 24: {
      const uint8_t* p = row + 3 * x;
      return static_cast<uint32_t>(p[0] | (p[1] << 8) | (p[2] << 16));
    }
    default: {
      uint32_t v;
      std::memcpy(&v, row + 4 * x, 4);
      return v;
    }
  }
}

[[gnu::always_inline]] inline void StorePixelAt(uint8_t* row, int32_t bitCount, int32_t x,
                                                uint32_t pixel) {
  switch (bitCount) {
    case 1: {
      const uint8_t bit = static_cast<uint8_t>(0x80 >> (x & 7));
      row[x >> 3] = static_cast<uint8_t>((pixel & 1) ? (row[x >> 3] | bit) : (row[x >> 3] & ~bit));
      break;
    }
    case 4: {
      uint8_t& b = row[x >> 1];
      b = (x & 1) ? static_cast<uint8_t>((b & 0xF0) | (pixel & 0x0F))
                  : static_cast<uint8_t>((b & 0x0F) | ((pixel & 0x0F) << 4));
      break;
    }
    case 8:
      row[x] = static_cast<uint8_t>(pixel);
      break;
    case 15:
    case 16:
      row[2 * x] = static_cast<uint8_t>(pixel);
      row[2 * x + 1] = static_cast<uint8_t>(pixel >> 8);
      break;
    case 24:
      row[3 * x] = static_cast<uint8_t>(pixel);
      row[3 * x + 1] = static_cast<uint8_t>(pixel >> 8);
      row[3 * x + 2] = static_cast<uint8_t>(pixel >> 16);
      break;
    default:
      std::memcpy(row + 4 * x, &pixel, 4);
  }
}

// Direct-colour sources (and indexed ones through their table) into direct-colour rows, with
// both depths known when compiled so the per-pixel switches fold away.
template <int S, int D>
void ConvertToDirect(const uint8_t* src, const TColorTable* srcTable, int32_t srcX, uint8_t* dst,
                     int32_t dstX, int32_t count) {
  for (int32_t i = 0; i < count; ++i) {
    const uint32_t c =
        static_cast<uint32_t>(PixelToColorAt(S, LoadPixelAt(src, S, srcX + i), srcTable));
    StorePixelAt(dst, D, dstX + i, RgbToPixelAt(D, c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF));
  }
}

template <int S>
bool ConvertFrom(const uint8_t* src, const TColorTable* srcTable, int32_t srcX, uint8_t* dst,
                 int32_t dstBits, int32_t dstX, int32_t count) {
  switch (dstBits) {
    case 15:
      ConvertToDirect<S, 15>(src, srcTable, srcX, dst, dstX, count);
      return true;
    case 16:
      ConvertToDirect<S, 16>(src, srcTable, srcX, dst, dstX, count);
      return true;
    case 24:
      ConvertToDirect<S, 24>(src, srcTable, srcX, dst, dstX, count);
      return true;
    case 32:
      ConvertToDirect<S, 32>(src, srcTable, srcX, dst, dstX, count);
      return true;
    default:
      return false;
  }
}

bool ConvertRowFast(const uint8_t* src, int32_t srcBits, const TColorTable* srcTable, int32_t srcX,
                    uint8_t* dst, int32_t dstBits, int32_t dstX, int32_t count) {
  switch (srcBits) {
    case 1:
      return srcTable && ConvertFrom<1>(src, srcTable, srcX, dst, dstBits, dstX, count);
    case 4:
      return srcTable && ConvertFrom<4>(src, srcTable, srcX, dst, dstBits, dstX, count);
    case 8:
      return srcTable && ConvertFrom<8>(src, srcTable, srcX, dst, dstBits, dstX, count);
    case 15:
      return ConvertFrom<15>(src, srcTable, srcX, dst, dstBits, dstX, count);
    case 16:
      return ConvertFrom<16>(src, srcTable, srcX, dst, dstBits, dstX, count);
    case 24:
      return ConvertFrom<24>(src, srcTable, srcX, dst, dstBits, dstX, count);
    case 32:
      return ConvertFrom<32>(src, srcTable, srcX, dst, dstBits, dstX, count);
    default:
      return false;
  }
}

}  // namespace

uint32_t RgbToPixel(int32_t bitCount, uint32_t r, uint32_t g, uint32_t b) {
  return RgbToPixelAt(bitCount, r, g, b);
}

TColor PixelToColor(int32_t bitCount, uint32_t pixel, const TColorTable* table) {
  return PixelToColorAt(bitCount, pixel, table);
}

uint32_t LoadPixel(const uint8_t* row, int32_t bitCount, int32_t x) {
  return LoadPixelAt(row, bitCount, x);
}

void StorePixel(uint8_t* row, int32_t bitCount, int32_t x, uint32_t pixel) {
  StorePixelAt(row, bitCount, x, pixel);
}

void ConvertRow(const uint8_t* src, int32_t srcBits, const TColorTable* srcTable, int32_t srcX,
                uint8_t* dst, int32_t dstBits, const TColorTable* dstTable, int32_t dstX,
                int32_t count) {
  if (srcBits == dstBits && srcBits >= 8) {
    const int bpp = srcBits == 15 ? 2 : srcBits / 8;
    std::memmove(dst + static_cast<int64_t>(dstX) * bpp, src + static_cast<int64_t>(srcX) * bpp,
                 static_cast<size_t>(count) * bpp);
    return;
  }
  // Indexed to indexed keeps the index: pictures and their palettes travel together.
  if (IsIndexed(srcBits) && IsIndexed(dstBits)) {
    const uint32_t limit = (1u << dstBits) - 1;
    for (int32_t i = 0; i < count; ++i) {
      const uint32_t v = LoadPixel(src, srcBits, srcX + i);
      StorePixel(dst, dstBits, dstX + i, v > limit ? limit : v);
    }
    return;
  }
  if (ConvertRowFast(src, srcBits, srcTable, srcX, dst, dstBits, dstX, count)) return;
  uint32_t lastColor = 0xFFFFFFFF, lastIndex = 0;
  for (int32_t i = 0; i < count; ++i) {
    const uint32_t c =
        static_cast<uint32_t>(PixelToColor(srcBits, LoadPixel(src, srcBits, srcX + i), srcTable));
    const uint32_t r = c & 0xFF, g = (c >> 8) & 0xFF, b = (c >> 16) & 0xFF;
    uint32_t out;
    if (IsIndexed(dstBits)) {
      if (c != lastColor) {
        lastIndex = dstTable ? NearestIndex(*dstTable, r, g, b) : (r * 30 + g * 59 + b * 11) / 100;
        lastColor = c;
      }
      out = lastIndex;
    } else {
      out = RgbToPixel(dstBits, r, g, b);
    }
    StorePixel(dst, dstBits, dstX + i, out);
  }
}

void ConvertPixels(const TDIBSurface& source, TDIBSurface& dest) {
  const int32_t w = std::min(source.Width(), dest.Width());
  const int32_t h = std::min(source.Height(), dest.Height());
  if (w <= 0 || h <= 0 || !source.Bits() || !dest.Bits()) return;
  for (int32_t y = 0; y < h; ++y) {
    ConvertRow(source.ScanLine(y), source.BitCount(), &source.ColorTable(), 0, dest.ScanLine(y),
               dest.BitCount(), &dest.ColorTable(), 0, w);
  }
}

}  // namespace quen
