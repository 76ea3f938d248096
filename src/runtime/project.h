// The project: the game's settings, the installation lookup, the start of the first page and
// the tear-down at the end.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "files/file_manager.h"
#include "runtime/folder_disk_list.h"
#include "runtime/project_setting.h"

namespace quen {

class TParamCollection;
class TProject;

// The process-wide terminate flag: while it is set the frame step does nothing.
bool TerminateFlag();
void SetTerminateFlag(bool value);

// The disk prompt with the disk number put in place of its first "%d" ("%%" gives "%"); any
// other "%" stays as it is, so a prompt from the project file cannot misuse the formatter.
std::string FormatDiskPrompt(const std::string& prompt, int disk);

// The interpreter state the project owns. The call manager fills it in; until then a page
// that is started is only remembered.
class TCallManBase {
 public:
  virtual ~TCallManBase() = default;
  virtual void Start(const std::string& page) { started_page_ = page; }
  // One frame of the interpreter.
  virtual void Step() {}
  // Runs until the started page returns (the end page at shut-down).
  virtual void RunToReturn() {}
  const std::string& StartedPage() const { return started_page_; }

 private:
  std::string started_page_;
};

// Steps of the project's life that belong to the other parts of the player (the save file,
// the interpreter, the main window). Each part plugs its own in when it exists; the default
// of each step does nothing.
class IProjectHost {
 public:
  virtual ~IProjectHost() = default;
  // The title becomes the application's title and the window caption.
  virtual void TitleChanged(const std::string& /*title*/) {}
  // Status save and the run-time files kept in the save file (before the project variables).
  virtual void RestoreStatus(TProject& /*project*/) {}
  virtual void ReadSaveCaptions(TProject& /*project*/) {}
  virtual void WriteStatus(TProject& /*project*/) {}
  virtual std::unique_ptr<TCallManBase> CreateCallMan(TProject& /*project*/) {
    return std::make_unique<TCallManBase>();
  }
  // Posts a close request to the main window (the disk prompt's exit answer).
  virtual void RequestClose() {}
  // A game load or save a script asked for, carried out at the end of the frame by the save
  // file's owner; true when the load took place.
  virtual bool LoadGame(TProject& /*project*/, int32_t /*slot*/) { return false; }
  virtual void SaveGame(TProject& /*project*/, int32_t /*slot*/, const std::string& /*page*/,
                        int32_t /*value*/, const std::string& /*caption*/) {}
};

// Where the program was started from: the parameters and the executable's folder.
struct TStartupContext {
  std::vector<std::string> Params;  // host paths (UTF-8)
  std::string ExeFolder;            // host folder of the executable, ending in "/"
  std::string ExePath;              // the executable itself
};

class TProject : private IDiskPromptHost {
 public:
  // vars may be null (no variable table: the project variables are then kept, not applied).
  TProject(TStartupContext context, IProjectHost* host, TParamCollection* vars);
  ~TProject() override;
  TProject(const TProject&) = delete;
  TProject& operator=(const TProject&) = delete;

  // The whole project start; raises for a damaged or unsupported project file. On return the
  // terminate flag tells whether the game may run.
  void Create();
  // Runs the end page and writes the status save. Called once at shut-down.
  void Destroy();
  void Step();
  // The game load and then the game save that scripts asked for during the frame; true when a
  // load took place (the frame then shows nothing of it).
  bool ServicePending();

  bool LocateInstallation();
  bool EnsureFileAvailable(const std::string& name);

  // Settings, as read from the project file.
  std::string Title = "\x8F\xEE\x95\xF1";  // "情報" until the settings are read
  int32_t ScreenWidth = 0;
  int32_t ScreenHeight = 0;
  int32_t FullScreenWidth = 0;
  int32_t FullScreenHeight = 0;
  std::string StartPage;
  std::string EndPage;
  std::string RegistryKey;
  int32_t IdCode = 0;
  uint8_t Spare = 0;
  bool PersistentStatus = true;
  bool YieldFlag = true;
  std::string StreamingExtensions = "wav.wma.ogg";
  bool PauseWhenInactive = false;
  uint8_t DiscByte = 0;
  int32_t PendingLoadSlot = -1;
  int32_t PendingSaveSlot = -1;
  std::string PendingSaveCaption;
  std::string PendingSavePage;
  int32_t PendingSaveValue = 0;
  // Caption of every saved game with its slot number.
  std::vector<std::pair<std::string, int32_t>> SaveCaptions;
  TFolderDiskList FolderDisks;
  bool SavePathKnown = false;
  std::string SavePath;
  std::string DiskPrompt;
  std::string ExitPrompt;
  // Centre of the game screen, used by the other parts.
  int32_t CenterX = 0;
  int32_t CenterY = 0;

  const std::vector<TParamData>& ProjectVariables() const { return params_; }
  // True once the settings were read and the project variables applied: only such a project
  // runs its end page and writes the status save.
  bool Started() const { return started_; }
  // Mount points searched for installation discs; scanned afresh before every search so that
  // a disc inserted after the prompt is found.
  std::function<std::vector<std::string>()> ScanDiscRoots;
  TCallManBase* CallMan() const { return call_man_.get(); }
  const TStartupContext& Context() const { return context_; }

 private:
  // The disk-change prompt of the file manager.
  bool AskForDisk(int disk) override;
  bool AskExit() override;
  bool InstallMatches(const std::string& install_dat_host_path, int disk_index) override;
  void RequestTerminate() override;

  bool NoParameters() const;
  // Step 5 of the installation lookup, repeated while the user asks for it.
  bool SearchDiscs(const std::string& title);
  void ApplyProjectVariables();

  TStartupContext context_;
  IProjectHost* host_;
  IProjectHost default_host_;
  TParamCollection* vars_;
  std::vector<TParamData> params_;
  std::unique_ptr<TCallManBase> call_man_;
  bool destroyed_ = false;
  bool started_ = false;
};

}  // namespace quen
