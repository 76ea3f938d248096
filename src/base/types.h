// Small value types shared by every layer.
#pragma once

#include <algorithm>
#include <cstdint>

namespace quen {

// Colour as it leaves a surface: 0x00BBGGRR, red in the low byte; -1 means "none" where a
// format says so.
using TColor = int32_t;
constexpr TColor kColorNone = -1;

constexpr uint8_t GetRValue(TColor c) {
  return static_cast<uint8_t>(c & 0xFF);
}
constexpr uint8_t GetGValue(TColor c) {
  return static_cast<uint8_t>((c >> 8) & 0xFF);
}
constexpr uint8_t GetBValue(TColor c) {
  return static_cast<uint8_t>((c >> 16) & 0xFF);
}
constexpr TColor RGBColor(uint8_t r, uint8_t g, uint8_t b) {
  return static_cast<TColor>(r | (g << 8) | (b << 16));
}

struct TPoint {
  int32_t X = 0;
  int32_t Y = 0;
  friend bool operator==(const TPoint&, const TPoint&) = default;
};

// Right and Bottom are exclusive; the rectangle is empty when Right <= Left or Bottom <= Top.
struct TRect {
  int32_t Left = 0;
  int32_t Top = 0;
  int32_t Right = 0;
  int32_t Bottom = 0;

  static constexpr TRect FromSize(int32_t x, int32_t y, int32_t w, int32_t h) {
    return TRect{x, y, x + w, y + h};
  }
  constexpr bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
  constexpr int32_t Width() const { return Right - Left; }
  constexpr int32_t Height() const { return Bottom - Top; }
  constexpr bool Contains(int32_t x, int32_t y) const {
    return x >= Left && x < Right && y >= Top && y < Bottom;
  }
  constexpr TRect Offset(int32_t dx, int32_t dy) const {
    return TRect{Left + dx, Top + dy, Right + dx, Bottom + dy};
  }
  // Intersection; an empty result is normalised to all zeros.
  constexpr TRect Intersect(const TRect& o) const {
    TRect r{std::max(Left, o.Left), std::max(Top, o.Top), std::min(Right, o.Right),
            std::min(Bottom, o.Bottom)};
    return r.IsEmpty() ? TRect{} : r;
  }
  // Smallest rectangle holding both; an empty operand does not count.
  constexpr TRect Union(const TRect& o) const {
    if (IsEmpty()) return o;
    if (o.IsEmpty()) return *this;
    return TRect{std::min(Left, o.Left), std::min(Top, o.Top), std::max(Right, o.Right),
                 std::max(Bottom, o.Bottom)};
  }
  friend bool operator==(const TRect&, const TRect&) = default;
};

}  // namespace quen
