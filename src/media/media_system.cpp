#include "media/media_system.h"

#include <cstdio>

#include "media/media_streams.h"
#include "media/messages.h"
#include "media/midi_play_v_sequencer.h"
#include "media/quen_lib.h"
#include "platform/host_fs.h"
#include "platform/media_clock.h"
#include "platform/trace.h"

namespace quen {

TMediaSystem::TMediaSystem(const TMediaOptions& options) : options_(options) {
  platform::UseVirtualMediaTime(options_.Headless);
  if (options_.Headless) {
    auto capture = std::make_unique<platform::CaptureAudioDevice>();
    capture_ = capture.get();
    output_ = std::make_unique<TAudioOutput>(std::move(capture));
  } else {
    output_ = std::make_unique<TAudioOutput>([] {
      std::string why;
      auto device = platform::OpenAudioDevice(&why);
      if (!why.empty())
        std::fprintf(stderr, "quenplay: no sound device (%s); the game runs silent\n", why.c_str());
      return device;
    });
  }
  context_.Output = output_.get();
  context_.DirectSound = options_.DirectSound;
  context_.DelayTime = options_.DelayTime;
  context_.UseWmp = options_.UseWmp;
}

TMediaSystem::~TMediaSystem() {
  for (const char* step :
       {"VideoMan", "WaveMan", "WmpMan", "OggMan", "CddaMan", "MidiMan", "quenFinal"})
    MediaFinal(step);
}

bool TMediaSystem::BindLibrary(std::string& caption, std::string& text) {
  int32_t count = 0;
  const char* const* names = quenExportNames(&count);
  for (int32_t i = 0; i < count; ++i) {
    if (quenFindExport(names[i])) continue;
    caption = msg::kCaptionError;
    text = std::string(msg::kLibraryName) + "\r\n" + msg::kFileMissing;
    return false;
  }
  if (quenVersion() != kQuenLibVersion) {
    caption = msg::kCaptionError;
    text = msg::kLibraryVersion;
    return false;
  }
  return true;
}

void TMediaSystem::InitializeSound() {
  output_->EnsureOpen();
}

void TMediaSystem::MediaInit(platform::IGameWindow* window, bool has_screen,
                             std::function<bool()> terminating) {
  context_.Window = window;
  context_.HasScreen = has_screen;
  context_.Terminating = std::move(terminating);
  library_ = quenInit(output_.get(), &PlayerStreamCallbacks(), false);
  // The library decodes on a thread of its own, so no per-frame decoding call is needed.
  quenOggmanSetUseThread(true);
  platform::Trace("MediaInit:7");
  video_ = std::make_unique<TVideoManager>(context_);
  platform::Trace("MediaInit:8");
  platform::Trace("MediaInit:9");
  wmp_ = std::make_unique<TWmpManager>(context_);
  platform::Trace("MediaInit:10");
  platform::Trace("MediaInit:11");
  ogg_ = std::make_unique<TOggManager>(context_);
  platform::Trace("MediaInit:12");
  platform::Trace("MediaInit:13");
  cdda_ = std::make_unique<TCddaManager>(context_);
  platform::Trace("MediaInit:14");
  platform::Trace("MediaInit:15");
  std::unique_ptr<ISequencer> sequencer = NewSequencer(*output_);
  if (!sequencer) {
    synth_ = std::make_unique<platform::MidiSynth>(options_.Midi);
    output_->AddSource(synth_.get());
    sequencer = std::make_unique<TMidiPlayVSequencer>(
        *synth_, options_.Headless ? TMidiPlayV::TMode::kStepped : TMidiPlayV::TMode::kThread);
  }
  midi_ = std::make_unique<TMidiManager>(context_, std::move(sequencer));
  platform::Trace("MediaInit:16");
  if (!sound_on_) SetSoundOn(false);
}

void TMediaSystem::MediaFinal(std::string_view step) {
  if (step == "VideoMan") {
    video_.reset();
  } else if (step == "WmpMan") {
    wmp_.reset();
  } else if (step == "OggMan") {
    ogg_.reset();
  } else if (step == "CddaMan") {
    cdda_.reset();
  } else if (step == "MidiMan") {
    // The sequencer goes before the port it sends to.
    midi_.reset();
    if (synth_) output_->RemoveSource(synth_.get());
    synth_.reset();
  } else if (step == "quenFinal") {
    if (library_) quenFinal();
    library_ = false;
  }
}

void TMediaSystem::Step(int64_t now_ms) {
  if (options_.Headless) {
    // The sequencer's ticks and the capture in time order: what a tick sends sounds from its
    // own time on.
    ISequencer* seq = midi_ ? midi_->Sequencer() : nullptr;
    while (seq && seq->NextTickMs() <= now_ms) {
      const int64_t at = seq->NextTickMs();
      platform::AdvanceMediaTime(at);
      seq->Step(at);
    }
    platform::AdvanceMediaTime(now_ms);
    if (seq) seq->Step(now_ms);
  }
  if (output_->ReopenIfLost()) {
    if (ogg_) ogg_->Restore();
    if (wmp_) wmp_->Restore();
  }
  if (wmp_) wmp_->Poll();
}

void TMediaSystem::UpdateFrame() {
  if (video_) video_->UpdateFrame();
}

std::vector<TMediaManager*> TMediaSystem::SoundManagers() const {
  std::vector<TMediaManager*> m;
  for (TMediaManager* p :
       {static_cast<TMediaManager*>(wmp_.get()), static_cast<TMediaManager*>(ogg_.get()),
        static_cast<TMediaManager*>(cdda_.get()), static_cast<TMediaManager*>(midi_.get())})
    if (p) m.push_back(p);
  return m;
}

void TMediaSystem::PauseSounds() {
  for (TMediaManager* m : SoundManagers())
    if (m->AnyPlaying()) m->Suspend();
}

void TMediaSystem::ResumeSounds() {
  for (TMediaManager* m : SoundManagers()) m->Resume();
}

void TMediaSystem::StopSynthMusic() {
  if (midi_) midi_->StopForSwitch();
}

void TMediaSystem::RestartSynthMusic() {
  if (midi_) midi_->RestartAfterSwitch();
}

void TMediaSystem::SuspendVideos() {
  if (video_) video_->Suspend();
}

void TMediaSystem::ResumeVideos() {
  if (video_) video_->Resume();
}

void TMediaSystem::SetSoundOn(bool on) {
  sound_on_ = on;
  for (TMediaManager* m : SoundManagers()) m->SetEnabled(on);
}

std::vector<std::string> TMediaSystem::MidiPorts() const {
  return midi_ ? midi_->Ports() : std::vector<std::string>();
}

std::string TMediaSystem::MidiPort() const {
  return midi_ ? midi_->Port() : std::string();
}

void TMediaSystem::SetMidiPort(const std::string& name) {
  if (midi_) midi_->SetPort(name);
}

TMediaManager* TMediaSystem::ManagerFor(const std::string& name) const {
  switch (RouteSoundFile(name)) {
    case TMediaRoute::kMidi:
      return midi_.get();
    case TMediaRoute::kWmp:
      return wmp_.get();
    case TMediaRoute::kOgg:
      return ogg_.get();
    case TMediaRoute::kCdda:
      return cdda_.get();
    case TMediaRoute::kNone:
      break;
  }
  return nullptr;
}

bool TMediaSystem::WriteCapture(const std::string& host_path) const {
  if (!capture_) return false;
  const auto& s = capture_->Samples();
  return platform::WriteFileAtomically(
      host_path, platform::EncodeWav16(s.data(), s.size() / 2, 2, platform::kAudioRate));
}

}  // namespace quen
