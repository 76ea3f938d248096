// Sounds for the media tests, made on the spot, and a headless media world to play them in.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "files/file_manager.h"
#include "media/media_system.h"
#include "platform/audio_device.h"
#include "platform/media_clock.h"
#include "support/temp_dir.h"

namespace quen::testing {

// Reproducible noise in 16-bit samples.
inline std::vector<int16_t> Noise(size_t n, uint32_t seed, int amplitude = 20000) {
  std::vector<int16_t> v(n);
  uint32_t x = seed ? seed : 1;
  for (auto& s : v) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    s = static_cast<int16_t>(static_cast<int32_t>(x % (2u * amplitude + 1)) - amplitude);
  }
  return v;
}

inline std::string Wave16(int channels, int rate, const std::vector<int16_t>& samples) {
  return platform::EncodeWav16(samples.data(), samples.size() / channels, channels, rate);
}

// 8-bit stored bytes, interleaved.
inline std::string Wave8(int channels, int rate, const std::vector<uint8_t>& bytes) {
  std::string w = platform::EncodeWav16(nullptr, 0, channels, rate);
  auto put32 = [&w](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) w[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
  };
  w[32] = static_cast<char>(channels);  // block align
  w[34] = 8;                            // bits
  put32(28, static_cast<uint32_t>(rate * channels));
  w.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  put32(40, static_cast<uint32_t>(bytes.size()));
  put32(4, static_cast<uint32_t>(w.size() - 8));
  return w;
}

// A game folder of loose files and a headless media system playing from it.
class MediaWorld : public ::testing::Test {
 protected:
  void SetUp() override {
    SetFileManager(std::make_unique<TVrFileManager>());
    FileManager().SetGameFolder(dir.Path());
  }
  void TearDown() override {
    media.reset();
    SetFileManager(nullptr);
  }
  TMediaSystem& Start(bool direct_sound = true, int32_t delay = 500) {
    TMediaOptions o;
    o.Headless = true;
    o.DirectSound = direct_sound;
    o.DelayTime = delay;
    media = std::make_unique<TMediaSystem>(o);
    media->MediaInit(nullptr, false, nullptr);
    return *media;
  }
  // The captured samples from frame `from` on, count samples (not frames).
  std::vector<int16_t> Captured(size_t from = 0, size_t count = SIZE_MAX) const {
    const auto& s = media->Capture()->Samples();
    if (from >= s.size()) return {};
    const size_t n = std::min(count, s.size() - from);
    return std::vector<int16_t>(s.begin() + static_cast<std::ptrdiff_t>(from),
                                s.begin() + static_cast<std::ptrdiff_t>(from + n));
  }

  TempDir dir;
  std::unique_ptr<TMediaSystem> media;
};

}  // namespace quen::testing
