#include <gtest/gtest.h>
#include <png.h>

#include <cmath>
#include <cstring>
#include <functional>

#include "base/error.h"
#include "base/stream.h"
#include "files/vr_file.h"
#include "imaging/brix_frame.h"
#include "imaging/brix_hooks.h"
#include "imaging/brix_messages.h"
#include "imaging/dibx.h"
#include "imaging/pixel_convert.h"
#include "imaging/png_codec.h"
#include "platform/text_encoding.h"

namespace quen {
namespace {

uint32_t Px(const TDIBSurface& s, int32_t x, int32_t y) {
  return LoadPixel(s.ScanLine(y), s.StorageBitCount(), x);
}

TDIBSurface Pattern(int32_t w, int32_t h, int32_t bits, uint32_t seed) {
  TDIBSurface s;
  s.SetSize(w, h, bits);
  const uint32_t limit = bits == 32   ? 0xFFFFFF
                         : bits == 24 ? 0xFFFFFF
                         : bits == 15 ? 0x7FFF
                         : bits == 16 ? 0xFFFF
                                      : (1u << bits) - 1;
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x)
      StorePixel(s.ScanLine(y), s.StorageBitCount(), x,
                 (seed * 2654435761u + x * 977 + y * 131) & limit);
  for (int i = 0; i < 256; ++i)
    s.ColorTable()[i] = TRGBQuad{uint8_t(i), uint8_t(255 - i), uint8_t(i / 2), 0};
  return s;
}

void ExpectSame(const TDIBSurface& a, const TDIBSurface& b) {
  ASSERT_EQ(a.Width(), b.Width());
  ASSERT_EQ(a.Height(), b.Height());
  ASSERT_EQ(a.BitCount(), b.BitCount());
  for (int32_t y = 0; y < a.Height(); ++y)
    for (int32_t x = 0; x < a.Width(); ++x) ASSERT_EQ(Px(a, x, y), Px(b, x, y)) << x << "," << y;
  ASSERT_EQ(a.Mask() != nullptr, b.Mask() != nullptr);
  if (a.Mask()) ExpectSame(*a.Mask(), *b.Mask());
}

std::string Save(TBrixFrameList& list, int32_t compression, int32_t quality = 70) {
  TKvMemoryStream out;
  list.SaveToStream(out, compression, quality);
  return out.Data();
}

TBrixFrameList Reload(const std::string& bytes, int32_t key, bool keep = false) {
  TBrixFrameList list(key);
  TKvMemoryStream in(bytes);
  list.LoadFromStream(in, false, keep, false);
  return list;
}

TEST(BrixWrite, RoundTripsEveryKindWithKeysMasksLayersAndFrames) {
  for (int32_t key : {0, 4711}) {
    for (int32_t compression : {0, 1}) {
      for (int bits : {4, 8, 15, 16, 24, 32}) {
        SCOPED_TRACE(testing::Message() << key << " " << compression << " " << bits);
        TBrixFrameList list(key);
        list.BackgroundColor = 0x332211;
        TBrixFrame& a = list.AddFrame();
        a.Picture = Pattern(13, 7, bits, 1);
        a.Picture.CreateMask();
        for (int32_t y = 0; y < 7; ++y)
          for (int32_t x = 0; x < 13; ++x) a.Picture.Mask()->ScanLine(y)[x] = uint8_t(x * 19 + y);
        a.Duration = 250;
        a.ColorKey = 3;
        a.Name = "a";
        a.DrawRegions = {TRect{1, 2, 3, 4}};
        TBrixFrame& b = list.AddFrame();
        b.Picture = Pattern(5, 9, bits, 2);
        TBrixFrameList back = Reload(Save(list, compression), key);
        ASSERT_EQ(back.Count(), 2);
        ExpectSame(back.Frame(0).Picture, a.Picture);
        ExpectSame(back.Frame(1).Picture, b.Picture);
        EXPECT_EQ(back.Frame(0).Duration, 250);
        EXPECT_EQ(back.Frame(0).ColorKey, 3);
        EXPECT_EQ(back.Frame(0).DrawRegions, a.DrawRegions);
        EXPECT_EQ(back.BackgroundColor, 0x332211);
      }
    }
  }
}

TEST(BrixWrite, LayersAreStoredWithTheirFlags) {
  TBrixFrameList list(0);
  TBrixFrame& f = list.AddFrame();
  f.Picture = Pattern(6, 4, 32, 0);
  for (int i = 0; i < 3; ++i) {
    TBrixLayer& l = f.AddLayer();
    l.Picture = Pattern(6, 4, 32, 10 + i);
    l.Name = "layer" + std::to_string(i);
    l.Alpha = 100 + i;
    l.ColorKey = i == 1 ? 0x123 : -1;
    l.Visible = i != 2;
  }
  f.Layer(0).Picture.FillMask();
  f.Layer(0).MaskValid = true;
  TBrixFrameList back = Reload(Save(list, 0), 0, true);
  ASSERT_EQ(back.Frame(0).Count(), 3);
  for (int i = 0; i < 3; ++i) {
    const TBrixLayer& l = back.Frame(0).Layer(i);
    EXPECT_EQ(l.Name, "layer" + std::to_string(i));
    EXPECT_EQ(l.Alpha, 100 + i);
    EXPECT_EQ(l.Visible, i != 2);
    ExpectSame(l.Picture, f.Layer(i).Picture);
  }
  EXPECT_EQ(back.Frame(0).Layer(1).ColorKey, 0x123);
  EXPECT_TRUE(back.Frame(0).Layer(0).MaskValid);
}

TEST(BrixWrite, JpegKeepsThePictureClose) {
  TBrixFrameList list(0);
  TBrixFrame& f = list.AddFrame();
  f.Picture.SetSize(64, 32, 32);
  for (int32_t y = 0; y < 32; ++y)
    for (int32_t x = 0; x < 64; ++x)
      StorePixel(f.Picture.ScanLine(y), 32, x, uint32_t(x * 3) << 16 | uint32_t(y * 6) << 8 | 90);
  f.Picture.FillMask();
  f.Picture.Mask()->ScanLine(3)[3] = 17;
  TBrixFrameList back = Reload(Save(list, 2, 80), 0);
  const TDIBSurface& p = back.Frame(0).Picture;
  double sum = 0;
  for (int32_t y = 0; y < 32; ++y)
    for (int32_t x = 0; x < 64; ++x) {
      const uint32_t a = Px(p, x, y), b = Px(f.Picture, x, y);
      for (int s = 0; s < 24; s += 8) {
        const double d = double((a >> s) & 255) - double((b >> s) & 255);
        sum += d * d;
      }
    }
  EXPECT_GT(10 * std::log10(255.0 * 255 / (sum / (64 * 32 * 3))), 30.0);
  EXPECT_EQ(p.Mask()->ScanLine(3)[3], 17);  // masks stay lossless
}

TEST(BrixWrite, RefusesWhatCannotBeStored) {
  TBrixFrameList empty(0);
  TKvMemoryStream out;
  EXPECT_THROW(empty.SaveToStream(out), EQuenError);
  EXPECT_EQ(out.GetSize(), 0);
  TBrixFrameList list(0);
  list.AddFrame().Picture = Pattern(2, 2, 32, 0);
  try {
    list.SaveToStream(out, 0, 70, true);
    FAIL();
  } catch (const EQuenError& e) {
    EXPECT_EQ(e.Message(), msg::kBrixKeyNotSet);
  }
  // A frame without pixels cannot be written, scrambled or not.
  TBrixFrameList hollow(5);
  hollow.AddFrame();
  EXPECT_THROW(hollow.SaveToStream(out), EQuenError);
  TBrixFrame& f = list.Frame(0);
  f.AddLayer().Picture = Pattern(2, 2, 32, 0);
  f.AddLayer().Picture = Pattern(3, 2, 32, 0);
  EXPECT_THROW(list.SaveToStream(out), EQuenError);
  EXPECT_EQ(out.GetSize(), 0);
}

TEST(BrixWrite, ArchivesAskWhetherContentIsCompressed) {
  TBrixFrameList list(0);
  list.AddFrame().Picture = Pattern(2, 2, 32, 0);
  EXPECT_TRUE(BrxContentCompressed(Save(list, 0)));
  EXPECT_TRUE(BrxContentCompressed(Save(list, 2)));
  EXPECT_FALSE(BrxContentCompressed(Save(list, 1)));
  EXPECT_FALSE(BrxContentCompressed("Brix1"));
  InstallBrixHooks();
  ASSERT_TRUE(TVrFileCollection::BrxAlreadyCompressed);
  EXPECT_FALSE(TVrFileCollection::BrxAlreadyCompressed(Save(list, 1)));
}

TEST(BrixFrame, MovedListsRepointTheirFrames) {
  TBrixFrameList a(7);
  a.AddFrame();
  TBrixFrameList b(std::move(a));
  EXPECT_EQ(b.Frame(0).Owner, &b);
  EXPECT_EQ(b.Key, 7);
  TBrixFrameList c(0);
  c = std::move(b);
  EXPECT_EQ(c.Frame(0).Owner, &c);
}

TEST(BrixFrame, MakeMaskUsesTheLayerKeyOrTheFrames) {
  TBrixFrame f(nullptr);
  f.Picture = Pattern(4, 1, 8, 0);
  StorePixel(f.Picture.ScanLine(0), 8, 2, 9);
  f.ColorKey = 9;
  TBrixLayer& own = f.AddLayer();
  own.Picture = f.Picture;
  own.ColorKey = Px(f.Picture, 0, 0);
  TBrixLayer& inherit = f.AddLayer();
  inherit.Picture = f.Picture;
  f.MakeMask(true);
  EXPECT_EQ(f.Picture.Mask()->ScanLine(0)[2], 0);
  EXPECT_EQ(f.Picture.Mask()->ScanLine(0)[1], 255);
  EXPECT_EQ(own.Picture.Mask()->ScanLine(0)[0], 0);
  EXPECT_EQ(own.Picture.Mask()->ScanLine(0)[2], 255);
  EXPECT_EQ(inherit.Picture.Mask()->ScanLine(0)[2], 0);
  // Neither key: nothing cleared.
  TBrixFrame g(nullptr);
  g.AddLayer().Picture = f.Picture;
  g.Layer(0).Picture.FreeMask();
  g.MakeMask(true);
  EXPECT_EQ(g.Layer(0).Picture.Mask()->ScanLine(0)[2], 255);
}

TEST(BrixFrame, TrimCropsToVisibleContent) {
  TBrixFrame f(nullptr);
  f.Picture = Pattern(10, 8, 24, 0);
  TDIBSurface& m = f.Picture.CreateMask();
  std::memset(m.Bits(), 0, static_cast<size_t>(m.ImageBytes()));
  m.ScanLine(2)[3] = 1;
  m.ScanLine(5)[6] = 200;
  f.DrawRegions = {TRect{0, 0, 4, 4}, TRect{8, 0, 10, 2}};
  const uint32_t corner = Px(f.Picture, 3, 2);
  TRect r;
  f.Trim(r);
  EXPECT_EQ(r, (TRect{3, 2, 7, 6}));
  EXPECT_EQ(f.Picture.Width(), 4);
  EXPECT_EQ(Px(f.Picture, 0, 0), corner);
  EXPECT_EQ(f.Picture.Mask()->ScanLine(3)[3], 200);
  ASSERT_EQ(f.DrawRegions.size(), 1u);
  EXPECT_EQ(f.DrawRegions[0], (TRect{3, 2, 4, 4}));

  // Fully transparent by key: 1 x 1 at (0, 0).
  TBrixFrame k(nullptr);
  k.Picture.SetSize(5, 5, 16);
  k.ColorKey = 0;
  k.Trim(r);
  EXPECT_EQ(r, (TRect{0, 0, 1, 1}));
  EXPECT_EQ(k.Picture.Width(), 1);
  // No mask and no key: whole picture, unchanged.
  TBrixFrame n(nullptr);
  n.Picture.SetSize(5, 5, 16);
  n.Trim(r);
  EXPECT_EQ(r, (TRect{0, 0, 5, 5}));
}

TEST(BrixFrame, CopiesToSurfacesOfAnyDepth) {
  TBrixFrame f(nullptr);
  f.Picture.SetSize(3, 2, 32);
  StorePixel(f.Picture.ScanLine(1), 32, 2, 0xAB123456);
  f.Picture.FillMask();
  f.Picture.Mask()->ScanLine(1)[2] = 9;
  f.DrawRegions = {TRect{0, 0, 2, 2}};
  f.SecondRegions = {TRect{1, 1, 3, 2}, TRect{0, 0, 1, 1}};
  TDIBX s32;
  s32.SetSize(1, 1, 32);
  f.CopyToSurface(s32);
  EXPECT_EQ(s32.Width(), 3);
  EXPECT_EQ(s32.DrawRegions(), f.DrawRegions);
  EXPECT_EQ(s32.SecondRegions(), f.SecondRegions);
  EXPECT_EQ(s32.GetPixel(2, 1), 0x123456u);  // fourth byte cleared
  TDIBX s16;
  s16.SetSize(1, 1, 16);
  f.CopyToSurface(s16);
  EXPECT_EQ(s16.BitCount(), 16);
  EXPECT_EQ(s16.GetPixel(2, 1), RgbToPixel(16, 0x12, 0x34, 0x56));
  TDIBX mask;
  f.CopyMaskToSurface(mask);
  EXPECT_EQ(mask.BitCount(), 8);
  EXPECT_EQ(mask.GetPixel(2, 1), 9u);
}

// A PNG made with libpng: channel values come from sample(x, y, channel).
std::string MakePng(int w, int h, int colorType, int depth, bool interlace,
                    const std::function<uint32_t(int, int, int)>& sample,
                    const std::vector<png_color>& palette = {},
                    const std::vector<png_byte>& trnsAlpha = {},
                    const png_color_16* trnsColor = nullptr) {
  std::string out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_set_write_fn(
      png, &out,
      [](png_structp p, png_bytep d, size_t n) {
        static_cast<std::string*>(png_get_io_ptr(p))->append(reinterpret_cast<char*>(d), n);
      },
      nullptr);
  png_set_IHDR(png, info, w, h, depth, colorType,
               interlace ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  if (!palette.empty()) png_set_PLTE(png, info, palette.data(), int(palette.size()));
  if (!trnsAlpha.empty() || trnsColor) {
    png_set_tRNS(png, info, trnsAlpha.empty() ? nullptr : trnsAlpha.data(), int(trnsAlpha.size()),
                 trnsColor);
  }
  png_write_info(png, info);
  const int channels = colorType == PNG_COLOR_TYPE_RGB          ? 3
                       : colorType == PNG_COLOR_TYPE_RGB_ALPHA  ? 4
                       : colorType == PNG_COLOR_TYPE_GRAY_ALPHA ? 2
                                                                : 1;
  std::vector<std::vector<png_byte>> rows(
      h, std::vector<png_byte>((w * channels * depth + 7) / 8 + 1));
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      for (int c = 0; c < channels; ++c) {
        const uint32_t v = sample(x, y, c);
        const int bit = (x * channels + c) * depth;
        if (depth == 16) {
          rows[y][bit / 8] = png_byte(v >> 8);
          rows[y][bit / 8 + 1] = png_byte(v);
        } else if (depth == 8) {
          rows[y][bit / 8] = png_byte(v);
        } else {
          rows[y][bit / 8] |= png_byte(v << (8 - depth - bit % 8));
        }
      }
    }
  }
  std::vector<png_bytep> ptrs;
  for (auto& r : rows) ptrs.push_back(r.data());
  png_write_image(png, ptrs.data());
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

TBrixFrameList LoadPngBytes(const std::string& bytes) {
  TBrixFrameList list(0);
  TKvMemoryStream s(bytes);
  list.LoadPng(s);
  return list;
}

TEST(BrixPng, ColourAlphaBecomesTheMaskOpaqueStaysOpaque) {
  for (bool interlace : {false, true}) {
    for (int depth : {8, 16}) {
      SCOPED_TRACE(depth + interlace);
      const auto bytes =
          MakePng(5, 9, PNG_COLOR_TYPE_RGB_ALPHA, depth, interlace, [&](int x, int y, int c) {
            const uint32_t v8 = c == 3 ? (x == 0 ? 255 : x * 40) : uint32_t(x * 50 + y * 3 + c);
            return depth == 16 ? v8 * 257 : v8;
          });
      TBrixFrameList list = LoadPngBytes(bytes);
      const TDIBSurface& p = list.Frame(0).Picture;
      EXPECT_EQ(p.BitCount(), 24);
      EXPECT_EQ(Px(p, 2, 4), uint32_t(100 + 12) << 16 | uint32_t(101 + 12) << 8 | (102 + 12));
      ASSERT_TRUE(p.Mask());
      EXPECT_EQ(p.Mask()->ScanLine(3)[0], 255);
      EXPECT_EQ(p.Mask()->ScanLine(3)[2], 80);
    }
  }
}

TEST(BrixPng, PaletteGreyAndTransparentColours) {
  std::vector<png_color> pal = {{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
  auto index = [](int x, int, int) { return uint32_t(x % 4); };
  // One fully transparent entry is a key.
  TBrixFrameList keyed =
      LoadPngBytes(MakePng(8, 2, PNG_COLOR_TYPE_PALETTE, 2, false, index, pal, {255, 0}));
  EXPECT_EQ(keyed.Frame(0).Picture.BitCount(), 8);
  EXPECT_EQ(keyed.Frame(0).ColorKey, 1);
  EXPECT_EQ(keyed.Frame(0).ColorKeyColor, 0x0000FF);
  EXPECT_FALSE(keyed.Frame(0).HasMask());
  EXPECT_EQ(Px(keyed.Frame(0).Picture, 7, 1), 3u);
  // Partial palette alpha is a mask.
  TBrixFrameList masked =
      LoadPngBytes(MakePng(8, 2, PNG_COLOR_TYPE_PALETTE, 4, true, index, pal, {10, 20, 30}));
  ASSERT_TRUE(masked.Frame(0).HasMask());
  EXPECT_EQ(masked.Frame(0).Picture.Mask()->ScanLine(0)[2], 30);
  EXPECT_EQ(masked.Frame(0).Picture.Mask()->ScanLine(0)[3], 255);
  // Grey of every depth, with a transparent grey.
  for (int depth : {1, 2, 4, 8, 16}) {
    SCOPED_TRACE(depth);
    const uint32_t max = (1u << depth) - 1;
    png_color_16 t{};
    t.gray = static_cast<png_uint_16>(max);
    TBrixFrameList g = LoadPngBytes(MakePng(
        9, 3, PNG_COLOR_TYPE_GRAY, depth, depth == 4,
        [&](int x, int, int) { return x % 2 ? max : 0; }, {}, {}, &t));
    EXPECT_EQ(Px(g.Frame(0).Picture, 1, 2), 255u);
    EXPECT_EQ(Px(g.Frame(0).Picture, 2, 2), 0u);
    EXPECT_EQ(g.Frame(0).ColorKey, 255);
  }
  // RGB with a transparent colour; grey with alpha.
  png_color_16 rgbKey{0, 10, 20, 30, 0};
  TBrixFrameList rgb = LoadPngBytes(MakePng(
      2, 2, PNG_COLOR_TYPE_RGB, 8, false, [](int, int, int c) { return uint32_t(10 + c * 10); }, {},
      {}, &rgbKey));
  EXPECT_EQ(rgb.Frame(0).ColorKey, 0x0A141E);
  TBrixFrameList ga =
      LoadPngBytes(MakePng(2, 2, PNG_COLOR_TYPE_GRAY_ALPHA, 8, false,
                           [](int x, int, int c) { return c ? uint32_t(x * 99) : 7u; }));
  EXPECT_EQ(ga.Frame(0).Picture.Mask()->ScanLine(0)[1], 99);
}

TEST(BrixPng, DamagedPngsRaiseTheError) {
  const auto good = MakePng(4, 4, PNG_COLOR_TYPE_RGB, 8, false,
                            [](int x, int y, int c) { return uint32_t(x + y + c); });
  for (size_t n : {size_t{0}, size_t{8}, size_t{30}, good.size() - 20}) {
    EXPECT_THROW(LoadPngBytes(good.substr(0, n)), EQuenError) << n;
  }
  std::string bad = good;
  bad[40] ^= 0x55;  // broken pixel data
  EXPECT_THROW(LoadPngBytes(bad), EQuenError);
}

TEST(BrixPng, WriterRoundTripsThroughTheReader) {
  TDIBSurface p = Pattern(7, 3, 24, 5);
  p.FillMask();
  p.Mask()->ScanLine(1)[1] = 33;
  TKvMemoryStream out;
  WritePng(out, p);
  TBrixFrameList back = LoadPngBytes(out.Data());
  ExpectSame(back.Frame(0).Picture, p);
}

TEST(BrixBitmap, ThirtyTwoBitAlphaBecomesTheMask) {
  TDIBSurface p = Pattern(3, 2, 32, 1);
  // A bitmap written with 8 bits of alpha in the fourth byte: build it by hand.
  std::string bmp(54 + 3 * 2 * 4, '\0');
  auto put32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) bmp[at + i] = char(v >> (8 * i));
  };
  bmp[0] = 'B', bmp[1] = 'M';
  put32(2, uint32_t(bmp.size()));
  put32(10, 54);
  put32(14, 40);
  put32(18, 3);
  put32(22, 2);
  bmp[26] = 1, bmp[28] = 32;
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x)
      put32(54 + (y * 3 + x) * 4, (Px(p, x, 1 - y) & 0xFFFFFF) | uint32_t(x * 100) << 24);
  TBrixFrameList list(0);
  TKvMemoryStream s(bmp);
  list.LoadBitmap(s);
  const TDIBSurface& got = list.Frame(0).Picture;
  EXPECT_EQ(got.BitCount(), 24);
  EXPECT_EQ(Px(got, 2, 1), Px(p, 2, 1) & 0xFFFFFF);
  ASSERT_TRUE(got.Mask());
  EXPECT_EQ(got.Mask()->ScanLine(0)[2], 200);
  // Fourth bytes all 0 still make the mask: a fully transparent one.
  for (int i = 0; i < 6; ++i) bmp[54 + i * 4 + 3] = 0;
  TKvMemoryStream plain(bmp);
  list.LoadBitmap(plain);
  const TDIBSurface* m = list.Frame(0).Picture.Mask();
  ASSERT_TRUE(m);
  for (int32_t y = 0; y < 2; ++y)
    for (int32_t x = 0; x < 3; ++x) EXPECT_EQ(m->ScanLine(y)[x], 0) << x << "," << y;
}

TEST(BrixBitmap, EveryDepthLoads) {
  for (int bits : {1, 4, 8, 15, 16, 24}) {
    SCOPED_TRACE(bits);
    TDIBSurface p = Pattern(9, 5, bits, 3);
    TKvMemoryStream out;
    p.SaveToBitmapStream(out, bits);
    TBrixFrameList list(0);
    out.SetPosition(0);
    list.LoadBitmap(out);
    ASSERT_EQ(list.Count(), 1);
    const TDIBSurface& got = list.Frame(0).Picture;
    for (int32_t y = 0; y < 5; ++y)
      for (int32_t x = 0; x < 9; ++x)
        ASSERT_EQ(PixelToColor(got.BitCount(), Px(got, x, y), &got.ColorTable()),
                  PixelToColor(bits, Px(p, x, y), &p.ColorTable()));
  }
  // Run-length coded 8 bits: 3 x 1, a run of two 5s and one literal 7.
  std::string rle = std::string("BM") + std::string(52, '\0');
  auto put32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) rle[at + i] = char(v >> (8 * i));
  };
  put32(10, 54 + 1024);
  put32(14, 40);
  put32(18, 3);
  put32(22, 1);
  rle[26] = 1, rle[28] = 8;
  put32(30, 1);
  rle += std::string(1024, '\0');
  rle += std::string("\x02\x05\x01\x07\x00\x01", 6);
  put32(2, uint32_t(rle.size()));
  TBrixFrameList list(0);
  TKvMemoryStream s(rle);
  list.LoadBitmap(s);
  EXPECT_EQ(Px(list.Frame(0).Picture, 1, 0), 5u);
  EXPECT_EQ(Px(list.Frame(0).Picture, 2, 0), 7u);
}

TEST(BrixHooks, SurfacesLoadLayeredAndPngPictures) {
  InstallBrixHooks();
  TBrixFrameList list(99);
  list.AddFrame().Picture = Pattern(4, 3, 24, 7);
  list.AddFrame().Picture = Pattern(2, 2, 24, 8);
  const std::string brx = Save(list, 0);  // scrambled by key 99
  TDIBX surface;
  surface.SetSize(1, 1, 32);
  TKvMemoryStream s(brx);
  surface.LoadFromStream(s, 99);
  EXPECT_EQ(surface.Width(), 4);
  EXPECT_EQ(surface.GetPixel(3, 2), Px(list.Frame(0).Picture, 3, 2));
  TKvMemoryStream png;
  WritePng(png, Pattern(6, 5, 24, 1));
  png.SetPosition(0);
  surface.LoadFromStream(png, 0);
  EXPECT_EQ(surface.Width(), 6);
  TKvMemoryStream other(std::string("nothing we know"));
  surface.LoadFromStream(other, 0);
  EXPECT_EQ(surface.Width(), 6);
}

TEST(BrixMessages, AreTheirTextsInShiftJis) {
  for (const auto& row : msg::kBrixMessages) {
    EXPECT_EQ(platform::Cp932ToUtf8(row.sjis), row.utf8) << row.name;
  }
}

}  // namespace
}  // namespace quen
