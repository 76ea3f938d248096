// Our own reader of cursor files: ".cur" (and ".ico") pictures and the first frame of ".ani"
// animated cursors, decoded to straight RGBA for the window layer to install.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quen {

struct TCursorImage {
  int32_t Width = 0;
  int32_t Height = 0;
  int32_t HotX = 0;
  int32_t HotY = 0;
  // Rows top-down, each pixel 0xAARRGGBB.
  std::vector<uint32_t> Pixels;
};

// Decodes the largest picture of a cursor or icon file, or the first frame of an animated
// cursor. Damaged data raises the system's error.
TCursorImage ReadCursorFile(const std::string& bytes);

}  // namespace quen
