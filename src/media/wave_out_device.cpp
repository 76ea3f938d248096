#include "media/wave_out_device.h"

#include <algorithm>
#include <cstring>

namespace quen {

TWaveOutDevice::~TWaveOutDevice() {
  Close();
}

bool TWaveOutDevice::Open(platform::IAudioDevice* device) {
  if (device_) return true;
  if (!device) return false;
  device_ = device;
  device_->AddSource(this);
  return true;
}

void TWaveOutDevice::Close() {
  if (!device_) return;
  device_->RemoveSource(this);
  device_ = nullptr;
  Reset();
}

void TWaveOutDevice::Prepare(TWaveHeader& h) {
  h.flags = TWaveHeader::kPrepared;
}

void TWaveOutDevice::Unprepare(TWaveHeader& h) {
  h.flags &= ~TWaveHeader::kPrepared;
}

bool TWaveOutDevice::Write(TWaveHeader& h) {
  std::lock_guard<std::mutex> lock(mu_);
  if (!device_) return false;
  h.flags &= ~TWaveHeader::kDone;
  queue_.push_back(&h);
  return true;
}

void TWaveOutDevice::Reset() {
  std::lock_guard<std::mutex> lock(mu_);
  for (TWaveHeader* h : queue_) h->flags |= TWaveHeader::kDone;
  queue_.clear();
  played_ = 0;
}

size_t TWaveOutDevice::Pending() const {
  std::lock_guard<std::mutex> lock(mu_);
  return queue_.size();
}

void TWaveOutDevice::Render(int16_t* stereo, size_t frames) {
  std::lock_guard<std::mutex> lock(mu_);
  uint8_t* out = reinterpret_cast<uint8_t*>(stereo);
  size_t want = frames * 4;
  while (want > 0 && !queue_.empty()) {
    TWaveHeader* h = queue_.front();
    const size_t n = std::min<size_t>(want, h->length - played_);
    std::memcpy(out, h->data + played_, n);
    out += n;
    want -= n;
    played_ += static_cast<uint32_t>(n);
    if (played_ >= h->length) {
      h->flags |= TWaveHeader::kDone;
      queue_.pop_front();
      played_ = 0;
    }
  }
  std::memset(out, 0, want);
}

}  // namespace quen
