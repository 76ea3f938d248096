// The video: its picture side is the image base's (the video item's pictures land in the own
// surface, or an overlay is placed over the panel); its playback side follows the sound's play
// modes, fades and pauses, pausing inside a cabinet and telling its end once per end.
#pragma once

#include <cstdint>
#include <memory>

#include "components/quen_custom_image.h"
#include "components/quen_mixer.h"
#include "components/quen_sound.h"

namespace quen {

class TVideoItem;

class TQuenVideo : public TQuenCustomImage {
 public:
  explicit TQuenVideo(TQuenBaseList* owner);
  ~TQuenVideo() override;
  const char* ClassName() const override { return "TQuenVideo"; }
  uint8_t CompoType() const override { return LT_VIDEO; }
  TQuenKind Kind() const override { return TQuenKind::Vid; }

  uint8_t PlayMode() const override { return mode_; }
  void SetPlayMode(uint8_t mode) override;
  void Replay() override;
  bool Update(int32_t frame_ms) override;
  void PositionChanged() override;
  void EnteredCabinet() override;
  void LeftCabinet() override;

  TVideoItem* Item() const;
  const TQuenMixer* Fader() const { return fader_.get(); }
  // Copies the item's current picture into the own surface; true when there was one.
  bool TakePicture();

  void SaveToStream(TStream& s, int32_t version) const override;
  void LoadFromStream(TStream& s, int32_t version) override;

 protected:
  TPropValue ReadOwn(uint8_t code) const override;
  void WriteOwn(uint8_t code, const TPropValue& value) override;

 private:
  IMediaHost* Host() const;
  TPropValue Stored(uint8_t code) const { return TQuenCustomImage::ReadOwn(code); }
  int32_t StoredInt(uint8_t code) const { return Stored(code).Int; }
  bool StoredBool(uint8_t code) const { return Stored(code).Int != 0; }
  void Store(uint8_t code, const TPropValue& v) { TQuenCustomImage::WriteOwn(code, v); }
  bool Running() const { return !StoredBool(PR_PAUSED) && !StoredBool(PR_ANIPAUSED); }
  bool Overlay() const { return StoredBool(PR_OVERLAY); }
  int32_t Converted() const { return ConvertVolume(StoredInt(PR_VOLUME), false); }
  bool Open();
  void Release();
  void PlaceOverlay();
  void StartFadeIn();
  int32_t Length() const;

  uint8_t mode_ = LP_STOP;
  TMediaLink link_;
  std::unique_ptr<TQuenMixer> fader_;
  int32_t start_pos_ = 0;
  bool end_told_ = false;
  int64_t last_check_ = 0;
};

}  // namespace quen
