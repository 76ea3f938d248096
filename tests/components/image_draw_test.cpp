#include <gtest/gtest.h>

#include <functional>

#include "components/quen_kinds.h"
#include "support/image_scene.h"
#include "text/label_renderer.h"

namespace quen {
namespace {

using test::ImageScene;
using test::TPicFrame;

constexpr TColor kRed = 0x0000FF, kGreen = 0x00FF00, kBlue = 0xFF0000, kWhite = 0xFFFFFF;

// The blend of one channel as the surfaces compute it.
uint8_t Blend(uint8_t d, uint8_t s, int a) {
  return static_cast<uint8_t>((d * (255 - a) + s * a) >> 8);
}
TColor BlendColor(TColor d, TColor s, int a) {
  return RGBColor(Blend(GetRValue(d), GetRValue(s), a), Blend(GetGValue(d), GetGValue(s), a),
                  Blend(GetBValue(d), GetBValue(s), a));
}

// A 4 x 4 picture whose every pixel differs, so places, flips and zooms show.
TPicFrame Checker() {
  TPicFrame f = TPicFrame::Solid(4, 4, 0);
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 4; ++x) f.At(x, y) = RGBColor(40 * x + 20, 40 * y + 20, 200);
  return f;
}

struct Probe {
  int32_t X, Y;
  TColor Expected;
};

struct DrawCase {
  const char* Name;
  std::function<void(ImageScene&)> Build;
  std::vector<Probe> Probes;
  TColor Background = kWhite;
};

TEST(ImageDrawing, ScenesShowWhatTheirComponentsSay) {
  const TPicFrame pic = Checker();
  auto at = [&](int32_t x, int32_t y) { return TPicFrame(pic).At(x, y); };
  const std::vector<DrawCase> cases = {
      {"box colour at its place",
       [](ImageScene& s) {
         auto* b = s.Place<TQuenBox>("b", 10, 10);
         b->SetBounds(10, 10, 20, 10);
         ImageScene::Set(b, PR_COLOR, kRed);
       },
       {{10, 10, kRed}, {29, 19, kRed}, {30, 19, kWhite}, {9, 10, kWhite}}},
      {"box border around its fill",
       [](ImageScene& s) {
         auto* b = s.Place<TQuenBox>("b", 0, 0);
         b->SetBounds(0, 0, 10, 10);
         ImageScene::Set(b, PR_COLOR, kGreen);
         ImageScene::Set(b, PR_BORDERWIDTH, 2);
         ImageScene::Set(b, PR_BORDERCOLOR, kBlue);
       },
       {{0, 0, kBlue}, {1, 5, kBlue}, {2, 2, kGreen}, {7, 7, kGreen}, {8, 9, kBlue}}},
      {"box alpha 128 over white",
       [](ImageScene& s) {
         auto* b = s.Place<TQuenBox>("b", 0, 0);
         b->SetBounds(0, 0, 4, 4);
         ImageScene::Set(b, PR_COLOR, kRed);
         ImageScene::Set(b, PR_ALPHA, 128);
       },
       {{1, 1, BlendColor(kWhite, kRed, 128)}}},
      {"box blend 300 with 0x404040 adds 11",
       [](ImageScene& s) {
         auto* b = s.Place<TQuenBox>("b", 0, 0);
         b->SetBounds(0, 0, 4, 4);
         ImageScene::Set(b, PR_COLOR, 0x404040);
         ImageScene::Set(b, PR_ALPHA, 300);
       },
       {{1, 1, 0x1B1B1B}, {5, 5, 0x101010}},
       0x101010},
      {"box blend 512 draws nothing",
       [](ImageScene& s) {
         auto* b = s.Place<TQuenBox>("b", 0, 0);
         b->SetBounds(0, 0, 4, 4);
         ImageScene::Set(b, PR_COLOR, kRed);
         ImageScene::Set(b, PR_ALPHA, 512);
       },
       {{1, 1, kWhite}}},
      {"image placed",
       [](ImageScene& s) { ImageScene::Set(s.Place<TQuenImages>("i", 5, 6), PR_SOURCE, "c.brx"); },
       {{5, 6, at(0, 0)}, {8, 9, at(3, 3)}, {9, 9, kWhite}}},
      {"image zoomed twice as wide",
       [](ImageScene& s) {
         auto* i = s.Place<TQuenImages>("i", 0, 0);
         ImageScene::Set(i, PR_SOURCE, "c.brx");
         ImageScene::Set(i, PR_ZOOMX, 512);
       },
       {{1, 0, at(0, 0)}, {2, 0, at(1, 0)}, {7, 3, at(3, 3)}, {8, 0, kWhite}}},
      {"image flipped both ways about its anchor",
       [](ImageScene& s) {
         auto* i = s.Place<TQuenImages>("i", 3, 3);
         ImageScene::Set(i, PR_SOURCE, "c.brx");
         ImageScene::Set(i, PR_FLIPH, 1);
         ImageScene::Set(i, PR_FLIPV, 1);
       },
       {{0, 0, at(3, 3)}, {3, 0, at(0, 3)}}},
      {"image blended",
       [](ImageScene& s) {
         auto* i = s.Place<TQuenImages>("i", 0, 0);
         ImageScene::Set(i, PR_SOURCE, "c.brx");
         ImageScene::Set(i, PR_ALPHA, 100);
       },
       {{2, 1, BlendColor(kWhite, at(2, 1), 100)}}},
      {"image brightened and darkened",
       [](ImageScene& s) {
         auto* a = s.Place<TQuenImages>("a", 0, 0);
         ImageScene::Set(a, PR_SOURCE, "c.brx");
         ImageScene::Set(a, PR_BRIGHTNESS, 100);
         auto* b = s.Place<TQuenImages>("b", 8, 0);
         ImageScene::Set(b, PR_SOURCE, "c.brx");
         ImageScene::Set(b, PR_BRIGHTNESS, -30);
       },
       {{0, 0, RGBColor(120, 120, 255)}, {8, 0, RGBColor(0, 0, 170)}}},
      {"keyed picture brightened keeps its transparent pixels",
       [](ImageScene& s) {
         TPicFrame k = TPicFrame::Solid(2, 1, kGreen);
         k.At(1, 0) = kRed;
         k.Key = kRed;
         s.Picture("k.brx", {k});
         auto* i = s.Place<TQuenImages>("i", 0, 0);
         ImageScene::Set(i, PR_SOURCE, "k.brx");
         ImageScene::Set(i, PR_BRIGHTNESS, 20);
       },
       {{0, 0, RGBColor(20, 255, 20)}, {1, 0, kWhite}}},
      {"image rotated half a turn about its centre",
       [](ImageScene& s) {
         auto* i = s.Place<TQuenImages>("i", 10, 10);
         ImageScene::Set(i, PR_SOURCE, "c.brx");
         ImageScene::Set(i, PR_OFFSETX, 2);
         ImageScene::Set(i, PR_OFFSETY, 2);
         ImageScene::Set(i, PR_ANGLE, 128);
       },
       {{10, 10, at(2, 2)}, {9, 9, at(3, 3)}, {12, 12, at(0, 0)}, {8, 8, kWhite}}},
      {"missing picture shows nothing",
       [](ImageScene& s) { ImageScene::Set(s.Place<TQuenImages>("i", 0, 0), PR_SOURCE, "x.brx"); },
       {{0, 0, kWhite}, {7, 7, kWhite}}},
      {"tile repeats its picture",
       [](ImageScene& s) {
         auto* t = s.Place<TQuenTile>("t", 0, 0);
         t->SetBounds(0, 0, 12, 8);
         ImageScene::Set(t, PR_SOURCE, "c.brx");
       },
       {{4, 0, at(0, 0)}, {9, 5, at(1, 1)}, {12, 0, kWhite}}},
      {"tile scrolled negative wraps without a gap",
       [](ImageScene& s) {
         auto* t = s.Place<TQuenTile>("t", 0, 0);
         t->SetBounds(0, 0, 12, 8);
         ImageScene::Set(t, PR_SOURCE, "c.brx");
         ImageScene::Set(t, PR_SCROLLX, -1);
         ImageScene::Set(t, PR_SCROLLY, -6);
       },
       {{0, 0, at(3, 2)}, {1, 2, at(0, 0)}}},
      {"tile of content rectangles scrolled negative wraps without a gap",
       [](ImageScene& s) {
         TPicFrame r = TPicFrame::Solid(4, 4, kRed);
         r.Regions = {{0, 0, 4, 4}};
         s.Picture("r.brx", {r});
         auto* t = s.Place<TQuenTile>("t", 0, 0);
         t->SetBounds(0, 0, 12, 8);
         ImageScene::Set(t, PR_SOURCE, "r.brx");
         ImageScene::Set(t, PR_SCROLLX, -3);
         ImageScene::Set(t, PR_SCROLLY, -5);
       },
       {{0, 0, kRed}, {2, 1, kRed}, {11, 7, kRed}}},
      {"tile with distances leaves gaps",
       [](ImageScene& s) {
         auto* t = s.Place<TQuenTile>("t", 0, 0);
         t->SetBounds(0, 0, 12, 4);
         ImageScene::Set(t, PR_SOURCE, "c.brx");
         ImageScene::Set(t, PR_DISTANCEX, 6);
       },
       {{3, 0, at(3, 0)}, {4, 0, kWhite}, {5, 0, kWhite}, {6, 0, at(0, 0)}}},
      {"glyph caption draws its cells",
       [](ImageScene& s) {
         TPicFrame g = TPicFrame::Solid(4, 2, kRed);
         for (int32_t y = 0; y < 2; ++y) g.At(2, y) = g.At(3, y) = kBlue;
         s.Picture("g.brx", {g});
         auto* l = s.Place<TQuenCGLabel>("l", 0, 0);
         ImageScene::Set(l, PR_SOURCE, "g.brx");
         ImageScene::Set(l, PR_GLYPHWIDTH, 2);
         ImageScene::Set(l, PR_GLYPHHEIGHT, 2);
         ImageScene::Set(l, PR_LINESPACE, 1);
         ImageScene::Set(l, PR_MAPTEXT, "AB");
         ImageScene::Set(l, PR_TEXT, "BxA\r\nA");
       },
       {{0, 0, kBlue}, {2, 0, kWhite}, {4, 1, kRed}, {0, 3, kRed}, {0, 2, kWhite}}},
  };
  for (const DrawCase& c : cases) {
    SCOPED_TRACE(c.Name);
    ImageScene s;
    s.reg.ActiveRoot().WriteProp(PR_COLOR, TPropValue::OfInt(c.Background));
    s.Picture("c.brx", {pic});
    c.Build(s);
    s.Frame();
    s.Redraw();
    for (const Probe& p : c.Probes) EXPECT_EQ(s.At(p.X, p.Y), p.Expected) << p.X << "," << p.Y;
  }
}

TEST(ImageDrawing, GlyphCaptionSizeAndCellsFollowTheText) {
  ImageScene s;
  auto* l = s.Place<TQuenCGLabel>("l", 0, 0);
  ImageScene::Set(l, PR_GLYPHWIDTH, 3);
  ImageScene::Set(l, PR_GLYPHHEIGHT, 5);
  ImageScene::Set(l, PR_LINESPACE, 2);
  ImageScene::Set(l, PR_MAPTEXT,
                  "\x82\xa0"
                  "b");  // a double-byte character, then "b"
  ImageScene::Set(l, PR_TEXT, "b\x82\xa0z\r\nb");
  EXPECT_EQ(l->Cells(), (std::vector<std::vector<int32_t>>{{1, 0, -1}, {1}}));
  EXPECT_EQ(l->Width(), 9);
  EXPECT_EQ(l->Height(), 12);
  // A cell of no size draws nothing (and divides by nothing).
  ImageScene::Set(l, PR_GLYPHWIDTH, 0);
  s.Redraw();
  EXPECT_EQ(s.At(0, 0), kWhite);
}

TEST(ImageDrawing, ACaptionIsAsWideAsItsAdvancesAndAsHighAsItsLines) {
  ImageScene s(200, 100);
  auto* l = s.Place<TQuenLabel>("l", 4, 4);
  ImageScene::Set(l, PR_FONTHEIGHT, 16);
  ImageScene::Set(l, PR_LINESPACE, 3);
  ImageScene::Set(l, PR_FONTCOLOR, kRed);
  ImageScene::Set(l, PR_TEXT, "Wide line\r\n\x82\xa0i\r\n");
  const TLabelStyle& st = l->Style();
  EXPECT_EQ(st.face,
            "\x82l\x82r \x82o\x83S\x83V\x83"
            "b\x83N");
  const int32_t wide = std::max(LabelLineWidth("Wide line", st), LabelLineWidth("\x82\xa0i", st));
  EXPECT_GT(wide, 0);
  EXPECT_EQ(l->Width(), wide);
  EXPECT_EQ(l->Height(), (16 + 3) * 2);
  s.Redraw();
  int red = 0;
  for (int32_t y = 0; y < 100; ++y)
    for (int32_t x = 0; x < 200; ++x) {
      const TColor c = s.At(x, y);
      if (c == kWhite) continue;
      EXPECT_TRUE(x >= 4 && y >= 4 && x < 4 + wide && y < 4 + 38) << x << "," << y;
      if (c == kRed) ++red;
    }
  EXPECT_GT(red, 20);
  // Zoomed like an image.
  ImageScene::Set(l, PR_ZOOMX, 512);
  s.Frame();
  EXPECT_EQ(l->Width(), wide * 2);
}

TEST(ImageDrawing, AButtonsCaptionIsCentredAndMovesWhenPressed) {
  ImageScene s(100, 60);
  s.Picture("b.brx", {TPicFrame::Solid(60, 30, kGreen)});
  auto* b = s.Place<TQuenButton>("b", 10, 10);
  ImageScene::Set(b, PR_SOURCE, "b.brx");
  ImageScene::Set(b, PR_PRESSEDSOURCE, "b.brx");
  ImageScene::Set(b, PR_FONTHEIGHT, 14);
  ImageScene::Set(b, PR_FONTCOLOR, kBlue);
  ImageScene::Set(b, PR_TEXT, "OK");
  auto box = [&] {
    s.Redraw();
    TRect r{1000, 1000, -1, -1};
    for (int32_t y = 0; y < 60; ++y)
      for (int32_t x = 0; x < 100; ++x)
        if (s.At(x, y) != kGreen && s.At(x, y) != kWhite) {
          r.Left = std::min(r.Left, x);
          r.Top = std::min(r.Top, y);
          r.Right = std::max(r.Right, x + 1);
          r.Bottom = std::max(r.Bottom, y + 1);
        }
    return r;
  };
  const TRect up = box();
  ASSERT_LT(up.Left, up.Right);
  EXPECT_GE(up.Left, 10);
  EXPECT_LE(up.Right, 70);
  EXPECT_NEAR((up.Left + up.Right) / 2.0, 40, 3);
  b->SetState(TQuenButton::BS_PRESSED);
  EXPECT_EQ(box(), up.Offset(1, 1));
}

TEST(ImageDrawing, AMapShowsItsHoverPictureOnlyInsideTheSelectedArea) {
  for (uint8_t shape : {0, 1, 2}) {
    SCOPED_TRACE(shape);
    ImageScene s;
    s.Picture("map.brx", {TPicFrame::Solid(16, 16, kGreen)});
    s.Picture("hover.brx", {TPicFrame::Solid(16, 16, kRed)});
    TMapAreaList areas;
    TMapArea a;
    a.Name = "door";
    a.ShapeCode = shape;
    a.Region = shape == 0   ? TMapRegion::Rect(2, 2, 6, 6)
               : shape == 1 ? TMapRegion::Ellipse(2, 2, 6, 6)
                            : TMapRegion::Polygon({{2, 2}, {7, 2}, {7, 7}});
    areas.Areas().push_back(a);
    TKvMemoryStream m;
    areas.SaveToStream(m);
    s.Write("a.map", m.Data());
    auto* map = s.Place<TQuenMapImage>("map", 10, 10);
    ImageScene::Set(map, PR_SOURCE, "map.brx");
    ImageScene::Set(map, PR_HOVERSOURCE, "hover.brx");
    ImageScene::Set(map, PR_MAPSOURCE, "a.map");
    map->Select(0);
    s.Redraw();
    const TMapRegion& region = map->Areas().Area(0).Region;
    for (int32_t y = 0; y < 16; ++y)
      for (int32_t x = 0; x < 16; ++x)
        ASSERT_EQ(s.At(10 + x, 10 + y), region.Contains(x, y) ? kRed : kGreen) << x << "," << y;
  }
}

TEST(ImageDrawing, FireGlowsInsideItsFieldOnly) {
  ImageScene s(64, 48);
  s.reg.ActiveRoot().WriteProp(PR_COLOR, TPropValue::OfInt(0));
  auto* fire = s.Place<TQuenFire>("fire", 8, 8);
  ImageScene::Set(fire, PR_ORIGWIDTH, 32);
  ImageScene::Set(fire, PR_ORIGHEIGHT, 24);
  EXPECT_EQ(fire->Width(), 32);
  s.Run(40);
  s.Redraw();
  int glowing = 0;
  for (int32_t y = 0; y < 48; ++y) {
    for (int32_t x = 0; x < 64; ++x) {
      const bool inside = x >= 8 && x < 40 && y >= 8 && y < 32;
      if (!inside) {
        ASSERT_EQ(s.At(x, y), 0) << x << "," << y;
      }
      if (inside && s.At(x, y) != 0) ++glowing;
    }
  }
  // The hot bottom rows and the flames above them.
  EXPECT_NE(s.At(20, 31), 0);
  EXPECT_GT(glowing, 32 * 6);
  // Zoomed, the field is stretched over the control.
  ImageScene::Set(fire, PR_ZOOMX, 128);
  EXPECT_EQ(fire->Width(), 16);
}

TEST(ImageDrawing, AWaveBendsItsChildAndAnAmplitudeOfZeroDrawsItStraight) {
  ImageScene s;
  s.Picture("c.brx", {TPicFrame::Solid(8, 40, kRed)});
  auto* wave = s.Place<TQuenWave>("wave", 10, 0);
  wave->SetBounds(10, 0, 20, 40);
  ImageScene::Set(wave, PR_WAVELEN, 40);
  ImageScene::Set(wave, PR_AMP, 4);
  auto* img = s.Place<TQuenImages>("img", 6, 0, wave);
  ImageScene::Set(img, PR_SOURCE, "c.brx");
  s.Run(3);
  s.Redraw();
  std::vector<int32_t> lefts;
  for (int32_t y = 0; y < 40; ++y) {
    int32_t left = -1;
    for (int32_t x = 0; x < 64 && left < 0; ++x)
      if (s.At(x, y) == kRed) left = x;
    lefts.push_back(left);
    EXPECT_EQ(left, 16 + wave->Offsets()[static_cast<size_t>(y)]) << y;
  }
  EXPECT_NE(*std::min_element(lefts.begin(), lefts.end()),
            *std::max_element(lefts.begin(), lefts.end()));
  ImageScene::Set(wave, PR_AMP, 0);
  s.Redraw();
  for (int32_t y = 0; y < 40; ++y) EXPECT_EQ(s.At(16, y), kRed);
  EXPECT_EQ(s.At(15, 5), kWhite);
}

TEST(ImageDrawing, SnowFallsFromItsEmitterAndTwoRunsGiveTheSameFrames) {
  auto run = [](std::vector<TColor>& frame) {
    SetRandomSeed(7);
    ImageScene s;
    s.Picture("flake.brx", {TPicFrame::Solid(2, 2, kBlue)});
    auto* snow = s.Place<TQuenParticle>("snow", 0, 0);
    snow->SetBounds(0, 0, 64, 48);
    ImageScene::Set(snow, PR_SOURCE, "flake.brx");
    snow->WriteProp(PR_PARAM1, TPropValue::OfFloat(1.5));
    snow->WriteProp(PR_PARAM2, TPropValue::OfFloat(3));
    snow->SetEmitterExpressions(ImageScene::Expr("Random(64)"), ImageScene::Expr("0"),
                                ImageScene::Expr("40"));
    s.Run(30);
    EXPECT_GT(snow->ParticleCount(), 5);
    s.Redraw();
    frame.clear();
    for (int32_t y = 0; y < 48; ++y)
      for (int32_t x = 0; x < 64; ++x) frame.push_back(s.At(x, y));
    return std::count(frame.begin(), frame.end(), kBlue);
  };
  std::vector<TColor> a, b;
  EXPECT_GT(run(a), 10);
  run(b);
  EXPECT_EQ(a, b);
}

}  // namespace
}  // namespace quen
