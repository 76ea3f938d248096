// Writers of compressed sound and of videos through FFmpeg: how the tool makes the fixtures
// and the demo's clip from pictures and waves a person can read.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace quen::platform {

// Interleaved 16-bit sound into a file of the container its extension names, with the codec
// given by name ("libvorbis", "wmav2", "flac", "adpcm_ms" ...).
bool WriteSoundFile(const std::string& path, const std::string& codec, const int16_t* samples,
                    int64_t frames, int32_t channels, int32_t rate, std::string* why);

// A video: ".avi" holds Motion JPEG pictures and 16-bit PCM sound, ".wmv" and ".asf" Windows
// Media pictures and sound.
class VideoWriter {
 public:
  // sound_channels 0 for a video without sound.
  static std::unique_ptr<VideoWriter> Create(const std::string& path, int32_t width, int32_t height,
                                             int32_t fps, int32_t sound_channels,
                                             int32_t sound_rate, std::string* why);
  virtual ~VideoWriter() = default;
  // One picture of 32-bit pixels 0x00RRGGBB, rows top-down.
  virtual bool AddPicture(const uint8_t* pixels, int32_t pitch) = 0;
  virtual bool AddSound(const int16_t* samples, int64_t frames) = 0;
  virtual bool Finish(std::string* why) = 0;
};

}  // namespace quen::platform
