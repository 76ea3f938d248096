// Which installation disc holds which folder of the game data.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/stream.h"

namespace quen {

class TFolderDiskList {
 public:
  struct Entry {
    std::string Folder;  // game folder name, "\" separated
    int32_t Disk = 0;
  };

  void Clear() { entries_.clear(); }
  void Add(std::string folder, int32_t disk) { entries_.push_back({std::move(folder), disk}); }
  int Count() const { return static_cast<int>(entries_.size()); }
  const std::vector<Entry>& Entries() const { return entries_; }

  // The disk of the deepest listed folder that holds the file (the file itself may be listed);
  // 0 when none does.
  int32_t DiskOf(const std::string& file_name) const;

  void LoadFromStream(TStream& s);
  void SaveToStream(TStream& s) const;

 private:
  std::vector<Entry> entries_;
};

}  // namespace quen
