#include "files/big_stream.h"

#include <algorithm>
#include <cstring>

#include "base/error.h"
#include "files/messages.h"
#include "files/pe_resource.h"
#include "platform/host_fs.h"
#include "platform/text_encoding.h"

namespace quen {

namespace {
int64_t SeekTarget(int64_t pos, int64_t size, int64_t offset, TSeekOrigin origin) {
  switch (origin) {
    case TSeekOrigin::soBeginning:
      return offset;
    case TSeekOrigin::soCurrent:
      return pos + offset;
    case TSeekOrigin::soEnd:
      return size + offset;
  }
  return pos;
}

[[noreturn]] void RaiseNotFound(const std::string& host_path) {
  throw EQuenError(Format(msg::kFileNotFound, platform::Utf8ToCp932(host_path).c_str()));
}
}  // namespace

int64_t TKvBigStream::CopyToStream(TStream& target, int64_t count) {
  if (count <= 0) return 0;
  constexpr int64_t kChunk = 1 << 20;
  std::vector<char> buf(static_cast<size_t>(std::min(count, kChunk)));
  int64_t done = 0;
  while (done < count) {
    int64_t n = Read(buf.data(), std::min(count - done, kChunk));
    if (n <= 0) break;
    target.WriteBuffer(buf.data(), n);
    done += n;
  }
  return done;
}

// --- TKvBigFileStream

std::string TKvBigFileStream::PartName(const std::string& host_path, int index) {
  if (index == 0) return host_path;
  size_t slash = host_path.find_last_of('/');
  size_t dot = host_path.find_last_of('.');
  std::string stem = (dot != std::string::npos && (slash == std::string::npos || dot > slash))
                         ? host_path.substr(0, dot)
                         : host_path;
  char suffix[16];
  std::snprintf(suffix, sizeof suffix, ".%.3d", index);
  return stem + suffix;
}

TKvBigFileStream::TKvBigFileStream(const std::string& host_path, TFileMode mode, int64_t part_size)
    : path_(host_path), mode_(mode), part_size_(part_size > 0 ? part_size : kDefaultPartSize) {
  if (mode == TFileMode::fmCreate) {
    // Stale parts after a gap would be read as part of the new file once it grows that far,
    // so every numbered part goes, not only the unbroken run.
    platform::RemoveFile(path_);
    for (int i = 1; i <= 999; ++i) platform::RemoveFile(PartName(path_, i));
    if (!EnsurePart(0)) RaiseWriteError();
    return;
  }
  auto open_mode =
      mode == TFileMode::fmOpenRead ? platform::OpenMode::kRead : platform::OpenMode::kReadWrite;
  for (int i = 0;; ++i) {
    auto f = platform::HostFile::Open(PartName(path_, i), open_mode);
    if (!f) break;
    parts_.push_back(std::move(f));
  }
  if (parts_.empty()) RaiseNotFound(path_);
}

TKvBigFileStream::~TKvBigFileStream() {
  if (mode_ != TFileMode::fmOpenRead)
    for (auto& p : parts_) p->Sync();
}

bool TKvBigFileStream::EnsurePart(int index) {
  if (mode_ == TFileMode::fmOpenRead) return false;
  while (static_cast<int>(parts_.size()) <= index) {
    auto f = platform::HostFile::Open(PartName(path_, static_cast<int>(parts_.size())),
                                      platform::OpenMode::kCreate);
    if (!f) return false;
    parts_.push_back(std::move(f));
  }
  return true;
}

int64_t TKvBigFileStream::GetSize() {
  if (parts_.empty()) return 0;
  return static_cast<int64_t>(parts_.size() - 1) * part_size_ + parts_.back()->Size();
}

int64_t TKvBigFileStream::Seek(int64_t offset, TSeekOrigin origin) {
  int64_t target = SeekTarget(pos_, GetSize(), offset, origin);
  pos_ = std::max<int64_t>(0, target);
  return pos_;
}

int64_t TKvBigFileStream::Read(void* buffer, int64_t count) {
  int64_t done = 0;
  auto* p = static_cast<char*>(buffer);
  while (done < count) {
    int64_t part = pos_ / part_size_;
    if (part >= static_cast<int64_t>(parts_.size())) break;
    int64_t in_part = pos_ % part_size_;
    int64_t want = std::min(count - done, part_size_ - in_part);
    int64_t n = parts_[static_cast<size_t>(part)]->ReadAt(p + done, want, in_part);
    done += n;
    pos_ += n;
    if (n < want) break;
  }
  return done;
}

int64_t TKvBigFileStream::Write(const void* buffer, int64_t count) {
  int64_t done = 0;
  auto* p = static_cast<const char*>(buffer);
  while (done < count) {
    int64_t part = pos_ / part_size_;
    if (part > INT32_MAX || !EnsurePart(static_cast<int>(part))) break;
    int64_t in_part = pos_ % part_size_;
    int64_t want = std::min(count - done, part_size_ - in_part);
    int64_t n = parts_[static_cast<size_t>(part)]->WriteAt(p + done, want, in_part);
    done += n;
    pos_ += n;
    if (n < want) break;
  }
  return done;
}

// --- TKvBigMemoryStream

void TKvBigMemoryStream::SaveToFile(const std::string& host_path) {
  if (!platform::WriteFileAtomically(host_path, mem_.Data())) RaiseWriteError();
}

void TKvBigMemoryStream::LoadFromFile(const std::string& host_path) {
  auto f = platform::HostFile::Open(host_path, platform::OpenMode::kRead);
  if (!f) RaiseNotFound(host_path);
  int64_t size = f->Size();
  if (size > INT32_MAX) RaiseReadError();
  std::string data(static_cast<size_t>(size), '\0');
  if (f->ReadAt(data.data(), size, 0) != size) RaiseReadError();
  mem_ = TKvMemoryStream(std::move(data));
}

// --- TKvBigResourceStream

TKvBigResourceStream::TKvBigResourceStream(const std::string& module_path, const std::string& name,
                                           const std::string& type) {
  file_ = platform::HostFile::Open(module_path, platform::OpenMode::kRead);
  TPeResourceLocation loc;
  if (!file_ || !FindPeResource(*file_, name, type, loc) || loc.size == 0)
    throw EQuenError(msg::kResourceNotFound);
  offset_ = loc.offset;
  size_ = loc.size;
}

int64_t TKvBigResourceStream::Read(void* buffer, int64_t count) {
  if (count <= 0 || pos_ >= size_) return 0;
  int64_t n = file_->ReadAt(buffer, std::min(count, size_ - pos_), offset_ + pos_);
  pos_ += n;
  return n;
}

int64_t TKvBigResourceStream::Seek(int64_t offset, TSeekOrigin origin) {
  pos_ = std::max<int64_t>(0, SeekTarget(pos_, size_, offset, origin));
  return pos_;
}

// --- TKvBuffBigStream

TKvBuffBigStream::~TKvBuffBigStream() {
  int64_t unread = static_cast<int64_t>(buf_.size() - begin_);
  if (unread > 0) source_.Seek(-unread, TSeekOrigin::soCurrent);
}

int64_t TKvBuffBigStream::Read(void* buffer, int64_t count) {
  auto* p = static_cast<char*>(buffer);
  int64_t done = 0;
  while (done < count) {
    if (begin_ == buf_.size()) {
      int64_t fill = std::min(kBufferSize, source_.Remaining());
      buf_.resize(static_cast<size_t>(fill));
      begin_ = 0;
      int64_t got = fill > 0 ? source_.Read(buf_.data(), fill) : 0;
      buf_.resize(static_cast<size_t>(std::max<int64_t>(got, 0)));
      if (buf_.empty()) break;
    }
    size_t n = std::min(static_cast<size_t>(count - done), buf_.size() - begin_);
    std::memcpy(p + done, buf_.data() + begin_, n);
    begin_ += n;
    done += static_cast<int64_t>(n);
  }
  return done;
}

void TKvBuffBigStream::ReadBuffer(void* buffer, int64_t count) {
  if (count < 0 || Read(buffer, count) != count) RaiseReadError();
}

int32_t TKvBuffBigStream::ReadInt32() {
  uint8_t b[4];
  ReadBuffer(b, 4);
  return static_cast<int32_t>(b[0] | (b[1] << 8) | (b[2] << 16) |
                              (static_cast<uint32_t>(b[3]) << 24));
}

int64_t TKvBuffBigStream::Remaining() {
  return static_cast<int64_t>(buf_.size() - begin_) + source_.Remaining();
}

// --- TRangeStream

TRangeStream::TRangeStream(std::unique_ptr<TKvBigStream> source, int64_t start, int64_t length)
    : source_(std::move(source)),
      start_(std::max<int64_t>(0, start)),
      length_(std::max<int64_t>(0, length)) {
  // The window never reaches past the source.
  int64_t size = source_->GetSize();
  if (start_ > size) start_ = size;
  if (length_ > size - start_) length_ = size - start_;
}

int64_t TRangeStream::Read(void* buffer, int64_t count) {
  std::lock_guard<std::mutex> g(lock_);
  if (count <= 0 || pos_ >= length_) return 0;
  source_->SetPosition(start_ + pos_);
  int64_t n = source_->Read(buffer, std::min(count, length_ - pos_));
  pos_ += std::max<int64_t>(n, 0);
  return n;
}

int64_t TRangeStream::Seek(int64_t offset, TSeekOrigin origin) {
  std::lock_guard<std::mutex> g(lock_);
  pos_ = std::clamp<int64_t>(SeekTarget(pos_, length_, offset, origin), 0, length_);
  return pos_;
}

TFileRangeStream::TFileRangeStream(const std::string& host_path, int64_t length, int64_t start)
    : TRangeStream(std::make_unique<TKvBigFileStream>(host_path, TFileMode::fmOpenRead), start,
                   length == 0 ? INT64_MAX : length) {}

TResourceRangeStream::TResourceRangeStream(const std::string& module_path, const std::string& name,
                                           int64_t length, int64_t start, const std::string& type)
    : TRangeStream(std::make_unique<TKvBigResourceStream>(module_path, name, type), start,
                   length == 0 ? INT64_MAX : length) {}

}  // namespace quen
