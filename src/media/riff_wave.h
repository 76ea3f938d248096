// Our own reader of RIFF wave files: the format record and where the sound bytes lie, so
// plain 8- and 16-bit sound can be played from its stored bytes and positioned by byte.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/pcm_decoder.h"

namespace quen {

struct TRiffWave {
  static constexpr uint16_t kPcm = 1;
  static constexpr uint16_t kFloat = 3;
  uint16_t FormatTag = 0;  // the sub-format's tag for extensible records
  int32_t Channels = 0;
  int32_t Rate = 0;
  int32_t Bits = 0;
  int32_t BlockAlign = 0;
  int64_t DataOffset = 0;
  // Whole frames only; a data chunk longer than the file gives what the file holds.
  int64_t DataSize = 0;
  // Stored as plain samples that we read ourselves (integer PCM 8/16/24/32 bits, 32-bit float).
  bool Plain() const;
};

enum class TRiffResult { kWave, kNotRiff, kDamaged };

// Reads the chunks of a file that begins with "RIFF" "WAVE". Every chunk size is checked
// against the bytes that remain; a format record with no channels, no rate or a block
// alignment that does not fit its samples makes the file damaged.
TRiffResult ReadRiffWave(platform::IByteSource& source, TRiffWave& out, std::string* why);

// The plain samples of a wave as 16-bit sound (the source must outlive it); position and
// length in frames.
std::unique_ptr<platform::IPcmDecoder> NewRiffPcmDecoder(platform::IByteSource& source,
                                                         const TRiffWave& wave);

}  // namespace quen
