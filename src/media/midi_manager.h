// MIDI music: every MIDI item plays on the manager's one sequencer, on the output port chosen
// from "MIDIマッパー" and the system's devices (entry 0 the mapper, entry k device k - 1).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "media/media_context.h"
#include "media/media_manager.h"
#include "media/sequencer.h"

namespace quen {

class TMidiItem;

class TMidiManager : public TMediaManager {
 public:
  // Without a sequencer (none installed) no item opens and no port is listed.
  TMidiManager(TMediaContext& context, std::unique_ptr<ISequencer> sequencer);
  ~TMidiManager() override;
  TDMediaItem* Add(const std::string& name) override;
  // Suspending also closes the port; the next Play opens it again.
  void Suspend() override;
  // "MIDIマッパー" and the device names; empty without a sequencer.
  std::vector<std::string> Ports() const;
  // The chosen entry of Ports(), "" without a sequencer.
  std::string Port() const;
  // Chooses the entry of that name (an unknown name changes nothing); an open port is closed
  // so the next Play opens the new one.
  void SetPort(const std::string& name);
  int32_t PortIndex() const { return port_; }
  // Around a switch of the screen: the music stops with its port closed, then the port opens
  // again and the music goes on where it was.
  void StopForSwitch();
  void RestartAfterSwitch();
  ISequencer* Sequencer() const { return sequencer_.get(); }
  TMidiItem* Current() const { return current_; }

 private:
  friend class TMidiItem;
  void OpenPortIfClosed();

  TMediaContext& context_;
  std::unique_ptr<ISequencer> sequencer_;
  TMidiItem* current_ = nullptr;
  int32_t port_ = 0;
  bool switch_stopped_ = false;
  bool switch_was_playing_ = false;
  int32_t switch_position_ = 0;
};

class TMidiItem : public TDMediaItem {
 public:
  // The file is only looked for here; it is loaded into the sequencer when it plays, so
  // opening an item (to read its length, say) never stops the music that plays.
  TMidiItem(TMidiManager& manager, const std::string& name);
  ~TMidiItem() override;
  bool GetAutoRepeat() override;
  void SetAutoRepeat(bool on) override;
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
  // The controller-7 percentage for a volume: v / 100 + 100 within 0..100.
  static int32_t VolumeScale(int32_t volume);

 private:
  bool Current() const;
  // Loads the file into the sequencer; false (one line on standard error) when it cannot.
  bool Load();

  TMidiManager& midi_;
  int32_t volume_ = 0;
  int32_t pan_ = 0;
  int32_t position_ = 0;
  bool repeat_ = false;
  bool paused_ = false;
  bool end_reported_ = false;
  int32_t length_ = -1;  // measured once
};

}  // namespace quen
