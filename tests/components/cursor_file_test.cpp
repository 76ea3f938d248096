#include <gtest/gtest.h>

#include "base/error.h"
#include "base/stream.h"
#include "components/cursor_file.h"

namespace quen {
namespace {

// A cursor file with one 2 x 2 picture of the given depth, hot spot (1, 0).
std::string MakeCur(int bits) {
  TKvMemoryStream dib;
  WriteInt32(dib, 40);
  WriteInt32(dib, 2);
  WriteInt32(dib, 4);  // colour rows plus mask rows
  WriteInt16(dib, 1);
  WriteInt16(dib, static_cast<int16_t>(bits));
  for (int i = 0; i < 6; ++i) WriteInt32(dib, 0);
  if (bits == 1) {
    WriteInt32(dib, 0x00000000);  // black
    WriteInt32(dib, 0x00FFFFFF);  // white
    // Bottom row first: bottom (white, black), top (black, white).
    WriteInt32(dib, 0x80000000 >> 24);
    WriteInt32(dib, 0x40000000 >> 24);
  } else {
    // Bottom row: blue, green; top row: red, white (BGR bytes, rows padded to 4 bytes).
    const uint8_t rows[] = {0xFF, 0, 0, 0, 0xFF, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0};
    dib.WriteBuffer(rows, 16);
  }
  // Mask: bottom row fully opaque, top row: right pixel transparent.
  WriteInt32(dib, 0);
  WriteInt32(dib, 0x40);
  TKvMemoryStream f;
  WriteInt16(f, 0);
  WriteInt16(f, 2);
  WriteInt16(f, 1);
  WriteByte(f, 2);
  WriteByte(f, 2);
  WriteByte(f, 0);
  WriteByte(f, 0);
  WriteInt16(f, 1);
  WriteInt16(f, 0);
  WriteInt32(f, static_cast<int32_t>(dib.Data().size()));
  WriteInt32(f, 22);
  f.WriteBuffer(dib.Data().data(), static_cast<int64_t>(dib.Data().size()));
  return f.Data();
}

std::string MakeAni(const std::string& cur) {
  std::string icon = "icon";
  TKvMemoryStream c;
  WriteInt32(c, static_cast<int32_t>(cur.size()));
  icon += c.Data() + cur;
  if (cur.size() & 1) icon += '\0';
  std::string list = "fram" + icon;
  TKvMemoryStream l;
  WriteInt32(l, static_cast<int32_t>(list.size()));
  std::string anih = "anih";
  TKvMemoryStream a;
  WriteInt32(a, 36);
  anih += a.Data() + std::string(36, '\0');
  std::string body = "ACON" + anih + "LIST" + l.Data() + list;
  TKvMemoryStream r;
  WriteInt32(r, static_cast<int32_t>(body.size()));
  return "RIFF" + r.Data() + body;
}

TEST(CursorFile, ReadsPaletteAndTrueColourPicturesWithMaskAndHotSpot) {
  const TCursorImage mono = ReadCursorFile(MakeCur(1));
  ASSERT_EQ(mono.Width, 2);
  ASSERT_EQ(mono.Height, 2);
  EXPECT_EQ(mono.HotX, 1);
  EXPECT_EQ(mono.HotY, 0);
  EXPECT_EQ(mono.Pixels, (std::vector<uint32_t>{0xFF000000, 0x00FFFFFF, 0xFFFFFFFF, 0xFF000000}));
  const TCursorImage rgb = ReadCursorFile(MakeCur(24));
  EXPECT_EQ(rgb.Pixels, (std::vector<uint32_t>{0xFFFF0000, 0x00FFFFFF, 0xFF0000FF, 0xFF00FF00}));
  const TCursorImage ani = ReadCursorFile(MakeAni(MakeCur(24)));
  EXPECT_EQ(ani.Pixels, rgb.Pixels);
}

TEST(CursorFile, DamagedFilesFailCleanly) {
  for (const std::string& good : {MakeCur(1), MakeCur(24), MakeAni(MakeCur(1))}) {
    for (size_t n = 0; n < good.size(); ++n)
      EXPECT_THROW(ReadCursorFile(good.substr(0, n)), EQuenError) << n;
  }
  std::string b = MakeCur(24);
  b[22 + 14] = 16;  // an unsupported depth
  EXPECT_THROW(ReadCursorFile(b), EQuenError);
  b = MakeCur(24);
  b[18] = '\xFF';  // offset far beyond the file
  EXPECT_THROW(ReadCursorFile(b), EQuenError);
}

}  // namespace
}  // namespace quen
