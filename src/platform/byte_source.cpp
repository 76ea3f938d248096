#include "platform/byte_source.h"

#include <algorithm>
#include <cstring>

#include "platform/host_fs.h"

namespace quen::platform {

int64_t MemoryByteSource::Read(void* buffer, int64_t count) {
  if (count <= 0 || pos_ >= size_) return 0;
  const int64_t n = std::min(count, size_ - pos_);
  std::memcpy(buffer, data_ + pos_, static_cast<size_t>(n));
  pos_ += n;
  return n;
}

int64_t MemoryByteSource::Seek(int64_t position) {
  if (position < 0) return -1;
  pos_ = position;
  return pos_;
}

namespace {

class FileByteSource : public IByteSource {
 public:
  explicit FileByteSource(std::unique_ptr<HostFile> f)
      : file_(std::move(f)), size_(file_->Size()) {}
  int64_t Read(void* buffer, int64_t count) override {
    if (count <= 0 || pos_ >= size_) return 0;
    const int64_t n = file_->ReadAt(buffer, std::min(count, size_ - pos_), pos_);
    if (n < 0) return -1;
    pos_ += n;
    return n;
  }
  int64_t Seek(int64_t position) override {
    if (position < 0) return -1;
    pos_ = position;
    return pos_;
  }
  int64_t Tell() override { return pos_; }
  int64_t Size() override { return size_; }

 private:
  std::unique_ptr<HostFile> file_;
  int64_t size_;
  int64_t pos_ = 0;
};

}  // namespace

std::unique_ptr<IByteSource> OpenFileByteSource(const std::string& host_path) {
  auto f = HostFile::Open(host_path, OpenMode::kRead);
  if (!f) return nullptr;
  return std::make_unique<FileByteSource>(std::move(f));
}

}  // namespace quen::platform
