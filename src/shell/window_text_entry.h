// The window's input method and clipboard as the edit fields see them: Shift-JIS here, UTF-8
// on the window's side.
#pragma once

#include <string>

#include "components/input_event.h"
#include "platform/game_window.h"
#include "platform/text_encoding.h"

namespace quen {

class TWindowTextEntry : public ITextEntryHost {
 public:
  explicit TWindowTextEntry(platform::IGameWindow& window) : window_(window) {}
  void StartTextInput() override { window_.StartTextInput(); }
  void StopTextInput() override { window_.StopTextInput(); }
  void SetTextInputRect(int32_t x, int32_t y, int32_t width, int32_t height) override {
    window_.SetTextInputRect(x, y, width, height);
  }
  std::string ClipboardText() override {
    std::string sjis;
    return platform::TryUtf8ToCp932(window_.ClipboardText(), sjis) ? sjis : std::string();
  }
  void SetClipboardText(const std::string& sjis) override {
    window_.SetClipboardText(platform::Cp932ToUtf8(sjis));
  }

 private:
  platform::IGameWindow& window_;
};

}  // namespace quen
