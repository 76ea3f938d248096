#include "runtime/project.h"

#include <cstdio>

#include "base/error.h"
#include "base/sjis.h"
#include "files/host_path.h"
#include "platform/dialogs.h"
#include "platform/host_fs.h"
#include "platform/text_encoding.h"
#include "runtime/install_set.h"
#include "runtime/messages.h"

#include "expr/param_collection.h"

namespace quen {

namespace {

bool g_terminate = false;

using platform::MsgAnswer;
using platform::MsgButtons;
using platform::MsgIcon;

MsgAnswer Ask(const std::string& caption, const std::string& text, MsgIcon icon,
              MsgButtons buttons) {
  return platform::Dialogs().MessageBox(caption, text, icon, buttons);
}

}  // namespace

bool TerminateFlag() {
  return g_terminate;
}
void SetTerminateFlag(bool value) {
  g_terminate = value;
}

std::string FormatDiskPrompt(const std::string& prompt, int disk) {
  std::string out;
  bool used = false;
  for (size_t i = 0; i < prompt.size();) {
    size_t n = sjis::CharLen(prompt, i);
    if (n == 1 && prompt[i] == '%' && i + 1 < prompt.size()) {
      if (prompt[i + 1] == '%') {
        out += '%';
        i += 2;
        continue;
      }
      if (prompt[i + 1] == 'd' && !used) {
        out += std::to_string(disk);
        used = true;
        i += 2;
        continue;
      }
    }
    out.append(prompt, i, n);
    i += n;
  }
  return out;
}

TProject::TProject(TStartupContext context, IProjectHost* host, TParamCollection* vars)
    : context_(std::move(context)), host_(host ? host : &default_host_), vars_(vars) {
  context_.ExeFolder = WithSlash(context_.ExeFolder);
  ScanDiscRoots = [] { return platform::OpticalMountPoints(); };
}

TProject::~TProject() {
  if (HasFileManager()) FileManager().SetDiskPromptHost(nullptr);
}

bool TProject::NoParameters() const {
  return context_.Params.empty() || sjis::EqualsNoCase(context_.Params[0], "/config");
}

void TProject::Create() {
  DiskPrompt = msg::kDefaultDiskPrompt;
  ExitPrompt = msg::kDefaultExitPrompt;
  SetTerminateFlag(true);
  SaveCaptions.clear();
  FolderDisks.Clear();
  PendingLoadSlot = -1;
  PendingSaveSlot = -1;
  FileManager().SetDiskPromptHost(this);

  if (NoParameters() && !LocateInstallation()) return;

  TKvMemoryStream data;
  try {
    FileManager().LoadFile(data, TProjectSetting::kFileName);
  } catch (const EQuenError& e) {
    // The program ends without a message box here; this line tells a user why.
    std::fprintf(stderr, "quenplay: %s\n", platform::Cp932ToUtf8(e.Message()).c_str());
    return;
  }
  if (data.GetSize() == 0) {
    Ask(msg::kCaptionWarning, msg::kProjectMissing, MsgIcon::kWarning, MsgButtons::kOk);
    return;
  }

  TProjectSetting s;
  try {
    s.LoadFromStream(data);
  } catch (const EQuenError& e) {
    RaiseNamingFile(e, TProjectSetting::kFileName);
  }
  Title = s.Title;
  ScreenWidth = s.ScreenWidth;
  ScreenHeight = s.ScreenHeight;
  FullScreenWidth = s.FullScreenWidth;
  FullScreenHeight = s.FullScreenHeight;
  StartPage = s.StartPage;
  EndPage = s.EndPage;
  RegistryKey = s.RegistryKey;
  IdCode = s.IdCode;
  PersistentStatus = s.PersistentStatus;
  YieldFlag = s.YieldFlag;
  StreamingExtensions = s.StreamingExtensions;
  PauseWhenInactive = s.PauseWhenInactive;
  DiscByte = s.DiscByte;
  DiskPrompt = s.DiskPrompt;
  ExitPrompt = s.ExitPrompt;
  FolderDisks = s.FolderDisks;
  params_ = std::move(s.Params);
  host_->TitleChanged(Title);
  CenterX = ScreenWidth / 2;
  CenterY = ScreenHeight / 2;

  host_->RestoreStatus(*this);
  ApplyProjectVariables();
  started_ = true;
  SetTerminateFlag(false);
  host_->ReadSaveCaptions(*this);

  if (FileManager().FileExists(TProjectSetting::kOriginalFileName)) {
    TKvMemoryStream original;
    FileManager().LoadFile(original, TProjectSetting::kOriginalFileName);
    TProjectSetting o;
    o.LoadFromStream(original);
    FolderDisks = o.FolderDisks;
  }

  call_man_ = host_->CreateCallMan(*this);
  if (FileManager().FileExists(StartPage)) {
    call_man_->Start(StartPage);
  } else {
    Ask(msg::kCaptionWarning, msg::kStartPageMissing, MsgIcon::kWarning, MsgButtons::kOk);
    SetTerminateFlag(true);
  }
}

void TProject::ApplyProjectVariables() {
  if (!vars_) return;
  for (const auto& d : params_) {
    if (vars_->FindVariable(d.Name)) continue;  // restored earlier: its value stands
    ValidateVarName(d.Name);
    TParamCollectionItem* r = vars_->AddVariable(d.Type);
    vars_->SetVarName(r, d.Name);
    r->status = true;
    TCustomParam* v = r->Value();
    switch (d.Type) {
      case 1:
        v->SetAsInteger(d.IntValue);
        break;
      case 2:
        v->SetAsFloat(d.FloatValue);
        break;
      case 3:
        v->SetAsBool(d.BoolValue);
        break;
      case 4:
        v->SetAsString(d.StrValue);
        break;
      default:
        break;
    }
  }
}

void TProject::Destroy() {
  if (destroyed_) return;
  destroyed_ = true;
  if (started_) {
    if (!EndPage.empty() && call_man_) {
      call_man_->Start(EndPage);
      SetTerminateFlag(false);
      try {
        call_man_->RunToReturn();
      } catch (...) {
        // The end page's failure must not keep the status save from being written.
      }
      SetTerminateFlag(true);
    }
    host_->WriteStatus(*this);
  }
  call_man_.reset();
  SaveCaptions.clear();
  FolderDisks.Clear();
}

void TProject::Step() {
  if (call_man_) call_man_->Step();
}

bool TProject::ServicePending() {
  bool loaded = false;
  if (PendingLoadSlot >= 0) {
    const int32_t slot = PendingLoadSlot;
    PendingLoadSlot = -1;
    loaded = host_ && host_->LoadGame(*this, slot);
  }
  if (PendingSaveSlot >= 0) {
    const int32_t slot = PendingSaveSlot;
    PendingSaveSlot = -1;
    if (host_) host_->SaveGame(*this, slot, PendingSavePage, PendingSaveValue, PendingSaveCaption);
  }
  return loaded;
}

bool TProject::LocateInstallation() {
  TVrFileManager& fm = FileManager();
  const std::string exe_install = ResolveGamePath(context_.ExeFolder, TQuenInstallSet::kFileName);
  if (!exe_install.empty() && fm.GameFolder().empty()) fm.SetGameFolder(context_.ExeFolder);
  if (!fm.FileExists(TQuenInstallSet::kFileName)) {
    Ask(msg::kCaptionInformation, msg::kNeedReinstall, MsgIcon::kInformation, MsgButtons::kOk);
    return false;
  }
  TQuenInstallSet install;
  {
    TKvMemoryStream m;
    fm.LoadFile(m, TQuenInstallSet::kFileName);
    install.LoadFromStream(m);
  }
  const std::string exe_dat = ResolveGamePath(context_.ExeFolder, "game.dat");
  if (!exe_dat.empty()) fm.AddArchive(exe_dat);
  // Whether the archive was found beside the player or not, a full installation needs no disc.
  if (install.FullInstall) return true;

  for (;;) {
    if (SearchDiscs(install.Title)) return true;
    if (Ask(msg::kCaptionInformation, msg::kInsertDisc, MsgIcon::kInformation,
            MsgButtons::kOkCancel) == MsgAnswer::kOk)
      continue;
    if (Ask(Title, ExitPrompt, MsgIcon::kNone, MsgButtons::kOkCancel) == MsgAnswer::kOk)
      return false;
  }
}

bool TProject::SearchDiscs(const std::string& title) {
  TVrFileManager& fm = FileManager();
  if (ScanDiscRoots) fm.SetCdRoots(ScanDiscRoots());
  for (const auto& root : fm.CdRoots()) {
    std::string dat = ResolveGamePath(root, "game.dat");
    std::string inst = ResolveGamePath(root, TQuenInstallSet::kFileName);
    if (dat.empty() || inst.empty()) continue;
    TQuenInstallSet disc;
    try {
      disc.LoadFromFile(inst);
    } catch (const EQuenError&) {
      continue;  // a damaged record is not our disc
    }
    if (disc.Title != title) continue;
    fm.AddArchive(dat);
    return true;
  }
  return false;
}

bool TProject::EnsureFileAvailable(const std::string& name) {
  if (FileManager().FileExists(name)) return true;
  int32_t disk = FolderDisks.DiskOf(name);
  if (disk <= 0) return false;
  std::string ext = sjis::LowerAscii(GameExtension(name)) + ".";
  std::string streaming = sjis::LowerAscii(StreamingExtensions) + ".";
  if (streaming.find(ext) != std::string::npos) return false;
  return FileManager().PromptForDisk(disk);
}

bool TProject::AskForDisk(int disk) {
  return Ask(Title, FormatDiskPrompt(DiskPrompt, disk), MsgIcon::kNone, MsgButtons::kOkCancel) ==
         MsgAnswer::kOk;
}

bool TProject::AskExit() {
  return Ask(Title, ExitPrompt, MsgIcon::kNone, MsgButtons::kOkCancel) == MsgAnswer::kOk;
}

bool TProject::InstallMatches(const std::string& install_dat_host_path, int disk_index) {
  TQuenInstallSet disc;
  try {
    disc.LoadFromFile(install_dat_host_path);
  } catch (const EQuenError&) {
    return false;
  }
  return disc.Title == Title && disc.DiskIndex == disk_index;
}

void TProject::RequestTerminate() {
  SetTerminateFlag(true);
  host_->RequestClose();
}

}  // namespace quen
