#include "shell/form_config.h"

#include "base/error.h"
#include "runtime/ini_file.h"
#include "shell/messages.h"

namespace quen {

TFormConfig::TFormConfig(std::string ini_path) : path_(std::move(ini_path)) {
  TIniFile ini(path_);
  sound_ = ini.ReadBool("Sound", "DirectSound", true);
  SetTrackPosition(ini.ReadInteger("Sound", "DelayTime", 500) / 100);
}

void TFormConfig::SetTrackPosition(int position) {
  // The track bar itself keeps its position within its range.
  position_ = position < 1 ? 1 : position > 5 ? 5 : position;
}

std::string TFormConfig::DelayText() const {
  return Format(msg::kConfigDelayFormat, position_ * 100);
}

void TFormConfig::Ok() {
  TIniFile ini(path_);
  ini.WriteBool("Sound", "DirectSound", sound_);
  ini.WriteInteger("Sound", "DelayTime", position_ * 100);
  write_failed_ = !ini.Save();
  open_ = false;
}

platform::ConfigDialogTexts TFormConfig::Texts() {
  return {msg::kConfigCaption, msg::kConfigSoundCheck, msg::kConfigDelayLabel, msg::kConfigOk,
          msg::kConfigCancel};
}

}  // namespace quen
