#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "components/quen_kinds.h"
#include "components/vk_codes.h"
#include "support/image_scene.h"

namespace quen {
namespace {

using test::ImageScene;
using test::TPicFrame;

constexpr TColor kRed = 0x0000FF, kGreen = 0x00FF00, kBlue = 0xFF0000;

std::vector<TPicFrame> Frames(std::vector<TColor> colours, int32_t ms) {
  std::vector<TPicFrame> out;
  for (TColor c : colours) {
    out.push_back(TPicFrame::Solid(4, 4, c));
    out.back().Duration = ms;
  }
  return out;
}

TEST(ImageAnimation, FramesAdvanceByTheirTimesAndTheEndIsReportedOnce) {
  struct Case {
    const char* name;
    int frames;
    bool repeat;
    bool autoscrap;
    std::string wait;
    std::vector<int32_t> indices;  // after each 16 ms frame
    int playEnds;
    bool deleted;
  };
  const std::vector<Case> cases = {
      {"three frames of 40 ms", 3, false, false, "", {0, 0, 1, 1, 2, 2, 2, 2, 2, 2}, 1, false},
      {"repeat goes round", 3, true, false, "", {0, 0, 1, 1, 2, 2, 2, 0, 0, 0}, 0, false},
      {"auto-scrap at the end", 3, false, true, "", {0, 0, 1, 1, 2, 2, 2, -9}, 0, true},
      {"the wait adds to the last frame",
       3,
       false,
       false,
       "50",
       {0, 0, 1, 1, 2, 2, 2, 2, 2, 2},
       0,
       false},
      {"one frame never ends", 1, false, false, "50", {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ImageScene s;
    s.Picture("anim.brx", Frames(std::vector<TColor>(static_cast<size_t>(c.frames), kRed), 40));
    auto* img = s.Place<TQuenImages>("img", 0, 0);
    ImageScene::Set(img, PR_ONPLAYEND, "end");
    ImageScene::Set(img, PR_REPEAT, c.repeat);
    ImageScene::Set(img, PR_AUTOSCRAP, c.autoscrap);
    if (!c.wait.empty()) img->SetWaitExpression(ImageScene::Expr(c.wait));
    ImageScene::Set(img, PR_SOURCE, "anim.brx");
    const TQuenHandle h = img->Handle();
    for (size_t i = 0; i < c.indices.size(); ++i) {
      s.Frame();
      if (c.indices[i] == -9) {
        EXPECT_EQ(s.reg.Resolve(h), nullptr);
        break;
      }
      EXPECT_EQ(img->PropInt(PR_INDEX), c.indices[i]) << i;
    }
    s.RunEvents();
    const auto log = s.Take();
    EXPECT_EQ(static_cast<int>(std::count_if(log.begin(), log.end(),
                                             [](const std::string& l) {
                                               return l.find("PR_ONPLAYEND") != std::string::npos;
                                             })),
              c.playEnds);
    if (!c.deleted) {
      EXPECT_EQ(img->PropBool(PR_PLAYING), c.frames == 1 || c.repeat || c.playEnds == 0);
      EXPECT_EQ(img->PropInt(PR_COUNT), c.frames);
    }
  }
}

TEST(ImageAnimation, RepeatWrittenAfterTheEndStartsAgain) {
  ImageScene s;
  s.Picture("anim.brx", Frames({kRed, kGreen}, 16));
  auto* img = s.Place<TQuenImages>("img", 0, 0);
  ImageScene::Set(img, PR_SOURCE, "anim.brx");
  s.Run(6);
  EXPECT_FALSE(img->PropBool(PR_PLAYING));
  ImageScene::Set(img, PR_REPEAT, 1);
  EXPECT_EQ(img->PropInt(PR_INDEX), 0);
  EXPECT_TRUE(img->PropBool(PR_PLAYING));
  s.Redraw();
  EXPECT_EQ(s.At(0, 0), kRed);
}

TEST(ImageButton, HoverPressClickAndReleaseOutside) {
  ImageScene s;
  s.Picture("n.brx", {TPicFrame::Solid(10, 10, kRed)});
  s.Picture("h.brx", {TPicFrame::Solid(10, 10, kGreen)});
  s.Picture("p.brx", {TPicFrame::Solid(10, 10, kBlue)});
  auto* b = s.Place<TQuenButton>("ok", 10, 10);
  ImageScene::Set(b, PR_SOURCE, "n.brx");
  ImageScene::Set(b, PR_HOVERSOURCE, "h.brx");
  ImageScene::Set(b, PR_PRESSEDSOURCE, "p.brx");
  ImageScene::Set(b, PR_ONNOTIFY, "clicked");
  ImageScene::Set(b, PR_ONLBTNDOWN, "down");
  s.Feed(TInputKind::MouseMove, 12, 12);
  s.Frame();
  EXPECT_EQ(b->State(), TQuenButton::BS_HOVER);
  EXPECT_EQ(s.At(12, 12), kGreen);
  s.Feed(TInputKind::MouseDown, 12, 12);
  s.Frame();
  EXPECT_EQ(b->State(), TQuenButton::BS_PRESSED);
  EXPECT_EQ(s.At(12, 12), kBlue);
  s.Feed(TInputKind::MouseUp, 12, 12);
  s.Frame();
  EXPECT_EQ(s.Take(), (std::vector<std::string>{"32 ok PR_ONNOTIFY"}));
  EXPECT_EQ(b->State(), TQuenButton::BS_NORMAL);

  // Pressed, moved away and released outside: no click.
  s.Feed(TInputKind::MouseMove, 12, 12);
  s.Feed(TInputKind::MouseDown, 12, 12);
  s.Frame();
  s.Feed(TInputKind::MouseMove, 40, 40);
  s.Frame();
  EXPECT_EQ(b->State(), TQuenButton::BS_NORMAL);
  s.Feed(TInputKind::MouseUp, 40, 40);
  s.Frame();
  EXPECT_TRUE(s.Take().empty());
}

TEST(ImageButton, AGroupKeepsOneSelectedUnlessAllUpIsAllowed) {
  ImageScene s;
  s.Picture("n.brx", {TPicFrame::Solid(10, 10, kRed)});
  s.Picture("p.brx", {TPicFrame::Solid(10, 10, kBlue)});
  std::vector<TQuenButton*> group;
  for (int i = 0; i < 3; ++i) {
    auto* b = s.Place<TQuenButton>("b" + std::to_string(i), 12 * i, 0);
    ImageScene::Set(b, PR_SOURCE, "n.brx");
    ImageScene::Set(b, PR_PRESSEDSOURCE, "p.brx");
    ImageScene::Set(b, PR_GROUPINDEX, 1);
    group.push_back(b);
  }
  auto selected = [&] {
    std::string out;
    for (auto* b : group) out += b->Selected() ? '1' : '0';
    return out;
  };
  auto click = [&](int32_t x) {
    s.Feed(TInputKind::MouseMove, x, 5);
    s.Feed(TInputKind::MouseDown, x, 5);
    s.Frame();
    s.Feed(TInputKind::MouseUp, x, 5);
    s.Frame();
  };
  // Without all-up the first of the group is selected.
  EXPECT_EQ(selected(), "100");
  click(5);
  EXPECT_EQ(selected(), "100");  // clicking the selected one keeps it
  click(29);
  EXPECT_EQ(selected(), "001");
  EXPECT_EQ(group[2]->State(), TQuenButton::BS_PRESSED);
  EXPECT_EQ(group[0]->State(), TQuenButton::BS_NORMAL);
  // Allowing all up is written to every button of the group, without a loop of writes.
  ImageScene::Set(group[1], PR_ALLOWALLUP, 1);
  for (auto* b : group) EXPECT_TRUE(b->PropBool(PR_ALLOWALLUP));
  click(29);
  EXPECT_EQ(selected(), "000");
  ImageScene::Set(group[0], PR_ALLOWALLUP, 0);
  EXPECT_EQ(selected(), "100");
}

TEST(ImageButton, TheClickedStatePlaysThenReturnsOrScraps) {
  for (bool autoscrap : {false, true}) {
    SCOPED_TRACE(autoscrap);
    ImageScene s;
    s.Picture("n.brx", {TPicFrame::Solid(4, 4, kRed)});
    s.Picture("c.brx", Frames({kGreen}, 40));
    auto* b = s.Place<TQuenButton>("b", 0, 0);
    ImageScene::Set(b, PR_SOURCE, "n.brx");
    ImageScene::Set(b, PR_CLICKEDSOURCE, "c.brx");
    ImageScene::Set(b, PR_ONPLAYEND, "end");
    ImageScene::Set(b, PR_AUTOSCRAP, autoscrap);
    const TQuenHandle h = b->Handle();
    b->Click();
    EXPECT_EQ(b->State(), TQuenButton::BS_CLICKED);
    s.Run(4);
    if (autoscrap) {
      EXPECT_EQ(s.reg.Resolve(h), nullptr);
      continue;
    }
    EXPECT_EQ(b->State(), TQuenButton::BS_NORMAL);
    EXPECT_EQ(s.Take(), (std::vector<std::string>{"48 b PR_ONPLAYEND"}));
  }
}

// Two areas: a rectangle and an ellipse.
std::string TwoAreas() {
  TMapAreaList areas;
  areas.Areas().push_back({"left", 0, TMapRegion::Rect(0, 0, 9, 9)});
  areas.Areas().push_back({"right", 1, TMapRegion::Ellipse(10, 0, 19, 9)});
  TKvMemoryStream m;
  areas.SaveToStream(m);
  return m.Data();
}

TEST(ImageMap, PointerAndKeysSelectClicksAndEnterChoose) {
  ImageScene s;
  s.Picture("m.brx", {TPicFrame::Solid(20, 10, kRed)});
  s.Write("m.map", TwoAreas());
  auto* map = s.Place<TQuenMapImage>("map", 10, 10);
  ImageScene::Set(map, PR_SOURCE, "m.brx");
  ImageScene::Set(map, PR_MAPSOURCE, "m.map");
  for (uint8_t e : {PR_ONMAPIN, PR_ONMAPOUT, PR_ONSELECT}) ImageScene::Set(map, e, "page");
  map->WriteProp(PR_HANDLEKEY, TPropValue::OfBool(true));
  s.Feed(TInputKind::MouseMove, 12, 12);
  s.Frame();
  s.Feed(TInputKind::MouseMove, 25, 15);
  s.Frame();
  s.Feed(TInputKind::MouseDown, 25, 15);
  s.Frame();
  s.Feed(TInputKind::MouseUp, 25, 15);
  s.Frame();
  EXPECT_EQ(s.Take(),
            (std::vector<std::string>{"0 map PR_ONMAPIN left 0", "16 map PR_ONMAPOUT left 0",
                                      "16 map PR_ONMAPIN right 1", "32 map PR_ONSELECT right 1"}));
  EXPECT_EQ(s.vars.sel_str, "right");
  EXPECT_EQ(s.vars.sel_index, 1);
  // The keys walk the areas round and choose with enter.
  s.Key(true, VK_DOWN);
  s.Frame();
  EXPECT_EQ(map->Selected(), 0);
  s.Key(false, VK_DOWN);
  s.Key(true, VK_UP);
  s.Frame();
  EXPECT_EQ(map->Selected(), 1);
  s.Key(false, VK_UP);
  s.Key(true, VK_RETURN);
  s.Frame();
  EXPECT_EQ(s.vars.sel_index, 1);
}

TEST(ImageMap, CancellingClosesAndAMapWithoutAreasIgnoresItsKeys) {
  ImageScene s;
  s.Picture("m.brx", {TPicFrame::Solid(20, 10, kRed)});
  s.Write("m.map", TwoAreas());
  auto* empty = s.Place<TQuenMapImage>("empty", 0, 30);
  ImageScene::Set(empty, PR_SOURCE, "m.brx");
  ImageScene::Set(empty, PR_MAPSOURCE, "missing.map");  // no file: no areas
  empty->WriteProp(PR_HANDLEKEY, TPropValue::OfBool(true));
  s.Key(true, VK_DOWN);
  s.Key(true, VK_RETURN);
  s.Frame();
  EXPECT_EQ(empty->Selected(), -1);
  EXPECT_EQ(empty->Areas().Count(), 0);

  auto* map = s.Place<TQuenMapImage>("map", 0, 0);
  ImageScene::Set(map, PR_SOURCE, "m.brx");
  ImageScene::Set(map, PR_MAPSOURCE, "m.map");
  ImageScene::Set(map, PR_RCLICKSCRAP, 1);
  ImageScene::Set(map, PR_ONRBTNDOWN, "rdown");
  s.vars.sel_str = "before";
  s.Feed(TInputKind::MouseMove, 5, 5);
  s.Feed(TInputKind::MouseDown, 5, 5, TMouseButton::Right);
  const TQuenHandle h = map->Handle();
  s.Frame();
  EXPECT_TRUE(s.Take().empty());  // the right click was the map's
  EXPECT_EQ(s.vars.sel_str, "");
  EXPECT_EQ(s.vars.sel_index, -1);
  EXPECT_TRUE(map->IsEventBlocked());
  s.Frame();
  EXPECT_EQ(s.reg.Resolve(h), nullptr);
}

TEST(ImageFaults, TheFaultsLeaveThePlayerRunning) {
  ImageScene s;
  s.Picture("p.brx", {TPicFrame::Solid(4, 4, kRed)});
  TPicFrame masked = TPicFrame::Solid(4, 4, kRed);
  masked.Mask.assign(16, 255);
  masked.Mask[0] = 0;
  s.Picture("m.brx", {masked});

  // The mask is read by the scale the picture is drawn at: a written width cannot reach past it.
  auto* img = s.Place<TQuenImages>("img", 0, 0);
  ImageScene::Set(img, PR_SOURCE, "m.brx");
  ImageScene::Set(img, PR_CAPTUREMASK, 1);
  ImageScene::Set(img, PR_ZOOMX, 64);
  s.Frame();
  ImageScene::Set(img, PR_WIDTH, 40);
  const TMouseMask all = MaskOf(IM_NONE);
  EXPECT_EQ(img->HitTest(39, 3, all), img);
  EXPECT_EQ(img->HitTest(5, 0, all), nullptr);  // mask pixel (0, 0) is clear
  EXPECT_EQ(img->HitTest(10, 0, all), img);

  // Zoomed sizes need 64 bits and are clamped.
  ImageScene::Set(img, PR_ZOOMX, INT32_MAX);
  ImageScene::Set(img, PR_ZOOMY, 0);
  s.Frame();
  EXPECT_EQ(img->Width(), static_cast<int32_t>(int64_t{4} * INT32_MAX / 256));
  EXPECT_EQ(img->PropInt(PR_ZOOMY), 1);
  EXPECT_EQ(img->Height(), 0);

  // Fire fields too small to burn, or too large to hold, burn nothing.
  for (auto [w, h] : {std::pair{0, 10}, {2, 10}, {10, 3}, {100000, 100000}}) {
    auto* fire = s.Place<TQuenFire>("fire", 0, 0);
    ImageScene::Set(fire, PR_ORIGWIDTH, w);
    ImageScene::Set(fire, PR_ORIGHEIGHT, h);
    s.Run(3);
    EXPECT_TRUE(fire->Field().IsEmpty()) << w << "x" << h;
    s.reg.Destroy(fire);
  }

  // Emission at random(0): the width and height of a film's emission may be 0.
  auto* snow = s.Place<TQuenParticle>("snow", 0, 0);
  snow->SetBounds(0, 0, 64, 48);
  ImageScene::Set(snow, PR_SOURCE, "p.brx");
  snow->SetEmission(5, 6, 0, 0, 0, 0);
  snow->WriteProp(PR_PARAM1, TPropValue::OfFloat(1));
  // An initial time of a day is simulated for ten seconds at most.
  ImageScene::Set(snow, PR_INDEX, 86400000);
  s.Frame();
  EXPECT_GT(snow->ParticleCount(), 0);
  EXPECT_LE(snow->ParticleCount(), TQuenParticle::kMaxParticles);
}

TEST(ImageParticles, TwisterDepthGivesPriorityAndZoomAndEmittersEndWhenEmpty) {
  ImageScene s;
  s.Picture("p.brx", {TPicFrame::Solid(4, 4, kRed)});
  auto* tw = s.Place<TQuenParticle>("tw", 0, 0);
  tw->SetBounds(0, 0, 64, 48);
  ImageScene::Set(tw, PR_SOURCE, "p.brx");
  ImageScene::Set(tw, PR_PARTMOTION, PM_TWISTER);
  ImageScene::Set(tw, PR_DURATION, 16);
  tw->WriteProp(PR_PARAM1, TPropValue::OfFloat(std::numbers::pi));
  tw->WriteProp(PR_PARAM3, TPropValue::OfFloat(2));
  tw->SetEmission(30, 40, 0, 0, 1000, 0);
  s.Run(2);  // the first update only simulates the initial time
  ASSERT_EQ(tw->ParticleCount(), 1);
  auto* p = dynamic_cast<TQuenParticleImages*>(tw->Children().front());
  ASSERT_NE(p, nullptr);
  p->Motion.Angle = 2 * std::numbers::pi - std::numbers::pi;  // the next step lands on 0
  tw->Step();
  EXPECT_EQ(p->ZoomX(), 256);
  EXPECT_EQ(p->Priority(), 1000);
  tw->Step();  // half a turn on: depth 0.5
  EXPECT_EQ(p->ZoomX(), 128);
  EXPECT_EQ(p->Priority(), -1000);
  // Emission has ended; once the particle rose out at the top the emitter goes too.
  EXPECT_EQ(tw->State(), 2);
  const TQuenHandle h = tw->Handle();
  s.Run(30);
  EXPECT_EQ(s.reg.Resolve(h), nullptr);
}

TEST(ImageAfterImages, AMovingImageLeavesFadingCopiesThatHoldTheirOwnPicture) {
  ImageScene s;
  s.Picture("p.brx", {TPicFrame::Solid(4, 4, kRed)});
  auto* img = s.Place<TQuenImages>("img", 0, 0);
  ImageScene::Set(img, PR_SOURCE, "p.brx");
  ImageScene::Set(img, PR_ALPHA, 200);
  ImageScene::Set(img, PR_BLURDELAY, 64);
  ImageScene::Set(img, PR_BLURSPAN, 16);
  s.Frame();
  EXPECT_EQ(s.reg.ActiveRoot().Children().size(), 1u);  // nothing moved yet
  ImageScene::Set(img, PR_LEFT, 10);
  s.Frame();
  ASSERT_EQ(s.reg.ActiveRoot().Children().size(), 2u);
  auto* copy = dynamic_cast<TQuenBlurImage*>(s.reg.ActiveRoot().Children().front());
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->Name(), "img0");
  EXPECT_EQ(copy->Priority(), -1);
  // Half the source's blend value, faded by the frame it already lived: 100 - 100 * 16 / 64.
  EXPECT_EQ(copy->PropInt(PR_ALPHA), 75);
  EXPECT_EQ(copy->PictureItem()->HeldBy(copy), 1);
  // The source lets its picture go; the copy still draws it.
  ImageScene::Set(img, PR_SOURCE, "");
  s.Redraw();
  EXPECT_NE(s.At(10, 0), 0xFFFFFF);
  const TQuenHandle h = copy->Handle();
  s.Run(5);
  EXPECT_EQ(s.reg.Resolve(h), nullptr);
  EXPECT_EQ(s.cache->ItemCount(), 0);
}

TEST(ImageAfterImages, AMovingBoxLeavesBoxCopies) {
  ImageScene s;
  auto* box = s.Place<TQuenBox>("box", 0, 0);
  box->SetBounds(0, 0, 4, 4);
  ImageScene::Set(box, PR_COLOR, kBlue);
  ImageScene::Set(box, PR_BLURDELAY, 100);
  ImageScene::Set(box, PR_BLURSPAN, 16);
  ImageScene::Set(box, PR_LEFT, 8);
  s.Frame();
  ASSERT_EQ(s.reg.ActiveRoot().Children().size(), 2u);
  auto* copy = dynamic_cast<TQuenBlurBox*>(s.reg.ActiveRoot().Children().front());
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->Left(), 8);
  EXPECT_EQ(copy->PropInt(PR_ALPHA), 127 - 20);
  EXPECT_EQ(copy->CompoType(), LT_BOX);
  s.Frame();
  EXPECT_EQ(copy->PropInt(PR_ALPHA), 127 - 41);
}

}  // namespace
}  // namespace quen
