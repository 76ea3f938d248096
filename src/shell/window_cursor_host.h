// Puts the cursor that the component tree asks for onto the game window: cursor files from
// the game data, or the system's arrow.
#pragma once

#include <string>

#include "components/input_event.h"
#include "platform/game_window.h"

namespace quen {

class TWindowCursorHost : public ICursorHost {
 public:
  explicit TWindowCursorHost(platform::IGameWindow& window) : window_(window) {}
  // Loads the file through the file manager; false (and the cursor unchanged) when it is
  // missing or damaged.
  bool ShowFileCursor(const std::string& file) override;
  void ShowArrow() override;

 private:
  platform::IGameWindow& window_;
};

}  // namespace quen
