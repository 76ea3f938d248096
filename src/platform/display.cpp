// The display the window sits on, through SDL2, and the scripted stand-in.
#include "platform/display.h"

#include <SDL.h>

#include <algorithm>

namespace quen::platform {

namespace {

// A pixel's storage count, as a display reports its modes: 5-5-5 counts 16 (the masks tell it
// from 5-6-5), 8-8-8 in 32-bit pixels counts 32.
int32_t StorageBits(Uint32 format) {
  if (SDL_ISPIXELFORMAT_INDEXED(format) || SDL_ISPIXELFORMAT_FOURCC(format))
    return static_cast<int32_t>(SDL_BITSPERPIXEL(format));
  const int32_t bytes = static_cast<int32_t>(SDL_BYTESPERPIXEL(format));
  return bytes >= 2 ? bytes * 8 : static_cast<int32_t>(SDL_BITSPERPIXEL(format));
}

bool FormatOf(Uint32 format, DesktopFormat& f) {
  int bpp = 0;
  Uint32 r = 0, g = 0, b = 0, a = 0;
  if (SDL_PixelFormatEnumToMasks(format, &bpp, &r, &g, &b, &a) != SDL_TRUE) return false;
  f.bits = StorageBits(format);
  f.red_mask = r;
  f.green_mask = g;
  f.blue_mask = b;
  return true;
}

class SdlDisplay : public IDisplay {
 public:
  explicit SdlDisplay(SDL_Window* window) : window_(window) {}

  std::vector<DisplayMode> Modes() override {
    std::vector<DisplayMode> out;
    const int display = Index();
    const int n = SDL_GetNumDisplayModes(display);
    for (int i = 0; i < n; ++i) {
      SDL_DisplayMode m;
      if (SDL_GetDisplayMode(display, i, &m) != 0) continue;
      out.push_back({m.w, m.h, StorageBits(m.format), m.refresh_rate});
    }
    return out;
  }

  bool GetDesktopFormat(DesktopFormat& f) override {
    SDL_DisplayMode m;
    return SDL_GetDesktopDisplayMode(Index(), &m) == 0 && FormatOf(m.format, f);
  }

  bool EnterFullScreen(const DisplayMode& want) override {
    // The display's own record of the mode, which carries its exact pixel format.
    const int display = Index();
    const int n = SDL_GetNumDisplayModes(display);
    for (int i = 0; i < n; ++i) {
      SDL_DisplayMode m;
      if (SDL_GetDisplayMode(display, i, &m) != 0) continue;
      if (m.w != want.width || m.h != want.height || StorageBits(m.format) != want.bits ||
          m.refresh_rate != want.refresh)
        continue;
      if (SDL_SetWindowDisplayMode(window_, &m) == 0 &&
          SDL_SetWindowFullscreen(window_, SDL_WINDOW_FULLSCREEN) == 0)
        return true;
      break;
    }
    LeaveFullScreen();
    return false;
  }

  void LeaveFullScreen() override { SDL_SetWindowFullscreen(window_, 0); }

  bool GetCurrentFormat(DesktopFormat& f) override {
    SDL_DisplayMode m;
    return SDL_GetCurrentDisplayMode(Index(), &m) == 0 && FormatOf(m.format, f);
  }

 private:
  int Index() const {
    const int i = SDL_GetWindowDisplayIndex(window_);
    return i < 0 ? 0 : i;
  }

  SDL_Window* window_;
};

std::string ModeText(const DisplayMode& m) {
  return std::to_string(m.width) + "x" + std::to_string(m.height) + "x" + std::to_string(m.bits) +
         "@" + std::to_string(m.refresh);
}

}  // namespace

std::unique_ptr<IDisplay> CreateSdlDisplay(SDL_Window* window) {
  if (!window) return nullptr;
  return std::make_unique<SdlDisplay>(window);
}

FakeDisplay::FakeDisplay() : desktop(Format32()) {}

DesktopFormat FakeDisplay::Format15() {
  return {16, 0x7C00, 0x03E0, 0x001F};
}
DesktopFormat FakeDisplay::Format16() {
  return {16, 0xF800, 0x07E0, 0x001F};
}
DesktopFormat FakeDisplay::Format32(int32_t bits) {
  return {bits, 0x00FF0000, 0x0000FF00, 0x000000FF};
}

bool FakeDisplay::GetDesktopFormat(DesktopFormat& f) {
  if (!desktop_readable) return false;
  f = desktop;
  return true;
}

bool FakeDisplay::EnterFullScreen(const DisplayMode& m) {
  log.push_back("enter " + ModeText(m));
  const bool refused = refuse_all || std::find(refused_bits.begin(), refused_bits.end(), m.bits) !=
                                         refused_bits.end();
  if (refused) {
    full_screen = false;
    return false;
  }
  full_screen = true;
  current = m;
  return true;
}

void FakeDisplay::LeaveFullScreen() {
  log.push_back("leave");
  full_screen = false;
}

bool FakeDisplay::GetCurrentFormat(DesktopFormat& f) {
  if (!full_screen) return GetDesktopFormat(f);
  if (current.bits == 16)
    f = mode16;
  else if (current.bits < 16)
    f = {current.bits, 0, 0, 0};
  else
    f = Format32(current.bits);
  return true;
}

}  // namespace quen::platform
