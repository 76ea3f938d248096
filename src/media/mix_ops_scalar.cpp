#include <algorithm>
#include <cmath>

#include "media/mix_ops.h"

namespace quen {

namespace {

void Accumulate(int32_t* acc, const int16_t* src, size_t frames, int32_t gain_l, int32_t gain_r) {
  for (size_t i = 0; i < frames; ++i) {
    acc[2 * i] += (int32_t{src[2 * i]} * gain_l) >> 15;
    acc[2 * i + 1] += (int32_t{src[2 * i + 1]} * gain_r) >> 15;
  }
}

void Pack(int16_t* dst, const int32_t* acc, size_t samples) {
  for (size_t i = 0; i < samples; ++i)
    dst[i] = static_cast<int16_t>(std::clamp<int32_t>(acc[i], -32768, 32767));
}

void AddScaled(int16_t* dst, const int16_t* src, size_t samples, int32_t factor) {
  for (size_t i = 0; i < samples; ++i) {
    const int32_t s = factor >= 255 ? int32_t{src[i]} : int32_t{src[i]} * factor / 256;
    dst[i] = static_cast<int16_t>(std::clamp<int32_t>(dst[i] + s, -32768, 32767));
  }
}

const TMixOps kScalar{Accumulate, Pack, AddScaled};

}  // namespace

const TMixOps& ScalarMixOps() {
  return kScalar;
}

const TMixOps& MixOps() {
  if (!ScalarForced())
    if (const TMixOps* ops = SimdMixOps(DetectedSimdLevel())) return *ops;
  return kScalar;
}

int32_t DecibelGain(int32_t hundredths) {
  if (hundredths >= 0) return kUnityGain;
  if (hundredths <= -10000) return 0;
  const double g = std::pow(10.0, hundredths / 2000.0);
  return static_cast<int32_t>(std::lround(g * kUnityGain));
}

void StereoGains(int32_t volume, int32_t pan, int32_t& gain_l, int32_t& gain_r) {
  const int32_t v = std::clamp(volume, -10000, 0);
  const int32_t p = std::clamp(pan, -10000, 10000);
  // One rounding of the combined level per channel.
  gain_l = DecibelGain(v + std::min(0, -p));
  gain_r = DecibelGain(v + std::min(0, p));
}

}  // namespace quen
