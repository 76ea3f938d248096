// Message boxes and the settings dialog: native (GTK 3) on a desktop, written to standard
// error and answered from a script when headless. Texts come in the game's Shift-JIS and are
// converted here.
#pragma once

#include <deque>
#include <memory>
#include <string>

namespace quen::platform {

enum class MsgIcon { kNone, kInformation, kWarning, kError, kQuestion };
// kYesNoAll: Yes, No, Cancel, No to all, Yes to all (the overwrite question of a batch).
enum class MsgButtons { kOk, kOkCancel, kYesNo, kYesNoAll };
enum class MsgAnswer { kOk, kCancel, kYes, kNo, kNoToAll, kYesToAll };

// What the settings dialog shows and does; the shell implements the rules, the platform the
// controls.
class IConfigDialogLogic {
 public:
  virtual ~IConfigDialogLogic() = default;
  virtual bool SoundChecked() const = 0;
  virtual int TrackPosition() const = 0;
  // The delay label, the track bar and the value label.
  virtual bool DelayControlsEnabled() const = 0;
  virtual std::string DelayText() const = 0;  // Shift-JIS, "%dms"
  virtual void SetSoundChecked(bool checked) = 0;
  virtual void SetTrackPosition(int position) = 0;
  virtual void Ok() = 0;
  virtual void Cancel() = 0;
};

struct ConfigDialogTexts {  // Shift-JIS
  std::string caption, sound_check, delay_label, ok, cancel;
};

class IDialogs {
 public:
  virtual ~IDialogs() = default;
  virtual MsgAnswer MessageBox(const std::string& caption, const std::string& text, MsgIcon icon,
                               MsgButtons buttons) = 0;
  // Shows the dialog and returns once it is closed (by OK, Cancel or the close box).
  virtual void RunConfigDialog(IConfigDialogLogic& logic, const ConfigDialogTexts& texts) = 0;
  // Hands a URL or a folder (Shift-JIS) to the desktop to open.
  virtual void OpenUrl(const std::string& url) = 0;
  // File choosers starting in start_folder (host path). filter is the game's "Name|*.ext|..."
  // list (Shift-JIS, may be empty). On OK the chosen host path (UTF-8) and true.
  enum class FileDialog { kOpen, kSave, kFolder };
  virtual bool ChooseFile(FileDialog kind, const std::string& filter,
                          const std::string& start_folder, std::string& chosen) = 0;
  // True when a person sees and answers these dialogs (false for scripted headless ones): only
  // then may the player change what belongs to the user's desktop, such as its wallpaper.
  virtual bool Interactive() const = 0;
};

// The process-wide dialogs; headless ones until a window system is set up.
IDialogs& Dialogs();
void SetDialogs(std::unique_ptr<IDialogs> dialogs);

// Writes "CAPTION: TEXT" (UTF-8) to standard error and answers from the script, else with the
// default button (the first). After kMaxUnscripted default answers in a row it answers
// Cancel or No where offered, so that a run without a person always ends.
class HeadlessDialogs : public IDialogs {
 public:
  static constexpr int kMaxUnscripted = 16;

  // Answers: "ok", "cancel", "yes", "no", "notoall", "yestoall"; for the settings dialog also
  // "sound=0|1" and "delay=1..5" before its "ok" or "cancel"; for file choosers "path=PATH".
  void QueueAnswer(std::string answer) { script_.push_back(std::move(answer)); }
  // False for a word that is no answer.
  static bool IsAnswerWord(const std::string& answer);

  MsgAnswer MessageBox(const std::string& caption, const std::string& text, MsgIcon icon,
                       MsgButtons buttons) override;
  void RunConfigDialog(IConfigDialogLogic& logic, const ConfigDialogTexts& texts) override;
  // Only reported: "OpenUrl: URL" on standard error.
  void OpenUrl(const std::string& url) override;
  // Reported as "SelectFile: FILTER" and answered by a scripted "path=HOST PATH" (OK) or
  // "cancel"; with no script answer it is cancelled.
  bool ChooseFile(FileDialog kind, const std::string& filter, const std::string& start_folder,
                  std::string& chosen) override;
  bool Interactive() const override { return false; }

 private:
  std::deque<std::string> script_;
  int unscripted_ = 0;
};

// GTK 3 dialogs; null when no display can be opened.
std::unique_ptr<IDialogs> CreateGtkDialogs();

}  // namespace quen::platform
