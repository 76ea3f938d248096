#include "runtime/game_settings.h"

#include "files/host_path.h"
#include "platform/desktop.h"
#include "platform/host_fs.h"
#include "platform/instance_lock.h"
#include "runtime/ini_file.h"

namespace quen {

TSettingsPlace GameSettingsPlace(const std::string& game_folder) {
  const std::string folder = WithSlash(game_folder);
  std::string local = ResolveGamePath(folder, TGameSettings::kFileName);
  if (local.empty()) local = folder + TGameSettings::kFileName;
  const bool writable =
      platform::IsWritable(folder) && (!platform::PathExists(local) || platform::IsWritable(local));
  std::string config = platform::UserConfigFolder();
  if (!config.empty()) config = WithSlash(config);
  if (writable || config.empty()) return {local, local};
  std::string canonical = platform::CanonicalPath(folder);
  if (canonical.empty()) canonical = folder;
  std::string name = platform::InstanceLockFileName(canonical);
  name.resize(name.size() - 5);  // without ".lock"
  const std::string user = config + "quenplay/" + name + "/" + TGameSettings::kFileName;
  return {platform::IsRegularFile(user) ? user : local, user};
}

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
