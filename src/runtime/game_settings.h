// The run settings kept in "game.ini" in the game folder.
#pragma once

#include <cstdint>
#include <string>

namespace quen {

struct TGameSettings {
  static constexpr char kFileName[] = "game.ini";

  bool DirectSound = true;
  int32_t DelayTime = 500;  // ms, always a multiple of 100 within 100..500
  bool UseWMP = false;

  // Reads the settings file at host_path; a missing file leaves the defaults.
  static TGameSettings Load(const std::string& host_path);
};

// Where a game's "game.ini" is read and written. In the game folder when that folder can be
// written; otherwise in the user's configuration folder ($XDG_CONFIG_HOME, else ~/.config,
// then "quenplay/", one folder per game named from its canonical path), which is read first,
// the game folder's own file second.
struct TSettingsPlace {
  std::string Read;
  std::string Write;
};
TSettingsPlace GameSettingsPlace(const std::string& game_folder);

// A delay cut down to whole hundreds and kept within 100..500.
int32_t NormalizeDelayTime(int32_t ms);

}  // namespace quen
