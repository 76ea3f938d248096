// Transitions at the level of the kinds: the table of kinds, the shapes of the mask kinds,
// the repeating mask on every depth, the blur, time that runs backwards or out of range,
// parameters that change after preparation, and the picture the mask kinds read.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>

#include "expr/random_source.h"
#include "files/file_manager.h"
#include "imaging/brix_hooks.h"
#include "imaging/custom_wipe.h"
#include "imaging/png_writer.h"
#include "imaging/wipe_blur.h"
#include "imaging/wipe_crack.h"
#include "imaging/wipe_picture.h"
#include "support/surface_helpers.h"
#include "support/temp_dir.h"

namespace quen {
namespace {

struct TPair {
  std::unique_ptr<TDIBX> target, from, to;
  TPair(int32_t w, int32_t h, int32_t bits, uint32_t seed = 1) {
    std::mt19937 rng(seed);
    from = testing::Noise(w, h, bits, rng);
    to = testing::Noise(w, h, bits, rng);
    target = testing::Clone(*from);
  }
  std::unique_ptr<TCustomWipe> Make(int32_t kind, int32_t duration = 1000) {
    auto w = CreateWipe(kind, *target, *from, *to);
    if (w) w->SetDuration(duration);
    return w;
  }
};

void StepAt(TCustomWipe& w, int32_t t) {
  w.SetElapsed(t);
  w.Step();
}

TEST(WipeKinds, CodesDefaultsAndLimits) {
  TPair p(8, 8, 32);
  EXPECT_EQ(p.Make(WP_NONE), nullptr);
  for (int32_t k : {-5, 39, 99}) {
    EXPECT_EQ(WipeKindInfo(k), nullptr) << k;
    EXPECT_EQ(CreateWipe(k, *p.target, *p.from, *p.to), nullptr) << k;
  }
  EXPECT_STREQ(WipeKindInfo(WP_NONE)->Ident, "WP_NONE");
  for (int32_t k = 1; k <= kWipeKindCount; ++k) {
    const TWipeKindInfo* info = WipeKindInfo(k);
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->Code, k);
    ASSERT_NE(p.Make(k), nullptr) << info->Ident;
  }
  // The defaults as the kinds limit them: mask kinds take p0 >= 2 and p1 >= 1, so the clock
  // hand starts at 2 degrees; curtains take both >= 1; chips are at least 16 wide.
  struct {
    int32_t kind, setP0, setP1, p0, p1;
  } const cases[] = {
      {WP_BLINDH, 0, 0, 2, 1},    {WP_BLINDH, 1, -7, 2, 1},   {WP_GRID, 5, 0, 5, 1},
      {WP_CURTAINH, 0, 0, 1, 1},  {WP_CURTAINV, -3, 9, 1, 9}, {WP_CRACK, 3, -1, 16, 0},
      {WP_CRACK, 40, 2, 40, 2},   {WP_FADE, -9, -9, -9, -9},  {WP_RIPPLE, 0, 0, 0, 0},
      {WP_CLOCKHAND, 0, 0, 2, 1}, {WP_BLOCKCOIL, 0, 0, 2, 1}, {WP_DITHER, 100, 100, 100, 100},
  };
  for (const auto& c : cases) {
    auto w = p.Make(c.kind);
    w->SetParam(0, c.setP0);
    w->SetParam(1, c.setP1);
    EXPECT_EQ(w->GetParam(0), c.p0) << c.kind;
    EXPECT_EQ(w->GetParam(1), c.p1) << c.kind;
  }
  auto clock = p.Make(WP_CLOCKHAND);
  EXPECT_EQ(clock->GetParam(0), 2);
  auto crack = p.Make(WP_CRACK);
  EXPECT_EQ(crack->GetParam(0), 64);
  EXPECT_EQ(crack->GetParam(1), 3);
}

// The circle is the disc of pixel centres nearer than c + 1/2 to the middle; a sector holds
// the centres whose direction lies in its sweep.
TEST(WipeMaskShapes, DiscAndSectorFollowThePixelCentres) {
  for (auto [w, h] : {std::pair{41, 30}, std::pair{40, 31}, std::pair{7, 7}}) {
    TPair p(w, h, 32);
    auto circle = p.Make(WP_CIRCLE);
    auto* mask = static_cast<TWipeMask*>(circle.get());
    const double far = std::sqrt(double((w / 2) * (w / 2) + (h / 2) * (h / 2)));
    for (int32_t t : {0, 1, 333, 500, 999}) {
      StepAt(*circle, t);
      const int64_t c = std::llround(std::nearbyint(far * t / 1000));
      for (int32_t y = 0; y < h; ++y) {
        for (int32_t x = 0; x < w; ++x) {
          const int64_t px = 2 * x + 1 - w, py = 2 * y + 1 - h;
          const bool inside = c > 0 && px * px + py * py < (2 * c + 1) * (2 * c + 1);
          ASSERT_EQ(mask->Mask().GetPixel(x, y), inside ? 255u : 0u) << w << " " << t;
        }
      }
    }
    auto hand = p.Make(WP_CLOCKHAND);
    hand->SetParam(0, 30);
    auto* hmask = static_cast<TWipeMask*>(hand.get());
    StepAt(*hand, 400);
    const double start = 30 * std::numbers::pi / 180 - std::numbers::pi / 2;
    const double sweep = 2 * std::numbers::pi * 0.4;
    for (int32_t y = 0; y < h; ++y) {
      for (int32_t x = 0; x < w; ++x) {
        const double px = 2.0 * x + 1 - w, py = 2.0 * y + 1 - h;
        if (px == 0 && py == 0) continue;
        double a = std::atan2(py, px) - start;
        while (a < 0) a += 2 * std::numbers::pi;
        while (a >= 2 * std::numbers::pi) a -= 2 * std::numbers::pi;
        if (std::fabs(a) < 1e-9 || std::fabs(a - sweep) < 1e-9) continue;
        EXPECT_EQ(hmask->Mask().GetPixel(x, y), a <= sweep ? 255u : 0u) << x << "," << y;
      }
    }
    // Reversed, the disc of the old picture covers the whole screen at the start.
    auto back = p.Make(WP_CIRCLE);
    back->SetReverse(true);
    StepAt(*back, 0);
    EXPECT_EQ(testing::Pixels(*p.target), testing::Pixels(*p.from));
  }
}

// Every depth reads mask row y mod MaskHeight: the dither's 64 rows and a blind's band repeat
// down a picture taller than they are.
TEST(WipeMaskPass, TheMaskRepeatsDownwardsAtEveryDepth) {
  for (int32_t bits : {8, 15, 16, 24, 32}) {
    for (int32_t kind : {WP_DITHER, WP_BLINDV, WP_BLINDH, WP_MASKFADE}) {
      TPair p(70, 150, bits, static_cast<uint32_t>(kind));
      auto w = p.Make(kind);
      w->SetParam(0, 9);
      w->SetParam(1, 5);
      auto* mask = static_cast<TWipeMask*>(w.get());
      StepAt(*w, 430);
      const int32_t rows = mask->Mask().Height();
      ASSERT_EQ(rows, kind == WP_DITHER ? 64 : kind == WP_BLINDV ? 9 : kind == WP_BLINDH ? 1 : 150);
      auto blend = [&](uint32_t f, uint32_t t, uint32_t m) {
        // The plain rule, on a surface of the same depth.
        TDIBX one;
        one.SetSize(1, 1, bits);
        one.SetPixel(0, 0, f);
        TDIBX src, msk;
        src.SetSize(1, 1, bits);
        src.SetPixel(0, 0, t);
        msk.SetSize(1, 1, 8);
        msk.SetPixel(0, 0, m);
        one.DrawMask(0, 0, msk, false, false, TRect{0, 0, 1, 1}, src);
        return one.GetPixel(0, 0);
      };
      for (int32_t y = 0; y < 150; y += 7) {
        for (int32_t x = 0; x < 70; x += 3) {
          const uint32_t m = mask->Mask().GetPixel(x, y % rows);
          const uint32_t want = m == 0     ? p.from->GetPixel(x, y)
                                : m == 255 ? p.to->GetPixel(x, y)
                                           : blend(p.from->GetPixel(x, y), p.to->GetPixel(x, y), m);
          ASSERT_EQ(p.target->GetPixel(x, y), want)
              << bits << " kind " << kind << " " << x << "," << y;
        }
      }
    }
  }
}

TEST(WipeBlur, RunningSumsGiveTheAverageOfTheWindow) {
  std::mt19937 rng(7);
  for (int32_t bits : {15, 16, 24, 32}) {
    for (auto [w, h, r] :
         {std::tuple{13, 9, 2}, std::tuple{5, 17, 3}, std::tuple{8, 8, 0}, std::tuple{6, 4, 9}}) {
      auto src = testing::Noise(w, h, bits, rng);
      TDIBX out;
      BoxBlur(*src, out, r);
      ASSERT_EQ(out.BitCount(), bits);
      // Channels as the pixel format holds them: bit fields at 15 and 16, bytes otherwise.
      const int32_t fields = bits == 15 || bits == 16 ? 3 : bits / 8;
      auto channel = [&](uint32_t p, int32_t c) -> uint32_t {
        if (bits == 16) return c == 0 ? p >> 11 : c == 1 ? (p >> 5) & 63 : p & 31;
        if (bits == 15) return c == 0 ? p >> 10 : c == 1 ? (p >> 5) & 31 : p & 31;
        return (p >> (8 * (fields - 1 - c))) & 255;
      };
      for (int32_t y = 0; y < h; ++y) {
        for (int32_t x = 0; x < w; ++x) {
          for (int32_t c = 0; c < fields; ++c) {
            uint32_t sum = 0, n = 0;
            for (int32_t v = std::max(0, y - r); v <= std::min(h - 1, y + r); ++v) {
              for (int32_t u = std::max(0, x - r); u <= std::min(w - 1, x + r); ++u) {
                sum += channel(src->GetPixel(u, v), c);
                ++n;
              }
            }
            ASSERT_EQ(channel(out.GetPixel(x, y), c), sum / n) << bits << " " << x << "," << y;
          }
        }
      }
    }
  }
}

// Time below 0 counts as 0, a duration of 0 or less is over, and the kinds that only ever add
// to their picture start over when a film runs backwards.
TEST(WipeTime, BackwardsAndOutOfRange) {
  TPair p(33, 21, 32);
  for (int32_t kind = 1; kind <= kWipeKindCount; ++kind) {
    auto w = p.Make(kind);
    w->SetElapsed(-50);
    EXPECT_FALSE(w->Step()) << kind;
    w->SetElapsed(1000);
    EXPECT_TRUE(w->Step()) << kind;
    EXPECT_EQ(w->ChangedRect(), (TRect{0, 0, 33, 21}));
    w->SetDuration(0);
    w->SetElapsed(-1);
    EXPECT_TRUE(w->Step()) << kind;
    // A target without pixels (blocks of size 0, an endless spiral) draws nothing and ends on
    // time.
    TDIBX empty;
    empty.Clear();
    auto none = CreateWipe(kind, empty, *p.from, *p.to);
    none->SetDuration(100);
    none->Prepare();
    none->SetElapsed(50);
    EXPECT_FALSE(none->Step()) << kind;
    none->SetElapsed(100);
    EXPECT_TRUE(none->Step()) << kind;
  }
  struct {
    int32_t kind;
    bool reverse;
  } const growing[] = {{WP_BLOCKCOIL, false}, {WP_BLOCKCOIL, true}, {WP_BLOCKRANDOM, false},
                       {WP_CRACK, false},     {WP_GRID, false},     {WP_CLOCKHAND, true}};
  for (const auto& g : growing) {
    SetRandomSeed(11);
    TPair a(40, 30, 16), b(40, 30, 16);
    auto wa = a.Make(g.kind), wb = b.Make(g.kind);
    wa->SetParam(0, 16);
    wb->SetParam(0, 16);
    wa->SetReverse(g.reverse);
    wa->Prepare();
    SetRandomSeed(11);
    wb->SetReverse(g.reverse);
    wb->Prepare();
    for (int32_t t : {0, 700, 900}) StepAt(*wa, t);
    StepAt(*wa, 250);
    StepAt(*wb, 250);
    EXPECT_EQ(testing::Pixels(*a.target), testing::Pixels(*b.target)) << g.kind;
  }
}

// A driver may set parameters after Prepare, or never prepare: Step prepares again when
// something changed, and only then (films set the direction every frame).
TEST(WipePrepare, RebuildsOnlyWhatChanged) {
  TPair p(50, 40, 32);
  SetRandomSeed(3);
  auto w = p.Make(WP_CRACK);
  w->SetParam(0, 25);
  StepAt(*w, 10);  // never prepared
  auto* crack = static_cast<TWipeCrack*>(w.get());
  ASSERT_EQ(crack->Chips().size(), 4u);
  const TRect first = crack->Chips()[0].Home;
  std::vector<int32_t> drifts;
  for (const auto& c : crack->Chips()) drifts.push_back(c.Drift);
  for (int i = 0; i < 5; ++i) {
    w->SetReverse(false);
    w->SetParam(0, 25);
    StepAt(*w, 20 + i);
  }
  std::vector<int32_t> again;
  for (const auto& c : crack->Chips()) again.push_back(c.Drift);
  EXPECT_EQ(again, drifts);
  EXPECT_EQ(crack->Chips()[0].Home, first);
  w->SetParam(0, 16);
  StepAt(*w, 30);
  EXPECT_EQ(crack->Chips().size(), 12u);
  // A target that changes size is prepared for its new size.
  p.target->SetSize(20, 10, 32);
  auto blind = p.Make(WP_BLINDV);
  blind->SetParam(0, 1000);
  StepAt(*blind, 500);
  EXPECT_EQ(static_cast<TWipeMask*>(blind.get())->Mask().Height(), 10);
}

TEST(WipePicture, GreysByLuminanceTiledAndFromTheFileManager) {
  InstallBrixHooks();
  testing::TempDir dir;
  TDIBX picture;
  picture.SetSize(3, 2, 32);
  const TColor colours[6] = {0x0000FF, 0x00FF00, 0xFF0000, 0x808080, 0xFFFFFF, 0x102030};
  for (int32_t i = 0; i < 6; ++i)
    picture.SetPixel(i % 3, i / 3, static_cast<uint32_t>(picture.ColorToPixel(colours[i])));
  dir.Write("mask.png", EncodePng(picture));
  dir.Write("broken.png", EncodePng(picture).substr(0, 40));
  auto fm = std::make_unique<TVrFileManager>();
  fm->SetGameFolder(dir.Path());
  SetFileManager(std::move(fm));
  int32_t keys = 0;
  SetWipePictureLoader(FileManagerWipeLoader([&] { return ++keys; }));
  auto grey = [](TColor c, bool rev) {
    uint32_t r = c & 255, g = (c >> 8) & 255, b = (c >> 16) & 255;
    if (rev) r = 255 - r, g = 255 - g, b = 255 - b;
    return static_cast<uint8_t>((299 * r + 587 * g + 114 * b + 500) / 1000);
  };
  for (bool rev : {false, true}) {
    const std::vector<uint8_t> greys = WipeGreys("MASK.PNG", 5, 3, rev);
    ASSERT_EQ(greys.size(), 15u);
    for (int32_t y = 0; y < 3; ++y) {
      for (int32_t x = 0; x < 5; ++x)
        EXPECT_EQ(greys[y * 5 + x], grey(colours[(y % 2) * 3 + x % 3], rev)) << x << "," << y;
    }
  }
  EXPECT_EQ(keys, 2);
  for (const char* name : {"broken.png", "missing.png", ""})
    EXPECT_EQ(WipeGreys(name, 4, 2, false), std::vector<uint8_t>(8, 255)) << name;
  SetWipePictureLoader(nullptr);
  SetFileManager(nullptr);
}

}  // namespace
}  // namespace quen
