#include "runtime/sysfunc_files.h"

#include <string_view>
#include <vector>

#include "base/error.h"
#include "base/sjis.h"
#include "base/stream.h"
#include "components/quen_base_list.h"
#include "expr/custom_param.h"
#include "expr/param_collection.h"
#include "expr/sys_func_man.h"
#include "expr/sysfunc_args.h"
#include "files/big_stream.h"
#include "files/file_manager.h"
#include "files/host_path.h"
#include "imaging/brix_frame.h"
#include "imaging/dib_surface.h"
#include "imaging/dibx.h"
#include "platform/desktop.h"
#include "platform/dialogs.h"
#include "platform/host_fs.h"
#include "platform/text_encoding.h"
#include "runtime/install_set.h"
#include "runtime/project.h"
#include "runtime/sysfunc_support.h"

namespace quen {

namespace {

using sysarg::Bool;
using sysarg::Has;
using sysarg::Int;
using sysarg::SetResultBool;
using sysarg::Str;

using sysfunc::StartsWithNoCase;

bool IsSaveName(const std::string& name) {
  return StartsWithNoCase(name, "save:");
}
// Names of memory files: held by the file manager, never written to the game folder.
bool IsMemoryName(const std::string& name) {
  return StartsWithNoCase(name, "mem:") || IsSaveName(name);
}

// The collection without carrier that holds the memory files (registered first at start-up;
// made here when a manager has none).
TVrFileCollection& Overlay() {
  TVrFileManager& fm = FileManager();
  for (int i = 0; i < fm.CollectionCount(); ++i) {
    TVrFileCollection* c = fm.Collection(i);
    if (!c->Carrier() && c->FileName().empty()) return *c;
  }
  return *fm.Collection(fm.AddOverlay());
}

// Gives memory file `name` this content: an existing memory entry, in whatever collection,
// is emptied and refilled; otherwise a new one is made in the overlay.
void WriteMemoryFile(const std::string& name, std::string content) {
  TVrFile* e = FileManager().FindEntry(name);
  if (!e || !e->Memory) e = Overlay().AddMemoryEntry(name);
  e->Memory->Clear();
  e->Memory->Data() = std::move(content);
  e->Size = e->Memory->GetSize();
}

std::string DefaultSaveFilePath(ISystemHost& host) {
  if (TProject* p = host.Project(); p && p->SavePathKnown && !p->SavePath.empty())
    return p->SavePath;
  const std::string& game = FileManager().GameFolder();
  if (game.empty()) return {};
  std::string existing = ResolveGamePath(game, "save.dat");
  return existing.empty() ? game + "save.dat" : existing;
}

// Puts the entry into the save file: the archive is read into memory (its other entries stay),
// given the entry and written back through a temporary file renamed over the old one, so an
// interrupted write never costs the saved games. A damaged save file is left alone.
bool StoreInSaveFile(const std::string& path, const std::string& name, const std::string& content) {
  if (path.empty()) return false;
  try {
    TVrFileCollection save;
    if (platform::IsRegularFile(path)) {
      TKvBigMemoryStream old;
      old.LoadFromFile(path);
      // From memory: no side directory and no loose file beside it stands in for an entry.
      save.OpenMemory(std::move(old.Data()));
    }
    while (save.FindFile(name)) save.DeleteEntry(name);
    TVrFile* e = save.AddMemoryEntry(name);
    e->Memory->Data() = content;
    e->Size = static_cast<int64_t>(content.size());
    TKvBigMemoryStream out;
    if (!save.Write(out)) return false;
    out.SaveToFile(path);
    return true;
  } catch (const EQuenError&) {
    return false;
  }
}

// Host path for writing game name `name` under root: the existing file when there is one
// (matched without regard to case), else the name's file in its existing folder. Empty for
// names that would leave root or whose folder does not exist.
std::string HostPathForWrite(const std::string& root, const std::string& name) {
  std::vector<std::string> parts = SplitGameName(name);
  if (parts.empty()) return {};
  for (const auto& part : parts)
    if (part == "." || part == "..") return {};
  if (std::string p = ResolveGamePath(root, name); !p.empty()) return p;
  std::string folder = WithSlash(root);
  if (parts.size() > 1) {
    folder = ResolveGamePath(root, GameFolderPart(name), true);
    if (folder.empty()) return {};
    folder = WithSlash(folder);
  }
  std::string file;
  if (!platform::TryCp932ToUtf8(parts.back(), file)) return {};
  return folder + file;
}

bool LoadPictureThroughFiles(const std::string& name, TDIBSurface& picture) {
  if (name.empty() || !FileManager().FileExists(name)) return false;
  try {
    TKvMemoryStream content;
    FileManager().LoadFile(content, name);
    TDIBX surface;
    surface.LoadFromStream(content, 0);
    if (surface.IsEmpty()) return false;
    surface.CopyToPicture(picture);
    return true;
  } catch (const EQuenError&) {
    return false;
  }
}

// The picture of a screen base at the screen's size in 24 bits, resampled to width x height.
void TakeScreen(TQuenBase& base, int32_t screen_w, int32_t screen_h, int32_t width, int32_t height,
                TDIBSurface& out) {
  // The base paints everything afresh, so that the picture does not depend on what the last
  // frame happened to redraw.
  base.AddFullDirtyRect();
  base.DrawRoot();
  TCustomDIBX* source = base.GetSurface();
  const bool resample = width != screen_w || height != screen_h;
  TDIBSurface full;
  TDIBSurface& shot = resample ? full : out;
  shot.SetSize(screen_w, screen_h, 24);
  TDIBX shot_view;
  shot_view.BorrowDIB(shot);
  if (source && !source->IsEmpty())
    shot_view.Draw(0, 0, false, false, false, TRect{0, 0, source->Width(), source->Height()},
                   *source);
  if (!resample) return;
  out.SetSize(width, height, 24);
  TDIBX out_view;
  out_view.BorrowDIB(out);
  out_view.StretchDraw(TRect{0, 0, width, height}, shot_view, 255, false, false, false,
                       TRect{0, 0, screen_w, screen_h});
}

void AddCreatedFile(const std::string& host_path) {
  for (const auto& p : CreatedFilesList())
    if (p == host_path) return;
  CreatedFilesList().push_back(host_path);
}

void AddInstalledFile(const std::string& game_folder, const std::string& name) {
  const std::string path = ResolveGamePath(game_folder, TQuenInstallSet::kFileName);
  if (path.empty()) return;
  try {
    TQuenInstallSet install;
    install.LoadFromFile(path);
    if (install.AddFile(name)) install.SaveToFile(path);
  } catch (const EQuenError&) {
    // A damaged record stays as it is; the picture was written all the same.
  }
}

bool MakeFolders(const std::string& folder) {
  std::string path;
  for (size_t i = 0; i < folder.size(); ++i) {
    path += folder[i];
    if ((folder[i] == '/' || i + 1 == folder.size()) && path != "/" && !platform::IsDirectory(path))
      platform::MakeDirectory(path, 0700);
  }
  return platform::IsDirectory(folder);
}

}  // namespace

std::string PlayerDataFolder() {
  const std::string folder = platform::UserDataFolder() + "quenplay/";
  return MakeFolders(folder) ? folder : std::string();
}

void RegisterFileFunctions(TSysFuncMan& funcs, ISystemHost& host) {
  RegisterFileFunctions(funcs, host, TFileFuncHooks{});
}

void RegisterFileFunctions(TSysFuncMan& funcs, ISystemHost& host, TFileFuncHooks hooks) {
  ISystemHost* h = &host;
  if (!hooks.LoadPicture) hooks.LoadPicture = LoadPictureThroughFiles;
  if (!hooks.ForgetPicture) hooks.ForgetPicture = [](const std::string&) {};
  if (!hooks.SaveFilePath) hooks.SaveFilePath = [h] { return DefaultSaveFilePath(*h); };

  funcs.Register("FileExists", [](TSysFuncCall& c) {
    const std::string name = c.args[0]->GetAsString();
    SetResultBool(c, !name.empty() && FileManager().FileExists(name));
  });
  funcs.Register("LoadTextFile", [](TSysFuncCall& c) {
    TParamCollectionItem* var = sysarg::Variable(c, 0);
    const std::string name = c.args[1]->GetAsString();
    if (name.empty() || !FileManager().FileExists(name)) {
      SetResultBool(c, false);
      return;
    }
    TKvMemoryStream m;
    FileManager().LoadFile(m, name);
    std::vector<std::string> lines = sysfunc::SplitLines(m.Data());
    if (lines.empty()) {
      SetResultBool(c, false);
      return;
    }
    if (var && var->Value()) sysfunc::StoreList(*var->Value(), lines);
    SetResultBool(c, true);
  });

  funcs.Register("CopyFile", [hooks](TSysFuncCall& c) {
    SetResultBool(c, false);
    const std::string from = Str(c, 0);
    const std::string to = Str(c, 1);
    if (!IsMemoryName(from) || to.empty()) return;
    const TVrFile* source = FileManager().FindEntry(from);
    if (!source || !source->Memory) return;
    // Copied before the target is emptied: the target may be the source itself.
    std::string content = source->Memory->Data();
    const bool stored = !IsSaveName(to) || StoreInSaveFile(hooks.SaveFilePath(), to, content);
    WriteMemoryFile(to, std::move(content));
    hooks.ForgetPicture(to);
    SetResultBool(c, stored);
  });

  funcs.Register("SaveScreen", [h, hooks](TSysFuncCall& c) {
    SetResultBool(c, false);
    const std::string name = Str(c, 0);
    const std::string game = FileManager().GameFolder();
    if (game.empty() || !platform::IsDirectory(game)) return;
    if (!sjis::EqualsNoCase(GameExtension(name), ".brx")) return;
    TQuenBaseList* registry = h->Registry();
    if (!registry) return;
    int32_t screen_w = registry->ScreenWidth();
    int32_t screen_h = registry->ScreenHeight();
    if (TProject* p = h->Project(); p && p->ScreenWidth > 0 && p->ScreenHeight > 0) {
      screen_w = p->ScreenWidth;
      screen_h = p->ScreenHeight;
    }
    if (screen_w <= 0 || screen_h <= 0) return;
    int32_t width = Int(c, 1);
    int32_t height = Int(c, 2);
    if (width == 0) width = screen_w;
    if (height == 0) height = screen_h;
    // A script must not be able to ask for a picture that exhausts memory.
    if (width < 1 || height < 1 || width > kSaveScreenMaxSide || height > kSaveScreenMaxSide)
      return;

    TQuenBase& base = Bool(c, 3) ? registry->InactiveRoot() : registry->ActiveRoot();
    TBrixFrameList list;
    TakeScreen(base, screen_w, screen_h, width, height, list.AddFrame().Picture);

    const bool memory = IsMemoryName(name);
    TKvMemoryStream image;
    std::string host_path;
    try {
      list.SaveToStream(image, memory ? BC_NONE : BC_DEFAULT, 70);
    } catch (const EQuenError&) {
      return;
    }
    bool stored = true;
    if (memory) {
      if (IsSaveName(name)) stored = StoreInSaveFile(hooks.SaveFilePath(), name, image.Data());
      WriteMemoryFile(name, std::move(image.Data()));
    } else {
      host_path = HostPathForWrite(game, name);
      if (host_path.empty() || !platform::WriteFileAtomically(host_path, image.Data())) return;
    }
    hooks.ForgetPicture(name);
    if (!stored) return;
    SetResultBool(c, true);

    if (memory || !Has(c, 4)) return;
    switch (Int(c, 4)) {
      case 1:
        AddCreatedFile(host_path);
        break;
      case 2:
        AddInstalledFile(game, name);
        break;
      default:
        break;
    }
  });

  funcs.Register("SetWallPaper", [h, hooks](TSysFuncCall& c) {
    SetResultBool(c, false);
    const std::string name = Str(c, 0);
    const int32_t style = Int(c, 1);
    TDIBSurface picture;
    if (!name.empty()) {
      if (!hooks.LoadPicture(name, picture)) return;
    } else {
      TQuenBaseList* registry = h->Registry();
      if (!registry) return;
      TCustomDIBX* screen = registry->ActiveRoot().GetSurface();
      if (!screen || screen->IsEmpty()) return;
      screen->CopyToPicture(picture);
    }
    if (!picture.Bits() || picture.Width() <= 0 || picture.Height() <= 0) return;
    const std::string folder = PlayerDataFolder();
    if (folder.empty()) return;
    const std::string path = folder + "quenwall.bmp";
    TKvMemoryStream bitmap;
    picture.SaveToBitmapStream(bitmap, 24);
    if (!platform::WriteFileAtomically(path, bitmap.Data())) return;
    // Headless runs never touch the desktop of whoever runs them.
    if (platform::Dialogs().Interactive()) platform::SetDesktopWallpaper(path, style);
    SetResultBool(c, true);
  });
}

}  // namespace quen
