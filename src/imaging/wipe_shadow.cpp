#include "imaging/wipe_shadow.h"

#include <algorithm>

#include "imaging/pixel_rules.h"
#include "imaging/wipe_picture.h"
#include "imaging/wipe_util.h"

namespace quen {

using wipe::MulDiv;

void TWipeShadow::PrepareMask() {
  greys_ = WipeGreys(PictureName(), W(), H(), Reverse());
  binary_ = false;
}

bool TWipeShadow::UpdateMask() {
  const int64_t k = MulDiv(Now(), 512, T()) + 255;
  if (!Advance(k)) return false;
  // clamp(k + grey − 511, 0, 255)
  const int32_t shift = static_cast<int32_t>(std::clamp<int64_t>(k - 511, -512, 512));
  for (int32_t y = 0; y < H(); ++y) {
    uint8_t* m = MaskRow(y);
    const uint8_t* g = &greys_[static_cast<size_t>(y) * static_cast<size_t>(W())];
    for (int32_t x = 0; x < W(); ++x) m[x] = static_cast<uint8_t>(std::clamp(g[x] + shift, 0, 255));
  }
  return true;
}

void TWipeShadowWhite::PrepareKind() {
  greys_ = WipeGreys(PictureName(), W(), H(), Reverse());
  grey_pixels_ = wipe::GreyPixels(Bits());
  // Level of index k + grey − 255: 0 up to 255, then index − 256 up to 767, then 511.
  for (int32_t i = 0; i < 1024; ++i)
    levels_[static_cast<size_t>(i)] = static_cast<uint16_t>(i <= 255   ? 0
                                                            : i <= 767 ? i - 256
                                                                       : 511);
}

template <int D>
void TWipeShadowWhite::Draw() {
  wipe::TWipeViews v(Target(), From(), To());
  if (!v.Ok()) return;
  const int64_t k = MulDiv(Now(), 768, T()) + 255;
  // What a place of each grey shows now: which picture, and the grey added to it.
  std::array<uint32_t, 256> tint{};
  std::array<bool, 256> late{};
  for (int32_t g = 0; g < 256; ++g) {
    const uint32_t level = levels_[static_cast<size_t>(std::clamp<int64_t>(k + g - 255, 0, 1023))];
    late[static_cast<size_t>(g)] = level > 255;
    tint[static_cast<size_t>(g)] = grey_pixels_[level <= 255 ? level : 511 - level];
  }
  const bool dark = Darkens();
  for (int32_t y = 0; y < H(); ++y) {
    uint8_t* d = v.dst.Row(y);
    const uint8_t* f = v.from.Row(y);
    const uint8_t* t = v.to.Row(y);
    const uint8_t* g = &greys_[static_cast<size_t>(y) * static_cast<size_t>(W())];
    for (int32_t x = 0; x < W(); ++x) {
      const uint32_t base = pixel::Load<D>(late[g[x]] ? t : f, x), c = tint[g[x]];
      uint32_t out;
      if constexpr (D == 32) {
        out = dark ? wipe::SubBytes(base, c) : wipe::AddBytes(base, c);
      } else {
        out = dark ? pixel::SubSat<D>(base, c) : pixel::AddSat<D>(base, c);
      }
      pixel::Store<D>(d, x, out);
    }
  }
}

void TWipeShadowWhite::DrawStep() {
  wipe::ForDepth(Bits(), [&](auto depth) { Draw<decltype(depth)::value>(); });
}

}  // namespace quen
