extern "C" {
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
}

#include "platform/audio_device.h"
#include "platform/resampler.h"

namespace quen::platform {

std::unique_ptr<Resampler> Resampler::Create(int32_t channels, int32_t rate) {
  if (channels < 1 || channels > 8 || rate < 1000 || rate > 384000) return nullptr;
  std::unique_ptr<Resampler> r(new Resampler());
  r->rate_ = rate;
  AVChannelLayout in{}, out{};
  av_channel_layout_default(&in, channels);
  av_channel_layout_default(&out, 2);
  const int ok = swr_alloc_set_opts2(&r->swr_, &out, AV_SAMPLE_FMT_S16, kAudioRate, &in,
                                     AV_SAMPLE_FMT_S16, rate, 0, nullptr);
  av_channel_layout_uninit(&in);
  av_channel_layout_uninit(&out);
  if (ok < 0 || swr_init(r->swr_) < 0) return nullptr;
  return r;
}

Resampler::~Resampler() {
  if (swr_) swr_free(&swr_);
}

int64_t Resampler::OutputBound(int64_t in_frames) const {
  return swr_get_out_samples(swr_, static_cast<int>(in_frames)) + 16;
}

int64_t Resampler::Convert(const int16_t* in, int64_t in_frames, int16_t* out,
                           int64_t out_capacity) {
  const uint8_t* ip[1] = {reinterpret_cast<const uint8_t*>(in)};
  uint8_t* op[1] = {reinterpret_cast<uint8_t*>(out)};
  const int n = swr_convert(swr_, op, static_cast<int>(out_capacity), in ? ip : nullptr,
                            in ? static_cast<int>(in_frames) : 0);
  return n < 0 ? 0 : n;
}

}  // namespace quen::platform
