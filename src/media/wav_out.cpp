#include "media/wav_out.h"

#include <algorithm>
#include <cstring>

#include "media/mix_ops.h"

namespace quen {

namespace {

int16_t Le16(const uint8_t* p) {
  return static_cast<int16_t>(p[0] | (p[1] << 8));
}
int16_t Widen8(uint8_t b) {
  return static_cast<int16_t>((b - 128) * 256);
}

}  // namespace

// ---- one source ----

TWavBuffer::TWavBuffer(TWavOut& engine, const TWavFormat& format, IWavStream* stream)
    : engine_(engine), format_(format), stream_(stream) {
  work_.resize(engine.BlockSize());
  converted_.resize(engine.BlockSize() / 2);
}

int32_t TWavBuffer::Expansion(const TWavFormat& f) {
  const bool mono = f.Channels == 1, stereo = f.Channels == 2;
  const bool full = f.SamplesPerSec == 44100, half = f.SamplesPerSec == 22050;
  if (f.BitsPerSample == 16) {
    if (stereo && full) return 1;
    if ((mono && full) || (stereo && half)) return 2;
    if (mono && half) return 4;
  } else if (f.BitsPerSample == 8) {
    if (stereo && full) return 2;
    if ((mono && full) || (stereo && half)) return 4;
    if (mono && half) return 8;
  }
  return 0;
}

void TWavBuffer::Convert(const TWavFormat& f, const uint8_t* in, size_t in_bytes, int16_t* out) {
  const bool mono = f.Channels == 1;
  const bool half = f.SamplesPerSec == 22050;
  if (f.BitsPerSample == 16) {
    const size_t n = in_bytes / 2;
    if (!mono && !half) {
      for (size_t i = 0; i < n; ++i) out[i] = Le16(in + 2 * i);
    } else if (mono && !half) {
      for (size_t i = 0; i < n; ++i) out[2 * i] = out[2 * i + 1] = Le16(in + 2 * i);
    } else if (!mono && half) {
      for (size_t i = 0; i + 1 < n; i += 2) {
        out[2 * i] = out[2 * i + 2] = Le16(in + 2 * i);
        out[2 * i + 1] = out[2 * i + 3] = Le16(in + 2 * i + 2);
      }
    } else {
      for (size_t i = 0; i < n; ++i)
        out[4 * i] = out[4 * i + 1] = out[4 * i + 2] = out[4 * i + 3] = Le16(in + 2 * i);
    }
    return;
  }
  const size_t n = in_bytes;
  if (!mono && !half) {
    for (size_t i = 0; i < n; ++i) out[i] = static_cast<int16_t>(in[i] * 256 - 32768);
  } else if (mono && !half) {
    for (size_t i = 0; i < n; ++i) out[2 * i] = out[2 * i + 1] = Widen8(in[i]);
  } else if (!mono && half) {
    // Whole frames twice: left, right, left, right.
    for (size_t i = 0; i + 1 < n; i += 2) {
      out[2 * i] = out[2 * i + 2] = Widen8(in[i]);
      out[2 * i + 1] = out[2 * i + 3] = Widen8(in[i + 1]);
    }
  } else {
    for (size_t i = 0; i < n; ++i)
      out[4 * i] = out[4 * i + 1] = out[4 * i + 2] = out[4 * i + 3] = Widen8(in[i]);
  }
}

bool TWavBuffer::MixSource(int16_t* block, uint32_t bytes) {
  const int64_t size = stream_ ? stream_->Size() : 0;
  // A source that was never played gives nothing either.
  if (size <= 0 || !playing_ || finished_ || paused_) return false;
  const int32_t expansion = Expansion(format_);
  if (expansion == 0) return false;
  const int64_t align = format_.Channels * format_.BitsPerSample / 8;
  const uint32_t need = bytes / static_cast<uint32_t>(expansion);
  uint32_t got = 0;
  stream_->Seek(read_pos_);
  while (got < need) {
    const int64_t n = std::max<int64_t>(0, stream_->Read(work_.data() + got, need - got));
    got += static_cast<uint32_t>(n);
    read_pos_ += n;
    if (got >= need) break;
    if (n > 0 && read_pos_ < size) continue;
    if (!repeat_) break;
    // A repeat position at or past the end goes back to the start; a stream that gives
    // nothing even there ends the block instead of spinning under the lock.
    int64_t to = repeat_pos_ - repeat_pos_ % align;
    if (to >= size) to = 0;
    if (n == 0 && read_pos_ == to) break;
    read_pos_ = to;
    stream_->Seek(to);
  }
  if (repeat_ && read_pos_ >= size) {
    int64_t to = repeat_pos_ - repeat_pos_ % align;
    read_pos_ = to >= size ? 0 : to;
  }
  got -= got % static_cast<uint32_t>(align);
  if (got > 0) {
    Convert(format_, work_.data(), got, converted_.data());
    MixOps().AddScaled(block, converted_.data(), size_t{got} * expansion / 2, volume_);
  }
  finished_ = read_pos_ >= size;
  last_mix_ = platform::MediaNowMs();
  return got > 0;
}

void TWavBuffer::Play() {
  std::lock_guard<std::mutex> lock(engine_.mu_);
  playing_ = true;
  paused_ = false;
  finished_ = false;
  if (std::find(engine_.active_.begin(), engine_.active_.end(), this) == engine_.active_.end())
    engine_.active_.push_back(this);
}

void TWavBuffer::Pause() {
  std::lock_guard<std::mutex> lock(engine_.mu_);
  paused_ = true;
  std::erase(engine_.active_, this);
}

void TWavBuffer::SetPosition(int64_t bytes) {
  std::lock_guard<std::mutex> lock(engine_.mu_);
  read_pos_ = std::max<int64_t>(0, bytes);
  finished_ = false;
}

void TWavBuffer::SetVolume(int32_t factor) {
  std::lock_guard<std::mutex> lock(engine_.mu_);
  volume_ = std::clamp(factor, 0, 256);
}

void TWavBuffer::SetRepeat(bool on) {
  std::lock_guard<std::mutex> lock(engine_.mu_);
  repeat_ = on;
}

void TWavBuffer::SetRepeatPosition(int64_t bytes) {
  std::lock_guard<std::mutex> lock(engine_.mu_);
  repeat_pos_ = std::max<int64_t>(0, bytes);
}

bool TWavBuffer::FinishedLongAgo() const {
  std::lock_guard<std::mutex> lock(engine_.mu_);
  return finished_ && platform::MediaNowMs() - last_mix_ > int64_t{engine_.delay_} * 2 + 10;
}

bool TWavBuffer::Playing() const {
  std::lock_guard<std::mutex> lock(engine_.mu_);
  return playing_;
}
bool TWavBuffer::Paused() const {
  std::lock_guard<std::mutex> lock(engine_.mu_);
  return paused_;
}
bool TWavBuffer::Finished() const {
  std::lock_guard<std::mutex> lock(engine_.mu_);
  return finished_;
}
bool TWavBuffer::Repeat() const {
  std::lock_guard<std::mutex> lock(engine_.mu_);
  return repeat_;
}
int64_t TWavBuffer::RepeatPosition() const {
  std::lock_guard<std::mutex> lock(engine_.mu_);
  return repeat_pos_;
}
int64_t TWavBuffer::ReadPosition() const {
  std::lock_guard<std::mutex> lock(engine_.mu_);
  return read_pos_;
}
int32_t TWavBuffer::Volume() const {
  std::lock_guard<std::mutex> lock(engine_.mu_);
  return volume_;
}

// ---- the engine ----

TWavOut::TWavOut(platform::IAudioDevice* device, int32_t delay_ms)
    : device_(device),
      delay_(std::clamp(delay_ms, 100, 500)),
      block_size_(static_cast<uint32_t>(delay_) * kWavOutBytesPerSec / 1000) {}

TWavOut::~TWavOut() {
  Close();
}

bool TWavOut::Open(bool open) {
  if (IsOpen() || !open) return IsOpen();
  if (!out_.Open(device_)) return false;
  std::lock_guard<std::mutex> lock(mu_);
  while (pool_.size() < 4) {
    auto b = std::make_unique<TWavPrimary>();
    b->data.resize(block_size_);
    pool_.push_back(std::move(b));
  }
  thread_ = std::make_unique<platform::PeriodicTimer>(PumpPeriod(), [this] { Pump(); });
  return true;
}

bool TWavOut::IsOpen() const {
  return out_.IsOpen();
}

void TWavOut::Close() {
  // The thread goes first and outside the lock: it may be waiting for the lock in Pump, and
  // freeing it under the lock would wait for it forever.
  thread_.reset();
  std::lock_guard<std::mutex> lock(mu_);
  out_.Reset();
  sources_.clear();
  active_.clear();
  // Every block is back from the device after the reset.
  for (auto& b : queued_) {
    out_.Unprepare(b->header);
    pool_.push_back(std::move(b));
  }
  queued_.clear();
  out_.Close();
}

TWavBuffer* TWavOut::AddSource(const TWavFormat& format, IWavStream* stream) {
  std::lock_guard<std::mutex> lock(mu_);
  sources_.push_back(std::unique_ptr<TWavBuffer>(new TWavBuffer(*this, format, stream)));
  return sources_.back().get();
}

void TWavOut::RemoveSource(TWavBuffer* source) {
  std::lock_guard<std::mutex> lock(mu_);
  std::erase(active_, source);
  std::erase_if(sources_,
                [source](const std::unique_ptr<TWavBuffer>& s) { return s.get() == source; });
}

std::unique_ptr<TWavPrimary> TWavOut::TakeBlock() {
  if (pool_.empty()) {
    auto b = std::make_unique<TWavPrimary>();
    b->data.resize(block_size_);
    return b;
  }
  auto b = std::move(pool_.back());
  pool_.pop_back();
  return b;
}

bool TWavOut::Mix(TWavPrimary& block) {
  std::memset(block.data.data(), 0, block_size_);
  bool any = false;
  for (auto& s : sources_)
    if (s->MixSource(reinterpret_cast<int16_t*>(block.data.data()), block_size_)) any = true;
  return any;
}

void TWavOut::Pump() {
  std::lock_guard<std::mutex> lock(mu_);
  const bool open = out_.IsOpen();
  for (size_t i = 0; i < queued_.size();) {
    if (!open || queued_[i]->header.Done()) {
      out_.Unprepare(queued_[i]->header);
      pool_.push_back(std::move(queued_[i]));
      queued_.erase(queued_.begin() + static_cast<std::ptrdiff_t>(i));
    } else {
      ++i;
    }
  }
  if (!open) return;
  for (int round = 0; round < 2; ++round) {
    if (queued_.size() > 1 || active_.empty()) break;
    auto block = TakeBlock();
    block->header.data = block->data.data();
    block->header.length = block_size_;
    block->header.flags = 0;
    block->header.loops = 1;
    out_.Prepare(block->header);
    if (!Mix(*block)) {
      out_.Unprepare(block->header);
      pool_.push_back(std::move(block));
      continue;
    }
    out_.Write(block->header);
    if (notify_) notify_(*this, block->data.data(), block_size_);
    queued_.push_back(std::move(block));
  }
}

void TWavOut::SetBlockNotify(TBlockNotify notify) {
  std::lock_guard<std::mutex> lock(mu_);
  notify_ = std::move(notify);
}

size_t TWavOut::QueuedBlocks() const {
  std::lock_guard<std::mutex> lock(mu_);
  return queued_.size();
}

size_t TWavOut::PoolSize() const {
  std::lock_guard<std::mutex> lock(mu_);
  return pool_.size();
}

}  // namespace quen
