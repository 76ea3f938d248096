// What the screen modes need of the display system: the full-screen modes it offers, the
// desktop's pixel format, and switching the window into a mode and back to the desktop.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct SDL_Window;

namespace quen::platform {

// bits is the storage count of a pixel (16 for both 5-5-5 and 5-6-5, 32 for 8-8-8 in 32 bits);
// refresh is in Hz, 0 for the display's default rate.
struct DisplayMode {
  int32_t width = 0;
  int32_t height = 0;
  int32_t bits = 0;
  int32_t refresh = 0;
  friend bool operator==(const DisplayMode&, const DisplayMode&) = default;
};

struct DesktopFormat {
  int32_t bits = 0;
  uint32_t red_mask = 0;
  uint32_t green_mask = 0;
  uint32_t blue_mask = 0;
};

class IDisplay {
 public:
  virtual ~IDisplay() = default;
  // The full-screen modes, in the display's own order.
  virtual std::vector<DisplayMode> Modes() = 0;
  // The desktop's format; false when it cannot be read.
  virtual bool GetDesktopFormat(DesktopFormat& f) = 0;
  // Puts the window into the mode; false when refused, the desktop mode is then back.
  virtual bool EnterFullScreen(const DisplayMode& m) = 0;
  virtual void LeaveFullScreen() = 0;
  // The format the display shows now (after a switch); false when it cannot be read.
  virtual bool GetCurrentFormat(DesktopFormat& f) = 0;
};

// The display the window sits on.
std::unique_ptr<IDisplay> CreateSdlDisplay(SDL_Window* window);

// A scripted display for headless runs and tests: fixed modes and formats, refusals on demand,
// and a log of the switches ("enter WxHxB@R", "leave").
class FakeDisplay : public IDisplay {
 public:
  // No modes and a 32-bit desktop: what a headless run sees.
  FakeDisplay();

  std::vector<DisplayMode> Modes() override { return modes; }
  bool GetDesktopFormat(DesktopFormat& f) override;
  bool EnterFullScreen(const DisplayMode& m) override;
  void LeaveFullScreen() override;
  bool GetCurrentFormat(DesktopFormat& f) override;

  // The 5-5-5, 5-6-5 and 8-8-8 formats.
  static DesktopFormat Format15();
  static DesktopFormat Format16();
  static DesktopFormat Format32(int32_t bits = 32);

  std::vector<DisplayMode> modes;
  DesktopFormat desktop;
  bool desktop_readable = true;
  DesktopFormat mode16 = Format16();  // what a 16-bit mode shows
  // Modes with these bits are refused by EnterFullScreen.
  std::vector<int32_t> refused_bits;
  bool refuse_all = false;
  std::vector<std::string> log;
  bool full_screen = false;
  DisplayMode current;  // the mode while full_screen
};

}  // namespace quen::platform
