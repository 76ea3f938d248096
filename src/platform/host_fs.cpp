#include "platform/host_fs.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <mutex>
#include <set>
#include <sstream>
#include <vector>

namespace quen::platform {

std::unique_ptr<HostFile> HostFile::Open(const std::string& path, OpenMode mode) {
  int flags = O_CLOEXEC;
  bool writable = true;
  switch (mode) {
    case OpenMode::kRead:
      flags |= O_RDONLY;
      writable = false;
      break;
    case OpenMode::kReadWrite:
      flags |= O_RDWR;
      break;
    case OpenMode::kCreate:
      flags |= O_RDWR | O_CREAT | O_TRUNC;
      break;
    case OpenMode::kCreateExclusive:
      flags |= O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW;
      break;
  }
  int fd = ::open(path.c_str(), flags, mode == OpenMode::kCreateExclusive ? 0600 : 0644);
  if (fd < 0) return nullptr;
  struct stat st;
  if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    ::close(fd);
    return nullptr;
  }
  return std::unique_ptr<HostFile>(new HostFile(fd, writable));
}

HostFile::~HostFile() {
  ::close(fd_);
}

int64_t HostFile::Size() const {
  struct stat st;
  if (::fstat(fd_, &st) != 0) return 0;
  return static_cast<int64_t>(st.st_size);
}

int64_t HostFile::ReadAt(void* buffer, int64_t count, int64_t offset) {
  int64_t done = 0;
  auto* p = static_cast<char*>(buffer);
  while (done < count) {
    size_t want = static_cast<size_t>(std::min<int64_t>(count - done, 1 << 30));
    ssize_t n = ::pread(fd_, p + done, want, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += n;
  }
  return done;
}

int64_t HostFile::WriteAt(const void* buffer, int64_t count, int64_t offset) {
  if (!writable_) return 0;
  int64_t done = 0;
  auto* p = static_cast<const char*>(buffer);
  while (done < count) {
    size_t want = static_cast<size_t>(std::min<int64_t>(count - done, 1 << 30));
    ssize_t n = ::pwrite(fd_, p + done, want, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += n;
  }
  return done;
}

bool HostFile::Truncate(int64_t size) {
  return ::ftruncate(fd_, static_cast<off_t>(size)) == 0;
}
bool HostFile::Sync() {
  return ::fsync(fd_) == 0;
}

bool PathExists(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

bool IsRegularFile(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool IsDirectory(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::optional<int64_t> FileSize(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  return static_cast<int64_t>(st.st_size);
}

int32_t FileAgeDos(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return -1;
  time_t t = st.st_mtime;
  struct tm lt;
  if (!::localtime_r(&t, &lt) || lt.tm_year < 80) return -1;
  uint32_t date =
      static_cast<uint32_t>(((lt.tm_year - 80) << 9) | ((lt.tm_mon + 1) << 5) | lt.tm_mday);
  uint32_t time = static_cast<uint32_t>((lt.tm_hour << 11) | (lt.tm_min << 5) | (lt.tm_sec / 2));
  return static_cast<int32_t>((date << 16) | time);
}

bool RemoveFile(const std::string& path) {
  return ::unlink(path.c_str()) == 0;
}
bool RenameFile(const std::string& from, const std::string& to) {
  return ::rename(from.c_str(), to.c_str()) == 0;
}
namespace {

// Temporary files of an atomic write to path are named path.~XXXXXX.tmp; the ones a killed
// writer left behind (ours, untouched for a minute) are removed before the next write.
void RemoveStaleTemporaries(const std::string& path) {
  // Once per target and process: a folder of many frames is not listed for every frame.
  static std::mutex mutex;
  static std::set<std::string> swept;
  {
    std::lock_guard<std::mutex> lock(mutex);
    if (!swept.insert(path).second) return;
  }
  const size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  const std::string prefix = (slash == std::string::npos ? path : path.substr(slash + 1)) + ".~";
  DIR* d = ::opendir(folder.c_str());
  if (!d) return;
  const time_t now = std::time(nullptr);
  std::vector<std::string> stale;
  while (dirent* e = ::readdir(d)) {
    const std::string name = e->d_name;
    if (name.size() <= prefix.size() + 4 || name.compare(0, prefix.size(), prefix) != 0 ||
        name.compare(name.size() - 4, 4, ".tmp") != 0)
      continue;
    const std::string full = (slash == std::string::npos ? std::string() : folder) + name;
    struct stat st;
    if (::lstat(full.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid() ||
        now - st.st_mtime < 60)
      continue;
    stale.push_back(full);
  }
  ::closedir(d);
  for (const std::string& f : stale) ::unlink(f.c_str());
}

}  // namespace

bool IsSymlink(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

bool IsWritable(const std::string& path) {
  return ::access(path.c_str(), W_OK) == 0;
}

namespace {

// Opens prefix + XXXXXX + suffix as a new file; -1 when it cannot be made.
int OpenUnique(std::string& name, const std::string& prefix, const std::string& suffix) {
  name = prefix + "XXXXXX" + suffix;
  const int fd = ::mkostemps(name.data(), static_cast<int>(suffix.size()), O_CLOEXEC);
  if (fd < 0) return -1;
  // mkstemp makes the file private; give it what a newly created file would get.
  static const mode_t kMask = [] {
    const mode_t m = ::umask(0);
    ::umask(m);
    return m;
  }();
  ::fchmod(fd, 0644 & ~kMask);
  return fd;
}

}  // namespace

std::string CreateUniqueFile(const std::string& prefix, const std::string& suffix) {
  std::string name;
  const int fd = OpenUnique(name, prefix, suffix);
  if (fd < 0) return {};
  ::close(fd);
  return name;
}

bool WriteFileAtomically(const std::string& path, const std::string& bytes) {
  if (path.empty()) return false;
  RemoveStaleTemporaries(path);
  std::string tmp;
  const int fd = OpenUnique(tmp, path + ".~", ".tmp");
  if (fd < 0) return false;
  HostFile f(fd, true);
  const auto size = static_cast<int64_t>(bytes.size());
  bool ok = f.WriteAt(bytes.data(), size, 0) == size && f.Sync();
  if (ok) ok = RenameFile(tmp, path);
  if (!ok) RemoveFile(tmp);
  return ok;
}

bool ReadWholeFile(const std::string& path, std::string& out, int64_t max_bytes) {
  auto f = HostFile::Open(path, OpenMode::kRead);
  if (!f || !IsRegularFile(path)) return false;
  const int64_t size = f->Size();
  if (size < 0 || size > max_bytes) return false;
  std::string data(static_cast<size_t>(size), '\0');
  if (f->ReadAt(data.data(), size, 0) != size) return false;
  out = std::move(data);
  return true;
}

bool MakeDirectory(const std::string& path, unsigned mode) {
  return ::mkdir(path.c_str(), static_cast<mode_t>(mode)) == 0 ||
         (errno == EEXIST && IsDirectory(path));
}
bool MakeWritable(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return false;
  return ::chmod(path.c_str(), st.st_mode | S_IWUSR) == 0;
}

std::vector<DirEntry> ListDirectory(const std::string& path) {
  std::vector<DirEntry> out;
  DIR* d = ::opendir(path.c_str());
  if (!d) return out;
  while (struct dirent* e = ::readdir(d)) {
    std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    bool dir = e->d_type == DT_DIR;
    if (e->d_type == DT_UNKNOWN || e->d_type == DT_LNK) dir = IsDirectory(path + "/" + name);
    out.push_back(DirEntry{name, dir});
  }
  ::closedir(d);
  return out;
}

std::string CanonicalPath(const std::string& path) {
  char* r = ::realpath(path.c_str(), nullptr);
  if (!r) return {};
  std::string s = r;
  std::free(r);
  return s;
}

std::string MakePrivateTempDir(const std::string& prefix) {
  const char* base = std::getenv("TMPDIR");
  std::string tmpl = std::string(base && *base ? base : "/tmp") + "/" + prefix + "XXXXXX";
  std::vector<char> buf(tmpl.begin(), tmpl.end());
  buf.push_back('\0');
  if (!::mkdtemp(buf.data())) return {};  // mkdtemp creates it with mode 0700
  return std::string(buf.data());
}

void RemoveTree(const std::string& path) {
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0) return;
  if (S_ISDIR(st.st_mode)) {
    for (const auto& e : ListDirectory(path)) RemoveTree(path + "/" + e.name);
    ::rmdir(path.c_str());
  } else {
    ::unlink(path.c_str());
  }
}

std::string ExecutablePath() {
  char buf[PATH_MAX];
  ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return {};
  return std::string(buf, static_cast<size_t>(n));
}

namespace {
// /proc/self/mountinfo escapes spaces and a few other bytes as \ooo.
std::string UnescapeMountField(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 3 < s.size()) {
      int v = 0;
      bool ok = true;
      for (size_t k = 1; k <= 3; ++k) {
        char c = s[i + k];
        if (c < '0' || c > '7') ok = false;
        v = v * 8 + (c - '0');
      }
      if (ok) {
        out.push_back(static_cast<char>(v));
        i += 3;
        continue;
      }
    }
    out.push_back(s[i]);
  }
  return out;
}

struct Mount {
  std::string point;
  std::string type;
};

std::vector<Mount> ReadMounts() {
  std::vector<Mount> mounts;
  std::ifstream in("/proc/self/mountinfo");
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream ls(line);
    std::string id, parent, devno, root, point, tok;
    ls >> id >> parent >> devno >> root >> point;
    while (ls >> tok && tok != "-") {
    }
    std::string type;
    ls >> type;
    if (!point.empty() && !type.empty()) mounts.push_back(Mount{UnescapeMountField(point), type});
  }
  return mounts;
}
}  // namespace

std::vector<std::string> OpticalMountPoints() {
  std::vector<std::string> out;
  for (const auto& m : ReadMounts()) {
    if (m.type != "iso9660" && m.type != "udf") continue;
    std::string p = m.point;
    if (p.empty() || p.back() != '/') p += '/';
    out.push_back(p);
  }
  return out;
}

std::string FileSystemTypeOf(const std::string& path) {
  std::string canon = CanonicalPath(path);
  if (canon.empty()) return {};
  // The longest mount point that is a prefix of the path holds it.
  std::string best_type;
  size_t best_len = 0;
  for (const auto& m : ReadMounts()) {
    const std::string& p = m.point;
    bool prefix = canon == p || (canon.compare(0, p.size(), p) == 0 &&
                                 (p == "/" || canon.size() == p.size() || canon[p.size()] == '/'));
    if (prefix && p.size() >= best_len) {
      best_len = p.size();
      best_type = m.type;
    }
  }
  return best_type;
}

}  // namespace quen::platform
