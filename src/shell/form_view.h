// The main window: the frame loop and its timing, the tool bar, full-screen switching,
// activation and the input it forwards to the game. The player it shows is assembled by TPlayer.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/game_window.h"
#include "shell/input_script.h"
#include "shell/player.h"

namespace quen {

class TFormView : private IPlayerWindow {
 public:
  static constexpr int kToolBarHeight = 18;
  static constexpr int kToolButtonWidth = 67;

  // The window is borrowed.
  TFormView(platform::IGameWindow& window, TStartupContext context);
  // With a player made for this window elsewhere (tests record what it is asked).
  TFormView(platform::IGameWindow& window, std::unique_ptr<TPlayer> player);
  ~TFormView() override;
  TFormView(const TFormView&) = delete;
  TFormView& operator=(const TFormView&) = delete;

  // The creation handler: the player's start-up in order. On return the terminate flag tells
  // whether the game runs.
  void Create();
  // Frames shorter than this are waited out; longer gaps than kMaxCountedGap are not counted
  // (the game clock does not jump after a pause of the machine or a dragged window).
  static constexpr int32_t kFramePeriod = 15;
  static constexpr int32_t kMaxCountedGap = 300;
  // The timing rule, given the clock's time now (ms): a gap of at most kMaxCountedGap since the
  // last tick is added to the game clock and runs one frame of that length; a longer gap only
  // moves the last tick. True when a frame ran.
  bool Tick(int64_t now_ms);
  // One frame of elapsed_ms milliseconds: input, interpreter, update and drawing.
  void FrameStep(int32_t elapsed_ms);
  // Only every divisor-th frame is drawn (1: every frame).
  void SetDrawingDivisor(int32_t divisor) { drawing_divisor_ = divisor < 1 ? 1 : divisor; }
  int32_t DrawnFrames() const { return drawn_frames_; }
  int64_t GameClock() const override { return clock_; }
  // How much longer than the frame period the last frame took (0 when on time).
  int32_t Lateness() const { return lateness_; }
  // The time step of particle effects, in ms (the player offers no menu to change it).
  static constexpr int32_t kSpeedValue = 16;
  // The close handler: every shut-down step in order. Runs once.
  void Close();
  // The "終了" button: asks first; false when the user stays.
  bool ConfirmExit();
  // Runs the window until it closes; frames limits the frames run (-1: no limit). Time comes
  // from platform::Clock(): on the real clock frames come every kFramePeriod of real time and
  // advance the game clock by the time that passed; on a virtual clock every frame lets exactly
  // frame_ms pass, and the run also ends once the script has ended (no page running, no event
  // waiting) and the input is used up.
  void Run(int frames, int frame_ms = kFramePeriod);
  // Handles what the window reports within timeout_ms (now_ms: the time of activations); true
  // when the window is to close.
  bool PumpEvents(int timeout_ms, int64_t now_ms);
  // Timed input for a run on the virtual clock (the answers go to the dialogs separately).
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
  // Switches between the window and full screen (the "画面切替" button, @FullScr).
  void SetFullScreen(bool full) override;
  // Re-applies the chosen display mode while in full screen (@DisplayModeIndex).
  void ApplyScreenMode() override;

  TPlayer& Player() { return *player_; }
  const TGameSettings& Settings() const { return player_->Settings(); }
  TProject* Project() { return player_->Project(); }
  TParamCollection* Variables() const { return player_->Variables(); }
  TBasePanel* Panel() const { return player_->Panel(); }
  TScreenManager* ScreenManager() const { return player_->Screen(); }
  int DockHeight() const { return dock_height_; }
  // Panel position in the client area.
  int PanelLeft() const { return panel_left_; }
  int PanelTop() const { return panel_top_; }
  // The exit status start-up left: 0 when the game ran, 1 when it ended during start-up.
  bool StartupFailed() const { return startup_failed_; }

 private:
  // IPlayerWindow
  int32_t UpdateCount() const override { return update_count_; }
  bool FullScreen() const override { return full_screen_; }
  void ShowToolBar() override;
  void FitToScreen(int32_t width, int32_t height) override;

  void PlacePanel();
  void HideToolBar();
  void DumpFrame();
  // Carries out the scripted actions due by now (the virtual clock's input; a gap moves now);
  // true when one of them closes the window.
  bool RunScript(int64_t& now);
  // One event of the window (or of the input script, in the same form); true when the window
  // is to close.
  bool HandleEvent(const platform::WindowEvent& e, int64_t now_ms);
  // Mouse, wheel, key and text input on its way to the registry.
  void PanelInput(const TInputEvent& in);

  platform::IGameWindow& window_;
  std::unique_ptr<TPlayer> player_;
  bool switching_ = false;
  std::string dump_folder_;
  int32_t dump_every_ = 0;
  bool dump_next_ = false;
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
  int dock_height_ = 0;
  int panel_left_ = 0;
  int panel_top_ = 0;
  bool full_screen_ = false;
  bool closed_ = false;
  bool startup_failed_ = false;
};

}  // namespace quen
