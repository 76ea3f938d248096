#include "components/map_area_list.h"

#include "base/stream.h"

namespace quen {
namespace {

// A name's length field and a shape byte, then at least a point count.
constexpr int64_t kMinAreaBytes = 4 + 1 + 4;

}  // namespace

void TMapAreaList::LoadFromStream(TStream& s) {
  areas_.clear();
  std::vector<TMapArea> areas;
  const int32_t n = ReadInt32(s);
  if (n < 0 || n > s.Remaining() / kMinAreaBytes) RaiseReadError();
  areas.reserve(static_cast<size_t>(n));
  for (int32_t i = 0; i < n; ++i) {
    TMapArea a;
    a.Name = ReadString(s);
    a.ShapeCode = ReadByte(s);
    if (a.ShapeCode <= 1) {
      const int32_t l = ReadInt32(s), t = ReadInt32(s), r = ReadInt32(s), b = ReadInt32(s);
      a.Region = a.ShapeCode == 0 ? TMapRegion::Rect(l, t, r, b) : TMapRegion::Ellipse(l, t, r, b);
    } else {
      const int32_t m = ReadInt32(s);
      if (m < 0 || m > s.Remaining() / 8) RaiseReadError();
      std::vector<TPoint> points(static_cast<size_t>(m));
      for (TPoint& p : points) {
        p.X = ReadInt32(s);
        p.Y = ReadInt32(s);
      }
      a.Region = TMapRegion::Polygon(std::move(points));
    }
    areas.push_back(std::move(a));
  }
  areas_ = std::move(areas);
}

void TMapAreaList::SaveToStream(TStream& s) const {
  WriteInt32(s, Count());
  for (const TMapArea& a : areas_) {
    WriteString(s, a.Name);
    WriteByte(s, a.ShapeCode);
    const std::vector<TPoint>& p = a.Region.Points();
    if (a.ShapeCode <= 1) {
      const TPoint lt = p.size() > 0 ? p[0] : TPoint{}, rb = p.size() > 1 ? p[1] : TPoint{};
      for (int32_t v : {lt.X, lt.Y, rb.X, rb.Y}) WriteInt32(s, v);
      continue;
    }
    WriteInt32(s, static_cast<int32_t>(p.size()));
    for (const TPoint& q : p) {
      WriteInt32(s, q.X);
      WriteInt32(s, q.Y);
    }
  }
}

int32_t TMapAreaList::AreaAt(int32_t x, int32_t y) const {
  for (int32_t i = 0; i < Count(); ++i)
    if (areas_[static_cast<size_t>(i)].Region.Contains(x, y)) return i;
  return -1;
}

}  // namespace quen
