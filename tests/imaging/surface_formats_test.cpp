// Pixel formats, sizes, colour conversion and Windows bitmap files.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>

#include "base/error.h"
#include "base/stream.h"
#include "imaging/color_tables.h"
#include "imaging/dibx.h"
#include "imaging/pixel_convert.h"
#include "support/surface_helpers.h"

namespace quen {
namespace {

using testing::Pixels;
using testing::Solid;

TEST(SurfaceFormats, ColorToPixelAtEveryDepth) {
  TDIBX s;
  const std::pair<int32_t, int32_t> red[] = {
      {16, 0xF800}, {15, 0x7C00}, {32, 0xFF0000}, {24, 0xFF0000}};
  for (auto [bits, want] : red) {
    s.SetSize(1, 1, bits);
    EXPECT_EQ(s.ColorToPixel(0x000000FF), want) << bits;
    EXPECT_EQ(s.ColorToPixel(-1), -1);
  }
  s.SetSize(1, 1, 16);
  EXPECT_EQ(s.ColorToPixel(RGBColor(0x08, 0x04, 0xFF)), (1 << 11) | (1 << 5) | 31);
  EXPECT_EQ(s.RedShift(), 11);
  EXPECT_EQ(s.GreenShift(), 5);
  s.SetSize(1, 1, 15);
  EXPECT_EQ(s.BitCount(), 15);
  EXPECT_EQ(s.StorageBitCount(), 16);
  EXPECT_EQ(s.GreenMask(), 0x03E0u);
  s.SetSize(1, 1, 8);
  EXPECT_EQ(s.ColorToPixel(0x00123456), 0x00123456);
  // Back to a colour: 5 bits widen by repeating their top bits.
  s.SetSize(1, 1, 16);
  EXPECT_EQ(s.PixelToColor(0xF800 | (32 << 5) | 1), RGBColor(255, 130, 8));
}

TEST(SurfaceFormats, SizesAreCheckedBeforeAllocating) {
  TDIBX s;
  s.SetSize(4, 3, 32);
  s.Fill(5);
  EXPECT_THROW(s.SetSize(100000, 100000, 32), EQuenError);
  EXPECT_THROW(s.SetSize(-1, 3, 32), EQuenError);
  EXPECT_THROW(s.SetSize(30000, 30000, 32), EQuenError);
  EXPECT_THROW(s.SetSize(4, 3, 12), EQuenError);
  // A refused size leaves the surface as it was.
  EXPECT_EQ(s.Width(), 4);
  EXPECT_EQ(s.GetPixel(3, 2), 5u);
  s.SetSize(0, 0, 32);
  EXPECT_TRUE(s.IsEmpty());
  s.Fill(1);
  s.SetBitCount(16);
  EXPECT_EQ(s.BitCount(), 16);
  s.Clear();
  EXPECT_TRUE(s.IsEmpty());
  EXPECT_EQ(s.GetPixel(0, 0), 0u);
}

TEST(SurfaceFormats, BitmapFilesRoundTripAtEveryDepth) {
  std::mt19937 rng(3);
  for (int32_t bits : {1, 4, 8, 15, 16, 24, 32}) {
    TDIBSurface pic;
    pic.SetSize(13, 5, bits);
    for (int i = 0; i < 256; ++i) {
      pic.ColorTable()[i] = TRGBQuad{static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i), 7, 0};
    }
    for (int64_t i = 0; i < pic.ImageBytes(); ++i) pic.Bits()[i] = static_cast<uint8_t>(rng());
    if (bits == 15) {
      for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 13; ++x) pic.ScanLine(y)[2 * x + 1] &= 0x7F;
    }
    if (bits == 32) {
      for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 13; ++x) pic.ScanLine(y)[4 * x + 3] = 0;
    }
    TKvMemoryStream out;
    pic.SaveToBitmapStream(out, bits);
    out.SetPosition(0);
    TDIBX back;
    back.LoadFromStream(out, 0);
    ASSERT_EQ(back.BitCount(), bits);
    ASSERT_EQ(back.Width(), 13);
    for (int y = 0; y < 5; ++y) {
      for (int x = 0; x < 13; ++x) {
        ASSERT_EQ(back.GetPixel(x, y), LoadPixel(pic.ScanLine(y), bits, x)) << bits;
      }
    }
    if (bits <= 8) {
      TPaletteEntry e[256];
      back.GetPalette(e);
      EXPECT_EQ(e[1].Red, 7);
      EXPECT_EQ(e[1].Green, 254);
      EXPECT_EQ(e[1].Blue, 1);
    }
  }
}

TEST(SurfaceFormats, DamagedBitmapsRaiseTheSystemError) {
  auto s = Solid(3, 2, 24, 0x00112233);
  TKvMemoryStream out;
  s->SaveToStream(out);
  const std::string good = out.Data();
  for (size_t cut : {size_t{10}, size_t{30}, size_t{54}, good.size() - 1}) {
    TKvMemoryStream in(good.substr(0, cut));
    TDIBX t;
    EXPECT_THROW(t.LoadFromStream(in, 0), EQuenError) << cut;
  }
  std::string huge = good;
  huge[18] = '\xFF';
  huge[19] = '\xFF';
  huge[20] = '\xFF';
  huge[21] = '\x7F';
  TKvMemoryStream in(huge);
  TDIBX t;
  EXPECT_THROW(t.LoadFromStream(in, 0), EQuenError);
  // A failed load leaves the surface as it was.
  TKvMemoryStream cut(good.substr(0, good.size() - 2));
  EXPECT_THROW(s->LoadFromStream(cut, 0), EQuenError);
  EXPECT_EQ(s->Width(), 3);
  EXPECT_EQ(s->GetPixel(2, 1), 0x00112233u);
  // Content that is no picture leaves the surface as it was.
  TKvMemoryStream other(std::string("GIF89a........"));
  s->LoadFromStream(other, 0);
  EXPECT_EQ(s->GetPixel(0, 0), 0x00112233u);
}

TEST(SurfaceFormats, FilesAreBitmapsOnly) {
  const std::string dir = ::testing::TempDir();
  auto s = Solid(5, 2, 16, 0xF800);
  s->SaveToFile(dir + "qp_surface.BMP");
  s->SaveToFile(dir + "qp_surface.png");  // another extension writes nothing
  TDIBX back;
  back.LoadFromFile(dir + "qp_surface.BMP");
  EXPECT_EQ(back.BitCount(), 24);  // written as 24 bits
  EXPECT_EQ(back.GetPixel(4, 1), 0x00FF0000u);
  TDIBX none;
  none.LoadFromFile(dir + "qp_surface.png");
  none.LoadFromFile(dir + "qp_missing.bmp");
  EXPECT_TRUE(none.IsEmpty());
  std::remove((dir + "qp_surface.BMP").c_str());
}

TEST(SurfaceFormats, RunLengthBitmapsDecode) {
  // 4 × 2, 8 bits, run-length coded: bottom row "3× index 1, 1× index 2", top row absolute
  // "2 1 2" then end of bitmap.
  std::string f(14 + 40 + 8, '\0');
  auto put32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) f[at + i] = static_cast<char>(v >> (8 * i));
  };
  f[0] = 'B';
  f[1] = 'M';
  put32(10, 14 + 40 + 8);
  put32(14, 40);
  put32(18, 4);
  put32(22, 2);
  f[26] = 1;
  f[28] = 8;
  put32(30, 1);
  put32(46, 2);
  f[54 + 4] = '\x20';  // entry 1: blue 0x20
  f[54 + 6] = '\x40';  // entry 1: red 0x40
  const char codes[] = {3, 1, 1, 2, 0, 0, 0, 3, 2, 1, 2, 0, 0, 1};
  f.append(codes, sizeof codes);
  TKvMemoryStream in(f);
  TDIBX s;
  s.LoadFromStream(in, 0);
  ASSERT_EQ(s.BitCount(), 8);
  EXPECT_EQ(Pixels(s), (std::vector<uint32_t>{2, 1, 2, 0, 1, 1, 1, 2}));
  EXPECT_EQ(s.PixelToColor(1), RGBColor(0x40, 0, 0x20));
}

TEST(SurfaceFormats, ConverterWidensAndNarrowsChannels) {
  TDIBSurface a, b;
  a.SetSize(2, 1, 16);
  StorePixel(a.ScanLine(0), 16, 0, 0xFFFF);
  StorePixel(a.ScanLine(0), 16, 1, (16u << 11) | (1u << 5));
  b.SetSize(2, 1, 32);
  ConvertPixels(a, b);
  EXPECT_EQ(LoadPixel(b.ScanLine(0), 32, 0), 0x00FFFFFFu);
  EXPECT_EQ(LoadPixel(b.ScanLine(0), 32, 1), 0x00840400u);
  TDIBSurface c;
  c.SetSize(2, 1, 15);
  ConvertPixels(b, c);
  EXPECT_EQ(LoadPixel(c.ScanLine(0), 15, 0), 0x7FFFu);
  // Drawing between depths converts on the way.
  auto d15 = Solid(2, 1, 15, 0);
  auto s32 = Solid(2, 1, 32, 0x00FF0000);
  d15->Draw(0, 0, false, false, false, TRect{0, 0, 2, 1}, *s32);
  EXPECT_EQ(d15->GetPixel(1, 0), 0x7C00u);
}

TEST(ColorTables, FireAndGreyAtTheScreenDepth) {
  QuenInitColor(16);
  const TQuenColorTables& t = QuenColorTables();
  EXPECT_EQ(t.Fire32[0], 0u);
  EXPECT_EQ(t.Fire32[32], (102u << 16) | (39u << 8) | 3u);
  EXPECT_EQ(t.Fire32[255], (255u << 16) | (230u << 8) | 175u);
  // Linear with truncation between the stops: 16 is half-way to (102, 39, 3).
  EXPECT_EQ(t.Fire32[16], (51u << 16) | (19u << 8) | 1u);
  EXPECT_EQ(t.Fire16[255], (31u << 11) | (57u << 5) | 21u);
  EXPECT_EQ(t.Grey16[255], 0xFFFFu);
  EXPECT_EQ(t.Grey32[128], 0x00808080u);
  EXPECT_EQ(t.FireFor(24), nullptr);
  QuenInitColor(15);
  EXPECT_EQ(QuenColorTables().Fire16[255], (31u << 10) | (28u << 5) | 21u);
  EXPECT_EQ(QuenColorTables().Grey16[255], 0x7FFFu);
  EXPECT_EQ(QuenColorTables().GreyFor(15), QuenColorTables().Grey16.data());
}

}  // namespace
}  // namespace quen
