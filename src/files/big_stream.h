// Streams with 64-bit positions for archives, saves and media: a file spread over part files,
// memory, a resource of a Windows executable, a buffered directory reader, and range windows.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "base/stream.h"

namespace quen {

namespace platform {
class HostFile;
}

class TKvBigStream : public TStream {
 public:
  int64_t ReadBuf(void* buffer, int64_t count) { return Read(buffer, count); }
  int64_t WriteBuf(const void* buffer, int64_t count) { return Write(buffer, count); }
  // Copies count bytes (0: the whole source from its start) in 1 MiB chunks.
  int64_t CopyFromBig(TKvBigStream& source, int64_t count) { return CopyFrom(source, count); }
  int64_t CopyFromStream(TStream& source, int64_t count) { return CopyFrom(source, count); }
  // Reads count bytes from the current position and appends them to the target.
  int64_t CopyToStream(TStream& target, int64_t count);
};

enum class TFileMode {
  fmOpenRead,       // shared reading
  fmOpenReadWrite,  // reading and writing existing parts
  fmCreate,         // writing only: existing parts are deleted first
};

// A large file kept as numbered parts: the first is the file itself, the i-th (i >= 1) is the name
// without its extension followed by ".%.3d". Each part holds at most part_size bytes.
class TKvBigFileStream : public TKvBigStream {
 public:
  static constexpr int64_t kDefaultPartSize = 0x40000000;

  // Raises "%s:ファイルがありません" when a file to read does not exist, and the write error
  // when a file cannot be created.
  TKvBigFileStream(const std::string& host_path, TFileMode mode,
                   int64_t part_size = kDefaultPartSize);
  ~TKvBigFileStream() override;

  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t GetSize() override;

  static std::string PartName(const std::string& host_path, int index);
  int PartCount() const { return static_cast<int>(parts_.size()); }

 private:
  bool EnsurePart(int index);

  std::string path_;
  TFileMode mode_;
  int64_t part_size_;
  int64_t pos_ = 0;
  std::vector<std::unique_ptr<platform::HostFile>> parts_;
};

// A memory stream that can be saved to and loaded from a file.
class TKvBigMemoryStream : public TKvBigStream {
 public:
  int64_t Read(void* buffer, int64_t count) override { return mem_.Read(buffer, count); }
  int64_t Write(const void* buffer, int64_t count) override { return mem_.Write(buffer, count); }
  int64_t Seek(int64_t offset, TSeekOrigin origin) override { return mem_.Seek(offset, origin); }
  int64_t GetSize() override { return mem_.GetSize(); }
  void SetSize(int64_t size) override { mem_.SetSize(size); }

  // Written to a temporary file beside the target and renamed into place, so a failure never
  // destroys the previous file. Raises the write error.
  void SaveToFile(const std::string& host_path);
  void LoadFromFile(const std::string& host_path);
  const std::string& Data() const { return mem_.Data(); }
  std::string& Data() { return mem_.Data(); }

 private:
  TKvMemoryStream mem_;
};

// A read-only view of a named resource of a given type in a Windows (PE) module file.
class TKvBigResourceStream : public TKvBigStream {
 public:
  // Raises "リソースが見つかりません" when the module has no such resource or it is empty.
  TKvBigResourceStream(const std::string& module_path, const std::string& name,
                       const std::string& type);
  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void*, int64_t) override { return 0; }
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t GetSize() override { return size_; }
  // Position of the resource's first byte in the module file.
  int64_t FileOffset() const { return offset_; }

 private:
  std::unique_ptr<platform::HostFile> file_;
  int64_t offset_ = 0;
  int64_t size_ = 0;
  int64_t pos_ = 0;
};

// Buffered sequential reader; on destruction the source is moved back by the bytes buffered
// but not consumed, so it stands right after the last byte read.
class TKvBuffBigStream {
 public:
  static constexpr int64_t kBufferSize = 102400;
  explicit TKvBuffBigStream(TStream& source) : source_(source) {}
  ~TKvBuffBigStream();
  TKvBuffBigStream(const TKvBuffBigStream&) = delete;
  TKvBuffBigStream& operator=(const TKvBuffBigStream&) = delete;

  int64_t Read(void* buffer, int64_t count);
  void ReadBuffer(void* buffer, int64_t count);
  int32_t ReadInt32();
  // Bytes left: buffered plus what the source still holds.
  int64_t Remaining();

 private:
  TStream& source_;
  std::vector<char> buf_;
  size_t begin_ = 0;
};

// A window [start, start + length) of an owned big stream. Every operation takes the stream's
// own lock, so media threads may read while the main thread asks for the size.
class TRangeStream : public TStream {
 public:
  TRangeStream(std::unique_ptr<TKvBigStream> source, int64_t start, int64_t length);
  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void*, int64_t) override { return 0; }
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t GetSize() override { return length_; }

 private:
  std::mutex lock_;
  std::unique_ptr<TKvBigStream> source_;
  int64_t start_;
  int64_t length_;
  int64_t pos_ = 0;
};

// A range over a file opened for shared reading (its own handle); length 0 runs to the end.
class TFileRangeStream : public TRangeStream {
 public:
  TFileRangeStream(const std::string& host_path, int64_t length, int64_t start);
};

// A range over a resource of a module file.
class TResourceRangeStream : public TRangeStream {
 public:
  TResourceRangeStream(const std::string& module_path, const std::string& name, int64_t length,
                       int64_t start, const std::string& type);
};

}  // namespace quen
