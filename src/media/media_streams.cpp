#include "media/media_streams.h"

#include <mutex>

#include "base/error.h"
#include "base/sjis.h"
#include "files/big_stream.h"
#include "files/file_manager.h"
#include "files/messages.h"
#include "platform/host_fs.h"
#include "platform/text_encoding.h"

namespace quen {

namespace {

std::mutex& StreamLock() {
  static std::mutex mu;
  return mu;
}

int64_t GetSize(void* s) {
  std::lock_guard<std::mutex> lock(StreamLock());
  return static_cast<TStream*>(s)->GetSize();
}
int64_t Read(void* s, void* buffer, int64_t count) {
  std::lock_guard<std::mutex> lock(StreamLock());
  try {
    return static_cast<TStream*>(s)->Read(buffer, count);
  } catch (const std::exception&) {
    return -1;
  }
}
int64_t GetPosition(void* s) {
  std::lock_guard<std::mutex> lock(StreamLock());
  return static_cast<TStream*>(s)->GetPosition();
}
int64_t SetPosition(void* s, int64_t position) {
  std::lock_guard<std::mutex> lock(StreamLock());
  return static_cast<TStream*>(s)->Seek(position, TSeekOrigin::soBeginning);
}

const TQuenStreamCallbacks kCallbacks{GetSize, Read, GetPosition, SetPosition};

std::string HostName(const std::string& name) {
  std::string utf8;
  if (!platform::TryCp932ToUtf8(name, utf8)) utf8 = name;
  for (char& c : utf8)
    if (c == '\\') c = '/';
  return utf8;
}

}  // namespace

const TQuenStreamCallbacks& PlayerStreamCallbacks() {
  return kCallbacks;
}

bool IsAbsoluteMediaName(const std::string& name) {
  return (!name.empty() && (name[0] == '\\' || name[0] == '/')) ||
         (name.size() >= 2 && name[1] == ':');
}

std::unique_ptr<TStream> OpenMediaStream(const std::string& name) {
  if (IsAbsoluteMediaName(name)) {
    const std::string host = HostName(name);
    if (!platform::IsRegularFile(host)) throw EQuenError(Format(msg::kFileNotFound, name.c_str()));
    return std::make_unique<TFileRangeStream>(host, 0, 0);
  }
  return FileManager().OpenRange(name);
}

std::string LoadMediaFile(const std::string& name) {
  auto s = OpenMediaStream(name);
  s->SetPosition(0);
  return ReadBytes(*s, s->GetSize());
}

int64_t TStreamByteSource::Read(void* buffer, int64_t count) {
  try {
    return s_.Read(buffer, count);
  } catch (const std::exception&) {
    return -1;
  }
}

int64_t TStreamByteSource::Seek(int64_t position) {
  if (position < 0) return -1;
  return s_.Seek(position, TSeekOrigin::soBeginning);
}

std::string MediaExtension(const std::string& name) {
  // The last '.' after the last separator; double-byte characters are walked whole so a
  // trail byte is never taken for either.
  size_t dot = std::string::npos;
  for (size_t i = 0; i < name.size();) {
    const unsigned char c = static_cast<unsigned char>(name[i]);
    if (c == '.') dot = i;
    if (c == '\\' || c == '/') dot = std::string::npos;
    i += sjis::IsLeadByte(c) && i + 1 < name.size() ? 2 : 1;
  }
  if (dot == std::string::npos) return {};
  return sjis::LowerAscii(name.substr(dot));
}

}  // namespace quen
