#include "runtime/folder_disk_list.h"

#include "base/sjis.h"

namespace quen {

namespace {

bool IsDelimiter(char c) {
  return c == '\\';
}

// Appends "\" unless the name already ends in a delimiter character (not a trail byte).
std::string WithDelimiter(const std::string& s) {
  if (!s.empty() && IsDelimiter(s.back()) && sjis::IsCharStart(s, s.size() - 1)) return s;
  return s + "\\";
}

// Position of the last delimiter character, skipping trail bytes; npos when none.
size_t LastDelimiter(const std::string& s) {
  size_t last = std::string::npos;
  sjis::ForEachChar(s, [&](size_t i, size_t n) {
    if (n == 1 && IsDelimiter(s[i])) last = i;
  });
  return last;
}

}  // namespace

int32_t TFolderDiskList::DiskOf(const std::string& file_name) const {
  std::string name = sjis::UpperAscii(file_name);
  while (!name.empty()) {
    const std::string key = WithDelimiter(name);
    for (const auto& e : entries_)
      if (sjis::EqualsNoCase(WithDelimiter(e.Folder), key)) return e.Disk;
    // Back to the enclosing folder. A name that already ends in its delimiter loses it first,
    // or the same folder would be tried forever.
    std::string shorter = name;
    size_t d = LastDelimiter(shorter);
    if (d != std::string::npos && d + 1 == shorter.size()) {
      shorter.pop_back();
      d = LastDelimiter(shorter);
    }
    name = d == std::string::npos ? std::string() : shorter.substr(0, d + 1);
  }
  return 0;
}

void TFolderDiskList::LoadFromStream(TStream& s) {
  int32_t n = ReadInt32(s);
  // Each entry takes at least its two numbers.
  if (n < 0 || n > s.Remaining() / 8) RaiseReadError();
  std::vector<Entry> list;
  list.reserve(static_cast<size_t>(n));
  for (int32_t i = 0; i < n; ++i) {
    Entry e;
    e.Folder = ReadString(s);
    e.Disk = ReadInt32(s);
    list.push_back(std::move(e));
  }
  entries_ = std::move(list);
}

void TFolderDiskList::SaveToStream(TStream& s) const {
  WriteInt32(s, static_cast<int32_t>(entries_.size()));
  for (const auto& e : entries_) {
    WriteString(s, e.Folder);
    WriteInt32(s, e.Disk);
  }
}

}  // namespace quen
