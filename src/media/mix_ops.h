// The hot loops of the sound mixers. The plain versions define the arithmetic; the SSE2 and
// AVX2 versions give the same samples and are chosen once (SetForceScalar in imaging/row_ops.h
// forces the plain ones here too).
#pragma once

#include <cstddef>
#include <cstdint>

#include "imaging/row_ops.h"

namespace quen {

// Gains are Q15 fixed point, 0 (silence) to 32768 (unchanged).
inline constexpr int32_t kUnityGain = 32768;

struct TMixOps {
  // For frames interleaved stereo frames: acc[2i] += (src[2i] * gain_l) >> 15 and
  // acc[2i + 1] += (src[2i + 1] * gain_r) >> 15 (the shift rounds toward minus infinity).
  void (*Accumulate)(int32_t* acc, const int16_t* src, size_t frames, int32_t gain_l,
                     int32_t gain_r);
  // dst[i] := acc[i] saturated to 16 bits.
  void (*Pack)(int16_t* dst, const int32_t* acc, size_t samples);
  // The wave output engine's mix: dst[i] := dst[i] + s saturated to 16 bits, where s is
  // src[i] when factor is 255 or more and (src[i] * factor) / 256 (truncated toward zero)
  // otherwise.
  void (*AddScaled)(int16_t* dst, const int16_t* src, size_t samples, int32_t factor);
};

const TMixOps& ScalarMixOps();
// Null where the processor lacks the level.
const TMixOps* SimdMixOps(TSimdLevel level);
// The best the processor offers, unless the plain versions are forced.
const TMixOps& MixOps();

// Q15 gains of the two channels for a volume and a pan in hundredths of a decibel: volume 0 is
// unchanged and -10000 or below silent; a negative pan lowers the right channel by that much,
// a positive one the left (+-10000 silences it).
void StereoGains(int32_t volume, int32_t pan, int32_t& gain_l, int32_t& gain_r);
// A level in hundredths of a decibel as a Q15 gain.
int32_t DecibelGain(int32_t hundredths);

}  // namespace quen
