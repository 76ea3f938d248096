// The system functions of files: FileExists and LoadTextFile (game files), CopyFile (memory
// files), SaveScreen (a picture of a screen base as a layered image) and SetWallPaper (a bitmap
// handed to the desktop).
#pragma once

#include <functional>
#include <string>

#include "runtime/sysfunc_host.h"

namespace quen {

class TDIBSurface;
class TSysFuncMan;

// What these functions borrow from parts that may not be there yet. Every hook left empty
// has a plain default, noted beside it.
struct TFileFuncHooks {
  // Loads picture `name` (through the image cache when there is one); false when it cannot
  // be found or read. Default: the file manager and the picture readers, without image key.
  std::function<bool(const std::string& name, TDIBSurface& picture)> LoadPicture;
  // Drops a cached picture of that name after the file was rewritten. Default: nothing.
  std::function<void(const std::string& name)> ForgetPicture;
  // Host path of "save.dat". Default: the project's save path when known, else "save.dat"
  // in the game data folder.
  std::function<std::string()> SaveFilePath;
};

// Registers FileExists, LoadTextFile, CopyFile, SaveScreen and SetWallPaper.
void RegisterFileFunctions(TSysFuncMan& funcs, ISystemHost& host);
void RegisterFileFunctions(TSysFuncMan& funcs, ISystemHost& host, TFileFuncHooks hooks);

// Largest width or height SaveScreen writes; a larger request gives FALSE.
constexpr int kSaveScreenMaxSide = 8192;

// "$XDG_DATA_HOME/quenplay/" (else "~/.local/share/quenplay/"), created when missing; empty
// when there is no such folder and it cannot be made.
std::string PlayerDataFolder();

}  // namespace quen
