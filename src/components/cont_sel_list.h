// The layout of a preview menu as the authoring tool stores it: the menu's size and one record
// per choice button, with its position, its pictures and overlays by state, its cursor and its
// radio group. Versions 100 to 106 are read; the writer stores the reading order.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quen {

class TStream;

struct TContSelButton {
  int32_t X = 0, Y = 0;
  std::string Picture;
  uint8_t CaptureMask = 0;
  std::string Name;
  std::string HoverPicture, LeavePicture, ClickedPicture;
  std::string DisabledPicture, DisabledHoverPicture, DisabledLeavePicture;
  std::string EnterOverlay, LeaveOverlay, ClickOverlay;
  std::string DisabledEnterOverlay, DisabledLeaveOverlay;
  int32_t OverlayX = 0, OverlayY = 0;
  std::string Cursor;
  std::string CheckedPicture, CheckedHoverPicture, CheckedLeavePicture;
  std::string CheckedEnterOverlay, CheckedLeaveOverlay;
  int32_t Group = 0;
  std::string CheckedClickOverlay;
  std::string GroupClickOverlay;

  // Every file name of the record (all strings but the name), in reading order.
  std::vector<std::string*> FileNames();
};

class TContSelList {
 public:
  static constexpr int32_t kOldestVersion = 100;
  static constexpr int32_t kNewestVersion = 106;

  int32_t Width = 0, Height = 0;
  std::vector<TContSelButton> Buttons;
  int32_t Version = kNewestVersion;

  int32_t ChoiceCount() const { return static_cast<int32_t>(Buttons.size()); }
  // A new record at the end, named "Button%.2d" after its choice number.
  TContSelButton& Add();

  // Reads a whole layout; file names are made absolute against base (the folder of the
  // layout's name, with its trailing "\"); with keepNames they stay as stored. Raises the
  // format or version message, or the stream error for a short file; on failure the list is
  // left as it was.
  void LoadFromStream(TStream& s, const std::string& base, bool keepNames = false);
  // Writes the fields the list's version stores, in reading order.
  void SaveToStream(TStream& s) const;
};

// The folder of a game file name with its trailing "\" ("" for a bare name).
std::string GameFolderOf(const std::string& name);
// A stored name made absolute against base: names of one character or less, names beginning
// with "\" and names with ':' second are kept; each leading "..\" drops one folder of the base
// (never past its root); anything else is put after the base.
std::string AbsoluteLayoutName(const std::string& name, const std::string& base);

}  // namespace quen
