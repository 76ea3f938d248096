#include "imaging/png_codec.h"

#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <memory>
#include <vector>

#include "base/error.h"
#include "base/stream.h"
#include "imaging/brix_internal.h"
#include "imaging/pixel_convert.h"

namespace quen {

namespace {

// libpng reports errors by longjmp; the functions that call setjmp hold only plain values,
// so no destructor is skipped.
struct TPngSource {
  const uint8_t* data;
  size_t size;
  size_t at;
};

void ReadFromMemory(png_structp png, png_bytep out, size_t count) {
  auto* src = static_cast<TPngSource*>(png_get_io_ptr(png));
  if (count > src->size - src->at) png_error(png, "read beyond the data");
  std::memcpy(out, src->data + src->at, count);
  src->at += count;
}

void QuietWarning(png_structp, png_const_charp) {}
// Jumps back without the library's own message on the console.
[[noreturn]] void QuietError(png_structp png, png_const_charp) {
  png_longjmp(png, 1);
}

struct TPngInfo {
  png_uint_32 width = 0;
  png_uint_32 height = 0;
  int colorType = 0;
  int channels = 0;
  size_t rowBytes = 0;
  png_color palette[256];
  int paletteSize = 0;
  png_byte transAlpha[256];
  int transCount = 0;
  bool transColor = false;
  png_color_16 trans{};
  int sourceDepth = 0;
};

bool ReadHeader(png_structp png, png_infop info, TPngInfo& out) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_user_limits(png, TDIBSurface::kMaxSide, TDIBSurface::kMaxSide);
  png_read_info(png, info);
  int depth = 0, interlace = 0;
  png_get_IHDR(png, info, &out.width, &out.height, &depth, &out.colorType, &interlace, nullptr,
               nullptr);
  out.sourceDepth = depth;
  if (out.colorType == PNG_COLOR_TYPE_PALETTE) {
    png_colorp pal = nullptr;
    int n = 0;
    if (png_get_PLTE(png, info, &pal, &n) == 0) png_error(png, "no palette");
    out.paletteSize = std::min(n, 256);
    std::memcpy(out.palette, pal, sizeof(png_color) * static_cast<size_t>(out.paletteSize));
  }
  png_bytep alpha = nullptr;
  int count = 0;
  png_color_16p color = nullptr;
  if (png_get_valid(png, info, PNG_INFO_tRNS) &&
      png_get_tRNS(png, info, &alpha, &count, &color) != 0) {
    if (out.colorType == PNG_COLOR_TYPE_PALETTE && alpha) {
      out.transCount = std::min(count, 256);
      std::memcpy(out.transAlpha, alpha, static_cast<size_t>(out.transCount));
    } else if (color) {
      out.transColor = true;
      out.trans = *color;
    }
  }
  if (depth == 16) png_set_strip_16(png);
  if (depth < 8) {
    if (out.colorType == PNG_COLOR_TYPE_GRAY) {
      png_set_expand_gray_1_2_4_to_8(png);
    } else {
      png_set_packing(png);
    }
  }
  if (out.colorType & PNG_COLOR_MASK_COLOR && out.colorType != PNG_COLOR_TYPE_PALETTE) {
    png_set_bgr(png);
  }
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  out.channels = png_get_channels(png, info);
  out.rowBytes = png_get_rowbytes(png, info);
  return true;
}

bool ReadRows(png_structp png, png_bytepp rows) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_read_image(png, rows);
  png_read_end(png, nullptr);
  return true;
}

struct TPngWriteSink {
  TStream* stream;
};

void WriteToStream(png_structp png, png_bytep data, size_t count) {
  auto* sink = static_cast<TPngWriteSink*>(png_get_io_ptr(png));
  if (sink->stream->Write(data, static_cast<int64_t>(count)) != static_cast<int64_t>(count)) {
    png_error(png, "write failed");
  }
}

void Flush(png_structp) {}

bool WriteRows(png_structp png, png_infop info, png_uint_32 w, png_uint_32 h, int colorType,
               png_bytepp rows) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_IHDR(png, info, w, h, 8, colorType, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  png_write_image(png, rows);
  png_write_end(png, nullptr);
  return true;
}

}  // namespace

bool IsPngSignature(const uint8_t* bytes, int64_t size) {
  return size >= 8 && png_sig_cmp(bytes, 0, 8) == 0;
}

void ReadPng(const std::string& bytes, TDIBSurface& picture, int32_t& key) {
  const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
  if (!IsPngSignature(data, static_cast<int64_t>(bytes.size()))) RaiseBrixDamaged("png");
  png_structp png =
      png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, QuietError, QuietWarning);
  if (!png) RaiseBrixDamaged("png");
  png_infop info = png_create_info_struct(png);
  if (!info) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    RaiseBrixDamaged("png");
  }
  struct Closer {
    png_structp* png;
    png_infop* info;
    ~Closer() { png_destroy_read_struct(png, info, nullptr); }
  } closer{&png, &info};
  TPngSource src{data, bytes.size(), 0};
  png_set_read_fn(png, &src, ReadFromMemory);
  auto header = std::make_unique<TPngInfo>();
  TPngInfo& h = *header;
  if (!ReadHeader(png, info, h)) RaiseBrixDamaged("png");
  const auto w = static_cast<int32_t>(h.width), ht = static_cast<int32_t>(h.height);
  if (w <= 0 || ht <= 0) RaiseBrixDamaged("png");
  const bool colour = (h.colorType & PNG_COLOR_MASK_COLOR) && h.colorType != PNG_COLOR_TYPE_PALETTE;
  const bool alpha = (h.colorType & PNG_COLOR_MASK_ALPHA) != 0;
  TDIBSurface pic;
  pic.SetSize(w, ht, colour ? 24 : 8);  // refuses sizes we do not hold
  if (h.rowBytes != static_cast<size_t>(w) * static_cast<size_t>(h.channels)) {
    RaiseBrixDamaged("png");
  }
  // Deflate packs at most 1032 bytes into one: a file too small for its pixels is damaged,
  // and must not make us allocate them.
  const int64_t unpacked = static_cast<int64_t>(h.rowBytes + 1) * ht;
  if (unpacked > TDIBSurface::kMaxBytes ||
      unpacked / 1032 > static_cast<int64_t>(bytes.size()) + 1024) {
    RaiseBrixDamaged("png");
  }
  std::vector<uint8_t> pixels(h.rowBytes * static_cast<size_t>(ht));
  std::vector<png_bytep> rows(static_cast<size_t>(ht));
  for (int32_t y = 0; y < ht; ++y) rows[y] = pixels.data() + h.rowBytes * static_cast<size_t>(y);
  if (!ReadRows(png, rows.data())) RaiseBrixDamaged("png");

  TColorTable& table = pic.ColorTable();
  table.fill(TRGBQuad{});
  if (h.colorType == PNG_COLOR_TYPE_PALETTE) {
    for (int i = 0; i < h.paletteSize; ++i) {
      table[i] = TRGBQuad{h.palette[i].blue, h.palette[i].green, h.palette[i].red, 0};
    }
  } else if (!colour) {
    for (int i = 0; i < 256; ++i) {
      const auto v = static_cast<uint8_t>(i);
      table[i] = TRGBQuad{v, v, v, 0};
    }
  }
  key = -1;
  // Palette alpha: one fully transparent entry is a key, anything finer a mask.
  bool paletteMask = false;
  if (h.transCount > 0) {
    int zeros = 0, partial = 0, zeroAt = -1;
    for (int i = 0; i < h.transCount; ++i) {
      if (h.transAlpha[i] == 0) {
        ++zeros;
        zeroAt = i;
      } else if (h.transAlpha[i] != 255) {
        ++partial;
      }
    }
    if (zeros == 1 && partial == 0) {
      key = zeroAt;
    } else if (zeros + partial > 0) {
      paletteMask = true;
    }
  }
  TDIBSurface* mask = alpha || paletteMask ? &pic.CreateMask() : nullptr;
  const int c = h.channels;
  for (int32_t y = 0; y < ht; ++y) {
    const uint8_t* s = rows[y];
    uint8_t* d = pic.ScanLine(y);
    uint8_t* m = mask ? mask->ScanLine(y) : nullptr;
    for (int32_t x = 0; x < w; ++x) {
      const uint8_t* p = s + static_cast<size_t>(x) * c;
      if (colour) {
        d[3 * x] = p[0], d[3 * x + 1] = p[1], d[3 * x + 2] = p[2];
      } else {
        d[x] = p[0];
      }
      if (alpha) m[x] = p[c - 1];
      if (paletteMask) m[x] = p[0] < h.transCount ? h.transAlpha[p[0]] : 255;
    }
  }
  if (h.transColor && !alpha) {
    const auto narrow = [&](uint32_t v) -> uint32_t {
      if (h.sourceDepth == 16) return v >> 8;
      if (h.sourceDepth < 8) return v * 255 / ((1u << h.sourceDepth) - 1);
      return v & 0xFF;
    };
    if (colour) {
      key = static_cast<int32_t>(
          RgbToPixel(24, narrow(h.trans.red), narrow(h.trans.green), narrow(h.trans.blue)));
    } else {
      key = static_cast<int32_t>(narrow(h.trans.gray));
    }
  }
  picture = pic;
}

void WritePng(TStream& stream, const TDIBSurface& picture) {
  const int32_t w = picture.Width(), h = picture.Height();
  const TDIBSurface* mask = picture.Mask();
  const int channels = mask ? 4 : 3;
  std::vector<uint8_t> pixels(static_cast<size_t>(w) * channels * static_cast<size_t>(h));
  std::vector<png_bytep> rows(static_cast<size_t>(h));
  std::vector<uint8_t> rgb(static_cast<size_t>(TDIBSurface::RowBytes(w, 24)));
  for (int32_t y = 0; y < h; ++y) {
    uint8_t* out = pixels.data() + static_cast<size_t>(y) * w * channels;
    rows[y] = out;
    ConvertRow(picture.ScanLine(y), picture.BitCount(), &picture.ColorTable(), 0, rgb.data(), 24,
               nullptr, 0, w);
    for (int32_t x = 0; x < w; ++x) {
      uint8_t* o = out + static_cast<size_t>(x) * channels;
      o[0] = rgb[3 * x + 2];
      o[1] = rgb[3 * x + 1];
      o[2] = rgb[3 * x];
      if (mask) o[3] = mask->ScanLine(y)[x];
    }
  }
  png_structp png =
      png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, QuietError, QuietWarning);
  if (!png) RaiseWriteError();
  png_infop info = png_create_info_struct(png);
  TPngWriteSink sink{&stream};
  png_set_write_fn(png, &sink, WriteToStream, Flush);
  const bool ok =
      info && WriteRows(png, info, static_cast<png_uint_32>(w), static_cast<png_uint_32>(h),
                        mask ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, rows.data());
  png_destroy_write_struct(&png, &info);
  if (!ok) RaiseWriteError();
}

}  // namespace quen
