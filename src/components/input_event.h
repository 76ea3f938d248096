// Input as the window layer hands it over: plain records, already in panel client
// coordinates and Windows virtual-key codes.
#pragma once

#include <cstdint>
#include <string>

namespace quen {

enum class TInputKind : uint8_t { MouseDown, MouseUp, MouseMove, Wheel, KeyDown, KeyUp, Text };
enum class TMouseButton : uint8_t { Left, Right, Middle };

struct TInputEvent {
  TInputKind Kind = TInputKind::MouseMove;
  TMouseButton Button = TMouseButton::Left;
  int32_t X = 0, Y = 0;     // mouse events
  int32_t WheelDelta = 0;   // positive: up, negative: down
  int32_t Key = 0;          // virtual-key code
  bool AutoRepeat = false;  // the window system's own repeat of a held key (ignored)
  std::string Text;         // Text: characters typed (Shift-JIS), for the focused control
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
