// The media layer as the player assembles it: the sound output, the media library and the five
// managers, with one operation for each step of start-up, the frame, screen switches,
// activation and shut-down.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "media/audio_output.h"
#include "media/cdda_manager.h"
#include "media/media_context.h"
#include "media/media_routing.h"
#include "media/midi_manager.h"
#include "media/ogg_manager.h"
#include "media/video_manager.h"
#include "media/wmp_manager.h"
#include "platform/audio_device.h"
#include "platform/midi_synth.h"

namespace quen {

struct TMediaOptions {
  // A capture stepped by the virtual media time instead of the sound device.
  bool Headless = false;
  // "game.ini".
  bool DirectSound = true;
  int32_t DelayTime = 500;
  bool UseWmp = false;
  // The MIDI synthesiser (sound font, message log); used unless a sequencer factory is
  // installed (SetSequencerFactory).
  platform::MidiSynthOptions Midi;
};

class TMediaSystem {
 public:
  explicit TMediaSystem(const TMediaOptions& options);
  // Frees whatever MediaFinal has not freed yet, in its order.
  ~TMediaSystem();
  TMediaSystem(const TMediaSystem&) = delete;
  TMediaSystem& operator=(const TMediaSystem&) = delete;

  // Program initialisation: the library's exports by name and its version. False with the
  // message box's caption and text when the program cannot run.
  static bool BindLibrary(std::string& caption, std::string& text);

  // "DXSound.Initialize" (only with Sound/DirectSound on): opens the sound device; failing
  // that the silent sink takes its place.
  void InitializeSound();
  // "MediaInit": the library, then the video, media-player, ogg, CD and MIDI managers, with the
  // trace points "MediaInit:7" before the first to "MediaInit:16" after the last.
  void MediaInit(platform::IGameWindow* window, bool has_screen, std::function<bool()> terminating);
  // "MediaFinal": each step frees its part ("VideoMan", "WaveMan", "WmpMan", "OggMan",
  // "CddaMan", "MidiMan", "quenFinal"); other names do nothing. "WaveMan" frees nothing: the
  // wave output engine goes with "OggMan", after its items.
  void MediaFinal(std::string_view step);

  // Every frame, before the interpreter: the virtual media time moves to now (headless), a
  // lost sound device is opened again and the managers restore, the engines poll.
  void Step(int64_t now_ms);
  // Every drawn frame: videos show the picture of their time.
  void UpdateFrame();
  // A game that pauses while inactive: the managers that play pause, and go on.
  void PauseSounds();
  void ResumeSounds();
  // Around a switch of the screen.
  void StopSynthMusic();
  void RestartSynthMusic();
  void SuspendVideos();
  void ResumeVideos();
  // @SoundON: every sound manager's enabled flag.
  void SetSoundOn(bool on);
  bool SoundOn() const { return sound_on_; }
  // @MidiPorts, @MidiPort.
  std::vector<std::string> MidiPorts() const;
  std::string MidiPort() const;
  void SetMidiPort(const std::string& name);

  // The manager that plays a sound file (null: none plays it).
  TMediaManager* ManagerFor(const std::string& name) const;
  TOggManager* Ogg() const { return ogg_.get(); }
  TWmpManager* Wmp() const { return wmp_.get(); }
  TCddaManager* Cdda() const { return cdda_.get(); }
  TMidiManager* Midi() const { return midi_.get(); }
  TVideoManager* Video() const { return video_.get(); }
  TAudioOutput& Output() { return *output_; }
  // Headless: the capture (null otherwise) and its samples as a wave file.
  platform::CaptureAudioDevice* Capture() const { return capture_; }
  bool WriteCapture(const std::string& host_path) const;

 private:
  std::vector<TMediaManager*> SoundManagers() const;

  TMediaOptions options_;
  std::unique_ptr<TAudioOutput> output_;
  platform::CaptureAudioDevice* capture_ = nullptr;
  TMediaContext context_;
  bool library_ = false;
  bool sound_on_ = true;
  std::unique_ptr<TVideoManager> video_;
  std::unique_ptr<TWmpManager> wmp_;
  std::unique_ptr<TOggManager> ogg_;
  std::unique_ptr<TCddaManager> cdda_;
  // The synthesiser is the MIDI manager's port and a source of the sound output.
  std::unique_ptr<platform::MidiSynth> synth_;
  std::unique_ptr<TMidiManager> midi_;
};

}  // namespace quen
