// Screen changes driven through the registry with the real transitions, frame by frame, the
// way the flip command drives them: start, a frame of waiting, the start time, then the
// elapsed time set on whatever transition the registry runs, and the swap once the time is up.
#include <gtest/gtest.h>

#include <climits>

#include "base/error.h"
#include "components/install_transitions.h"
#include "imaging/pixel_rules.h"
#include "imaging/wipe_picture.h"
#include "support/scene.h"

namespace quen {
namespace {

using test::Scene;

constexpr TColor kOld = 0x2040C0, kNew = 0x80FF10;

struct TFlip {
  TQuenBaseList& reg;
  int32_t duration;
  int state = 0;
  int32_t start = 0;
  bool done = false;

  void Start(int32_t kind, bool reverse = false, std::optional<int32_t> p0 = {},
             std::optional<int32_t> p1 = {}, std::optional<std::string> picture = {}) {
    if (!reg.StartTransition(reg.ActiveIndex(), kind, duration, false, 1, reverse)) return;
    TCustomWipe* w = reg.RunningTransition();
    if (p0) w->SetParam(0, *p0);
    if (p1) w->SetParam(1, *p1);
    if (picture) w->SetPicture(*picture);
    w->Prepare();
  }
  // The command's turn in a frame, before the update and draw passes.
  void Execute(int32_t clock) {
    if (state < 2) {
      if (state++ == 1) start = clock;
      return;
    }
    const int32_t elapsed = clock - start;
    // Asked for every frame: a screen switch or a reset may have freed it.
    TCustomWipe* w = reg.RunningTransition();
    if (elapsed < (w ? w->Duration() : duration)) {
      if (w) w->SetElapsed(elapsed);
      return;
    }
    if (!done) reg.StartTransition(reg.ActiveIndex() ^ 1, 0, 0, true, 0, 0);
    done = true;
  }
};

// Two full-screen boxes, the old one shown; bits 0 keeps the registry's own 32-bit screen.
struct TStage {
  Scene s;
  TDIBX screen;
  int32_t clock = 0;
  explicit TStage(int32_t w = 40, int32_t h = 30, int32_t bits = 0) : s(w, h) {
    if (bits) {
      screen.SetSize(w, h, bits);
      s.reg.SetScreen(&screen);
      s.reg.RestoreAllSurfaces();
    }
    s.Make("old", 0, 0, w, h, &s.reg.Root(0))->WriteProp(PR_COLOR, TPropValue::OfInt(kOld));
    s.Make("new", 0, 0, w, h, &s.reg.Root(1))->WriteProp(PR_COLOR, TPropValue::OfInt(kNew));
    InstallTransitions(s.reg, [] { return 0; });
    s.Frame();
  }
  // One frame with the command's turn in it; the screen it shows.
  TCustomDIBX& Frame(TFlip& flip) {
    s.reg.ProcessInput(16);
    flip.Execute(clock);
    s.reg.UpdateAll(16);
    s.reg.DrawAll();
    s.reg.ClearDirty();
    clock += 16;
    return s.reg.Screen();
  }
  bool Shows(TColor c) {
    TCustomDIBX& sc = s.reg.Screen();
    const auto p = static_cast<uint32_t>(sc.ColorToPixel(c));
    for (int32_t y = 0; y < sc.Height(); ++y) {
      for (int32_t x = 0; x < sc.Width(); ++x) {
        if (sc.GetPixel(x, y) != p) return false;
      }
    }
    return true;
  }
  // Runs a whole flip; false when it has not ended within twice its time.
  bool Run(TFlip& flip) {
    for (int i = 0; i < 2 * flip.duration / 16 + 4 && !flip.done; ++i) Frame(flip);
    if (flip.done) Frame(flip);
    return flip.done;
  }
};

TEST(FlipThroughTheRegistry, FadeShowsTheOldScreenTwiceThenEveryBlendThenTheNew) {
  for (int32_t bits : {0, 16}) {
    TStage st(40, 30, bits);
    TFlip flip{st.s.reg, 480};
    flip.Start(WP_FADE);
    ASSERT_NE(st.s.reg.RunningTransition(), nullptr);
    st.Frame(flip);
    EXPECT_TRUE(st.Shows(kOld));
    st.Frame(flip);
    EXPECT_TRUE(st.Shows(kOld));
    TCustomDIBX& sc = st.s.reg.Screen();
    const auto from = static_cast<uint32_t>(sc.ColorToPixel(kOld));
    const auto to = static_cast<uint32_t>(sc.ColorToPixel(kNew));
    int blends = 0;
    for (int32_t t = 16; t < 480; t += 16, ++blends) {
      st.Frame(flip);
      const auto a = static_cast<uint32_t>(t * 256 / 480);
      const uint32_t want =
          bits == 16 ? pixel::Blend<16>(from, to, a) : pixel::Blend<32>(from, to, a);
      ASSERT_EQ(sc.GetPixel(7, 9), want) << bits << " t=" << t;
      ASSERT_EQ(sc.GetPixel(39, 29), want) << bits << " t=" << t;
    }
    EXPECT_EQ(blends, 29);
    st.Frame(flip);
    EXPECT_TRUE(flip.done);
    EXPECT_EQ(st.s.reg.RunningTransition(), nullptr);
    EXPECT_EQ(st.s.reg.ActiveIndex(), 1);
    EXPECT_TRUE(st.Shows(kNew)) << bits;
  }
}

TEST(FlipThroughTheRegistry, ScrollPushesAtItsBoundary) {
  TStage st(40, 30);
  TFlip flip{st.s.reg, 480};
  flip.Start(WP_SCROLLH);
  st.Frame(flip);
  st.Frame(flip);
  TCustomDIBX& sc = st.s.reg.Screen();
  const auto to = static_cast<uint32_t>(sc.ColorToPixel(kNew));
  for (int32_t t = 16; t < 480; t += 16) {
    st.Frame(flip);
    const int32_t boundary = 40 - 40 * t / 480;
    for (int32_t x = 0; x < 40; ++x) ASSERT_EQ(sc.GetPixel(x, 5) == to, x >= boundary) << t;
  }
}

TEST(FlipThroughTheRegistry, UnknownKindsCutWithoutAMiddlePicture) {
  for (int32_t kind : {99, -5}) {
    TStage st;
    TFlip flip{st.s.reg, 480};
    flip.Start(kind);
    EXPECT_EQ(st.s.reg.RunningTransition(), nullptr);
    EXPECT_FALSE(st.s.reg.TransitionRunning());
    int old = 0;
    while (!flip.done) {
      st.Frame(flip);
      if (st.Shows(kOld))
        ++old;
      else
        EXPECT_TRUE(st.Shows(kNew));
    }
    EXPECT_EQ(old, 31);  // the command's own duration: the frames of a fade before the new screen
    st.Frame(flip);
    EXPECT_TRUE(st.Shows(kNew)) << kind;
  }
}

TEST(FlipThroughTheRegistry, EveryKindFlipsInTurn) {
  TStage st;
  for (int32_t kind = 1; kind <= kWipeKindCount; ++kind) {
    const TColor shown = kind % 2 ? kOld : kNew;
    ASSERT_TRUE(st.Shows(shown)) << kind;
    TFlip flip{st.s.reg, 160};
    flip.Start(kind, kind % 3 == 0);
    ASSERT_NE(st.s.reg.RunningTransition(), nullptr) << kind;
    EXPECT_TRUE(st.Run(flip)) << kind;
    EXPECT_TRUE(st.Shows(kind % 2 ? kNew : kOld)) << kind;
  }
}

// A screen too small for ripples and blocks, parameters from a hostile script, mask pictures
// that are missing, damaged or empty, and the screen switched or reset in the middle: every
// flip ends, and ends on the new screen.
TEST(FlipThroughTheRegistry, HostileFlipsEndNormally) {
  auto brokenPictures = [](const std::string& name, TDIBSurface& picture) {
    if (name == "damaged") RaiseError("damaged picture");
    if (name == "empty") picture.SetSize(0, 0, 32);
    return name == "empty";
  };
  struct {
    int32_t kind;
    std::optional<int32_t> p0, p1;
    std::optional<std::string> picture;
  } const cases[] = {
      {WP_RIPPLE, INT_MAX, INT_MIN, {}},    {WP_RIPPLE, INT_MIN, INT_MAX, {}},
      {WP_BLOCKCOIL, INT_MAX, INT_MAX, {}}, {WP_BLOCKCOIL, 0, INT_MIN, {}},
      {WP_GRIDH, INT_MAX, 1, {}},           {WP_CRACK, INT_MAX, INT_MAX, {}},
      {WP_BLINDV, INT_MAX, INT_MAX, {}},    {WP_SMALL, INT_MIN, 0, {}},
      {WP_MASKFADE, {}, {}, "missing"},     {WP_MASKWHITE, {}, {}, "damaged"},
      {WP_MASKBLACK, {}, {}, "empty"},      {WP_ZOOMIN, INT_MAX, INT_MIN, {}},
  };
  for (const auto& c : cases) {
    TStage st(10, 8);
    SetWipePictureLoader(brokenPictures);
    TFlip flip{st.s.reg, 320};
    flip.Start(c.kind, false, c.p0, c.p1, c.picture);
    EXPECT_TRUE(st.Run(flip)) << c.kind;
    EXPECT_TRUE(st.Shows(kNew)) << c.kind;
  }
  for (bool reset : {false, true}) {
    TStage st(10, 8);
    TFlip flip{st.s.reg, 320};
    flip.Start(WP_DITHER);
    for (int i = 0; i < 8; ++i) st.Frame(flip);
    if (reset) {
      st.s.reg.Reset();
    } else {
      st.s.reg.ReleaseAllSurfaces();
      st.Frame(flip);
      st.s.reg.RestoreAllSurfaces();
    }
    EXPECT_EQ(st.s.reg.RunningTransition(), nullptr);
    EXPECT_TRUE(st.Run(flip));
    EXPECT_EQ(st.s.reg.ActiveIndex(), 1);
    if (!reset) {
      EXPECT_TRUE(st.Shows(kNew));
    }
  }
  SetWipePictureLoader(nullptr);
}

}  // namespace
}  // namespace quen
