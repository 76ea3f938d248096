#include "imaging/wipe_mosaic.h"

#include <algorithm>

#include "imaging/wipe_util.h"

namespace quen {

namespace {

constexpr int64_t kLargestK = 263;

}  // namespace

void TWipeMosaic::PrepareKind() {
  const int32_t w = std::max<int32_t>(1, static_cast<int32_t>((W() / 4) * kLargestK >> 8));
  const int32_t h = std::max<int32_t>(1, static_cast<int32_t>((H() / 4) * kLargestK >> 8));
  if (buffer_.Width() != w || buffer_.Height() != h || buffer_.BitCount() != Bits())
    buffer_.SetSize(w, h, Bits());
}

void TWipeMosaic::DrawStep() {
  const int64_t u = wipe::MulDiv(Now(), 1023, T());
  const int64_t qw = W() / 4, qh = H() / 4;
  int64_t k, w, h;
  if (u <= 511) {
    k = u <= 255 ? 263 - (u / 2) * 15 / 16 : 263 - (((u / 2) * 15) >> 4);
    w = std::max<int64_t>(1, (qw * k) >> 8);
    h = std::max<int64_t>(1, (k * qh) >> 8);
  } else {
    k = ((u - 512) / 2) * 15 / 16 + 24;
    w = qw * k > 255 ? (qw * k) >> 8 : 1;
    h = qh * k > 255 ? (qh * k) >> 8 : 1;
  }
  const TRect corner{0, 0, static_cast<int32_t>(w), static_cast<int32_t>(h)};
  const TRect whole{0, 0, W(), H()};
  buffer_.StretchDraw(corner, u >= 768 ? To() : From(), 255, false, false, false, whole);
  if (u >= 256 && u <= 511)
    buffer_.StretchDraw(corner, To(), static_cast<int32_t>((u - 256) / 4), false, false, false,
                        whole);
  else if (u >= 512 && u <= 767)
    buffer_.StretchDraw(corner, To(), static_cast<int32_t>((u - 256) / 2), false, false, false,
                        whole);
  Target().StretchDraw(whole, buffer_, 255, false, false, false, corner);
}

}  // namespace quen
