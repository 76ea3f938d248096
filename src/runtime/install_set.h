// The installation record "install.dat" written by the game's installer. The player reads the
// disk index, the title, the full-install flag and the installed-file list; every other field
// belongs to the installer and is kept exactly as read so that writing the file back loses
// nothing.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "base/stream.h"

namespace quen {

class TQuenInstallSet {
 public:
  static constexpr char kFileName[] = "install.dat";
  static constexpr int kWriteVersion = 108;

  // Version the record was read in: 0 for a file without the "is" tag.
  int Version = kWriteVersion;
  int32_t DiskIndex = 0;
  std::string Title;
  std::array<std::string, 3> Strings1;
  uint8_t Byte1 = 0;
  std::string String2;
  uint8_t Byte2 = 0;
  std::string String3;
  int32_t Int1 = 0;
  uint8_t Byte3 = 0;
  uint8_t Byte4 = 0;
  std::array<std::string, 2> Strings4;
  // One group of four numbers per item; files before version 100 keep them as 4-byte numbers,
  // which read sign-extended.
  std::vector<std::array<int64_t, 4>> Items;
  std::array<int64_t, 4> Numbers{};
  uint8_t Byte5 = 0;
  uint8_t Byte6 = 0;                     // from version 101
  std::vector<std::string> Files;        // from version 102: the installed-file list
  bool FullInstall = false;              // from version 103
  uint8_t Byte7 = 0;                     // from version 104
  uint8_t Byte8 = 0;                     // from version 105
  std::vector<std::string> List9;        // from version 106
  std::string String10;                  // from version 107
  std::array<std::string, 2> Strings11;  // from version 108
  // Bytes after the last known field (a later installer's additions), written back unchanged.
  std::string Tail;

  // Fields the older version lacked stay at the neutral values above.
  void LoadFromStream(TStream& s);
  // Always written as version 108.
  void SaveToStream(TStream& s) const;

  void LoadFromFile(const std::string& host_path);
  // Written through a temporary file renamed into place.
  void SaveToFile(const std::string& host_path) const;

  // Adds a file name to the installed-file list unless it is there already (ignoring case).
  // Returns true when it was added.
  bool AddFile(const std::string& name);
};

}  // namespace quen
