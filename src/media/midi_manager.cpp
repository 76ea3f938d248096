#include "media/midi_manager.h"

#include <algorithm>

#include "media/media_streams.h"
#include "media/messages.h"

namespace quen {

namespace {

TSequencerFactory& Factory() {
  static TSequencerFactory f;
  return f;
}

}  // namespace

void SetSequencerFactory(TSequencerFactory factory) {
  Factory() = std::move(factory);
}

std::unique_ptr<ISequencer> NewSequencer(platform::IAudioDevice& output) {
  return Factory() ? Factory()(output) : nullptr;
}

// ---- manager ----

TMidiManager::TMidiManager(TMediaContext& context, std::unique_ptr<ISequencer> sequencer)
    : TMediaManager("midi"), context_(context), sequencer_(std::move(sequencer)) {}

TMidiManager::~TMidiManager() {
  Clear();
}

TDMediaItem* TMidiManager::Add(const std::string& name) {
  if (MediaExtension(name) == ".sgt") {
    ReportRefused(name, "segment files play only on Windows");
    return nullptr;
  }
  if (!sequencer_) {
    ReportRefused(name, "no MIDI sequencer");
    return nullptr;
  }
  try {
    // The file must be there; it is read when it plays.
    OpenMediaStream(name);
    return Append(std::make_unique<TMidiItem>(*this, name));
  } catch (const std::exception& e) {
    ReportRefused(name, e.what());
    return nullptr;
  }
}

void TMidiManager::Suspend() {
  const bool was = Suspended();
  TMediaManager::Suspend();
  if (!was && Suspended() && sequencer_ && sequencer_->PortOpen()) sequencer_->ClosePort();
}

std::vector<std::string> TMidiManager::Ports() const {
  if (!sequencer_) return {};
  std::vector<std::string> ports{msg::kMidiMapper};
  for (auto& n : sequencer_->DeviceNames()) ports.push_back(n);
  return ports;
}

std::string TMidiManager::Port() const {
  const auto ports = Ports();
  return port_ >= 0 && port_ < static_cast<int32_t>(ports.size()) ? ports[port_] : std::string();
}

void TMidiManager::SetPort(const std::string& name) {
  const auto ports = Ports();
  for (size_t i = 0; i < ports.size(); ++i) {
    if (ports[i] != name) continue;
    if (static_cast<int32_t>(i) != port_ && sequencer_->PortOpen()) sequencer_->ClosePort();
    port_ = static_cast<int32_t>(i);
    return;
  }
}

void TMidiManager::OpenPortIfClosed() {
  if (!sequencer_->PortOpen()) sequencer_->OpenPort(port_ - 1);
}

void TMidiManager::StopForSwitch() {
  switch_stopped_ = false;
  if (!sequencer_ || !current_) return;
  switch_was_playing_ = sequencer_->IsPlaying();
  switch_position_ = sequencer_->Position();
  sequencer_->Stop();
  sequencer_->ClosePort();
  switch_stopped_ = true;
}

void TMidiManager::RestartAfterSwitch() {
  if (!switch_stopped_) return;
  switch_stopped_ = false;
  OpenPortIfClosed();
  sequencer_->SendSystemOn();
  if (switch_was_playing_) sequencer_->PlayFrom(switch_position_);
}

// ---- item ----

TMidiItem::TMidiItem(TMidiManager& manager, const std::string& name)
    : TDMediaItem(manager, name), midi_(manager) {}

TMidiItem::~TMidiItem() {
  if (!Current()) return;
  midi_.sequencer_->Stop();
  midi_.sequencer_->ClosePort();
  midi_.current_ = nullptr;
}

bool TMidiItem::Current() const {
  return midi_.current_ == this;
}

int32_t TMidiItem::VolumeScale(int32_t volume) {
  // Volumes outside -10000..0 would send controller values above 127.
  return std::clamp(volume / 100 + 100, 0, 100);
}

bool TMidiItem::Load() {
  try {
    const std::string bytes = LoadMediaFile(Name());
    if (bytes.empty()) return false;  // an empty file is ignored
    TKvMemoryStream s(bytes);
    midi_.current_ = nullptr;
    midi_.sequencer_->LoadFromStream(s);
    midi_.current_ = this;
    length_ = midi_.sequencer_->Length();
    return true;
  } catch (const std::exception& e) {
    // A damaged file plays nothing; a game load that meets it goes on.
    TMediaManager::ReportRefused(Name(), e.what());
    length_ = 0;
    return false;
  }
}

void TMidiItem::Play() {
  if (DeferPlay()) return;
  ISequencer& seq = *midi_.sequencer_;
  if (!Current() && !Load()) return;
  midi_.OpenPortIfClosed();
  seq.SendSystemOn();
  if (midi_.context_.Terminating && midi_.context_.Terminating()) return;
  seq.SetRepeat(repeat_);
  seq.PlayFrom(position_);
  seq.SetControllerScale(7, VolumeScale(volume_));
  paused_ = false;
  end_reported_ = false;
}

void TMidiItem::Pause() {
  paused_ = true;
  if (!Current()) return;
  position_ = midi_.sequencer_->Position();
  midi_.sequencer_->Stop();
}

bool TMidiItem::GetAutoRepeat() {
  return Current() ? midi_.sequencer_->Repeat() : repeat_;
}

void TMidiItem::SetAutoRepeat(bool on) {
  repeat_ = on;
  if (Current()) midi_.sequencer_->SetRepeat(on);
}

void TMidiItem::SetVolume(int32_t volume) {
  volume_ = volume;
  if (Current()) midi_.sequencer_->SetControllerScale(7, VolumeScale(volume));
}

int32_t TMidiItem::GetPosition() {
  return Current() ? midi_.sequencer_->Position() : 0;
}

void TMidiItem::SetPosition(int32_t ms) {
  end_reported_ = false;
  if (Current() && midi_.sequencer_->IsPlaying()) {
    midi_.sequencer_->PlayFrom(std::max(0, ms));
    return;
  }
  position_ = std::max(0, ms);
}

int32_t TMidiItem::GetLength() {
  if (Current()) return midi_.sequencer_->Length();
  if (length_ >= 0) return length_;
  // Measured apart, so the music that plays is not disturbed; a file that does not load is 0.
  length_ = 0;
  try {
    length_ = midi_.sequencer_->MeasureLength(LoadMediaFile(Name()));
  } catch (const std::exception&) {
    length_ = 0;
  }
  return length_;
}

bool TMidiItem::PeekEnd() {
  return Current() && !end_reported_ && midi_.sequencer_->IsEnd();
}

bool TMidiItem::IsEnd() {
  // The sequencer stays at its end; the item tells it once.
  if (!PeekEnd()) return false;
  end_reported_ = true;
  return true;
}

bool TMidiItem::IsPlaying() {
  // The sequencer's timer runs on at the end of a piece; that is not playing.
  return Current() && midi_.sequencer_->IsPlaying() && !midi_.sequencer_->IsEnd();
}

}  // namespace quen
