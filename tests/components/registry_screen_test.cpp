#include <gtest/gtest.h>

#include "components/base_panel.h"
#include "support/scene.h"

namespace quen {
namespace {

using test::Scene;

class TFakeTransition : public IQuenTransition {
 public:
  explicit TFakeTransition(int* params) : params_(params) {}
  TRect DrawStep(TCustomDIBX& screen) override {
    screen.Fill(static_cast<uint32_t>(screen.ColorToPixel(0x00FFFF)));
    return TRect{0, 0, 2, 2};
  }
  void SetParam(int32_t p) override { *params_ = p; }

 private:
  int* params_;
};

TEST(Transitions, RootsDrawIntoTheirOwnSurfacesWhileOneRuns) {
  Scene s(20, 10);
  s.reg.Root(0).WriteProp(PR_COLOR, TPropValue::OfInt(0x0000FF));
  s.reg.Root(1).WriteProp(PR_COLOR, TPropValue::OfInt(0x00FF00));
  auto* e = s.Make("e", 0, 0, 5, 5);
  e->WriteProp(PR_HANDLEKEY, TPropValue::OfBool(true));
  s.Frame();
  ASSERT_EQ(s.reg.Focus(), e);
  int param = 0;
  int made = 0;
  s.reg.SetTransitionFactory([&](int32_t type, TCustomDIBX&, TCustomDIBX& now, TCustomDIBX& old,
                                 int32_t, int32_t) -> std::unique_ptr<IQuenTransition> {
    ++made;
    EXPECT_EQ(type, 3);
    EXPECT_NE(&now, &old);
    return std::make_unique<TFakeTransition>(&param);
  });
  s.reg.StartTransition(1, 3, 500, false, 0, 42);
  EXPECT_EQ(param, 42);
  EXPECT_TRUE(s.reg.TransitionRunning());
  EXPECT_EQ(s.reg.ActiveIndex(), 1);
  EXPECT_EQ(s.reg.Focus(), nullptr);  // the focus was on the other screen
  // A second start while one runs only switches the root and passes the parameter on.
  s.reg.StartTransition(1, 3, 500, false, 0, 7);
  EXPECT_EQ(made, 1);
  EXPECT_EQ(param, 7);
  s.Frame();
  TCustomDIBX& screen = s.reg.Screen();
  EXPECT_EQ(screen.PixelToColor(screen.GetPixel(5, 5)), 0x00FFFF);
  EXPECT_EQ(s.reg.TransitionRect(), (TRect{0, 0, 2, 2}));
  TDIBX& own1 = s.reg.Root(1).OwnSurface();
  EXPECT_EQ(own1.PixelToColor(own1.GetPixel(5, 5)), 0x00FF00);
  s.reg.EndTransition();
  s.Frame();
  EXPECT_EQ(screen.PixelToColor(screen.GetPixel(5, 5)), 0x00FF00);
}

TEST(Surfaces, ReleaseAndRestoreRepaintTheWholeScreen) {
  Scene s(16, 8);
  s.reg.WriteProp(PR_COLOR, TPropValue::OfInt(0x0000FF));
  s.Frame();
  s.reg.ReleaseAllSurfaces();
  EXPECT_TRUE(s.reg.Screen().IsEmpty());
  EXPECT_TRUE(s.reg.Root(1).OwnSurface().IsEmpty());
  s.reg.DrawAll();  // nothing to draw on, nothing happens
  s.reg.RestoreAllSurfaces();
  EXPECT_EQ(s.reg.ActiveRoot().DirtyList().Rects(), (std::vector<TRect>{TRect{0, 0, 16, 8}}));
  s.reg.DrawAll();
  EXPECT_EQ(s.reg.Screen().PixelToColor(s.reg.Screen().GetPixel(15, 7)), 0x0000FF);
  EXPECT_EQ(s.reg.PropInt(PR_WIDTH), 16);
  EXPECT_EQ(s.reg.PropInt(PR_COLOR), 0x0000FF);
}

class TCursorLog : public ICursorHost {
 public:
  std::vector<std::string> calls;
  bool ShowFileCursor(const std::string& file) override {
    calls.push_back("file " + file);
    return true;
  }
  void ShowArrow() override { calls.push_back("arrow"); }
};

TEST(Cursors, TheHoverTargetsCursorOrTheDefaultIsInstalledOnce) {
  Scene s;
  TCursorLog host;
  s.reg.SetCursorHost(&host);
  auto* a = s.Make("a", 0, 0, 10, 10);
  s.Make("b", 20, 0, 10, 10);
  a->WriteProp(PR_CURSOR, TPropValue::OfStr("hand.cur"));
  s.Feed(TInputKind::MouseMove, 1, 1);
  s.Frame();
  s.Feed(TInputKind::MouseMove, 2, 2);
  s.Frame();
  s.Feed(TInputKind::MouseMove, 21, 1);
  s.Frame();
  s.reg.SetDefaultCursor("game.ani");
  s.Frame();
  EXPECT_EQ(host.calls, (std::vector<std::string>{"file hand.cur", "arrow", "file game.ani"}));
}

TEST(BasePanel, OwnsTheMainRegistryAndPaintsTheLastFrame) {
  EXPECT_EQ(MainRegistry(), nullptr);
  {
    TBasePanel panel;
    ASSERT_EQ(MainRegistry(), &panel.Registry());
    TDIBX& pattern = panel.SelectionPattern();
    EXPECT_EQ(pattern.PixelToColor(pattern.GetPixel(1, 1)), 0xFFFFFF);
    EXPECT_EQ(pattern.PixelToColor(pattern.GetPixel(1, 0)), 0);
    TQuenBaseList& reg = panel.Registry();
    reg.SetSize(4, 4);
    reg.WriteProp(PR_COLOR, TPropValue::OfInt(0xFF0000));
    reg.DrawAll();
    TDIBX client;
    client.SetSize(8, 8, 32);
    panel.Paint(client);
    EXPECT_EQ(client.PixelToColor(client.GetPixel(7, 7)), 0xFF0000);
  }
  EXPECT_EQ(MainRegistry(), nullptr);
}

}  // namespace
}  // namespace quen
