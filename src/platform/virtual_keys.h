// Scripts see Windows virtual-key codes; the window system reports its own key codes. This is
// the one table between them.
#pragma once

#include <cstdint>

namespace quen::platform {

// The virtual-key code for an SDL key code (letters by the keyboard layout, like the original
// system's), or 0 for a key scripts cannot name.
int32_t VirtualKeyFromSdlKeycode(int32_t keycode);

}  // namespace quen::platform
