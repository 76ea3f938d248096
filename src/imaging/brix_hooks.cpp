#include "imaging/brix_hooks.h"

#include <cstring>

#include "base/stream.h"
#include "files/vr_file.h"
#include "imaging/brix_frame.h"
#include "imaging/custom_dibx.h"
#include "imaging/png_codec.h"

namespace quen {

namespace {

// "PNG" at offset 1 is a PNG picture, "Brix" at offset 0 a layered picture whose first
// frame is used; option is the image key.
bool ReadPicture(TStream& stream, int32_t option, TDIBSurface& picture) {
  const int64_t start = stream.GetPosition();
  char head[8] = {};
  const int64_t got = stream.Read(head, sizeof head);
  stream.SetPosition(start);
  if (got >= 4 && std::memcmp(head + 1, "PNG", 3) == 0) {
    TBrixFrameList list(option);
    list.LoadPng(stream);
    picture = list.Frame(0).Picture;
    return true;
  }
  if (got >= 4 && std::memcmp(head, "Brix", 4) == 0) {
    TBrixFrameList list(option);
    list.LoadFromStream(stream, true, false, false);
    if (list.Count() == 0) return false;
    picture = list.Frame(0).Picture;
    return true;
  }
  return false;
}

}  // namespace

void InstallBrixHooks() {
  TCustomDIBX::SetPictureReader(ReadPicture);
  TVrFileCollection::BrxAlreadyCompressed = BrxContentCompressed;
}

}  // namespace quen
