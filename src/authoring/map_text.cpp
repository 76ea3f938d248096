#include "authoring/map_text.h"

#include <cerrno>
#include <cstdlib>

#include "authoring/desc_text.h"
#include "platform/text_encoding.h"

namespace quen {
namespace {

std::string Name(const TDescLine& line, const TDescReader& r) {
  if (line.Quoted[1] || r.Word(0).rfind("hex:", 0) == 0) return r.Str(0);
  std::string sjis;
  if (!platform::TryUtf8ToCp932(r.Word(0), sjis)) r.Fail("text that Shift-JIS cannot hold");
  return sjis;
}

int32_t Coord(const TDescReader& r, const std::string& t) {
  char* end = nullptr;
  errno = 0;
  const long long v = std::strtoll(t.c_str(), &end, 10);
  if (t.empty() || *end != '\0' || errno == ERANGE || v < INT32_MIN || v > INT32_MAX)
    r.Fail("not a 32-bit whole number: " + t);
  return static_cast<int32_t>(v);
}

}  // namespace

TMapAreaList ParseMapText(std::string_view utf8) {
  TMapAreaList list;
  for (const TDescLine& line : ParseDescText(utf8)) {
    TDescReader r(line);
    const std::string& kind = r.Name();
    if (r.ValueCount() < 1) r.Fail("the area's name is missing");
    TMapArea a;
    a.Name = Name(line, r);
    if (kind == "rect" || kind == "ellipse") {
      r.ExpectCount(5);
      const int32_t v[4] = {r.Int(1), r.Int(2), r.Int(3), r.Int(4)};
      a.ShapeCode = kind == "rect" ? 0 : 1;
      a.Region = kind == "rect" ? TMapRegion::Rect(v[0], v[1], v[2], v[3])
                                : TMapRegion::Ellipse(v[0], v[1], v[2], v[3]);
    } else if (kind == "poly" || kind.rfind("poly:", 0) == 0) {
      a.ShapeCode = 2;
      if (kind != "poly") {
        const int32_t code = Coord(r, kind.substr(5));
        if (code < 2 || code > 255) r.Fail("a polygon's shape byte is 2 to 255");
        a.ShapeCode = static_cast<uint8_t>(code);
      }
      std::vector<TPoint> points;
      for (size_t i = 1; i < r.ValueCount(); ++i) {
        const std::string& p = r.Word(i);
        const size_t comma = p.find(',');
        if (comma == std::string::npos) r.Fail("a point is X,Y: " + p);
        points.push_back({Coord(r, p.substr(0, comma)), Coord(r, p.substr(comma + 1))});
      }
      a.Region = TMapRegion::Polygon(std::move(points));
    } else {
      r.Fail("an area is rect, ellipse or poly");
    }
    list.Areas().push_back(std::move(a));
  }
  return list;
}

std::string MapToText(const TMapAreaList& areas) {
  std::string out;
  for (int32_t i = 0; i < areas.Count(); ++i) {
    const TMapArea& a = areas.Area(i);
    const std::vector<TPoint>& p = a.Region.Points();
    if (a.ShapeCode <= 1) {
      out += a.ShapeCode == 0 ? "rect " : "ellipse ";
      out += DescQuote(a.Name);
      for (int32_t v : {p[0].X, p[0].Y, p[1].X, p[1].Y}) out += " " + std::to_string(v);
    } else {
      out += a.ShapeCode == 2 ? "poly " : "poly:" + std::to_string(a.ShapeCode) + " ";
      out += DescQuote(a.Name);
      for (const TPoint& q : p) out += " " + std::to_string(q.X) + "," + std::to_string(q.Y);
    }
    out += "\n";
  }
  return out;
}

}  // namespace quen
