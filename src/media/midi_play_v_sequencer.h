// The MIDI manager's sequencer: TMidiPlayV on the player's MIDI output port (the software
// synthesiser, whose sound is a source of the player's sound output).
#pragma once

#include <memory>

#include "media/midi_play_v.h"
#include "media/sequencer.h"

namespace quen {

class TMidiPlayVSequencer : public ISequencer {
 public:
  // The port must outlive the sequencer. Headless runs step it (kStepped).
  TMidiPlayVSequencer(platform::IMidiPort& port, TMidiPlayV::TMode mode)
      : seq_(std::make_unique<TMidiPlayV>(port, mode)) {}
  void LoadFromStream(TStream& stream) override { seq_->LoadFromStream(stream); }
  bool OpenPort(int32_t device) override { return seq_->OpenPort(device); }
  void ClosePort() override { seq_->ClosePort(); }
  bool PortOpen() const override { return seq_->IsOpen(); }
  void SendSystemOn() override { seq_->SendSystemOn(); }
  void PlayFrom(int32_t ms) override { seq_->PlayFrom(ms); }
  void Stop() override { seq_->Stop(); }
  bool IsPlaying() const override { return seq_->IsPlaying(); }
  bool IsEnd() const override { return seq_->IsEnd(); }
  int32_t Position() const override { return seq_->Position(); }
  int32_t Length() const override { return seq_->Length(); }
  void SetControllerScale(int32_t controller, int32_t percent) override {
    seq_->SetControllerScale(controller, percent);
  }
  bool Repeat() const override { return seq_->Repeat(); }
  void SetRepeat(bool on) override { seq_->SetRepeat(on); }
  std::vector<std::string> DeviceNames() const override {
    std::vector<std::string> names;
    for (const auto& d : seq_->Devices()) names.push_back(d.name);
    return names;
  }
  int32_t MeasureLength(const std::string& file) const override {
    return TMidiV::MeasureLength(file);
  }
  void Step(int64_t now_ms) override {
    if (seq_->Timer().Mode() == TMidiPlayV::TMode::kStepped) seq_->Step(now_ms);
  }
  int64_t NextTickMs() const override {
    return seq_->Timer().Mode() == TMidiPlayV::TMode::kStepped ? seq_->Timer().NextTickMs()
                                                               : INT64_MAX;
  }
  TMidiPlayV& Player() { return *seq_; }

 private:
  std::unique_ptr<TMidiPlayV> seq_;
};

}  // namespace quen
