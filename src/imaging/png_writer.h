// Writes a surface as an 8-bit RGB PNG picture (frames of headless runs, the test card).
#pragma once

#include <string>

#include "imaging/custom_dibx.h"

namespace quen {

// The PNG file bytes of the whole surface, each pixel converted to its colour; raises the
// system's error when the encoder fails.
std::string EncodePng(TCustomDIBX& surface);

}  // namespace quen
