// The part every media manager shares: its items, the enabled flag (sound on or off) and the
// suspended flag of a paused game.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "media/media_item.h"

namespace quen {

class TMediaManager {
 public:
  // kind: "ogg", "wmp", "cdda", "midi" or "video".
  explicit TMediaManager(const char* kind) : kind_(kind) {}
  virtual ~TMediaManager() = default;
  TMediaManager(const TMediaManager&) = delete;
  TMediaManager& operator=(const TMediaManager&) = delete;

  // Opens an item for the file and keeps it; null (one line on standard error naming the
  // file) when the file is missing or refused.
  virtual TDMediaItem* Add(const std::string& name) = 0;
  // Frees the item.
  void Remove(TDMediaItem* item);
  // Pauses every item that plays (not paused, not at its end) and marks it; the others lose
  // the mark. Only when enabled and not suspended.
  virtual void Suspend();
  // Plays every marked item again. Only when enabled and suspended.
  virtual void Resume();
  void SetEnabled(bool on);
  bool Enabled() const { return enabled_; }
  bool Suspended() const { return suspended_; }
  // After the sound device was lost and opened again.
  virtual void Restore() {}
  const char* Kind() const { return kind_; }
  const std::vector<std::unique_ptr<TDMediaItem>>& Items() const { return items_; }
  bool AnyPlaying() const;
  // The one line on standard error for a file that gives no sound.
  static void ReportRefused(const std::string& name, const std::string& why);

 protected:
  TDMediaItem* Append(std::unique_ptr<TDMediaItem> item);
  // Frees every item (the managers' destructors, before their engines go).
  void Clear() { items_.clear(); }

 private:
  const char* kind_;
  std::vector<std::unique_ptr<TDMediaItem>> items_;
  bool enabled_ = true;
  bool suspended_ = false;
};

}  // namespace quen
