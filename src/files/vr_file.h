// The "vf" archive: a directory of scrambled names and offsets followed by the entries' data,
// each stored as is or as a zlib stream. Carriers: a stand-alone file, a trailer at the end of
// an executable, a side directory file, or a resource of a Windows executable.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/stream.h"
#include "files/big_stream.h"
#include "files/hash_collection.h"

namespace quen {

class TVrFile : public THashItem {
 public:
  int64_t Offset = 0;
  std::unique_ptr<TKvMemoryStream> Memory;  // a memory entry's content, used instead of the carrier
  int64_t Size = 0;
  uint8_t Stored = 0;  // 1: as is; 0: zlib stream
  int32_t FileTime = 0;
  uint32_t Checksum = 0;
  uint8_t ChecksumMode = 0;  // 1: over the uncompressed content; 0: over the stored bytes
};

class TVrFileCollection : public THashCollection {
 public:
  static constexpr char kEofName[] = "\\EOF\\";
  static constexpr int kWriteVersion = 102;
  static constexpr int64_t kStoreLimit = 5242880;  // 5 MiB and more is never compressed
  // Mode given to the entries this player adds: the checksum covers the uncompressed content.
  static constexpr uint8_t kNewEntryChecksumMode = 1;

  TVrFileCollection() = default;
  ~TVrFileCollection() override;

  // Opens a file carrier: ".exe"/".scr" by their trailer, otherwise the side directory
  // (same name, ".ext") when there is one, else the file itself. A missing file leaves the
  // collection empty.
  void Open(const std::string& host_path);
  // Opens a file whose archive is found through the trailer, whatever its extension.
  void OpenTrailer(const std::string& host_path);
  void OpenResource(const std::string& module_path, const std::string& name,
                    const std::string& type);
  // Reads an archive held in memory (the directory at position 0).
  void OpenMemory(std::string bytes);
  // Tells the carrier by the file's content: a trailer ("qn" at the end), the "DUMMY"/"BINTYPE"
  // resource of a Windows executable, or a stand-alone archive.
  void OpenDetect(const std::string& host_path);
  // Reads a directory from the source's position B; data offsets are checked against
  // carrier_size.
  void ReadDirectory(TStream& source, int64_t carrier_size);

  int Version() const { return version_; }
  const std::string& FileName() const { return file_name_; }
  // Host folder of the carrier, ending in "/".
  const std::string& Folder() const { return folder_; }
  void SetFolder(const std::string& host_folder);
  TKvBigStream* Carrier() const { return carrier_.get(); }

  // Real entries (the end marker excluded).
  int EntryCount() const;
  TVrFile* Entry(int index) const {
    return index < EntryCount() ? ItemAs<TVrFile>(index) : nullptr;
  }
  TVrFile* FindFile(const std::string& name) const;

  // Seeks to the entry, reads its stored bytes and inflates them when needed.
  void ReadEntry(const std::string& name, TStream& target);
  void ReadEntry(const TVrFile& entry, TStream& target);
  // The stored bytes of an entry as they lie in the carrier.
  std::string ReadStored(const TVrFile& entry);

  TVrFile* AddEntry(const std::string& name);
  TVrFile* AddMemoryEntry(const std::string& name);
  void DeleteEntry(const std::string& name);

  // Writes a version-102 archive at the target's position (offsets relative to it). Entry
  // data comes from memory entries, from files in the collection's folder, or from the
  // carrier. Returns true on success; an entry that fails raises "エラー:" + its name.
  bool Write(TStream& target);

  // Appends the file-name parts of entries in folder (compared ignoring case), skipping names
  // already in the list.
  void ListFolder(const std::string& folder, std::vector<std::string>& list) const;

  // Tells whether a ".BRX" file's content is already compressed; the layered-image code plugs
  // in its own answer, until then such files count as not compressed.
  static std::function<bool(const std::string& content)> BrxAlreadyCompressed;

 private:
  void OpenTrailerArchive(const std::string& host_path);

  void Reset(const std::string& host_path);
  void WriteEntryData(TVrFile& entry, TStream& target, int64_t& offset_out);

  std::unique_ptr<TKvBigStream> carrier_;
  std::string file_name_;
  std::string folder_;
  int version_ = 0;
};

// CRC-32 (reflected EDB88320, initial FFFFFFFF, final complement).
uint32_t Crc32(const void* data, size_t size, uint32_t crc = 0);
// The whole stream from its start, read in 1 MiB chunks.
uint32_t StreamCrc32(TStream& stream);
// zlib at the fastest level.
std::string ZCompress(const std::string& data);
// Inflates a zlib stream into the target; damaged data raises the read error.
void ZInflate(const void* data, size_t size, TStream& target);

}  // namespace quen
