#include "media/media_manager.h"

#include <algorithm>
#include <cstdio>

#include "platform/text_encoding.h"

namespace quen {

bool TDMediaItem::DeferPlay() {
  if (manager_.Enabled()) return false;
  resume_mark_ = true;
  return true;
}

void TMediaManager::Remove(TDMediaItem* item) {
  auto it = std::find_if(items_.begin(), items_.end(),
                         [item](const std::unique_ptr<TDMediaItem>& i) { return i.get() == item; });
  if (it == items_.end()) return;
  // Out of the list first: an item's destructor may still ask its manager about the others.
  std::unique_ptr<TDMediaItem> gone = std::move(*it);
  items_.erase(it);
}

void TMediaManager::Suspend() {
  if (!enabled_ || suspended_) return;
  suspended_ = true;
  for (auto& i : items_) {
    // The end is only looked at: the component still has to see it.
    const bool running = i->IsPlaying() && !i->IsPaused() && !i->PeekEnd();
    if (running) i->Pause();
    i->SetResumeMark(running);
  }
}

void TMediaManager::Resume() {
  if (!enabled_ || !suspended_) return;
  suspended_ = false;
  for (auto& i : items_) {
    if (!i->ResumeMark()) continue;
    i->SetResumeMark(false);
    i->Play();
  }
}

void TMediaManager::SetEnabled(bool on) {
  if (!on) {
    Suspend();
    enabled_ = false;
  } else {
    enabled_ = true;
    Resume();
  }
}

bool TMediaManager::AnyPlaying() const {
  for (const auto& i : items_)
    if (i->IsPlaying()) return true;
  return false;
}

TDMediaItem* TMediaManager::Append(std::unique_ptr<TDMediaItem> item) {
  items_.push_back(std::move(item));
  return items_.back().get();
}

void TMediaManager::ReportRefused(const std::string& name, const std::string& why) {
  // Names and the system's messages are Shift-JIS; the terminal reads UTF-8.
  std::string utf8, reason;
  if (!platform::TryCp932ToUtf8(name, utf8)) utf8 = name;
  if (!platform::TryCp932ToUtf8(why, reason)) reason = why;
  std::fprintf(stderr, "media: %s: %s\n", utf8.c_str(), reason.c_str());
}

}  // namespace quen
