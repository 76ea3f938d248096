// Host file system services: the only place that calls POSIX file functions. Paths here are
// host paths in UTF-8.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quen::platform {

enum class OpenMode {
  kRead,             // existing file, shared reading
  kReadWrite,        // existing file, reading and writing
  kCreate,           // created or truncated, writing (and reading)
  kCreateExclusive,  // created new, never through a symbolic link, mode 0600
};

class HostFile {
 public:
  // nullptr when the file cannot be opened.
  static std::unique_ptr<HostFile> Open(const std::string& path, OpenMode mode);
  ~HostFile();
  HostFile(const HostFile&) = delete;
  HostFile& operator=(const HostFile&) = delete;

  int64_t Size() const;
  // Positional I/O; return the bytes moved (short only at the end of the file or on failure).
  int64_t ReadAt(void* buffer, int64_t count, int64_t offset);
  int64_t WriteAt(const void* buffer, int64_t count, int64_t offset);
  bool Truncate(int64_t size);
  bool Sync();
  bool Writable() const { return writable_; }

 private:
  friend bool WriteFileAtomically(const std::string&, const std::string&);
  HostFile(int fd, bool writable) : fd_(fd), writable_(writable) {}
  int fd_;
  bool writable_;
};

struct DirEntry {
  std::string name;
  bool is_dir = false;
};

bool PathExists(const std::string& path);
bool IsRegularFile(const std::string& path);
bool IsDirectory(const std::string& path);
// The path itself is a symbolic link (not followed).
bool IsSymlink(const std::string& path);
// This process may write the file or create files in the folder.
bool IsWritable(const std::string& path);
// Creates a new empty file named prefix + six random characters + suffix, readable by others as
// a new file would be; returns its name, or empty when it cannot be made.
std::string CreateUniqueFile(const std::string& prefix, const std::string& suffix);
std::optional<int64_t> FileSize(const std::string& path);
// Modification time as a DOS date and time (local time): date in the high word.
int32_t FileAgeDos(const std::string& path);
bool RemoveFile(const std::string& path);
// Replaces the target atomically.
bool RenameFile(const std::string& from, const std::string& to);
// Writes the bytes to a new temporary file beside path and renames it into place, so a crash
// or a full disk never leaves a half-written file; false on failure (the old file untouched).
bool WriteFileAtomically(const std::string& path, const std::string& bytes);
// The whole content of a regular file; false when it cannot be read or is larger than max_bytes.
bool ReadWholeFile(const std::string& path, std::string& out, int64_t max_bytes = int64_t{1} << 31);
bool MakeDirectory(const std::string& path, unsigned mode = 0755);
// Gives the owner write permission (the counterpart of clearing a read-only attribute).
bool MakeWritable(const std::string& path);
// Entries of a folder without "." and ".."; empty when it cannot be read.
std::vector<DirEntry> ListDirectory(const std::string& path);
// The absolute path with symbolic links resolved, or empty.
std::string CanonicalPath(const std::string& path);
// A new private folder (mode 0700) under the system temporary folder; empty on failure.
std::string MakePrivateTempDir(const std::string& prefix);
// Removes a folder and everything in it (never following symbolic links).
void RemoveTree(const std::string& path);
// The running program's own file.
std::string ExecutablePath();
// Mount points of mounted optical-disc file systems (iso9660, udf), each ending in "/".
std::vector<std::string> OpticalMountPoints();
// The file system type of the mount that holds path ("iso9660", "ext4" ...), or empty.
std::string FileSystemTypeOf(const std::string& path);

}  // namespace quen::platform
