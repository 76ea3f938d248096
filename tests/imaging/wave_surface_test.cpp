// The wave surface forwards drawing to its target with each row moved by its offset.
#include <gtest/gtest.h>

#include "imaging/dibx.h"
#include "imaging/dibx_wave.h"
#include "support/surface_helpers.h"

namespace quen {
namespace {

using testing::Solid;

TEST(WaveSurface, RowsMoveByTheirOffsetAndUncoveredRowsStayUndrawn) {
  auto target = Solid(10, 8, 32, 0);
  target->AddUpdateRect(TRect{0, 0, 10, 7});
  TDIBXWave wave;
  wave.SetTarget(target.get(), 0, 1);
  wave.SetSize(10, 4, 32);
  wave.Offsets() = {0, 2, 2, -1};
  EXPECT_EQ(wave.BitCount(), 32);
  EXPECT_EQ(wave.BaseSurface(), target.get());
  auto src = Solid(3, 6, 32, 7);
  wave.Draw(1, 0, false, false, false, TRect{0, 0, 3, 6}, *src);
  // Row 0 lies above the wave's first row; rows 1..4 are moved; row 5 has no offset.
  EXPECT_EQ(target->GetPixel(1, 0), 0u);
  EXPECT_EQ(target->GetPixel(1, 1), 7u);
  EXPECT_EQ(target->GetPixel(3, 1), 7u);
  EXPECT_EQ(target->GetPixel(4, 1), 0u);
  EXPECT_EQ(target->GetPixel(2, 2), 0u);
  EXPECT_EQ(target->GetPixel(3, 2), 7u);
  EXPECT_EQ(target->GetPixel(5, 3), 7u);
  EXPECT_EQ(target->GetPixel(0, 4), 7u);
  EXPECT_EQ(target->GetPixel(3, 4), 0u);
  EXPECT_EQ(target->GetPixel(1, 5), 0u);
  // The target's update rectangle is back after every forwarded call.
  EXPECT_EQ(target->UpdateRect(), (TRect{0, 0, 10, 7}));

  wave.FillRect(TRect{0, 0, 2, 8}, 9);
  EXPECT_EQ(target->GetPixel(2, 2), 9u);
  EXPECT_EQ(target->GetPixel(1, 2), 0u);
  EXPECT_EQ(target->GetPixel(0, 4), 9u);
  EXPECT_EQ(target->GetPixel(1, 4), 7u);
  EXPECT_EQ(target->GetPixel(0, 6), 0u);

  wave.StretchDraw(TRect{6, 0, 8, 8}, *src, 255, false, false, false, TRect{0, 0, 1, 1});
  EXPECT_EQ(target->GetPixel(8, 2), 7u);
  EXPECT_EQ(target->GetPixel(6, 2), 0u);
  EXPECT_EQ(target->GetPixel(6, 0), 0u);
}

TEST(WaveSurface, UpdateRectanglesReachTheTarget) {
  auto target = Solid(10, 8, 32, 0);
  TDIBXWave wave;
  wave.SetTarget(target.get(), 2, 2);
  wave.SetSize(4, 3, 32);
  wave.AddUpdateRect(TRect{0, 0, 100, 100});
  EXPECT_EQ(target->UpdateRect(), (TRect{2, 2, 6, 5}));
  EXPECT_EQ(wave.ColorToPixel(0xFF), 0xFF0000);
  wave.ResetUpdateRect();
  EXPECT_EQ(target->UpdateRect(), TRect{});
  // Offsets at the ends of the range saturate instead of wrapping.
  wave.Offsets() = {INT32_MAX, INT32_MIN, 0};
  wave.FillRect(TRect{INT32_MAX - 2, 0, INT32_MAX, 10}, 5);
  wave.FillRect(TRect{0, 0, 10, 10}, 6);
  EXPECT_EQ(target->GetPixel(9, 2), 0u);
  EXPECT_EQ(target->GetPixel(9, 4), 6u);
  EXPECT_EQ(wave.GetPixel(INT32_MAX, 2), 0u);
  // Without a target nothing happens.
  TDIBXWave lonely;
  lonely.FillRect(TRect{0, 0, 5, 5}, 1);
  EXPECT_EQ(lonely.BitCount(), 0);
}

}  // namespace
}  // namespace quen
