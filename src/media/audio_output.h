// The player's one sound output as the media library and the wave output engine see it. It
// keeps the sources that are added before the device exists and opens the device when asked
// ("DXSound.Initialize" or the first sound item); headless it is the capture from the start.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/audio_device.h"

namespace quen {

class TAudioOutput : public platform::IAudioDevice {
 public:
  using TOpen = std::function<std::unique_ptr<platform::IAudioDevice>()>;
  // open makes the device when it is first needed.
  explicit TAudioOutput(TOpen open) : open_(std::move(open)) {}
  // An output that is the given device from the start (the headless capture, tests).
  explicit TAudioOutput(std::unique_ptr<platform::IAudioDevice> device);
  ~TAudioOutput() override;

  // Opens the device once; later calls do nothing.
  void EnsureOpen();
  bool IsOpen() const;
  platform::IAudioDevice* Device() const { return device_.get(); }

  void AddSource(platform::IAudioSource* source) override;
  void RemoveSource(platform::IAudioSource* source) override;
  const char* Kind() const override;
  bool ReopenIfLost() override;

 private:
  TOpen open_;
  mutable std::mutex mu_;
  std::unique_ptr<platform::IAudioDevice> device_;
  std::vector<platform::IAudioSource*> sources_;
};

}  // namespace quen
