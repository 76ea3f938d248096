// The virtual-key codes the controls react to themselves (scripts see every code).
#pragma once

#include <cstdint>

namespace quen {

enum : int32_t {
  VK_RETURN = 13,
  VK_ESCAPE = 27,
  VK_SPACE = 32,
  VK_PRIOR = 33,
  VK_NEXT = 34,
  VK_LEFT = 37,
  VK_UP = 38,
  VK_RIGHT = 39,
  VK_DOWN = 40,
};

}  // namespace quen
