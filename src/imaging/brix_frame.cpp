#include "imaging/brix_frame.h"

#include <climits>
#include <cstring>
#include <iterator>

#include "base/error.h"
#include "base/sjis.h"
#include "base/stream.h"
#include "files/messages.h"
#include "imaging/brix_internal.h"
#include "imaging/custom_dibx.h"
#include "imaging/dibx.h"
#include "imaging/pixel_convert.h"
#include "imaging/png_codec.h"
#include "platform/host_fs.h"

namespace quen {

namespace {

// Whether a native pixel value is the key; 24-bit keys compare their low three bytes.
inline bool IsKey(uint32_t pixel, int32_t bits, int32_t key) {
  if (key == -1) return false;
  if (bits == 24) return (pixel & 0xFFFFFF) == (static_cast<uint32_t>(key) & 0xFFFFFF);
  return pixel == static_cast<uint32_t>(key);
}

void MaskFromKey(TDIBSurface& pic, int32_t key) {
  TDIBSurface& mask = pic.CreateMask();
  mask.MakeIndependent();
  const int32_t bits = pic.BitCount();
  for (int32_t y = 0; y < pic.Height(); ++y) {
    const uint8_t* row = pic.ScanLine(y);
    uint8_t* m = mask.ScanLine(y);
    for (int32_t x = 0; x < pic.Width(); ++x) {
      m[x] = IsKey(LoadPixel(row, bits, x), bits, key) ? 0 : 255;
    }
  }
}

void Crop(TDIBSurface& pic, const TRect& box) {
  TDIBSurface out;
  out.SetSize(box.Width(), box.Height(), pic.BitCount());
  out.ColorTable() = pic.ColorTable();
  const int32_t bits = pic.StorageBitCount();
  for (int32_t y = 0; y < box.Height(); ++y) {
    const uint8_t* s = pic.ScanLine(box.Top + y);
    uint8_t* d = out.ScanLine(y);
    if (bits >= 8) {
      std::memcpy(d, s + static_cast<int64_t>(box.Left) * (bits / 8),
                  static_cast<size_t>(box.Width()) * (bits / 8));
    } else {
      for (int32_t x = 0; x < box.Width(); ++x) {
        StorePixel(d, bits, x, LoadPixel(s, bits, box.Left + x));
      }
    }
  }
  if (const TDIBSurface* mask = pic.Mask()) {
    TDIBSurface cropped = *mask;
    cropped.FreeMask();
    Crop(cropped, box);
    out.CreateMask() = cropped;
  }
  pic = out;
}

void ClipRegions(std::vector<TRect>& regions, const TRect& box) {
  std::vector<TRect> kept;
  for (const TRect& r : regions) {
    const TRect c = r.Intersect(box);
    if (!c.IsEmpty()) kept.push_back(c);
  }
  regions = std::move(kept);
}

}  // namespace

TColor BrixKeyColor(const TDIBSurface& pic, int32_t key) {
  if (key == -1) return -1;
  // As the pixel would show when stored in the picture's format.
  uint8_t cell[4] = {0, 0, 0, 0};
  StorePixel(cell, pic.StorageBitCount(), 0, static_cast<uint32_t>(key));
  return PixelToColor(pic.BitCount(), LoadPixel(cell, pic.StorageBitCount(), 0), &pic.ColorTable());
}

void FillBrixBackground(TDIBSurface& pic, TColor color) {
  const int32_t bits = pic.BitCount();
  const uint32_t r = GetRValue(color), g = GetGValue(color), b = GetBValue(color);
  uint32_t pixel;
  if (bits <= 8) {
    int32_t best = 0, bestDist = INT_MAX;
    for (int32_t i = 0; i < (1 << bits); ++i) {
      const TRGBQuad& q = pic.ColorTable()[i];
      const int32_t dr = q.Red - static_cast<int32_t>(r), dg = q.Green - static_cast<int32_t>(g),
                    db = q.Blue - static_cast<int32_t>(b);
      const int32_t dist = dr * dr + dg * dg + db * db;
      if (dist < bestDist) bestDist = dist, best = i;
    }
    pixel = static_cast<uint32_t>(best);
  } else {
    pixel = RgbToPixel(bits, r, g, b);
  }
  if (pic.Height() == 0 || !pic.Bits()) return;
  uint8_t* first = pic.ScanLine(0);
  for (int32_t x = 0; x < pic.Width(); ++x) StorePixel(first, pic.StorageBitCount(), x, pixel);
  for (int32_t y = 1; y < pic.Height(); ++y) {
    std::memcpy(pic.ScanLine(y), first, static_cast<size_t>(pic.Pitch()));
  }
}

int32_t BrixConvertPicture(TDIBSurface& pic, int32_t bits, int32_t key) {
  if (pic.BitCount() == bits) return key;
  TDIBSurface out;
  out.SetSize(pic.Width(), pic.Height(), bits);
  out.ColorTable() = pic.ColorTable();
  ConvertPixels(pic, out);
  int32_t newKey = -1;
  if (key != -1) {
    // The key goes through the same conversion as the pixels, so it still matches them.
    uint8_t from[4] = {0, 0, 0, 0}, to[4] = {0, 0, 0, 0};
    StorePixel(from, pic.StorageBitCount(), 0, static_cast<uint32_t>(key));
    ConvertRow(from, pic.BitCount(), &pic.ColorTable(), 0, to, bits, &out.ColorTable(), 0, 1);
    newKey = static_cast<int32_t>(LoadPixel(to, out.StorageBitCount(), 0));
  }
  if (const TDIBSurface* mask = pic.Mask()) out.CreateMask() = *mask;
  pic = out;
  return newKey;
}

TBrixLayer& TBrixFrame::AddLayer() {
  layers_.push_back(std::make_unique<TBrixLayer>(this));
  return *layers_.back();
}

int32_t TBrixFrame::Width() const {
  return layers_.empty() ? Picture.Width() : layers_[0]->Picture.Width();
}
int32_t TBrixFrame::Height() const {
  return layers_.empty() ? Picture.Height() : layers_[0]->Picture.Height();
}
int32_t TBrixFrame::BitCount() const {
  return layers_.empty() ? Picture.BitCount() : layers_[0]->Picture.BitCount();
}

void TBrixFrame::MakeMask(bool alsoLayers) {
  if (!Picture.Mask() && Picture.Bits()) MaskFromKey(Picture, ColorKey);
  if (!alsoLayers) return;
  for (auto& layer : layers_) {
    if (layer->Picture.Mask() || !layer->Picture.Bits()) continue;
    MaskFromKey(layer->Picture, layer->ColorKey != -1 ? layer->ColorKey : ColorKey);
  }
}

void TBrixFrame::Trim(TRect& rect) {
  const int32_t w = Picture.Width(), h = Picture.Height();
  rect = TRect{0, 0, w, h};
  const TDIBSurface* mask = Picture.Mask();
  if ((!mask && ColorKey == -1) || !Picture.Bits()) return;
  int32_t left = w, top = h, right = 0, bottom = 0;
  const int32_t bits = Picture.BitCount();
  for (int32_t y = 0; y < h; ++y) {
    const uint8_t* row = mask ? mask->ScanLine(y) : Picture.ScanLine(y);
    for (int32_t x = 0; x < w; ++x) {
      const bool shows = mask ? row[x] != 0 : !IsKey(LoadPixel(row, bits, x), bits, ColorKey);
      if (!shows) continue;
      left = std::min(left, x);
      right = std::max(right, x + 1);
      top = std::min(top, y);
      bottom = std::max(bottom, y + 1);
    }
  }
  TRect box{left, top, right, bottom};
  if (box.IsEmpty()) box = TRect{0, 0, 1, 1};
  if (box == rect) return;
  Crop(Picture, box);
  rect = box;
  ClipRegions(DrawRegions, box);
  ClipRegions(SecondRegions, box);
}

void TBrixFrame::CopyToSurface(TCustomDIBX& surface) const {
  surface.SetSize(Picture.Width(), Picture.Height(), surface.BitCount());
  surface.CopyFromPicture(Picture);
  if (surface.BitCount() == 32) {
    // The fourth byte of a 32-bit surface is never picture content.
    for (int32_t y = 0; y < surface.Height(); ++y) {
      uint8_t* row = surface.PixelAddress(0, y);
      if (!row) break;
      for (int32_t x = 0; x < surface.Width(); ++x) row[4 * x + 3] = 0;
      surface.Unlock();
    }
  }
  if (auto* memory = dynamic_cast<TDIBX*>(&surface)) memory->MakeIndependent();
  surface.SetRegions(DrawRegions, SecondRegions);
}

void TBrixFrame::CopyMaskToSurface(TDIBX& surface) const {
  const TDIBSurface* mask = Picture.Mask();
  if (!mask) return;
  surface.SetSize(mask->Width(), mask->Height(), 8);
  surface.CopyFromPicture(*mask);
}

void TBrixFrame::CopyMaskToBitmap(TDIBSurface& bitmap) const {
  const TDIBSurface* mask = Picture.Mask();
  if (!mask) return;
  bitmap = *mask;
  bitmap.FreeMask();
  for (int i = 0; i < 256; ++i) {
    const auto v = static_cast<uint8_t>(i);
    bitmap.ColorTable()[i] = TRGBQuad{v, v, v, 0};
  }
}

TBrixFrameList::TBrixFrameList(TBrixFrameList&& other) noexcept {
  *this = std::move(other);
}

TBrixFrameList& TBrixFrameList::operator=(TBrixFrameList&& other) noexcept {
  if (this == &other) return *this;
  BackgroundColor = other.BackgroundColor;
  Version = other.Version;
  TargetBitCount = other.TargetBitCount;
  DefaultBitCount = other.DefaultBitCount;
  Key = other.Key;
  OpaqueBottom = other.OpaqueBottom;
  MaxDecodedBytes = other.MaxDecodedBytes;
  frames_ = std::move(other.frames_);
  other.frames_.clear();
  for (auto& frame : frames_) frame->Owner = this;
  return *this;
}

TBrixFrame& TBrixFrameList::AddFrame() {
  frames_.push_back(std::make_unique<TBrixFrame>(this));
  return *frames_.back();
}

void TBrixFrameList::MakeMasks(bool alsoLayers) {
  for (auto& frame : frames_) frame->MakeMask(alsoLayers);
}

void TBrixFrameList::LoadFromFile(const std::string& path, bool firstFrameOnly, bool keepLayers,
                                  bool makeMasks) {
  const size_t dot = path.find_last_of('.');
  const size_t slash = path.find_last_of("/\\");
  std::string ext = dot == std::string::npos || (slash != std::string::npos && dot < slash)
                        ? std::string()
                        : sjis::LowerAscii(path.substr(dot));
  if (ext != ".brx" && ext != ".png" && ext != ".bmp" && ext != ".dib") return;
  std::string bytes;
  if (!platform::ReadWholeFile(path, bytes)) RaiseErrorFmt(msg::kFileNotFound, path.c_str());
  TKvMemoryStream stream(std::move(bytes));
  if (ext == ".brx") {
    LoadFromStream(stream, firstFrameOnly, keepLayers, makeMasks);
  } else if (ext == ".png") {
    LoadPng(stream);
  } else {
    LoadBitmap(stream);
  }
}

void TBrixFrameList::LoadPng(TStream& stream) {
  Clear();
  TDIBSurface pic;
  int32_t key = -1;
  ReadPng(ReadBytes(stream, stream.Remaining()), pic, key);
  TBrixFrame& frame = AddFrame();
  frame.Picture = pic;
  frame.ColorKey = key;
  frame.ColorKeyColor = BrixKeyColor(pic, key);
}

void TBrixFrameList::LoadBitmap(TStream& stream) {
  Clear();
  TDIBSurface pic;
  pic.LoadFromBitmapStream(stream);
  if (pic.BitCount() == 32) {
    // The fourth byte of every pixel is the mask, also when all of them are 0.
    TDIBSurface& mask = pic.CreateMask();
    for (int32_t y = 0; y < pic.Height(); ++y) {
      const uint8_t* row = pic.ScanLine(y);
      uint8_t* m = mask.ScanLine(y);
      for (int32_t x = 0; x < pic.Width(); ++x) m[x] = row[4 * x + 3];
    }
    BrixConvertPicture(pic, 24, -1);
  }
  TBrixFrame& frame = AddFrame();
  frame.Picture = pic;
}

}  // namespace quen
