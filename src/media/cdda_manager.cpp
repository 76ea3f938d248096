#include "media/cdda_manager.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "base/error.h"
#include "files/file_manager.h"
#include "media/audio_output.h"
#include "media/media_streams.h"
#include "media/messages.h"
#include "media/quen_lib.h"

namespace quen {

TCddaManager::~TCddaManager() {
  Clear();
}

int32_t TCddaManager::TrackNumber(const std::string& name) {
  int64_t n = 0;
  for (size_t i = 3; i < name.size() && name[i] >= '0' && name[i] <= '9'; ++i)
    n = std::min<int64_t>(n * 10 + (name[i] - '0'), 99999);
  return static_cast<int32_t>(n);
}

std::string TCddaManager::TrackFile(int32_t track) {
  if (track < 1) return {};
  char number[16];
  std::snprintf(number, sizeof number, "%02d", track);
  for (const char* folder : {"", "cd\\"})
    for (const char* base : {"CD_", "Track"})
      for (const char* ext : {".ogg", ".flac", ".wav"}) {
        const std::string name = std::string(folder) + base + number + ext;
        if (FileManager().FileExists(name)) return name;
      }
  return {};
}

int32_t TCddaManager::LineLevel(int32_t volume) {
  return (std::clamp(volume, -5000, 0) + 5000) * kSavedLevel / 5000;
}

TDMediaItem* TCddaManager::Add(const std::string& name) {
  const int32_t track = TrackNumber(name);
  const std::string file = TrackFile(track);
  if (file.empty()) {
    ReportRefused(name, "no file holds CD track " + std::to_string(track) +
                            " (CD_NN or TrackNN with .ogg, .flac or .wav)");
    return nullptr;
  }
  try {
    if (context_.Output) context_.Output->EnsureOpen();
    return Append(std::make_unique<TCddaItem>(*this, name, file));
  } catch (const std::exception& e) {
    ReportRefused(name, e.what());
    return nullptr;
  }
}

void TCddaManager::Restore() {
  quenOggmanRestore();
}

TCddaItem::TCddaItem(TCddaManager& manager, const std::string& name, const std::string& file)
    : TDMediaItem(manager, name),
      cdda_(manager),
      file_(file),
      track_(TCddaManager::TrackNumber(name)),
      stream_(OpenMediaStream(file)) {
  handle_ = quenOggmanAdd(stream_.get(), MediaExtension(file) == ".ogg");
  if (handle_ == 0) throw EQuenError(msg::kBadSoundData);
  ApplyVolume();
}

TCddaItem::~TCddaItem() {
  if (cdda_.current_ == this) cdda_.current_ = nullptr;
  quenOggmanDel(handle_);
}

void TCddaItem::ApplyVolume() {
  // The line level as a share of full scale, said in the engine's decibels.
  const int32_t level = TCddaManager::LineLevel(volume_);
  int32_t db = -10000;
  if (level > 0)
    db = static_cast<int32_t>(
        std::lround(2000.0 * std::log10(static_cast<double>(level) / TCddaManager::kSavedLevel)));
  quenOggSetVol(handle_, std::clamp(db, -10000, 0));
}

void TCddaItem::SetVolume(int32_t volume) {
  volume_ = volume;
  ApplyVolume();
}

int32_t TCddaItem::GetPosition() {
  return quenOggGetPosition(handle_) / 1000 * 1000;
}

void TCddaItem::SetPosition(int32_t ms) {
  const int32_t second = std::max(0, ms) / 1000;
  if (IsPlaying()) {
    quenOggSetPosition(handle_, second * 1000);
  } else {
    // Taken up by the next Play, like a position a pause left.
    resume_second_ = second;
    paused_ = true;
  }
  end_seen_ = false;
}

int32_t TCddaItem::GetLength() {
  return quenOggGetLen(handle_) / 1000 * 1000;
}

bool TCddaItem::PeekEnd() {
  if (!end_seen_) end_seen_ = quenOggIsEnd(handle_);
  return end_seen_;
}

bool TCddaItem::IsEnd() {
  const bool e = end_seen_ || quenOggIsEnd(handle_);
  end_seen_ = false;
  return e;
}

bool TCddaItem::IsPlaying() {
  return cdda_.current_ == this && quenOggIsPlaying(handle_);
}

void TCddaItem::Play() {
  if (DeferPlay()) return;
  // One track plays at a time: the one playing is paused for this one.
  if (cdda_.current_ && cdda_.current_ != this) cdda_.current_->Pause();
  cdda_.current_ = this;
  quenOggSetPosition(handle_, paused_ ? resume_second_ * 1000 : 0);
  paused_ = false;
  end_seen_ = false;
  ApplyVolume();
  quenOggPlay(handle_);
}

void TCddaItem::Pause() {
  // The player remembers a second less than it reached.
  resume_second_ = std::max(0, quenOggGetPosition(handle_) / 1000 - 1);
  paused_ = true;
  quenOggPause(handle_);
}

}  // namespace quen
