#include "base/stream.h"

#include <algorithm>
#include <cstring>

#include "base/error.h"
#include "base/extended.h"
#include "base/messages.h"

namespace quen {

void RaiseReadError() {
  throw EQuenError(msg::kStreamReadError);
}
void RaiseWriteError() {
  throw EQuenError(msg::kStreamWriteError);
}

int64_t TStream::GetSize() {
  int64_t pos = Seek(0, TSeekOrigin::soCurrent);
  int64_t size = Seek(0, TSeekOrigin::soEnd);
  Seek(pos, TSeekOrigin::soBeginning);
  return size;
}

void TStream::SetSize(int64_t) {
  RaiseWriteError();
}

int64_t TStream::Remaining() {
  int64_t r = GetSize() - GetPosition();
  return r > 0 ? r : 0;
}

void TStream::ReadBuffer(void* buffer, int64_t count) {
  if (count < 0 || (count > 0 && Read(buffer, count) != count)) RaiseReadError();
}

void TStream::WriteBuffer(const void* buffer, int64_t count) {
  if (count < 0 || (count > 0 && Write(buffer, count) != count)) RaiseWriteError();
}

int64_t TStream::CopyFrom(TStream& source, int64_t count) {
  if (count == 0) {
    source.SetPosition(0);
    count = source.GetSize();
  }
  if (count < 0) RaiseReadError();
  constexpr int64_t kChunk = 1 << 20;
  std::vector<char> buf(static_cast<size_t>(std::min(count, kChunk)));
  int64_t left = count;
  while (left > 0) {
    int64_t n = std::min(left, kChunk);
    source.ReadBuffer(buf.data(), n);
    WriteBuffer(buf.data(), n);
    left -= n;
  }
  return count;
}

// --- TKvMemoryStream

int64_t TKvMemoryStream::Read(void* buffer, int64_t count) {
  if (count <= 0 || pos_ >= GetSize()) return 0;
  int64_t n = std::min(count, GetSize() - pos_);
  std::memcpy(buffer, data_.data() + pos_, static_cast<size_t>(n));
  pos_ += n;
  return n;
}

int64_t TKvMemoryStream::Write(const void* buffer, int64_t count) {
  if (count <= 0) return 0;
  // Memory streams keep 32-bit sizes like the format's own.
  if (pos_ + count > INT32_MAX) RaiseWriteError();
  size_t end = static_cast<size_t>(pos_ + count);
  if (end > data_.size()) data_.resize(end);
  std::memcpy(data_.data() + pos_, buffer, static_cast<size_t>(count));
  pos_ += count;
  return count;
}

int64_t TKvMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
  int64_t base = origin == TSeekOrigin::soBeginning ? 0
                 : origin == TSeekOrigin::soCurrent ? pos_
                                                    : GetSize();
  int64_t target = base + offset;
  pos_ = target < 0 ? 0 : target;
  return pos_;
}

void TKvMemoryStream::SetSize(int64_t size) {
  if (size < 0 || size > INT32_MAX) RaiseWriteError();
  data_.resize(static_cast<size_t>(size));
  if (pos_ > size) pos_ = size;
}

// --- TViewStream

int64_t TViewStream::Read(void* buffer, int64_t count) {
  if (count <= 0 || pos_ >= GetSize()) return 0;
  int64_t n = std::min(count, GetSize() - pos_);
  std::memcpy(buffer, bytes_.data() + pos_, static_cast<size_t>(n));
  pos_ += n;
  return n;
}

int64_t TViewStream::Seek(int64_t offset, TSeekOrigin origin) {
  int64_t base = origin == TSeekOrigin::soBeginning ? 0
                 : origin == TSeekOrigin::soCurrent ? pos_
                                                    : GetSize();
  int64_t target = base + offset;
  pos_ = std::clamp<int64_t>(target, 0, GetSize());
  return pos_;
}

// --- helpers

namespace {
template <typename T>
void WriteLE(TStream& s, T v) {
  uint8_t b[sizeof(T)];
  auto u = static_cast<std::make_unsigned_t<T>>(v);
  for (size_t i = 0; i < sizeof(T); ++i) b[i] = static_cast<uint8_t>(u >> (8 * i));
  s.WriteBuffer(b, sizeof b);
}
template <typename T>
T ReadLE(TStream& s) {
  uint8_t b[sizeof(T)];
  s.ReadBuffer(b, sizeof b);
  std::make_unsigned_t<T> u = 0;
  for (size_t i = 0; i < sizeof(T); ++i)
    u = static_cast<decltype(u)>(u | (static_cast<decltype(u)>(b[i]) << (8 * i)));
  return static_cast<T>(u);
}
}  // namespace

void WriteInt32(TStream& s, int32_t v) {
  WriteLE(s, v);
}
void WriteUInt32(TStream& s, uint32_t v) {
  WriteLE(s, v);
}
void WriteInt64(TStream& s, int64_t v) {
  WriteLE(s, v);
}
void WriteInt16(TStream& s, int16_t v) {
  WriteLE(s, v);
}
void WriteByte(TStream& s, uint8_t v) {
  s.WriteBuffer(&v, 1);
}
void WriteBool(TStream& s, bool v) {
  WriteByte(s, v ? 1 : 0);
}

void WriteString(TStream& s, std::string_view v) {
  if (v.size() > INT32_MAX) RaiseWriteError();
  WriteInt32(s, static_cast<int32_t>(v.size()));
  s.WriteBuffer(v.data(), static_cast<int64_t>(v.size()));
}

void WriteStringList(TStream& s, const std::vector<std::string>& v) {
  if (v.size() > INT32_MAX) RaiseWriteError();
  WriteInt32(s, static_cast<int32_t>(v.size()));
  for (const auto& e : v) WriteString(s, e);
}

void WriteExtended(TStream& s, long double v) {
  uint8_t b[kExtendedSize];
  EncodeExtended(v, b);
  s.WriteBuffer(b, kExtendedSize);
}

int32_t ReadInt32(TStream& s) {
  return ReadLE<int32_t>(s);
}
uint32_t ReadUInt32(TStream& s) {
  return ReadLE<uint32_t>(s);
}
int64_t ReadInt64(TStream& s) {
  return ReadLE<int64_t>(s);
}
int16_t ReadInt16(TStream& s) {
  return ReadLE<int16_t>(s);
}
uint8_t ReadByte(TStream& s) {
  return ReadLE<uint8_t>(s);
}
bool ReadBool(TStream& s) {
  return ReadByte(s) != 0;
}

std::string ReadBytes(TStream& s, int64_t count) {
  if (count < 0 || count > s.Remaining()) RaiseReadError();
  std::string out(static_cast<size_t>(count), '\0');
  s.ReadBuffer(out.data(), count);
  return out;
}

std::string ReadString(TStream& s) {
  int32_t n = ReadInt32(s);
  if (n <= 0) return {};
  return ReadBytes(s, n);
}

std::vector<std::string> ReadStringList(TStream& s) {
  int32_t n = ReadInt32(s);
  if (n <= 0) return {};
  // Each string needs at least its 4-byte count.
  if (n > s.Remaining() / 4) RaiseReadError();
  std::vector<std::string> out;
  out.reserve(static_cast<size_t>(n));
  for (int32_t i = 0; i < n; ++i) out.push_back(ReadString(s));
  return out;
}

long double ReadExtended(TStream& s) {
  uint8_t b[kExtendedSize];
  s.ReadBuffer(b, kExtendedSize);
  if (!IsFiniteExtended(b)) RaiseReadError();
  return DecodeExtended(b);
}

}  // namespace quen
