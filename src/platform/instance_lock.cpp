#include "platform/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace quen::platform {

namespace {

std::string& TestFolder() {
  static std::string folder;
  return folder;
}

bool PrivateFolderOk(const std::string& dir) {
  struct stat st;
  if (lstat(dir.c_str(), &st) != 0) {
    if (mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return false;
    if (lstat(dir.c_str(), &st) != 0) return false;
  }
  // Somebody else's folder, or one others may write to, is not ours to trust.
  return S_ISDIR(st.st_mode) && st.st_uid == getuid() && (st.st_mode & 0022) == 0;
}

}  // namespace

std::string InstanceLock::RuntimeFolder() {
  if (!TestFolder().empty()) return TestFolder();
  if (const char* xdg = std::getenv("XDG_RUNTIME_DIR"); xdg && xdg[0] == '/') {
    std::string dir = std::string(xdg) + "/quenplay";
    if (PrivateFolderOk(dir)) return dir;
  }
  const char* tmp = std::getenv("TMPDIR");
  std::string base = (tmp && tmp[0] == '/') ? tmp : "/tmp";
  std::string dir = base + "/quenplay-" + std::to_string(getuid());
  return PrivateFolderOk(dir) ? dir : std::string();
}

void InstanceLock::SetRuntimeFolderForTesting(std::string folder) {
  TestFolder() = std::move(folder);
}

std::string InstanceLockFileName(const std::string& key) {
  std::string name;
  for (unsigned char c : key) {
    bool plain = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                 c == '-' || c == '_' || c == '.';
    if (plain) {
      name += static_cast<char>(c);
    } else {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%%%02X", c);
      name += hex;
    }
  }
  if (name.size() > 180 || name.empty() || name[0] == '.') {
    // FNV-1a keeps long folder paths within a file name's length.
    uint64_t h = 1469598103934665603ull;
    for (unsigned char c : key) h = (h ^ c) * 1099511628211ull;
    char buf[32];
    std::snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(h));
    name = std::string("h-") + buf;
  }
  return name + ".lock";
}

std::unique_ptr<InstanceLock> InstanceLock::Acquire(const std::string& key, std::string& error) {
  std::string dir = RuntimeFolder();
  if (dir.empty()) {
    error = "no private runtime folder for the lock file";
    return nullptr;
  }
  std::string path = dir + "/" + InstanceLockFileName(key);
  int fd = open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
  struct stat st;
  if (fd < 0 || fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != getuid()) {
    if (fd >= 0) close(fd);
    error = "cannot use the lock file " + path;
    return nullptr;
  }
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    int err = errno;
    close(fd);
    error =
        err == EWOULDBLOCK ? "another player runs this game (" + path + ")" : "cannot lock " + path;
    return nullptr;
  }
  return std::unique_ptr<InstanceLock>(new InstanceLock(fd, std::move(path)));
}

InstanceLock::~InstanceLock() {
  // The file stays: removing it would race with a player that has just opened it.
  if (fd_ >= 0) close(fd_);
}

}  // namespace quen::platform
