// CD audio. There are no drives to play from today: track N is a file of the game data or of
// its "cd" folder named "CD_NN" or "TrackNN" with ".ogg", ".flac" or ".wav", played by the
// media library's engine. What a CD player does stays: one track plays at a time, positions
// are whole seconds, a track paused at second s resumes at s - 1, and the volume is a linear
// share of the CD line's level (full here) instead of decibels.
#pragma once

#include <memory>
#include <string>

#include "base/stream.h"
#include "media/media_context.h"
#include "media/media_manager.h"

namespace quen {

class TCddaItem;

class TCddaManager : public TMediaManager {
 public:
  // The level of the CD line the volumes are a share of.
  static constexpr int32_t kSavedLevel = 65535;
  explicit TCddaManager(TMediaContext& context) : TMediaManager("cdda"), context_(context) {}
  ~TCddaManager() override;
  TDMediaItem* Add(const std::string& name) override;
  void Restore() override;
  // The game file that holds a track, or "" when there is none.
  static std::string TrackFile(int32_t track);
  // The track number of a "CD_" name (the number after its first three characters).
  static int32_t TrackNumber(const std::string& name);
  // The line level for a volume: (max(v, -5000) + 5000) * saved level / 5000.
  static int32_t LineLevel(int32_t volume);
  TCddaItem* Current() const { return current_; }

 private:
  friend class TCddaItem;
  TMediaContext& context_;
  TCddaItem* current_ = nullptr;
};

class TCddaItem : public TDMediaItem {
 public:
  TCddaItem(TCddaManager& manager, const std::string& name, const std::string& file);
  ~TCddaItem() override;
  int32_t GetPan() override { return pan_; }
  void SetPan(int32_t pan) override { pan_ = pan; }
  int32_t GetVolume() override { return volume_; }
  void SetVolume(int32_t volume) override;
  int32_t GetPosition() override;
  void SetPosition(int32_t ms) override;
  int32_t GetLength() override;
  bool IsEnd() override;
  bool IsPlaying() override;
  bool IsPaused() override { return paused_; }
  void Play() override;
  void Pause() override;
  bool PeekEnd() override;
  int32_t Track() const { return track_; }
  const std::string& File() const { return file_; }

 private:
  void ApplyVolume();
  TCddaManager& cdda_;
  std::string file_;
  int32_t track_ = 0;
  std::unique_ptr<TStream> stream_;
  int32_t handle_ = 0;
  int32_t volume_ = 0;
  int32_t pan_ = 0;
  int32_t resume_second_ = 0;
  bool paused_ = false;
  bool end_seen_ = false;
};

}  // namespace quen
