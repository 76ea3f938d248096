#include "runtime/game_settings.h"

#include "runtime/ini_file.h"

namespace quen {

int32_t NormalizeDelayTime(int32_t ms) {
  int32_t v = ms / 100 * 100;
  if (v < 100) v = 100;
  if (v > 500) v = 500;
  return v;
}

TGameSettings TGameSettings::Load(const std::string& host_path) {
  TGameSettings s;
  TIniFile ini(host_path);
  s.DirectSound = ini.ReadBool("Sound", "DirectSound", true);
  s.DelayTime = NormalizeDelayTime(ini.ReadInteger("Sound", "DelayTime", 500));
  s.UseWMP = ini.ReadBool("Video", "UseWMP", false);
  return s;
}

}  // namespace quen
