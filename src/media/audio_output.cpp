#include "media/audio_output.h"

#include <algorithm>

namespace quen {

TAudioOutput::TAudioOutput(std::unique_ptr<platform::IAudioDevice> device)
    : device_(std::move(device)) {}

TAudioOutput::~TAudioOutput() {
  std::lock_guard<std::mutex> lock(mu_);
  if (device_)
    for (auto* s : sources_) device_->RemoveSource(s);
  device_.reset();
}

void TAudioOutput::EnsureOpen() {
  std::lock_guard<std::mutex> lock(mu_);
  if (device_ || !open_) return;
  device_ = open_();
  if (!device_) return;
  for (auto* s : sources_) device_->AddSource(s);
}

bool TAudioOutput::IsOpen() const {
  std::lock_guard<std::mutex> lock(mu_);
  return device_ != nullptr;
}

void TAudioOutput::AddSource(platform::IAudioSource* source) {
  std::lock_guard<std::mutex> lock(mu_);
  if (std::find(sources_.begin(), sources_.end(), source) == sources_.end())
    sources_.push_back(source);
  if (device_) device_->AddSource(source);
}

void TAudioOutput::RemoveSource(platform::IAudioSource* source) {
  std::lock_guard<std::mutex> lock(mu_);
  std::erase(sources_, source);
  if (device_) device_->RemoveSource(source);
}

const char* TAudioOutput::Kind() const {
  std::lock_guard<std::mutex> lock(mu_);
  return device_ ? device_->Kind() : "closed";
}

bool TAudioOutput::ReopenIfLost() {
  std::lock_guard<std::mutex> lock(mu_);
  return device_ && device_->ReopenIfLost();
}

}  // namespace quen
