#include "imaging/custom_dibx.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "base/sjis.h"
#include "base/stream.h"
#include "imaging/pixel_convert.h"
#include "imaging/surface_access.h"
#include "platform/host_fs.h"

namespace quen {

using detail::TApply;
using detail::TBlendKind;
using detail::TBlit;
using detail::TView;

namespace {

TCustomDIBX::TPictureReader gPictureReader = nullptr;

uint32_t MaxPixel(int32_t bits) {
  return bits >= 32 ? 0xFFFFFFFFu : (1u << (bits == 15 ? 16 : bits)) - 1;
}

void Blit(TCustomDIBX& dst, int32_t x, int32_t y, TRect srcRect, TCustomDIBX& source,
          TCustomDIBX* mask, bool flipV, bool flipH, bool transparent, TApply apply) {
  apply.ops = GetRowOps(dst.BitCount());
  if (!apply.ops || apply.kind == TBlendKind::None) return;
  if (mask && mask->BitCount() != 8) return;
  int32_t limitW = source.Width(), limitH = source.Height();
  if (mask) {
    limitW = std::min(limitW, mask->Width());
    limitH = std::min(limitH, mask->Height());
  }
  if (!detail::ClampSource(srcRect, x, y, flipV, flipH, limitW, limitH)) return;
  TBlit b;
  if (!detail::ClipBlit(dst.ClipRect(), x, y, srcRect, flipV, flipH, b)) return;
  detail::TDrawViews views(dst, source, mask);
  if (!views.Ok()) return;
  detail::TView& dv = views.dst;
  detail::TView& sv = views.src;
  detail::TView* mv = views.Mask();
  detail::TRowFetcher fetch(sv, dv.Bits(), b.w);
  apply.key = transparent ? fetch.ConvertKey(source.ColorKey()) : -1;
  // Whole rows of the same layout, copied unkeyed and unflipped, are one block of memory.
  const bool keyless = apply.key < 0 || apply.key > static_cast<int64_t>(MaxPixel(dv.Bits()));
  if (apply.kind == TBlendKind::Copy && keyless && !b.flipH && !b.flipV && sv.Bits() == dv.Bits() &&
      b.dx == 0 && b.sx == 0 && b.w == dv.Width() && b.w == sv.Width() &&
      dst.Pitch() == source.Pitch() && dst.Pitch() > 0 && &source != &dst) {
    std::memmove(dv.Row(b.dy), sv.Row(b.sy), static_cast<size_t>(dst.Pitch()) * b.h);
    return;
  }
  std::vector<uint8_t> mbuf;
  for (int32_t r = 0; r < b.h; ++r) {
    const int64_t srow = b.flipV ? b.sy - r : b.sy + r;
    const uint8_t* s = fetch.Fetch(srow, b.sx, b.flipH);
    const uint8_t* m = mv ? detail::FetchMaskRow(*mv, mbuf, srow, b.sx, b.w, b.flipH) : nullptr;
    apply.Run(dv.At(b.dx, b.dy + r), s, m, b.w);
  }
}

TApply Kind(TBlendKind kind, int32_t factor) {
  TApply a;
  a.kind = factor <= 0 ? TBlendKind::None : kind;
  a.factor = static_cast<uint32_t>(std::min(factor, 255));
  return a;
}

template <class Fn>
void FillRows(TCustomDIBX& dst, const TRect& rect, Fn fn) {
  const TRect r = rect.Intersect(dst.ClipRect());
  if (r.IsEmpty()) return;
  const TRowOps* ops = GetRowOps(dst.BitCount());
  if (!ops) return;
  TView dv(dst);
  if (!dv.Ok()) return;
  for (int32_t y = r.Top; y < r.Bottom; ++y) fn(*ops, dv.At(r.Left, y), r.Width());
}

}  // namespace

uint32_t TCustomDIBX::GetPixel(int32_t x, int32_t y) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
  uint8_t* p = PixelAddress(0, y);
  if (!p) return 0;
  const uint32_t v = LoadPixel(p, BitCount(), x);
  Unlock();
  return v;
}

void TCustomDIBX::SetPixel(int32_t x, int32_t y, uint32_t pixel) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  uint8_t* p = PixelAddress(0, y);
  if (!p) return;
  StorePixel(p, BitCount(), x, pixel);
  Unlock();
}

int32_t TCustomDIBX::BlueShift() {
  return 0;
}
int32_t TCustomDIBX::GreenShift() {
  switch (BitCount()) {
    case 15:
    case 16:
      return 5;
    case 24:
    case 32:
      return 8;
    default:
      return 0;
  }
}
int32_t TCustomDIBX::RedShift() {
  switch (BitCount()) {
    case 15:
      return 10;
    case 16:
      return 11;
    case 24:
    case 32:
      return 16;
    default:
      return 0;
  }
}

void TCustomDIBX::SetSize(int32_t width, int32_t height, int32_t /*bits*/) {
  width_ = width;
  height_ = height;
}

void TCustomDIBX::AddUpdateRect(const TRect& rect) {
  const TRect r = rect.Intersect(TRect{0, 0, width_, height_});
  if (r.IsEmpty()) return;
  update_rect_ = update_rect_.Right == 0 ? r : update_rect_.Union(r);
}

TRect TCustomDIBX::ClipRect() const {
  const TRect whole{0, 0, width_, height_};
  return update_rect_.Right == 0 ? whole : update_rect_.Intersect(whole);
}

int32_t TCustomDIBX::ColorToPixel(TColor color) {
  if (color < 0) return -1;
  const int32_t bits = BitCount();
  // 24 bits hold blue, green, red like 32 bits; passing the colour through would swap red
  // and blue.
  if (bits == 15 || bits == 16 || bits == 24 || bits == 32) {
    return static_cast<int32_t>(
        RgbToPixel(bits, GetRValue(color), GetGValue(color), GetBValue(color)));
  }
  return color;
}

TColor TCustomDIBX::PixelToColor(uint32_t pixel) {
  return quen::PixelToColor(BitCount(), pixel, Palette());
}

void TCustomDIBX::FillRect(const TRect& rect, uint32_t pixel) {
  FillRows(*this, rect, [&](const TRowOps& ops, uint8_t* d, int32_t n) { ops.Fill(d, n, pixel); });
}

void TCustomDIBX::FillRectAlpha(const TRect& rect, uint32_t pixel, int32_t alpha) {
  if (alpha <= 0) return;
  const uint32_t a = static_cast<uint32_t>(std::min(alpha, 255));
  FillRows(*this, rect,
           [&](const TRowOps& ops, uint8_t* d, int32_t n) { ops.FillAlpha(d, n, pixel, a); });
}

void TCustomDIBX::FillRectAdd(const TRect& rect, uint32_t pixel) {
  FillRows(*this, rect,
           [&](const TRowOps& ops, uint8_t* d, int32_t n) { ops.FillAdd(d, n, pixel); });
}

void TCustomDIBX::FillRectSub(const TRect& rect, uint32_t pixel) {
  FillRows(*this, rect,
           [&](const TRowOps& ops, uint8_t* d, int32_t n) { ops.FillSub(d, n, pixel); });
}

namespace {

int32_t Clamp32(int64_t v) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

template <class Fn>
void FrameBands(const TRect& r, int32_t width, Fn band) {
  if (r.IsEmpty() || width <= 0) return;
  // Worked in 64 bits: lines as wide as the coordinate range must not wrap.
  const int64_t L = r.Left, T = r.Top, R = r.Right, B = r.Bottom, w = width;
  band(TRect{r.Left, r.Top, r.Right, Clamp32(T + w)});
  band(TRect{r.Left, Clamp32(B - w), r.Right, r.Bottom});
  if (B - T - 2 * w > 0) {
    band(TRect{r.Left, Clamp32(T + w), Clamp32(L + w), Clamp32(B - w)});
    band(TRect{Clamp32(R - w), Clamp32(T + w), r.Right, Clamp32(B - w)});
  }
}

}  // namespace

void TCustomDIBX::FrameRect(const TRect& rect, int32_t width, uint32_t pixel) {
  FrameBands(rect, width, [&](const TRect& b) { FillRect(b, pixel); });
}

void TCustomDIBX::FrameRectAlpha(const TRect& rect, int32_t width, int32_t alpha, uint32_t pixel) {
  if (alpha <= 0) return;
  FrameBands(rect, width, [&](const TRect& b) { FillRectAlpha(b, pixel, alpha); });
}

void TCustomDIBX::FrameRectAdd(const TRect& rect, int32_t width, uint32_t pixel) {
  FrameBands(rect, width, [&](const TRect& b) { FillRectAdd(b, pixel); });
}

void TCustomDIBX::Assign(TCustomDIBX& source) {
  if (&source == this) return;
  if (width_ == source.Width() && height_ == source.Height() && BitCount() == source.BitCount() &&
      Pitch() == source.Pitch() && !IsEmpty()) {
    TView dv(*this);
    TView sv(source);
    if (dv.Ok() && sv.Ok()) {
      // Same layout: one block, whatever the row order.
      const int64_t pitch = Pitch();
      const int64_t bytes = (pitch < 0 ? -pitch : pitch) * height_;
      uint8_t* d = pitch < 0 ? dv.Row(height_ - 1) : dv.Row(0);
      const uint8_t* s = pitch < 0 ? sv.Row(height_ - 1) : sv.Row(0);
      std::memcpy(d, s, static_cast<size_t>(bytes));
    }
    return;
  }
  Draw(0, 0, false, false, false, TRect{0, 0, source.Width(), source.Height()}, source);
}

void TCustomDIBX::Draw(int32_t x, int32_t y, bool flipV, bool flipH, bool transparent,
                       TRect srcRect, TCustomDIBX& source) {
  TApply a;
  a.kind = TBlendKind::Copy;
  Blit(*this, x, y, srcRect, source, nullptr, flipV, flipH, transparent, a);
}

void TCustomDIBX::DrawMask(int32_t x, int32_t y, TCustomDIBX& mask, bool flipV, bool flipH,
                           TRect srcRect, TCustomDIBX& source) {
  TApply a;
  a.kind = TBlendKind::Mask;
  Blit(*this, x, y, srcRect, source, &mask, flipV, flipH, false, a);
}

void TCustomDIBX::DrawAlpha(int32_t x, int32_t y, int32_t alpha, bool flipV, bool flipH,
                            bool transparent, TRect srcRect, TCustomDIBX& source) {
  Blit(*this, x, y, srcRect, source, nullptr, flipV, flipH, transparent,
       Kind(TBlendKind::Alpha, alpha));
}

void TCustomDIBX::DrawAlphaMask(int32_t x, int32_t y, int32_t alpha, TCustomDIBX& mask, bool flipV,
                                bool flipH, TRect srcRect, TCustomDIBX& source) {
  Blit(*this, x, y, srcRect, source, &mask, flipV, flipH, false,
       Kind(TBlendKind::AlphaMask, alpha));
}

void TCustomDIBX::DrawAdd(int32_t x, int32_t y, int32_t level, bool flipV, bool flipH,
                          bool transparent, TRect srcRect, TCustomDIBX& source) {
  Blit(*this, x, y, srcRect, source, nullptr, flipV, flipH, transparent,
       Kind(TBlendKind::Add, level));
}

void TCustomDIBX::DrawAddMask(int32_t x, int32_t y, int32_t level, TCustomDIBX& mask, bool flipV,
                              bool flipH, TRect srcRect, TCustomDIBX& source) {
  Blit(*this, x, y, srcRect, source, &mask, flipV, flipH, false, Kind(TBlendKind::AddMask, level));
}

void TCustomDIBX::DrawColorMask(int32_t x, int32_t y, uint32_t pixel, int32_t alpha, bool flipV,
                                bool flipH, TRect srcRect, TCustomDIBX& mask) {
  if (alpha <= 0 || mask.BitCount() != 8) return;
  // The coverage must hold the whole source rectangle.
  if (srcRect.Left < 0 || srcRect.Top < 0 || srcRect.Right > mask.Width() ||
      srcRect.Bottom > mask.Height()) {
    return;
  }
  const TRowOps* ops = GetRowOps(BitCount());
  TBlit b;
  if (!ops || !detail::ClipBlit(ClipRect(), x, y, srcRect, flipV, flipH, b)) return;
  TView dv(*this);
  TView mv(mask);
  if (!dv.Ok() || !mv.Ok()) return;
  const uint32_t a = static_cast<uint32_t>(std::min(alpha, 255));
  std::vector<uint8_t> mbuf;
  for (int32_t r = 0; r < b.h; ++r) {
    const int64_t srow = b.flipV ? b.sy - r : b.sy + r;
    const uint8_t* m = detail::FetchMaskRow(mv, mbuf, srow, b.sx, b.w, b.flipH);
    ops->ColorMask(dv.At(b.dx, b.dy + r), m, b.w, pixel, a);
  }
}

void TCustomDIBX::LoadFromFile(const std::string& path) {
  if (path.size() < 4 || !sjis::EqualsNoCase(path.substr(path.size() - 4), ".bmp")) return;
  std::string bytes;
  if (!platform::ReadWholeFile(path, bytes)) return;
  TKvMemoryStream stream(std::move(bytes));
  LoadFromStream(stream, 0);
}

void TCustomDIBX::LoadFromStream(TStream& stream, int32_t option) {
  const int64_t start = stream.GetPosition();
  char head[2] = {0, 0};
  const int64_t got = stream.Read(head, 2);
  stream.SetPosition(start);
  TDIBSurface picture;
  if (got == 2 && head[0] == 'B' && head[1] == 'M') {
    picture.LoadFromBitmapStream(stream);
  } else if (!gPictureReader || !gPictureReader(stream, option, picture)) {
    return;
  }
  SetSize(picture.Width(), picture.Height(), picture.BitCount());
  CopyFromPicture(picture);
}

void TCustomDIBX::SetPictureReader(TPictureReader reader) {
  gPictureReader = reader;
}

void TCustomDIBX::SaveToFile(const std::string& path) {
  if (path.size() < 4 || !sjis::EqualsNoCase(path.substr(path.size() - 4), ".bmp")) return;
  TKvMemoryStream out;
  SaveToStream(out);
  if (!platform::WriteFileAtomically(path, out.Data())) RaiseWriteError();
}

void TCustomDIBX::SaveToStream(TStream& stream) {
  TDIBSurface picture;
  CopyToPicture(picture);
  picture.SaveToBitmapStream(stream, 24);
}

void TCustomDIBX::CopyFromPicture(const TDIBSurface& picture) {
  if (BitCount() <= 8 && picture.BitCount() <= 8) {
    if (TColorTable* table = Palette()) *table = picture.ColorTable();
  }
  TView dv(*this);
  if (!dv.Ok() || !picture.Bits()) return;
  const int32_t w = std::min(dv.Width(), picture.Width());
  const int32_t h = std::min(dv.Height(), picture.Height());
  for (int32_t y = 0; y < h; ++y) {
    ConvertRow(picture.ScanLine(y), picture.BitCount(), &picture.ColorTable(), 0, dv.Row(y),
               dv.Bits(), Palette(), 0, w);
  }
}

void TCustomDIBX::CopyToPicture(TDIBSurface& picture) {
  picture.SetSize(width_, height_, BitCount());
  if (TColorTable* table = Palette()) picture.ColorTable() = *table;
  TView sv(*this);
  if (!sv.Ok()) return;
  const int32_t rowBytes = TDIBSurface::RowBytes(width_, StorageBitCount());
  for (int32_t y = 0; y < height_; ++y) {
    std::memcpy(picture.ScanLine(y), sv.Row(y), static_cast<size_t>(rowBytes));
  }
}

void TCustomDIBX::GetPaletteEntries(TPaletteEntry* entries, int32_t start, int32_t count) {
  const TColorTable* table = Palette();
  for (int32_t i = 0; i < count; ++i) {
    const int32_t k = start + i;
    if (!table || k < 0 || k > 255) {
      entries[i] = TPaletteEntry{};
    } else {
      entries[i] = TPaletteEntry{(*table)[k].Red, (*table)[k].Green, (*table)[k].Blue, 0};
    }
  }
}

void TCustomDIBX::SetPaletteEntries(const TPaletteEntry* entries, int32_t start, int32_t count) {
  TColorTable* table = Palette();
  if (!table) return;
  for (int32_t i = 0; i < count; ++i) {
    const int32_t k = start + i;
    if (k >= 0 && k <= 255) {
      (*table)[k] = TRGBQuad{entries[i].Blue, entries[i].Green, entries[i].Red, 0};
    }
  }
}

}  // namespace quen
