// Start-up and shut-down steps that belong to the parts of the player built on top of the
// shell's frame: sound device, component registry, media managers, colour tables. Each part
// plugs its step in when it exists; the trace names and their order stay here.
#pragma once

#include <cstdint>
#include <string>

namespace quen {

class TProject;

class IShellParts {
 public:
  virtual ~IShellParts() = default;
  // "TBasePanel.Create": the panel that shows the game screen.
  virtual void CreateBasePanel() {}
  // "DXSound.Initialize": the sound device, only when enabled in "game.ini"; failures are
  // ignored by the caller.
  virtual void InitializeSound() {}
  // "QuenInitialize": the component roots and their companions.
  virtual void QuenInitialize() {}
  // "MediaInit": the media managers and, for a screen larger than 0 x 0, the screen modes.
  virtual void MediaInit(TProject& /*project*/) {}
  // The working colour depth of the screen (15, 16 or 32) that "QuenInitColor" builds the
  // colour tables for; the screen modes decide it.
  virtual int32_t ScreenBitCount() { return 32; }
  // Around a switch of the display mode: videos are suspended and resumed; music played
  // through the software synthesiser is stopped with its output closed, then reopened and
  // resumed where it was. Every stop is followed by its restart, also when the switch fails.
  virtual void SuspendVideos() {}
  virtual void ResumeVideos() {}
  virtual void StopSynthMusic() {}
  virtual void RestartSynthMusic() {}
  // A game that pauses while inactive: the sound managers that play pause, and go on when the
  // window is active again.
  virtual void PauseSounds() {}
  virtual void ResumeSounds() {}
  // The save file: a game load a script asked for (true when it took place) and a game save,
  // carried out at the end of the frame.
  virtual bool LoadGame(TProject& /*project*/, int32_t /*slot*/) { return false; }
  virtual void SaveGame(TProject& /*project*/, int32_t /*slot*/, const std::string& /*page*/,
                        int32_t /*value*/, const std::string& /*caption*/) {}
  // Sizes the component roots to the game screen.
  virtual void SizeRoots(int32_t /*width*/, int32_t /*height*/) {}
  // One frame's work around the interpreter: input before, update and drawing after.
  virtual void ProcessInput() {}
  virtual void UpdateAndDraw() {}
  // Shut-down: each names the step it frees (the trace names of the caller).
  virtual void FreeSystemFunctions() {}
  virtual void QuenFinalize(const char* /*step*/) {}
  virtual void MediaFinal(const char* /*step*/) {}
};

}  // namespace quen
