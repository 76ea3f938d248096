#include "components/quen_mixer.h"

#include <algorithm>
#include <cstring>

#include "media/media_item.h"
#include "media/media_manager.h"

namespace quen {

namespace {
int32_t Saturate(int64_t v) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}
}  // namespace

int32_t ConvertVolume(int32_t volume, bool midi) {
  if (midi) return Saturate(int64_t{volume} * 10 - 10000);
  const int64_t v = int64_t{volume} * 5 - 5000;
  if (v <= -5000) return -10000;
  if (v > 0) return 0;
  return static_cast<int32_t>(v);
}

bool IsMidiItem(const TDMediaItem& item) {
  return std::strcmp(item.Manager().Kind(), "midi") == 0;
}

int32_t TQuenMixer::Interpolate(bool midi, int32_t from, int32_t target, int64_t elapsed,
                                int32_t duration) {
  if (duration <= 0) return target;
  const int64_t full = int64_t{target} - from;
  const int64_t span = midi ? full : full / 2;
  const int64_t step = elapsed * span / duration;
  // A MIDI fade-in climbs from where it starts; the others start half-way up.
  if (from > target || midi) return Saturate(from + step);
  return Saturate(from + span + step);
}

bool TQuenMixerFadein::Advance(int64_t clock) {
  if (!started_) {
    started_ = true;
    item_->SetVolume(-10000);
    item_->Play();
    from_ = -10000;
    start_time_ = clock;
    return false;
  }
  const int64_t elapsed = clock - start_time_;
  if (elapsed >= duration_) {
    item_->SetVolume(target_);
    return true;
  }
  item_->SetVolume(Interpolate(IsMidiItem(*item_), from_, target_, elapsed, duration_));
  return false;
}

bool TQuenMixerFadeout::Advance(int64_t clock) {
  if (!started_) {
    started_ = true;
    from_ = item_->GetVolume();
    target_ = -10000;
    start_time_ = clock;
    return false;
  }
  const int64_t elapsed = clock - start_time_;
  if (elapsed >= duration_) return true;
  item_->SetVolume(Interpolate(IsMidiItem(*item_), from_, target_, elapsed, duration_));
  return false;
}

}  // namespace quen
