// The program entry: command line, CD-ROM refusal, one player per game folder, the settings
// dialog, and the main window's life.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/display.h"
#include "platform/game_window.h"

namespace quen {

enum TExitStatus { kExitNormal = 0, kExitStartupEnded = 1, kExitUsage = 2 };

struct TProgramOptions {
  bool Headless = false;
  std::string TraceFile;
  // Headless answers to dialogs, one "answer WORD" per line ('#' starts a comment).
  std::string InputFile;
  // Frames to run before closing; -1 runs until the game or the user ends it (headless: until
  // the script has ended).
  int Frames = -1;
  // Headless runs: the game time each frame stands for (1 to 300 ms).
  int FrameMs = 16;
  // Every variable written here at exit.
  std::string DumpVarsFile;
  std::string DumpTreeFile;
  // Seed of the script's random numbers; headless runs use 0 unless given, so they repeat.
  std::optional<uint64_t> Seed;
  // Headless frame dumps into this folder, every DumpEvery-th frame (0: on request only).
  std::string DumpFramesFolder;
  int DumpEvery = 1;
  // Headless runs: the sound of the whole run as a wave file.
  std::string DumpSoundFile;
  // Working colour depth: 15, 16 or 32; 0 takes the desktop's.
  int Depth = 0;
  // Headless runs: the display modes the pretended monitor offers (none unless given).
  std::vector<platform::DisplayMode> DisplayModes;
  // Headless runs: the local date and time the virtual clock starts at ("YYYY-MM-DD[THH:MM[:SS]]";
  // empty: platform::VirtualClock::kDefaultStart).
  std::string Date;
  // The sound font of the MIDI synthesiser (empty: the system's General MIDI font), and where
  // every MIDI message sent is logged as "MS HEX" lines (empty: nowhere).
  std::string SoundFont;
  std::string DumpMidiFile;
  std::vector<std::string> Params;  // game folders and archives, or "/config"
};

// False with a message for a command line that cannot be run.
bool ParseCommandLine(const std::vector<std::string>& args, TProgramOptions& out,
                      std::string& error);
std::string UsageText();
// "800x600x32@60,1024x768x16": widths and heights 1-16384, bits 8, 15, 16, 24 or 32, the
// refresh rate optional (0: the default). False for anything else or an empty list.
bool ParseDisplayModes(const std::string& list, std::vector<platform::DisplayMode>& out);

// What the entry needs from the system; tests give their own.
class IProgramSystem {
 public:
  virtual ~IProgramSystem() = default;
  virtual std::string ExecutablePath() = 0;
  virtual std::string FileSystemTypeOf(const std::string& path) = 0;
  // The desktop's window and dialogs; null window (with a reason) when there is no display.
  virtual std::unique_ptr<platform::IGameWindow> CreateWindow(std::string& error) = 0;
  virtual bool SetUpNativeDialogs() = 0;
};

class TRealProgramSystem : public IProgramSystem {
 public:
  std::string ExecutablePath() override;
  std::string FileSystemTypeOf(const std::string& path) override;
  std::unique_ptr<platform::IGameWindow> CreateWindow(std::string& error) override;
  bool SetUpNativeDialogs() override;
};

// The game folder key that names the single-instance lock.
std::string GameFolderKey(const std::string& folder);

// Runs the program; returns the exit status.
int RunProgram(const TProgramOptions& options, IProgramSystem& system);

}  // namespace quen
