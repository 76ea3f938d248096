#include <gtest/gtest.h>

#include "base/error.h"
#include "support/image_scene.h"

namespace quen {
namespace {

using test::ImageScene;
using test::TPicFrame;

constexpr TColor kRed = 0x0000FF, kBlue = 0xFF0000, kWhite = 0xFFFFFF;

TEST(ImageCache, ComponentsShowingOneFileShareOneCopyAndEveryHoldingCounts) {
  ImageScene s;
  s.Picture("a.brx", {TPicFrame::Solid(4, 4, kRed)});
  auto* a = s.Place<TQuenImages>("a", 0, 0);
  auto* b = s.Place<TQuenImages>("b", 10, 0);
  ImageScene::Set(a, PR_SOURCE, "a.brx");
  ImageScene::Set(b, PR_SOURCE, "A.BRX");  // file names ignore case
  EXPECT_EQ(s.cache->ItemCount(), 1);
  TBrixItem* item = a->PictureItem();
  EXPECT_EQ(item, b->PictureItem());
  EXPECT_EQ(item->OwnerCount(), 2);
  // Brightness 0 draws the shared frame: no copy is made.
  EXPECT_EQ(a->Picture(), &item->Frame(0)->Surface);

  // A button holds the same file in two of its states: letting one state go keeps it.
  auto* button = s.Place<TQuenButton>("button", 20, 0);
  ImageScene::Set(button, PR_SOURCE, "a.brx");
  ImageScene::Set(button, PR_HOVERSOURCE, "a.brx");
  EXPECT_EQ(item->HeldBy(button), 2);
  ImageScene::Set(button, PR_HOVERSOURCE, "");
  EXPECT_EQ(item->HeldBy(button), 1);

  // A picture held by two components stays drawn after one lets it go.
  ImageScene::Set(a, PR_SOURCE, "");
  s.Redraw();
  EXPECT_EQ(s.At(0, 0), kWhite);
  EXPECT_EQ(s.At(10, 0), kRed);
  EXPECT_EQ(s.At(20, 0), kRed);
  EXPECT_EQ(s.cache->ItemCount(), 1);
  s.reg.Destroy(b);
  s.reg.Destroy(button);
  EXPECT_EQ(s.cache->ItemCount(), 0);
}

TEST(ImageCache, AMissingFileIsATransparentEightByEight) {
  ImageScene s;
  auto* img = s.Place<TQuenImages>("img", 3, 3);
  ImageScene::Set(img, PR_CAPTUREMASK, 1);
  ImageScene::Set(img, PR_SOURCE, "nothing.brx");
  EXPECT_EQ(img->Width(), 8);
  EXPECT_EQ(img->Height(), 8);
  EXPECT_TRUE(img->PictureItem()->StandIn());
  ASSERT_NE(img->PictureMask(), nullptr);
  s.Redraw();
  for (int32_t y = 0; y < 12; ++y)
    for (int32_t x = 0; x < 12; ++x) ASSERT_EQ(s.At(x, y), kWhite) << x << "," << y;
  EXPECT_EQ(s.reg.ActiveRoot().HitTest(5, 5, MaskOf(IM_NONE)), &s.reg.ActiveRoot());
}

TEST(ImageCache, ADamagedPictureFailsAndLeavesNothingBehind) {
  ImageScene s;
  std::string bytes = test::EncodePicture({TPicFrame::Solid(4, 4, kRed)});
  s.Write("bad.brx", bytes.substr(0, bytes.size() / 2));
  auto* img = s.Place<TQuenImages>("img", 0, 0);
  EXPECT_THROW(ImageScene::Set(img, PR_SOURCE, "bad.brx"), EQuenError);
  EXPECT_EQ(s.cache->ItemCount(), 0);
  EXPECT_EQ(img->Picture(), nullptr);
}

TEST(ImageCache, ForgettingAFileDecodesItAfreshForNewHoldersOnly) {
  ImageScene s;
  s.Picture("p.brx", {TPicFrame::Solid(2, 2, kRed)});
  auto* old_one = s.Place<TQuenImages>("old", 0, 0);
  ImageScene::Set(old_one, PR_SOURCE, "p.brx");
  s.Picture("p.brx", {TPicFrame::Solid(2, 2, kBlue)});
  s.cache->Forget("P.brx");
  auto* new_one = s.Place<TQuenImages>("new", 4, 0);
  ImageScene::Set(new_one, PR_SOURCE, "p.brx");
  s.Redraw();
  EXPECT_EQ(s.At(0, 0), kRed);
  EXPECT_EQ(s.At(4, 0), kBlue);
  EXPECT_EQ(s.cache->ItemCount(), 2);
  s.reg.Destroy(old_one);
  EXPECT_EQ(s.cache->ItemCount(), 1);

  TDIBSurface picture;
  EXPECT_TRUE(s.cache->LoadPicture("p.brx", picture));
  EXPECT_EQ(picture.Width(), 2);
  EXPECT_FALSE(s.cache->LoadPicture("gone.brx", picture));
  EXPECT_EQ(s.cache->ItemCount(), 1);
}

TEST(ImageCache, ScreenDepthModeDecodesAgainRedrawsAndIsStoredAsOneByte) {
  ImageScene s;
  s.Picture("p.brx", {TPicFrame::Solid(2, 2, kRed)});
  auto* img = s.Place<TQuenImages>("img", 0, 0);
  ImageScene::Set(img, PR_SOURCE, "p.brx");
  const uint64_t before = img->PictureItem()->Generation();
  s.reg.ClearDirty();
  SetScreenDepthDecoding(s.reg, true);
  EXPECT_TRUE(s.cache->ScreenDepthMode());
  EXPECT_NE(img->PictureItem()->Generation(), before);
  EXPECT_EQ(s.reg.ActiveRoot().DirtyList().Rects(), (std::vector<TRect>{{0, 0, 64, 48}}));
  s.Redraw();
  EXPECT_EQ(s.At(1, 1), kRed);

  TKvMemoryStream m;
  s.cache->SaveToStream(m);
  EXPECT_EQ(m.Data(), std::string(1, '\x01'));
  TBrixCollection other;
  m.SetPosition(0);
  other.LoadFromStream(m, 100);  // older status saves hold no mode
  EXPECT_FALSE(other.ScreenDepthMode());
  EXPECT_EQ(m.GetPosition(), 0);
  other.LoadFromStream(m, 103);
  EXPECT_TRUE(other.ScreenDepthMode());
}

TEST(ImageCache, SurfacesDroppedAroundADisplayChangeComeBack) {
  ImageScene s;
  s.Picture("p.brx", {TPicFrame::Solid(2, 2, kRed)});
  auto* img = s.Place<TQuenImages>("img", 0, 0);
  ImageScene::Set(img, PR_SOURCE, "p.brx");
  ImageScene::Set(img, PR_BRIGHTNESS, -255);
  s.reg.ReleaseAllSurfaces();
  EXPECT_EQ(img->Picture(), nullptr);
  s.reg.RestoreAllSurfaces();
  s.Redraw();
  EXPECT_EQ(s.At(0, 0), 0);
  EXPECT_EQ(img->Width(), 2);
}

}  // namespace
}  // namespace quen
