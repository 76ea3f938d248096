// The player assembled in one place: every part of the running game is created here, in the
// order of the traced start-up, owned here, and freed here in the order of the shut-down. The
// lower layers reach the parts they may use through the two host interfaces this implements
// (the project's steps and what system variables and functions see).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "components/base_panel.h"
#include "components/brix_collection.h"
#include "components/media_host.h"
#include "components/quen_read_list.h"
#include "imaging/font_pixel.h"
#include "media/media_system.h"
#include "media/screen_manager.h"
#include "platform/game_window.h"
#include "platform/midi_synth.h"
#include "runtime/game_settings.h"
#include "runtime/project.h"
#include "runtime/sysfunc_host.h"
#include "shell/window_cursor_host.h"
#include "shell/window_text_entry.h"
#include "text/quen_history.h"

namespace quen {

class ITextSource;
class TCallMan;
class TDBManager;
class TParamCollection;
class TSysFuncMan;

// What the parts borrow from the main window that holds them.
class IPlayerWindow {
 public:
  virtual ~IPlayerWindow() = default;
  // The game clock and the frame counter of the frame loop.
  virtual int64_t GameClock() const = 0;
  virtual int32_t UpdateCount() const = 0;
  virtual bool FullScreen() const = 0;
  virtual void SetFullScreen(bool full) = 0;
  // Re-applies the chosen display mode while in full screen.
  virtual void ApplyScreenMode() = 0;
  // The tool bar ("終了", "画面切替"), shown before the game data is registered.
  virtual void ShowToolBar() = 0;
  // Sizes the window to the game screen and places the panel in it.
  virtual void FitToScreen(int32_t width, int32_t height) = 0;
};

class TPlayer : public IProjectHost, public ISystemHost {
 public:
  TPlayer(platform::IGameWindow& window, TStartupContext context);
  ~TPlayer() override;
  TPlayer(const TPlayer&) = delete;
  TPlayer& operator=(const TPlayer&) = delete;

  // Given by the main window before Create.
  void SetWindow(IPlayerWindow* shell) { shell_ = shell; }
  // The working depth asked for on the command line (15, 16 or 32; 0: the desktop's).
  void SetForcedDepth(int32_t bits) { forced_depth_ = bits; }
  // Where Free writes every variable (after the end page ran); empty for nowhere.
  void SetDumpVarsFile(std::string host_path) { dump_vars_file_ = std::move(host_path); }
  // Where Free writes the component tree (the registry's dump) before it goes.
  void SetDumpTreeFile(std::string host_path) { dump_tree_file_ = std::move(host_path); }
  // For the MIDI synthesiser the media managers make (platform::MidiSynthOptions).
  void SetMidiOptions(std::string sound_font, std::string dump_file) {
    midi_options_.sound_font = std::move(sound_font);
    midi_options_.dump_file = std::move(dump_file);
  }
  const platform::MidiSynthOptions& MidiOptions() const { return midi_options_; }

  // The creation handler's steps, in order: the log file and "game.ini", the overlay, the tool
  // bar, the game data, "TBasePanel.Create", the variable table and the system functions, then
  // the project start ("DXSound.Initialize", "QuenInitialize", "TProject.Create", "MediaInit",
  // "QuenInitColor", sizing). A start that raises shows the warning box. On return the
  // terminate flag tells whether the game runs.
  void Create();
  // The close handler's steps, in order ("Project.Free" ... "quenFinal"). Runs once.
  void Free();

  const TGameSettings& Settings() const { return settings_; }
  TBasePanel* Panel() const { return panel_.get(); }
  TQuenBaseList* Registry() override { return panel_ ? &panel_->Registry() : nullptr; }
  TParamCollection* Variables() const { return vars_.get(); }
  TProject* Project() override { return project_.get(); }
  // The interpreter, once the project made it; owned by the project.
  TCallMan* CallMan() override { return call_man_; }
  // Null for a game without a screen, and after shut-down.
  TScreenManager* Screen() const { return screen_.get(); }
  // The picture cache, from "QuenInitialize" to "BrixMan".
  TBrixCollection* Pictures() const { return pictures_.get(); }
  // The media layer: made at "DXSound.Initialize", its parts freed at "MediaFinal" (the object
  // stays, so a headless run can still write what it heard). Null before start-up.
  TMediaSystem* Media() const { return media_.get(); }
  // Headless: the sound of the whole run as a wave file; false when it cannot be written.
  bool WriteSound(const std::string& host_path) const;

 private:
  void RegisterGameData();
  void StartProject();
  void ShowOldPage(const std::string& file_name);
  void DumpVariablesToFile();
  void DumpTreeToFile();

  // IProjectHost
  void TitleChanged(const std::string& title) override;
  void RequestClose() override { window_.PostClose(); }
  std::unique_ptr<TCallManBase> CreateCallMan(TProject& project) override;

  // ISystemHost
  int32_t TickCount() override;
  int32_t UpdateCount() override { return shell_ ? shell_->UpdateCount() : 0; }
  bool FullScreen() override { return shell_ && shell_->FullScreen(); }
  void SetFullScreen(bool full) override;
  int32_t DisplayModeCount() override { return screen_ ? screen_->ModeCount() : 0; }
  int32_t DisplayModeIndex() override { return screen_ ? screen_->ChosenModeIndex() : -1; }
  void SetDisplayModeIndex(int32_t index) override;
  bool DisplayMode(int32_t index, int32_t& width, int32_t& height, int32_t& bits,
                   int32_t& refresh) override;
  void MoveMouse(int32_t x, int32_t y) override { window_.WarpMouse(x, y); }
  void OpenUrl(const std::string& url) override;
  std::vector<std::string> MidiPorts() override;
  std::string MidiPort() override;
  void SetMidiPort(const std::string& name) override;

  platform::IGameWindow& window_;
  TStartupContext context_;
  IPlayerWindow* shell_ = nullptr;
  int32_t forced_depth_ = 0;
  std::string dump_vars_file_;
  std::string dump_tree_file_;
  std::unique_ptr<ITextSource> text_source_;
  platform::MidiSynthOptions midi_options_;
  bool freed_ = false;

  // The parts, in the order they are made.
  TGameSettings settings_;
  std::unique_ptr<TBasePanel> panel_;
  std::unique_ptr<TParamCollection> vars_;
  std::unique_ptr<TSysFuncMan> sys_funcs_;
  std::unique_ptr<TDBManager> database_;
  std::unique_ptr<TWindowCursorHost> cursor_host_;
  std::unique_ptr<TWindowTextEntry> text_entry_;
  std::unique_ptr<IMediaHost> media_host_;
  std::unique_ptr<TFontPixelManager> glyphs_;
  std::unique_ptr<TBrixCollection> pictures_;
  std::unique_ptr<TQuenReadList> read_list_;
  std::unique_ptr<TQuenHistoryFormatManager> history_formats_;
  std::unique_ptr<TProject> project_;
  TCallMan* call_man_ = nullptr;
  std::unique_ptr<TScreenManager> screen_;
  std::unique_ptr<TMediaSystem> media_;
};

}  // namespace quen
