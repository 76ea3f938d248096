#include <gtest/gtest.h>

#include <random>

#include "base/error.h"
#include "base/stream.h"
#include "components/map_area_list.h"

namespace quen {
namespace {

// The covered pixels of a region inside a window, as rows of '#' and '.'.
std::string Picture(const TMapRegion& r, int32_t x0, int32_t y0, int32_t w, int32_t h) {
  std::string out;
  for (int32_t y = y0; y < y0 + h; ++y) {
    for (int32_t x = x0; x < x0 + w; ++x) out += r.Contains(x, y) ? '#' : '.';
    out += '\n';
  }
  return out;
}

TEST(MapRegion, ShapesCoverTheirPixels) {
  struct Case {
    const char* name;
    TMapRegion region;
    std::string picture;  // the window (0, 0)-(6, 5)
  };
  const std::vector<Case> cases = {
      {"a rectangle of one pixel", TMapRegion::Rect(2, 1, 2, 1),
       "......\n..#...\n......\n......\n......\n"},
      {"a rectangle given right to left covers its right and bottom", TMapRegion::Rect(4, 3, 1, 1),
       "......\n.####.\n.####.\n.####.\n......\n"},
      {"an ellipse of one pixel", TMapRegion::Ellipse(3, 2, 3, 2),
       "......\n......\n...#..\n......\n......\n"},
      {"an ellipse in a 5 x 5 box", TMapRegion::Ellipse(0, 0, 4, 4),
       ".###..\n#####.\n#####.\n#####.\n.###..\n"},
      {"a triangle", TMapRegion::Polygon({{0, 0}, {6, 0}, {0, 5}}),
       "#####.\n####..\n###...\n##....\n#.....\n"},
      // The middle is wound twice: the winding rule fills it where alternation would not.
      {"a star filled by the winding rule keeps its middle",
       TMapRegion::Polygon({{3, 0}, {5, 5}, {0, 2}, {6, 2}, {1, 5}}),
       "......\n..##..\n.####.\n..##..\n.#..#.\n"},
      {"two points cover nothing", TMapRegion::Polygon({{0, 0}, {6, 5}}),
       "......\n......\n......\n......\n......\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Picture(c.region, 0, 0, 6, 5), c.picture);
  }
}

TEST(MapRegion, RowRunsAndBoundsAgreeWithThePointTest) {
  std::mt19937 rng(5);
  auto coord = [&] { return static_cast<int32_t>(rng() % 41) - 10; };
  for (int n = 0; n < 300; ++n) {
    TMapRegion r;
    switch (n % 3) {
      case 0:
        r = TMapRegion::Rect(coord(), coord(), coord(), coord());
        break;
      case 1:
        r = TMapRegion::Ellipse(coord(), coord(), coord(), coord());
        break;
      default: {
        std::vector<TPoint> p(3 + rng() % 6);
        for (TPoint& q : p) q = {coord(), coord()};
        r = TMapRegion::Polygon(p);
      }
    }
    const TRect b = r.Bounds();
    for (int32_t y = -12; y < 33; ++y) {
      std::vector<std::pair<int32_t, int32_t>> runs;
      r.RowSpans(y, runs);
      std::string scanned, spanned;
      for (int32_t x = -12; x < 33; ++x) {
        const bool in = r.Contains(x, y);
        if (in) {
          ASSERT_TRUE(b.Contains(x, y)) << n << " " << x << "," << y;
        }
        scanned += in ? '#' : '.';
        bool run = false;
        for (auto [a, e] : runs) run = run || (x >= a && x < e);
        spanned += run ? '#' : '.';
      }
      ASSERT_EQ(spanned, scanned) << n << " row " << y;
    }
  }
  // Coordinates at the edge of the integer range are clamped, not overflowed.
  const TMapRegion huge = TMapRegion::Ellipse(INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX);
  EXPECT_TRUE(huge.Contains(0, 0));
  const TMapRegion wide = TMapRegion::Polygon({{INT32_MIN, 0}, {INT32_MAX, 0}, {0, INT32_MAX}});
  EXPECT_TRUE(wide.Contains(0, 1));
}

TEST(MapFile, RoundTripsAndRefusesEveryDamage) {
  TMapAreaList areas;
  areas.Areas().push_back({"\x94\x9d", 0, TMapRegion::Rect(1, 2, 3, 4)});
  areas.Areas().push_back({"b", 1, TMapRegion::Ellipse(5, 6, 7, 8)});
  areas.Areas().push_back({"c", 7, TMapRegion::Polygon({{1, 1}, {9, 1}, {5, 9}})});
  TKvMemoryStream m;
  areas.SaveToStream(m);
  const std::string bytes = m.Data();
  TMapAreaList back;
  TViewStream in(bytes);
  back.LoadFromStream(in);
  ASSERT_EQ(back.Count(), 3);
  EXPECT_EQ(back.Area(2).ShapeCode, 7);
  EXPECT_EQ(back.AreaAt(5, 3), 2);
  EXPECT_EQ(back.AreaAt(3, 4), 0);
  TKvMemoryStream again;
  back.SaveToStream(again);
  EXPECT_EQ(again.Data(), bytes);

  for (size_t n = 0; n < bytes.size(); ++n) {
    TViewStream cut(std::string_view(bytes).substr(0, n));
    EXPECT_THROW(back.LoadFromStream(cut), EQuenError) << n;
    EXPECT_EQ(back.Count(), 0);
  }
  // Counts that the bytes left cannot hold are refused before anything is allocated.
  for (std::string bad :
       {std::string("\xFF\xFF\xFF\x7F", 4), std::string("\xFF\xFF\xFF\xFF", 4),
        bytes.substr(0, bytes.size() - 28) + std::string("\x00\x00\x00\x40", 4)}) {
    TViewStream s(bad);
    EXPECT_THROW(back.LoadFromStream(s), EQuenError);
  }
}

}  // namespace
}  // namespace quen
