// How the layered-picture reader lays one layer onto the frame's picture. Both pictures have
// the same size and depth; keys are native pixel values and -1 always means no key.
#pragma once

#include <cstdint>

#include "imaging/dib_surface.h"

namespace quen {

// Rule A: blend with the layer's alpha (0 nothing; below 0 or above 254 a copy of the
// pixels that are not the key), ordered dither at 8 bits and fewer.
void BrixBlendAlpha(TDIBSurface& dst, const TDIBSurface& src, int32_t alpha, int32_t key);
// Rule M: blend through the layer's 8-bit mask.
void BrixBlendMask(TDIBSurface& dst, const TDIBSurface& src, const TDIBSurface& mask);
// Plain copy of every pixel.
void BrixCopy(TDIBSurface& dst, const TDIBSurface& src);

}  // namespace quen
