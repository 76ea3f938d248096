// The main window: a caption, a dock with tool buttons at the top, and the game screen below.
// SDL2 on a desktop; an in-memory stand-in when headless.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/display.h"

namespace quen::platform {

// A part of the game picture, in its pixels.
struct FrameRect {
  int32_t x = 0;
  int32_t y = 0;
  int32_t width = 0;
  int32_t height = 0;
};

struct ToolButton {
  std::string label;  // Shift-JIS
  int width = 0;
  int height = 0;
  std::string hint;  // Shift-JIS; shown while the pointer rests on the button
};

struct WindowEvent {
  // kCloseRequest: a close asked by the program (PostClose); kCloseAsked: the user closed the
  // window (the player asks first). Mouse positions are panel coordinates; keys are Windows
  // virtual-key codes.
  enum class Kind {
    kCloseRequest,
    kToolButton,
    kCloseAsked,
    kMouseDown,
    kMouseUp,
    kMouseMove,
    kWheel,
    kKeyDown,
    kKeyUp,
    kActivate,
    kDeactivate,
    kToggleFullScreen,
    kText,
    kComposition,
  };
  WindowEvent() = default;
  WindowEvent(Kind k, int b) : kind(k), button(b) {}
  Kind kind = Kind::kCloseRequest;
  int button = -1;  // kToolButton: the button's index; mouse: 0 left, 1 right, 2 middle
  int x = 0, y = 0;
  int wheel = 0;        // kWheel: positive up, negative down
  int key = 0;          // kKeyDown, kKeyUp
  bool repeat = false;  // kKeyDown: the system's own repeat of a held key
  std::string text;     // kText: characters typed; kComposition: the text being composed (UTF-8)
};

class IGameWindow {
 public:
  virtual ~IGameWindow() = default;
  virtual void SetCaption(const std::string& sjis) = 0;
  virtual const std::string& Caption() const = 0;
  // Buttons are laid out from the left edge of the dock; height 0 hides the dock.
  virtual void SetToolBar(int dock_height, const std::vector<ToolButton>& buttons) = 0;
  virtual void SetClientSize(int width, int height) = 0;
  virtual int ClientWidth() const = 0;
  virtual int ClientHeight() const = 0;
  // Centres the window in the work area (the desktop without panels).
  virtual void CenterInWorkArea() = 0;
  // Where the game screen sits in the client area.
  virtual void SetPanelBounds(int left, int top, int width, int height) = 0;
  virtual void Show() = 0;
  // Waits up to timeout_ms for something to happen; returns the events since the last call.
  virtual std::vector<WindowEvent> Pump(int timeout_ms) = 0;
  // Posts a close request that the next Pump returns.
  virtual void PostClose() = 0;
  // Shows what the panel holds (the game screen is drawn by the composing parts).
  virtual void Present() = 0;
  // The mouse cursor over the window: a picture (rows top-down, pixels 0xAARRGGBB) with its hot
  // spot, or the system's arrow.
  virtual void SetCursorImage(int width, int height, int hot_x, int hot_y,
                              const uint32_t* argb) = 0;
  virtual void SetArrowCursor() = 0;
  // Hands over the changed parts of the game picture: 32-bit pixels (0xXXRRGGBB, the top byte
  // ignored), rows top-down. A picture of another size than the last replaces the whole held
  // picture (black outside the parts given). Parts are cut to the picture. Present shows the
  // held picture scaled to the panel bounds.
  virtual void UploadFrame(const uint8_t* pixels, int pitch, int width, int height,
                           const std::vector<FrameRect>& rects) = 0;
  // Pictures shown over the game screen (overlay videos): 32-bit pixels 0x00RRGGBB of
  // width x height, rows top-down, scaled into rect (panel coordinates). An id replaces its own
  // picture; overlays lie above the game picture in the order of their ids.
  virtual void SetOverlay(int /*id*/, const FrameRect& /*rect*/, const uint32_t* /*pixels*/,
                          int /*width*/, int /*height*/) {}
  virtual void RemoveOverlay(int /*id*/) {}
  // The display system behind the window; null when there is none.
  virtual IDisplay* Display() { return nullptr; }
  // Moves the pointer to panel coordinates x, y; the window then reports the move like one the
  // user made.
  virtual void WarpMouse(int x, int y) = 0;
  // Screenshots of the panel: after CaptureNextPresent, the next Present keeps a copy of the
  // panel as shown (32-bit pixels 0x00RRGGBB, rows top-down), which ReadShownFrame returns;
  // false when the window keeps none.
  virtual void CaptureNextPresent() {}
  virtual bool ReadShownFrame(std::vector<uint32_t>& /*pixels*/, int& /*width*/, int& /*height*/) {
    return false;
  }
  // Text entry while an edit field has the keyboard: the input method is switched on and
  // told where the caret is (panel coordinates), so its candidates appear there.
  virtual void StartTextInput() {}
  virtual void StopTextInput() {}
  virtual void SetTextInputRect(int /*x*/, int /*y*/, int /*width*/, int /*height*/) {}
  // The system's clipboard as UTF-8 text.
  virtual std::string ClipboardText() { return clipboard_; }
  virtual void SetClipboardText(const std::string& utf8) { clipboard_ = utf8; }

 private:
  std::string clipboard_;
};

// The part of r inside a width x height picture; width or height 0 when nothing is left.
inline FrameRect ClipFrameRect(FrameRect r, int width, int height) {
  const int64_t l = std::max<int64_t>(r.x, 0), t = std::max<int64_t>(r.y, 0);
  const int64_t rr = std::min<int64_t>(int64_t{r.x} + r.width, width);
  const int64_t b = std::min<int64_t>(int64_t{r.y} + r.height, height);
  if (rr <= l || b <= t) return FrameRect{};
  return FrameRect{static_cast<int32_t>(l), static_cast<int32_t>(t), static_cast<int32_t>(rr - l),
                   static_cast<int32_t>(b - t)};
}

// Null when no display can be opened; error then says why.
std::unique_ptr<IGameWindow> CreateSdlWindow(std::string& error);

class HeadlessWindow : public IGameWindow {
 public:
  void SetCaption(const std::string& sjis) override { caption_ = sjis; }
  const std::string& Caption() const override { return caption_; }
  void SetToolBar(int dock_height, const std::vector<ToolButton>& buttons) override {
    dock_height_ = dock_height;
    buttons_ = buttons;
  }
  void SetClientSize(int width, int height) override {
    width_ = width;
    height_ = height;
  }
  int ClientWidth() const override { return width_; }
  int ClientHeight() const override { return height_; }
  void CenterInWorkArea() override { centered_ = true; }
  void SetPanelBounds(int left, int top, int width, int height) override {
    panel_[0] = left;
    panel_[1] = top;
    panel_[2] = width;
    panel_[3] = height;
  }
  void Show() override { shown_ = true; }
  std::vector<WindowEvent> Pump(int) override {
    std::vector<WindowEvent> out;
    out.swap(pending_);
    return out;
  }
  void PostClose() override { pending_.push_back({WindowEvent::Kind::kCloseRequest, -1}); }
  void Present() override { ++presented_; }
  void SetCursorImage(int width, int height, int hot_x, int hot_y, const uint32_t* argb) override {
    cursor_ = "image " + std::to_string(width) + "x" + std::to_string(height) + " hot " +
              std::to_string(hot_x) + "," + std::to_string(hot_y);
    cursor_pixels_.assign(argb, argb + static_cast<size_t>(width) * static_cast<size_t>(height));
  }
  void SetArrowCursor() override {
    cursor_ = "arrow";
    cursor_pixels_.clear();
  }
  void UploadFrame(const uint8_t* pixels, int pitch, int width, int height,
                   const std::vector<FrameRect>& rects) override {
    if (!pixels || width <= 0 || height <= 0) return;
    if (width != frame_width_ || height != frame_height_) {
      frame_width_ = width;
      frame_height_ = height;
      frame_.assign(static_cast<size_t>(width) * static_cast<size_t>(height) * 4, 0);
    }
    ++uploads_;
    for (const FrameRect& part : rects) {
      const FrameRect r = ClipFrameRect(part, width, height);
      if (r.width == 0) continue;
      const size_t row_bytes = static_cast<size_t>(r.width) * 4;
      for (int y = r.y; y < r.y + r.height; ++y)
        std::memcpy(
            &frame_[(static_cast<size_t>(y) * width + r.x) * 4],
            pixels + static_cast<std::ptrdiff_t>(y) * pitch + static_cast<std::ptrdiff_t>(r.x) * 4,
            row_bytes);
    }
  }
  // The headless window keeps every picture it was given; this is what it shows, the
  // overlays drawn over it (nearest pixel).
  bool ReadShownFrame(std::vector<uint32_t>& pixels, int& width, int& height) override {
    if (frame_width_ <= 0 || frame_height_ <= 0) return false;
    pixels.resize(frame_.size() / 4);
    for (size_t i = 0; i < pixels.size(); ++i)
      pixels[i] =
          (uint32_t{frame_[4 * i + 2]} << 16) | (uint32_t{frame_[4 * i + 1]} << 8) | frame_[4 * i];
    width = frame_width_;
    height = frame_height_;
    for (const auto& [id, o] : overlays_) {
      const FrameRect r = ClipFrameRect(o.rect, width, height);
      for (int y = r.y; y < r.y + r.height; ++y) {
        const int64_t sy = (int64_t{y} - o.rect.y) * o.height / o.rect.height;
        for (int x = r.x; x < r.x + r.width; ++x) {
          const int64_t sx = (int64_t{x} - o.rect.x) * o.width / o.rect.width;
          pixels[static_cast<size_t>(y) * width + x] =
              o.pixels[static_cast<size_t>(sy * o.width + sx)] & 0x00FFFFFF;
        }
      }
    }
    return true;
  }
  void SetOverlay(int id, const FrameRect& rect, const uint32_t* pixels, int width,
                  int height) override {
    if (!pixels || width <= 0 || height <= 0 || rect.width <= 0 || rect.height <= 0) {
      RemoveOverlay(id);
      return;
    }
    Overlay& o = overlays_[id];
    o.rect = rect;
    o.width = width;
    o.height = height;
    o.pixels.assign(pixels, pixels + static_cast<size_t>(width) * static_cast<size_t>(height));
  }
  void RemoveOverlay(int id) override { overlays_.erase(id); }
  size_t OverlayCount() const { return overlays_.size(); }
  IDisplay* Display() override { return &display_; }
  void WarpMouse(int x, int y) override {
    WindowEvent e;
    e.kind = WindowEvent::Kind::kMouseMove;
    e.x = x;
    e.y = y;
    pending_.push_back(e);
  }
  // The cursor last set, for tests: "arrow", "image WxH hot X,Y" or "" before any.
  const std::string& Cursor() const { return cursor_; }
  const std::vector<uint32_t>& CursorPixels() const { return cursor_pixels_; }
  // Input for tests and scripted runs.
  void Push(WindowEvent e) { pending_.push_back(e); }

  int DockHeight() const { return dock_height_; }
  const std::vector<ToolButton>& Buttons() const { return buttons_; }
  const int* Panel() const { return panel_; }
  bool Centered() const { return centered_; }
  bool Shown() const { return shown_; }
  int Presented() const { return presented_; }
  // What the window shows: 32-bit pixels as uploaded, rows top-down without padding.
  const std::vector<uint8_t>& Frame() const { return frame_; }
  int FrameWidth() const { return frame_width_; }
  int FrameHeight() const { return frame_height_; }
  int Uploads() const { return uploads_; }
  // No modes and a 32-bit desktop unless a test scripts it.
  FakeDisplay& Fake() { return display_; }

 private:
  std::string caption_;
  int dock_height_ = 0;
  std::vector<ToolButton> buttons_;
  int width_ = 0, height_ = 0;
  int panel_[4] = {0, 0, 0, 0};
  bool centered_ = false;
  bool shown_ = false;
  int presented_ = 0;
  std::vector<WindowEvent> pending_;
  std::string cursor_;
  std::vector<uint32_t> cursor_pixels_;
  std::vector<uint8_t> frame_;
  int frame_width_ = 0, frame_height_ = 0;
  int uploads_ = 0;
  FakeDisplay display_;
  struct Overlay {
    FrameRect rect;
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;
  };
  std::map<int, Overlay> overlays_;
};

}  // namespace quen::platform
