// The one place every resource is found: loose files in the game data folder, archives in
// registration order, and the roots of mounted optical discs.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/stream.h"
#include "files/vr_file.h"

namespace quen {

// What the disk-change prompt needs from the layers above: the project's prompts, the
// installation record check, and the way to end the program.
class IDiskPromptHost {
 public:
  virtual ~IDiskPromptHost() = default;
  // Shows the disk prompt for disk number d (1-based); true for OK.
  virtual bool AskForDisk(int disk) = 0;
  // Shows the exit prompt; true for OK.
  virtual bool AskExit() = 0;
  // True when the installation record at this host path names the project and the disk index.
  virtual bool InstallMatches(const std::string& install_dat_host_path, int disk_index) = 0;
  // Sets the terminate flag and posts a close request to the main window.
  virtual void RequestTerminate() = 0;
};

// A temporary extraction of an entry for code that needs a real file.
struct TVrLockData {
  int32_t Id = 0;
  std::string Name;
  int32_t RefCount = 0;
  std::string Path;  // host path of the temporary file
};

class TVrFileManager {
 public:
  TVrFileManager();
  ~TVrFileManager();
  TVrFileManager(const TVrFileManager&) = delete;
  TVrFileManager& operator=(const TVrFileManager&) = delete;

  // Host folder searched for loose files ("/" appended when missing).
  void SetGameFolder(const std::string& host_folder);
  const std::string& GameFolder() const { return game_folder_; }

  // -1 when an archive with the same carrier file name is registered already.
  int AddArchive(const std::string& host_path);
  // The archive found through the trailer of a file with any extension (the player itself).
  int AddTrailerArchive(const std::string& host_path);
  int AddResourceArchive(const std::string& module_path, const std::string& name,
                         const std::string& type);
  // A collection without carrier that holds memory entries (registered first at start-up).
  int AddOverlay();
  void RemoveArchive(int index);
  int CollectionCount() const { return static_cast<int>(collections_.size()); }
  TVrFileCollection* Collection(int index) const;

  bool FileExists(const std::string& name) const;
  // Fills the target; a memory stream is cleared first and left at position 0. A file found
  // nowhere raises "%s:ファイルがありません".
  void LoadFile(TStream& target, const std::string& name);
  // A host path holding the content; the name unchanged when it is found nowhere.
  std::string GetRealPath(const std::string& name);
  // A range over the file's bytes without copying (entries must be stored, not compressed);
  // raises "%s:ファイルがありません" when it is found nowhere.
  std::unique_ptr<TStream> OpenRange(const std::string& name);
  void ListFolder(const std::string& folder, std::vector<std::string>& list) const;
  TVrFile* FindEntry(const std::string& name) const;
  // Host path of a loose file under the game data folder, or "".
  std::string LooseFilePath(const std::string& name) const;

  bool PromptForDisk(int disk);
  void SetDiskPromptHost(IDiskPromptHost* host) { prompt_host_ = host; }

  const std::vector<std::string>& CdRoots() const { return cd_roots_; }
  void SetCdRoots(std::vector<std::string> roots);
  const std::vector<TVrLockData>& Locks() const { return locks_; }
  // Private folder of temporary extractions (created on first use, mode 0700).
  const std::string& TempFolder() const { return temp_folder_; }

 private:
  int AddFileCarrier(const std::string& host_path, bool trailer);
  std::string CdRootPath(const std::string& name) const;
  int32_t NextLockId() const;

  std::string game_folder_;
  std::vector<std::unique_ptr<TVrFileCollection>> collections_;
  std::vector<std::string> cd_roots_;
  std::vector<TVrLockData> locks_;
  std::string temp_folder_;
  IDiskPromptHost* prompt_host_ = nullptr;
};

// The process-wide file manager; created at program start.
TVrFileManager& FileManager();
void SetFileManager(std::unique_ptr<TVrFileManager> manager);
bool HasFileManager();

// Temporary files to delete (every frame and when the manager is freed), and files scripts
// wrote with the request to remove them at exit.
std::vector<std::string>& DeletionList();
void DeleteListedFiles();
std::vector<std::string>& CreatedFilesList();
void DeleteCreatedFiles();

}  // namespace quen
