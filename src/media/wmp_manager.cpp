#include "media/wmp_manager.h"

#include <algorithm>

#include "base/error.h"
#include "media/audio_output.h"
#include "media/media_streams.h"
#include "media/messages.h"
#include "media/quen_lib.h"

namespace quen {

TDMediaItem* TWmpManager::Add(const std::string& name) {
  try {
    if (context_.Output) context_.Output->EnsureOpen();
    return Append(std::make_unique<TWmpItem>(*this, name));
  } catch (const std::exception& e) {
    ReportRefused(name, e.what());
    return nullptr;
  }
}

void TWmpManager::Restore() {
  quenWmpmanRestore();
}

void TWmpManager::Poll() {
  quenWmpmanProcessEvent();
}

TWmpItem::TWmpItem(TMediaManager& manager, const std::string& name)
    : TDMediaItem(manager, name), memory_(LoadMediaFile(name)) {
  handle_ = quenWmpmanAdd(memory_.data(), static_cast<int64_t>(memory_.size()));
  if (handle_ == 0) throw EQuenError(msg::kBadSoundData);
}

TWmpItem::~TWmpItem() {
  quenWmpmanDel(handle_);
}

bool TWmpItem::GetAutoRepeat() {
  return quenWmpGetAutoRepeat(handle_);
}
void TWmpItem::SetAutoRepeat(bool on) {
  quenWmpSetAutoRepeat(handle_, on);
}
int32_t TWmpItem::GetPan() {
  return quenWmpGetPan(handle_);
}
int32_t TWmpItem::GetVolume() {
  return quenWmpGetVol(handle_);
}
void TWmpItem::SetPan(int32_t pan) {
  quenWmpSetPan(handle_, pan);
}
void TWmpItem::SetVolume(int32_t volume) {
  quenWmpSetVol(handle_, volume);
}
int32_t TWmpItem::GetPosition() {
  return quenWmpGetPosition(handle_);
}
void TWmpItem::SetPosition(int32_t ms) {
  quenWmpSetPosition(handle_, std::max(0, ms));
  quenWmpIsEnd(handle_);
  end_seen_ = false;
}
int32_t TWmpItem::GetLength() {
  return quenWmpGetLen(handle_);
}
bool TWmpItem::PeekEnd() {
  if (!end_seen_) end_seen_ = quenWmpIsEnd(handle_);
  return end_seen_;
}
bool TWmpItem::IsEnd() {
  const bool e = end_seen_ || quenWmpIsEnd(handle_);
  end_seen_ = false;
  return e;
}
bool TWmpItem::IsPlaying() {
  return quenWmpIsPlaying(handle_);
}
bool TWmpItem::IsPaused() {
  return quenWmpIsPaused(handle_);
}
void TWmpItem::Play() {
  if (DeferPlay()) return;
  quenWmpPlay(handle_);
}
void TWmpItem::Pause() {
  quenWmpPause(handle_);
}

}  // namespace quen
