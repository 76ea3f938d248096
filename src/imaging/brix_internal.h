// Helpers the layered-picture reader, writer and frame operations share.
#pragma once

#include <cstdint>

#include "base/types.h"
#include "imaging/dib_surface.h"

namespace quen {

class TStream;

struct TBrixHeader {
  int32_t Version = 0;
  int32_t Width = 0;
  int32_t Height = 0;
  int32_t BitCount = 0;
  int32_t FrameCount = 0;
  bool Scrambled = false;
  int32_t Compression = 0;
  TColor BackgroundColor = 0;
  int32_t BlockWidth = 0;
  int32_t BlockHeight = 0;
  bool OpaqueBottom = false;
  int32_t Quality = 0;
};

// Magic and header; the stream is left at the first frame.
void ReadBrixHeader(TStream& s, TBrixHeader& h);
[[noreturn]] void RaiseBrixDamaged(const char* what);
bool IsBrixBitCount(int32_t bits);

// The colour a native pixel value (palette index at 8 bits and fewer) shows in the picture.
TColor BrixKeyColor(const TDIBSurface& pic, int32_t key);
// Fills the picture with the colour: nearest palette entry when indexed, else the high bits of
// each channel.
void FillBrixBackground(TDIBSurface& pic, TColor color);
// Converts the picture (mask kept) to bits; returns the key as a pixel value of the new
// format, -1 when there was none.
int32_t BrixConvertPicture(TDIBSurface& pic, int32_t bits, int32_t key);

}  // namespace quen
