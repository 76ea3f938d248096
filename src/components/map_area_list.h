// The areas of a map file: named shapes tested in file order. The file is an Int32 count, then
// per area its name (Int32 length and bytes), a shape byte (0 rectangle, 1 ellipse, any other
// value a polygon) and either four Int32 (left, top, right, bottom, inclusive) or an Int32
// point count and that many (x, y) pairs.
#pragma once

#include <string>
#include <vector>

#include "components/map_region.h"

namespace quen {

class TStream;

struct TMapArea {
  std::string Name;
  // The byte as stored (values above 1 all mean a polygon).
  uint8_t ShapeCode = 0;
  TMapRegion Region;
};

class TMapAreaList {
 public:
  // Every count, length and point count is checked against the bytes left; a damaged file
  // raises the stream's read error and leaves the list empty.
  void LoadFromStream(TStream& s);
  void SaveToStream(TStream& s) const;
  void Clear() { areas_.clear(); }

  int32_t Count() const { return static_cast<int32_t>(areas_.size()); }
  const TMapArea& Area(int32_t i) const { return areas_[static_cast<size_t>(i)]; }
  std::vector<TMapArea>& Areas() { return areas_; }
  // The first area holding the point, or -1.
  int32_t AreaAt(int32_t x, int32_t y) const;

 private:
  std::vector<TMapArea> areas_;
};

}  // namespace quen
