// The desktop's sound output through SDL, and the silent sink that stands in when no device
// opens.
#include <SDL.h>

#include <cstdio>
#include <vector>

#include "platform/audio_device.h"

namespace quen::platform {

namespace {

class SilentAudioDevice : public IAudioDevice {
 public:
  SilentAudioDevice() : start_(MonotonicMicros()), timer_(10, [this] { Pull(); }) {}
  ~SilentAudioDevice() override = default;
  void AddSource(IAudioSource* source) override { mixer_.Add(source); }
  void RemoveSource(IAudioSource* source) override { mixer_.Remove(source); }
  const char* Kind() const override { return "silent"; }

 private:
  void Pull() {
    const int64_t due = (MonotonicMicros() - start_) * kAudioRate / 1000000;
    if (due <= pulled_) return;
    // A stalled process does not race through a second of sound at once.
    const int64_t frames = std::min<int64_t>(due - pulled_, kAudioRate);
    scratch_.resize(static_cast<size_t>(frames) * 2);
    mixer_.Render(scratch_.data(), static_cast<size_t>(frames));
    pulled_ = due;
  }

  SourceMixer mixer_;
  int64_t start_;
  int64_t pulled_ = 0;
  std::vector<int16_t> scratch_;
  PeriodicTimer timer_;  // last: stops before the members it uses go
};

class SdlAudioDevice : public IAudioDevice {
 public:
  ~SdlAudioDevice() override {
    Close();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
  }
  bool Start(std::string* why) {
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
      if (why) *why = SDL_GetError();
      return false;
    }
    if (!Open()) {
      if (why) *why = SDL_GetError();
      SDL_QuitSubSystem(SDL_INIT_AUDIO);
      return false;
    }
    return true;
  }
  void AddSource(IAudioSource* source) override { mixer_.Add(source); }
  void RemoveSource(IAudioSource* source) override { mixer_.Remove(source); }
  const char* Kind() const override { return "sdl"; }
  bool ReopenIfLost() override {
    if (device_ != 0 && SDL_GetAudioDeviceStatus(device_) != SDL_AUDIO_STOPPED) return false;
    Close();
    if (!Open()) return false;
    std::fprintf(stderr, "quenplay: the sound device was opened again\n");
    return true;
  }

 private:
  static void Callback(void* self, Uint8* stream, int len) {
    static_cast<SdlAudioDevice*>(self)->mixer_.Render(reinterpret_cast<int16_t*>(stream),
                                                      static_cast<size_t>(len) / 4);
  }
  bool Open() {
    SDL_AudioSpec want{};
    want.freq = kAudioRate;
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    want.samples = 1024;
    want.callback = &SdlAudioDevice::Callback;
    want.userdata = this;
    SDL_AudioSpec have{};
    // SDL converts to whatever the hardware takes; our side always sees 44100 Hz stereo.
    device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (device_ == 0) return false;
    SDL_PauseAudioDevice(device_, 0);
    return true;
  }
  void Close() {
    if (device_ != 0) SDL_CloseAudioDevice(device_);
    device_ = 0;
  }

  SourceMixer mixer_;
  SDL_AudioDeviceID device_ = 0;
};

}  // namespace

std::unique_ptr<IAudioDevice> OpenSilentAudioDevice() {
  return std::make_unique<SilentAudioDevice>();
}

std::unique_ptr<IAudioDevice> OpenAudioDevice(std::string* why) {
  auto sdl = std::make_unique<SdlAudioDevice>();
  if (sdl->Start(why)) return sdl;
  return OpenSilentAudioDevice();
}

}  // namespace quen::platform
