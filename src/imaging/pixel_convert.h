// The one converter between pixel formats, used wherever a picture of one depth is copied
// into a surface of another (decoded pictures, bitmap files, the test card, screenshots).
#pragma once

#include <cstdint>

#include "base/types.h"
#include "imaging/dib_surface.h"

namespace quen {

// 5- and 6-bit channels widen to 8 bits by repeating their high bits below themselves, so
// 0 stays 0 and the channel's maximum becomes 255: 5 bits v -> (v << 3) | (v >> 2),
// 6 bits v -> (v << 2) | (v >> 4). 8 bits narrow by keeping the high bits.
constexpr uint32_t Expand5(uint32_t v) {
  return (v << 3) | (v >> 2);
}
constexpr uint32_t Expand6(uint32_t v) {
  return (v << 2) | (v >> 4);
}

// Native pixel value of an 8-8-8 colour at a direct-colour depth (15, 16, 24, 32): the
// high bits of each channel at its place. Red is the low byte of the colour.
uint32_t RgbToPixel(int32_t bitCount, uint32_t r, uint32_t g, uint32_t b);
// Colour 0x00BBGGRR of a native pixel value; indexed depths look the value up in the table.
TColor PixelToColor(int32_t bitCount, uint32_t pixel, const TColorTable* table);

// Reads pixel x of a row of any depth (1, 4, 8, 15, 16, 24, 32) as a native value.
uint32_t LoadPixel(const uint8_t* row, int32_t bitCount, int32_t x);
void StorePixel(uint8_t* row, int32_t bitCount, int32_t x, uint32_t pixel);

// Converts count pixels starting at column srcX of a source row into a destination row
// starting at column dstX. Indexed sources go through their colour table; indexed
// destinations take the nearest entry of theirs (same index when both are indexed).
void ConvertRow(const uint8_t* src, int32_t srcBits, const TColorTable* srcTable, int32_t srcX,
                uint8_t* dst, int32_t dstBits, const TColorTable* dstTable, int32_t dstX,
                int32_t count);

// Copies the overlapping top-left part of source into dest, converting the pixel format;
// dest keeps its size and depth.
void ConvertPixels(const TDIBSurface& source, TDIBSurface& dest);

}  // namespace quen
