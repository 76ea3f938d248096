#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/dialogs.h"
#include "platform/text_encoding.h"

namespace quen::platform {

namespace {
std::unique_ptr<IDialogs>& Instance() {
  static std::unique_ptr<IDialogs> d;
  return d;
}
}  // namespace

bool SpawnOpener(const std::string& utf8_url) {
  // The URL is one argument of the opener: nothing in it is ever read by a shell.
  std::string program = "xdg-open";
  char* argv[] = {program.data(), const_cast<char*>(utf8_url.c_str()), nullptr};
  pid_t pid = 0;
  if (posix_spawnp(&pid, program.c_str(), nullptr, nullptr, argv, ::environ) != 0) return false;
  // The opener returns quickly once the desktop took over; reap it so no zombie stays.
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool UserLanguageIsJapanese() {
  // The first of these that is set decides, as for every program's messages.
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* v = std::getenv(name);
    if (v && *v) return std::strncmp(v, "ja", 2) == 0;
  }
  return false;
}

IDialogs& Dialogs() {
  auto& d = Instance();
  if (!d) d = std::make_unique<HeadlessDialogs>();
  return *d;
}

void SetDialogs(std::unique_ptr<IDialogs> dialogs) {
  Instance() = std::move(dialogs);
}

bool HeadlessDialogs::IsAnswerWord(const std::string& a) {
  if (a == "ok" || a == "cancel" || a == "yes" || a == "no") return true;
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
    a = buttons == MsgButtons::kYesNo ? "no" : buttons == MsgButtons::kOkCancel ? "cancel" : "ok";
  } else {
    a = buttons == MsgButtons::kYesNo ? "yes" : "ok";
  }
  if (a == "cancel") return MsgAnswer::kCancel;
  if (a == "yes") return MsgAnswer::kYes;
  if (a == "no") return MsgAnswer::kNo;
  return MsgAnswer::kOk;
}

void HeadlessDialogs::OpenUrl(const std::string& url) {
  std::fprintf(stderr, "OpenUrl: %s\n", Cp932ToUtf8(url).c_str());
  std::fflush(stderr);
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
