// The memory bitmap and the memory surface around it: assignment, masks, sharing, borrowing.
#include <gtest/gtest.h>

#include "imaging/dibx.h"
#include "support/surface_helpers.h"

namespace quen {
namespace {

using testing::Solid;

TEST(MemoryBitmap, MasksAreCreatedOnceAndTravelWithAssign) {
  TDIBSurface a;
  a.SetSize(5, 4, 16);
  TDIBSurface& m = a.CreateMask();
  m.ScanLine(1)[2] = 77;
  EXPECT_EQ(&a.CreateMask(), &m);  // same size: kept
  EXPECT_EQ(a.Mask()->ScanLine(1)[2], 77);
  a.FillMask();
  EXPECT_EQ(a.Mask()->ScanLine(3)[4], 255);
  TDIBSurface b;
  b.SetSize(2, 2, 32);
  b.CreateMask();
  b.Assign(a);
  EXPECT_EQ(b.BitCount(), 16);
  ASSERT_NE(b.Mask(), nullptr);
  EXPECT_EQ(b.Mask()->Width(), 5);
  TDIBSurface c;
  c.SetSize(1, 1, 8);
  b.Assign(c);
  EXPECT_EQ(b.Mask(), nullptr);  // a source without a mask frees ours
  // Resizing drops a mask of the old size.
  a.SetSize(6, 4, 16);
  EXPECT_EQ(a.Mask(), nullptr);
}

TEST(MemoryBitmap, SharedPixelsSplitOnMakeIndependent) {
  TDIBSurface a;
  a.SetSize(3, 3, 8);
  a.ScanLine(0)[0] = 1;
  TDIBSurface b;
  b.ShareBits(a);
  EXPECT_TRUE(b.SharesBits());
  b.MakeIndependent();
  b.ScanLine(0)[0] = 2;
  EXPECT_EQ(a.ScanLine(0)[0], 1);
  EXPECT_FALSE(a.SharesBits());
}

TEST(MemorySurface, AssignCopiesTheWholeSourceToTheCorner) {
  auto a = Solid(4, 3, 32, 5);
  auto same = Solid(4, 3, 32, 0);
  same->AddUpdateRect(TRect{0, 0, 1, 1});
  same->Assign(*a);  // one block, whatever the update rectangle
  EXPECT_EQ(same->GetPixel(3, 2), 5u);
  auto bigger = Solid(6, 5, 32, 0);
  bigger->Assign(*a);
  EXPECT_EQ(bigger->GetPixel(3, 2), 5u);
  EXPECT_EQ(bigger->GetPixel(4, 2), 0u);
  auto other = Solid(4, 3, 16, 0);
  other->Assign(*a);  // another depth converts
  EXPECT_EQ(other->GetPixel(0, 0), 0u);
  auto white = Solid(4, 3, 32, 0x00FFFFFF);
  other->Assign(*white);
  EXPECT_EQ(other->GetPixel(2, 2), 0xFFFFu);
}

TEST(MemorySurface, BorrowedBitmapsStayWithTheirOwner) {
  TDIBSurface pic;
  pic.SetSize(3, 2, 32);
  {
    TDIBX view;
    view.BorrowDIB(pic);
    EXPECT_TRUE(view.Borrowed());
    EXPECT_EQ(view.Width(), 3);
    view.Fill(9);
  }
  EXPECT_EQ(pic.ScanLine(1)[8], 9);  // still alive after the surface went
  TDIBX owner;
  auto fresh = std::make_unique<TDIBSurface>();
  fresh->SetSize(7, 1, 8);
  owner.AdoptDIB(std::move(fresh));
  EXPECT_EQ(owner.Width(), 7);
  EXPECT_EQ(owner.BitCount(), 8);
  EXPECT_EQ(owner.GetPixel(7, 0), 0u);
  EXPECT_EQ(owner.GetPixel(-1, 0), 0u);
  owner.SetPixel(100, 0, 1);  // outside: nothing
}

TEST(MemorySurface, PalettesOnlyForIndexedDepths) {
  TDIBX s;
  s.SetSize(2, 2, 8);
  TPaletteEntry entries[256] = {};
  entries[4] = TPaletteEntry{10, 20, 30, 0};
  s.SetPalette(entries);
  TPaletteEntry back[2];
  s.GetPaletteEntries(back, 3, 2);
  EXPECT_EQ(back[1].Green, 20);
  EXPECT_EQ(s.PixelToColor(4), RGBColor(10, 20, 30));
  s.GetPaletteEntries(back, 255, 2);  // past the end: black
  EXPECT_EQ(back[1].Red, 0);
  s.SetBitCount(32);
  EXPECT_EQ(s.Width(), 2);
  s.SetPalette(entries);  // no colour table: ignored
  s.GetPalette(entries);
  EXPECT_EQ(entries[4].Red, 0);
}

TEST(MemorySurface, MaskedTilesReadOnlyWhereTheMaskExists) {
  auto src = Solid(8, 8, 32, 0x00FFFFFF);
  auto mask = Solid(3, 2, 8, 255);
  auto dst = Solid(10, 4, 32, 0);
  dst->TileDrawMask(TRect{0, 0, 10, 4}, 0, 0, 0, *mask, TRect{0, 0, 8, 8}, *src, 0);
  // Tiles are the 3 × 2 part that source and mask share.
  EXPECT_EQ(dst->GetPixel(9, 3), 0x00FFFFFFu);
  auto d2 = Solid(10, 4, 32, 0);
  d2->TileDrawAddMask(TRect{0, 0, 10, 4}, 1, 0, 0, 255, *mask, TRect{0, 0, 8, 8}, *src, 0);
  EXPECT_EQ(d2->GetPixel(3, 0), 0u);  // the gap column
  EXPECT_NE(d2->GetPixel(4, 0), 0u);
  // A coverage rectangle starting left of the mask draws nothing.
  auto d3 = Solid(4, 4, 32, 0);
  d3->DrawColorMask(0, 0, 7, 255, false, false, TRect{-1, 0, 2, 2}, *mask);
  EXPECT_EQ(d3->GetPixel(1, 0), 0u);
}

}  // namespace
}  // namespace quen
