#include "runtime/atomic_file.h"

#include <cstdio>

#include "platform/host_fs.h"

namespace quen {

bool WriteFileAtomically(const std::string& host_path, const std::string& bytes) {
  if (host_path.empty()) return false;
  for (int attempt = 0; attempt < 100; ++attempt) {
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, ".~%d.tmp", attempt);
    std::string tmp = host_path + suffix;
    auto f = platform::HostFile::Open(tmp, platform::OpenMode::kCreateExclusive);
    if (!f) {
      if (platform::PathExists(tmp)) continue;  // a leftover of an earlier run
      return false;
    }
    const auto size = static_cast<int64_t>(bytes.size());
    bool ok = f->WriteAt(bytes.data(), size, 0) == size && f->Sync();
    f.reset();
    if (ok) ok = platform::RenameFile(tmp, host_path);
    if (!ok) platform::RemoveFile(tmp);
    return ok;
  }
  return false;
}

}  // namespace quen
