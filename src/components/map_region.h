// The shape of a map image's area, in place of the window system's regions: a rectangle or an
// ellipse with inclusive bounds, or a polygon filled by the winding rule. Points test and rows
// give their covered runs (to clip the hover picture); all arithmetic is exact integers.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "base/types.h"

namespace quen {

class TMapRegion {
 public:
  enum class TShape : uint8_t { Rect, Ellipse, Polygon };
  // Coordinates beyond +-2^28 are clamped there: far outside any screen, and the products of
  // the tests stay within 64 bits.
  static constexpr int32_t kCoordLimit = 1 << 28;

  TMapRegion() = default;
  // Bounds are inclusive (right and bottom are covered) and taken in either order.
  static TMapRegion Rect(int32_t left, int32_t top, int32_t right, int32_t bottom);
  // The ellipse inscribed in the same pixels the rectangle would cover.
  static TMapRegion Ellipse(int32_t left, int32_t top, int32_t right, int32_t bottom);
  // A pixel is covered when its centre has a non-zero winding number; fewer than three points
  // cover nothing.
  static TMapRegion Polygon(std::vector<TPoint> points);

  TShape Shape() const { return shape_; }
  // Rectangle and ellipse: the two corners as given; polygon: its points.
  const std::vector<TPoint>& Points() const { return points_; }

  bool Contains(int32_t x, int32_t y) const;
  // The covered pixels of row y as runs [first, second), left to right, appended to out.
  void RowSpans(int32_t y, std::vector<std::pair<int32_t, int32_t>>& out) const;
  // Smallest rectangle (right and bottom exclusive) holding every covered pixel.
  TRect Bounds() const;

 private:
  // Where each polygon edge crossing row y starts to count: pixel x counts it when x >= first.
  void Crossings(int32_t y, std::vector<std::pair<int64_t, int>>& out) const;

  TShape shape_ = TShape::Rect;
  std::vector<TPoint> points_;
  // Normalised, clamped inclusive bounds of rectangle and ellipse.
  int64_t l_ = 0, t_ = 0, r_ = -1, b_ = -1;
};

}  // namespace quen
