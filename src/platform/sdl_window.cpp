// The main window with SDL2: a resizable window that keeps the game's shape, the dock with its tool
// buttons drawn as raised buttons with labels of our own rendering, and the black game screen.
#include <SDL.h>

#include <algorithm>
#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/display.h"
#include "platform/game_window.h"
#include "platform/label_raster.h"
#include "platform/text_encoding.h"
#include "platform/virtual_keys.h"

namespace quen::platform {

namespace {

// A label rendered once into a texture: black ink, its coverage as alpha.
SDL_Texture* RenderLabelTexture(SDL_Renderer* r, const std::string& utf8, int& w, int& h) {
  LabelBitmap bitmap;
  // The window's font: a 9-point gothic, 12 pixels high.
  if (!RenderLabel(utf8, 12, bitmap)) return nullptr;
  std::vector<uint32_t> argb(bitmap.coverage.size());
  for (size_t i = 0; i < argb.size(); ++i) argb[i] = uint32_t{bitmap.coverage[i]} << 24;
  SDL_Texture* t = SDL_CreateTexture(r, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STATIC,
                                     bitmap.width, bitmap.height);
  if (!t) return nullptr;
  SDL_UpdateTexture(t, nullptr, argb.data(), bitmap.width * 4);
  SDL_SetTextureBlendMode(t, SDL_BLENDMODE_BLEND);
  w = bitmap.width;
  h = bitmap.height;
  return t;
}

class SdlWindow : public IGameWindow {
 public:
  SdlWindow(SDL_Window* w, SDL_Renderer* r)
      : window_(w), renderer_(r), display_(CreateSdlDisplay(w)) {}
  ~SdlWindow() override {
    FreeLabels();
    for (auto& [id, o] : overlays_) SDL_DestroyTexture(o.texture);
    if (frame_) SDL_DestroyTexture(frame_);
    if (cursor_) SDL_FreeCursor(cursor_);
    SDL_DestroyRenderer(renderer_);
    SDL_DestroyWindow(window_);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
  }

  void SetCaption(const std::string& sjis) override {
    caption_ = sjis;
    SDL_SetWindowTitle(window_, Cp932ToUtf8(sjis).c_str());
  }
  const std::string& Caption() const override { return caption_; }

  void SetToolBar(int dock_height, const std::vector<ToolButton>& buttons) override {
    FreeLabels();
    dock_height_ = dock_height;
    buttons_ = buttons;
    for (const auto& b : buttons_) {
      Label l;
      l.texture = RenderLabelTexture(renderer_, Cp932ToUtf8(b.label), l.w, l.h);
      labels_.push_back(l);
      Label h;
      if (!b.hint.empty()) h.texture = RenderLabelTexture(renderer_, Cp932ToUtf8(b.hint), h.w, h.h);
      hints_.push_back(h);
    }
    hovered_ = -1;
  }

  void SetClientSize(int width, int height) override {
    if (width < 1) width = 1;
    if (height < 1) height = 1;
    SDL_SetWindowSize(window_, width, height);
    // The player draws at this size; a window the user resizes (or a high-density screen)
    // scales it, keeping its shape with bars at the sides, and mouse positions come back in it.
    SDL_RenderSetLogicalSize(renderer_, width, height);
    logical_w_ = width;
    logical_h_ = height;
  }
  int ClientWidth() const override {
    if (logical_w_ > 0) return logical_w_;
    int w, h;
    SDL_GetWindowSize(window_, &w, &h);
    return w;
  }
  int ClientHeight() const override {
    if (logical_h_ > 0) return logical_h_;
    int w, h;
    SDL_GetWindowSize(window_, &w, &h);
    return h;
  }
  void CenterInWorkArea() override {
    SDL_Rect area;
    int display = SDL_GetWindowDisplayIndex(window_);
    if (SDL_GetDisplayUsableBounds(display < 0 ? 0 : display, &area) != 0) return;
    int w, h;
    SDL_GetWindowSize(window_, &w, &h);
    SDL_SetWindowPosition(window_, area.x + (area.w - w) / 2, area.y + (area.h - h) / 2);
  }
  void SetPanelBounds(int left, int top, int width, int height) override {
    panel_ = {left, top, width, height};
  }
  void Show() override {
    SDL_ShowWindow(window_);
    Present();
  }

  std::vector<WindowEvent> Pump(int timeout_ms) override {
    std::vector<WindowEvent> out;
    out.swap(pending_);
    SDL_Event e;
    bool got = SDL_WaitEventTimeout(&e, timeout_ms) != 0;
    while (got) {
      Handle(e, out);
      got = SDL_PollEvent(&e) != 0;
    }
    return out;
  }

  void PostClose() override { pending_.push_back({WindowEvent::Kind::kCloseRequest, -1}); }

  void Present() override {
    SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
    SDL_RenderClear(renderer_);
    if (frame_ && panel_.w > 0 && panel_.h > 0) SDL_RenderCopy(renderer_, frame_, nullptr, &panel_);
    DrawOverlays();
    if (capture_ && panel_.w > 0 && panel_.h > 0) {
      // Read back before presenting: afterwards the drawing buffer is undefined.
      shown_.assign(static_cast<size_t>(panel_.w) * static_cast<size_t>(panel_.h), 0);
      if (SDL_RenderReadPixels(renderer_, &panel_, SDL_PIXELFORMAT_ARGB8888, shown_.data(),
                               panel_.w * 4) == 0) {
        shown_w_ = panel_.w;
        shown_h_ = panel_.h;
        for (uint32_t& p : shown_) p &= 0x00FFFFFF;
      }
      capture_ = false;
    }
    // In full screen the tool bar comes up over the game screen.
    if (dock_height_ > 0) {
      int w = ClientWidth();
      SDL_Rect dock{0, 0, w, dock_height_};
      SDL_SetRenderDrawColor(renderer_, 0xF0, 0xF0, 0xF0, 255);
      SDL_RenderFillRect(renderer_, &dock);
      for (size_t i = 0; i < buttons_.size(); ++i) DrawButton(i);
      DrawHint();
    }
    SDL_RenderPresent(renderer_);
  }

  void UploadFrame(const uint8_t* pixels, int pitch, int width, int height,
                   const std::vector<FrameRect>& rects) override {
    if (!pixels || width <= 0 || height <= 0) return;
    if (!frame_ || width != frame_w_ || height != frame_h_) {
      if (frame_) SDL_DestroyTexture(frame_);
      frame_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING,
                                 width, height);
      if (!frame_) return;
      frame_w_ = width;
      frame_h_ = height;
      // A new texture holds garbage: start from black.
      std::vector<uint8_t> black(static_cast<size_t>(width) * static_cast<size_t>(height) * 4, 0);
      SDL_UpdateTexture(frame_, nullptr, black.data(), width * 4);
    }
    for (const FrameRect& part : rects) {
      const FrameRect r = ClipFrameRect(part, width, height);
      if (r.width == 0) continue;
      SDL_Rect dst{r.x, r.y, r.width, r.height};
      SDL_UpdateTexture(
          frame_, &dst,
          pixels + static_cast<std::ptrdiff_t>(r.y) * pitch + static_cast<std::ptrdiff_t>(r.x) * 4,
          pitch);
    }
  }

  void SetOverlay(int id, const FrameRect& rect, const uint32_t* pixels, int width,
                  int height) override {
    if (!pixels || width <= 0 || height <= 0 || rect.width <= 0 || rect.height <= 0) {
      RemoveOverlay(id);
      return;
    }
    Overlay& o = overlays_[id];
    if (!o.texture || o.w != width || o.h != height) {
      if (o.texture) SDL_DestroyTexture(o.texture);
      o.texture = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING,
                                    width, height);
      o.w = width;
      o.h = height;
    }
    o.rect = rect;
    if (o.texture) SDL_UpdateTexture(o.texture, nullptr, pixels, width * 4);
  }
  void RemoveOverlay(int id) override {
    auto it = overlays_.find(id);
    if (it == overlays_.end()) return;
    if (it->second.texture) SDL_DestroyTexture(it->second.texture);
    overlays_.erase(it);
  }

  IDisplay* Display() override { return display_.get(); }
  void WarpMouse(int x, int y) override {
    // Panel coordinates are in the player's drawing size; the window may be scaled.
    int wx = x + panel_.x, wy = y + panel_.y;
    SDL_RenderLogicalToWindow(renderer_, static_cast<float>(wx), static_cast<float>(wy), &wx, &wy);
    SDL_WarpMouseInWindow(window_, wx, wy);
  }
  void StartTextInput() override { SDL_StartTextInput(); }
  void StopTextInput() override { SDL_StopTextInput(); }
  void SetTextInputRect(int x, int y, int width, int height) override {
    int l = x + panel_.x, t = y + panel_.y, r = l + width, b = t + height;
    SDL_RenderLogicalToWindow(renderer_, static_cast<float>(l), static_cast<float>(t), &l, &t);
    SDL_RenderLogicalToWindow(renderer_, static_cast<float>(r), static_cast<float>(b), &r, &b);
    SDL_Rect rect{l, t, std::max(1, r - l), std::max(1, b - t)};
    SDL_SetTextInputRect(&rect);
  }
  std::string ClipboardText() override {
    char* text = SDL_GetClipboardText();
    std::string out = text ? text : "";
    SDL_free(text);
    return out;
  }
  void SetClipboardText(const std::string& utf8) override { SDL_SetClipboardText(utf8.c_str()); }
  void CaptureNextPresent() override { capture_ = true; }
  bool ReadShownFrame(std::vector<uint32_t>& pixels, int& width, int& height) override {
    if (shown_w_ <= 0 || shown_h_ <= 0) return false;
    pixels = shown_;
    width = shown_w_;
    height = shown_h_;
    return true;
  }

 private:
  struct Label {
    SDL_Texture* texture = nullptr;
    int w = 0, h = 0;
  };
  struct Overlay {
    SDL_Texture* texture = nullptr;
    int w = 0, h = 0;
    FrameRect rect;
  };

  // Overlay rectangles are in the game picture's pixels; the panel may show it scaled.
  void DrawOverlays() {
    if (frame_w_ <= 0 || frame_h_ <= 0) return;
    for (const auto& [id, o] : overlays_) {
      if (!o.texture) continue;
      SDL_Rect dst{panel_.x + o.rect.x * panel_.w / frame_w_,
                   panel_.y + o.rect.y * panel_.h / frame_h_, o.rect.width * panel_.w / frame_w_,
                   o.rect.height * panel_.h / frame_h_};
      SDL_RenderCopy(renderer_, o.texture, nullptr, &dst);
    }
  }

  SDL_Rect ButtonRect(size_t i) const {
    int x = 0;
    for (size_t k = 0; k < i; ++k) x += buttons_[k].width;
    int top = (dock_height_ - buttons_[i].height) / 2;
    return {x, top < 0 ? 0 : top, buttons_[i].width, buttons_[i].height};
  }

  void DrawButton(size_t i) {
    SDL_Rect r = ButtonRect(i);
    bool down = static_cast<int>(i) == pressed_;
    SDL_SetRenderDrawColor(renderer_, 0xF0, 0xF0, 0xF0, 255);
    SDL_RenderFillRect(renderer_, &r);
    // A raised edge, sunken while pressed.
    Uint8 light = down ? 0xA0 : 0xFF, dark = down ? 0xFF : 0xA0;
    SDL_SetRenderDrawColor(renderer_, light, light, light, 255);
    SDL_RenderDrawLine(renderer_, r.x, r.y, r.x + r.w - 1, r.y);
    SDL_RenderDrawLine(renderer_, r.x, r.y, r.x, r.y + r.h - 1);
    SDL_SetRenderDrawColor(renderer_, dark, dark, dark, 255);
    SDL_RenderDrawLine(renderer_, r.x, r.y + r.h - 1, r.x + r.w - 1, r.y + r.h - 1);
    SDL_RenderDrawLine(renderer_, r.x + r.w - 1, r.y, r.x + r.w - 1, r.y + r.h - 1);
    const Label& l = labels_[i];
    if (l.texture) {
      SDL_Rect dst{r.x + (r.w - l.w) / 2 + (down ? 1 : 0), r.y + (r.h - l.h) / 2 + (down ? 1 : 0),
                   l.w, l.h};
      SDL_RenderCopy(renderer_, l.texture, nullptr, &dst);
    }
  }

  // The hint of the button under the pointer, in a box just below it.
  void DrawHint() {
    if (hovered_ < 0 || static_cast<size_t>(hovered_) >= hints_.size()) return;
    const Label& h = hints_[static_cast<size_t>(hovered_)];
    if (!h.texture) return;
    SDL_Rect r = ButtonRect(static_cast<size_t>(hovered_));
    SDL_Rect box{r.x + 4, r.y + r.h + 2, h.w + 6, h.h + 4};
    SDL_SetRenderDrawColor(renderer_, 0xFF, 0xFF, 0xE1, 255);
    SDL_RenderFillRect(renderer_, &box);
    SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
    SDL_RenderDrawRect(renderer_, &box);
    SDL_Rect dst{box.x + 3, box.y + 2, h.w, h.h};
    SDL_RenderCopy(renderer_, h.texture, nullptr, &dst);
  }

  int ButtonAt(int x, int y) const {
    for (size_t i = 0; i < buttons_.size(); ++i) {
      SDL_Rect r = ButtonRect(i);
      if (x >= r.x && x < r.x + r.w && y >= r.y && y < r.y + r.h) return static_cast<int>(i);
    }
    return -1;
  }

  static int MouseButtonIndex(Uint8 b) {
    return b == SDL_BUTTON_LEFT ? 0 : b == SDL_BUTTON_RIGHT ? 1 : b == SDL_BUTTON_MIDDLE ? 2 : -1;
  }

  // A mouse event at window position x, y, in panel coordinates.
  WindowEvent MouseEvent(WindowEvent::Kind kind, int x, int y, int button) const {
    WindowEvent w;
    w.kind = kind;
    w.button = button;
    w.x = x - panel_.x;
    w.y = y - panel_.y;
    return w;
  }

  bool InPanel(int x, int y) const {
    return x >= panel_.x && x < panel_.x + panel_.w && y >= panel_.y && y < panel_.y + panel_.h;
  }

  void Handle(const SDL_Event& e, std::vector<WindowEvent>& out) {
    switch (e.type) {
      case SDL_QUIT:
        out.push_back({WindowEvent::Kind::kCloseAsked, -1});
        break;
      case SDL_WINDOWEVENT:
        if (e.window.event == SDL_WINDOWEVENT_CLOSE)
          out.push_back({WindowEvent::Kind::kCloseAsked, -1});
        else if (e.window.event == SDL_WINDOWEVENT_EXPOSED)
          Present();
        else if (e.window.event == SDL_WINDOWEVENT_FOCUS_GAINED)
          out.push_back({WindowEvent::Kind::kActivate, -1});
        else if (e.window.event == SDL_WINDOWEVENT_FOCUS_LOST)
          out.push_back({WindowEvent::Kind::kDeactivate, -1});
        break;
      case SDL_MOUSEBUTTONDOWN: {
        if (e.button.button == SDL_BUTTON_LEFT) {
          pressed_ = ButtonAt(e.button.x, e.button.y);
          if (pressed_ >= 0) {
            Present();
            break;
          }
        }
        const int b = MouseButtonIndex(e.button.button);
        if (b >= 0 && InPanel(e.button.x, e.button.y))
          out.push_back(MouseEvent(WindowEvent::Kind::kMouseDown, e.button.x, e.button.y, b));
        break;
      }
      case SDL_MOUSEBUTTONUP: {
        if (e.button.button == SDL_BUTTON_LEFT && pressed_ >= 0) {
          int at = ButtonAt(e.button.x, e.button.y);
          int was = pressed_;
          pressed_ = -1;
          Present();
          // A button acts when released over itself, as desktop buttons do.
          if (at == was) out.push_back({WindowEvent::Kind::kToolButton, at});
          break;
        }
        const int b = MouseButtonIndex(e.button.button);
        if (b >= 0)
          out.push_back(MouseEvent(WindowEvent::Kind::kMouseUp, e.button.x, e.button.y, b));
        break;
      }
      case SDL_MOUSEMOTION:
        if (int at = dock_height_ > 0 ? ButtonAt(e.motion.x, e.motion.y) : -1; at != hovered_) {
          hovered_ = at;
          Present();
        }
        out.push_back(MouseEvent(WindowEvent::Kind::kMouseMove, e.motion.x, e.motion.y, -1));
        break;
      case SDL_MOUSEWHEEL:
        if (e.wheel.y != 0) {
          WindowEvent w;
          w.kind = WindowEvent::Kind::kWheel;
          w.wheel = e.wheel.y > 0 ? 120 : -120;
          out.push_back(w);
        }
        break;
      case SDL_KEYDOWN:
      case SDL_KEYUP: {
        const SDL_Keycode sym = e.key.keysym.sym;
        // F11 and Alt+Enter switch the screen like the tool bar's button.
        if (e.type == SDL_KEYDOWN && !e.key.repeat &&
            (sym == SDLK_F11 ||
             ((sym == SDLK_RETURN || sym == SDLK_KP_ENTER) && (e.key.keysym.mod & KMOD_ALT)))) {
          out.push_back({WindowEvent::Kind::kToggleFullScreen, -1});
          break;
        }
        const int32_t vk = VirtualKeyFromSdlKeycode(sym);
        if (vk <= 0 || vk >= 256) break;
        WindowEvent w;
        w.kind = e.type == SDL_KEYDOWN ? WindowEvent::Kind::kKeyDown : WindowEvent::Kind::kKeyUp;
        w.key = vk;
        w.repeat = e.key.repeat != 0;
        out.push_back(w);
        break;
      }
      case SDL_TEXTEDITING: {
        // The input method's composition, shown in the edit field until it is committed.
        WindowEvent w;
        w.kind = WindowEvent::Kind::kComposition;
        w.text = e.edit.text;
        out.push_back(w);
        break;
      }
      case SDL_TEXTINPUT: {
        WindowEvent w;
        w.kind = WindowEvent::Kind::kText;
        w.text = e.text.text;
        if (!w.text.empty()) out.push_back(w);
        break;
      }
      default:
        break;
    }
  }

  void SetCursorImage(int width, int height, int hot_x, int hot_y, const uint32_t* argb) override {
    if (width <= 0 || height <= 0 || !argb) return;
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(
        const_cast<uint32_t*>(argb), width, height, 32, width * 4, SDL_PIXELFORMAT_ARGB8888);
    if (!surface) return;
    SDL_Cursor* cursor = SDL_CreateColorCursor(surface, hot_x, hot_y);
    SDL_FreeSurface(surface);
    if (cursor) UseCursor(cursor);
  }
  void SetArrowCursor() override {
    if (SDL_Cursor* cursor = SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_ARROW)) UseCursor(cursor);
  }

  // SDL keeps using the cursor it was given, so the previous one is freed only after the switch.
  void UseCursor(SDL_Cursor* cursor) {
    SDL_SetCursor(cursor);
    if (cursor_) SDL_FreeCursor(cursor_);
    cursor_ = cursor;
  }

  void FreeLabels() {
    for (auto& l : labels_)
      if (l.texture) SDL_DestroyTexture(l.texture);
    labels_.clear();
    for (auto& h : hints_)
      if (h.texture) SDL_DestroyTexture(h.texture);
    hints_.clear();
  }

  SDL_Window* window_;
  SDL_Renderer* renderer_;
  std::string caption_;
  int dock_height_ = 0;
  std::vector<ToolButton> buttons_;
  std::vector<Label> labels_;
  std::vector<Label> hints_;
  int hovered_ = -1;
  SDL_Rect panel_{0, 0, 0, 0};
  int pressed_ = -1;
  std::vector<WindowEvent> pending_;
  SDL_Cursor* cursor_ = nullptr;
  std::unique_ptr<IDisplay> display_;
  SDL_Texture* frame_ = nullptr;
  int frame_w_ = 0, frame_h_ = 0;
  int logical_w_ = 0, logical_h_ = 0;
  bool capture_ = false;
  std::vector<uint32_t> shown_;
  int shown_w_ = 0, shown_h_ = 0;
  std::map<int, Overlay> overlays_;
};

}  // namespace

std::unique_ptr<IGameWindow> CreateSdlWindow(std::string& error) {
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    error = std::string("no display: ") + SDL_GetError();
    return nullptr;
  }
  SDL_Window* w =
      SDL_CreateWindow("QuenPlayer", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, 640, 480,
                       SDL_WINDOW_HIDDEN | SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI);
  if (!w) {
    error = std::string("cannot create the window: ") + SDL_GetError();
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return nullptr;
  }
  SDL_Renderer* r = SDL_CreateRenderer(w, -1, SDL_RENDERER_PRESENTVSYNC);
  if (!r) r = SDL_CreateRenderer(w, -1, SDL_RENDERER_SOFTWARE);
  if (!r) {
    error = std::string("cannot draw into the window: ") + SDL_GetError();
    SDL_DestroyWindow(w);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return nullptr;
  }
  // No screen saver while the game runs.
  SDL_DisableScreenSaver();
  return std::make_unique<SdlWindow>(w, r);
}

}  // namespace quen::platform
