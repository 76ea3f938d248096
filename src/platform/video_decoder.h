// Pictures of a video through FFmpeg, turned into 32-bit pixels with swscale.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/byte_source.h"

namespace quen::platform {

class IVideoDecoder {
 public:
  virtual ~IVideoDecoder() = default;
  virtual int32_t Width() const = 0;
  virtual int32_t Height() const = 0;
  // Length in ms (0 when the file does not tell).
  virtual int64_t DurationMs() const = 0;
  // Makes the picture shown at ms current: the last one whose time is at or before ms (the
  // first one before it starts). Goes back by seeking. False when the file has none.
  virtual bool ShowAt(int64_t ms) = 0;
  // Counts the pictures made current, so callers see when a new one came.
  virtual int64_t PictureSerial() const = 0;
  // The current picture scaled to width x height, as 32-bit pixels 0x00RRGGBB, rows top-down.
  virtual void CopyPicture(uint8_t* dst, int32_t pitch, int32_t width, int32_t height) = 0;
};

// The source must outlive the decoder; null (why set) when it holds no video stream.
std::unique_ptr<IVideoDecoder> OpenVideoDecoder(IByteSource& source, std::string* why);

}  // namespace quen::platform
