// The sound device's side of the seam: whatever makes sound is a source the mixer pulls from.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quen::platform {

// Pulled by the mixer at 44100 Hz, 16-bit stereo: fills exactly `frames` frames.
class IAudioSource {
 public:
  virtual ~IAudioSource() = default;
  virtual void Render(int16_t* interleaved_stereo, size_t frames) = 0;
};

}  // namespace quen::platform
