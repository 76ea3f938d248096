#include <gtest/gtest.h>

#include <cmath>

#include "base/error.h"
#include "base/stream.h"
#include "files/kv_random.h"
#include "imaging/brix_frame.h"
#include "imaging/brix_scramble.h"
#include "imaging/pixel_convert.h"
#include "support/brix_test_writer.h"

namespace quen {
namespace {

using brixtest::TFileSpec;
using brixtest::TFrameSpec;
using brixtest::TLayerSpec;
using brixtest::TRaw;

uint32_t Px(const TDIBSurface& s, int32_t x, int32_t y) {
  return LoadPixel(s.ScanLine(y), s.StorageBitCount(), x);
}

// A picture whose every pixel differs: value = seed + x + 16 * y, cut to the depth.
TRaw Ramp(int32_t w, int32_t h, int32_t bits, uint32_t seed = 1) {
  TRaw r(w, h, bits);
  const uint32_t limit = bits >= 32 ? 0xFFFFFFFFu : bits == 15 ? 0x7FFFu : (1u << bits) - 1;
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) r.Set(x, y, (seed + x * 7 + y * 131) & limit);
  return r;
}

void ExpectPicture(const TDIBSurface& pic, TRaw raw) {
  ASSERT_EQ(pic.Width(), raw.w);
  ASSERT_EQ(pic.Height(), raw.h);
  for (int32_t y = 0; y < raw.h; ++y) {
    for (int32_t x = 0; x < raw.w; ++x) {
      ASSERT_EQ(Px(pic, x, y), LoadPixel(raw.Row(y), brixtest::StorageBits(raw.bits), x))
          << x << "," << y;
    }
  }
}

TFrameSpec OneLayer(TRaw raw, int32_t duration = 100) {
  TFrameSpec f;
  f.w = raw.w;
  f.h = raw.h;
  f.bits = raw.bits;
  f.duration = duration;
  for (int i = 0; i < 16; ++i) f.table.push_back(static_cast<uint32_t>(i * 0x101010));
  TLayerSpec l;
  l.picture = std::move(raw);
  f.layers.push_back(std::move(l));
  return f;
}

TBrixFrameList Load(const std::string& bytes, int32_t key = 0, bool first = false,
                    bool keep = false, bool masks = false) {
  TBrixFrameList list(key);
  TKvMemoryStream s(bytes);
  list.LoadFromStream(s, first, keep, masks);
  return list;
}

TEST(BrixRead, EveryVersionReadsItsFields) {
  for (int version : {0, 100, 101, 102, 103, 104, 105, 106}) {
    for (int compression : {0, 1}) {
      if (version < 103 && compression == 1) continue;
      SCOPED_TRACE(version * 10 + compression);
      TFileSpec f;
      f.version = version;
      f.compression = compression;
      f.background = 0x123456;
      f.opaqueBottom = true;
      f.frames.push_back(OneLayer(Ramp(5, 3, 32), 40));
      f.frames.push_back(OneLayer(Ramp(4, 2, 32, 99), 70));
      f.frames[1].name = "second";
      f.frames[1].regions = {TRect{0, 0, 2, 2}};
      f.frames[1].second = {TRect{1, 1, 3, 2}, TRect{0, 0, 1, 1}};
      TRaw mask(4, 2, 8);
      mask.Fill(200);
      f.frames[1].layers[0].mask = mask;
      f.frames[1].layers[0].maskValid = true;
      TBrixFrameList list = Load(brixtest::Write(f));
      EXPECT_EQ(list.Version, version);
      ASSERT_EQ(list.Count(), 2);
      EXPECT_EQ(list.BackgroundColor, version >= 102 ? 0x123456 : 0);
      EXPECT_EQ(list.OpaqueBottom, version >= 105);
      EXPECT_EQ(list.Frame(1).Duration, 70);
      EXPECT_EQ(list.Frame(1).Name, "second");
      ExpectPicture(list.Frame(0).Picture, Ramp(5, 3, 32));
      ExpectPicture(list.Frame(1).Picture, Ramp(4, 2, 32, 99));
      EXPECT_EQ(list.Frame(1).HasMask(), version >= 101);
      EXPECT_EQ(list.Frame(1).SecondRegions.size(), version >= 104 ? 2u : 0u);
      EXPECT_EQ(list.Frame(0).Count(), 0);  // layers freed without keepLayers
    }
  }
}

TEST(BrixRead, RowsOfEveryDepthIncluding15BitsStoredIn16) {
  for (int bits : {1, 4, 8, 15, 16, 24, 32}) {
    SCOPED_TRACE(bits);
    TFileSpec f;
    f.frames.push_back(OneLayer(Ramp(17, 3, bits)));
    TBrixFrameList list = Load(brixtest::Write(f));
    EXPECT_EQ(list.Frame(0).Picture.BitCount(), bits);
    ExpectPicture(list.Frame(0).Picture, Ramp(17, 3, bits));
  }
  // Width 17 at 15 bits: 36 bytes a row, as at 16 bits.
  EXPECT_EQ(brixtest::RowLen(17, 15), 36);
}

TEST(BrixRead, ScrambledRowsAndTablesFollowTheKey) {
  for (int32_t key : {1, 12345, -7}) {
    SCOPED_TRACE(key);
    TFileSpec f;
    f.scrambled = true;
    f.key = key;
    f.frames.push_back(OneLayer(Ramp(6, 9, 16)));
    const std::string bytes = brixtest::Write(f);
    ExpectPicture(Load(bytes, key).Frame(0).Picture, Ramp(6, 9, 16));
    f.blockW = 2;
    f.blockH = 2;
    ExpectPicture(Load(brixtest::Write(f), key).Frame(0).Picture, Ramp(6, 9, 16));
  }
  // Written with key 0 (not scrambled) the order is plain whatever key the reader holds.
  TFileSpec plain;
  plain.scrambled = false;
  plain.key = 0;
  plain.frames.push_back(OneLayer(Ramp(3, 5, 32)));
  ExpectPicture(Load(brixtest::Write(plain), 777).Frame(0).Picture, Ramp(3, 5, 32));
}

TEST(BrixRead, ScrambleOrderMatchesThePoolGenerator) {
  for (int32_t key : {0, 1, 5, 99991, -123456}) {
    for (int32_t n : {1, 2, 7, 64, 1000}) {
      TKvRandom pool(key);
      pool.Reset(n);
      TBrixScramble fast(key, n);
      for (int32_t i = 0; i < n; ++i) ASSERT_EQ(fast.Next(), pool.NextIndex()) << key << " " << n;
      EXPECT_EQ(fast.Next(), -1);
    }
  }
}

TEST(BrixRead, BlocksCopyOnlyWhatExistsAndFits) {
  // 5 x 3 in 2 x 2 blocks: 3 across, 2 down; the right column and bottom row are smaller.
  for (int bits : {4, 32}) {
    SCOPED_TRACE(bits);
    TFileSpec f;
    f.blockW = 2;
    f.blockH = 2;
    f.compression = 0;
    TRaw src = Ramp(5, 3, bits);
    TFrameSpec fr = OneLayer(src);
    // Block 1 copies block 0; block 5 (1 x 1) copies the top-left of block 0; block 3 names
    // a block that does not exist; block 4 names itself.
    fr.layers[0].entries = {{-1, 0}, {-2, 0}, {-1, 0}, {-2, 99}, {-2, 4}, {-2, 0}};
    f.frames.push_back(fr);
    const TDIBSurface pic = Load(brixtest::Write(f)).Frame(0).Picture;
    for (int y = 0; y < 2; ++y) {
      for (int x = 0; x < 2; ++x) {
        EXPECT_EQ(Px(pic, 2 + x, y), LoadPixel(src.Row(y), bits, x));  // block 1 = block 0
        EXPECT_EQ(Px(pic, 4, y), LoadPixel(src.Row(y), bits, 4));      // block 2 stored
      }
    }
    EXPECT_EQ(Px(pic, 0, 2), 0u);  // block 3: nothing copied, the layer stays blank
    EXPECT_EQ(Px(pic, 2, 2), 0u);  // block 4: itself, blank
    EXPECT_EQ(Px(pic, 4, 2), LoadPixel(src.Row(0), bits, 0));
  }
}

TEST(BrixRead, BlockReferencesToOtherFramesNeedEarlierMatchingLayers) {
  TFileSpec f;
  f.blockW = 2;
  f.blockH = 2;
  f.frames.push_back(OneLayer(Ramp(4, 2, 32, 5)));
  TFrameSpec second = OneLayer(Ramp(4, 2, 32, 900));
  // Block 0 from frame 0 layer 0; block 1 from the current frame: refused.
  second.layers[0].entries = {{0, 0}, {1, 0}};
  f.frames.push_back(second);
  TFrameSpec third = OneLayer(Ramp(4, 2, 32, 900));
  // A missing layer and a later frame: nothing.
  third.layers[0].entries = {{0, 3}, {5, 0}};
  f.frames.push_back(third);
  // A mask chunk naming a layer without a mask copies nothing.
  third.layers[0].mask = TRaw(4, 2, 8);
  third.layers[0].mask->Fill(9);
  third.layers[0].maskEntries = {{0, 0}, {-1, 0}};
  third.layers[0].maskValid = true;
  f.frames.back() = third;
  TFrameSpec other = OneLayer(Ramp(4, 2, 16, 900));
  other.layers[0].entries = {{0, 0}, {-1, 0}};  // another depth: nothing
  f.frames.push_back(other);
  TBrixFrameList list = Load(brixtest::Write(f));
  TRaw first = Ramp(4, 2, 32, 5);
  EXPECT_EQ(Px(list.Frame(1).Picture, 1, 1), LoadPixel(first.Row(1), 32, 1));
  EXPECT_EQ(Px(list.Frame(1).Picture, 2, 0), 0u);
  EXPECT_EQ(Px(list.Frame(2).Picture, 0, 0), 0u);
  EXPECT_EQ(Px(list.Frame(2).Picture, 3, 1), 0u);
  EXPECT_EQ(Px(list.Frame(3).Picture, 0, 0), 0u);
  EXPECT_EQ(list.Frame(2).Picture.Mask()->ScanLine(0)[0], 0);
  EXPECT_EQ(list.Frame(2).Picture.Mask()->ScanLine(1)[3], 9);
  TRaw last = Ramp(4, 2, 16, 900);
  EXPECT_EQ(Px(list.Frame(3).Picture, 3, 1), LoadPixel(last.Row(1), 16, 3));
}

TEST(BrixRead, BlockReferencesReachEarlierLayersOfTheSameFrame) {
  TFileSpec f;
  f.blockW = 2;
  f.blockH = 2;
  TRaw under = Ramp(6, 2, 32, 5), over = Ramp(6, 2, 32, 900);
  TFrameSpec fr = OneLayer(under);
  TLayerSpec top;
  top.picture = over;
  // Block 0 from layer 0 of this frame, block 1 stored, block 2 from the layer being read.
  top.entries = {{0, 0}, {-1, 0}, {0, 1}};
  fr.layers.push_back(top);
  f.frames.push_back(fr);
  TBrixFrameList list = Load(brixtest::Write(f), 0, false, true);
  const TDIBSurface& got = list.Frame(0).Layer(1).Picture;
  for (int32_t y = 0; y < 2; ++y) {
    for (int32_t x = 0; x < 2; ++x) {
      EXPECT_EQ(Px(got, x, y), LoadPixel(under.Row(y), 32, x));
      EXPECT_EQ(Px(got, 2 + x, y), LoadPixel(over.Row(y), 32, 2 + x));
      EXPECT_EQ(Px(got, 4 + x, y), 0u);
    }
  }
  EXPECT_EQ(Px(list.Frame(0).Picture, 1, 1), LoadPixel(under.Row(1), 32, 1));
}

TEST(BrixRead, MaskChunksUseBlocksAndFrameReferencesToo) {
  TFileSpec f;
  f.blockW = 2;
  f.blockH = 1;
  f.compression = 0;
  TFrameSpec a = OneLayer(Ramp(3, 1, 24));
  TRaw m(3, 1, 8);
  m.Set(0, 0, 10), m.Set(1, 0, 20), m.Set(2, 0, 30);
  a.layers[0].mask = m;
  a.layers[0].maskValid = true;
  f.frames.push_back(a);
  TFrameSpec b = OneLayer(Ramp(3, 1, 24));
  b.layers[0].mask = TRaw(3, 1, 8);
  b.layers[0].maskEntries = {{0, 0}, {-1, 0}};
  b.layers[0].maskValid = true;
  f.frames.push_back(b);
  TBrixFrameList list = Load(brixtest::Write(f));
  const TDIBSurface* mask = list.Frame(1).Picture.Mask();
  ASSERT_NE(mask, nullptr);
  EXPECT_EQ(mask->ScanLine(0)[0], 10);
  EXPECT_EQ(mask->ScanLine(0)[1], 20);
  EXPECT_EQ(mask->ScanLine(0)[2], 0);
}

double Psnr(const TDIBSurface& pic, TRaw raw) {
  double sum = 0;
  int n = 0;
  for (int32_t y = 0; y < raw.h; ++y) {
    for (int32_t x = 0; x < raw.w * 3; ++x) {
      const double d = double(pic.ScanLine(y)[x]) - raw.Row(y)[x];
      sum += d * d;
      ++n;
    }
  }
  return sum == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / (sum / n));
}

TRaw Smooth(int32_t w, int32_t h) {
  TRaw r(w, h, 24);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) r.Set(x, y, (x * 4) | ((y * 4) << 8) | (((x + y) * 2) << 16));
  return r;
}

TEST(BrixRead, JpegChunksMustMatchTheFrame) {
  TFileSpec f;
  f.compression = 2;
  TFrameSpec fr = OneLayer(Smooth(32, 16));
  TRaw m(32, 16, 8);
  m.Fill(77);
  fr.layers[0].mask = m;  // masks of such files are zlib
  fr.layers[0].maskValid = true;
  f.frames.push_back(fr);
  TBrixFrameList list = Load(brixtest::Write(f));
  EXPECT_GT(Psnr(list.Frame(0).Picture, Smooth(32, 16)), 30.0);
  EXPECT_EQ(list.Frame(0).Picture.Mask()->ScanLine(5)[5], 77);

  // A 16-bit frame takes the JPEG converted; a grey JPEG is accepted.
  TFrameSpec grey = OneLayer(Smooth(8, 8));
  grey.bits = 16;
  TRaw g(8, 8, 8);
  g.Fill(136);
  grey.layers[0].pictureChunk = brixtest::Jpeg(g, 95, TJPF_GRAY);
  f.frames = {grey};
  TBrixFrameList gl = Load(brixtest::Write(f));
  EXPECT_EQ(PixelToColor(16, Px(gl.Frame(0).Picture, 3, 3), nullptr) & 0xF0F0F0, 0x808080);

  // Four components (CMYK) are not a picture of ours.
  tjhandle tj = tjInitCompress();
  std::vector<unsigned char> cmyk(8 * 8 * 4, 100);
  unsigned char* buf = nullptr;
  unsigned long size = 0;
  ASSERT_EQ(tjCompress2(tj, cmyk.data(), 8, 32, 8, TJPF_CMYK, &buf, &size, TJSAMP_444, 90, 0), 0);
  grey.layers[0].pictureChunk = std::string(reinterpret_cast<char*>(buf), size);
  tjFree(buf);
  tjDestroy(tj);
  f.frames = {grey};
  EXPECT_THROW(Load(brixtest::Write(f)), EQuenError);

  // Another size than the frame's is refused.
  TFrameSpec wrong = OneLayer(Smooth(32, 16));
  wrong.w = 16;
  f.frames = {wrong};
  EXPECT_THROW(Load(brixtest::Write(f)), EQuenError);
}

TEST(BrixRead, ComposesLayersByTheirFlags) {
  TFileSpec f;
  f.background = 0x0000FF;  // red
  TFrameSpec fr;
  fr.w = 2, fr.h = 1, fr.bits = 32;
  TLayerSpec bottom;
  bottom.picture = TRaw(2, 1, 32);
  bottom.picture.Set(0, 0, 0x00FF00), bottom.picture.Set(1, 0, 0x111111);
  bottom.key = 0x111111;  // keyed: the background shows through
  TLayerSpec hidden;
  hidden.visible = false;
  hidden.picture = TRaw(2, 1, 32);
  hidden.picture.Fill(0xABCDEF);
  TLayerSpec half;
  half.alpha = 128;
  half.picture = TRaw(2, 1, 32);
  half.picture.Fill(0x000000);
  fr.layers = {bottom, hidden, half};
  f.frames.push_back(fr);
  TDIBSurface pic = Load(brixtest::Write(f)).Frame(0).Picture;
  // 0x00FF00 half-blended with black; red 0xFF0000 blended likewise.
  EXPECT_EQ(Px(pic, 0, 0), ((0xFF00u * 127) >> 8) & 0xFF00);
  EXPECT_EQ(Px(pic, 1, 0), ((0xFF0000u * 127) >> 8) & 0xFF00FF);
  // With the opaque-bottom flag the lowest visible layer is copied, key and all.
  f.opaqueBottom = true;
  f.frames[0].layers.pop_back();
  pic = Load(brixtest::Write(f)).Frame(0).Picture;
  EXPECT_EQ(Px(pic, 1, 0), 0x111111u);
}

TEST(BrixRead, MaskedLayersGiveThePictureItsMaskAndBlendThroughIt) {
  TFileSpec f;
  TFrameSpec fr;
  fr.w = 2, fr.h = 1, fr.bits = 24;
  TLayerSpec base;
  base.picture = TRaw(2, 1, 24);
  base.picture.Fill(0x000000);
  base.mask = TRaw(2, 1, 8);
  base.mask->Set(0, 0, 255), base.mask->Set(1, 0, 0);
  base.maskValid = true;
  base.key = 0;  // dropped: the mask replaces it
  TLayerSpec top;
  top.picture = TRaw(2, 1, 24);
  top.picture.Fill(0xC8C8C8);
  top.mask = TRaw(2, 1, 8);
  top.mask->Fill(100);
  top.maskValid = true;
  fr.layers = {base, top};
  f.frames.push_back(fr);
  TBrixFrameList list = Load(brixtest::Write(f), 0, false, true);
  const TDIBSurface& pic = list.Frame(0).Picture;
  ASSERT_TRUE(list.Frame(0).HasMask());
  EXPECT_EQ(pic.Mask()->ScanLine(0)[0], 255);
  EXPECT_EQ(pic.Mask()->ScanLine(0)[1], 0);
  EXPECT_EQ(pic.ScanLine(0)[0], (200 * 100) >> 8);
  EXPECT_EQ(list.Frame(0).Layer(0).ColorKey, -1);
  EXPECT_EQ(list.Frame(0).Count(), 2);
}

TEST(BrixRead, OptionsFirstFrameMasksAndDepth) {
  TFileSpec f;
  TFrameSpec fr = OneLayer(Ramp(4, 2, 8));
  fr.key = 3;
  fr.table.assign(256, 0);
  fr.table[3] = 0x00AABBCC;
  f.frames = {fr, fr, fr};
  f.frameCount = 3;
  const std::string bytes = brixtest::Write(f);
  EXPECT_EQ(Load(bytes, 0, true).Count(), 1);
  TBrixFrameList list = Load(bytes, 0, false, false, true);
  ASSERT_EQ(list.Count(), 3);
  const TBrixFrame& frame = list.Frame(0);
  EXPECT_EQ(frame.Picture.BitCount(), 24);
  // No pixel holds index 3 (the ramp starts at 1 and steps by 7), so the key is the palette
  // entry's colour.
  EXPECT_EQ(frame.ColorKey, 0xAABBCC);
  ASSERT_TRUE(frame.HasMask());

  TBrixFrameList target(0);
  target.TargetBitCount = 16;
  TKvMemoryStream s(bytes);
  target.LoadFromStream(s, false, true, true);
  EXPECT_EQ(target.Frame(2).Picture.BitCount(), 16);
  EXPECT_EQ(target.Frame(2).Layer(0).Picture.BitCount(), 16);
  EXPECT_TRUE(target.Frame(2).Layer(0).HasMask());
}

TEST(BrixRead, LayersKeptAndConvertedStillFeedLaterBlocks) {
  // Frame 1 copies frame 0's layer through a block entry; converting frame 0's layers for
  // masks and depth must not hide them from it.
  TFileSpec f;
  f.blockW = 4;
  f.blockH = 2;
  TFrameSpec a = OneLayer(Ramp(4, 2, 8));
  a.key = 1;
  a.table.assign(256, 0);
  for (int i = 0; i < 256; ++i) a.table[i] = static_cast<uint32_t>(i * 0x010101);
  TFrameSpec b = a;
  b.layers[0].entries = {{0, 0}};
  f.frames = {a, b};
  TBrixFrameList list = Load(brixtest::Write(f), 0, false, true, true);
  const TDIBSurface& p0 = list.Frame(0).Picture;
  const TDIBSurface& p1 = list.Frame(1).Picture;
  ASSERT_EQ(p1.BitCount(), 24);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(Px(p1, x, y), Px(p0, x, y));
  EXPECT_EQ(Px(p1, 0, 0), 0x010101u);
}

TEST(BrixRead, HeaderSizesAndVersions) {
  TFileSpec f;
  f.frames.push_back(OneLayer(Ramp(2, 2, 32)));
  f.headerSize = 52;  // longer header: the rest is skipped
  ExpectPicture(Load(brixtest::Write(f)).Frame(0).Picture, Ramp(2, 2, 32));
  f.headerSize = 20;
  EXPECT_THROW(Load(brixtest::Write(f)), EQuenError);
  // A short record keeps the fields it has; the later ones count as 0.
  f.headerSize = 36;
  f.opaqueBottom = true;
  f.background = 0x010203;
  TBrixFrameList shortHeader = Load(brixtest::Write(f));
  EXPECT_EQ(shortHeader.BackgroundColor, 0x010203);
  EXPECT_FALSE(shortHeader.OpaqueBottom);
  ExpectPicture(shortHeader.Frame(0).Picture, Ramp(2, 2, 32));
  f.headerSize = 40;
  std::string bytes = brixtest::Write(f);
  bytes[6] = '7';  // Brix107
  EXPECT_THROW(Load(bytes), EQuenError);
  bytes[6] = 'x';
  EXPECT_THROW(Load(bytes), EQuenError);
}

TEST(BrixRead, DamagedCountsAndSizesRaiseTheError) {
  auto expectRefused = [](TFileSpec f) {
    const std::string bytes = brixtest::Write(f);
    TBrixFrameList list(0);
    TKvMemoryStream s(bytes);
    EXPECT_THROW(list.LoadFromStream(s), EQuenError);
    EXPECT_EQ(list.Count(), 0);
  };
  TFileSpec base;
  base.frames.push_back(OneLayer(Ramp(3, 2, 32)));
  for (int32_t bad : {0, -1}) {
    TFileSpec f = base;
    f.frames[0].w = bad;
    expectRefused(f);
    f = base;
    f.frames[0].h = bad;
    expectRefused(f);
  }
  for (int32_t bits : {0, 2, 12, 48, -8}) {
    TFileSpec f = base;
    f.frames[0].bits = bits;
    expectRefused(f);
  }
  TFileSpec f = base;
  f.frames[0].w = 40000;  // beyond any picture we hold
  expectRefused(f);
  f = base;
  f.frames[0].layerCountOverride = 0x7FFFFFFF;
  expectRefused(f);
  f = base;
  f.frames[0].layerCountOverride = -1;
  expectRefused(f);
  f = base;
  f.frameCount = 0x10000000;
  expectRefused(f);
  f = base;
  f.frameCount = -2;
  expectRefused(f);
  f = base;
  f.frames[0].layers[0].pictureChunk = std::string(10, '\0');  // short raw chunk
  expectRefused(f);
  f = base;
  f.compression = 0;
  f.frames[0].layers[0].pictureChunk = "not zlib at all";
  expectRefused(f);
  f = base;
  f.compression = 5;
  expectRefused(f);
  // Region counts beyond the bytes left.
  std::string bytes = brixtest::Write(base);
  bytes.resize(bytes.size() - 8);
  brixtest::Put32(bytes, 0x40000000);
  brixtest::Put32(bytes, 0);
  TKvMemoryStream s(bytes);
  TBrixFrameList list(0);
  EXPECT_THROW(list.LoadFromStream(s), EQuenError);
}

TEST(BrixRead, InflationStopsAtTheSizeTheHeaderImplies) {
  TFileSpec f;
  f.compression = 0;
  TFrameSpec fr = OneLayer(Ramp(2, 2, 32));
  // Four megabytes of zeros behind a 2 x 2 picture.
  fr.layers[0].pictureChunk = brixtest::Zip(std::string(4 << 20, '\0'));
  f.frames.push_back(fr);
  TBrixFrameList list = Load(brixtest::Write(f));
  EXPECT_EQ(Px(list.Frame(0).Picture, 1, 1), 0u);
}

TEST(BrixRead, MemoryCeilingRefusesRunawaySizes) {
  TFileSpec f;
  TFrameSpec fr = OneLayer(Ramp(2, 2, 32));
  fr.w = 4000;
  fr.h = 4000;
  fr.layers.clear();  // no layers: the picture is only the background
  f.frames.push_back(fr);
  TBrixFrameList list(0);
  list.MaxDecodedBytes = 1 << 20;
  TKvMemoryStream s(brixtest::Write(f));
  EXPECT_THROW(list.LoadFromStream(s), EQuenError);

  // 1-bit rows fit the budget as stored (125 000 bytes) but not once widened to 24 bits.
  TFileSpec g;
  TFrameSpec small = OneLayer(Ramp(2, 2, 1));
  small.w = 1000;
  small.h = 1000;
  small.bits = 1;
  small.table = {0x000000, 0xFFFFFF};
  small.layers.clear();
  g.frames.push_back(small);
  const std::string bytes = brixtest::Write(g);
  TBrixFrameList narrow(0);
  narrow.MaxDecodedBytes = 1 << 20;
  TKvMemoryStream t(bytes);
  EXPECT_THROW(narrow.LoadFromStream(t), EQuenError);
  TBrixFrameList roomy(0);
  roomy.MaxDecodedBytes = 4 << 20;
  TKvMemoryStream u(bytes);
  roomy.LoadFromStream(u);
  EXPECT_EQ(roomy.Frame(0).Picture.Width(), 1000);
}

TEST(BrixRead, EveryTruncationFailsCleanly) {
  TFileSpec f;
  f.compression = 0;
  f.blockW = 2;
  f.blockH = 2;
  f.scrambled = true;
  f.key = 3;
  TFrameSpec fr = OneLayer(Ramp(3, 3, 8));
  fr.layers[0].mask = TRaw(3, 3, 8);
  fr.regions = {TRect{0, 0, 1, 1}};
  f.frames = {fr, fr};
  const std::string bytes = brixtest::Write(f);
  ASSERT_EQ(Load(bytes, 3).Count(), 2);
  for (size_t n = 0; n < bytes.size(); ++n) {
    TKvMemoryStream s(bytes.substr(0, n));
    TBrixFrameList list(3);
    EXPECT_THROW(list.LoadFromStream(s), EQuenError) << n;
  }
}

}  // namespace
}  // namespace quen
