// What the media managers share: the sound output, the run settings that choose their
// engines, and the window that shows overlay videos.
#pragma once

#include <cstdint>
#include <functional>

namespace quen::platform {
class IGameWindow;
}

namespace quen {

class TAudioOutput;

struct TMediaContext {
  TAudioOutput* Output = nullptr;
  // "game.ini": Sound/DirectSound (the library's engine; off: the wave output engine),
  // Sound/DelayTime and Video/UseWMP.
  bool DirectSound = true;
  int32_t DelayTime = 500;
  bool UseWmp = false;
  // Overlay videos are shown by it (null: nowhere); a screen-mode manager exists.
  platform::IGameWindow* Window = nullptr;
  bool HasScreen = false;
  // True while the application is terminating (music then does not start).
  std::function<bool()> Terminating;
};

}  // namespace quen
