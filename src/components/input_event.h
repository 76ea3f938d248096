// Input as the window layer hands it over: plain records, already in panel client
// coordinates and Windows virtual-key codes.
#pragma once

#include <cstdint>
#include <string>

namespace quen {

enum class TInputKind : uint8_t {
  MouseDown,
  MouseUp,
  MouseMove,
  Wheel,
  KeyDown,
  KeyUp,
  Text,
  Composition,
};
enum class TMouseButton : uint8_t { Left, Right, Middle };

struct TInputEvent {
  TInputKind Kind = TInputKind::MouseMove;
  TMouseButton Button = TMouseButton::Left;
  int32_t X = 0, Y = 0;     // mouse events
  int32_t WheelDelta = 0;   // positive: up, negative: down
  int32_t Key = 0;          // virtual-key code
  bool AutoRepeat = false;  // the window system's own repeat of a held key (ignored)
  // Text: characters typed (Shift-JIS), for the focused control; Composition: what the input
  // method composes, shown but not yet typed.
  std::string Text;
};

// The text-entry side of the window, for edit fields holding the keyboard: the input method
// and the clipboard (Shift-JIS at this seam).
class ITextEntryHost {
 public:
  virtual ~ITextEntryHost() = default;
  virtual void StartTextInput() = 0;
  virtual void StopTextInput() = 0;
  // Where the caret is, in panel coordinates.
  virtual void SetTextInputRect(int32_t x, int32_t y, int32_t width, int32_t height) = 0;
  virtual std::string ClipboardText() = 0;
  virtual void SetClipboardText(const std::string& sjis) = 0;
};

// Cursor switching on the panel.
class ICursorHost {
 public:
  virtual ~ICursorHost() = default;
  // Installs the cursor read from a game file and shows it; False when it cannot be loaded.
  virtual bool ShowFileCursor(const std::string& file) = 0;
  virtual void ShowArrow() = 0;
};

}  // namespace quen
