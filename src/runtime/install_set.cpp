#include "runtime/install_set.h"

#include <cstdio>

#include "base/error.h"
#include "base/sjis.h"
#include "files/big_stream.h"
#include "platform/host_fs.h"

namespace quen {

namespace {

int ParseVersionDigits(const std::string& d) {
  int v = 0;
  for (char c : d) {
    if (c < '0' || c > '9') RaiseReadError();
    v = v * 10 + (c - '0');
  }
  return v;
}

}  // namespace

void TQuenInstallSet::LoadFromStream(TStream& s) {
  TQuenInstallSet r;  // filled completely before anything of this one changes
  int64_t start = s.GetPosition();
  r.Version = 0;
  if (s.Remaining() >= 5) {
    std::string tag = ReadBytes(s, 5);
    if (tag[0] == 'i' && tag[1] == 's')
      r.Version = ParseVersionDigits(tag.substr(2));
    else
      s.SetPosition(start);
  }
  const int v = r.Version;
  r.DiskIndex = ReadInt32(s);
  r.Title = ReadString(s);
  for (auto& x : r.Strings1) x = ReadString(s);
  r.Byte1 = ReadByte(s);
  r.String2 = ReadString(s);
  r.Byte2 = ReadByte(s);
  int32_t n = ReadInt32(s);
  r.String3 = ReadString(s);
  r.Int1 = ReadInt32(s);
  r.Byte3 = ReadByte(s);
  r.Byte4 = ReadByte(s);
  for (auto& x : r.Strings4) x = ReadString(s);
  const int64_t width = v > 99 ? 8 : 4;
  if (n < 0 || n > s.Remaining() / (4 * width)) RaiseReadError();
  auto read_number = [&]() -> int64_t { return width == 8 ? ReadInt64(s) : ReadInt32(s); };
  r.Items.resize(static_cast<size_t>(n));
  for (auto& item : r.Items)
    for (auto& x : item) x = read_number();
  for (auto& x : r.Numbers) x = read_number();
  r.Byte5 = ReadByte(s);
  if (v > 100) r.Byte6 = ReadByte(s);
  if (v > 101) r.Files = ReadStringList(s);
  if (v > 102) r.FullInstall = ReadByte(s) != 0;
  if (v > 103) r.Byte7 = ReadByte(s);
  if (v > 104) r.Byte8 = ReadByte(s);
  if (v > 105) r.List9 = ReadStringList(s);
  if (v > 106) r.String10 = ReadString(s);
  if (v > 107)
    for (auto& x : r.Strings11) x = ReadString(s);
  r.Tail = ReadBytes(s, s.Remaining());
  *this = std::move(r);
}

void TQuenInstallSet::SaveToStream(TStream& s) const {
  char tag[8];
  std::snprintf(tag, sizeof tag, "is%03d", kWriteVersion);
  s.WriteBuffer(tag, 5);
  WriteInt32(s, DiskIndex);
  WriteString(s, Title);
  for (const auto& x : Strings1) WriteString(s, x);
  WriteByte(s, Byte1);
  WriteString(s, String2);
  WriteByte(s, Byte2);
  WriteInt32(s, static_cast<int32_t>(Items.size()));
  WriteString(s, String3);
  WriteInt32(s, Int1);
  WriteByte(s, Byte3);
  WriteByte(s, Byte4);
  for (const auto& x : Strings4) WriteString(s, x);
  for (const auto& item : Items)
    for (int64_t x : item) WriteInt64(s, x);
  for (int64_t x : Numbers) WriteInt64(s, x);
  WriteByte(s, Byte5);
  WriteByte(s, Byte6);
  WriteStringList(s, Files);
  WriteByte(s, FullInstall ? 1 : 0);
  WriteByte(s, Byte7);
  WriteByte(s, Byte8);
  WriteStringList(s, List9);
  WriteString(s, String10);
  for (const auto& x : Strings11) WriteString(s, x);
  if (!Tail.empty()) s.WriteBuffer(Tail.data(), static_cast<int64_t>(Tail.size()));
}

void TQuenInstallSet::LoadFromFile(const std::string& host_path) {
  TKvBigFileStream f(host_path, TFileMode::fmOpenRead);
  LoadFromStream(f);
}

void TQuenInstallSet::SaveToFile(const std::string& host_path) const {
  TKvMemoryStream m;
  SaveToStream(m);
  if (!platform::WriteFileAtomically(host_path, m.Data())) RaiseWriteError();
}

bool TQuenInstallSet::AddFile(const std::string& name) {
  for (const auto& f : Files)
    if (sjis::EqualsNoCase(f, name)) return false;
  Files.push_back(name);
  return true;
}

}  // namespace quen
