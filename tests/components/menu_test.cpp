#include <gtest/gtest.h>

#include "base/error.h"
#include "components/quen_kinds.h"
#include "components/vk_codes.h"
#include "support/image_scene.h"

namespace quen {
namespace {

using test::ImageScene;
using test::TPicFrame;
using Log = std::vector<std::string>;

constexpr char kTen[] = "a\r\nb\r\nc\r\nd\r\ne\r\nf\r\ng\r\nh\r\ni\r\nj";

// A menu at (0, 0): rows of 16 pixels, no frame, margins or border.
TQuenMenu* MakeMenu(ImageScene& s, const std::string& text, int32_t rows, bool open = true) {
  auto* m = s.Place<TQuenMenu>("menu", 0, 0);
  ImageScene::Set(m, PR_FONTHEIGHT, 16);
  ImageScene::Set(m, PR_ALPHA, 255);
  ImageScene::Set(m, PR_HOVERCOLOR, 0xFF0000);
  ImageScene::Set(m, PR_ROWCOUNT, rows);
  ImageScene::Set(m, PR_TEXT, text);
  m->EndUpdate();
  if (open) m->SetPlayMode(LP_PLAY);
  return m;
}

TEST(ListBox, SizeTopIndexAndRowHitFollowTheRules) {
  ImageScene s(200, 200);
  auto* m = MakeMenu(s, std::string("\r\n") + kTen + "\r\n\r\n", 4);
  // Control characters at both ends of the text go.
  EXPECT_EQ(m->ItemCount(), 10);
  EXPECT_EQ(m->Height(), 4 * 16);
  struct Case {
    int32_t write, read;
  } cases[] = {{3, 3}, {6, 6}, {9, 6}, {-1, 0}};
  for (const Case& c : cases) {
    ImageScene::Set(m, PR_TOPINDEX, c.write);
    EXPECT_EQ(m->TopIndex(), c.read) << c.write;
  }
  ImageScene::Set(m, PR_TOPINDEX, 2);
  EXPECT_EQ(m->RowAt(5, 0), 2);
  EXPECT_EQ(m->RowAt(5, 63), 5);
  EXPECT_EQ(m->RowAt(5, 64), -1);
  // Spacing and margins: the row area reaches half a spacing (at most the margin) beyond.
  ImageScene::Set(m, PR_LINESPACE, 6);
  ImageScene::Set(m, PR_MARGINY, 2);
  m->EndUpdate();
  EXPECT_EQ(m->Height(), 4 * 16 + 3 * 6 + 2 * 2);
  EXPECT_EQ(m->RowAt(5, 0), 2);
  // Row 2 reaches half a spacing below itself.
  EXPECT_EQ(m->RowAt(5, 2 + 16 + 2), 2);
  EXPECT_EQ(m->RowAt(5, 2 + 16 + 3), 3);
  // No rows: (r - 1) x spacing never goes negative.
  ImageScene::Set(m, PR_ROWCOUNT, 0);
  m->EndUpdate();
  EXPECT_EQ(m->Height(), 2 * 2);
  EXPECT_EQ(m->TopIndex(), 2 > 10 - 0 ? 0 : 2);
  EXPECT_EQ(m->RowAt(5, 2), -1);
}

TEST(Menu, OpensAnimatedAndReachesFullHeightAfterTheDelay) {
  ImageScene s(200, 200);
  s.frameMs = 10;
  auto* m = MakeMenu(s, "one\r\ntwo\r\nthree", 3, false);
  for (uint8_t code : {PR_ONOPENING, PR_ONOPENED, PR_ONCLOSING, PR_ONCLOSED})
    ImageScene::On(m, code);
  EXPECT_EQ(m->Height(), 0);
  ImageScene::Set(m, PR_DELAY, 200);
  m->SetPlayMode(LP_PLAYFADE);
  EXPECT_EQ(m->PlayMode(), LP_PLAYFADE);
  s.Frame();  // 100: opening queued, height 0
  s.Frame();  // 101: the start time
  EXPECT_EQ(m->State(), TQuenMenu::kOpening);
  s.Run(10);
  EXPECT_EQ(m->Height(), 48 * 100 / 200);
  s.Run(9);
  EXPECT_LT(m->Height(), 48);
  s.Run(1);
  EXPECT_EQ(m->Height(), 48);
  EXPECT_EQ(m->State(), TQuenMenu::kIdle);
  s.Frame();
  EXPECT_EQ(s.Take(), (Log{"10 menu PR_ONOPENING", "220 menu PR_ONOPENED"}));
  // A second open request does nothing; a delay of 0 closes in one step.
  m->SetPlayMode(LP_PLAY);
  ImageScene::Set(m, PR_DELAY, 0);
  m->SetPlayMode(LP_STOPFADE);
  s.Frame();
  EXPECT_TRUE(m->IsEventBlocked());
  s.Run(3);
  EXPECT_EQ(s.Take(), (Log{"240 menu PR_ONCLOSING", "250 menu PR_ONCLOSED"}));
  EXPECT_EQ(s.reg.FindComponent("menu"), nullptr);
  // A delay of 0 opens in the step that would divide by it.
  auto* quick = MakeMenu(s, "one", 1, false);
  quick->SetPlayMode(LP_PLAYFADE);
  s.Run(3);
  EXPECT_TRUE(quick->IsOpen());
  EXPECT_EQ(quick->Height(), 16);
}

TEST(Menu, AClickChoosesARowAndAutoScrapRemovesTheMenu) {
  ImageScene s(200, 200);
  auto* m = MakeMenu(s, "one\r\ntwo\r\nthree", 3);
  ImageScene::On(m, PR_ONSELECT);
  ImageScene::On(m, PR_ONMAPIN);
  ImageScene::Set(m, PR_AUTOSCRAP, 1);
  s.Feed(TInputKind::MouseMove, 5, 40);
  s.Frame();
  EXPECT_EQ(m->HoverRow(), 2);
  s.Feed(TInputKind::MouseDown, 5, 40);
  s.Frame();
  s.Feed(TInputKind::MouseUp, 5, 40);
  s.Frame();
  EXPECT_EQ(s.Take(), (Log{"0 menu PR_ONMAPIN three 2", "32 menu PR_ONSELECT three 2"}));
  EXPECT_EQ(s.vars.sel_str, "three");
  EXPECT_EQ(s.vars.sel_index, 2);
  EXPECT_EQ(m->PropInt(PR_INDEX), 2);
  s.Run(4);
  EXPECT_EQ(s.reg.FindComponent("menu"), nullptr);
}

TEST(Menu, KeysMoveTheHoverRowAndEnterChooses) {
  ImageScene s(200, 200);
  auto* m = MakeMenu(s, kTen, 4);
  ImageScene::On(m, PR_ONSELECT);
  ImageScene::Set(m, PR_HANDLEKEY, 1);
  // The opened menu has the focus; the pointer stays off it.
  ASSERT_EQ(s.reg.Focus(), m);
  s.Feed(TInputKind::MouseMove, 150, 150);
  auto press = [&](int32_t key) {
    s.Key(true, key);
    s.Frame();
    s.Key(false, key);
    s.Frame();
  };
  press(VK_DOWN);
  press(VK_DOWN);
  EXPECT_EQ(m->HoverRow(), 1);
  press(VK_RETURN);
  EXPECT_EQ(s.Take(), (Log{"64 menu PR_ONSELECT b 1"}));
  press(VK_NEXT);
  press(VK_NEXT);
  EXPECT_EQ(m->HoverRow(), 9);
  EXPECT_EQ(m->TopIndex(), 6);
  press(VK_PRIOR);
  EXPECT_EQ(m->HoverRow(), 5);
  // From no row, up goes to the last; without items keys do nothing.
  m->SetHoverRow(-1);
  press(VK_UP);
  EXPECT_EQ(m->HoverRow(), 9);
  ImageScene::Set(m, PR_TEXT, "");
  press(VK_DOWN);
  press(VK_RETURN);
  EXPECT_EQ(m->HoverRow(), -1);
  EXPECT_TRUE(s.Take().empty());
  // Pausing clears the focus.
  ImageScene::Set(m, PR_PAUSED, 1);
  EXPECT_EQ(s.reg.Focus(), nullptr);
}

TEST(Menu, ARightClickClosesItWithoutReachingWhatLiesBelow) {
  ImageScene s(200, 200);
  auto* below = s.Place<TQuenBox>("below", 0, 0);
  below->SetBounds(0, 0, 200, 200);
  ImageScene::On(below, PR_ONRBTNDOWN);
  auto* m = MakeMenu(s, "one\r\ntwo", 2);
  ImageScene::Set(m, PR_RCLICKSCRAP, 1);
  ImageScene::Set(m, PR_DELAY, 200);
  ImageScene::On(m, PR_ONCLOSED);
  s.Feed(TInputKind::MouseMove, 5, 5);
  s.Frame();
  s.Feed(TInputKind::MouseDown, 5, 5, TMouseButton::Right);
  s.Feed(TInputKind::MouseUp, 5, 5, TMouseButton::Right);
  s.Frame();
  EXPECT_TRUE(m->Closing());
  s.Run(20);
  // Closing starts in the click's frame (16, clock 32) and ends 200 ms later (224, shown 240).
  EXPECT_EQ(s.Take(), (Log{"240 menu PR_ONCLOSED"}));
  EXPECT_EQ(s.reg.FindComponent("menu"), nullptr);
}

TEST(Menu, ScrollArrowsRepeatAfter300ThenEvery50) {
  ImageScene s(200, 200);
  s.frameMs = 10;
  s.Picture("scroll.brx", {TPicFrame::Solid(7 * 8, 8, 0x00FF00)});
  auto* m = MakeMenu(s, kTen, 4);
  ImageScene::Set(m, PR_SCROLLSOURCE, "scroll.brx");
  m->EndUpdate();
  ASSERT_TRUE(m->ScrollBarShown());
  const int32_t right = m->Width() - 4;
  // The down arrow: the bar's last cell.
  s.Feed(TInputKind::MouseMove, right, 64 - 4);
  s.Frame();
  s.Feed(TInputKind::MouseDown, right, 64 - 4);
  s.Frame();
  EXPECT_EQ(m->TopIndex(), 1);
  s.Run(29);
  EXPECT_EQ(m->TopIndex(), 1);
  s.Run(1);
  EXPECT_EQ(m->TopIndex(), 2);
  s.Run(5);
  EXPECT_EQ(m->TopIndex(), 3);
  s.Feed(TInputKind::MouseUp, right, 60);
  s.Frame();
  EXPECT_EQ(m->DragMode(), TQuenCustomListBox::kNoDrag);
  // The wheel scrolls a row.
  s.Feed(TInputKind::MouseMove, 5, 5);
  s.Frame();
  TInputEvent wheel;
  wheel.Kind = TInputKind::Wheel;
  wheel.WheelDelta = -1;
  s.reg.Feed(wheel);
  s.Frame();
  EXPECT_EQ(m->TopIndex(), 4);
  // A bar too short for its thumb is never dragged.
  ImageScene::Set(m, PR_ROWCOUNT, 1);
  m->EndUpdate();
  s.Feed(TInputKind::MouseMove, m->Width() - 4, 4);
  s.Frame();
  s.Feed(TInputKind::MouseMove, m->Width() - 4, 9);
  s.Frame();
  EXPECT_GE(m->TopIndex(), 0);
}

std::string Save(const TQuenBaseList& reg, int32_t version) {
  TKvMemoryStream m;
  reg.SaveToStream(m, version);
  return m.Data();
}

TEST(MenuStream, TailRoundTripsInEveryVersion) {
  for (int32_t v : {100, 103, 104, 130, 131, 133, 134, 140}) {
    SCOPED_TRACE(v);
    ImageScene s(200, 200);
    s.Picture("cell.brx", {TPicFrame::Solid(4, 4, 0x112233), TPicFrame::Solid(4, 4, 0x332211)});
    auto* m = MakeMenu(s, "one\r\ntwo\r\nthree", 2);
    ImageScene::Set(m, PR_BORDERSOURCETL, "cell.brx");
    ImageScene::Set(m, PR_BORDERHALIGNC, 2);
    ImageScene::Set(m, PR_BORDERVALIGNR, 1);
    ImageScene::Set(m, PR_CHECKSOURCE, "missing.brx");
    ImageScene::Set(m, PR_MARGINX, 3);
    ImageScene::Set(m, PR_DELAY, 77);
    ImageScene::Set(m, PR_TOPINDEX, 1);
    ImageScene::Set(m, PR_FONTHOVERCOLOR, 0x00FF00);
    m->SetCheck(2, true);
    for (uint8_t code : {PR_ONSELECT, PR_ONIDLE, PR_ONMAPIN, PR_ONMAPOUT, PR_ONOPENED})
      ImageScene::On(m, code);
    ImageScene::Set(m, PR_RCLICKSCRAP, 1);
    s.Frame();
    const std::string bytes = Save(s.reg, v);
    TQuenBaseList loaded;
    TKvMemoryStream in(bytes);
    loaded.LoadFromStream(in, v);
    EXPECT_EQ(in.Remaining(), 0);
    EXPECT_EQ(Save(loaded, v), bytes);
    auto* lm = dynamic_cast<TQuenMenu*>(loaded.FindComponent("menu"));
    ASSERT_NE(lm, nullptr);
    EXPECT_TRUE(lm->Check(2));
    EXPECT_TRUE(lm->IsOpen());
    EXPECT_EQ(lm->TopIndex(), 1);
    EXPECT_EQ(lm->Height(), m->Height());
    EXPECT_EQ(lm->PropStr(PR_ONMAPIN), v > 133 ? "ev" : "");
    loaded.Reset();
  }
}

}  // namespace
}  // namespace quen
