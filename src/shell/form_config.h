// The settings dialog's rules: which controls are enabled, the delay text, and what OK writes
// to "game.ini".
#pragma once

#include <string>

#include "platform/dialogs.h"

namespace quen {

class TFormConfig : public platform::IConfigDialogLogic {
 public:
  // Reads the settings file at read_path (missing: the defaults); OK writes them, with the
  // rest of that file, to ini_path (read_path when empty), making its folders.
  explicit TFormConfig(std::string ini_path, std::string read_path = {});

  bool SoundChecked() const override { return sound_; }
  int TrackPosition() const override { return position_; }
  bool DelayControlsEnabled() const override { return !sound_; }
  std::string DelayText() const override;
  void SetSoundChecked(bool checked) override { sound_ = checked; }
  // The track bar runs from 1 to 5.
  void SetTrackPosition(int position) override;
  // Writes both settings; false when the file could not be written.
  void Ok() override;
  void Cancel() override { open_ = false; }

  bool IsOpen() const { return open_; }
  // OK was pressed but the file could not be written.
  bool WriteFailed() const { return write_failed_; }
  static platform::ConfigDialogTexts Texts();
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
  std::string read_path_;
  bool sound_ = true;
  int position_ = 5;
  bool open_ = true;
  bool write_failed_ = false;
};

}  // namespace quen
