#include "media/sound_engine.h"

#include <algorithm>
#include <cstring>

#include "media/mix_ops.h"

namespace quen {

namespace {

// Source frames decoded at a time: small enough that the lock is held briefly.
constexpr int64_t kChunkFrames = 2048;
// How far ahead the thread keeps each playing voice, and what Play decodes at once.
constexpr int64_t kAheadFrames = platform::kAudioRate / 2;
constexpr int64_t kPrimeFrames = platform::kAudioRate / 10;

}  // namespace

TVoice::TVoice(TSoundEngine& engine, std::unique_ptr<TSoundSource> source)
    : engine_(engine), source_(std::move(source)) {
  const int32_t ch = source_->Channels(), rate = source_->Rate();
  // 44.1 kHz stereo and mono pass untouched, so such sound at full volume comes out bit for
  // bit; everything else goes through the resampler.
  if (rate == platform::kAudioRate && ch == 2) {
    path_ = Path::kStereo;
  } else if (rate == platform::kAudioRate && ch == 1) {
    path_ = Path::kMono;
  } else {
    path_ = Path::kConvert;
    resampler_ = platform::Resampler::Create(ch, rate);
  }
}

int64_t TVoice::ToTimeline(int64_t source_frame) const {
  return source_frame * platform::kAudioRate / std::max(1, source_->Rate());
}

void TVoice::Restart(int64_t frame) {
  frame = std::clamp<int64_t>(frame, 0, source_->Frames());
  source_->Decoder().Seek(frame);
  queue_.clear();
  head_used_ = 0;
  queued_ = 0;
  decode_pos_ = play_pos_ = ToTimeline(frame);
  eos_ = false;
  ended_ = false;
  if (path_ == Path::kConvert)
    resampler_ = platform::Resampler::Create(source_->Channels(), source_->Rate());
}

void TVoice::DecodeChunk() {
  if (eos_) return;
  const int32_t ch = source_->Channels();
  Chunk c;
  // Stereo at the output rate is decoded straight into the chunk.
  std::vector<int16_t>& into = path_ == Path::kStereo ? c.samples : in_;
  into.resize(static_cast<size_t>(kChunkFrames * ch));
  int64_t n = source_->Decoder().Read(into.data(), kChunkFrames);
  if (n == 0 && repeat_) {
    // Seamless: the converter keeps its state across the loop. A repeat position at or past
    // the end loops to the start instead of finding nothing forever.
    int64_t to = int64_t{repeat_pos_} * source_->Rate() / 1000;
    if (to >= source_->Frames()) to = 0;
    source_->Decoder().Seek(to);
    decode_pos_ = ToTimeline(to);
    n = source_->Decoder().Read(into.data(), kChunkFrames);
  }
  c.start = decode_pos_;
  if (n > 0) {
    switch (path_) {
      case Path::kStereo:
        c.samples.resize(static_cast<size_t>(n * 2));
        break;
      case Path::kMono:
        c.samples.resize(static_cast<size_t>(n * 2));
        for (int64_t i = 0; i < n; ++i) c.samples[2 * i] = c.samples[2 * i + 1] = in_[i];
        break;
      case Path::kConvert:
        if (resampler_) {
          c.samples.resize(static_cast<size_t>(resampler_->OutputBound(n) * 2));
          const int64_t got = resampler_->Convert(in_.data(), n, c.samples.data(),
                                                  static_cast<int64_t>(c.samples.size() / 2));
          c.samples.resize(static_cast<size_t>(got * 2));
        }
        break;
    }
  } else {
    c.samples.clear();
    // The end: what the converter still holds, then nothing more.
    if (path_ == Path::kConvert && resampler_) {
      c.samples.resize(static_cast<size_t>(resampler_->OutputBound(0) * 2));
      const int64_t got = resampler_->Convert(nullptr, 0, c.samples.data(),
                                              static_cast<int64_t>(c.samples.size() / 2));
      c.samples.resize(static_cast<size_t>(got * 2));
    }
    eos_ = true;
  }
  const int64_t frames = static_cast<int64_t>(c.samples.size() / 2);
  if (frames == 0) return;
  decode_pos_ += frames;
  queued_ += frames;
  queue_.push_back(std::move(c));
}

void TVoice::Fill(int64_t frames) {
  frames = std::min(frames, kMaxBufferedFrames);
  while (queued_ < frames && !eos_) DecodeChunk();
}

void TVoice::Mix(int32_t* acc, size_t frames) {
  if (!playing_ || paused_) return;
  const TMixOps& ops = MixOps();
  size_t done = 0;
  while (done < frames) {
    // Decoded as it is pulled, never more than the buffer holds: a long pull (headless, a
    // whole stretch of game time at once) goes round this loop.
    if (queue_.empty()) Fill(static_cast<int64_t>(frames - done));
    if (queue_.empty()) break;
    Chunk& head = queue_.front();
    const size_t have = head.samples.size() / 2 - head_used_;
    const size_t n = std::min(have, frames - done);
    ops.Accumulate(acc + done * 2, head.samples.data() + head_used_ * 2, n, gain_l_, gain_r_);
    head_used_ += n;
    done += n;
    queued_ -= static_cast<int64_t>(n);
    play_pos_ = head.start + static_cast<int64_t>(head_used_);
    if (head_used_ == head.samples.size() / 2) {
      queue_.pop_front();
      head_used_ = 0;
    }
  }
  if (queue_.empty() && eos_) {
    playing_ = false;
    ended_ = true;
    end_latch_ = true;
  }
}

void TVoice::Play() {
  std::lock_guard<std::mutex> lock(engine_.Mutex());
  if (ended_) Restart(0);
  playing_ = true;
  paused_ = false;
  Fill(kPrimeFrames);
}

void TVoice::Pause() {
  std::lock_guard<std::mutex> lock(engine_.Mutex());
  paused_ = true;
}

bool TVoice::IsPaused() const {
  std::lock_guard<std::mutex> lock(engine_.Mutex());
  return paused_;
}

bool TVoice::IsPlaying() const {
  std::lock_guard<std::mutex> lock(engine_.Mutex());
  return playing_ && !paused_;
}

bool TVoice::IsEnd() {
  std::lock_guard<std::mutex> lock(engine_.Mutex());
  const bool e = end_latch_;
  end_latch_ = false;
  return e;
}

bool TVoice::PeekEnd() const {
  std::lock_guard<std::mutex> lock(engine_.Mutex());
  return end_latch_ || ended_;
}

int32_t TVoice::LengthMs() const {
  std::lock_guard<std::mutex> lock(engine_.Mutex());
  return static_cast<int32_t>(std::min<int64_t>(source_->LengthMs(), INT32_MAX));
}

int32_t TVoice::PositionMs() const {
  std::lock_guard<std::mutex> lock(engine_.Mutex());
  return static_cast<int32_t>(
      std::min<int64_t>(play_pos_ * 1000 / platform::kAudioRate, INT32_MAX));
}

void TVoice::SetPositionMs(int32_t ms) {
  std::lock_guard<std::mutex> lock(engine_.Mutex());
  Restart(int64_t{std::max(0, ms)} * source_->Rate() / 1000);
  if (playing_ && !paused_) Fill(kPrimeFrames);
}

bool TVoice::Repeat() const {
  std::lock_guard<std::mutex> lock(engine_.Mutex());
  return repeat_;
}

void TVoice::SetRepeat(bool on) {
  std::lock_guard<std::mutex> lock(engine_.Mutex());
  repeat_ = on;
}

int32_t TVoice::RepeatPosMs() const {
  std::lock_guard<std::mutex> lock(engine_.Mutex());
  return repeat_pos_;
}

void TVoice::SetRepeatPosMs(int32_t ms) {
  std::lock_guard<std::mutex> lock(engine_.Mutex());
  repeat_pos_ = std::max(0, ms);
}

int32_t TVoice::Volume() const {
  std::lock_guard<std::mutex> lock(engine_.Mutex());
  return volume_;
}

void TVoice::SetVolume(int32_t hundredths_db) {
  std::lock_guard<std::mutex> lock(engine_.Mutex());
  volume_ = std::clamp(hundredths_db, -10000, 0);
  StereoGains(volume_, pan_, gain_l_, gain_r_);
}

int32_t TVoice::Pan() const {
  std::lock_guard<std::mutex> lock(engine_.Mutex());
  return pan_;
}

void TVoice::SetPan(int32_t hundredths_db) {
  std::lock_guard<std::mutex> lock(engine_.Mutex());
  pan_ = std::clamp(hundredths_db, -10000, 10000);
  StereoGains(volume_, pan_, gain_l_, gain_r_);
}

int64_t TVoice::BufferedFrames() const {
  std::lock_guard<std::mutex> lock(engine_.Mutex());
  return queued_;
}

TSoundEngine::TSoundEngine(platform::IAudioDevice* device) : device_(device) {
  if (device_) device_->AddSource(this);
}

TSoundEngine::~TSoundEngine() {
  thread_.reset();
  if (device_) device_->RemoveSource(this);
}

TVoice* TSoundEngine::AddVoice(std::unique_ptr<TSoundSource> source) {
  std::unique_ptr<TVoice> v(new TVoice(*this, std::move(source)));
  TVoice* raw = v.get();
  std::lock_guard<std::mutex> lock(mu_);
  voices_.push_back(std::move(v));
  return raw;
}

void TSoundEngine::RemoveVoice(TVoice* voice) {
  std::unique_ptr<TVoice> gone;
  {
    std::lock_guard<std::mutex> lock(mu_);
    auto it = std::find_if(voices_.begin(), voices_.end(),
                           [voice](const std::unique_ptr<TVoice>& v) { return v.get() == voice; });
    if (it == voices_.end()) return;
    gone = std::move(*it);
    voices_.erase(it);
  }
}

void TSoundEngine::SetUseThread(bool on) {
  if (!on || platform::VirtualMediaTime()) {
    thread_.reset();
    return;
  }
  if (!thread_) thread_ = std::make_unique<platform::PeriodicTimer>(10, [this] { DecodePass(); });
}

void TSoundEngine::Update() {
  DecodePass();
}

void TSoundEngine::Restore() {
  if (device_) device_->AddSource(this);
}

void TSoundEngine::DecodePass() {
  // One chunk per voice at a time, so the mixer never waits long for the lock.
  for (;;) {
    std::lock_guard<std::mutex> lock(mu_);
    bool more = false;
    for (auto& v : voices_) {
      if (!v->playing_ || v->eos_ || v->queued_ >= kAheadFrames) continue;
      v->DecodeChunk();
      more = true;
    }
    if (!more) return;
  }
}

void TSoundEngine::Render(int16_t* stereo, size_t frames) {
  std::lock_guard<std::mutex> lock(mu_);
  acc_.assign(frames * 2, 0);
  for (auto& v : voices_) v->Mix(acc_.data(), frames);
  MixOps().Pack(stereo, acc_.data(), frames * 2);
}

}  // namespace quen
