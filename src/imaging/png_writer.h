// Writes a surface as an 8-bit RGB PNG picture (frames of headless runs, the test card).
#pragma once

#include <string>

#include "imaging/custom_dibx.h"

namespace quen {

// The PNG file bytes of the whole surface, each pixel converted to its colour; raises the
// system's error when the encoder fails.
std::string EncodePng(TCustomDIBX& surface);
// An RGBA picture: each pixel's colour from color, its opacity from the 8-bit alpha surface
// (of at least the same size).
std::string EncodePngRgba(TCustomDIBX& color, TCustomDIBX& alpha);
// An 8-bit grey picture of an 8-bit surface (coverage bitmaps).
std::string EncodePngGray(TCustomDIBX& surface);

}  // namespace quen
