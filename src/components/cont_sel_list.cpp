#include "components/cont_sel_list.h"

#include <cstdio>

#include "base/error.h"
#include "base/sjis.h"
#include "base/stream.h"
#include "components/messages.h"

namespace quen {
namespace {

// The folders of a base, each with its trailing "\", split by characters.
std::vector<std::string> Folders(const std::string& base) {
  std::vector<std::string> out;
  size_t start = 0;
  sjis::ForEachChar(base, [&](size_t i, size_t n) {
    if (n == 1 && base[i] == '\\') {
      out.push_back(base.substr(start, i + 1 - start));
      start = i + 1;
    }
  });
  if (start < base.size()) out.push_back(base.substr(start));
  return out;
}

// The smallest number of bytes one record of a version takes: its integers, its byte and the
// counts of its strings.
int64_t MinimumRecord(int32_t v) {
  int64_t strings = 9;  // picture, name, hover, leave, clicked, three overlays, cursor
  int64_t ints = 4;     // x, y, overlay x, y
  if (v > 100) strings += 1;
  if (v > 101) strings += 2;
  if (v > 102) strings += 2;
  if (v > 103) {
    strings += 5;
    ints += 1;
  }
  if (v > 104) strings += 1;
  if (v > 105) strings += 1;
  return 4 * (strings + ints) + 1;
}

}  // namespace

std::vector<std::string*> TContSelButton::FileNames() {
  return {&Picture,
          &HoverPicture,
          &LeavePicture,
          &ClickedPicture,
          &DisabledPicture,
          &DisabledHoverPicture,
          &DisabledLeavePicture,
          &EnterOverlay,
          &LeaveOverlay,
          &ClickOverlay,
          &DisabledEnterOverlay,
          &DisabledLeaveOverlay,
          &Cursor,
          &CheckedPicture,
          &CheckedHoverPicture,
          &CheckedLeavePicture,
          &CheckedEnterOverlay,
          &CheckedLeaveOverlay,
          &CheckedClickOverlay,
          &GroupClickOverlay};
}

TContSelButton& TContSelList::Add() {
  Buttons.emplace_back();
  char name[32];
  std::snprintf(name, sizeof name, "Button%.2d", ChoiceCount());
  Buttons.back().Name = name;
  return Buttons.back();
}

std::string GameFolderOf(const std::string& name) {
  size_t cut = 0;
  sjis::ForEachChar(name, [&](size_t i, size_t n) {
    if (n == 1 && name[i] == '\\') cut = i + 1;
  });
  return name.substr(0, cut);
}

std::string AbsoluteLayoutName(const std::string& name, const std::string& base) {
  if (name.size() <= 1 || name[0] == '\\' || (name.size() >= 2 && name[1] == ':')) return name;
  std::vector<std::string> folders = Folders(base);
  size_t at = 0;
  bool parent = false;
  while (name.compare(at, 3, "..\\") == 0) {
    parent = true;
    at += 3;
    // More "..\" than folders stops at the root.
    if (!folders.empty()) folders.pop_back();
  }
  if (!parent) return base + name;
  std::string out;
  for (const std::string& f : folders) out += f;
  return out + name.substr(at);
}

void TContSelList::LoadFromStream(TStream& s, const std::string& base, bool keepNames) {
  char magic[12];
  if (s.Remaining() < 12 || s.Read(magic, 12) != 12 || std::string(magic, 12) != "QuenPrevMenu")
    RaiseError(msg::kPrevMenuBadFormat);
  char digits[3];
  if (s.Remaining() < 3 || s.Read(digits, 3) != 3) RaiseError(msg::kPrevMenuBadVersion);
  int32_t version = 0;
  for (char d : digits) {
    if (d < '0' || d > '9') RaiseError(msg::kPrevMenuBadVersion);
    version = version * 10 + (d - '0');
  }
  if (version < kOldestVersion || version > kNewestVersion) RaiseError(msg::kPrevMenuBadVersion);
  const int32_t w = ReadInt32(s), h = ReadInt32(s);
  int32_t count = ReadInt32(s);
  if (count < 0) count = 0;
  // Every record needs its fixed bytes: a count beyond them is damage, found before allocating.
  if (count > s.Remaining() / MinimumRecord(version)) RaiseReadError();
  TContSelList read;
  read.Version = version;
  read.Width = w < 0 ? 0 : w;
  read.Height = h < 0 ? 0 : h;
  read.Buttons.reserve(static_cast<size_t>(count));
  const int32_t v = version;
  for (int32_t i = 0; i < count; ++i) {
    TContSelButton& b = read.Add();
    b.X = ReadInt32(s);
    b.Y = ReadInt32(s);
    b.Picture = ReadString(s);
    b.CaptureMask = ReadByte(s);
    b.Name = ReadString(s);
    b.HoverPicture = ReadString(s);
    b.LeavePicture = ReadString(s);
    b.ClickedPicture = ReadString(s);
    if (v > 100) b.DisabledPicture = ReadString(s);
    if (v > 102) {
      b.DisabledHoverPicture = ReadString(s);
      b.DisabledLeavePicture = ReadString(s);
    }
    b.EnterOverlay = ReadString(s);
    b.LeaveOverlay = ReadString(s);
    b.ClickOverlay = ReadString(s);
    if (v > 101) {
      b.DisabledEnterOverlay = ReadString(s);
      b.DisabledLeaveOverlay = ReadString(s);
    }
    b.OverlayX = ReadInt32(s);
    b.OverlayY = ReadInt32(s);
    b.Cursor = ReadString(s);
    if (v > 103) {
      b.CheckedPicture = ReadString(s);
      b.CheckedHoverPicture = ReadString(s);
      b.CheckedLeavePicture = ReadString(s);
      b.CheckedEnterOverlay = ReadString(s);
      b.CheckedLeaveOverlay = ReadString(s);
      b.Group = ReadInt32(s);
    }
    if (v > 104) b.CheckedClickOverlay = ReadString(s);
    if (v > 105) b.GroupClickOverlay = ReadString(s);
    if (!keepNames)
      for (std::string* f : b.FileNames()) *f = AbsoluteLayoutName(*f, base);
  }
  *this = std::move(read);
}

void TContSelList::SaveToStream(TStream& s) const {
  const int32_t v = Version;
  s.WriteBuffer("QuenPrevMenu", 12);
  char digits[4];
  std::snprintf(digits, sizeof digits, "%03d", v % 1000 < 0 ? 0 : v % 1000);
  s.WriteBuffer(digits, 3);
  WriteInt32(s, Width);
  WriteInt32(s, Height);
  WriteInt32(s, ChoiceCount());
  for (const TContSelButton& b : Buttons) {
    WriteInt32(s, b.X);
    WriteInt32(s, b.Y);
    WriteString(s, b.Picture);
    WriteByte(s, b.CaptureMask);
    WriteString(s, b.Name);
    WriteString(s, b.HoverPicture);
    WriteString(s, b.LeavePicture);
    WriteString(s, b.ClickedPicture);
    if (v > 100) WriteString(s, b.DisabledPicture);
    if (v > 102) {
      WriteString(s, b.DisabledHoverPicture);
      WriteString(s, b.DisabledLeavePicture);
    }
    WriteString(s, b.EnterOverlay);
    WriteString(s, b.LeaveOverlay);
    WriteString(s, b.ClickOverlay);
    if (v > 101) {
      WriteString(s, b.DisabledEnterOverlay);
      WriteString(s, b.DisabledLeaveOverlay);
    }
    WriteInt32(s, b.OverlayX);
    WriteInt32(s, b.OverlayY);
    WriteString(s, b.Cursor);
    if (v > 103) {
      WriteString(s, b.CheckedPicture);
      WriteString(s, b.CheckedHoverPicture);
      WriteString(s, b.CheckedLeavePicture);
      WriteString(s, b.CheckedEnterOverlay);
      WriteString(s, b.CheckedLeaveOverlay);
      WriteInt32(s, b.Group);
    }
    if (v > 104) WriteString(s, b.CheckedClickOverlay);
    if (v > 105) WriteString(s, b.GroupClickOverlay);
  }
}

}  // namespace quen
