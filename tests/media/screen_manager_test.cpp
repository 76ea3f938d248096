#include "media/screen_manager.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "imaging/pixel_convert.h"
#include "support/scene.h"

namespace quen {
namespace {

using platform::DisplayMode;
using platform::FakeDisplay;
using platform::HeadlessWindow;
using test::Scene;

// The window shows exactly what the frame surface holds, widened to 32 bits by our converter.
bool WindowShowsFrame(const HeadlessWindow& win, TDIBX& frame) {
  if (win.FrameWidth() != frame.Width() || win.FrameHeight() != frame.Height()) return false;
  const size_t row = static_cast<size_t>(frame.Width()) * 4;
  std::vector<uint8_t> wide(row);
  for (int32_t y = 0; y < frame.Height(); ++y) {
    const uint8_t* expected = frame.DIB().ScanLine(y);
    if (frame.BitCount() != 32) {
      ConvertRow(expected, frame.BitCount(), nullptr, 0, wide.data(), 32, nullptr, 0,
                 frame.Width());
      expected = wide.data();
    }
    if (std::memcmp(&win.Frame()[row * static_cast<size_t>(y)], expected, row) != 0) return false;
  }
  return true;
}

// The colour the window shows at (x, y).
TColor WindowColor(const HeadlessWindow& win, int32_t x, int32_t y) {
  const size_t at =
      (static_cast<size_t>(y) * static_cast<size_t>(win.FrameWidth()) + static_cast<size_t>(x)) * 4;
  uint32_t p = 0;
  std::memcpy(&p, &win.Frame()[at], 4);
  return ((p >> 16) & 0xFF) | (p & 0xFF00) | ((p & 0xFF) << 16);
}

struct Rig {
  FakeDisplay display;
  HeadlessWindow window;
  Rig() { display.desktop = FakeDisplay::Format32(); }
  TScreenManager Make(int32_t w = 640, int32_t h = 480, int32_t pw = 800, int32_t ph = 600,
                      int32_t forced = 0) {
    return TScreenManager(&display, window, w, h, pw, ph, forced);
  }
};

TEST(ScreenManagerModes, PreferredSizeThenDepthThenLowestRate) {
  Rig rig;
  rig.display.modes = {
      {640, 480, 16, 60}, {800, 600, 32, 75}, {800, 600, 32, 60}, {800, 600, 16, 60}};
  TScreenManager sm = rig.Make();
  EXPECT_EQ(sm.ModeCount(), 4);
  EXPECT_EQ(sm.ChosenModeIndex(), 2);
  EXPECT_EQ(sm.PreferredDepth(), 32);
  DisplayMode m;
  ASSERT_TRUE(sm.GetMode(3, m));
  EXPECT_EQ(m, (DisplayMode{800, 600, 16, 60}));
  EXPECT_FALSE(sm.GetMode(4, m));
  EXPECT_FALSE(sm.GetMode(-1, m));
}

TEST(ScreenManagerModes, ModesTooSmallOrBelowSixteenBitsAreLeftOut) {
  Rig rig;
  rig.display.modes = {{640, 479, 32, 60},
                       {639, 480, 32, 60},
                       {640, 480, 8, 60},
                       {1024, 768, 8, 60},
                       {1024, 768, 32, 60}};
  TScreenManager sm = rig.Make();
  ASSERT_EQ(sm.ModeCount(), 1);
  DisplayMode m;
  ASSERT_TRUE(sm.GetMode(0, m));
  EXPECT_EQ(m, (DisplayMode{1024, 768, 32, 60}));
  EXPECT_EQ(sm.ChosenModeIndex(), 0);
}

TEST(ScreenManagerModes, RateRulesAndTies) {
  Rig rig;
  // Equal rates keep the first; rate 0 beats every explicit rate.
  rig.display.modes = {{800, 600, 32, 60}, {800, 600, 32, 60}};
  EXPECT_EQ(rig.Make().ChosenModeIndex(), 0);
  rig.display.modes = {{800, 600, 32, 60}, {800, 600, 32, 0}, {800, 600, 32, 50}};
  EXPECT_EQ(rig.Make().ChosenModeIndex(), 1);
  // The first usable mode stays until one of the preferred size comes.
  rig.display.modes = {{1024, 768, 32, 60}, {1280, 1024, 32, 0}};
  EXPECT_EQ(rig.Make().ChosenModeIndex(), 0);
  rig.display.modes = {{1024, 768, 32, 60}, {800, 600, 16, 75}, {800, 600, 32, 85}};
  EXPECT_EQ(rig.Make().ChosenModeIndex(), 2);
  // An unreadable desktop counts as 24 bits: neither mode matches, the first stays.
  rig.display.desktop_readable = false;
  rig.display.modes = {{800, 600, 16, 60}, {800, 600, 32, 0}};
  TScreenManager sm = rig.Make();
  EXPECT_EQ(sm.PreferredDepth(), 24);
  EXPECT_EQ(sm.ChosenModeIndex(), 0);
}

TEST(ScreenManagerModes, ChosenIndexIsValidated) {
  Rig rig;
  rig.display.modes = {{640, 480, 32, 60}, {800, 600, 32, 60}};
  TScreenManager sm = rig.Make();
  EXPECT_EQ(sm.ChosenModeIndex(), 1);
  EXPECT_FALSE(sm.SetChosenModeIndex(2));
  EXPECT_FALSE(sm.SetChosenModeIndex(-2));
  EXPECT_FALSE(sm.SetChosenModeIndex(INT32_MIN));
  EXPECT_EQ(sm.ChosenModeIndex(), 1);
  EXPECT_TRUE(sm.SetChosenModeIndex(0));
  EXPECT_EQ(sm.ChosenModeIndex(), 0);
  EXPECT_TRUE(sm.SetChosenModeIndex(-1));
  EXPECT_EQ(sm.ChosenModeIndex(), -1);
}

TEST(ScreenManagerModes, WithoutDisplayThereAreNoModesAndWindowedPlayIs32Bits) {
  HeadlessWindow win;
  TScreenManager none(nullptr, win, 320, 240, 320, 240);
  EXPECT_EQ(none.ModeCount(), 0);
  EXPECT_EQ(none.ChosenModeIndex(), -1);
  EXPECT_EQ(none.CurrentModeIndex(), -1);
  EXPECT_EQ(none.WorkingDepth(), 32);
  ASSERT_NE(none.FrameSurface(), nullptr);
  EXPECT_EQ(none.FrameSurface()->BitCount(), 32);
  EXPECT_TRUE(none.Software());
  none.SetModeIndex(0);
  EXPECT_EQ(none.CurrentModeIndex(), -1);
  EXPECT_FALSE(none.FullScreen());
  // The headless window's display has no modes and a 32-bit desktop.
  TScreenManager headless(win.Display(), win, 320, 240, 320, 240);
  EXPECT_EQ(headless.ModeCount(), 0);
  EXPECT_EQ(headless.WorkingDepth(), 32);
}

TEST(ScreenManagerDepth, WindowedDepthFollowsTheDesktop) {
  struct Case {
    platform::DesktopFormat desktop;
    int32_t depth;
  } cases[] = {{FakeDisplay::Format15(), 15},
               {FakeDisplay::Format16(), 16},
               {FakeDisplay::Format32(24), 32},
               {FakeDisplay::Format32(32), 32}};
  for (const Case& c : cases) {
    Rig rig;
    rig.display.desktop = c.desktop;
    TScreenManager sm = rig.Make(21, 7);
    EXPECT_EQ(sm.WorkingDepth(), c.depth);
    ASSERT_NE(sm.FrameSurface(), nullptr);
    EXPECT_EQ(sm.FrameSurface()->BitCount(), c.depth);
    EXPECT_EQ(sm.FrameSurface()->Width(), 21);
    EXPECT_EQ(sm.FrameSurface()->Height(), 7);
    EXPECT_FALSE(sm.FullScreen());
    EXPECT_TRUE(sm.Software());
  }
}

TEST(ScreenManagerDepth, ForcedDepthRulesWindowedPlayOnly) {
  Rig rig;
  rig.display.modes = {{800, 600, 16, 60}};
  TScreenManager sm = rig.Make(640, 480, 800, 600, 16);
  EXPECT_EQ(sm.WorkingDepth(), 16);
  EXPECT_FALSE(sm.SetForcedDepth(24));
  EXPECT_EQ(sm.ForcedDepth(), 16);
  EXPECT_TRUE(sm.SetForcedDepth(15));
  sm.SetModeIndex(0);
  EXPECT_EQ(sm.WorkingDepth(), 16);  // the mode's 5-6-5
  sm.SetModeIndex(-1);
  EXPECT_EQ(sm.WorkingDepth(), 15);
  EXPECT_EQ(sm.FrameSurface()->BitCount(), 15);
  // A depth the surfaces cannot take is ignored at creation.
  EXPECT_EQ(rig.Make(640, 480, 800, 600, 8).WorkingDepth(), 32);
}

TEST(ScreenManagerDepth, FullScreenDepthFollowsTheMode) {
  Rig rig;
  rig.display.modes = {{640, 480, 24, 60}, {640, 480, 16, 60}, {800, 600, 32, 60}};
  TScreenManager sm = rig.Make();
  sm.SetModeIndex(0);
  EXPECT_EQ(sm.CurrentModeIndex(), 0);
  EXPECT_TRUE(sm.FullScreen());
  EXPECT_EQ(sm.DisplayDepth(), 24);
  EXPECT_EQ(sm.WorkingDepth(), 32);
  sm.SetModeIndex(1);
  EXPECT_EQ(sm.WorkingDepth(), 16);
  sm.SetModeIndex(2);
  EXPECT_EQ(sm.WorkingDepth(), 32);
  // The frame surface keeps the game's size whatever the mode.
  EXPECT_EQ(sm.FrameSurface()->Width(), 640);
  EXPECT_EQ(sm.FrameSurface()->Height(), 480);
  rig.display.mode16 = FakeDisplay::Format15();
  sm.SetModeIndex(1);
  EXPECT_EQ(sm.WorkingDepth(), 15);
  EXPECT_EQ(sm.FrameSurface()->BitCount(), 15);
}

TEST(ScreenManagerSwitch, SameIndexDoesNothing) {
  Rig rig;
  rig.display.modes = {{640, 480, 32, 60}};
  TScreenManager sm = rig.Make(4, 4);
  TDIBX* frame = sm.FrameSurface();
  ASSERT_NE(frame, nullptr);
  frame->SetPixel(1, 1, 0x123456);
  sm.SetModeIndex(-1);
  EXPECT_EQ(frame->GetPixel(1, 1), 0x123456u);
  sm.SetModeIndex(0);
  frame->SetPixel(1, 1, 0x654321);
  sm.SetModeIndex(0);
  EXPECT_EQ(frame->GetPixel(1, 1), 0x654321u);
  EXPECT_EQ(rig.display.log, (std::vector<std::string>{"enter 640x480x32@60"}));
}

TEST(ScreenManagerSwitch, FullToFullKeepsTheDisplayWindowedToFullSwitchesIt) {
  Rig rig;
  rig.display.modes = {{640, 480, 32, 60}, {800, 600, 32, 60}};
  TScreenManager sm = rig.Make();
  EXPECT_EQ(sm.CurrentModeIndex(), -1);
  EXPECT_TRUE(rig.display.log.empty());
  sm.SetModeIndex(0);
  sm.SetModeIndex(1);
  EXPECT_TRUE(sm.FullScreen());
  EXPECT_EQ(rig.display.log,
            (std::vector<std::string>{"enter 640x480x32@60", "enter 800x600x32@60"}));
  sm.SetModeIndex(-1);
  EXPECT_FALSE(sm.FullScreen());
  EXPECT_FALSE(rig.display.full_screen);
  EXPECT_EQ(rig.display.log.back(), "leave");
  EXPECT_EQ(sm.CurrentModeIndex(), -1);
  // Shut-down in full screen gives the desktop back.
  auto gone = std::make_unique<TScreenManager>(&rig.display, rig.window, 640, 480, 800, 600);
  gone->SetModeIndex(1);
  EXPECT_TRUE(rig.display.full_screen);
  gone.reset();
  EXPECT_FALSE(rig.display.full_screen);
}

TEST(ScreenManagerSwitch, RefusedFullScreenEndsWindowed) {
  Rig rig;
  rig.display.modes = {{640, 480, 32, 60}, {640, 480, 16, 60}};
  rig.display.refused_bits = {16};
  TScreenManager sm = rig.Make();
  sm.SetModeIndex(1);
  EXPECT_EQ(sm.CurrentModeIndex(), -1);
  EXPECT_FALSE(sm.FullScreen());
  ASSERT_NE(sm.FrameSurface(), nullptr);
  EXPECT_EQ(sm.WorkingDepth(), 32);
  // Refused while in another full-screen mode: back on the desktop, windowed.
  sm.SetModeIndex(0);
  EXPECT_TRUE(sm.FullScreen());
  sm.SetModeIndex(1);
  EXPECT_EQ(sm.CurrentModeIndex(), -1);
  EXPECT_FALSE(sm.FullScreen());
  EXPECT_FALSE(rig.display.full_screen);
  // An index outside the list from full screen leaves it as well.
  sm.SetModeIndex(0);
  sm.SetModeIndex(5);
  EXPECT_EQ(sm.CurrentModeIndex(), -1);
  EXPECT_FALSE(rig.display.full_screen);
  EXPECT_EQ(rig.display.log.back(), "leave");
}

TEST(ScreenManagerSwitch, FreeDXThenSetModeBuildsAgain) {
  Scene s(16, 8);
  Rig rig;
  rig.display.modes = {{640, 480, 32, 60}};
  TScreenManager sm = rig.Make(16, 8, 640, 480);
  // As the player assembles them: the registry composes on the frame surface.
  s.reg.SetScreen(&sm.Frame());
  EXPECT_EQ(&s.reg.Screen(), sm.FrameSurface());
  sm.SetModeIndex(0);
  sm.FreeDX();
  EXPECT_EQ(sm.CurrentModeIndex(), -2);
  EXPECT_EQ(sm.FrameSurface(), nullptr);
  EXPECT_TRUE(s.reg.Screen().IsEmpty());
  EXPECT_FALSE(rig.display.full_screen);
  s.reg.PresentTo(&sm);  // nothing to show, nothing happens
  EXPECT_EQ(rig.window.Uploads(), 0);
  sm.SetModeIndex(0);
  EXPECT_EQ(sm.CurrentModeIndex(), 0);
  EXPECT_TRUE(sm.FullScreen());
  EXPECT_EQ(rig.display.log,
            (std::vector<std::string>{"enter 640x480x32@60", "leave", "enter 640x480x32@60"}));
  EXPECT_EQ(&s.reg.Screen(), sm.FrameSurface());
}

TEST(ScreenManagerPresent, OnlyDirtyRectanglesReachTheWindow) {
  for (int32_t bits : {15, 16, 32}) {
    SCOPED_TRACE(bits);
    Scene s(21, 9);  // odd width: padded rows at 16 bits
    Rig rig;
    TScreenManager sm = rig.Make(21, 9, 21, 9, bits);
    // As the player assembles them: the registry composes on the frame surface.
    s.reg.SetScreen(&sm.Frame());
    s.reg.RestoreAllSurfaces();
    s.reg.Root(0).WriteProp(PR_COLOR, TPropValue::OfInt(0x0000FF));
    s.reg.DrawAll();
    s.reg.PresentTo(&sm);
    TDIBX& frame = *sm.FrameSurface();
    ASSERT_EQ(frame.BitCount(), bits);
    EXPECT_TRUE(WindowShowsFrame(rig.window, frame));
    EXPECT_EQ(WindowColor(rig.window, 20, 8), 0x0000FF);

    // Changed outside the dirty list: not shown until it is listed.
    frame.FillRect(TRect{0, 0, 21, 9}, static_cast<uint32_t>(frame.ColorToPixel(0x00FF00)));
    s.reg.ActiveRoot().DirtyList().Add(TRect{2, 1, 5, 4});
    s.reg.Root(1).DirtyList().Add(TRect{10, 5, 12, 7});
    s.reg.PresentTo(&sm);
    EXPECT_EQ(WindowColor(rig.window, 2, 1), 0x00FF00);
    EXPECT_EQ(WindowColor(rig.window, 4, 3), 0x00FF00);
    EXPECT_EQ(WindowColor(rig.window, 5, 3), 0x0000FF);
    EXPECT_EQ(WindowColor(rig.window, 11, 6), 0x0000FF);  // the other root's
    EXPECT_TRUE(s.reg.Root(0).DirtyList().Rects().empty());
    EXPECT_TRUE(s.reg.Root(1).DirtyList().Rects().empty());
    const int uploads = rig.window.Uploads();
    s.reg.PresentTo(&sm);  // nothing changed, nothing copied
    EXPECT_EQ(rig.window.Uploads(), uploads);

    // Rectangles reaching outside the screen are cut to it.
    s.reg.ActiveRoot().DirtyList().Add(TRect{-50, -50, 500, 500});
    s.reg.PresentTo(&sm);
    EXPECT_TRUE(WindowShowsFrame(rig.window, frame));
  }
}

class TCornerTransition : public IQuenTransition {
 public:
  TRect DrawStep(TCustomDIBX& screen) override {
    screen.FillRect(TRect{0, 0, 3, 2}, static_cast<uint32_t>(screen.ColorToPixel(0xFF0000)));
    return TRect{0, 0, 3, 2};
  }
  void SetParam(int32_t) override {}
};

TEST(ScreenManagerPresent, DuringATransitionOnlyItsRectangleIsShown) {
  Scene s(12, 6);
  Rig rig;
  TScreenManager sm = rig.Make(12, 6, 12, 6);
  // As the player assembles them: the registry composes on the frame surface.
  s.reg.SetScreen(&sm.Frame());
  s.reg.RestoreAllSurfaces();
  s.reg.DrawAll();
  s.reg.PresentTo(&sm);
  TDIBX& frame = *sm.FrameSurface();
  EXPECT_TRUE(WindowShowsFrame(rig.window, frame));
  s.reg.SetTransitionFactory([](int32_t, TCustomDIBX&, TCustomDIBX&, TCustomDIBX&, int32_t,
                                int32_t) { return std::make_unique<TCornerTransition>(); });
  s.reg.StartTransition(1, 5, 100, false, 0, 0);
  ASSERT_TRUE(s.reg.TransitionRunning());
  s.reg.DrawAll();
  ASSERT_EQ(s.reg.TransitionRect(), (TRect{0, 0, 3, 2}));
  frame.FillRect(TRect{5, 3, 12, 6}, static_cast<uint32_t>(frame.ColorToPixel(0x00FF00)));
  s.reg.Root(0).DirtyList().Add(TRect{0, 0, 12, 6});
  s.reg.Root(1).DirtyList().Add(TRect{0, 0, 12, 6});
  s.reg.PresentTo(&sm);
  EXPECT_EQ(WindowColor(rig.window, 2, 1), 0xFF0000);
  EXPECT_EQ(WindowColor(rig.window, 3, 1), 0x000000);
  EXPECT_EQ(WindowColor(rig.window, 6, 4), 0x000000);
  EXPECT_TRUE(s.reg.Root(0).DirtyList().Rects().empty());
  EXPECT_TRUE(s.reg.Root(1).DirtyList().Rects().empty());
}

TEST(ScreenManagerPresent, ComposedFramesReachTheWindowWhole) {
  Scene s(30, 20);
  Rig rig;
  TScreenManager sm = rig.Make(30, 20, 30, 20);
  // As the player assembles them: the registry composes on the frame surface.
  s.reg.SetScreen(&sm.Frame());
  s.reg.RestoreAllSurfaces();
  auto* box = s.Make("box", 3, 4, 5, 6);
  box->WriteProp(PR_COLOR, TPropValue::OfInt(0x00FFFF));
  for (int i = 0; i < 4; ++i) {
    box->SetBounds(3 + i * 4, 4 + i, 5, 6);
    s.reg.ProcessInput(16);
    s.reg.UpdateAll(16);
    s.reg.DrawAll();
    s.reg.PresentTo(&sm);
    EXPECT_TRUE(WindowShowsFrame(rig.window, *sm.FrameSurface())) << i;
  }
  // Nothing changed since the whole first frame: nothing to present.
  HeadlessWindow lone;
  TScreenManager alone(nullptr, lone, 30, 20, 30, 20);
  alone.Present({});
  const int first = lone.Uploads();
  alone.Present({});
  EXPECT_EQ(lone.Uploads(), first);
}

}  // namespace
}  // namespace quen
