#include "imaging/surface_access.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "imaging/pixel_convert.h"

namespace quen::detail {

TView::TView(TCustomDIBX& s) : s_(s) {
  w_ = s.Width();
  h_ = s.Height();
  if (w_ <= 0 || h_ <= 0) return;
  uint8_t* p = s.PixelAddress(0, 0);
  if (!p) return;
  locked_ = true;
  base_ = p;
  pitch_ = s.Pitch();
  bits_ = s.BitCount();
  palette_ = s.Palette();
  bpp_ = bits_ < 8 ? 1 : BytesPerPixel(bits_);
}

TView::~TView() {
  if (locked_) s_.Unlock();
}

void TView::Detach() {
  if (!base_) return;
  const int64_t rowBytes = std::abs(pitch_);
  copy_.resize(static_cast<size_t>(rowBytes * h_));
  for (int32_t y = 0; y < h_; ++y) std::memcpy(copy_.data() + y * rowBytes, Row(y), rowBytes);
  base_ = copy_.data();
  pitch_ = rowBytes;
}

void TApply::Run(uint8_t* d, const uint8_t* s, const uint8_t* m, int32_t n) const {
  if (n <= 0) return;
  switch (kind) {
    case TBlendKind::None:
      break;
    case TBlendKind::Copy:
      ops->CopyKey(d, s, n, key);
      break;
    case TBlendKind::Alpha:
      ops->Alpha(d, s, n, factor, key);
      break;
    case TBlendKind::Add:
      ops->Add(d, s, n, factor, key);
      break;
    case TBlendKind::Mask:
      ops->Mask(d, s, m, n);
      break;
    case TBlendKind::AlphaMask:
      ops->AlphaMask(d, s, m, n, factor);
      break;
    case TBlendKind::AddMask:
      ops->AddMask(d, s, m, n, factor);
      break;
  }
}

TApply ApplyForBlend(int32_t blend, bool masked, int64_t key, const TRowOps* ops) {
  TApply a;
  a.ops = ops;
  a.key = masked ? -1 : key;
  if (blend <= 0) return a;
  if (blend < 255) {
    a.kind = masked ? TBlendKind::AlphaMask : TBlendKind::Alpha;
    a.factor = static_cast<uint32_t>(blend);
  } else if (blend == 255) {
    a.kind = masked ? TBlendKind::Mask : TBlendKind::Copy;
  } else {
    a.kind = masked ? TBlendKind::AddMask : TBlendKind::Add;
    a.factor = static_cast<uint32_t>(std::min(blend - 256, 255));
    if (a.factor == 0) a.kind = TBlendKind::None;
  }
  return a;
}

TRowFetcher::TRowFetcher(const TView& src, int32_t dstBits, int32_t n)
    : src_(src), dst_bits_(dstBits) {
  const size_t bytes = static_cast<size_t>(std::max(n, 0)) * 4 + 4;
  buf_.resize(bytes);
  if (src.Bits() != dstBits) tmp_.resize(bytes);
}

namespace {

void Reverse(uint8_t* dst, const uint8_t* src, int32_t n, int bpp) {
  for (int32_t i = 0; i < n; ++i)
    std::memcpy(dst + static_cast<int64_t>(i) * bpp, src - static_cast<int64_t>(i) * bpp, bpp);
}

}  // namespace

const uint8_t* TRowFetcher::Fetch(int64_t row, int64_t first, bool reversed) {
  const int32_t n = static_cast<int32_t>(buf_.size() / 4 - 1);
  const int32_t sb = src_.Bits();
  const uint8_t* r = src_.Row(row);
  if (sb == dst_bits_ && sb >= 8) {
    const int bpp = src_.Bpp();
    if (!reversed) return r + first * bpp;
    if (bpp == 4) {
      uint32_t* out = reinterpret_cast<uint32_t*>(buf_.data());
      for (int32_t i = 0; i < n; ++i) std::memcpy(out + i, r + (first - i) * 4, 4);
    } else if (bpp == 2) {
      uint16_t* out = reinterpret_cast<uint16_t*>(buf_.data());
      for (int32_t i = 0; i < n; ++i) std::memcpy(out + i, r + (first - i) * 2, 2);
    } else {
      Reverse(buf_.data(), r + first * bpp, n, bpp);
    }
    return buf_.data();
  }
  // Another depth: convert the span in reading order, then reverse when flipped.
  const int64_t left = reversed ? first - n + 1 : first;
  uint8_t* conv = reversed ? tmp_.data() : buf_.data();
  ConvertRow(r, sb, src_.Palette(), static_cast<int32_t>(left), conv, dst_bits_, nullptr, 0, n);
  if (reversed) {
    const int bpp = BytesPerPixel(dst_bits_);
    Reverse(buf_.data(), conv + static_cast<int64_t>(n - 1) * bpp, n, bpp);
  }
  return buf_.data();
}

const uint8_t* TRowFetcher::Gather(int64_t row, const int32_t* cols, int32_t n) {
  const int32_t sb = src_.Bits();
  const uint8_t* r = src_.Row(row);
  if (sb == dst_bits_ && sb >= 8) {
    switch (src_.Bpp()) {
      case 4: {
        const uint32_t* in = reinterpret_cast<const uint32_t*>(r);
        uint32_t* out = reinterpret_cast<uint32_t*>(buf_.data());
        for (int32_t i = 0; i < n; ++i) std::memcpy(out + i, in + cols[i], 4);
        break;
      }
      case 2: {
        uint16_t* out = reinterpret_cast<uint16_t*>(buf_.data());
        for (int32_t i = 0; i < n; ++i) std::memcpy(out + i, r + 2 * int64_t{cols[i]}, 2);
        break;
      }
      default: {
        const int bpp = src_.Bpp();
        for (int32_t i = 0; i < n; ++i)
          std::memcpy(buf_.data() + i * bpp, r + int64_t{cols[i]} * bpp, bpp);
      }
    }
    return buf_.data();
  }
  for (int32_t i = 0; i < n; ++i) {
    ConvertRow(r, sb, src_.Palette(), cols[i], buf_.data(), dst_bits_, nullptr, i, 1);
  }
  return buf_.data();
}

int64_t TRowFetcher::ConvertKey(int32_t key) const {
  if (key == -1) return -1;
  if (src_.Bits() == dst_bits_) return static_cast<uint32_t>(key);
  const TColor c = PixelToColor(src_.Bits(), static_cast<uint32_t>(key), src_.Palette());
  return RgbToPixel(dst_bits_, GetRValue(c), GetGValue(c), GetBValue(c));
}

const uint8_t* FetchMaskRow(const TView& mask, std::vector<uint8_t>& buf, int64_t row,
                            int64_t first, int32_t n, bool reversed) {
  const uint8_t* r = mask.Row(row);
  if (!reversed) return r + first;
  buf.resize(static_cast<size_t>(std::max(n, 0)) + 1);
  for (int32_t i = 0; i < n; ++i) buf[i] = r[first - i];
  return buf.data();
}

bool ClampSource(TRect& src, int32_t& x, int32_t& y, bool flipV, bool flipH, int32_t limitW,
                 int32_t limitH) {
  if (src.IsEmpty()) return false;
  int64_t nx = x, ny = y;
  if (src.Left < 0) {
    if (!flipH) nx += -int64_t{src.Left};
    src.Left = 0;
  }
  if (src.Right > limitW) {
    if (flipH) nx += int64_t{src.Right} - limitW;
    src.Right = limitW;
  }
  if (src.Top < 0) {
    if (!flipV) ny += -int64_t{src.Top};
    src.Top = 0;
  }
  if (src.Bottom > limitH) {
    if (flipV) ny += int64_t{src.Bottom} - limitH;
    src.Bottom = limitH;
  }
  if (src.IsEmpty() || nx > INT32_MAX || ny > INT32_MAX) return false;
  x = static_cast<int32_t>(nx);
  y = static_cast<int32_t>(ny);
  return true;
}

bool ClipBlit(const TRect& clip, int32_t x, int32_t y, const TRect& src, bool flipV, bool flipH,
              TBlit& out) {
  if (src.IsEmpty()) return false;
  const int64_t w = int64_t{src.Right} - src.Left, h = int64_t{src.Bottom} - src.Top;
  const int64_t l = std::max<int64_t>(x, clip.Left), t = std::max<int64_t>(y, clip.Top);
  const int64_t r = std::min<int64_t>(x + w, clip.Right), b = std::min<int64_t>(y + h, clip.Bottom);
  if (r <= l || b <= t) return false;
  const int64_t kx = l - x, ky = t - y;
  out.dx = static_cast<int32_t>(l);
  out.dy = static_cast<int32_t>(t);
  out.w = static_cast<int32_t>(r - l);
  out.h = static_cast<int32_t>(b - t);
  out.sx = flipH ? int64_t{src.Right} - 1 - kx : src.Left + kx;
  out.sy = flipV ? int64_t{src.Bottom} - 1 - ky : src.Top + ky;
  out.flipH = flipH;
  out.flipV = flipV;
  return true;
}

bool MakeStretchMap(const TRect& destRect, const TRect& srcRect, const TRect& clip, bool flipV,
                    bool flipH, TStretchMap& out) {
  if (destRect.IsEmpty() || srcRect.IsEmpty() || clip.IsEmpty()) return false;
  const double stepX =
      static_cast<double>(srcRect.Width()) / (int64_t{destRect.Right} - destRect.Left);
  const double stepY =
      static_cast<double>(srcRect.Height()) / (int64_t{destRect.Bottom} - destRect.Top);
  constexpr int64_t kBig = int64_t{1} << 46;
  // Cuts on the left and top advance the source by whole pixels and keep the fraction.
  const double fx = (int64_t{clip.Left} - destRect.Left) * stepX;
  const double fy = (int64_t{clip.Top} - destRect.Top) * stepY;
  const int64_t ix = TruncClamp(fx, 0, kBig), iy = TruncClamp(fy, 0, kBig);
  const int64_t fracX = TruncClamp((fx - static_cast<double>(ix)) * 65536.0, 0, 65535);
  const int64_t fracY = TruncClamp((fy - static_cast<double>(iy)) * 65536.0, 0, 65535);
  const int64_t step16X = TruncClamp(stepX * 65536.0, 0, kBig);
  const int64_t step16Y = TruncClamp(stepY * 65536.0, 0, kBig);
  const int64_t startX =
      flipH ? (srcRect.Right - ix) * 65536 - fracX - 1 : (srcRect.Left + ix) * 65536 + fracX;
  out.startY =
      flipV ? (srcRect.Bottom - iy) * 65536 - fracY - 1 : (srcRect.Top + iy) * 65536 + fracY;
  out.dirY = flipV ? -step16Y : step16Y;
  out.srcTop = srcRect.Top;
  out.srcBottom = srcRect.Bottom;
  const int64_t dirX = flipH ? -step16X : step16X;
  const int32_t cw = clip.Width();
  out.cols.resize(static_cast<size_t>(cw));
  for (int32_t j = 0; j < cw; ++j) {
    const int64_t c = (startX + j * dirX) >> 16;
    out.cols[j] = static_cast<int32_t>(std::clamp<int64_t>(c, srcRect.Left, srcRect.Right - 1));
  }
  return true;
}

int64_t TruncClamp(double v, int64_t lo, int64_t hi) {
  if (std::isnan(v)) return 0;
  if (v <= static_cast<double>(lo)) return lo;
  if (v >= static_cast<double>(hi)) return hi;
  return static_cast<int64_t>(v);
}

}  // namespace quen::detail
