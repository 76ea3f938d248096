// PNG pictures through libpng: any colour type, depth and interlacing into a memory bitmap,
// and a writer for the tools.
#pragma once

#include <cstdint>
#include <string>

#include "imaging/dib_surface.h"

namespace quen {

class TStream;

// Whether the bytes start with the PNG signature.
bool IsPngSignature(const uint8_t* bytes, int64_t size);

// Decodes a PNG file: palette pictures and grey ones become 8-bit indexed bitmaps, colour
// ones 24 bits. An alpha channel (or palette alpha beyond one fully transparent entry)
// becomes the mask, 255 opaque; a single transparent colour becomes key (a native pixel
// value, -1 when none). Damaged data raises the system's error.
void ReadPng(const std::string& bytes, TDIBSurface& picture, int32_t& key);
// Writes the picture as 8-bit RGB, or RGBA with the mask as alpha when it has one.
void WritePng(TStream& stream, const TDIBSurface& picture);

}  // namespace quen
