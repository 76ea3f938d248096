#include "imaging/png_writer.h"

#include <png.h>

#include <vector>

#include "base/error.h"
#include "imaging/messages.h"

namespace quen {

std::string EncodePng(TCustomDIBX& surface) {
  const int32_t w = surface.Width(), h = surface.Height();
  std::vector<uint8_t> rgb(static_cast<size_t>(w) * h * 3);
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w; ++x) {
      const TColor c = surface.PixelToColor(surface.GetPixel(x, y));
      uint8_t* p = &rgb[(static_cast<size_t>(y) * w + x) * 3];
      p[0] = GetRValue(c);
      p[1] = GetGValue(c);
      p[2] = GetBValue(c);
    }
  }
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(w);
  image.height = static_cast<png_uint_32>(h);
  image.format = PNG_FORMAT_RGB;
  png_alloc_size_t size = 0;
  if (!png_image_write_to_memory(&image, nullptr, &size, 0, rgb.data(), 0, nullptr)) {
    RaiseError(msg::kPngWriteFailed);
  }
  std::string out(size, '\0');
  if (!png_image_write_to_memory(&image, out.data(), &size, 0, rgb.data(), 0, nullptr)) {
    RaiseError(msg::kPngWriteFailed);
  }
  out.resize(size);
  return out;
}

}  // namespace quen
