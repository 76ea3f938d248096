// The MIDI file sequencer: plays a loaded file on a MIDI output port from its timer, keeps every
// channel's controller values so that the music volume is a percentage of controller 7, starts
// at any millisecond by chasing the controllers and programs before it, and repeats from the
// start when asked.
//
// How the MIDI manager and its items use it (one sequencer per manager, serving the current
// item; the port is the manager's and outlives the sequencer):
//
//   TMidiPlayV seq(port, TMidiPlayV::TMode::kThread);   // headless: kStepped
//   seq.PortNames();             // "MIDIマッパー", then the devices: entry k opens device k - 1
//   // Play of an item: load only now (creating an item must not disturb the music playing).
//   seq.LoadFromBytes(file);     // raises "サウンドデータが不正です (...)" for a refused file
//   if (!seq.IsOpen()) seq.OpenPort(entry - 1);
//   seq.SendSystemOn();
//   seq.PlayFrom(remembered_ms);
//   seq.SetControllerScale(7, volume / 100 + 100);   // volume in hundredths of a dB
//   // Pause: remembered_ms = seq.Position(); seq.Stop();
//   // Each frame: if (seq.TakeEnd()) fire the item's end event (true once per play);
//   //   suspending asks IsEnd(), which takes nothing.
//   // Length of a file never loaded: TMidiV::MeasureLength(file), no sequencer needed.
//   // Freeing the current item, deactivation, a full-screen switch: seq.ClosePort().
//   // Headless, the frame loop calls seq.Step(game_ms) each frame before the interpreter runs
//   // and in time order with the sound capture; ticks fall every 10 ms of game time.
//
// All operations belong to the main thread; the timer's ticks run on its own thread and the
// port may report from any thread.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "media/midi_device.h"
#include "media/midi_v.h"
#include "media/mm_timer.h"
#include "platform/midi_port.h"

namespace quen {

class TMidiPlayV : public TMidiV {
 public:
  using TMode = TMMTimer::TMode;
  static constexpr int32_t kTickMs = 10;
  // Polls of a notification wait, one per millisecond.
  static constexpr int32_t kWaitPolls = 29999;

  TMidiPlayV(platform::IMidiPort& port, TMode mode);
  ~TMidiPlayV() override;

  // Stops, reads the file, rewinds, and sets controller 7 of every channel to 127. A refused
  // file leaves an empty list (Length 0) and raises.
  void LoadFromStream(TStream& stream);
  void LoadFromBytes(std::string_view file);

  // device -1 is the mapper. False (and the port stays closed) when it cannot be opened.
  bool OpenPort(int32_t device);
  bool IsOpen() const { return open_; }
  // GM System On as a long message, after and before waiting for the long messages pending.
  void SendSystemOn();
  void PlayFrom(int32_t ms);
  void Stop();
  void ClosePort();

  bool IsPlaying() { return timer_.Enabled(); }
  // Not repeating and the next event is the last one.
  bool IsEnd() const;
  // IsEnd, but true only once per play (PlayFrom and loading arm it again).
  bool TakeEnd();
  int32_t Position() const { return position_; }
  // Percentage for controller n on every channel; sent again at once while playing. The value
  // sent is kept within 0..127 whatever the percentage.
  void SetControllerScale(int32_t controller, int32_t percent);
  int32_t ControllerValue(int32_t channel, int32_t controller) const {
    return values_[channel][controller];
  }
  bool Repeat() const { return repeat_; }
  void SetRepeat(bool repeat) { repeat_ = repeat; }

  const std::vector<TMidiDevice>& Devices() const { return devices_; }
  // "MIDIマッパー" followed by the device names (Shift-JIS).
  std::vector<std::string> PortNames() const;

  // Headless: see TMMTimer::Step.
  void Step(int64_t now_ms) { timer_.Step(now_ms); }
  TMMTimer& Timer() { return timer_; }
  size_t PendingLongMessages();

 private:
  struct TLongBuffer {
    uint64_t id;
    std::vector<uint8_t> bytes;
  };

  void Rewind();
  void Tick(int64_t now_ms);
  // Controllers go out scaled; meta events are never sent.
  void SendEvent(const TMidiMsgEvent& e, int64_t now_ms);
  void SendController(int32_t channel, int32_t controller, int64_t now_ms);
  void SendShort(uint32_t packed, int64_t now_ms);
  void SendLong(std::string_view bytes, int64_t now_ms);
  void AllNotesOff(int64_t now_ms);
  void OnNotify(platform::MidiNotification what, uint64_t buffer);
  // Polls every millisecond until done() or the polls run out.
  template <typename F>
  void WaitUntil(F done);

  platform::IMidiPort& port_;
  std::vector<TMidiDevice> devices_;
  std::atomic<int32_t> current_{0};
  std::atomic<int32_t> position_{0};
  int64_t last_tick_ms_ = 0;
  std::atomic<bool> repeat_{false};
  std::atomic<bool> open_{false};
  bool end_taken_ = false;
  std::array<std::array<int32_t, 128>, 16> values_{};
  std::array<std::array<int32_t, 128>, 16> scales_{};

  // The timer thread adds, the port's done notification removes: guarded.
  std::mutex pending_lock_;
  std::list<TLongBuffer> pending_;
  uint64_t next_buffer_id_ = 1;
  std::atomic<bool> opened_note_{false};
  std::atomic<bool> closed_note_{false};

  // Last, so that it stops before anything its ticks use goes.
  TMMTimer timer_;
};

}  // namespace quen
