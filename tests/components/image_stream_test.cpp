#include <gtest/gtest.h>

#include "base/error.h"
#include "components/quen_kinds.h"
#include "support/image_scene.h"

namespace quen {
namespace {

using test::ImageScene;
using test::TPicFrame;

// Every branch of the image kinds' tails: 103/104 (idle, paused and zoom y), 114/115 (the
// map's closing), 124/125 (the glyph caption's idle), 139/140 (after-image values).
const int32_t kVersions[] = {100, 103, 104, 114, 115, 124, 125, 136, 137, 139, 140};

void Populate(ImageScene& s, int32_t version = 140) {
  s.Picture("a.brx", {TPicFrame::Solid(4, 4, 0x0000FF), TPicFrame::Solid(4, 4, 0x00FF00),
                      TPicFrame::Solid(4, 4, 0xFF0000)});
  TMapAreaList areas;
  areas.Areas().push_back({"one", 0, TMapRegion::Rect(0, 0, 1, 1)});
  TKvMemoryStream m;
  areas.SaveToStream(m);
  s.Write("a.map", m.Data());
  auto str = [](TQuenObject* c, uint8_t code, const char* v) { ImageScene::Set(c, code, v); };
  auto num = [](TQuenObject* c, uint8_t code, int32_t v) { ImageScene::Set(c, code, v); };

  auto* box = s.Place<TQuenBox>("box", 1, 2);
  box->SetBounds(1, 2, 30, 20);
  num(box, PR_BORDERWIDTH, 3);
  num(box, PR_BORDERCOLOR, 0x112233);
  num(box, PR_ALPHA, 300);
  str(box, PR_ONIDLE, "idle");
  str(box, PR_ONPLAYEND, "end");
  num(box, PR_REPEAT, 1);
  num(box, PR_AUTOSCRAP, 1);
  num(box, PR_BLURDELAY, 50);
  num(box, PR_BLURSPAN, 20);

  auto* img = s.Place<TQuenImages>("img", 3, 4, box);
  num(img, PR_ZOOMX, 300);
  // Streams up to 103 hold no zoom y: a loaded image would have another size.
  if (version > 103) num(img, PR_ZOOMY, 200);
  num(img, PR_ANGLE, 7);
  num(img, PR_FLIPH, 1);
  num(img, PR_CAPTUREMASK, 1);
  num(img, PR_BRIGHTNESS, -9);
  num(img, PR_REPEAT, 1);
  str(img, PR_ONPLAYEND, "end");
  str(img, PR_ONIDLE, "idle");
  img->SetWaitExpression(ImageScene::Expr("12 + 30"));
  str(img, PR_SOURCE, "a.brx");
  num(img, PR_INDEX, 2);

  auto* tile = s.Place<TQuenTile>("tile", 0, 0);
  tile->SetBounds(0, 0, 9, 9);
  str(tile, PR_SOURCE, "a.brx");
  num(tile, PR_SCROLLX, -5);
  num(tile, PR_SCROLLY, 6);
  num(tile, PR_DISTANCEX, 7);
  num(tile, PR_DISTANCEY, 8);

  auto* map = s.Place<TQuenMapImage>("map", 5, 5);
  str(map, PR_SOURCE, "a.brx");
  str(map, PR_HOVERSOURCE, "a.brx");
  str(map, PR_MAPSOURCE, "a.map");
  num(map, PR_BRIGHTNESS, 4);
  num(map, PR_ALPHA, 77);
  str(map, PR_ONMAPIN, "in");
  str(map, PR_ONMAPOUT, "out");
  str(map, PR_ONSELECT, "sel");
  num(map, PR_RCLICKSCRAP, 1);
  num(map, PR_PAUSED, 1);

  auto* fire = s.Place<TQuenFire>("fire", 6, 6);
  num(fire, PR_POWER, 90);
  num(fire, PR_ORIGWIDTH, 20);
  num(fire, PR_ORIGHEIGHT, 10);
  num(fire, PR_ZOOMX, 512);
  if (version >= 104) num(fire, PR_ZOOMY, 128);

  auto* wave = s.Place<TQuenWave>("wave", 0, 0);
  wave->SetBounds(0, 0, 20, 20);
  num(wave, PR_AMP, 3);
  num(wave, PR_WAVELEN, 50);
  num(wave, PR_DELAY, 900);
  auto* inner = s.Place<TQuenBox>("inner", 1, 1, wave);
  inner->SetBounds(1, 1, 2, 2);

  auto* par = s.Place<TQuenParticle>("par", 0, 0);
  par->SetBounds(0, 0, 40, 40);
  str(par, PR_SOURCE, "a.brx");
  num(par, PR_PARTMOTION, PM_STAR);
  par->WriteProp(PR_PARAM2, TPropValue::OfFloat(1.25L));
  num(par, PR_ALPHA, 99);
  num(par, PR_INDEX, 160);
  num(par, PR_DURATION, 3000);
  par->SetEmitterExpressions(ImageScene::Expr("1"), nullptr, ImageScene::Expr("20"));

  std::vector<TQuenButton*> buttons;
  for (int i = 0; i < 2; ++i) {
    auto* b = s.Place<TQuenButton>("btn" + std::to_string(i), 10 * i, 30);
    str(b, PR_SOURCE, "a.brx");
    str(b, PR_HOVERSOURCE, "a.brx");
    str(b, PR_PRESSEDSOURCE, "a.brx");
    str(b, PR_CLICKEDSOURCE, "a.brx");
    str(b, PR_ONNOTIFY, "click");
    num(b, PR_GROUPINDEX, 4);
    buttons.push_back(b);
  }
  num(buttons[1], PR_SELECTED, 1);
  str(buttons[0], PR_TEXT, "Go");
  num(buttons[0], PR_FONTHEIGHT, 14);

  auto* label = s.Place<TQuenLabel>("label", 20, 1);
  str(label, PR_TEXT, "one\r\ntwo");
  num(label, PR_FONTHEIGHT, 10);
  num(label, PR_LINESPACE, 2);
  num(label, PR_FONTSTYLE, FS_BOLD);
  num(label, PR_FONTCOLOR, 0x123456);
  num(label, PR_HALIGN, 1);
  num(label, PR_ANTIALIAS, 1);
  num(label, PR_ALPHA, 300);
  num(label, PR_FLIPV, 1);
  num(label, PR_ANGLE, 3);
  num(label, PR_ZOOMX, 128);
  if (version > 103) num(label, PR_ZOOMY, 384);
  str(label, PR_ONPLAYEND, "end");
  num(label, PR_AUTOSCRAP, 1);

  auto* cg = s.Place<TQuenCGLabel>("cg", 2, 2);
  str(cg, PR_SOURCE, "a.brx");
  num(cg, PR_GLYPHWIDTH, 2);
  num(cg, PR_GLYPHHEIGHT, 2);
  num(cg, PR_LINESPACE, 1);
  num(cg, PR_HALIGN, 2);
  num(cg, PR_ALPHA, 128);
  str(cg, PR_MAPTEXT, "ab");
  str(cg, PR_TEXT, "ab\r\nba");
  str(cg, PR_ONIDLE, "idle");
  s.Frame();
}

std::string Save(const TQuenBaseList& reg, int32_t version) {
  TKvMemoryStream m;
  reg.SaveToStream(m, version);
  return m.Data();
}

// Where two streams part, with the bytes around it (whole streams are too long to read).
std::string Difference(const std::string& a, const std::string& b) {
  size_t i = 0;
  while (i < a.size() && i < b.size() && a[i] == b[i]) ++i;
  if (i == a.size() && i == b.size()) return "same";
  auto around = [i](const std::string& s) {
    std::string out;
    for (size_t k = i >= 8 ? i - 8 : 0; k < std::min(s.size(), i + 8); ++k)
      out += std::to_string(static_cast<unsigned char>(s[k])) + (k == i ? "* " : " ");
    return out;
  };
  return "at " + std::to_string(i) + ": " + around(a) + "| " + around(b);
}

TEST(ImageStream, EveryKindsTailRoundTripsInEveryVersion) {
  for (int32_t v : kVersions) {
    SCOPED_TRACE(v);
    ImageScene s;
    Populate(s, v);
    const std::string bytes = Save(s.reg, v);
    TQuenBaseList loaded;
    TKvMemoryStream in(bytes);
    loaded.LoadFromStream(in, v);
    EXPECT_EQ(in.Remaining(), 0);
    EXPECT_EQ(Difference(Save(loaded, v), bytes), "same");
    auto* img = dynamic_cast<TQuenImages*>(loaded.FindComponent("img"));
    ASSERT_NE(img, nullptr);
    EXPECT_EQ(img->PropInt(PR_INDEX), 2);
    EXPECT_EQ(img->Width(), 4 * 300 / 256);
    EXPECT_EQ(img->Height(), v > 103 ? 4 * 200 / 256 : 4);
    ASSERT_NE(img->WaitExpression(), nullptr);
    EXPECT_EQ(img->PropInt(PR_ZOOMY), v > 103 ? 200 : 256);
    auto* map = dynamic_cast<TQuenMapImage*>(loaded.FindComponent("map"));
    EXPECT_EQ(map->Areas().Count(), 1);
    EXPECT_EQ(map->PropBool(PR_PAUSED), v > 103);
    EXPECT_TRUE(dynamic_cast<TQuenButton*>(loaded.FindComponent("btn1"))->Selected());
    EXPECT_EQ(loaded.FindComponent("box")->PropInt(PR_BLURSPAN), v > 139 ? 20 : 0);
    EXPECT_EQ(loaded.FindComponent("cg")->AsControl()->Width(), 4);
    auto* label = loaded.FindComponent("label")->AsControl();
    EXPECT_EQ(label->Width(), s.reg.FindComponent("label")->AsControl()->Width());
    EXPECT_EQ(label->Height(), (10 + 2) * 2 * (v > 103 ? 384 : 256) / 256);
    EXPECT_EQ(loaded.FindComponent("btn0")->PropStr(PR_TEXT), v > 136 ? "Go" : "");
    EXPECT_EQ(loaded.FindComponent("par")->ReadProp(PR_PARAM2).Float, 1.25L);
    loaded.Reset();
  }
}

TEST(ImageStream, DamagedTailsFailWithTheStreamError) {
  ImageScene s;
  Populate(s);
  const std::string bytes = Save(s.reg, 140);
  for (size_t n = 0; n < bytes.size(); n += (n < 600 ? 1 : 3)) {
    TQuenBaseList loaded;
    TKvMemoryStream in(bytes.substr(0, n));
    EXPECT_THROW(loaded.LoadFromStream(in, 140), EQuenError) << n;
    EXPECT_EQ(loaded.ComponentCount(), 0);
  }
  // A closing state the map never has.
  auto* map = dynamic_cast<TQuenMapImage*>(s.reg.FindComponent("map"));
  TKvMemoryStream m;
  map->SaveToStream(m, 140);
  std::string bad = m.Data();
  bad[bad.size() - 4] = 9;
  TQuenBaseList loaded;
  auto* fresh = loaded.Create<TQuenMapImage>();
  TKvMemoryStream in(bad);
  EXPECT_THROW(fresh->LoadFromStream(in, 140), EQuenError);
}

TEST(ImageStream, AFilmsStillImageKeepsItsSourceAndBrightness) {
  ImageScene s;
  s.Picture("a.brx", {TPicFrame::Solid(3, 5, 0x0000FF)});
  auto* still = s.reg.Create<TQuenImage>();
  still->SetSource("a.brx");
  still->SetBrightness(40);
  still->WriteProp(PR_ZOOMX, TPropValue::OfInt(512));
  for (int32_t v : kVersions) {
    TKvMemoryStream m;
    still->SaveToStream(m, v);
    auto* copy = s.reg.Create<TQuenImage>();
    m.SetPosition(0);
    copy->LoadFromStream(m, v);
    EXPECT_EQ(m.Remaining(), 0);
    EXPECT_EQ(copy->Source(), "a.brx");
    EXPECT_EQ(copy->Brightness(), 40);
    EXPECT_EQ(copy->Width(), 6);
    EXPECT_EQ(copy->Height(), 5);
    s.reg.Destroy(copy);
  }
  // The snapshot is the screen, on the shown root, under a name no save keeps.
  s.reg.ActiveRoot().WriteProp(PR_COLOR, TPropValue::OfInt(0x00FF00));
  s.Redraw();
  TQuenImage* shot = TQuenImage::MakeScreenSnapshot(s.reg);
  EXPECT_EQ(shot->Name(), std::string("\x01\x01", 2));
  EXPECT_EQ(shot->Parent(), &s.reg.ActiveRoot());
  EXPECT_EQ(shot->Width(), 64);
  EXPECT_EQ(shot->OwnSurface().PixelToColor(shot->OwnSurface().GetPixel(5, 5)), 0x00FF00);
  EXPECT_EQ(Save(s.reg, 140).find(std::string("\x01\x01", 2)), std::string::npos);
}

}  // namespace
}  // namespace quen
