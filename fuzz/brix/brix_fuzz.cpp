// Feeds arbitrary bytes to the layered-picture and PNG readers. The first byte chooses the
// load options; whatever loads is trimmed, written and read again.
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/error.h"
#include "base/stream.h"
#include "imaging/brix_frame.h"
#include "imaging/png_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint8_t options = data[0];
  static constexpr int32_t kTargets[4] = {0, 16, 24, 32};
  quen::TBrixFrameList list((options & 0x20) ? 12345 : 0);
  list.TargetBitCount = kTargets[(options >> 3) & 3];
  // Large enough for every branch, small enough that one input stays well under the time-out.
  list.MaxDecodedBytes = 16 << 20;
  quen::TKvMemoryStream in(std::string(reinterpret_cast<const char*>(data + 1), size - 1));
  try {
    if (quen::IsPngSignature(data + 1, static_cast<int64_t>(size - 1))) {
      list.LoadPng(in);
    } else {
      list.LoadFromStream(in, options & 1, options & 2, options & 4);
    }
  } catch (const quen::EQuenError&) {
    return 0;
  }
  if (list.Count() == 0) return 0;
  // Pixel-by-pixel work on a huge 1-bit picture only slows the search down.
  const quen::TDIBSurface& first = list.Frame(0).Picture;
  if (static_cast<int64_t>(first.Width()) * first.Height() > (int64_t{1} << 22)) return 0;
  quen::TRect r;
  list.Frame(0).Trim(r);
  quen::TKvMemoryStream out;
  try {
    list.SaveToStream(out, (options >> 6) % 3, 50);
  } catch (const quen::EQuenError&) {
    return 0;
  }
  out.SetPosition(0);
  quen::TBrixFrameList back(list.Key);
  back.LoadFromStream(out, false, true, false);
  return 0;
}
