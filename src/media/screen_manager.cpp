#include "media/screen_manager.h"

#include "imaging/pixel_convert.h"

namespace quen {

namespace {

bool Masks555(uint32_t red, uint32_t green, uint32_t blue) {
  return red == 0x7C00 && green == 0x03E0 && blue == 0x001F;
}

bool ValidForcedDepth(int32_t bits) {
  return bits == 0 || bits == 15 || bits == 16 || bits == 32;
}

}  // namespace

TScreenManager::TScreenManager(platform::IDisplay* display, platform::IGameWindow& window,
                               int32_t screen_width, int32_t screen_height, int32_t preferred_width,
                               int32_t preferred_height, int32_t forced_depth)
    : display_(display),
      window_(window),
      screen_width_(screen_width),
      screen_height_(screen_height),
      preferred_width_(preferred_width),
      preferred_height_(preferred_height),
      forced_depth_(ValidForcedDepth(forced_depth) ? forced_depth : 0) {
  if (display_) {
    platform::DesktopFormat f;
    if (display_->GetDesktopFormat(f)) preferred_depth_ = f.bits;
    for (const platform::DisplayMode& m : display_->Modes()) FilterMode(m);
  }
  SetModeIndex(-1);
}

TScreenManager::~TScreenManager() {
  if (entered_ && display_) display_->LeaveFullScreen();
}

void TScreenManager::FilterMode(const platform::DisplayMode& m) {
  if (m.width < screen_width_ || m.height < screen_height_ || m.bits < 16) return;
  modes_.push_back(m);
  const int32_t n = ModeCount() - 1;
  if (chosen_ < 0) {
    chosen_ = n;
    return;
  }
  const platform::DisplayMode& c = modes_[static_cast<size_t>(chosen_)];
  if (m.width != preferred_width_ || m.height != preferred_height_) return;
  if (c.width != preferred_width_ || c.height != preferred_height_) {
    chosen_ = n;
    return;
  }
  if (m.bits != preferred_depth_) return;
  if (c.bits != preferred_depth_) {
    chosen_ = n;
    return;
  }
  // Rate 0 (the display's default) wins over every explicit rate; an equal rate keeps the first.
  if (static_cast<uint32_t>(m.refresh) < static_cast<uint32_t>(c.refresh)) chosen_ = n;
}

bool TScreenManager::GetMode(int32_t index, platform::DisplayMode& mode) const {
  if (index < 0 || index >= ModeCount()) return false;
  mode = modes_[static_cast<size_t>(index)];
  return true;
}

bool TScreenManager::SetChosenModeIndex(int32_t index) {
  if (index < -1 || index >= ModeCount()) return false;
  chosen_ = index;
  return true;
}

bool TScreenManager::SetForcedDepth(int32_t bits) {
  if (!ValidForcedDepth(bits)) return false;
  forced_depth_ = bits;
  return true;
}

void TScreenManager::SetModeIndex(int32_t index) {
  // "Not set up" is FreeDX's business; any other negative request means windowed.
  if (index < -1) index = -1;
  if (index == current_) return;
  const int32_t old = current_;
  current_ = index;
  if (old >= 0 && index < 0 && entered_) {
    display_->LeaveFullScreen();
    entered_ = false;
  }
  SetUp();
  if (index >= 0 && !entered_) {
    current_ = -1;
    SetUp();
  }
}

void TScreenManager::SetUp() {
  full_screen_ = false;
  software_ = false;
  frame_.Clear();
  if (current_ >= 0) {
    if (!SetUpFullScreen()) return;
  } else {
    SetUpWindowed();
  }
  software_ = true;
  frame_.SetSize(screen_width_, screen_height_, working_depth_);
  whole_frame_ = true;
}

void TScreenManager::SetUpWindowed() {
  int32_t depth = 32;
  platform::DesktopFormat f;
  if (display_ && display_->GetDesktopFormat(f)) {
    display_depth_ = f.bits;
    if (Masks555(f.red_mask, f.green_mask, f.blue_mask))
      depth = 15;
    else
      depth = f.bits > 16 ? 32 : 16;
  }
  working_depth_ = forced_depth_ != 0 ? forced_depth_ : depth;
}

bool TScreenManager::SetUpFullScreen() {
  platform::DisplayMode mode;
  if (!display_ || !GetMode(current_, mode)) {
    if (entered_) display_->LeaveFullScreen();
    entered_ = false;
    return false;
  }
  // Between two full-screen modes the display goes straight from one to the other.
  if (!display_->EnterFullScreen(mode)) {
    entered_ = false;
    return false;
  }
  entered_ = true;
  platform::DesktopFormat f;
  if (!display_->GetCurrentFormat(f)) f = {mode.bits, 0, 0, 0};
  display_depth_ = f.bits;
  if (f.bits < 16 || Masks555(f.red_mask, f.green_mask, f.blue_mask))
    working_depth_ = 15;
  else
    working_depth_ = f.bits == 16 ? 16 : 32;
  full_screen_ = true;
  return true;
}

void TScreenManager::FreeDX() {
  frame_.Clear();
  if (entered_ && display_) display_->LeaveFullScreen();
  entered_ = false;
  current_ = -2;
}

void TScreenManager::Present(const std::vector<TRect>& changed) {
  if (frame_.IsEmpty()) return;
  const int32_t w = frame_.Width(), h = frame_.Height();
  std::vector<platform::FrameRect> parts;
  auto add = [&](const TRect& r) {
    const TRect c = r.Intersect(TRect{0, 0, w, h});
    if (!c.IsEmpty()) parts.push_back({c.Left, c.Top, c.Width(), c.Height()});
  };
  if (whole_frame_) {
    add(TRect{0, 0, w, h});
  } else {
    for (const TRect& r : changed) add(r);
  }
  if (!parts.empty()) {
    TDIBSurface& dib = frame_.DIB();
    if (frame_.BitCount() == 32) {
      window_.UploadFrame(dib.Bits(), dib.Pitch(), w, h, parts);
    } else {
      // The window is handed 32-bit pixels widened by our own converter: renderers widen 15-
      // and 16-bit textures each their own way, and the picture must be the same everywhere
      // (and equal the frame dumps).
      if (shown_.Width() != w || shown_.Height() != h) shown_.SetSize(w, h, 32);
      for (const platform::FrameRect& r : parts)
        for (int32_t y = r.y; y < r.y + r.height; ++y)
          ConvertRow(dib.ScanLine(y), frame_.BitCount(), nullptr, r.x, shown_.ScanLine(y), 32,
                     nullptr, r.x, r.width);
      window_.UploadFrame(shown_.Bits(), shown_.Pitch(), w, h, parts);
    }
    window_.Present();
  }
  whole_frame_ = false;
}

}  // namespace quen
