// Colour lookup tables that start-up builds once the screen depth is known: the fire
// gradient drawn through DrawIndexedAdd and the greys that transitions add.
#pragma once

#include <array>
#include <cstdint>

namespace quen {

struct TQuenColorTables {
  int32_t BitCount = 16;
  // Fire gradient: 5-6-5 pixels (5-5-5 when the screen is 15-bit) and 32-bit pixels.
  std::array<uint32_t, 256> Fire16{};
  std::array<uint32_t, 256> Fire32{};
  // Grey i (i, i, i) as a 16-bit pixel of the screen's format and as a 32-bit pixel.
  std::array<uint32_t, 256> Grey16{};
  std::array<uint32_t, 256> Grey32{};

  // The table for a surface depth: 15/16 give the 16-bit one, 32 the 32-bit one, other
  // depths nullptr.
  const uint32_t* FireFor(int32_t bits) const;
  const uint32_t* GreyFor(int32_t bits) const;
};

// Builds the tables for the screen's bit count (15, 16 or 32).
void QuenInitColor(int32_t screenBitCount);
const TQuenColorTables& QuenColorTables();

// The fire gradient's colour for heat i, as (red, green, blue).
void FireGradient(int i, uint8_t& r, uint8_t& g, uint8_t& b);

}  // namespace quen
