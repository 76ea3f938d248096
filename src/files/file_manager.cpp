#include "files/file_manager.h"

#include <algorithm>
#include <cstdio>

#include "base/error.h"
#include "base/sjis.h"
#include "files/host_path.h"
#include "files/messages.h"
#include "platform/host_fs.h"
#include "platform/text_encoding.h"

namespace quen {

namespace {
std::unique_ptr<TVrFileManager>& Instance() {
  static std::unique_ptr<TVrFileManager> m;
  return m;
}
}  // namespace

TVrFileManager& FileManager() {
  auto& m = Instance();
  if (!m) m = std::make_unique<TVrFileManager>();
  return *m;
}
void SetFileManager(std::unique_ptr<TVrFileManager> manager) {
  Instance() = std::move(manager);
}
bool HasFileManager() {
  return Instance() != nullptr;
}

std::vector<std::string>& DeletionList() {
  static std::vector<std::string> list;
  return list;
}

void DeleteListedFiles() {
  auto& list = DeletionList();
  // A file that cannot be deleted yet stays listed for the next try.
  list.erase(std::remove_if(list.begin(), list.end(),
                            [](const std::string& p) {
                              return platform::RemoveFile(p) || !platform::PathExists(p);
                            }),
             list.end());
}

std::vector<std::string>& CreatedFilesList() {
  static std::vector<std::string> list;
  return list;
}

void DeleteCreatedFiles() {
  for (const auto& p : CreatedFilesList()) platform::RemoveFile(p);
  CreatedFilesList().clear();
}

TVrFileManager::TVrFileManager() : cd_roots_(platform::OpticalMountPoints()) {}

TVrFileManager::~TVrFileManager() {
  collections_.clear();
  for (const auto& l : locks_) DeletionList().push_back(l.Path);
  locks_.clear();
  DeleteListedFiles();
  if (!temp_folder_.empty()) platform::RemoveTree(temp_folder_);
}

void TVrFileManager::SetGameFolder(const std::string& host_folder) {
  game_folder_ = WithSlash(host_folder);
}

void TVrFileManager::SetCdRoots(std::vector<std::string> roots) {
  for (auto& r : roots) r = WithSlash(r);
  cd_roots_ = std::move(roots);
}

TVrFileCollection* TVrFileManager::Collection(int index) const {
  if (index < 0 || index >= CollectionCount()) return nullptr;
  return collections_[static_cast<size_t>(index)].get();
}

int TVrFileManager::AddFileCarrier(const std::string& host_path, bool trailer) {
  for (const auto& c : collections_)
    if (!c->FileName().empty() && sjis::EqualsNoCase(c->FileName(), host_path)) return -1;
  auto c = std::make_unique<TVrFileCollection>();
  if (trailer)
    c->OpenTrailer(host_path);
  else
    c->Open(host_path);
  collections_.push_back(std::move(c));
  return CollectionCount() - 1;
}

int TVrFileManager::AddArchive(const std::string& host_path) {
  return AddFileCarrier(host_path, false);
}

int TVrFileManager::AddTrailerArchive(const std::string& host_path) {
  return AddFileCarrier(host_path, true);
}

int TVrFileManager::AddResourceArchive(const std::string& module_path, const std::string& name,
                                       const std::string& type) {
  auto c = std::make_unique<TVrFileCollection>();
  c->OpenResource(module_path, name, type);
  collections_.push_back(std::move(c));
  return CollectionCount() - 1;
}

int TVrFileManager::AddOverlay() {
  collections_.push_back(std::make_unique<TVrFileCollection>());
  return CollectionCount() - 1;
}

void TVrFileManager::RemoveArchive(int index) {
  if (index < 0 || index >= CollectionCount()) return;
  collections_.erase(collections_.begin() + index);
}

std::string TVrFileManager::LooseFilePath(const std::string& name) const {
  if (game_folder_.empty() || name.empty()) return {};
  return ResolveGamePath(game_folder_, name);
}

std::string TVrFileManager::CdRootPath(const std::string& name) const {
  for (const auto& root : cd_roots_) {
    std::string p = ResolveGamePath(root, name);
    if (!p.empty()) return p;
  }
  return {};
}

TVrFile* TVrFileManager::FindEntry(const std::string& name) const {
  for (const auto& c : collections_)
    if (TVrFile* e = c->FindFile(name)) return e;
  return nullptr;
}

bool TVrFileManager::FileExists(const std::string& name) const {
  if (name.empty()) return false;
  if (FindEntry(name)) return true;
  if (!LooseFilePath(name).empty()) return true;
  return !CdRootPath(name).empty();
}

void TVrFileManager::LoadFile(TStream& target, const std::string& name) {
  auto* mem = dynamic_cast<TKvMemoryStream*>(&target);
  if (mem) mem->Clear();
  auto load_host = [&](const std::string& host) {
    TKvBigFileStream f(host, TFileMode::fmOpenRead);
    if (f.GetSize() > 0) target.CopyFrom(f, 0);
  };
  bool done = false;
  if (std::string p = LooseFilePath(name); !p.empty()) {
    load_host(p);
    done = true;
  }
  for (size_t i = 0; !done && i < collections_.size(); ++i) {
    TVrFileCollection& c = *collections_[i];
    TVrFile* e = c.FindFile(name);
    if (!e) continue;
    if (e->Memory || c.Carrier()) {
      c.ReadEntry(*e, target);
      done = true;
    }
  }
  if (!done) {
    std::string p = CdRootPath(name);
    if (p.empty()) throw EQuenError(Format(msg::kFileNotFound, name.c_str()));
    load_host(p);
  }
  if (mem) mem->SetPosition(0);
}

int32_t TVrFileManager::NextLockId() const {
  for (int32_t id = 0;; ++id) {
    bool used =
        std::any_of(locks_.begin(), locks_.end(), [&](const TVrLockData& l) { return l.Id == id; });
    if (!used) return id;
  }
}

std::string TVrFileManager::GetRealPath(const std::string& name) {
  if (std::string p = LooseFilePath(name); !p.empty()) return p;
  for (const auto& c : collections_) {
    if (!c->FindFile(name)) continue;
    for (auto& l : locks_) {
      if (sjis::EqualsNoCase(l.Name, name)) {
        ++l.RefCount;
        return l.Path;
      }
    }
    if (temp_folder_.empty()) {
      temp_folder_ = platform::MakePrivateTempDir("quenplay-");
      if (temp_folder_.empty()) throw EQuenError(msg::kCannotCreateWorkFile);
    }
    TVrLockData lock;
    lock.Id = NextLockId();
    lock.Name = name;
    lock.RefCount = 1;
    char id[16];
    std::snprintf(id, sizeof id, "~qn%.8X", static_cast<unsigned>(lock.Id));
    // The extension is kept so that decoders can tell the kind of file.
    lock.Path = WithSlash(temp_folder_) + id + platform::Cp932ToUtf8(GameExtension(name));
    if (platform::PathExists(lock.Path)) {
      platform::MakeWritable(lock.Path);
      platform::RemoveFile(lock.Path);
    }
    {
      auto f = platform::HostFile::Open(lock.Path, platform::OpenMode::kCreateExclusive);
      if (!f) throw EQuenError(msg::kCannotCreateWorkFile);
      TKvMemoryStream content;
      LoadFile(content, name);
      const std::string& d = content.Data();
      if (f->WriteAt(d.data(), static_cast<int64_t>(d.size()), 0) !=
          static_cast<int64_t>(d.size())) {
        f.reset();
        platform::RemoveFile(lock.Path);
        throw EQuenError(msg::kCannotCreateWorkFile);
      }
    }
    locks_.push_back(lock);
    return lock.Path;
  }
  if (std::string p = CdRootPath(name); !p.empty()) return p;
  return name;
}

std::unique_ptr<TStream> TVrFileManager::OpenRange(const std::string& name) {
  if (std::string p = LooseFilePath(name); !p.empty())
    return std::make_unique<TFileRangeStream>(p, 0, 0);
  for (const auto& c : collections_) {
    TVrFile* e = c->FindFile(name);
    if (!e) continue;
    if (e->Memory) return std::make_unique<TKvMemoryStream>(e->Memory->Data());
    if (!c->Carrier()) continue;
    if (e->Stored != 1) {
      // A compressed entry has no window of its own bytes; hand out its content instead.
      auto m = std::make_unique<TKvMemoryStream>();
      c->ReadEntry(*e, *m);
      m->SetPosition(0);
      return m;
    }
    if (auto* res = dynamic_cast<TKvBigResourceStream*>(c->Carrier())) {
      // Resource carriers are opened afresh so that the range has its own handle.
      return std::make_unique<TRangeStream>(
          std::make_unique<TKvBigFileStream>(c->FileName(), TFileMode::fmOpenRead),
          res->FileOffset() + e->Offset, e->Size);
    }
    return std::make_unique<TRangeStream>(
        std::make_unique<TKvBigFileStream>(c->FileName(), TFileMode::fmOpenRead), e->Offset,
        e->Size);
  }
  if (std::string p = CdRootPath(name); !p.empty())
    return std::make_unique<TFileRangeStream>(p, 0, 0);
  throw EQuenError(Format(msg::kFileNotFound, name.c_str()));
}

void TVrFileManager::ListFolder(const std::string& folder, std::vector<std::string>& list) const {
  for (const auto& c : collections_) c->ListFolder(folder, list);
  auto add_host = [&](const std::string& root) {
    if (root.empty()) return;
    std::string dir = folder.empty() ? WithSlash(root) : ResolveGamePath(root, folder, true);
    if (dir.empty()) return;
    // Sorted, so that runs do not depend on the order the host file system keeps.
    auto entries = platform::ListDirectory(dir);
    std::sort(entries.begin(), entries.end(), [](auto& a, auto& b) { return a.name < b.name; });
    for (const auto& e : entries) {
      if (e.is_dir) continue;
      std::string n = HostRelativeToGameName(e.name);
      bool listed = std::any_of(list.begin(), list.end(),
                                [&](const std::string& x) { return sjis::EqualsNoCase(x, n); });
      if (!listed) list.push_back(n);
    }
  };
  add_host(game_folder_);
  for (const auto& r : cd_roots_) add_host(r);
}

bool TVrFileManager::PromptForDisk(int disk) {
  if (!prompt_host_) return false;
  for (int i = CollectionCount() - 1; i >= 0; --i) {
    const std::string& file = collections_[static_cast<size_t>(i)]->FileName();
    for (const auto& root : cd_roots_) {
      if (!file.empty() && file.size() >= root.size() &&
          sjis::EqualsNoCase(file.substr(0, root.size()), root)) {
        RemoveArchive(i);
        break;
      }
    }
  }
  for (;;) {
    if (prompt_host_->AskForDisk(disk)) {
      bool registered = false;
      for (const auto& root : cd_roots_) {
        std::string dat = ResolveGamePath(root, "game.dat");
        std::string inst = ResolveGamePath(root, "install.dat");
        if (dat.empty() || inst.empty()) continue;
        if (!prompt_host_->InstallMatches(inst, disk - 1)) continue;
        if (AddArchive(dat) >= 0) registered = true;
      }
      if (registered) return true;
    } else if (prompt_host_->AskExit()) {
      prompt_host_->RequestTerminate();
      return false;
    }
  }
}

}  // namespace quen
