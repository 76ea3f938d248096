#include <gtest/gtest.h>

#include "base/error.h"
#include "components/cont_sel_list.h"
#include "components/messages.h"
#include "components/quen_kinds.h"
#include "components/vk_codes.h"
#include "platform/host_fs.h"
#include "support/image_scene.h"

namespace quen {
namespace {

using test::ImageScene;
using test::TPicFrame;
using Log = std::vector<std::string>;

std::string Bytes(const TContSelList& l) {
  TKvMemoryStream m;
  l.SaveToStream(m);
  return m.Data();
}

TEST(ChoiceLayout, NamesBecomeAbsoluteAgainstTheLayoutsFolder) {
  // "表" ends in the byte of "\": folders are split by characters.
  const std::string base = "menus\\\x95\\\\sub\\";
  struct Case {
    std::string stored, absolute;
  } cases[] = {
      {"a.brx", base + "a.brx"},
      {"..\\a.brx", "menus\\\x95\\\\a.brx"},
      {"..\\..\\a.brx", "menus\\a.brx"},
      {"..\\..\\..\\..\\..\\a.brx", "a.brx"},
      {"\\root.brx", "\\root.brx"},
      {"c:x.brx", "c:x.brx"},
      {"x", "x"},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(AbsoluteLayoutName(c.stored, base), c.absolute) << c.stored;
  EXPECT_EQ(GameFolderOf("menus\\\x95\\\\sub\\layout.qpm"), base);
  EXPECT_EQ(GameFolderOf("\x95\\"), "");
}

TEST(ChoiceLayout, EveryVersionReadsItsFieldsAndDamageFailsFast) {
  for (int32_t v = 100; v <= 106; ++v) {
    SCOPED_TRACE(v);
    TContSelList l;
    l.Version = v;
    l.Width = 30;
    l.Height = 20;
    TContSelButton& b = l.Add();
    EXPECT_EQ(b.Name, "Button01");
    for (std::string* f : b.FileNames()) *f = "f.brx";
    b.Group = 3;
    l.Add();
    const std::string bytes = Bytes(l);
    TContSelList read;
    TKvMemoryStream in(bytes);
    read.LoadFromStream(in, "d\\");
    EXPECT_EQ(in.Remaining(), 0);
    const TContSelButton& r = read.Buttons[0];
    EXPECT_EQ(r.Picture, "d\\f.brx");
    EXPECT_EQ(r.DisabledPicture, v > 100 ? "d\\f.brx" : "");
    EXPECT_EQ(r.DisabledHoverPicture, v > 102 ? "d\\f.brx" : "");
    EXPECT_EQ(r.DisabledEnterOverlay, v > 101 ? "d\\f.brx" : "");
    EXPECT_EQ(r.Group, v > 103 ? 3 : 0);
    EXPECT_EQ(r.CheckedClickOverlay, v > 104 ? "d\\f.brx" : "");
    EXPECT_EQ(r.GroupClickOverlay, v > 105 ? "d\\f.brx" : "");
    // Every cut of the file fails, and leaves what was read before.
    for (size_t n = 0; n < bytes.size(); ++n) {
      TKvMemoryStream cut(bytes.substr(0, n));
      EXPECT_THROW(read.LoadFromStream(cut, ""), EQuenError) << n;
      EXPECT_EQ(read.ChoiceCount(), 2);
    }
  }
  auto message = [](const std::string& bytes) {
    TContSelList l;
    TKvMemoryStream in(bytes);
    try {
      l.LoadFromStream(in, "");
    } catch (const EQuenError& e) {
      return e.Message();
    }
    return std::string("read");
  };
  const std::string zeros(12, '\0');
  EXPECT_EQ(message("QuenPrevMenX106" + zeros), msg::kPrevMenuBadFormat);
  for (const char* v : {"099", "107", "1a0"})
    EXPECT_EQ(message(std::string("QuenPrevMenu") + v + zeros), msg::kPrevMenuBadVersion) << v;
  // A huge count is refused before anything is allocated; negative sizes become 0.
  std::string huge = "QuenPrevMenu106";
  for (int32_t x : {-4, -5, 0x7FFFFFFF}) huge.append(reinterpret_cast<const char*>(&x), 4);
  EXPECT_EQ(message(huge), "Stream read error");
  TContSelList neg;
  std::string none = "QuenPrevMenu100";
  for (int32_t x : {-4, -5, -1}) none.append(reinterpret_cast<const char*>(&x), 4);
  TKvMemoryStream in(none);
  neg.LoadFromStream(in, "");
  EXPECT_EQ(neg.Width, 0);
  EXPECT_EQ(neg.ChoiceCount(), 0);
}

constexpr TColor kNormal = 0x0000FF, kHover = 0x00FF00, kChecked = 0xFF0000;

// Three buttons 10 x 10 in a row at x 0, 20, 40, from a layout in a sub-folder.
void Layout(ImageScene& s, int32_t version = 106, int32_t group = 0) {
  platform::MakeDirectory(s.dir.Path() + "menus");
  platform::MakeDirectory(s.dir.Path() + "menus/sub");
  s.Picture("menus/sub/n.brx", {TPicFrame::Solid(10, 10, kNormal)});
  s.Picture("menus/h.brx", {TPicFrame::Solid(10, 10, kHover)});
  s.Picture("c.brx", {TPicFrame::Solid(10, 10, kChecked)});
  TContSelList l;
  l.Version = version;
  l.Width = 60;
  l.Height = 10;
  const char* names[] = {"one", "two", "three"};
  for (int i = 0; i < 3; ++i) {
    TContSelButton& b = l.Add();
    b.Name = names[i];
    b.X = 20 * i;
    b.Picture = "n.brx";
    b.HoverPicture = "..\\h.brx";
    if (version > 103) {
      b.CheckedPicture = "..\\..\\c.brx";
      b.Group = group;
    }
  }
  s.Write("menus/sub/layout.qpm", Bytes(l));
}

TQuenPrevMenu* MakeMenu(ImageScene& s) {
  auto* m = s.Place<TQuenPrevMenu>("pm", 0, 0);
  ImageScene::On(m, PR_ONSELECT);
  ImageScene::Set(m, PR_AUTOSCRAP, 1);
  ImageScene::Set(m, PR_SOURCE, "menus\\sub\\layout.qpm");
  return m;
}

TEST(PreviewMenu, ShowsTheHoverPictureAndAClickChoosesAndScraps) {
  for (int32_t version : {100, 106}) {
    SCOPED_TRACE(version);
    ImageScene s(80, 20);
    Layout(s, version);
    auto* m = MakeMenu(s);
    EXPECT_EQ(m->Width(), 60);
    EXPECT_EQ(m->PropInt(PR_COUNT), 3);
    EXPECT_EQ(m->PropStr(PR_TEXT), "one\r\ntwo\r\nthree");
    s.Feed(TInputKind::MouseMove, 25, 5);
    s.Frame();
    EXPECT_EQ(m->HoverIndex(), 1);
    s.Redraw();
    EXPECT_EQ(s.At(5, 5), kNormal);
    EXPECT_EQ(s.At(25, 5), kHover);
    s.Feed(TInputKind::MouseDown, 25, 5);
    s.Frame();
    EXPECT_EQ(s.Take(), (Log{"16 pm PR_ONSELECT two 1"}));
    EXPECT_EQ(s.vars.sel_str, "two");
    EXPECT_EQ(s.vars.sel_index, 1);
    s.Run(2);
    EXPECT_EQ(s.reg.FindComponent("pm"), nullptr);
  }
}

TEST(PreviewMenu, KeysMoveToTheNearestButtonAndEnterChooses) {
  ImageScene s(80, 20);
  Layout(s);
  auto* m = MakeMenu(s);
  ImageScene::Set(m, PR_HANDLEKEY, 1);
  s.reg.SetFocus(m);
  m->SetEnabled(0, false);
  s.Feed(TInputKind::MouseMove, 70, 15);
  s.Frame();
  ASSERT_EQ(m->HoverIndex(), -1);
  auto press = [&](int32_t key) {
    s.Key(true, key);
    s.Frame();
    s.Key(false, key);
    s.Frame();
  };
  // From no hover the first usable button; a disabled one is passed over.
  press(VK_DOWN);
  EXPECT_EQ(m->HoverIndex(), 1);
  press(VK_RIGHT);
  EXPECT_EQ(m->HoverIndex(), 2);
  press(VK_LEFT);
  EXPECT_EQ(m->HoverIndex(), 1);
  s.Take();
  press(VK_RETURN);
  const Log log = s.Take();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_NE(log[0].find(" pm PR_ONSELECT two 1"), std::string::npos) << log[0];
}

TEST(PreviewMenu, GroupsShowTheirCheckedButton) {
  ImageScene s(80, 20);
  Layout(s, 106, 1);
  auto* m = MakeMenu(s);
  ImageScene::Set(m, PR_AUTOSCRAP, 0);
  // With no checked flag the first visible button of the group counts as checked.
  EXPECT_TRUE(m->IsChecked(0));
  s.Redraw();
  EXPECT_EQ(s.At(5, 5), kChecked);
  EXPECT_EQ(s.At(45, 5), kNormal);
  m->SetVisibleItem(0, false);
  EXPECT_TRUE(m->IsChecked(1));
  m->SetCheckedFlag(2, true);
  EXPECT_TRUE(m->IsChecked(2));
  EXPECT_FALSE(m->IsChecked(1));
  m->Choose(1);
  EXPECT_TRUE(m->IsChecked(1));
  EXPECT_FALSE(m->CheckedFlag(2));
}

TEST(PreviewMenu, ADamagedLayoutRaisesAndLeavesAnEmptyMenu) {
  ImageScene s(80, 20);
  Layout(s);
  auto* m = MakeMenu(s);
  s.Write("bad.qpm", "QuenPrevMenu106\x01");
  EXPECT_THROW(ImageScene::Set(m, PR_SOURCE, "bad.qpm"), EQuenError);
  EXPECT_EQ(m->ButtonCount(), 0);
  EXPECT_EQ(m->Width(), 0);
  EXPECT_TRUE(m->Children().empty() || s.reg.ScrapList().size() >= 3);
  // Keys on a menu without buttons do nothing.
  m->DoKeyRepeat({VK_DOWN, VK_RETURN});
  EXPECT_EQ(m->HoverIndex(), -1);
}

std::string Save(const TQuenBaseList& reg, int32_t version) {
  TKvMemoryStream m;
  reg.SaveToStream(m, version);
  return m.Data();
}

TEST(PreviewMenuStream, TailRoundTripsWithItsStateArrays) {
  for (int32_t v : {100, 126, 127, 131, 132, 135, 136, 140}) {
    SCOPED_TRACE(v);
    ImageScene s(80, 20);
    Layout(s, 106, 1);
    auto* m = MakeMenu(s);
    for (uint8_t code : {PR_ONMAPIN, PR_ONMAPOUT, PR_ONIDLE, PR_ONPLAYEND}) ImageScene::On(m, code);
    m->SetEnabled(0, false);
    m->SetVisibleItem(1, false);
    m->SetCheckedFlag(2, true);
    const std::string bytes = Save(s.reg, v);
    TQuenBaseList loaded;
    TKvMemoryStream in(bytes);
    loaded.LoadFromStream(in, v);
    EXPECT_EQ(in.Remaining(), 0);
    EXPECT_EQ(Save(loaded, v), bytes);
    auto* lm = dynamic_cast<TQuenPrevMenu*>(loaded.FindComponent("pm"));
    ASSERT_NE(lm, nullptr);
    EXPECT_EQ(lm->ButtonCount(), 3);
    EXPECT_EQ(lm->Enabled(0), v <= 126);
    EXPECT_EQ(lm->VisibleItem(1), v <= 131);
    EXPECT_EQ(lm->CheckedFlag(2), v > 135);
    loaded.Reset();
  }
}

}  // namespace
}  // namespace quen
