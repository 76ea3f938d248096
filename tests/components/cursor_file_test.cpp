#include <gtest/gtest.h>

#include "base/error.h"
#include "base/stream.h"
#include "components/cursor_file.h"
#include "support/cursor_builder.h"

namespace quen {
namespace {

using testing::MakeAni;
using testing::MakeCur;

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
