// What the decoders read from: the player's streams (files, archive ranges, memory) seen as a
// plain sequence of bytes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace quen::platform {

class IByteSource {
 public:
  virtual ~IByteSource() = default;
  // Up to count bytes at the position; the bytes read (0 at the end, -1 on failure).
  virtual int64_t Read(void* buffer, int64_t count) = 0;
  // Moves to an absolute position; the new position, or -1.
  virtual int64_t Seek(int64_t position) = 0;
  virtual int64_t Tell() = 0;
  // -1 when unknown.
  virtual int64_t Size() = 0;
};

// Bytes held in memory by somebody else.
class MemoryByteSource : public IByteSource {
 public:
  MemoryByteSource(const void* data, int64_t size)
      : data_(static_cast<const uint8_t*>(data)), size_(size < 0 ? 0 : size) {}
  int64_t Read(void* buffer, int64_t count) override;
  int64_t Seek(int64_t position) override;
  int64_t Tell() override { return pos_; }
  int64_t Size() override { return size_; }

 private:
  const uint8_t* data_;
  int64_t size_;
  int64_t pos_ = 0;
};

// A host file; null when it cannot be opened.
std::unique_ptr<IByteSource> OpenFileByteSource(const std::string& host_path);

}  // namespace quen::platform
