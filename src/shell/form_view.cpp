#include "shell/form_view.h"

#include <chrono>
#include <cstdio>
#include <cstring>

#include "base/error.h"
#include "expr/param_collection.h"
#include "expr/sys_func_man.h"
#include "files/file_manager.h"
#include "files/host_path.h"
#include "files/pe_resource.h"
#include "imaging/color_tables.h"
#include "imaging/dib_surface.h"
#include "imaging/pixel_convert.h"
#include "imaging/png_codec.h"
#include "platform/dialogs.h"
#include "platform/host_fs.h"
#include "platform/text_encoding.h"
#include "platform/trace.h"
#include "runtime/call_man.h"
#include "runtime/db_manager.h"
#include "runtime/interp_host.h"
#include "runtime/interp_messages.h"
#include "runtime/messages.h"
#include "shell/messages.h"

namespace quen {

namespace {

// The last two bytes of a file, or "" when it is shorter or unreadable.
std::string LastTwoBytes(platform::HostFile& f, int64_t offset, int64_t size) {
  if (size < 2) return {};
  char b[2];
  if (f.ReadAt(b, 2, offset + size - 2) != 2) return {};
  return std::string(b, 2);
}

bool EndsWithQn(const std::string& path) {
  auto f = platform::HostFile::Open(path, platform::OpenMode::kRead);
  return f && LastTwoBytes(*f, 0, f->Size()) == "qn";
}

bool HasArchiveResource(const std::string& path) {
  auto f = platform::HostFile::Open(path, platform::OpenMode::kRead);
  if (!f) return false;
  TPeResourceLocation loc;
  if (!FindPeResource(*f, "DUMMY", "BINTYPE", loc)) return false;
  return LastTwoBytes(*f, loc.offset, loc.size) == "vf";
}

// The folder a parameter stands for: an existing file's own folder, otherwise the parameter
// itself taken as a folder (a missing one then simply holds nothing).
std::string FolderOf(const std::string& path) {
  if (!platform::IsRegularFile(path)) return WithSlash(path);
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

const char* const kQuenFinalSteps[] = {
    "TextRead", "TextHistoryFormats", "Bases", "SelRectDIB", "TransBGDIB", "BrixMan", "ClipMan"};
const char* const kMediaFinalSteps[] = {"ScreenMan", "VideoMan", "WaveMan", "WmpMan",
                                        "OggMan",    "CddaMan",  "MidiMan", "quenFinal"};

}  // namespace

TFormView::TFormView(platform::IGameWindow& window, TStartupContext context, IShellParts* parts)
    : window_(window), context_(std::move(context)), parts_(parts ? parts : &no_parts_) {
  context_.ExeFolder = WithSlash(context_.ExeFolder);
  window_.SetCaption(msg::kWindowDefaultCaption);
}

TFormView::~TFormView() {
  Close();
}

void TFormView::Create() {
  platform::RemoveFile(context_.ExeFolder + kLogFileName);
  std::string ini = ResolveGamePath(context_.ExeFolder, TGameSettings::kFileName);
  settings_ =
      TGameSettings::Load(ini.empty() ? context_.ExeFolder + TGameSettings::kFileName : ini);

  FileManager().AddOverlay();

  dock_height_ = kToolBarHeight + 4;
  ShowToolBar();

  RegisterGameData();

  platform::Trace("TBasePanel.Create");
  panel_ = std::make_unique<TBasePanel>();
  parts_->CreateBasePanel();
  SetOldPageHandler([this](const std::string& name) { ShowOldPage(name); });

  vars_ = std::make_unique<TParamCollection>();
  sys_funcs_ = std::make_unique<TSysFuncMan>();
  RegisterSystemVariables(*vars_, *this);
  database_ = std::make_unique<TDBManager>();
  RegisterAllSystemFunctions(*sys_funcs_, *this, *database_);

  try {
    StartProject();
  } catch (const EQuenError& e) {
    platform::Dialogs().MessageBox(msg::kCaptionWarning, e.Message(), platform::MsgIcon::kWarning,
                                   platform::MsgButtons::kOk);
    SetTerminateFlag(true);
  } catch (const std::exception& e) {
    platform::Dialogs().MessageBox(msg::kCaptionWarning, e.what(), platform::MsgIcon::kWarning,
                                   platform::MsgButtons::kOk);
    SetTerminateFlag(true);
  }
  if (TerminateFlag()) {
    startup_failed_ = true;
    window_.PostClose();
  }
}

void TFormView::RegisterGameData() {
  TVrFileManager& fm = FileManager();
  if (context_.Params.empty()) {
    fm.SetGameFolder(context_.ExeFolder);
    if (!context_.ExePath.empty()) {
      if (HasArchiveResource(context_.ExePath))
        fm.AddResourceArchive(context_.ExePath, "DUMMY", "BINTYPE");
      if (EndsWithQn(context_.ExePath)) fm.AddTrailerArchive(context_.ExePath);
    }
    return;
  }
  // A first parameter naming a file (an archive) puts the game data beside it.
  fm.SetGameFolder(FolderOf(context_.Params[0]));
  for (const auto& p : context_.Params) {
    std::string dat = ResolveGamePath(FolderOf(p), "game.dat");
    if (!dat.empty()) fm.AddArchive(dat);
    if (platform::IsRegularFile(p) && EndsWithQn(p)) fm.AddTrailerArchive(p);
  }
}

void TFormView::StartProject() {
  platform::Trace("DXSound.Initialize");
  if (settings_.DirectSound) {
    try {
      parts_->InitializeSound();
    } catch (...) {
      // The game runs without the sound device.
    }
  }
  platform::Trace("QuenInitialize");
  parts_->QuenInitialize();

  platform::Trace("TProject.Create");
  project_ = std::make_unique<TProject>(context_, static_cast<IProjectHost*>(this), vars_.get());
  project_->Create();
  if (TerminateFlag()) return;

  platform::Trace("MediaInit");
  const int32_t w = project_->ScreenWidth, h = project_->ScreenHeight;
  // The screen modes exist only for a game with a screen.
  if (w > 0 && h > 0) {
    screen_ = std::make_unique<TScreenManager>(window_.Display(), window_, &panel_->Registry(), w,
                                               h, project_->FullScreenWidth,
                                               project_->FullScreenHeight, forced_depth_);
  }
  parts_->MediaInit(*project_);
  platform::Trace("QuenInitColor");
  QuenInitColor(screen_ ? screen_->WorkingDepth() : parts_->ScreenBitCount());

  window_.SetClientSize(w, h + dock_height_);
  window_.CenterInWorkArea();
  if (panel_ && w > 0 && h > 0) panel_->Registry().SetSize(w, h);
  parts_->SizeRoots(w, h);
  PlacePanel();
}

void TFormView::PlacePanel() {
  const int32_t w = project_ ? project_->ScreenWidth : 0;
  const int32_t h = project_ ? project_->ScreenHeight : 0;
  // Truncated toward zero like the original's integer division.
  panel_left_ = (window_.ClientWidth() - w) / 2;
  panel_top_ = full_screen_ ? (window_.ClientHeight() - h) / 2 : dock_height_;
  window_.SetPanelBounds(panel_left_, panel_top_, w, h);
}

void TFormView::SetFullScreen(bool full) {
  platform::Trace("SetFullScreen");
  if (full == full_screen_ || !project_) return;
  if (full) {
    platform::Trace("SetFullScreen.Full");
    // Without a chosen mode there is nothing to switch to: the window stays as it is and
    // nothing was stopped.
    if (!screen_ || screen_->ChosenModeIndex() < 0) return;
  } else {
    platform::Trace("SetFullScreen.Normal");
  }
  // Frames wait until the switch has ended, whichever way it ends.
  switching_ = true;
  parts_->StopSynthMusic();
  TQuenBaseList* registry = Registry();
  const int32_t w = project_->ScreenWidth, h = project_->ScreenHeight;
  const char* const side = full ? "SetFullScreen.Full." : "SetFullScreen.Normal.";
  auto trace = [side](const char* step) { platform::Trace(std::string(side) + step); };
  trace("Bases.FreeDX");
  if (registry) registry->ReleaseAllSurfaces();
  trace("MediaSuspend");
  parts_->SuspendVideos();
  if (full) {
    HideToolBar();
    trace("ScreenMan.FreeDX");
    screen_->FreeDX();
    trace("StoreWindow");
    trace("SetScreenManIndex");
    const int32_t wanted = screen_->ChosenModeIndex();
    screen_->SetModeIndex(wanted);
    full_screen_ = screen_->CurrentModeIndex() == wanted;
    if (!full_screen_) {
      trace("SetScreenManIndexFail");
      ShowToolBar();
      window_.SetClientSize(w, h + dock_height_);
    } else {
      platform::DisplayMode m;
      screen_->GetMode(wanted, m);
      window_.SetClientSize(m.width, m.height);
    }
  } else {
    ShowToolBar();
    trace("ScreenMan.FreeDX");
    if (screen_) screen_->FreeDX();
    trace("RestoreWindow");
    window_.SetClientSize(w, h + dock_height_);
    if (screen_) screen_->SetModeIndex(-1);
    full_screen_ = false;
  }
  platform::Trace("SetFullScreen.SetBounds");
  PlacePanel();
  parts_->RestartSynthMusic();
  platform::Trace("SetFullScreen.Bases.Reload");
  if (registry) registry->RestoreAllSurfaces();
  platform::Trace("SetFullScreen.MediaResume");
  parts_->ResumeVideos();
  switching_ = false;
}

void TFormView::ApplyScreenMode() {
  if (!screen_ || !full_screen_ || screen_->ChosenModeIndex() == screen_->CurrentModeIndex())
    return;
  TQuenBaseList* registry = Registry();
  if (registry) registry->ReleaseAllSurfaces();
  parts_->SuspendVideos();
  const int32_t wanted = screen_->ChosenModeIndex();
  screen_->SetModeIndex(wanted);
  if (screen_->CurrentModeIndex() != wanted) {
    // The mode did not take: back to the bordered window.
    full_screen_ = false;
    ShowToolBar();
    window_.SetClientSize(project_->ScreenWidth, project_->ScreenHeight + dock_height_);
  } else {
    platform::DisplayMode m;
    screen_->GetMode(wanted, m);
    window_.SetClientSize(m.width, m.height);
  }
  PlacePanel();
  if (registry) registry->RestoreAllSurfaces();
  parts_->ResumeVideos();
}

void TFormView::SetDisplayModeIndex(int32_t index) {
  // Indices outside the list are refused; the choice is applied at once in full screen.
  if (screen_ && screen_->SetChosenModeIndex(index)) ApplyScreenMode();
}

bool TFormView::DisplayMode(int32_t index, int32_t& width, int32_t& height, int32_t& bits,
                            int32_t& refresh) {
  platform::DisplayMode m;
  if (!screen_ || !screen_->GetMode(index, m)) return false;
  width = m.width;
  height = m.height;
  bits = m.bits;
  refresh = m.refresh;
  return true;
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
      if (e.kind == K::kKeyDown && e.repeat) return false;
      in.Kind = e.kind == K::kKeyDown ? TInputKind::KeyDown : TInputKind::KeyUp;
      in.Key = e.key;
      break;
    case K::kText:
      in.Kind = TInputKind::Text;
      // Characters the game's character set lacks cannot be typed into it.
      if (!platform::TryUtf8ToCp932(e.text, in.Text)) return false;
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
  if (!panel_) return;
  // Presses and typing reach the game only while it is active; releases, moves and the wheel
  // always do, so a button held when the window lost activation is not stuck.
  const bool press = in.Kind == TInputKind::MouseDown || in.Kind == TInputKind::KeyDown ||
                     in.Kind == TInputKind::Text;
  if (press && !active_) return;
  panel_->Input(in);
}

void TFormView::MoveMouse(int32_t x, int32_t y) {
  window_.WarpMouse(x, y);
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
  window_.SetToolBar(dock_height_, {{msg::kToolExit, kToolButtonWidth, kToolBarHeight},
                                    {msg::kToolScreenSwitch, kToolButtonWidth, kToolBarHeight}});
  tool_bar_up_ = true;
}

void TFormView::HideToolBar() {
  window_.SetToolBar(0, {});
  tool_bar_up_ = false;
}

std::unique_ptr<TCallManBase> TFormView::CreateCallMan(TProject& project) {
  auto cm = NewProjectCallMan(project, *vars_, *sys_funcs_, panel_->Registry(),
                              [this] { window_.PostClose(); });
  if (platform::TraceFileOpen()) {
    cm->trace = [](const std::string& line) {
      std::string utf8;
      platform::TraceLine(platform::TryCp932ToUtf8(line, utf8) ? utf8 : line);
    };
  }
  call_man_ = cm.get();
  return cm;
}

void TFormView::OpenUrl(const std::string& url) {
  platform::Dialogs().OpenUrl(url);
}

void TFormView::ShowOldPage(const std::string& file_name) {
  // The game cannot go on with a page this old: say which one, then close by request.
  platform::Dialogs().MessageBox(msg::kCaptionWarning, file_name + "\r\n" + msg::kRebuildPage,
                                 platform::MsgIcon::kWarning, platform::MsgButtons::kOk);
  window_.PostClose();
}

void TFormView::DumpVariablesToFile() {
  if (dump_vars_file_.empty() || !vars_) return;
  if (!platform::WriteFileAtomically(dump_vars_file_, DumpVariables(*vars_)))
    std::fprintf(stderr, "quenplay: cannot write %s\n", dump_vars_file_.c_str());
}

void TFormView::TitleChanged(const std::string& title) {
  window_.SetCaption(title);
}

void TFormView::Deactivate() {
  if (!project_ || !project_->PauseWhenInactive || !active_) return;
  active_ = false;
  if (!panel_) return;
  parts_->SuspendVideos();
  parts_->PauseSounds();
  panel_->Registry().ClearKeyboardState();
}

void TFormView::Activate(int64_t now_ms) {
  last_tick_ = now_ms;  // the time away is not counted
  if (active_) return;
  active_ = true;
  if (!panel_) return;
  parts_->ResumeVideos();
  parts_->ResumeSounds();
}

bool TFormView::Tick(int64_t now_ms) {
  const int64_t d = now_ms - last_tick_;
  last_tick_ = now_ms;
  if (!active_ || d < 0 || d > kMaxCountedGap) return false;
  clock_ += d;
  FrameStep(static_cast<int32_t>(d));
  lateness_ = d > kFramePeriod ? static_cast<int32_t>(d - kFramePeriod) : 0;
  return true;
}

void TFormView::FrameStep(int32_t elapsed_ms) {
  if (!project_ || TerminateFlag() || switching_) return;
  DeleteListedFiles();
  TQuenBaseList* registry = panel_ ? &panel_->Registry() : nullptr;
  if (registry) registry->ProcessInput(elapsed_ms);
  parts_->ProcessInput();
  if (call_man_) {
    call_man_->clock = clock_;
    call_man_->frame_ms = elapsed_ms;
  }
  project_->Step();
  if (TerminateFlag()) return;
  if (registry) registry->UpdateAll(elapsed_ms);
  ++update_count_;
  // A game loaded in this frame is drawn once the next frame has updated it.
  if (project_->ServicePending()) post_load_skip_ = 1;
  if (post_load_skip_ > 0) {
    --post_load_skip_;
    return;
  }
  // Only every divisor-th frame is drawn; the others run their logic alone.
  draw_counter_ = (draw_counter_ + 1) % drawing_divisor_;
  if (draw_counter_ != 0) return;
  if (registry) registry->DrawAll();
  parts_->UpdateAndDraw();
  const bool dump = !dump_folder_.empty() &&
                    (dump_next_ || (dump_every_ > 0 && (drawn_frames_ + 1) % dump_every_ == 0));
  if (dump) window_.CaptureNextPresent();
  if (screen_) {
    screen_->Present();
  } else {
    window_.Present();
  }
  if (registry) registry->ClearDirty();
  ++drawn_frames_;
  if (dump) DumpFrame();
  dump_next_ = false;
}

void TFormView::Run(int frames, int frame_ms, bool virtual_clock) {
  if (closed_) return;
  if (!TerminateFlag()) window_.Show();
  int run = 0;
  auto monotonic_ms = [] {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
  };
  // A virtual clock starts at 0 and moves by frame_ms per frame; the real one is monotonic.
  int64_t now = virtual_clock ? 0 : monotonic_ms();
  last_tick_ = now;
  // A game that does not yield runs its frames back to back.
  auto period = [this] {
    return project_ && !project_->YieldFlag ? int64_t{1} : int64_t{kFramePeriod};
  };
  int wait = virtual_clock ? 0 : static_cast<int>(period());
  for (;;) {
    bool close = PumpEvents(wait, virtual_clock ? last_tick_ : monotonic_ms());
    if (close || TerminateFlag()) break;
    if (virtual_clock) {
      now = last_tick_ + frame_ms;
      // Timed input: everything due by this frame's time, in order, as the window would
      // report it.
      using K = platform::WindowEvent::Kind;
      while (!close && script_next_ < script_.size() && script_[script_next_].At <= now) {
        const TScriptAction& a = script_[script_next_++];
        platform::WindowEvent e;
        switch (a.What) {
          case TScriptAction::Kind::kInput:
            PanelInput(a.Input);
            continue;
          case TScriptAction::Kind::kGap:
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
      if (close || TerminateFlag()) break;
    } else {
      // Wait out the rest of the frame period, then run the frame.
      now = monotonic_ms();
      if (now - last_tick_ < period()) {
        wait = static_cast<int>(period() - (now - last_tick_));
        continue;
      }
    }
    const bool ran = Tick(now);
    wait = virtual_clock ? 0 : static_cast<int>(period());
    const bool script_done = script_next_ >= script_.size();
    // Headless, nothing can wake a game that sleeps while inactive once the input is used up.
    if (virtual_clock && !active_ && script_done) break;
    if (!ran) continue;
    if (frames >= 0 && ++run >= frames) break;
    if (virtual_clock && call_man_ && call_man_->Idle() && script_done) break;
  }
  Close();
}

bool TFormView::ConfirmExit() {
  // The game pauses while the question is open.
  const bool was = TerminateFlag();
  SetTerminateFlag(true);
  const std::string title = project_ ? project_->Title : window_.Caption();
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
  SetTerminateFlag(true);
  platform::Trace("Project.Free");
  if (project_) project_->Destroy();
  project_.reset();
  call_man_ = nullptr;
  platform::Trace("SysFuncMan.Free");
  parts_->FreeSystemFunctions();
  sys_funcs_.reset();
  database_.reset();
  DumpVariablesToFile();
  SetOldPageHandler(nullptr);
  platform::Trace("ParamMan.Free");
  vars_.reset();
  platform::Trace("QuenFinalize");
  for (const char* step : kQuenFinalSteps) {
    platform::Trace(step);
    parts_->QuenFinalize(step);
    if (std::string_view(step) == "Bases") panel_.reset();
  }
  platform::Trace("MediaFinal");
  for (const char* step : kMediaFinalSteps) {
    platform::Trace(step);
    parts_->MediaFinal(step);
    if (std::string_view(step) == "ScreenMan") screen_.reset();
  }
}

}  // namespace quen
