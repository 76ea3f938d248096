// The main window's start-up (its creation handler) and shut-down (its close handler), and the
// frame step that runs the project.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "components/base_panel.h"
#include "components/screen_manager.h"
#include "platform/game_window.h"
#include "runtime/game_settings.h"
#include "runtime/player_funcs.h"
#include "runtime/project.h"
#include "shell/input_script.h"
#include "shell/shell_parts.h"

namespace quen {

class TCallMan;
class TDBManager;
class TParamCollection;
class TSysFuncMan;

class TFormView : private IProjectHost, private ISystemHost {
 public:
  static constexpr int kToolBarHeight = 18;
  static constexpr int kToolButtonWidth = 67;
  static constexpr char kLogFileName[] = "quenplay.log";

  // The window is borrowed; parts may be null (no part plugged in yet).
  TFormView(platform::IGameWindow& window, TStartupContext context, IShellParts* parts);
  ~TFormView() override;
  TFormView(const TFormView&) = delete;
  TFormView& operator=(const TFormView&) = delete;

  // The creation handler: every start-up step in order. On return the terminate flag tells
  // whether the game runs.
  void Create();
  // Frames shorter than this are waited out; longer gaps than kMaxCountedGap are not counted
  // (the game clock does not jump after a pause of the machine or a dragged window).
  static constexpr int32_t kFramePeriod = 15;
  static constexpr int32_t kMaxCountedGap = 300;
  // The timing rule, given the monotonic time now (ms): a gap of at most kMaxCountedGap since
  // the last tick is added to the game clock and runs one frame of that length; a longer gap
  // only moves the last tick. True when a frame ran.
  bool Tick(int64_t now_ms);
  // One frame of elapsed_ms milliseconds: input, interpreter, update and drawing.
  void FrameStep(int32_t elapsed_ms);
  // Only every divisor-th frame is drawn (1: every frame).
  void SetDrawingDivisor(int32_t divisor) { drawing_divisor_ = divisor < 1 ? 1 : divisor; }
  int32_t DrawnFrames() const { return drawn_frames_; }
  int64_t GameClock() const { return clock_; }
  // How much longer than the frame period the last frame took (0 when on time).
  int32_t Lateness() const { return lateness_; }
  // The time step of particle effects, in ms (the player offers no menu to change it).
  static constexpr int32_t kSpeedValue = 16;
  // The close handler: every shut-down step in order. Runs once.
  void Close();
  // The "終了" button: asks first; false when the user stays.
  bool ConfirmExit();
  // Runs the window until it closes; frames limits the frames run (-1: no limit). With a
  // virtual clock every frame advances the game clock by exactly frame_ms and the run also
  // ends once the script has ended (no page running, no event waiting); otherwise frames
  // come every frame_ms of real time and advance the clock by the time that passed.
  void Run(int frames, int frame_ms, bool virtual_clock = false);
  // Handles what the window reports within timeout_ms (now_ms: the time of activations); true
  // when the window is to close.
  bool PumpEvents(int timeout_ms, int64_t now_ms);
  // Timed input for a run with the virtual clock (the answers go to the dialogs separately).
  void SetInputScript(std::vector<TScriptAction> actions) { script_ = std::move(actions); }
  // Activation: a game that pauses when inactive runs no frames until activated again, and
  // the time away is not counted; keys held when leaving are forgotten.
  void Activate(int64_t now_ms);
  void Deactivate();
  bool Active() const { return active_; }
  // Headless frame dumps: every every-th presented frame (0: only those the input asks for) is
  // written to folder as "frame-NNNNNN.png", NNNNNN the frame counter.
  void SetFrameDump(std::string host_folder, int32_t every) {
    dump_folder_ = std::move(host_folder);
    dump_every_ = every;
  }
  // The working depth asked for on the command line (15, 16 or 32; 0: the desktop's).
  void SetForcedDepth(int32_t bits) { forced_depth_ = bits; }
  TScreenManager* ScreenManager() const { return screen_.get(); }
  // Switches between the window and full screen (the "画面切替" button, @FullScr).
  void SetFullScreen(bool full) override;
  // Re-applies the chosen display mode while in full screen (@DisplayModeIndex).
  void ApplyScreenMode();
  // Where Close writes every variable (after the end page ran); empty for nowhere.
  void SetDumpVarsFile(std::string host_path) { dump_vars_file_ = std::move(host_path); }

  const TGameSettings& Settings() const { return settings_; }
  TProject* Project() override { return project_.get(); }
  TParamCollection* Variables() const { return vars_.get(); }
  TBasePanel* Panel() const { return panel_.get(); }
  // The interpreter, once the project made it; owned by the project.
  TCallMan* CallMan() override { return call_man_; }
  int DockHeight() const { return dock_height_; }
  // Panel position in the client area.
  int PanelLeft() const { return panel_left_; }
  int PanelTop() const { return panel_top_; }
  // The exit status start-up left: 0 when the game ran, 1 when it ended during start-up.
  bool StartupFailed() const { return startup_failed_; }

 private:
  void TitleChanged(const std::string& title) override;
  void RequestClose() override { window_.PostClose(); }
  bool LoadGame(TProject& project, int32_t slot) override {
    return parts_->LoadGame(project, slot);
  }
  void SaveGame(TProject& project, int32_t slot, const std::string& page, int32_t value,
                const std::string& caption) override {
    parts_->SaveGame(project, slot, page, value, caption);
  }
  std::unique_ptr<TCallManBase> CreateCallMan(TProject& project) override;
  // What the system variables and functions see of the player.
  TQuenBaseList* Registry() override { return panel_ ? &panel_->Registry() : nullptr; }
  int32_t TickCount() override { return static_cast<int32_t>(clock_); }
  int32_t UpdateCount() override { return update_count_; }
  bool FullScreen() override { return full_screen_; }
  int32_t DisplayModeCount() override { return screen_ ? screen_->ModeCount() : 0; }
  int32_t DisplayModeIndex() override { return screen_ ? screen_->ChosenModeIndex() : -1; }
  void SetDisplayModeIndex(int32_t index) override;
  bool DisplayMode(int32_t index, int32_t& width, int32_t& height, int32_t& bits,
                   int32_t& refresh) override;
  void OpenUrl(const std::string& url) override;
  void ShowOldPage(const std::string& file_name);
  void DumpVariablesToFile();
  void RegisterGameData();
  void StartProject();
  void PlacePanel();
  void ShowToolBar();
  void HideToolBar();
  void MoveMouse(int32_t x, int32_t y) override;
  void DumpFrame();
  // One event of the window (or of the input script, in the same form); true when the window
  // is to close.
  bool HandleEvent(const platform::WindowEvent& e, int64_t now_ms);
  // Mouse, wheel, key and text input on its way to the registry.
  void PanelInput(const TInputEvent& in);

  platform::IGameWindow& window_;
  TStartupContext context_;
  IShellParts* parts_;
  IShellParts no_parts_;
  TGameSettings settings_;
  std::unique_ptr<TBasePanel> panel_;
  std::unique_ptr<TParamCollection> vars_;
  std::unique_ptr<TSysFuncMan> sys_funcs_;
  std::unique_ptr<TDBManager> database_;
  std::unique_ptr<TProject> project_;
  std::unique_ptr<TScreenManager> screen_;
  int32_t forced_depth_ = 0;
  bool switching_ = false;
  std::string dump_folder_;
  int32_t dump_every_ = 0;
  bool dump_next_ = false;
  TCallMan* call_man_ = nullptr;
  int64_t clock_ = 0;
  int64_t last_tick_ = 0;
  int32_t update_count_ = 0;
  int32_t drawing_divisor_ = 1;
  int32_t draw_counter_ = 0;
  int32_t drawn_frames_ = 0;
  int32_t post_load_skip_ = 0;
  int32_t lateness_ = 0;
  bool tool_bar_up_ = false;
  bool active_ = true;
  std::vector<TScriptAction> script_;
  size_t script_next_ = 0;
  std::string dump_vars_file_;
  int dock_height_ = 0;
  int panel_left_ = 0;
  int panel_top_ = 0;
  bool full_screen_ = false;
  bool closed_ = false;
  bool startup_failed_ = false;
};

}  // namespace quen
