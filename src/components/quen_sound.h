// The sound: one media item opened for PR_SOURCE by the manager its extension names, played,
// paused, faded in and out through the play modes, and deleted when it stops.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "components/quen_mixer.h"
#include "components/quen_object.h"

namespace quen {

class IMediaHost;
class TDMediaItem;
class TMediaManager;
class TMediaSystem;

// The item a sound or video has open and the manager that opened it; released through that
// manager while the media layer still holds it.
class TMediaLink {
 public:
  TDMediaItem* Item() const { return item_; }
  TMediaManager* Manager() const { return manager_; }
  void Set(TDMediaItem* item, TMediaManager* manager) {
    item_ = item;
    manager_ = manager;
  }
  void Release(const IMediaHost* host);

 private:
  TDMediaItem* item_ = nullptr;
  TMediaManager* manager_ = nullptr;
};

// The host's media layer, or null.
TMediaSystem* HostMedia(const IMediaHost* host);

class TQuenSound : public TQuenComponent {
 public:
  explicit TQuenSound(TQuenBaseList* owner);
  // The item falls silent and is released.
  ~TQuenSound() override;
  const char* ClassName() const override { return "TQuenSound"; }
  uint8_t CompoType() const override { return LT_SOUND; }
  TQuenKind Kind() const override { return TQuenKind::Snd; }

  uint8_t PlayMode() const override { return mode_; }
  void SetPlayMode(uint8_t mode) override;
  void Replay() override;
  bool Update(int32_t frame_ms) override;

  TDMediaItem* Item() const { return link_.Item(); }
  const TQuenMixer* Fader() const { return fader_.get(); }
  bool Finished() const { return finished_; }
  int32_t StartPosition() const { return start_pos_; }

  void SaveToStream(TStream& s, int32_t version) const override;
  void LoadFromStream(TStream& s, int32_t version) override;

 protected:
  TPropValue ReadOwn(uint8_t code) const override;
  void WriteOwn(uint8_t code, const TPropValue& value) override;

 private:
  IMediaHost* Host() const;
  TPropValue Stored(uint8_t code) const { return TQuenComponent::ReadOwn(code); }
  int32_t StoredInt(uint8_t code) const { return Stored(code).Int; }
  bool StoredBool(uint8_t code) const { return Stored(code).Int != 0; }
  void Store(uint8_t code, const TPropValue& v) { TQuenComponent::WriteOwn(code, v); }
  // Either pause flag holds the item: it is neither played nor raised.
  bool Held() const { return StoredBool(PR_PAUSED) || ani_paused_; }
  int32_t Converted() const;
  // Opens the item for the source (true when one is open afterwards).
  bool Open();
  void Release();
  void ApplyPause();
  void StartFadeIn();
  // Renames to a system name of its own, so the script's name is free at once.
  void TakeScrapName();
  int32_t Length() const;

  uint8_t mode_ = LP_STOP;
  TMediaLink link_;
  std::unique_ptr<TQuenMixer> fader_;
  int32_t start_pos_ = 0;
  bool ani_paused_ = false;
  bool finished_ = false;
};

}  // namespace quen
