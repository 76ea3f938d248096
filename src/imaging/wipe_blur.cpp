#include "imaging/wipe_blur.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "imaging/pixel_rules.h"
#include "imaging/wipe_util.h"

namespace quen {

namespace {

// Pixels as channels: three bit fields at 15 and 16 bits, the bytes at the other depths.
template <int D>
struct TChannels {
  static constexpr int kCount = D == 15 || D == 16 ? 3 : pixel::TFormat<D>::kBytes;
  static void Split(const uint8_t* row, int32_t x, uint32_t* out) {
    if constexpr (D == 15 || D == 16) {
      const uint32_t p = pixel::Load<D>(row, x);
      out[0] = p >> (D == 16 ? 11 : 10);
      out[1] = (p >> 5) & (D == 16 ? 63 : 31);
      out[2] = p & 31;
    } else {
      for (int c = 0; c < kCount; ++c) out[c] = row[x * kCount + c];
    }
  }
  static void Join(uint8_t* row, int32_t x, const uint32_t* in) {
    if constexpr (D == 15 || D == 16) {
      pixel::Store<D>(row, x, (in[0] << (D == 16 ? 11 : 10)) | (in[1] << 5) | in[2]);
    } else {
      for (int c = 0; c < kCount; ++c) row[x * kCount + c] = static_cast<uint8_t>(in[c]);
    }
  }
};

// Exact sum / count for sums below 2^32: a reciprocal in double, mended by one step.
inline uint32_t Divide(uint32_t sum, uint32_t count, double inverse) {
  auto q = static_cast<uint32_t>(sum * inverse);
  if (static_cast<uint64_t>(q) * count > sum) --q;
  if (static_cast<uint64_t>(q + 1) * count <= sum) ++q;
  return q;
}

// Running sums: down each column over the rows of the window, then along the row over the
// columns of the window; one division per channel at the end. The counts of a window cut at
// the edges are the products of the rows and columns it keeps.
template <int D>
void Blur(detail::TView& src, detail::TView& dst, int32_t radius) {
  using C = TChannels<D>;
  constexpr int K = C::kCount;
  const int32_t w = src.Width(), h = src.Height();
  std::vector<uint32_t> column(static_cast<size_t>(w) * K, 0);
  uint32_t px[4];
  auto addRow = [&](int32_t y, bool add) {
    const uint8_t* row = src.Row(y);
    for (int32_t x = 0; x < w; ++x) {
      C::Split(row, x, px);
      uint32_t* col = &column[static_cast<size_t>(x) * K];
      for (int c = 0; c < K; ++c) col[c] = add ? col[c] + px[c] : col[c] - px[c];
    }
  };
  for (int32_t y = 0; y < std::min(radius, h); ++y) addRow(y, true);
  auto span = [&](int32_t at, int32_t size) {
    return static_cast<uint32_t>(std::min(at + radius, size - 1) - std::max(at - radius, 0) + 1);
  };
  for (int32_t y = 0; y < h; ++y) {
    if (y + radius < h) addRow(y + radius, true);
    if (y - radius - 1 >= 0) addRow(y - radius - 1, false);
    const uint32_t rows = span(y, h);
    uint32_t sum[4] = {0, 0, 0, 0};
    for (int32_t x = 0; x < std::min(radius, w); ++x) {
      for (int c = 0; c < K; ++c) sum[c] += column[static_cast<size_t>(x) * K + c];
    }
    uint8_t* out = dst.Row(y);
    uint32_t lastCount = 0;
    double inv = 0;
    for (int32_t x = 0; x < w; ++x) {
      if (x + radius < w) {
        for (int c = 0; c < K; ++c) sum[c] += column[static_cast<size_t>(x + radius) * K + c];
      }
      if (x - radius - 1 >= 0) {
        for (int c = 0; c < K; ++c) sum[c] -= column[static_cast<size_t>(x - radius - 1) * K + c];
      }
      const uint32_t count = rows * span(x, w);
      if (count != lastCount) {
        lastCount = count;
        inv = 1.0 / count;
      }
      uint32_t avg[4];
      for (int c = 0; c < K; ++c) avg[c] = Divide(sum[c], count, inv);
      C::Join(out, x, avg);
    }
  }
}

}  // namespace

void BoxBlur(TCustomDIBX& source, TDIBX& out, int32_t radius) {
  const int32_t bits = source.BitCount();
  if (out.Width() != source.Width() || out.Height() != source.Height() || out.BitCount() != bits)
    out.SetSize(source.Width(), source.Height(), bits);
  if (source.IsEmpty()) return;
  detail::TView src(source), dst(out);
  if (!src.Ok() || !dst.Ok()) return;
  radius = std::max(radius, 0);
  wipe::ForDepth(bits, [&](auto depth) { Blur<decltype(depth)::value>(src, dst, radius); });
}

void TWipeBlurWhite::PrepareKind() {
  blurred_ = false;
}

void TWipeBlurWhite::Tint(uint32_t grey) {
  Target().FillRectAdd(TRect{0, 0, W(), H()}, grey);
}

void TWipeBlurBlack::Tint(uint32_t grey) {
  Target().FillRectSub(TRect{0, 0, W(), H()}, grey);
}

void TWipeBlurWhite::DrawStep() {
  if (!blurred_) {
    const int32_t radius = std::min(W(), H()) / 20;
    BoxBlur(From(), blurred_from_, radius);
    BoxBlur(To(), blurred_to_, radius);
    blurred_ = true;
  }
  const int64_t u = wipe::MulDiv(Now(), 639, T());
  const TRect whole{0, 0, W(), H()};
  auto grey = [&](int64_t level) {
    const auto g = static_cast<uint32_t>(std::clamp<int64_t>(level, 0, 255));
    return static_cast<uint32_t>(Target().ColorToPixel(static_cast<TColor>(g | g << 8 | g << 16)));
  };
  if (u < 256) {
    Target().Assign(From());
    Target().DrawAlpha(0, 0, static_cast<int32_t>(u), false, false, false, whole, blurred_from_);
  } else if (u < 320) {
    Target().Assign(blurred_from_);
    Tint(grey((u - 256) * 4));
  } else if (u < 384) {
    Target().Assign(blurred_to_);
    Tint(grey((383 - u) * 4));
  } else {
    Target().Assign(To());
    Target().DrawAlpha(0, 0, static_cast<int32_t>(639 - u), false, false, false, whole,
                       blurred_to_);
  }
}

}  // namespace quen
