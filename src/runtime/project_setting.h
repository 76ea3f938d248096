// The project file "quen.qpb": the game's title, screen, pages, prompts, the project variables
// and the folder-disk list.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/stream.h"
#include "runtime/folder_disk_list.h"

namespace quen {

// One project variable: created at start-up unless a variable of that name exists already.
struct TParamData {
  uint8_t Type = 0;  // value type code: 1 integer, 2 real, 3 boolean, 4 string; others no value
  std::string Name;
  int32_t IntValue = 0;
  long double FloatValue = 0;
  bool BoolValue = false;
  std::string StrValue;

  void LoadFromStream(TStream& s);
  void SaveToStream(TStream& s) const;
  bool operator==(const TParamData& o) const;
};

class TProjectSetting {
 public:
  static constexpr char kFileName[] = "quen.qpb";
  static constexpr char kOriginalFileName[] = "/original_quen.qpb";
  static constexpr int32_t kMaxVersion = 115;
  static constexpr int32_t kMinWriteVersion = 103;

  int32_t Version = kMaxVersion;
  std::string Title;
  int32_t ScreenWidth = 0;
  int32_t ScreenHeight = 0;
  int32_t FullScreenWidth = 0;
  int32_t FullScreenHeight = 0;
  std::string StartPage;
  std::string EndPage;  // from version 110
  std::string RegistryKey;
  int32_t IdCode = 0;
  bool PersistentStatus = false;                         // from version 104
  bool YieldFlag = false;                                // from version 106
  std::string StreamingExtensions = ".wav.wma.ogg.mid";  // from version 109
  bool PauseWhenInactive = false;                        // from version 113
  uint8_t DiscByte = 0;                                  // from version 114
  std::string DiskPrompt;
  std::string ExitPrompt;
  std::vector<TParamData> Params;
  TFolderDiskList FolderDisks;

  // Fields a version lacks keep the values above. A version above 115 raises
  // "このバージョンには対応していません".
  void LoadFromStream(TStream& s);
  // Writes the fields of Version; versions above 115 raise the same message.
  void SaveToStream(TStream& s) const;
};

}  // namespace quen
