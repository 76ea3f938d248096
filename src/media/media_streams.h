// The player's side of the media library's stream callbacks, and how a media file's stream is
// opened: a host file for an absolute name, otherwise a range of the file manager.
#pragma once

#include <memory>
#include <string>

#include "base/stream.h"
#include "media/quen_lib.h"
#include "platform/byte_source.h"

namespace quen {

// The four callbacks over TStream*; each holds one process-wide lock while it runs.
const TQuenStreamCallbacks& PlayerStreamCallbacks();

// An absolute name: begins with a path delimiter or has ':' as its second character.
bool IsAbsoluteMediaName(const std::string& name);
// Raises "%s:ファイルがありません" (or the stream's error) when the file cannot be opened.
std::unique_ptr<TStream> OpenMediaStream(const std::string& name);
// The whole file in memory.
std::string LoadMediaFile(const std::string& name);
// A stream seen by the decoders; the stream must outlive it.
class TStreamByteSource : public platform::IByteSource {
 public:
  explicit TStreamByteSource(TStream& s) : s_(s) {}
  int64_t Read(void* buffer, int64_t count) override;
  int64_t Seek(int64_t position) override;
  int64_t Tell() override { return s_.GetPosition(); }
  int64_t Size() override { return s_.GetSize(); }

 private:
  TStream& s_;
};

// The lower-cased extension with its dot ("" for none).
std::string MediaExtension(const std::string& name);

}  // namespace quen
