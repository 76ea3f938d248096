// One player per game folder: an advisory lock on a file in the per-user runtime folder.
#pragma once

#include <memory>
#include <string>

namespace quen::platform {

class InstanceLock {
 public:
  // key names the game folder (any text; it is made into a file name here). Returns null when
  // another process holds the lock for the same key, and also when the lock cannot be set up
  // (no private runtime folder, a lock file that is not ours): error then says why.
  static std::unique_ptr<InstanceLock> Acquire(const std::string& key, std::string& error);
  ~InstanceLock();
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  const std::string& Path() const { return path_; }

  // The per-user folder the lock files live in: $XDG_RUNTIME_DIR, or a private folder under
  // the temporary folder. Tests point it elsewhere.
  static std::string RuntimeFolder();
  static void SetRuntimeFolderForTesting(std::string folder);

 private:
  InstanceLock(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
  int fd_;
  std::string path_;
};

// The lock file name made from a key: readable when short, a hash when long.
std::string InstanceLockFileName(const std::string& key);

}  // namespace quen::platform
