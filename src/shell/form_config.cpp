#include "shell/form_config.h"

#include "base/error.h"
#include "platform/host_fs.h"
#include "runtime/ini_file.h"
#include "shell/messages.h"

namespace quen {

TFormConfig::TFormConfig(std::string ini_path, std::string read_path)
    : path_(std::move(ini_path)), read_path_(read_path.empty() ? path_ : std::move(read_path)) {
  TIniFile ini(read_path_);
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
  TIniFile ini(read_path_);
  ini.WriteBool("Sound", "DirectSound", sound_);
  ini.WriteInteger("Sound", "DelayTime", position_ * 100);
  // A file kept apart from the one read (in the user's configuration folder) may have no
  // folder yet.
  if (path_ != read_path_)
    for (size_t at = path_.find('/', 1); at != std::string::npos; at = path_.find('/', at + 1))
      platform::MakeDirectory(path_.substr(0, at), 0700);
  write_failed_ = !ini.SaveAs(path_);
  open_ = false;
}

platform::ConfigDialogTexts TFormConfig::Texts() {
  return {msg::kConfigCaption, msg::kConfigSoundCheck, msg::kConfigDelayLabel, msg::kConfigOk,
          msg::kConfigCancel};
}

}  // namespace quen
