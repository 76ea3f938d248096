#include "imaging/wipe_picture.h"

#include <algorithm>
#include <exception>
#include <utility>

#include "base/stream.h"
#include "files/file_manager.h"
#include "imaging/dibx.h"
#include "imaging/pixel_convert.h"
#include "platform/host_fs.h"

namespace quen {

namespace {

TWipePictureLoader& Loader() {
  static TWipePictureLoader loader;
  return loader;
}

// Bitmap, PNG or layered picture (first frame), as the surfaces read them.
bool Decode(std::string bytes, int32_t key, TDIBSurface& picture) {
  TKvMemoryStream stream(std::move(bytes));
  TDIBX surface;
  surface.LoadFromStream(stream, key);
  if (surface.IsEmpty()) return false;
  picture = surface.DIB();
  return true;
}

}  // namespace

void SetWipePictureLoader(TWipePictureLoader loader) {
  Loader() = std::move(loader);
}

bool LoadWipePicture(const std::string& name, TDIBSurface& picture) {
  if (name.empty() || !Loader()) return false;
  return Loader()(name, picture);
}

TWipePictureLoader FileManagerWipeLoader(std::function<int32_t()> imageKey) {
  return [imageKey = std::move(imageKey)](const std::string& name, TDIBSurface& picture) {
    if (!HasFileManager() || !FileManager().FileExists(name)) return false;
    TKvMemoryStream content;
    FileManager().LoadFile(content, name);
    return Decode(std::move(content.Data()), imageKey ? imageKey() : 0, picture);
  };
}

TWipePictureLoader HostFileWipeLoader() {
  return [](const std::string& path, TDIBSurface& picture) {
    std::string bytes;
    if (!platform::ReadWholeFile(path, bytes)) return false;
    return Decode(std::move(bytes), 0, picture);
  };
}

std::vector<uint8_t> WipeGreys(const std::string& name, int32_t w, int32_t h, bool reverse) {
  std::vector<uint8_t> greys(static_cast<size_t>(w) * static_cast<size_t>(h), 255);
  TDIBSurface picture;
  bool have = false;
  try {
    have = LoadWipePicture(name, picture);
  } catch (const std::exception&) {
    // A damaged picture is as good as none: the uniform grey above stays.
    have = false;
  }
  const int32_t pw = picture.Width(), ph = picture.Height();
  if (!have || pw <= 0 || ph <= 0 || !picture.Bits() || w <= 0 || h <= 0) return greys;
  std::vector<uint8_t> colours(static_cast<size_t>(pw) * 4);
  std::vector<uint8_t> row(static_cast<size_t>(pw));
  const TColorTable* table = picture.BitCount() <= 8 ? &picture.ColorTable() : nullptr;
  for (int32_t py = 0; py < ph && py < h; ++py) {
    ConvertRow(picture.ScanLine(py), picture.BitCount(), table, 0, colours.data(), 32, nullptr, 0,
               pw);
    for (int32_t x = 0; x < pw; ++x) {
      uint32_t b = colours[4 * x], g = colours[4 * x + 1], r = colours[4 * x + 2];
      if (reverse) {
        r = 255 - r;
        g = 255 - g;
        b = 255 - b;
      }
      row[static_cast<size_t>(x)] =
          static_cast<uint8_t>((299 * r + 587 * g + 114 * b + 500) / 1000);
    }
    for (int32_t y = py; y < h; y += ph) {
      uint8_t* out = &greys[static_cast<size_t>(y) * static_cast<size_t>(w)];
      for (int32_t x = 0; x < w; x += pw) {
        const int32_t n = std::min(pw, w - x);
        std::copy(row.begin(), row.begin() + n, out + x);
      }
    }
  }
  return greys;
}

}  // namespace quen
