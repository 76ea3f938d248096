#include <gtest/gtest.h>

#include <climits>

#include "base/error.h"
#include "components/quen_kinds.h"
#include "components/vk_codes.h"
#include "support/image_scene.h"

namespace quen {
namespace {

using test::ImageScene;
using test::TPicFrame;
using Log = std::vector<std::string>;

constexpr TColor kFull = 0x0000FF, kEmpty = 0x00FF00, kThumb = 0xFF0000, kButton = 0x00FFFF;

// Track 200 x 10 (halves of 100), thumb cells 10 x 12, button cells 10 x 8.
void Pictures(ImageScene& s) {
  TPicFrame track = TPicFrame::Solid(200, 10, kEmpty);
  for (int32_t y = 0; y < 10; ++y)
    for (int32_t x = 100; x < 200; ++x) track.At(x, y) = kFull;
  s.Picture("track.brx", {track});
  TPicFrame vtrack = TPicFrame::Solid(20, 200, kEmpty);
  for (int32_t y = 0; y < 200; ++y)
    for (int32_t x = 10; x < 20; ++x) vtrack.At(x, y) = kFull;
  s.Picture("vtrack.brx", {vtrack});
  s.Picture("thumb.brx", {TPicFrame::Solid(30, 12, kThumb)});
  s.Picture("button.brx", {TPicFrame::Solid(60, 8, kButton)});
  TPicFrame bar = TPicFrame::Solid(200, 4, kEmpty);
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 100; ++x) bar.At(x, y) = kFull;
  s.Picture("bar.brx", {bar});
}

template <typename T = TQuenSlider>
T* MakeSlider(ImageScene& s, int32_t orientation = 0, const std::string& name = "sl") {
  auto* c = s.Place<T>(name, 10, 10);
  ImageScene::Set(c, PR_ORIENTATION, orientation);
  ImageScene::Set(c, PR_SOURCE, orientation == 1 ? "vtrack.brx" : "track.brx");
  ImageScene::Set(c, PR_THUMBSOURCE, "thumb.brx");
  ImageScene::Set(c, PR_BUTTONSOURCE, "button.brx");
  ImageScene::Set(c, PR_MAX, 100);
  return c;
}

TEST(Slider, GeometryPlacesTheThumbCentreAlongTheTrack) {
  ImageScene s(260, 260);
  Pictures(s);
  for (int32_t orientation : {0, 1}) {
    SCOPED_TRACE(orientation);
    auto* sl = MakeSlider(s, orientation);
    ImageScene::Set(sl, PR_VALUE, 25);
    EXPECT_EQ(sl->ThumbOffset(), 50);
    s.Redraw();
    if (orientation == 0) {
      EXPECT_EQ(sl->Width(), 10 + 200 + 10);
      EXPECT_EQ(sl->Height(), 12);
      // Centre at 10 + 10 + 50: the thumb covers 65..74; the track left of it is full.
      EXPECT_EQ(s.At(65, 15), kThumb);
      EXPECT_EQ(s.At(64, 15), kFull);
      EXPECT_EQ(s.At(75, 15), kEmpty);
      EXPECT_EQ(s.At(12, 15), kButton);
    } else {
      // Across: the widest picture (a track half, a thumb or button cell: 10); values grow
      // upwards, the thumb's centre 50 above the track's bottom end.
      EXPECT_EQ(sl->Width(), 10);
      EXPECT_EQ(sl->Height(), 8 + 200 + 8);
      const int32_t centre = 10 + 8 + 200 - 50;
      EXPECT_EQ(s.At(12, centre - 6), kThumb);
      EXPECT_EQ(s.At(12, centre - 7), kEmpty);
      EXPECT_EQ(s.At(12, centre + 6), kFull);
      EXPECT_EQ(s.At(12, 12), kButton);
    }
    // A bar size replaces the track length.
    ImageScene::Set(sl, PR_BARSIZE, 100);
    EXPECT_EQ(sl->ThumbOffset(), 25);
    EXPECT_EQ(orientation == 0 ? sl->Width() : sl->Height(), orientation == 0 ? 120 : 116);
    s.reg.Destroy(sl);
  }
}

TEST(Slider, ReadingTheValueClampsIntoTheRange) {
  ImageScene s;
  auto* sl = s.Place<TQuenSlider>("sl", 0, 0);
  struct Case {
    int32_t min, max, value, read;
  } cases[] = {
      {0, 100, 150, 100},
      {0, 100, -5, 0},
      {0, 100, 40, 40},
      // An inverted range: below min gives min, else above max gives max.
      {10, 5, 7, 10},
      {10, 5, 20, 5},
      {INT32_MIN, INT32_MAX, INT32_MAX, INT32_MAX},
  };
  for (const Case& c : cases) {
    ImageScene::Set(sl, PR_MIN, c.min);
    ImageScene::Set(sl, PR_MAX, c.max);
    ImageScene::Set(sl, PR_VALUE, c.value);
    EXPECT_EQ(sl->PropInt(PR_VALUE), c.read) << c.min << " " << c.max << " " << c.value;
  }
  // Keys on the widest range neither wrap nor overflow.
  ImageScene::Set(sl, PR_SMALLCHANGE, INT32_MAX);
  sl->DoKeyRepeat({VK_RIGHT});
  EXPECT_EQ(sl->PropInt(PR_VALUE), INT32_MAX);
  sl->DoKeyRepeat({VK_LEFT});
  sl->DoKeyRepeat({VK_LEFT});
  sl->DoKeyRepeat({VK_LEFT});
  EXPECT_EQ(sl->PropInt(PR_VALUE), INT32_MIN);
}

TEST(Slider, TrackPressJumpsDragFollowsReleaseTells) {
  ImageScene s(260, 60);
  Pictures(s);
  auto* sl = MakeSlider(s);
  for (uint8_t code : {PR_ONHOLD, PR_ONRELEASE}) ImageScene::On(sl, code);
  int32_t at_hold = -1;
  // Half way along the track: 10 + 10 + 100.
  s.Feed(TInputKind::MouseMove, 120, 15);
  s.Frame();
  s.Feed(TInputKind::MouseDown, 120, 15);
  s.Frame();
  at_hold = sl->PropInt(PR_VALUE);
  EXPECT_EQ(s.Take(), (Log{"16 sl PR_ONHOLD"}));
  EXPECT_EQ(at_hold, 50);
  EXPECT_EQ(sl->DragMode(), TQuenSlider::kThumb);
  s.Feed(TInputKind::MouseMove, 170, 40);
  s.Frame();
  EXPECT_EQ(sl->PropInt(PR_VALUE), 75);
  s.Feed(TInputKind::MouseUp, 170, 40);
  s.Frame();
  EXPECT_EQ(s.Take(), (Log{"48 sl PR_ONRELEASE"}));
  EXPECT_EQ(sl->PropInt(PR_VALUE), 75);
  EXPECT_EQ(sl->DragMode(), TQuenSlider::kNone);

  // Three Right keys add three small changes.
  ImageScene::Set(sl, PR_HANDLEKEY, 1);
  s.reg.SetFocus(sl);
  for (int i = 0; i < 3; ++i) {
    s.Key(true, VK_RIGHT);
    s.Frame();
    s.Key(false, VK_RIGHT);
    s.Frame();
  }
  EXPECT_EQ(sl->PropInt(PR_VALUE), 78);
}

TEST(Slider, HeldButtonRepeatsAfter300ThenEvery50WhileThePointerStays) {
  ImageScene s(260, 60);
  Pictures(s);
  s.frameMs = 10;
  auto* sl = MakeSlider(s);
  // The second (right) button lies at 10 + 10 + 200.
  s.Feed(TInputKind::MouseMove, 225, 15);
  s.Frame();
  s.Feed(TInputKind::MouseDown, 225, 15);
  s.Frame();
  EXPECT_EQ(sl->PropInt(PR_VALUE), 1);
  EXPECT_EQ(sl->ButtonState(1), 2);
  s.Run(29);
  EXPECT_EQ(sl->PropInt(PR_VALUE), 1);
  s.Run(1);
  EXPECT_EQ(sl->PropInt(PR_VALUE), 2);
  s.Run(10);
  EXPECT_EQ(sl->PropInt(PR_VALUE), 4);
  // Off the button the repeats stop; the release ends the hold.
  s.Feed(TInputKind::MouseMove, 120, 15);
  s.Run(10);
  EXPECT_EQ(sl->PropInt(PR_VALUE), 4);
  s.Feed(TInputKind::MouseUp, 120, 15);
  s.Run(2);
  EXPECT_EQ(sl->DragMode(), TQuenSlider::kNone);
  EXPECT_EQ(sl->ButtonState(1), 0);
}

TEST(Slider, NoTrackOrNoRangeMakesPressesHarmless) {
  ImageScene s(260, 60);
  Pictures(s);
  auto* sl = s.Place<TQuenSlider>("sl", 10, 10);
  ImageScene::Set(sl, PR_THUMBSOURCE, "thumb.brx");
  ImageScene::Set(sl, PR_MAX, 100);
  ImageScene::Set(sl, PR_BARSIZE, -4);
  ImageScene::On(sl, PR_ONHOLD);
  // The thumb is the whole slider: a drag over a track of no length moves nothing.
  s.Feed(TInputKind::MouseDown, 12, 15);
  s.Frame();
  s.Feed(TInputKind::MouseMove, 200, 15);
  s.Frame();
  EXPECT_EQ(sl->PropInt(PR_VALUE), 0);
  s.Feed(TInputKind::MouseUp, 200, 15);
  s.Frame();
  auto* empty = MakeSlider(s);
  ImageScene::Set(empty, PR_MAX, 0);
  s.Feed(TInputKind::MouseDown, 120, 15);
  s.Frame();
  EXPECT_EQ(empty->DragMode(), TQuenSlider::kNone);
}

TEST(Slider, ScrollBarPagesTowardsThePointerUntilTheThumbGetsThere) {
  ImageScene s(260, 60);
  Pictures(s);
  s.frameMs = 10;
  auto* sb = MakeSlider<TQuenScrollbar>(s);
  ImageScene::Set(sb, PR_LARGECHANGE, 20);
  s.Feed(TInputKind::MouseMove, 170, 15);  // 75 along
  s.Frame();
  s.Feed(TInputKind::MouseDown, 170, 15);
  s.Frame();
  EXPECT_EQ(sb->PropInt(PR_VALUE), 20);
  EXPECT_EQ(sb->DragMode(), TQuenSlider::kTrackHigh);
  s.Run(60);
  // 20, 40, 60, 80: the page that passed the pointer was the last.
  EXPECT_EQ(sb->PropInt(PR_VALUE), 80);
}

TEST(Gauge, GrowsAtTheRateAndSettlesExactly) {
  ImageScene s(120, 20);
  Pictures(s);
  s.frameMs = 10;
  auto* g = s.Place<TQuenGauge>("g", 0, 0);
  ImageScene::Set(g, PR_SOURCE, "bar.brx");
  ImageScene::Set(g, PR_MAX, 100);
  ImageScene::Set(g, PR_DURATION, 1000);
  EXPECT_EQ(g->Width(), 100);
  EXPECT_EQ(g->Height(), 4);
  ImageScene::Set(g, PR_VALUE, 50);
  s.Run(20);
  EXPECT_EQ(g->FilledLength(g->Shown()), 20);
  s.Run(40);
  EXPECT_EQ(g->Shown(), 50);
  s.Redraw();
  EXPECT_EQ(s.At(49, 1), kFull);
  EXPECT_EQ(s.At(50, 1), kEmpty);

  // A fall drops at once and leaves a segment that shrinks after the delay.
  ImageScene::Set(g, PR_DELAY, 100);
  ImageScene::Set(g, PR_VALUE, 20);
  EXPECT_EQ(g->Shown(), 20);
  EXPECT_EQ(g->TrailEnd(), 50);
  s.Run(10);
  EXPECT_EQ(g->TrailEnd(), 50);
  s.Run(20);
  EXPECT_LT(g->TrailEnd(), 50);
  // Writing min or max drops the segment.
  ImageScene::Set(g, PR_MIN, 0);
  EXPECT_EQ(g->TrailEnd(), 20);
  // No duration: at once.
  ImageScene::Set(g, PR_DURATION, 0);
  ImageScene::Set(g, PR_VALUE, 90);
  EXPECT_EQ(g->Shown(), 90);
}

TEST(Gauge, EmptyRangesDrawEmptyAndEveryDirectionFillsFromItsEnd) {
  ImageScene s(120, 120);
  Pictures(s);
  auto* g = s.Place<TQuenGauge>("g", 0, 0);
  ImageScene::Set(g, PR_SOURCE, "bar.brx");
  ImageScene::Set(g, PR_DURATION, 1000);
  for (int32_t max : {0, -10}) {
    ImageScene::Set(g, PR_MAX, max);
    ImageScene::Set(g, PR_VALUE, 5);
    s.Run(3);
    s.Redraw();
    EXPECT_EQ(s.At(0, 1), kEmpty);
    EXPECT_EQ(s.At(99, 1), kEmpty);
  }
  ImageScene::Set(g, PR_MAX, 100);
  ImageScene::Set(g, PR_DURATION, 0);
  ImageScene::Set(g, PR_BARSIZE, 100);
  ImageScene::Set(g, PR_VALUE, 30);
  struct Case {
    int32_t orientation;
    bool reverse;
    int32_t fx, fy, ex, ey;  // a filled and an empty pixel
  } cases[] = {
      {0, false, 0, 1, 99, 1},
      {0, true, 99, 1, 0, 1},
      {1, false, 1, 99, 1, 0},
      {1, true, 1, 0, 1, 99},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.orientation * 2 + c.reverse);
    ImageScene::Set(g, PR_ORIENTATION, c.orientation);
    ImageScene::Set(g, PR_REVERSE, c.reverse);
    s.Redraw();
    EXPECT_EQ(s.At(c.fx, c.fy), kFull);
    EXPECT_EQ(s.At(c.ex, c.ey), kEmpty);
  }
}

std::string Save(const TQuenBaseList& reg, int32_t version) {
  TKvMemoryStream m;
  reg.SaveToStream(m, version);
  return m.Data();
}

TEST(SliderGaugeStream, TailsRoundTripInEveryVersion) {
  for (int32_t v : {100, 118, 119, 124, 125, 127, 128, 140}) {
    SCOPED_TRACE(v);
    ImageScene s(260, 60);
    Pictures(s);
    auto* sl = MakeSlider(s, 1);
    ImageScene::Set(sl, PR_VALUE, 33);
    // Only what the version stores, or the loaded control would have another size.
    if (v > 118) ImageScene::Set(sl, PR_CAPTUREMASK, 1);
    if (v > 127) ImageScene::Set(sl, PR_BARSIZE, 70);
    for (uint8_t code : {PR_ONNOTIFY, PR_ONHOLD, PR_ONRELEASE, PR_ONIDLE}) ImageScene::On(sl, code);
    auto* sb = MakeSlider<TQuenScrollbar>(s, 0, "sb");
    ImageScene::Set(sb, PR_LARGECHANGE, 9);
    ImageScene::Set(sb, PR_SMALLCHANGE, 3);
    auto* g = s.Place<TQuenGauge>("g", 1, 2);
    ImageScene::Set(g, PR_SOURCE, "bar.brx");
    ImageScene::Set(g, PR_MAX, 10);
    ImageScene::Set(g, PR_VALUE, 4);
    ImageScene::Set(g, PR_DELAY, 5);
    ImageScene::Set(g, PR_DURATION, 6);
    ImageScene::Set(g, PR_REVERSE, 1);
    if (v > 127) ImageScene::Set(g, PR_BARSIZE, 50);
    ImageScene::On(g, PR_ONIDLE);
    const std::string bytes = Save(s.reg, v);
    TQuenBaseList loaded;
    TKvMemoryStream in(bytes);
    loaded.LoadFromStream(in, v);
    EXPECT_EQ(in.Remaining(), 0);
    EXPECT_EQ(Save(loaded, v), bytes);
    auto* lsl = dynamic_cast<TQuenSlider*>(loaded.FindComponent("sl"));
    ASSERT_NE(lsl, nullptr);
    EXPECT_EQ(lsl->PropInt(PR_VALUE), 33);
    EXPECT_EQ(lsl->Height(), v > 127 ? 8 + 70 + 8 : 8 + 200 + 8);
    EXPECT_EQ(lsl->PropBool(PR_CAPTUREMASK), v > 118);
    EXPECT_EQ(loaded.FindComponent("sb")->PropInt(PR_LARGECHANGE), 9);
    auto* lg = dynamic_cast<TQuenGauge*>(loaded.FindComponent("g"));
    ASSERT_NE(lg, nullptr);
    EXPECT_EQ(lg->Shown(), 4);
    EXPECT_EQ(lg->Width(), v > 127 ? 50 : 100);
    loaded.Reset();
  }
}

}  // namespace
}  // namespace quen
