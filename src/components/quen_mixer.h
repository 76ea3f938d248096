// The volume faders of sounds and videos: a fade-in from silence to a target volume and a
// fade-out to silence, stepped by the game clock. Volumes in hundredths of a decibel.
#pragma once

#include <cstdint>

namespace quen {

class TDMediaItem;

// PR_VOLUME (0 ... 1000) as the item's volume: the whole range for MIDI, the upper half in
// decibels for every other item.
int32_t ConvertVolume(int32_t volume, bool midi);
bool IsMidiItem(const TDMediaItem& item);

class TQuenMixer {
 public:
  TQuenMixer(TDMediaItem* item, int32_t target, int32_t duration)
      : item_(item), target_(target), duration_(duration) {}
  virtual ~TQuenMixer() = default;
  TQuenMixer(const TQuenMixer&) = delete;
  TQuenMixer& operator=(const TQuenMixer&) = delete;

  // One step at the game clock; true once the fade is complete.
  virtual bool Advance(int64_t clock) = 0;
  virtual bool FadesOut() const = 0;
  void SetTarget(int32_t target) { target_ = target; }
  int32_t Target() const { return target_; }
  int32_t From() const { return from_; }
  bool Started() const { return started_; }

  // The volume elapsed ms into a fade. Every item but MIDI covers half the way (from silence a
  // fade-in starts half-way up; a fade-out ends half-way down); MIDI fades the whole way.
  // Products in 64 bits: long fades over wide spans pass 32 bits.
  static int32_t Interpolate(bool midi, int32_t from, int32_t target, int64_t elapsed,
                             int32_t duration);

 protected:
  TDMediaItem* item_;
  bool started_ = false;
  int64_t start_time_ = 0;
  int32_t from_ = 0;
  int32_t target_;
  int32_t duration_;
};

class TQuenMixerFadein : public TQuenMixer {
 public:
  using TQuenMixer::TQuenMixer;
  bool Advance(int64_t clock) override;
  bool FadesOut() const override { return false; }
};

class TQuenMixerFadeout : public TQuenMixer {
 public:
  TQuenMixerFadeout(TDMediaItem* item, int32_t duration) : TQuenMixer(item, -10000, duration) {}
  bool Advance(int64_t clock) override;
  bool FadesOut() const override { return true; }
};

}  // namespace quen
