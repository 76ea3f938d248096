#include "components/cursor_file.h"

#include <algorithm>

#include "base/stream.h"
#include "base/types.h"
#include "imaging/dib_surface.h"
#include "imaging/dibx.h"
#include "imaging/png_codec.h"

namespace quen {
namespace {

constexpr int32_t kMaxSide = 256;

uint32_t U16(const std::string& b, size_t at) {
  if (at + 2 > b.size()) RaiseReadError();
  return static_cast<uint32_t>(static_cast<uint8_t>(b[at]) |
                               (static_cast<uint8_t>(b[at + 1]) << 8));
}
uint32_t U32(const std::string& b, size_t at) {
  if (at + 4 > b.size()) RaiseReadError();
  return U16(b, at) | (U16(b, at + 2) << 16);
}

TCursorImage DecodePng(const std::string& data) {
  TDIBSurface dib;
  int32_t key = -1;
  ReadPng(data, dib, key);
  if (dib.Width() <= 0 || dib.Height() <= 0 || dib.Width() > kMaxSide || dib.Height() > kMaxSide)
    RaiseReadError();
  TDIBX view;
  view.BorrowDIB(dib);
  TCursorImage img;
  img.Width = dib.Width();
  img.Height = dib.Height();
  img.Pixels.resize(static_cast<size_t>(img.Width) * static_cast<size_t>(img.Height));
  const TDIBSurface* mask = dib.Mask();
  for (int32_t y = 0; y < img.Height; ++y)
    for (int32_t x = 0; x < img.Width; ++x) {
      const uint32_t pixel = view.GetPixel(x, y);
      const TColor c = view.PixelToColor(pixel);
      uint32_t a = mask ? mask->ScanLine(y)[x] : 255;
      if (key >= 0 && pixel == static_cast<uint32_t>(key)) a = 0;
      img.Pixels[static_cast<size_t>(y) * static_cast<size_t>(img.Width) + static_cast<size_t>(x)] =
          (a << 24) | (static_cast<uint32_t>(c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
    }
  return img;
}

// A device-independent bitmap with the colour rows followed by the 1-bit transparency rows.
TCursorImage DecodeDib(const std::string& d) {
  const uint32_t headerSize = U32(d, 0);
  if (headerSize < 40 || headerSize > d.size()) RaiseReadError();
  const int32_t width = static_cast<int32_t>(U32(d, 4));
  const int32_t doubled = static_cast<int32_t>(U32(d, 8));
  const uint32_t bits = U16(d, 14);
  const uint32_t compression = U32(d, 16);
  uint32_t colors = U32(d, 32);
  if (width <= 0 || width > kMaxSide || doubled <= 0 || doubled > 2 * kMaxSide || compression != 0)
    RaiseReadError();
  const int32_t height = doubled / 2;
  if (height <= 0) RaiseReadError();
  if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32) RaiseReadError();
  if (bits <= 8 && (colors == 0 || colors > (1u << bits))) colors = 1u << bits;
  if (bits > 8) colors = 0;
  const size_t paletteAt = headerSize;
  const size_t pixelsAt = paletteAt + size_t{colors} * 4;
  const size_t rowBytes = ((static_cast<size_t>(width) * bits + 31) / 32) * 4;
  const size_t maskRow = ((static_cast<size_t>(width) + 31) / 32) * 4;
  const size_t maskAt = pixelsAt + rowBytes * static_cast<size_t>(height);
  if (maskAt + maskRow * static_cast<size_t>(height) > d.size()) RaiseReadError();
  auto byte = [&](size_t at) { return static_cast<uint8_t>(d[at]); };

  TCursorImage img;
  img.Width = width;
  img.Height = height;
  img.Pixels.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
  bool anyAlpha = false;
  for (int32_t y = 0; y < height; ++y) {
    // Rows are stored bottom-up.
    const size_t row = pixelsAt + rowBytes * static_cast<size_t>(height - 1 - y);
    const size_t mrow = maskAt + maskRow * static_cast<size_t>(height - 1 - y);
    for (int32_t x = 0; x < width; ++x) {
      const size_t ux = static_cast<size_t>(x);
      uint32_t argb = 0;
      if (bits == 32) {
        const size_t p = row + ux * 4;
        argb = (uint32_t{byte(p + 3)} << 24) | (uint32_t{byte(p + 2)} << 16) |
               (uint32_t{byte(p + 1)} << 8) | byte(p);
        anyAlpha |= byte(p + 3) != 0;
      } else if (bits == 24) {
        const size_t p = row + ux * 3;
        argb = 0xFF000000u | (uint32_t{byte(p + 2)} << 16) | (uint32_t{byte(p + 1)} << 8) | byte(p);
      } else {
        const size_t bitPos = ux * bits;
        const uint32_t v = (byte(row + bitPos / 8) >> (8 - bits - bitPos % 8)) & ((1u << bits) - 1);
        const size_t e = paletteAt + size_t{v} * 4;
        argb = 0xFF000000u | (uint32_t{byte(e + 2)} << 16) | (uint32_t{byte(e + 1)} << 8) | byte(e);
      }
      const bool transparent = (byte(mrow + ux / 8) >> (7 - ux % 8)) & 1;
      if (transparent && bits != 32) argb &= 0x00FFFFFFu;
      img.Pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + ux] = argb;
    }
  }
  // 32-bit pictures without any alpha rely on the mask alone.
  if (bits == 32 && !anyAlpha)
    for (int32_t y = 0; y < height; ++y) {
      const size_t mrow = maskAt + maskRow * static_cast<size_t>(height - 1 - y);
      for (int32_t x = 0; x < width; ++x) {
        const size_t ux = static_cast<size_t>(x);
        if (!((byte(mrow + ux / 8) >> (7 - ux % 8)) & 1))
          img.Pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + ux] |= 0xFF000000u;
      }
    }
  return img;
}

TCursorImage ReadIconDirectory(const std::string& b) {
  if (U16(b, 0) != 0) RaiseReadError();
  const uint32_t type = U16(b, 2);
  const uint32_t count = U16(b, 4);
  if ((type != 1 && type != 2) || count == 0 || 6 + size_t{count} * 16 > b.size()) RaiseReadError();
  // The largest picture.
  size_t best = 0;
  uint32_t bestArea = 0;
  for (uint32_t i = 0; i < count; ++i) {
    const size_t e = 6 + size_t{i} * 16;
    const uint32_t w = static_cast<uint8_t>(b[e]) ? static_cast<uint8_t>(b[e]) : 256;
    const uint32_t h = static_cast<uint8_t>(b[e + 1]) ? static_cast<uint8_t>(b[e + 1]) : 256;
    if (w * h > bestArea) {
      bestArea = w * h;
      best = e;
    }
  }
  const uint32_t size = U32(b, best + 8);
  const uint32_t offset = U32(b, best + 12);
  if (offset > b.size() || size > b.size() - offset || size < 8) RaiseReadError();
  const std::string data = b.substr(offset, size);
  TCursorImage img = IsPngSignature(reinterpret_cast<const uint8_t*>(data.data()),
                                    static_cast<int64_t>(data.size()))
                         ? DecodePng(data)
                         : DecodeDib(data);
  if (type == 2) {
    img.HotX = static_cast<int32_t>(U16(b, best + 4));
    img.HotY = static_cast<int32_t>(U16(b, best + 6));
    if (img.HotX >= img.Width) img.HotX = img.Width - 1;
    if (img.HotY >= img.Height) img.HotY = img.Height - 1;
  }
  return img;
}

// Finds the first "icon" chunk of an animated cursor, inside its LIST "fram".
bool FindIconChunk(const std::string& b, size_t from, size_t end, int depth, std::string& out) {
  if (depth > 4) return false;
  size_t at = from;
  while (at + 8 <= end) {
    const std::string id = b.substr(at, 4);
    const uint32_t size = U32(b, at + 4);
    if (size > end - at - 8) RaiseReadError();
    const size_t body = at + 8;
    if (id == "icon") {
      out = b.substr(body, size);
      return true;
    }
    if (id == "LIST" && size >= 4 && FindIconChunk(b, body + 4, body + size, depth + 1, out))
      return true;
    at = body + size + (size & 1);
  }
  return false;
}

}  // namespace

TCursorImage ReadCursorFile(const std::string& bytes) {
  if (bytes.size() >= 12 && bytes.compare(0, 4, "RIFF") == 0 && bytes.compare(8, 4, "ACON") == 0) {
    const size_t end = std::min(bytes.size(), size_t{U32(bytes, 4)} + 8);
    std::string icon;
    if (!FindIconChunk(bytes, 12, end, 0, icon)) RaiseReadError();
    return ReadIconDirectory(icon);
  }
  return ReadIconDirectory(bytes);
}

}  // namespace quen
