// The ordinary stream every format is read from and written to, an in-memory stream, and the
// little-endian helpers that all stored formats share.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quen {

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

class TStream {
 public:
  virtual ~TStream() = default;
  // Reads up to count bytes; returns the number read (0 at the end).
  virtual int64_t Read(void* buffer, int64_t count) = 0;
  // Writes up to count bytes; returns the number written.
  virtual int64_t Write(const void* buffer, int64_t count) = 0;
  // Moves the position and returns the new one.
  virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;
  virtual int64_t GetSize();
  // Streams that cannot change their size raise the write error.
  virtual void SetSize(int64_t size);

  int64_t GetPosition() { return Seek(0, TSeekOrigin::soCurrent); }
  void SetPosition(int64_t pos) { Seek(pos, TSeekOrigin::soBeginning); }
  // Bytes between the position and the end, never negative.
  int64_t Remaining();

  // All or nothing: a short read or write raises the stream's error.
  void ReadBuffer(void* buffer, int64_t count);
  void WriteBuffer(const void* buffer, int64_t count);

  // Copies count bytes from the source's position; count 0 copies the whole source from its
  // start. Returns the bytes copied; a short source raises the read error.
  int64_t CopyFrom(TStream& source, int64_t count);
};

// A growable stream in memory, the carrier of archive memory entries and save data.
class TKvMemoryStream : public TStream {
 public:
  TKvMemoryStream() = default;
  explicit TKvMemoryStream(std::string data) : data_(std::move(data)) {}

  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t GetSize() override { return static_cast<int64_t>(data_.size()); }
  void SetSize(int64_t size) override;

  void Clear() {
    data_.clear();
    pos_ = 0;
  }
  const std::string& Data() const { return data_; }
  std::string& Data() { return data_; }
  const uint8_t* Memory() const { return reinterpret_cast<const uint8_t*>(data_.data()); }

 private:
  std::string data_;
  int64_t pos_ = 0;
};

// A read-only stream over bytes that somebody else owns and keeps alive.
class TViewStream : public TStream {
 public:
  explicit TViewStream(std::string_view bytes) : bytes_(bytes) {}
  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void*, int64_t) override { return 0; }
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t GetSize() override { return static_cast<int64_t>(bytes_.size()); }

 private:
  std::string_view bytes_;
  int64_t pos_ = 0;
};

// Stream helpers: all numbers little-endian; a string is an Int32 byte count and the bytes
// (nothing when the count is 0 or below); a string list is an Int32 count and the strings.
// Every reader checks counts against the bytes left and raises the read error.
void WriteInt32(TStream& s, int32_t v);
void WriteUInt32(TStream& s, uint32_t v);
void WriteInt64(TStream& s, int64_t v);
void WriteInt16(TStream& s, int16_t v);
void WriteByte(TStream& s, uint8_t v);
void WriteBool(TStream& s, bool v);
void WriteString(TStream& s, std::string_view v);
void WriteStringList(TStream& s, const std::vector<std::string>& v);
void WriteExtended(TStream& s, long double v);

int32_t ReadInt32(TStream& s);
uint32_t ReadUInt32(TStream& s);
int64_t ReadInt64(TStream& s);
int16_t ReadInt16(TStream& s);
uint8_t ReadByte(TStream& s);
bool ReadBool(TStream& s);
std::string ReadString(TStream& s);
std::vector<std::string> ReadStringList(TStream& s);
// Raises the read error for infinities, NaNs and unnormal encodings as well.
long double ReadExtended(TStream& s);
// Reads exactly count bytes (checked against the bytes left before allocating).
std::string ReadBytes(TStream& s, int64_t count);

[[noreturn]] void RaiseReadError();
[[noreturn]] void RaiseWriteError();

}  // namespace quen
