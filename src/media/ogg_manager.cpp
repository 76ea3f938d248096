#include "media/ogg_manager.h"

#include <algorithm>

#include "base/error.h"
#include "media/audio_output.h"
#include "media/media_streams.h"
#include "media/messages.h"
#include "media/quen_lib.h"

namespace quen {

int64_t MsToBytes(int64_t ms, int64_t bytes_per_sec, int32_t block_align) {
  if (ms <= 0 || bytes_per_sec <= 0) return 0;
  // Nearest byte first (3 ms of 44.1 kHz stereo is 529.2 bytes), then down to a whole frame:
  // an odd offset would swap the channels and bytes of every sample after it.
  const int64_t bytes = (ms * bytes_per_sec + 500) / 1000;
  return block_align > 1 ? bytes - bytes % block_align : bytes;
}

int32_t BytesToMs(int64_t bytes, int64_t bytes_per_sec) {
  if (bytes <= 0 || bytes_per_sec <= 0) return 0;
  return static_cast<int32_t>(
      std::min<int64_t>((bytes * 1000 + bytes_per_sec / 2) / bytes_per_sec, INT32_MAX));
}

int32_t WaveVolumeFactor(int32_t volume) {
  return (std::clamp(volume, -5000, 0) + 5000) * 256 / 5000;
}

// ---- manager ----

TOggManager::TOggManager(TMediaContext& context) : TMediaManager("ogg"), context_(context) {}

TOggManager::~TOggManager() {
  Clear();
  wav_out_.reset();
}

TDMediaItem* TOggManager::Add(const std::string& name) {
  try {
    if (context_.DirectSound) {
      // The first item played by the library opens the sound device.
      if (context_.Output) context_.Output->EnsureOpen();
      return Append(std::make_unique<TOggItem>(*this, name));
    }
    if (!wav_out_) {
      if (context_.Output) context_.Output->EnsureOpen();
      wav_out_ = std::make_unique<TWavOut>(context_.Output, context_.DelayTime);
    }
    wav_out_->Open(true);
    return Append(std::make_unique<TOggWaveItem>(*this, name, *wav_out_));
  } catch (const std::exception& e) {
    ReportRefused(name, e.what());
    return nullptr;
  }
}

void TOggManager::Restore() {
  quenOggmanRestore();
}

// ---- library-played item ----

TOggItem::TOggItem(TMediaManager& manager, const std::string& name)
    : TDMediaItem(manager, name), stream_(OpenMediaStream(name)) {
  handle_ = quenOggmanAdd(stream_.get(), MediaExtension(name) == ".ogg");
  if (handle_ == 0) throw EQuenError(msg::kBadSoundData);
}

TOggItem::~TOggItem() {
  quenOggmanDel(handle_);
}

bool TOggItem::GetAutoRepeat() {
  return quenOggGetAutoRepeat(handle_);
}
void TOggItem::SetAutoRepeat(bool on) {
  quenOggSetAutoRepeat(handle_, on);
}
int32_t TOggItem::GetRepeatPos() {
  return quenOggGetRepeatPos(handle_);
}
void TOggItem::SetRepeatPos(int32_t ms) {
  quenOggSetRepeatPos(handle_, ms);
}
int32_t TOggItem::GetPan() {
  return quenOggGetPan(handle_);
}
int32_t TOggItem::GetVolume() {
  return quenOggGetVol(handle_);
}
void TOggItem::SetPan(int32_t pan) {
  quenOggSetPan(handle_, pan);
}
void TOggItem::SetVolume(int32_t volume) {
  quenOggSetVol(handle_, volume);
}
int32_t TOggItem::GetPosition() {
  return quenOggGetPosition(handle_);
}
void TOggItem::SetPosition(int32_t ms) {
  quenOggSetPosition(handle_, std::max(0, ms));
}
int32_t TOggItem::GetLength() {
  return quenOggGetLen(handle_);
}
bool TOggItem::PeekEnd() {
  if (!end_seen_) end_seen_ = quenOggIsEnd(handle_);
  return end_seen_;
}
bool TOggItem::IsEnd() {
  const bool e = end_seen_ || quenOggIsEnd(handle_);
  end_seen_ = false;
  return e;
}
bool TOggItem::IsPlaying() {
  return quenOggIsPlaying(handle_);
}
bool TOggItem::IsPaused() {
  return quenOggIsPaused(handle_);
}
void TOggItem::Play() {
  if (DeferPlay()) return;
  quenOggPlay(handle_);
}
void TOggItem::Pause() {
  quenOggPause(handle_);
}

// ---- wave output item ----

TOggWaveItem::TOggWaveItem(TMediaManager& manager, const std::string& name, TWavOut& engine)
    : TDMediaItem(manager, name), engine_(engine), stream_(OpenMediaStream(name)) {
  handle_ = quenOggStrmanAdd(stream_.get(), MediaExtension(name) == ".ogg");
  TQuenWaveFormat f{};
  if (handle_ == 0 || !quenOggStrGetFormat(handle_, &f)) {
    quenOggStrmanDel(handle_);
    throw EQuenError(msg::kBadSoundData);
  }
  format_.Channels = f.channels;
  format_.SamplesPerSec = static_cast<int32_t>(f.samples_per_sec);
  format_.BitsPerSample = f.bits_per_sample;
  buffer_ = engine_.AddSource(format_, this);
}

TOggWaveItem::~TOggWaveItem() {
  engine_.RemoveSource(buffer_);
  quenOggStrmanDel(handle_);
}

int64_t TOggWaveItem::BytesPerSec() const {
  return int64_t{format_.Channels} * format_.BitsPerSample * format_.SamplesPerSec / 8;
}

int64_t TOggWaveItem::Read(void* buffer, int64_t count) {
  return quenOggStrRead(handle_, buffer, static_cast<int32_t>(std::min<int64_t>(count, INT32_MAX)));
}
int64_t TOggWaveItem::Tell() {
  return quenOggStrGetPos(handle_);
}
void TOggWaveItem::Seek(int64_t bytes) {
  quenOggStrSetPos(handle_, static_cast<int32_t>(std::clamp<int64_t>(bytes, 0, INT32_MAX)));
}
int64_t TOggWaveItem::Size() {
  return quenOggStrGetSize(handle_);
}

bool TOggWaveItem::GetAutoRepeat() {
  return buffer_->Repeat();
}
void TOggWaveItem::SetAutoRepeat(bool on) {
  buffer_->SetRepeat(on);
}
int32_t TOggWaveItem::GetRepeatPos() {
  return BytesToMs(buffer_->RepeatPosition(), BytesPerSec());
}
void TOggWaveItem::SetRepeatPos(int32_t ms) {
  const int32_t align = format_.Channels * format_.BitsPerSample / 8;
  buffer_->SetRepeatPosition(MsToBytes(ms, BytesPerSec(), align));
}
void TOggWaveItem::SetVolume(int32_t volume) {
  volume_ = volume;
  buffer_->SetVolume(WaveVolumeFactor(volume));
}
int32_t TOggWaveItem::GetPosition() {
  return BytesToMs(buffer_->ReadPosition(), BytesPerSec());
}
void TOggWaveItem::SetPosition(int32_t ms) {
  const int32_t align = format_.Channels * format_.BitsPerSample / 8;
  buffer_->SetPosition(MsToBytes(std::max(0, ms), BytesPerSec(), align));
  end_reported_ = false;
}
int32_t TOggWaveItem::GetLength() {
  return quenOggStrGetLen(handle_);
}
bool TOggWaveItem::PeekEnd() {
  return !end_reported_ && buffer_->FinishedLongAgo() && !buffer_->Repeat();
}
bool TOggWaveItem::IsEnd() {
  if (end_reported_ || !buffer_->FinishedLongAgo()) return false;
  if (buffer_->Repeat()) {
    // Repeat switched on after the end: it starts over instead.
    buffer_->SetPosition(0);
    buffer_->Play();
    return false;
  }
  // Finished stays true; the end is told once per play, not on every frame after it.
  end_reported_ = true;
  return true;
}
bool TOggWaveItem::IsPlaying() {
  return buffer_->Playing() && !buffer_->Paused() && !buffer_->FinishedLongAgo();
}
bool TOggWaveItem::IsPaused() {
  return buffer_->Paused();
}
void TOggWaveItem::Play() {
  if (DeferPlay()) return;
  end_reported_ = false;
  buffer_->Play();
}
void TOggWaveItem::Pause() {
  buffer_->Pause();
}

}  // namespace quen
