// Decoders of compressed sound into 16-bit samples: libvorbisfile for Ogg Vorbis, FFmpeg for
// everything else it knows (Windows Media audio, FLAC, compressed waves, the sound of videos).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/byte_source.h"

namespace quen::platform {

// Interleaved 16-bit samples at the source's own channel count and rate.
class IPcmDecoder {
 public:
  virtual ~IPcmDecoder() = default;
  virtual int32_t Channels() const = 0;
  virtual int32_t Rate() const = 0;
  // Bits per sample of the source where it has them (16 for lossy sources).
  virtual int32_t SourceBits() const { return 16; }
  // Total frames; 0 when the source does not tell.
  virtual int64_t Frames() const = 0;
  // Up to frames frames; 0 at the end or after a failure.
  virtual int64_t Read(int16_t* out, int64_t frames) = 0;
  // Moves to a frame; false when the source cannot seek there.
  virtual bool Seek(int64_t frame) = 0;
};

// The source must outlive the decoder. Null (why saying why) when it is no such file.
std::unique_ptr<IPcmDecoder> OpenVorbisDecoder(IByteSource& source, std::string* why);
// The first sound stream of any container FFmpeg reads.
std::unique_ptr<IPcmDecoder> OpenAvDecoder(IByteSource& source, std::string* why);

}  // namespace quen::platform
