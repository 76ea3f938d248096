#include "imaging/png_writer.h"

#include <png.h>

#include <vector>

#include "base/error.h"
#include "imaging/messages.h"

namespace quen {

namespace {

std::string Encode(int32_t w, int32_t h, png_uint_32 format, const std::vector<uint8_t>& rgb) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(w);
  image.height = static_cast<png_uint_32>(h);
  image.format = format;
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

}  // namespace

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
  return Encode(w, h, PNG_FORMAT_RGB, rgb);
}

std::string EncodePngRgba(TCustomDIBX& color, TCustomDIBX& alpha) {
  const int32_t w = color.Width(), h = color.Height();
  std::vector<uint8_t> rgba(static_cast<size_t>(w) * h * 4);
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w; ++x) {
      const TColor c = color.PixelToColor(color.GetPixel(x, y));
      uint8_t* p = &rgba[(static_cast<size_t>(y) * w + x) * 4];
      p[0] = GetRValue(c);
      p[1] = GetGValue(c);
      p[2] = GetBValue(c);
      p[3] = static_cast<uint8_t>(alpha.GetPixel(x, y));
    }
  }
  return Encode(w, h, PNG_FORMAT_RGBA, rgba);
}

std::string EncodePngGray(TCustomDIBX& surface) {
  const int32_t w = surface.Width(), h = surface.Height();
  std::vector<uint8_t> grey(static_cast<size_t>(w) * h);
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w; ++x)
      grey[static_cast<size_t>(y) * w + x] = static_cast<uint8_t>(surface.GetPixel(x, y));
  }
  return Encode(w, h, PNG_FORMAT_GRAY, grey);
}

}  // namespace quen
