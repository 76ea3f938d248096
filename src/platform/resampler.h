// Sample-rate and channel conversion of 16-bit sound to 44100 Hz stereo (libswresample).
#pragma once

#include <cstdint>
#include <memory>

namespace quen::platform {

class Resampler {
 public:
  // Null when the format cannot be converted.
  static std::unique_ptr<Resampler> Create(int32_t channels, int32_t rate);
  ~Resampler();
  Resampler(const Resampler&) = delete;
  Resampler& operator=(const Resampler&) = delete;
  // Converts in_frames interleaved frames (null in flushes what the converter holds back) into
  // at most out_capacity stereo frames; returns the frames written.
  int64_t Convert(const int16_t* in, int64_t in_frames, int16_t* out, int64_t out_capacity);
  // The most frames Convert can give for in_frames frames in.
  int64_t OutputBound(int64_t in_frames) const;

 private:
  Resampler() = default;
  struct SwrContext* swr_ = nullptr;
  int32_t rate_ = 0;
};

}  // namespace quen::platform
