#include "components/map_region.h"

#include <algorithm>
#include <cmath>

namespace quen {
namespace {

int64_t ClampCoord(int64_t v) {
  return std::clamp<int64_t>(v, -TMapRegion::kCoordLimit, TMapRegion::kCoordLimit);
}

int64_t FloorDiv(int64_t a, int64_t b) {
  const int64_t q = a / b;
  return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}

int64_t CeilDiv(int64_t a, int64_t b) {
  return -FloorDiv(-a, b);
}

// Largest m with m * m <= v.
int64_t ISqrt(unsigned __int128 v) {
  auto m = static_cast<int64_t>(std::sqrt(static_cast<long double>(v)));
  while (m > 0 && static_cast<unsigned __int128>(m) * static_cast<unsigned __int128>(m) > v) --m;
  while (static_cast<unsigned __int128>(m + 1) * static_cast<unsigned __int128>(m + 1) <= v) ++m;
  return m;
}

int32_t To32(int64_t v) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

}  // namespace

TMapRegion TMapRegion::Rect(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  TMapRegion r;
  r.shape_ = TShape::Rect;
  r.points_ = {{left, top}, {right, bottom}};
  r.l_ = ClampCoord(std::min(left, right));
  r.r_ = ClampCoord(std::max(left, right));
  r.t_ = ClampCoord(std::min(top, bottom));
  r.b_ = ClampCoord(std::max(top, bottom));
  return r;
}

TMapRegion TMapRegion::Ellipse(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  TMapRegion r = Rect(left, top, right, bottom);
  r.shape_ = TShape::Ellipse;
  return r;
}

TMapRegion TMapRegion::Polygon(std::vector<TPoint> points) {
  TMapRegion r;
  r.shape_ = TShape::Polygon;
  r.points_ = std::move(points);
  return r;
}

void TMapRegion::Crossings(int32_t y, std::vector<std::pair<int64_t, int>>& out) const {
  const size_t n = points_.size();
  if (n < 3) return;
  // In doubled coordinates a pixel centre (2x + 1, 2y + 1) never lies on a vertex's row.
  const int64_t py = 2 * int64_t{y} + 1;
  for (size_t i = 0; i < n; ++i) {
    const TPoint& a = points_[i];
    const TPoint& b = points_[(i + 1) % n];
    const int64_t x0 = 2 * ClampCoord(a.X), y0 = 2 * ClampCoord(a.Y);
    const int64_t x1 = 2 * ClampCoord(b.X), y1 = 2 * ClampCoord(b.Y);
    if ((y0 < py) == (y1 < py)) continue;
    int64_t den = y1 - y0;
    int64_t num = x0 * den + (py - y0) * (x1 - x0);
    const int dir = den > 0 ? 1 : -1;
    if (den < 0) {
      den = -den;
      num = -num;
    }
    // The crossing lies at num / den; pixel x counts it once its centre is to the right.
    out.emplace_back(FloorDiv(num - den, 2 * den) + 1, dir);
  }
}

bool TMapRegion::Contains(int32_t x, int32_t y) const {
  switch (shape_) {
    case TShape::Rect:
      return x >= l_ && x <= r_ && y >= t_ && y <= b_;
    case TShape::Ellipse: {
      if (r_ < l_ || b_ < t_) return false;
      const __int128 w = r_ + 1 - l_, h = b_ + 1 - t_;
      const __int128 dx = 2 * __int128{x} - l_ - r_, dy = 2 * __int128{y} - t_ - b_;
      return dx * dx * h * h + dy * dy * w * w <= w * w * h * h;
    }
    case TShape::Polygon: {
      std::vector<std::pair<int64_t, int>> c;
      Crossings(y, c);
      int winding = 0;
      for (const auto& [first, dir] : c)
        if (x >= first) winding += dir;
      return winding != 0;
    }
  }
  return false;
}

void TMapRegion::RowSpans(int32_t y, std::vector<std::pair<int32_t, int32_t>>& out) const {
  switch (shape_) {
    case TShape::Rect:
      if (y >= t_ && y <= b_ && l_ <= r_) out.emplace_back(To32(l_), To32(r_ + 1));
      return;
    case TShape::Ellipse: {
      if (r_ < l_ || b_ < t_) return;
      const int64_t w = r_ + 1 - l_, h = b_ + 1 - t_;
      const int64_t dy = 2 * int64_t{y} - t_ - b_;
      if (dy < -h || dy > h) return;
      const auto w2 = static_cast<unsigned __int128>(w) * static_cast<unsigned __int128>(w);
      const auto h2 = static_cast<unsigned __int128>(h) * static_cast<unsigned __int128>(h);
      const auto dy2 = static_cast<unsigned __int128>(dy < 0 ? -dy : dy) *
                       static_cast<unsigned __int128>(dy < 0 ? -dy : dy);
      // dx^2 h^2 <= w^2 (h^2 - dy^2), with dx = 2x - l - r.
      const int64_t m = ISqrt(w2 * (h2 - dy2) / h2);
      const int64_t first = CeilDiv(l_ + r_ - m, 2), last = FloorDiv(l_ + r_ + m, 2);
      if (first <= last) out.emplace_back(To32(first), To32(last + 1));
      return;
    }
    case TShape::Polygon: {
      std::vector<std::pair<int64_t, int>> c;
      Crossings(y, c);
      std::sort(c.begin(), c.end());
      int winding = 0;
      for (size_t i = 0; i < c.size(); ++i) {
        winding += c[i].second;
        const int64_t next = i + 1 < c.size() ? c[i + 1].first : c[i].first;
        if (winding != 0 && next > c[i].first) {
          if (!out.empty() && out.back().second == To32(c[i].first))
            out.back().second = To32(next);
          else
            out.emplace_back(To32(c[i].first), To32(next));
        }
      }
      return;
    }
  }
}

TRect TMapRegion::Bounds() const {
  if (shape_ != TShape::Polygon)
    return r_ < l_ ? TRect{} : TRect{To32(l_), To32(t_), To32(r_ + 1), To32(b_ + 1)};
  if (points_.size() < 3) return {};
  int64_t l = INT64_MAX, t = INT64_MAX, r = INT64_MIN, b = INT64_MIN;
  for (const TPoint& p : points_) {
    l = std::min<int64_t>(l, ClampCoord(p.X));
    t = std::min<int64_t>(t, ClampCoord(p.Y));
    r = std::max<int64_t>(r, ClampCoord(p.X));
    b = std::max<int64_t>(b, ClampCoord(p.Y));
  }
  return TRect{To32(l), To32(t), To32(r + 1), To32(b + 1)};
}

}  // namespace quen
