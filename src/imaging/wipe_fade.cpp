#include "imaging/wipe_fade.h"

#include <algorithm>

#include "imaging/wipe_util.h"

namespace quen {

using wipe::MulDiv;
using wipe::Round32;

namespace {

uint32_t Grey(TCustomDIBX& s, int64_t level) {
  const auto g = static_cast<uint32_t>(std::clamp<int64_t>(level, 0, 255));
  return static_cast<uint32_t>(s.ColorToPixel(static_cast<TColor>(g | (g << 8) | (g << 16))));
}

}  // namespace

void TWipeFade::DrawStep() {
  const double r = static_cast<double>(T() - Now() - 1) / static_cast<double>(T());
  Target().Assign(From());
  Target().DrawAlpha(Round32(r * P0()), Round32(r * P1()),
                     static_cast<int32_t>(MulDiv(Now(), 256, T())), false, false, false,
                     TRect{0, 0, W(), H()}, To());
}

void TWipeScrollH::DrawStep() {
  const auto a = static_cast<int32_t>(MulDiv(W(), Now(), T()));
  const TRect whole{0, 0, W(), H()};
  Target().Draw(Reverse() ? a : -a, 0, false, false, false, whole, From());
  Target().Draw(Reverse() ? a - W() : W() - a, 0, false, false, false, whole, To());
}

void TWipeScrollV::DrawStep() {
  const auto a = static_cast<int32_t>(MulDiv(H(), Now(), T()));
  const TRect whole{0, 0, W(), H()};
  Target().Draw(0, Reverse() ? a : -a, false, false, false, whole, From());
  Target().Draw(0, Reverse() ? a - H() : H() - a, false, false, false, whole, To());
}

void TWipeWhite::DrawStep() {
  const int64_t a = MulDiv(Now(), 511, T());
  if (a > 510) return;
  const TRect whole{0, 0, W(), H()};
  Target().Assign(a < 256 ? From() : To());
  Tint(whole, Grey(Target(), a < 256 ? a : 511 - a));
}

void TWipeWhite::Tint(const TRect& whole, uint32_t grey) {
  Target().FillRectAdd(whole, grey);
}

void TWipeBlack::Tint(const TRect& whole, uint32_t grey) {
  Target().FillRectSub(whole, grey);
}

void TWipeFlash::DrawStep() {
  const int64_t b = MulDiv(Now(), 255, T());
  Target().Assign(To());
  Target().FillRectAdd(TRect{0, 0, W(), H()}, Grey(Target(), 255 - b));
}

void TWipeSmall::DrawStep() {
  const double t = static_cast<double>(Now()), total = static_cast<double>(T());
  const int32_t z = Round32((total - t - 1) / total * 255);
  const double turn = static_cast<double>(P0()) * t / total;
  Target().Assign(To());
  TCustomDIBX& from = From();
  Target().DrawRotZoom(W() / 2, H() / 2, z, false, false, false, Round32(Reverse() ? -turn : turn),
                       from.Height() / 2, from.Width() / 2,
                       TRect{0, 0, from.Width(), from.Height()}, from, z, z);
}

void TWipeBig::DrawStep() {
  const double t = static_cast<double>(Now()), total = static_cast<double>(T());
  const int32_t z = Round32(t / total * 255);
  const double turn = static_cast<double>(P0()) * (total - t - 1) / total;
  Target().Assign(From());
  TCustomDIBX& to = To();
  Target().DrawRotZoom(W() / 2, H() / 2, z, false, false, false, Round32(Reverse() ? -turn : turn),
                       to.Height() / 2, to.Width() / 2, TRect{0, 0, to.Width(), to.Height()}, to, z,
                       z);
}

void TWipeZoomin::DrawStep() {
  const double d = 2.0 * static_cast<double>(Now()) / static_cast<double>(T());
  const bool first = d <= 1;
  const double s = first ? 1 - d : d - 1, f = first ? d : 2 - d;
  const int32_t w = std::max(1, Round32(W() * s)), h = std::max(1, Round32(H() * s));
  auto start = [&](int32_t p, int32_t size, int32_t part) {
    const int64_t at = int64_t{Round32((p - size / 2.0) * f)} + size / 2 - part / 2;
    return static_cast<int32_t>(std::clamp<int64_t>(at, 0, size - part));
  };
  const int32_t left = start(P0(), W(), w), top = start(P1(), H(), h);
  Target().StretchDraw(TRect{0, 0, W(), H()}, first ? From() : To(), 255, false, false, false,
                       TRect{left, top, left + w, top + h});
}

}  // namespace quen
