// The run settings kept in "game.ini" beside the executable.
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

// A delay cut down to whole hundreds and kept within 100..500.
int32_t NormalizeDelayTime(int32_t ms);

}  // namespace quen
