#include "shell/form_view.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "base/error.h"
#include "files/file_manager.h"
#include "files/host_path.h"
#include "imaging/dib_surface.h"
#include "imaging/pixel_convert.h"
#include "imaging/png_codec.h"
#include "platform/clock.h"
#include "platform/desktop.h"
#include "platform/dialogs.h"
#include "platform/host_fs.h"
#include "platform/text_encoding.h"
#include "platform/trace.h"
#include "runtime/call_man.h"
#include "shell/messages.h"

namespace quen {
namespace {

// The characters of UTF-8 text that the game's character set holds, in Shift-JIS; the others
// cannot be typed into it and are left out.
std::string TypableText(const std::string& utf8) {
  std::string out, piece;
  for (size_t i = 0; i < utf8.size();) {
    const auto b = static_cast<unsigned char>(utf8[i]);
    size_t len = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 1;
    len = std::min(len, utf8.size() - i);
    if (platform::TryUtf8ToCp932(std::string_view(utf8).substr(i, len), piece)) out += piece;
    i += len;
  }
  return out;
}

}  // namespace

TFormView::TFormView(platform::IGameWindow& window, TStartupContext context)
    : TFormView(window, std::make_unique<TPlayer>(window, std::move(context))) {}

TFormView::TFormView(platform::IGameWindow& window, std::unique_ptr<TPlayer> player)
    : window_(window), player_(std::move(player)) {
  player_->SetWindow(this);
  window_.SetCaption(msg::kWindowDefaultCaption);
}

TFormView::~TFormView() {
  Close();
}

void TFormView::Create() {
  dock_height_ = kToolBarHeight + 4;
  player_->Create();
  if (TerminateFlag()) {
    startup_failed_ = true;
    window_.PostClose();
  }
}

void TFormView::FitToScreen(int32_t width, int32_t height) {
  window_.SetClientSize(width, height + dock_height_);
  window_.CenterInWorkArea();
  PlacePanel();
}

void TFormView::PlacePanel() {
  TProject* project = player_->Project();
  const int32_t w = project ? project->ScreenWidth : 0;
  const int32_t h = project ? project->ScreenHeight : 0;
  // Truncated toward zero like the original's integer division.
  panel_left_ = (window_.ClientWidth() - w) / 2;
  panel_top_ = full_screen_ ? (window_.ClientHeight() - h) / 2 : dock_height_;
  window_.SetPanelBounds(panel_left_, panel_top_, w, h);
}

void TFormView::SetFullScreen(bool full) {
  platform::Trace("SetFullScreen");
  TProject* project = player_->Project();
  TScreenManager* screen = player_->Screen();
  if (full == full_screen_ || !project) return;
  if (full) {
    platform::Trace("SetFullScreen.Full");
    // Without a chosen mode there is nothing to switch to: the window stays as it is and
    // nothing was stopped.
    if (!screen || screen->ChosenModeIndex() < 0) return;
  } else {
    platform::Trace("SetFullScreen.Normal");
  }
  // Frames wait until the switch has ended, whichever way it ends.
  switching_ = true;
  TMediaSystem* media = player_->Media();
  // Music of the software synthesiser stops with its output closed, and goes on afterwards.
  if (media) media->StopSynthMusic();
  TQuenBaseList* registry = player_->Registry();
  const int32_t w = project->ScreenWidth, h = project->ScreenHeight;
  const char* const side = full ? "SetFullScreen.Full." : "SetFullScreen.Normal.";
  auto trace = [side](const char* step) { platform::Trace(std::string(side) + step); };
  trace("Bases.FreeDX");
  if (registry) registry->ReleaseAllSurfaces();
  trace("MediaSuspend");
  if (media) media->SuspendVideos();
  if (full) {
    HideToolBar();
    trace("ScreenMan.FreeDX");
    screen->FreeDX();
    trace("StoreWindow");
    trace("SetScreenManIndex");
    const int32_t wanted = screen->ChosenModeIndex();
    screen->SetModeIndex(wanted);
    full_screen_ = screen->CurrentModeIndex() == wanted;
    if (!full_screen_) {
      trace("SetScreenManIndexFail");
      ShowToolBar();
      window_.SetClientSize(w, h + dock_height_);
    } else {
      platform::DisplayMode m;
      screen->GetMode(wanted, m);
      window_.SetClientSize(m.width, m.height);
    }
  } else {
    ShowToolBar();
    trace("ScreenMan.FreeDX");
    if (screen) screen->FreeDX();
    trace("RestoreWindow");
    window_.SetClientSize(w, h + dock_height_);
    if (screen) screen->SetModeIndex(-1);
    full_screen_ = false;
  }
  platform::Trace("SetFullScreen.SetBounds");
  PlacePanel();
  if (media) media->RestartSynthMusic();
  platform::Trace("SetFullScreen.Bases.Reload");
  if (registry) registry->RestoreAllSurfaces();
  platform::Trace("SetFullScreen.MediaResume");
  if (media) media->ResumeVideos();
  switching_ = false;
}

void TFormView::ApplyScreenMode() {
  TScreenManager* screen = player_->Screen();
  TProject* project = player_->Project();
  if (!screen || !project || !full_screen_ ||
      screen->ChosenModeIndex() == screen->CurrentModeIndex())
    return;
  TQuenBaseList* registry = player_->Registry();
  TMediaSystem* media = player_->Media();
  if (registry) registry->ReleaseAllSurfaces();
  if (media) media->SuspendVideos();
  const int32_t wanted = screen->ChosenModeIndex();
  screen->SetModeIndex(wanted);
  if (screen->CurrentModeIndex() != wanted) {
    // The mode did not take: back to the bordered window.
    full_screen_ = false;
    ShowToolBar();
    window_.SetClientSize(project->ScreenWidth, project->ScreenHeight + dock_height_);
  } else {
    platform::DisplayMode m;
    screen->GetMode(wanted, m);
    window_.SetClientSize(m.width, m.height);
  }
  PlacePanel();
  if (registry) registry->RestoreAllSurfaces();
  if (media) media->ResumeVideos();
}

bool TFormView::PumpEvents(int timeout_ms, int64_t now_ms) {
  bool close = false;
  for (const auto& e : window_.Pump(timeout_ms))
    if (HandleEvent(e, now_ms)) close = true;
  return close;
}

bool TFormView::HandleEvent(const platform::WindowEvent& e, int64_t now_ms) {
  using K = platform::WindowEvent::Kind;
  TInputEvent in;
  switch (e.kind) {
    case K::kCloseRequest:
      return true;
    case K::kCloseAsked:  // closing the window asks like the exit button
      return ConfirmExit();
    case K::kToolButton:
      if (e.button == 0) return ConfirmExit();
      if (e.button == 1) SetFullScreen(!full_screen_);
      return false;
    case K::kToggleFullScreen:
      SetFullScreen(!full_screen_);
      return false;
    case K::kActivate:
      Activate(now_ms);
      return false;
    case K::kDeactivate:
      Deactivate();
      return false;
    case K::kMouseDown:
    case K::kMouseUp:
    case K::kMouseMove:
      in.Kind = e.kind == K::kMouseDown ? TInputKind::MouseDown
                : e.kind == K::kMouseUp ? TInputKind::MouseUp
                                        : TInputKind::MouseMove;
      in.Button = e.button == 1   ? TMouseButton::Right
                  : e.button == 2 ? TMouseButton::Middle
                                  : TMouseButton::Left;
      in.X = e.x;
      in.Y = e.y;
      break;
    case K::kWheel:
      in.Kind = TInputKind::Wheel;
      in.WheelDelta = e.wheel;
      break;
    case K::kKeyDown:
    case K::kKeyUp:
      // The system's own repeats of a held key are not presses: the registry repeats keys.
      // They go on only for an edit field, which repeats by them as the native one did.
      in.Kind = e.kind == K::kKeyDown ? TInputKind::KeyDown : TInputKind::KeyUp;
      in.AutoRepeat = e.kind == K::kKeyDown && e.repeat;
      in.Key = e.key;
      break;
    case K::kText:
      in.Kind = TInputKind::Text;
      // Characters the game's character set lacks cannot be typed into it.
      in.Text = TypableText(e.text);
      if (in.Text.empty()) return false;
      break;
    case K::kComposition:
      in.Kind = TInputKind::Composition;
      in.Text = TypableText(e.text);
      break;
  }
  PanelInput(in);
  return false;
}

void TFormView::PanelInput(const TInputEvent& in) {
  // In full screen the tool bar comes up while the pointer rests on the top row.
  if (in.Kind == TInputKind::MouseMove && full_screen_) {
    const bool top = int64_t{in.Y} + panel_top_ == 0;
    if (top != tool_bar_up_) {
      if (top) {
        ShowToolBar();
      } else {
        HideToolBar();
      }
    }
  }
  TBasePanel* panel = player_->Panel();
  if (!panel) return;
  // Presses and typing reach the game only while it is active; releases, moves and the wheel
  // always do, so a button held when the window lost activation is not stuck.
  const bool press = in.Kind == TInputKind::MouseDown || in.Kind == TInputKind::KeyDown ||
                     in.Kind == TInputKind::Text;
  if (press && !active_) return;
  panel->Input(in);
}

void TFormView::DumpFrame() {
  // What the window shows: the headless window's copy of what it was given, or a real
  // window's panel read back before it was presented.
  std::vector<uint32_t> pixels;
  int w = 0, h = 0;
  if (!window_.ReadShownFrame(pixels, w, h)) return;
  TDIBSurface shown;
  shown.SetSize(w, h, 32);
  for (int32_t y = 0; y < h; ++y)
    std::memcpy(shown.ScanLine(y), pixels.data() + static_cast<size_t>(y) * w,
                static_cast<size_t>(w) * 4);
  TDIBSurface rgb;
  rgb.SetSize(shown.Width(), shown.Height(), 24);
  ConvertPixels(shown, rgb);
  TKvMemoryStream png;
  WritePng(png, rgb);
  char name[32];
  std::snprintf(name, sizeof name, "frame-%06d.png", update_count_);
  if (!platform::WriteFileAtomically(WithSlash(dump_folder_) + name, png.Data()))
    std::fprintf(stderr, "quenplay: cannot write %s%s\n", WithSlash(dump_folder_).c_str(), name);
}

void TFormView::ShowToolBar() {
  window_.SetToolBar(dock_height_, {{msg::kToolExit, kToolButtonWidth, kToolBarHeight, ""},
                                    {msg::kToolScreenSwitch, kToolButtonWidth, kToolBarHeight,
                                     msg::kFullScreenHint}});
  tool_bar_up_ = true;
}

void TFormView::HideToolBar() {
  window_.SetToolBar(0, {});
  tool_bar_up_ = false;
}

void TFormView::Deactivate() {
  TProject* project = player_->Project();
  if (!project || !project->PauseWhenInactive || !active_) return;
  active_ = false;
  // Videos and the sound managers that play pause until the window is active again.
  if (TMediaSystem* media = player_->Media()) {
    media->SuspendVideos();
    media->PauseSounds();
  }
  if (TQuenBaseList* registry = player_->Registry()) registry->ClearKeyboardState();
}

void TFormView::Activate(int64_t now_ms) {
  last_tick_ = now_ms;  // the time away is not counted
  if (!active_) {
    if (TMediaSystem* media = player_->Media()) {
      media->ResumeVideos();
      media->ResumeSounds();
    }
  }
  active_ = true;
}

bool TFormView::Tick(int64_t now_ms) {
  const int64_t d = now_ms - last_tick_;
  last_tick_ = now_ms;
  if (!active_ || d < 0 || d > kMaxCountedGap) return false;
  clock_ += d;
  // The media time follows the game clock (headless, the sound capture with it), before the
  // frame's scripts start or stop anything.
  if (TMediaSystem* media = player_->Media()) media->Step(clock_);
  FrameStep(static_cast<int32_t>(d));
  lateness_ = d > kFramePeriod ? static_cast<int32_t>(d - kFramePeriod) : 0;
  return true;
}

void TFormView::FrameStep(int32_t elapsed_ms) {
  TProject* project = player_->Project();
  if (!project || TerminateFlag() || switching_) return;
  DeleteListedFiles();
  TQuenBaseList* registry = player_->Registry();
  if (registry) {
    registry->SetGameClock(clock_);
    registry->ProcessInput(elapsed_ms);
  }
  if (TCallMan* cm = player_->CallMan()) {
    cm->clock = clock_;
    cm->frame_ms = elapsed_ms;
  }
  project->Step();
  if (TerminateFlag()) return;
  if (registry) registry->UpdateAll(elapsed_ms);
  ++update_count_;
  // A game loaded in this frame is drawn once the next frame has updated it.
  if (project->ServicePending()) post_load_skip_ = 1;
  if (post_load_skip_ > 0) {
    --post_load_skip_;
    return;
  }
  // Only every divisor-th frame is drawn; the others run their logic alone.
  draw_counter_ = (draw_counter_ + 1) % drawing_divisor_;
  if (draw_counter_ != 0) return;
  if (registry) registry->DrawAll();
  // Videos show the picture of their time; overlays reach the window before it presents.
  if (TMediaSystem* media = player_->Media()) media->UpdateFrame();
  const bool dump = !dump_folder_.empty() &&
                    (dump_next_ || (dump_every_ > 0 && (drawn_frames_ + 1) % dump_every_ == 0));
  if (dump) window_.CaptureNextPresent();
  TScreenManager* screen = player_->Screen();
  if (registry) registry->PresentTo(screen);
  if (!screen) window_.Present();
  ++drawn_frames_;
  if (dump) DumpFrame();
  dump_next_ = false;
}

bool TFormView::RunScript(int64_t& now) {
  // Everything due by this frame's time, in order, as the window would report it.
  using K = platform::WindowEvent::Kind;
  bool close = false;
  while (!close && script_next_ < script_.size() && script_[script_next_].At <= now) {
    const TScriptAction& a = script_[script_next_++];
    platform::WindowEvent e;
    switch (a.What) {
      case TScriptAction::Kind::kInput:
        PanelInput(a.Input);
        continue;
      case TScriptAction::Kind::kGap:
        // The next frame comes this long after the last one instead of a frame's length.
        now = last_tick_ + a.GapMs;
        continue;
      case TScriptAction::Kind::kDump:
        dump_next_ = true;
        continue;
      case TScriptAction::Kind::kQuit:
        close = true;
        continue;
      case TScriptAction::Kind::kActivate:
        e.kind = K::kActivate;
        break;
      case TScriptAction::Kind::kDeactivate:
        e.kind = K::kDeactivate;
        break;
      case TScriptAction::Kind::kToolButton:
        e.kind = K::kToolButton;
        e.button = a.Button;
        break;
      case TScriptAction::Kind::kFullScreen:
        e.kind = K::kToggleFullScreen;
        break;
      case TScriptAction::Kind::kClose:
        e.kind = K::kCloseAsked;
        break;
    }
    if (HandleEvent(e, now)) close = true;
  }
  return close;
}

void TFormView::Run(int frames, int frame_ms) {
  if (closed_) return;
  if (!TerminateFlag()) window_.Show();
  platform::IClock& clock = platform::Clock();
  const bool virtual_time = clock.IsVirtual();
  // A game that does not yield runs its frames back to back; on the virtual clock every frame
  // is exactly frame_ms long.
  auto period = [&] {
    if (virtual_time) return int64_t{frame_ms};
    TProject* project = player_->Project();
    return project && !project->YieldFlag ? int64_t{1} : int64_t{kFramePeriod};
  };
  last_tick_ = clock.NowMs();
  int run = 0;
  for (;;) {
    const int64_t due = last_tick_ + period();
    const int64_t wait = std::max<int64_t>(0, due - clock.NowMs());
    // The real clock waits here for window events (and wakes early for them); the virtual
    // clock lets the rest of the frame pass at once.
    if (PumpEvents(virtual_time ? 0 : static_cast<int>(wait), clock.NowMs()) || TerminateFlag())
      break;
    int64_t now = due;
    if (virtual_time) {
      // The scripted input due by the frame's time comes first (a gap moves that time), then
      // the clock moves there.
      if (RunScript(now) || TerminateFlag()) break;
      clock.Pass(now - clock.NowMs());
    } else {
      now = clock.NowMs();
      if (now < due) continue;
    }
    const bool ran = Tick(now);
    const bool script_done = script_next_ >= script_.size();
    // Headless, nothing can wake a game that sleeps while inactive once the input is used up.
    if (virtual_time && !active_ && script_done) break;
    if (!ran) continue;
    if (frames >= 0 && ++run >= frames) break;
    TCallMan* cm = player_->CallMan();
    if (virtual_time && cm && cm->Idle() && script_done) break;
  }
  Close();
}

bool TFormView::ConfirmExit() {
  // The game pauses while the question is open.
  const bool was = TerminateFlag();
  SetTerminateFlag(true);
  TProject* project = player_->Project();
  const std::string title = project ? project->Title : window_.Caption();
  const char* fmt =
      platform::UserLanguageIsJapanese() ? msg::kConfirmExitJapanese : msg::kConfirmExitOther;
  std::string text = Format(fmt, title.c_str());
  if (platform::Dialogs().MessageBox(title, text, platform::MsgIcon::kQuestion,
                                     platform::MsgButtons::kYesNo) == platform::MsgAnswer::kYes)
    return true;
  SetTerminateFlag(was);
  return false;
}

void TFormView::Close() {
  if (closed_) return;
  closed_ = true;
  player_->Free();
}

}  // namespace quen
