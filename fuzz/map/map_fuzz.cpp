// Feeds arbitrary bytes to the map file reader; whatever loads is tested at a few points and
// rows, written and read again to the same areas.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "base/error.h"
#include "base/stream.h"
#include "components/map_area_list.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  quen::TMapAreaList areas;
  quen::TViewStream in(std::string_view(reinterpret_cast<const char*>(data), size));
  try {
    areas.LoadFromStream(in);
  } catch (const quen::EQuenError&) {
    return 0;
  }
  std::vector<std::pair<int32_t, int32_t>> runs;
  for (int32_t i = 0; i < areas.Count(); ++i) {
    const quen::TMapRegion& r = areas.Area(i).Region;
    const quen::TRect b = r.Bounds();
    for (int32_t y : {b.Top, b.Top + b.Height() / 2, b.Bottom - 1}) {
      runs.clear();
      r.RowSpans(y, runs);
      for (const auto& [first, end] : runs)
        if (first >= end || !r.Contains(first, y) || !r.Contains(end - 1, y)) std::abort();
    }
  }
  quen::TKvMemoryStream out;
  areas.SaveToStream(out);
  quen::TMapAreaList again;
  out.SetPosition(0);
  again.LoadFromStream(out);
  quen::TKvMemoryStream twice;
  again.SaveToStream(twice);
  if (twice.Data() != out.Data()) std::abort();
  return 0;
}
