#include <cstdio>

#include "platform/dialogs.h"
#include "platform/text_encoding.h"

namespace quen::platform {

namespace {
std::unique_ptr<IDialogs>& Instance() {
  static std::unique_ptr<IDialogs> d;
  return d;
}
}  // namespace

IDialogs& Dialogs() {
  auto& d = Instance();
  if (!d) d = std::make_unique<HeadlessDialogs>();
  return *d;
}

void SetDialogs(std::unique_ptr<IDialogs> dialogs) {
  Instance() = std::move(dialogs);
}

bool HeadlessDialogs::IsAnswerWord(const std::string& a) {
  if (a == "ok" || a == "cancel" || a == "yes" || a == "no" || a == "notoall" || a == "yestoall")
    return true;
  if (a.size() > 5 && a.compare(0, 5, "path=") == 0) return true;
  if (a == "sound=0" || a == "sound=1") return true;
  return a.size() == 7 && a.compare(0, 6, "delay=") == 0 && a[6] >= '1' && a[6] <= '5';
}

MsgAnswer HeadlessDialogs::MessageBox(const std::string& caption, const std::string& text, MsgIcon,
                                      MsgButtons buttons) {
  std::fprintf(stderr, "%s: %s\n", Cp932ToUtf8(caption).c_str(), Cp932ToUtf8(text).c_str());
  std::fflush(stderr);
  auto offered = [&](const std::string& a) {
    switch (buttons) {
      case MsgButtons::kOk:
        return a == "ok";
      case MsgButtons::kOkCancel:
        return a == "ok" || a == "cancel";
      case MsgButtons::kYesNo:
        return a == "yes" || a == "no";
      case MsgButtons::kYesNoAll:
        return a == "yes" || a == "no" || a == "cancel" || a == "notoall" || a == "yestoall";
    }
    return false;
  };
  // Answers for a different kind of box are dropped, so that a script stays in step.
  while (!script_.empty() && !offered(script_.front())) script_.pop_front();
  std::string a;
  if (!script_.empty()) {
    a = script_.front();
    script_.pop_front();
    unscripted_ = 0;
  } else if (++unscripted_ > kMaxUnscripted) {
    a = buttons == MsgButtons::kYesNo      ? "no"
        : buttons == MsgButtons::kYesNoAll ? "cancel"
        : buttons == MsgButtons::kOkCancel ? "cancel"
                                           : "ok";
  } else {
    a = buttons == MsgButtons::kYesNo || buttons == MsgButtons::kYesNoAll ? "yes" : "ok";
  }
  if (a == "cancel") return MsgAnswer::kCancel;
  if (a == "yes") return MsgAnswer::kYes;
  if (a == "no") return MsgAnswer::kNo;
  if (a == "notoall") return MsgAnswer::kNoToAll;
  if (a == "yestoall") return MsgAnswer::kYesToAll;
  return MsgAnswer::kOk;
}

void HeadlessDialogs::OpenUrl(const std::string& url) {
  std::fprintf(stderr, "OpenUrl: %s\n", Cp932ToUtf8(url).c_str());
  std::fflush(stderr);
}

bool HeadlessDialogs::ChooseFile(FileDialog kind, const std::string& filter, const std::string&,
                                 std::string& chosen) {
  const char* name = kind == FileDialog::kOpen   ? "SelectOpenFile"
                     : kind == FileDialog::kSave ? "SelectSaveFile"
                                                 : "SelectDirectory";
  std::fprintf(stderr, "%s: %s\n", name, Cp932ToUtf8(filter).c_str());
  std::fflush(stderr);
  // Answers meant for other boxes are dropped, as for message boxes.
  while (!script_.empty() && script_.front() != "cancel" && script_.front().rfind("path=", 0) != 0)
    script_.pop_front();
  if (script_.empty()) return false;
  const std::string a = script_.front();
  script_.pop_front();
  if (a == "cancel") return false;
  chosen = a.substr(5);
  return true;
}

void HeadlessDialogs::RunConfigDialog(IConfigDialogLogic& logic, const ConfigDialogTexts& texts) {
  auto show = [&]() {
    std::fprintf(stderr, "%s: [%c] %s / %s %s%s\n", Cp932ToUtf8(texts.caption).c_str(),
                 logic.SoundChecked() ? 'x' : ' ', Cp932ToUtf8(texts.sound_check).c_str(),
                 Cp932ToUtf8(texts.delay_label).c_str(), Cp932ToUtf8(logic.DelayText()).c_str(),
                 logic.DelayControlsEnabled() ? "" : " (disabled)");
    std::fflush(stderr);
  };
  show();
  while (!script_.empty()) {
    std::string a = script_.front();
    script_.pop_front();
    if (a == "sound=0" || a == "sound=1") {
      logic.SetSoundChecked(a == "sound=1");
      show();
    } else if (a.compare(0, 6, "delay=") == 0) {
      logic.SetTrackPosition(a[6] - '0');
      show();
    } else if (a == "cancel" || a == "no") {
      logic.Cancel();
      return;
    } else {
      logic.Ok();
      return;
    }
  }
  // OK is the default button.
  logic.Ok();
}

}  // namespace quen::platform
