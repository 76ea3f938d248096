#include <gtest/gtest.h>

#include "support/scene.h"

namespace quen {
namespace {

using test::Scene;
using Log = std::vector<std::string>;

void AllMouse(TQuenObject* c) {
  for (uint8_t code : {PR_ONMOUSEMOVE, PR_ONMOUSEIN, PR_ONMOUSEOUT, PR_ONLBTNDOWN, PR_ONLBTNUP,
                       PR_ONRBTNDOWN, PR_ONRBTNUP, PR_ONWHEELDOWN, PR_ONWHEELUP})
    Scene::On(c, code);
}

TEST(MouseRouting, CapturedPressReleasedOutsideGivesNegativeCoordinatesAndNoHover) {
  Scene s;
  auto* a = s.Make("a", 20, 20, 10, 10);
  auto* b = s.Make("b", 0, 0, 10, 10);
  AllMouse(a);
  AllMouse(b);
  s.Feed(TInputKind::MouseMove, 25, 25);
  s.Frame();
  EXPECT_EQ(s.Take(), (Log{"0 a PR_ONMOUSEIN", "0 a PR_ONMOUSEMOVE 5 5"}));
  s.Feed(TInputKind::MouseDown);
  s.Frame();
  EXPECT_EQ(s.Take(), (Log{"16 a PR_ONLBTNDOWN 5 5"}));
  // Held and captured: moving over b raises nothing on b.
  s.Feed(TInputKind::MouseMove, 5, 5);
  s.Frame();
  EXPECT_EQ(s.Take(), (Log{"32 a PR_ONMOUSEMOVE -15 -15"}));
  s.Feed(TInputKind::MouseUp);
  s.Frame();
  EXPECT_EQ(s.Take(), (Log{"48 a PR_ONLBTNUP -15 -15"}));
  // Hover follows on the first frame after the release.
  s.Frame();
  EXPECT_EQ(s.Take(), (Log{"64 a PR_ONMOUSEOUT", "64 b PR_ONMOUSEIN", "64 b PR_ONMOUSEMOVE 5 5"}));
}

TEST(MouseRouting, IgnoreMouseMasksAndWheel) {
  Scene s;
  auto* under = s.Make("under", 0, 0, 20, 20);
  auto* over = s.Make("over", 0, 0, 20, 20);
  AllMouse(under);
  AllMouse(over);
  over->WriteProp(PR_PRIORITY, TPropValue::OfInt(1));
  over->WriteProp(PR_IGNOREMOUSE, TPropValue::OfInt(IM_CLICK));
  s.Feed(TInputKind::MouseMove, 3, 4);
  s.Frame();
  EXPECT_EQ(s.Take(), (Log{"0 over PR_ONMOUSEIN", "0 over PR_ONMOUSEMOVE 3 4"}));
  s.Feed(TInputKind::MouseDown);
  s.Frame();
  // The press goes to the control below, which becomes the hover target.
  EXPECT_EQ(s.Take(), (Log{"16 under PR_ONLBTNDOWN 3 4", "16 over PR_ONMOUSEOUT",
                           "16 under PR_ONMOUSEIN", "16 under PR_ONMOUSEMOVE 3 4"}));
  s.Feed(TInputKind::MouseUp);
  s.Frame();
  s.Take();
  over->WriteProp(PR_IGNOREMOUSE, TPropValue::OfInt(IM_ALL));
  TInputEvent w;
  w.Kind = TInputKind::Wheel;
  w.WheelDelta = -120;
  s.reg.Feed(w);
  s.Frame();
  EXPECT_EQ(s.Take(), (Log{"48 under PR_ONWHEELDOWN"}));
  // Paused controls take no presses and capture nothing.
  under->WriteProp(PR_PAUSED, TPropValue::OfBool(true));
  s.Feed(TInputKind::MouseDown);
  s.Frame();
  EXPECT_TRUE(s.Take().empty());
  EXPECT_EQ(s.reg.ActiveRoot().Capture, 0);
}

// A menu that closes on a right click.
class TClosingMenu : public TQuenMenu {
 public:
  using TQuenMenu::TQuenMenu;
  bool ConsumeRightClick() override {
    Owner()->Scrap(this);
    return true;
  }
};

TEST(MouseRouting, RightClickScrapConsumesThePressAndDestroyedEntriesAreForgotten) {
  Scene s;
  auto* under = s.Make("under", 0, 0, 20, 20);
  AllMouse(under);
  auto* menu = s.Make<TClosingMenu>("menu", 0, 0, 20, 20);
  menu->WriteProp(PR_RCLICKSCRAP, TPropValue::OfBool(true));
  menu->WriteProp(PR_RCLICKSCRAP, TPropValue::OfBool(true));
  EXPECT_EQ(s.reg.RightClickScrapList().size(), 1u);
  s.Feed(TInputKind::MouseMove, 1, 1);
  s.Frame();
  s.Take();
  s.Feed(TInputKind::MouseDown, 0, 0, TMouseButton::Right);
  s.Frame();
  EXPECT_EQ(s.reg.FindComponent("menu"), nullptr);
  EXPECT_TRUE(s.reg.RightClickScrapList().empty());
  EXPECT_TRUE(s.Take().empty());
  s.Feed(TInputKind::MouseUp);
  s.Frame();
  s.Take();
  // A listed control destroyed without a right click must not be walked afterwards.
  auto* other = s.Make<TClosingMenu>("other", 0, 0, 1, 1);
  other->WriteProp(PR_RCLICKSCRAP, TPropValue::OfBool(true));
  s.reg.Scrap(other);
  s.Frame();
  s.Take();
  s.Feed(TInputKind::MouseDown, 0, 0, TMouseButton::Right);
  s.Frame();
  EXPECT_EQ(s.Take(), (Log{"64 under PR_ONRBTNDOWN 1 1"}));
}

TEST(MouseRouting, AControlDestroyedByItsOwnEventIsDropped) {
  Scene s;
  auto* a = s.Make("a", 0, 0, 10, 10);
  AllMouse(a);
  s.Feed(TInputKind::MouseMove, 1, 1);
  s.Feed(TInputKind::MouseDown);
  s.Frame(false);
  s.reg.Destroy(a);
  s.RunEvents();
  s.Feed(TInputKind::MouseUp);
  s.Frame();
  // Its waiting press went with it; the capture is dropped and nothing else is raised.
  EXPECT_EQ(s.reg.ActiveRoot().Capture, 0);
  EXPECT_TRUE(s.Take().empty());
}

TEST(Keyboard, RepeatAfter300ThenEvery50AndFocusByClick) {
  Scene s;
  s.frameMs = 10;
  auto* e = s.Make("edit", 0, 0, 10, 10);
  for (uint8_t code : {PR_ONKEYDOWN, PR_ONKEYUP, PR_ONKEYREPEAT}) Scene::On(e, code);
  e->WriteProp(PR_HANDLEKEY, TPropValue::OfBool(true));
  s.Frame();
  ASSERT_EQ(s.reg.Focus(), e);
  s.Key(true, 65);
  s.Key(true, 65);  // the window system's repeat arrives as a second down
  for (int i = 0; i < 40; ++i) s.Frame();
  s.Key(false, 65);
  s.Frame();
  EXPECT_EQ(s.Take(), (Log{"10 edit PR_ONKEYDOWN 65", "10 edit PR_ONKEYREPEAT 65",
                           "310 edit PR_ONKEYREPEAT 65", "360 edit PR_ONKEYREPEAT 65",
                           "410 edit PR_ONKEYREPEAT 65", "410 edit PR_ONKEYUP 65"}));
  EXPECT_FALSE(s.reg.KeyPressed(65));

  // With 16 ms frames the repeats land on the first frame at or after each due time, and a
  // repeat still queued blocks the next.
  Scene t;
  auto* f = t.Make("f", 0, 0, 10, 10);
  Scene::On(f, PR_ONKEYREPEAT);
  f->WriteProp(PR_HANDLEKEY, TPropValue::OfBool(true));
  t.Frame();
  t.Key(true, 13);
  for (int i = 0; i < 24; ++i) t.Frame();
  EXPECT_EQ(t.Take(),
            (Log{"16 f PR_ONKEYREPEAT 13", "320 f PR_ONKEYREPEAT 13", "368 f PR_ONKEYREPEAT 13"}));
  t.Frame(false);
  t.Frame(false);
  t.Frame(false);
  t.Frame(false);
  EXPECT_EQ(t.reg.Events().Count(), 1);
}

// A control that keeps what is typed into it.
class TTypedInto : public TQuenBox {
 public:
  using TQuenBox::TQuenBox;
  void TextInput(const std::string& sjis) override { typed += sjis; }
  std::string typed;
};

TEST(Keyboard, TypedTextGoesToTheFocusedControlOnly) {
  Scene s;
  auto* a = s.Make<TTypedInto>("a", 0, 0, 10, 10);
  auto* b = s.Make<TTypedInto>("b", 20, 0, 10, 10);
  TInputEvent text;
  text.Kind = TInputKind::Text;
  text.Text = "x";
  s.reg.Feed(text);  // nothing has the focus yet: dropped
  a->WriteProp(PR_HANDLEKEY, TPropValue::OfBool(true));
  s.Frame();
  ASSERT_EQ(s.reg.Focus(), a);
  text.Text =
      "\x82\xA0"
      "b";
  s.reg.Feed(text);
  EXPECT_EQ(a->typed,
            "\x82\xA0"
            "b");
  EXPECT_EQ(b->typed, "");
  s.reg.Destroy(a);
  s.reg.Feed(text);  // the focus went with the control
  EXPECT_EQ(b->typed, "");
}

TEST(Keyboard, FocusMovesOnClickAndStaleRules) {
  Scene s;
  auto* a = s.Make("a", 0, 0, 10, 10);
  auto* b = s.Make("b", 20, 0, 10, 10);
  for (auto* c : {a, b}) {
    c->WriteProp(PR_HANDLEKEY, TPropValue::OfBool(true));
    Scene::On(c, PR_ONFOCUSIN);
    Scene::On(c, PR_ONFOCUSOUT);
  }
  s.Frame();
  EXPECT_EQ(s.reg.Focus(), b);  // the topmost key target
  s.Feed(TInputKind::MouseMove, 2, 2);
  s.Feed(TInputKind::MouseDown);
  s.Frame();
  EXPECT_EQ(s.reg.Focus(), a);
  EXPECT_EQ(s.Take(), (Log{"0 b PR_ONFOCUSIN", "16 b PR_ONFOCUSOUT", "16 a PR_ONFOCUSIN"}));
  a->WriteProp(PR_VISIBLE, TPropValue::OfBool(false));
  EXPECT_TRUE(s.reg.FocusStale());
  s.Frame();
  EXPECT_EQ(s.reg.Focus(), b);
  s.reg.Destroy(b);
  EXPECT_EQ(s.reg.Focus(), nullptr);
  s.Frame();
  EXPECT_EQ(s.reg.Focus(), nullptr);
}

TEST(DirtyRects, MergeWithin20PixelsAndClampToTheScreen) {
  TDirtyList l;
  l.Add(TRect{0, 0, 10, 10});
  l.Add(TRect{30, 0, 40, 10});
  EXPECT_EQ(l.Rects(), (std::vector<TRect>{TRect{0, 0, 40, 10}}));
  l.Clear();
  l.Add(TRect{0, 0, 10, 10});
  l.Add(TRect{31, 0, 40, 10});
  EXPECT_EQ(l.Rects().size(), 2u);
  // A bridge between them merges all three, cascading.
  l.Add(TRect{12, 0, 20, 5});
  EXPECT_EQ(l.Rects(), (std::vector<TRect>{TRect{0, 0, 40, 10}}));
  l.Add(TRect{2, 2, 5, 5});
  EXPECT_EQ(l.Rects().size(), 1u);
  l.Add(TRect{5, 5, 5, 9});
  EXPECT_EQ(l.Rects().size(), 1u);

  Scene s(100, 50);
  s.reg.ClearDirty();
  s.reg.ActiveRoot().AddDirtyRect(TRect{-10, -10, 500, 20});
  EXPECT_EQ(s.reg.ActiveRoot().DirtyList().Rects(), (std::vector<TRect>{TRect{0, 0, 100, 20}}));
}

TEST(DrawPass, RepaintsOnlyDirtyRectanglesInPriorityOrderWithClips) {
  Scene s(40, 30);
  s.reg.WriteProp(PR_COLOR, TPropValue::OfInt(0x0000FF));
  s.Frame();
  TCustomDIBX& screen = s.reg.Screen();
  EXPECT_EQ(screen.PixelToColor(screen.GetPixel(39, 29)), 0x0000FF);
  auto* low = s.Make("low", 0, 0, 20, 20);
  low->WriteProp(PR_COLOR, TPropValue::OfInt(0x00FF00));
  auto* high = s.Make("high", 10, 10, 20, 20);
  high->WriteProp(PR_COLOR, TPropValue::OfInt(0xFF0000));
  high->WriteProp(PR_PRIORITY, TPropValue::OfInt(1));
  high->WriteProp(PR_CLIPWIDTH, TPropValue::OfInt(5));
  high->WriteProp(PR_CLIPHEIGHT, TPropValue::OfInt(5));
  // A child is drawn only inside its parent.
  auto* child = s.Make("child", 15, 15, 10, 10, low);
  child->WriteProp(PR_COLOR, TPropValue::OfInt(0xFFFFFF));
  s.Frame();
  auto at = [&](int x, int y) { return screen.PixelToColor(screen.GetPixel(x, y)); };
  EXPECT_EQ(at(1, 1), 0x00FF00);
  EXPECT_EQ(at(12, 12), 0xFF0000);
  EXPECT_EQ(at(16, 16), 0xFFFFFF);
  EXPECT_EQ(at(19, 19), 0xFFFFFF);
  EXPECT_EQ(at(22, 22), 0x0000FF);  // outside high's clip and low's area
  EXPECT_EQ(at(35, 25), 0x0000FF);
  // Drawing outside the dirty rectangles leaves pixels alone.
  screen.SetPixel(38, 1, screen.ColorToPixel(0x123456));
  low->WriteProp(PR_LEFT, TPropValue::OfInt(1));
  s.Frame();
  EXPECT_EQ(at(38, 1), 0x123456);
  EXPECT_EQ(at(0, 1), 0x0000FF);
  // A scrapped control disappears at once.
  s.reg.Scrap(high);
  s.reg.DrawAll();
  EXPECT_EQ(at(12, 12), 0x00FF00);
}

TEST(Registry, ResetGivesFreshRootsAndTheDumpShowsTheTree) {
  Scene s;
  auto* a = s.Make("a", 1, 2, 3, 4);
  s.Make<TQuenLabel>("b", 0, 0, 1, 1, a)->WriteProp(PR_TAG, TPropValue::OfStr("t"));
  s.reg.Create<TQuenTimer>()->WriteProp(PR_NAME, TPropValue::OfStr("tm"));
  const std::string dump = s.reg.Dump();
  EXPECT_NE(dump.find("^ABASE0 TQuenBase LT_NONE"), std::string::npos) << dump;
  EXPECT_NE(dump.find("  a TQuenBox LT_BOX pri=0 pos=1,2 size=3x4 abs=1,2"), std::string::npos);
  EXPECT_NE(dump.find("    b TQuenLabel LT_LABEL"), std::string::npos);
  EXPECT_NE(dump.find("tm TQuenTimer LT_TIMER"), std::string::npos);
  const TQuenHandle h = a->Handle();
  s.reg.Reset();
  EXPECT_EQ(s.reg.ComponentCount(), 0);
  EXPECT_EQ(s.reg.Resolve(h), nullptr);
  EXPECT_EQ(s.reg.ActiveRoot().Width(), 64);
  EXPECT_EQ(s.reg.FindComponent(TQuenBaseList::RootName(1)), &s.reg.Root(1));
}

}  // namespace
}  // namespace quen
