#include "files/vr_file.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

#include "base/error.h"
#include "base/sjis.h"
#include "files/host_path.h"
#include "files/kv_random.h"
#include "files/messages.h"
#include "platform/host_fs.h"
#include "platform/text_encoding.h"

namespace quen {

namespace {

constexpr uint32_t kScrambleIncrement = 1583926047u;

// Each 64-bit offset is XORed with the key sign-extended to 64 bits.
int64_t ScrambleOffset64(int64_t v, uint32_t k) {
  uint64_t key = static_cast<uint64_t>(static_cast<int64_t>(static_cast<int32_t>(k)));
  return static_cast<int64_t>(static_cast<uint64_t>(v) ^ key);
}

bool HasExtension(const std::string& host_path, const char* ext) {
  size_t slash = host_path.find_last_of('/');
  size_t dot = host_path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return false;
  return sjis::EqualsNoCase(host_path.substr(dot), ext);
}

std::string WithExtension(const std::string& host_path, const char* ext) {
  size_t slash = host_path.find_last_of('/');
  size_t dot = host_path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
    return host_path + ext;
  return host_path.substr(0, dot) + ext;
}

std::string FolderOf(const std::string& host_path) {
  size_t slash = host_path.find_last_of('/');
  return slash == std::string::npos ? std::string("./") : host_path.substr(0, slash + 1);
}

}  // namespace

std::function<bool(const std::string&)> TVrFileCollection::BrxAlreadyCompressed;

uint32_t Crc32(const void* data, size_t size, uint32_t crc) {
  const auto* p = static_cast<const Bytef*>(data);
  uLong c = crc;
  while (size > 0) {
    uInt n = static_cast<uInt>(std::min<size_t>(size, 1u << 30));
    c = crc32(c, p, n);
    p += n;
    size -= n;
  }
  return static_cast<uint32_t>(c);
}

uint32_t StreamCrc32(TStream& stream) {
  stream.SetPosition(0);
  std::vector<char> buf(1 << 20);
  uint32_t crc = 0;
  for (;;) {
    int64_t n = stream.Read(buf.data(), static_cast<int64_t>(buf.size()));
    if (n <= 0) break;
    crc = Crc32(buf.data(), static_cast<size_t>(n), crc);
  }
  return crc;
}

std::string ZCompress(const std::string& data) {
  uLongf bound = compressBound(static_cast<uLong>(data.size()));
  std::string out(bound, '\0');
  if (compress2(reinterpret_cast<Bytef*>(out.data()), &bound,
                reinterpret_cast<const Bytef*>(data.data()), static_cast<uLong>(data.size()),
                Z_BEST_SPEED) != Z_OK)
    RaiseWriteError();
  out.resize(bound);
  return out;
}

void ZInflate(const void* data, size_t size, TStream& target) {
  z_stream z{};
  if (inflateInit(&z) != Z_OK) RaiseReadError();
  z.next_in = const_cast<Bytef*>(static_cast<const Bytef*>(data));
  z.avail_in = static_cast<uInt>(size);
  std::vector<Bytef> out(1 << 16);
  int rc = Z_OK;
  try {
    while (rc != Z_STREAM_END) {
      z.next_out = out.data();
      z.avail_out = static_cast<uInt>(out.size());
      rc = inflate(&z, Z_NO_FLUSH);
      if (rc != Z_OK && rc != Z_STREAM_END) RaiseReadError();
      target.WriteBuffer(out.data(), static_cast<int64_t>(out.size() - z.avail_out));
      // No progress and no more input: the stream is cut short.
      if (rc == Z_OK && z.avail_in == 0 && z.avail_out != 0) RaiseReadError();
    }
  } catch (...) {
    inflateEnd(&z);
    throw;
  }
  inflateEnd(&z);
}

// --- reading

TVrFileCollection::~TVrFileCollection() = default;

void TVrFileCollection::SetFolder(const std::string& host_folder) {
  folder_ = WithSlash(host_folder);
}

void TVrFileCollection::Reset(const std::string& host_path) {
  Clear();
  carrier_.reset();
  version_ = 0;
  file_name_ = host_path;
  folder_ = platform::PathExists(host_path) ? FolderOf(host_path) : WithSlash(host_path);
}

namespace {

// A host path as it appears after a message (Shift-JIS where it converts).
std::string PathForMessage(const std::string& host_path) {
  std::string sjis;
  return platform::TryUtf8ToCp932(host_path, sjis) ? sjis : host_path;
}

}  // namespace

void TVrFileCollection::Open(const std::string& host_path) {
  if (HasExtension(host_path, ".exe") || HasExtension(host_path, ".scr")) {
    OpenTrailer(host_path);
    return;
  }
  Reset(host_path);
  if (!platform::IsRegularFile(host_path)) return;
  std::string side = WithExtension(host_path, ".ext");
  const bool has_side = side != host_path && platform::IsRegularFile(side);
  try {
    carrier_ = std::make_unique<TKvBigFileStream>(host_path, TFileMode::fmOpenRead);
    if (has_side) {
      TKvBigMemoryStream dir;
      dir.LoadFromFile(side);
      ReadDirectory(dir, carrier_->GetSize());
    } else {
      carrier_->SetPosition(0);
      ReadDirectory(*carrier_, carrier_->GetSize());
    }
  } catch (const EQuenError& e) {
    RaiseNamingFile(e, PathForMessage(has_side ? side : host_path));
  }
}

void TVrFileCollection::OpenTrailer(const std::string& host_path) {
  try {
    OpenTrailerArchive(host_path);
  } catch (const EQuenError& e) {
    RaiseNamingFile(e, PathForMessage(host_path));
  }
}

void TVrFileCollection::OpenTrailerArchive(const std::string& host_path) {
  Reset(host_path);
  if (!platform::IsRegularFile(host_path)) return;
  carrier_ = std::make_unique<TKvBigFileStream>(host_path, TFileMode::fmOpenRead);
  int64_t size = carrier_->GetSize();
  if (size < 6) RaiseReadError();
  carrier_->SetPosition(size - 6);
  int32_t dir = ReadInt32(*carrier_);
  char magic[2];
  carrier_->ReadBuffer(magic, 2);
  // Without the closing "qn" the number before it means nothing.
  if (magic[0] != 'q' || magic[1] != 'n' || dir < 0 || dir > size - 6) RaiseReadError();
  carrier_->SetPosition(dir);
  ReadDirectory(*carrier_, size - 6);
}

void TVrFileCollection::OpenResource(const std::string& module_path, const std::string& name,
                                     const std::string& type) {
  Reset(module_path);
  carrier_ = std::make_unique<TKvBigResourceStream>(module_path, name, type);
  carrier_->SetPosition(0);
  ReadDirectory(*carrier_, carrier_->GetSize());
}

void TVrFileCollection::OpenMemory(std::string bytes) {
  Reset(std::string());
  folder_.clear();
  auto mem = std::make_unique<TKvBigMemoryStream>();
  mem->Data() = std::move(bytes);
  carrier_ = std::move(mem);
  ReadDirectory(*carrier_, carrier_->GetSize());
}

void TVrFileCollection::OpenDetect(const std::string& host_path) {
  if (HasExtension(host_path, ".exe") || HasExtension(host_path, ".scr")) {
    OpenTrailer(host_path);
    return;
  }
  char head[2] = {0, 0};
  char tail[2] = {0, 0};
  if (auto f = platform::HostFile::Open(host_path, platform::OpenMode::kRead)) {
    int64_t size = f->Size();
    f->ReadAt(head, 2, 0);
    if (size >= 8) f->ReadAt(tail, 2, size - 2);
  }
  bool trailer = tail[0] == 'q' && tail[1] == 'n';
  if (trailer && !(head[0] == 'v' && head[1] == 'f')) {
    OpenTrailer(host_path);
  } else if (head[0] == 'M' && head[1] == 'Z') {
    OpenResource(host_path, "DUMMY", "BINTYPE");
  } else {
    Open(host_path);
  }
}

void TVrFileCollection::ReadDirectory(TStream& source, int64_t carrier_size) {
  Clear();
  const int64_t base = source.GetPosition();
  int version = 0;
  {
    char magic[2] = {0, 0};
    if (source.Read(magic, 2) == 2 && magic[0] == 'v' && magic[1] == 'f') {
      version = ReadInt32(source);
      if (version < 0 || version > kWriteVersion) RaiseReadError();
    } else {
      source.SetPosition(base);
    }
  }
  version_ = version;
  int32_t n = 0;
  std::vector<std::string> names;
  {
    TKvBuffBigStream in(source);
    n = in.ReadInt32();
    // Every entry needs at least its 4-byte name length and an offset.
    if (n < 0 || n > in.Remaining() / 8) RaiseReadError();
    names.reserve(static_cast<size_t>(n));
    TKvRandom key(static_cast<int32_t>(kScrambleIncrement));
    for (int32_t i = 0; i < n; ++i) {
      int32_t len = in.ReadInt32();
      if (len < 0 || len > in.Remaining()) RaiseReadError();
      std::string name(static_cast<size_t>(len), '\0');
      in.ReadBuffer(name.data(), len);
      if (version > 99)
        for (auto& c : name)
          c = static_cast<char>(static_cast<uint8_t>(c) ^ static_cast<uint8_t>(key.Next()));
      names.push_back(std::move(name));
    }
  }
  for (auto& name : names) Add(std::make_unique<TVrFile>(), std::move(name));
  Add(std::make_unique<TVrFile>(), kEofName);

  const size_t count = static_cast<size_t>(n) + 1;
  std::vector<int64_t> offsets(count);
  int64_t width = version > 100 ? 8 : 4;
  if (static_cast<int64_t>(count) > source.Remaining() / width) RaiseReadError();
  {
    TKvRandom key(static_cast<int32_t>(kScrambleIncrement));
    for (size_t i = 0; i < count; ++i) {
      if (version > 100) {
        int64_t v = ReadInt64(source);
        offsets[i] = ScrambleOffset64(v, key.Next());
      } else {
        uint32_t v = ReadUInt32(source);
        if (version >= 100) v ^= key.Next();
        offsets[i] = static_cast<int32_t>(v);
      }
    }
  }
  // Offsets must rise and stay inside the carrier, so no size comes out negative.
  int64_t limit = carrier_size - base;
  for (size_t i = 0; i < count; ++i) {
    if (offsets[i] < 0 || offsets[i] > limit) RaiseReadError();
    if (i > 0 && offsets[i] < offsets[i - 1]) RaiseReadError();
  }
  for (size_t i = 0; i < count; ++i) {
    auto* e = ItemAs<TVrFile>(static_cast<int>(i));
    e->Offset = offsets[i] + base;
    e->Stored = 0;
  }
  if (version > 100) {
    std::string flags = ReadBytes(source, n);
    for (int32_t i = 0; i < n; ++i)
      ItemAs<TVrFile>(i)->Stored = static_cast<uint8_t>(flags[static_cast<size_t>(i)]);
    if (static_cast<int64_t>(n) > source.Remaining() / 8) RaiseReadError();
    for (int32_t i = 0; i < n; ++i) ItemAs<TVrFile>(i)->FileTime = ReadInt32(source);
    for (int32_t i = 0; i < n; ++i) ItemAs<TVrFile>(i)->Checksum = ReadUInt32(source);
    if (version >= 102) {
      std::string modes = ReadBytes(source, n);
      for (int32_t i = 0; i < n; ++i)
        ItemAs<TVrFile>(i)->ChecksumMode = static_cast<uint8_t>(modes[static_cast<size_t>(i)]);
    }
  }
  for (int32_t i = 0; i < n; ++i) {
    auto* e = ItemAs<TVrFile>(i);
    e->Size = ItemAs<TVrFile>(i + 1)->Offset - e->Offset;
  }
}

int TVrFileCollection::EntryCount() const {
  int n = Count();
  if (n > 0 && Item(n - 1)->Name() == kEofName) --n;
  return n;
}

TVrFile* TVrFileCollection::FindFile(const std::string& name) const {
  int i = IndexOf(name);
  if (i < 0 || i >= EntryCount()) return nullptr;
  return ItemAs<TVrFile>(i);
}

std::string TVrFileCollection::ReadStored(const TVrFile& entry) {
  if (entry.Memory) return entry.Memory->Data();
  if (!carrier_ || entry.Size <= 0) return {};
  if (entry.Offset < 0 || entry.Size > carrier_->GetSize() - entry.Offset) RaiseReadError();
  std::string data(static_cast<size_t>(entry.Size), '\0');
  carrier_->SetPosition(entry.Offset);
  carrier_->ReadBuffer(data.data(), entry.Size);
  return data;
}

void TVrFileCollection::ReadEntry(const TVrFile& entry, TStream& target) {
  if (entry.Memory) {
    target.WriteBuffer(entry.Memory->Data().data(), entry.Memory->GetSize());
    return;
  }
  if (entry.Size <= 0) return;
  std::string stored = ReadStored(entry);
  if (entry.Stored == 1)
    target.WriteBuffer(stored.data(), static_cast<int64_t>(stored.size()));
  else
    ZInflate(stored.data(), stored.size(), target);
}

void TVrFileCollection::ReadEntry(const std::string& name, TStream& target) {
  const TVrFile* e = FindFile(name);
  if (!e) throw EQuenError(Format(msg::kFileNotFound, name.c_str()));
  ReadEntry(*e, target);
}

// --- editing

TVrFile* TVrFileCollection::AddEntry(const std::string& name) {
  // The end marker stays last.
  std::unique_ptr<THashItem> eof;
  if (Count() > 0 && Item(Count() - 1)->Name() == kEofName) eof = Extract(Count() - 1);
  auto* e = Add(std::make_unique<TVrFile>(), name);
  e->Stored = 1;
  e->ChecksumMode = kNewEntryChecksumMode;
  if (eof) {
    auto* raw = static_cast<TVrFile*>(eof.release());
    Add(std::unique_ptr<TVrFile>(raw), kEofName);
  }
  return e;
}

TVrFile* TVrFileCollection::AddMemoryEntry(const std::string& name) {
  TVrFile* e = AddEntry(name);
  e->Memory = std::make_unique<TKvMemoryStream>();
  return e;
}

void TVrFileCollection::DeleteEntry(const std::string& name) {
  int i = IndexOf(name);
  if (i >= 0 && i < EntryCount()) Delete(i);
}

void TVrFileCollection::ListFolder(const std::string& folder,
                                   std::vector<std::string>& list) const {
  std::string want = folder;
  if (!want.empty() && GameFileNamePart(want) != "") want += "\\";
  for (int i = 0; i < EntryCount(); ++i) {
    const std::string& name = Item(i)->Name();
    if (!sjis::EqualsNoCase(GameFolderPart(name), want)) continue;
    std::string file = GameFileNamePart(name);
    if (file.empty()) continue;
    // Names are looked up ignoring case, so "A.png" and "a.PNG" are one file.
    bool listed = std::any_of(list.begin(), list.end(),
                              [&](const std::string& x) { return sjis::EqualsNoCase(x, file); });
    if (!listed) list.push_back(file);
  }
}

// --- writing

namespace {
bool IsCompressibleByExtension(const std::string& name) {
  static const std::string kNever = ".WAV.WMA.OGG.AVI.MPG.MPEG.M1V.WMV.ASF.DAT.";
  std::string ext = sjis::UpperAscii(GameExtension(name));
  if (ext.empty()) return true;
  return kNever.find(ext + ".") == std::string::npos;
}
}  // namespace

void TVrFileCollection::WriteEntryData(TVrFile& e, TStream& target, int64_t& offset_out) {
  const int64_t start = target.GetPosition();
  offset_out = start;
  auto emit = [&](const std::string& content, bool compress) {
    uint32_t plain_crc = Crc32(content.data(), content.size());
    if (!compress) {
      target.WriteBuffer(content.data(), static_cast<int64_t>(content.size()));
      e.Stored = 1;
      e.Checksum = plain_crc;
      return;
    }
    std::string packed = ZCompress(content);
    target.WriteBuffer(packed.data(), static_cast<int64_t>(packed.size()));
    e.Stored = 0;
    e.Checksum = e.ChecksumMode == 1 ? plain_crc : Crc32(packed.data(), packed.size());
  };

  if (e.Memory) {
    const std::string& content = e.Memory->Data();
    emit(content, static_cast<int64_t>(content.size()) < kStoreLimit);
    return;
  }
  std::string host = folder_.empty() ? std::string() : ResolveGamePath(folder_, e.Name());
  if (!host.empty()) {
    TKvBigMemoryStream file;
    file.LoadFromFile(host);
    const std::string& content = file.Data();
    std::string ext = sjis::UpperAscii(GameExtension(e.Name()));
    bool compressible;
    if (ext == ".BRX")
      compressible = !(BrxAlreadyCompressed && BrxAlreadyCompressed(content));
    else
      compressible =
          IsCompressibleByExtension(e.Name()) && static_cast<int64_t>(content.size()) < kStoreLimit;
    e.FileTime = platform::FileAgeDos(host);
    if (compressible) {
      std::string packed = ZCompress(content);
      // Compression that saves less than a tenth is not worth inflating later.
      if (static_cast<int64_t>(packed.size()) > static_cast<int64_t>(content.size()) * 9 / 10) {
        emit(content, false);
      } else {
        target.WriteBuffer(packed.data(), static_cast<int64_t>(packed.size()));
        e.Stored = 0;
        e.Checksum = e.ChecksumMode == 1 ? Crc32(content.data(), content.size())
                                         : Crc32(packed.data(), packed.size());
      }
    } else {
      emit(content, false);
    }
    return;
  }
  // From the collection's own carrier.
  TKvMemoryStream content;
  ReadEntry(e, content);
  bool compress = content.GetSize() < kStoreLimit;
  const std::string& bytes = content.Data();
  if (compress) {
    std::string packed = ZCompress(bytes);
    target.WriteBuffer(packed.data(), static_cast<int64_t>(packed.size()));
    e.Stored = 0;
    e.Checksum = Crc32(packed.data(), packed.size());
  } else {
    target.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
    e.Stored = 1;
    e.Checksum = Crc32(bytes.data(), bytes.size());
  }
  // The checksum covers the bytes written.
  e.ChecksumMode = 0;
}

bool TVrFileCollection::Write(TStream& target) {
  const int64_t base = target.GetPosition();
  const int n = EntryCount();
  target.WriteBuffer("vf", 2);
  WriteInt32(target, kWriteVersion);
  WriteInt32(target, n);
  {
    TKvRandom key(static_cast<int32_t>(kScrambleIncrement));
    for (int i = 0; i < n; ++i) {
      std::string name = Item(i)->Name();
      for (auto& c : name)
        c = static_cast<char>(static_cast<uint8_t>(c) ^ static_cast<uint8_t>(key.Next()));
      WriteString(target, name);
    }
  }
  const int64_t table = target.GetPosition();
  const int64_t table_size = (static_cast<int64_t>(n) + 1) * 8 + n + 4LL * n + 4LL * n + n;
  std::string zeros(static_cast<size_t>(table_size), '\0');
  target.WriteBuffer(zeros.data(), table_size);

  // Entries that are read from this collection's own carrier must be read before any state of
  // theirs changes, so offsets are kept apart until the end.
  std::vector<int64_t> offsets(static_cast<size_t>(n) + 1);
  for (int i = 0; i < n; ++i) {
    TVrFile& e = *ItemAs<TVrFile>(i);
    try {
      int64_t at = 0;
      WriteEntryData(e, target, at);
      offsets[static_cast<size_t>(i)] = at - base;
    } catch (const EQuenError&) {
      throw EQuenError(std::string(msg::kEntryWriteErrorPrefix) + e.Name());
    }
  }
  const int64_t end = target.GetPosition();
  offsets[static_cast<size_t>(n)] = end - base;

  target.SetPosition(table);
  TKvRandom key(static_cast<int32_t>(kScrambleIncrement));
  for (auto off : offsets) WriteInt64(target, ScrambleOffset64(off, key.Next()));
  for (int i = 0; i < n; ++i) WriteByte(target, ItemAs<TVrFile>(i)->Stored);
  for (int i = 0; i < n; ++i) WriteInt32(target, ItemAs<TVrFile>(i)->FileTime);
  for (int i = 0; i < n; ++i) WriteUInt32(target, ItemAs<TVrFile>(i)->Checksum);
  for (int i = 0; i < n; ++i) WriteByte(target, ItemAs<TVrFile>(i)->ChecksumMode);
  target.SetPosition(end);
  return true;
}

}  // namespace quen
