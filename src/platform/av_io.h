// FFmpeg's input and output over the player's byte sources (internal to the platform).
#pragma once

extern "C" {
#include <libavformat/avformat.h>
}

#include <string>

#include "platform/byte_source.h"

namespace quen::platform::av {

// An opened input: the container read through an AVIOContext over the source.
class Input {
 public:
  ~Input();
  // False (why set) when FFmpeg does not recognise the bytes.
  bool Open(IByteSource& source, std::string* why);
  AVFormatContext* Format() const { return fmt_; }

 private:
  AVIOContext* io_ = nullptr;
  AVFormatContext* fmt_ = nullptr;
};

std::string ErrorText(int code);

}  // namespace quen::platform::av
