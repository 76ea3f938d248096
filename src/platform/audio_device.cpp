#include "platform/audio_device.h"

#include <algorithm>
#include <cstring>

namespace quen::platform {

void SourceMixer::Add(IAudioSource* source) {
  std::lock_guard<std::mutex> lock(mu_);
  if (std::find(sources_.begin(), sources_.end(), source) == sources_.end())
    sources_.push_back(source);
}

void SourceMixer::Remove(IAudioSource* source) {
  std::lock_guard<std::mutex> lock(mu_);
  std::erase(sources_, source);
}

void SourceMixer::Render(int16_t* stereo, size_t frames) {
  std::lock_guard<std::mutex> lock(mu_);
  const size_t n = frames * 2;
  if (sources_.empty()) {
    std::memset(stereo, 0, n * sizeof(int16_t));
    return;
  }
  if (sources_.size() == 1) {
    sources_[0]->Render(stereo, frames);
    return;
  }
  scratch_.resize(n);
  sum_.assign(n, 0);
  for (IAudioSource* s : sources_) {
    s->Render(scratch_.data(), frames);
    for (size_t i = 0; i < n; ++i) sum_[i] += scratch_[i];
  }
  for (size_t i = 0; i < n; ++i)
    stereo[i] = static_cast<int16_t>(std::clamp<int32_t>(sum_[i], -32768, 32767));
}

CaptureAudioDevice::CaptureAudioDevice() {
  SetMediaTimeSink(this);
}

CaptureAudioDevice::~CaptureAudioDevice() {
  SetMediaTimeSink(nullptr);
}

void CaptureAudioDevice::RenderUntilMs(int64_t t_ms) {
  // floor(t * 44.1) in integers.
  const int64_t target = t_ms * kAudioRate / 1000;
  const int64_t have = Frames();
  if (target <= have) return;
  const size_t frames = static_cast<size_t>(target - have);
  samples_.resize(samples_.size() + frames * 2);
  mixer_.Render(samples_.data() + have * 2, frames);
}

std::string EncodeWav16(const int16_t* samples, size_t frames, int32_t channels, int32_t rate) {
  const uint32_t data = static_cast<uint32_t>(frames * static_cast<size_t>(channels) * 2);
  std::string out;
  auto u32 = [&out](uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
  };
  auto u16 = [&out](uint32_t v) {
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>((v >> 8) & 0xFF));
  };
  out += "RIFF";
  u32(36 + data);
  out += "WAVEfmt ";
  u32(16);
  u16(1);
  u16(static_cast<uint32_t>(channels));
  u32(static_cast<uint32_t>(rate));
  u32(static_cast<uint32_t>(rate * channels * 2));
  u16(static_cast<uint32_t>(channels * 2));
  u16(16);
  out += "data";
  u32(data);
  const size_t at = out.size();
  out.resize(at + data);
  // Little-endian samples, whatever the host.
  for (size_t i = 0; i < frames * static_cast<size_t>(channels); ++i) {
    const uint16_t v = static_cast<uint16_t>(samples[i]);
    out[at + 2 * i] = static_cast<char>(v & 0xFF);
    out[at + 2 * i + 1] = static_cast<char>(v >> 8);
  }
  return out;
}

}  // namespace quen::platform
