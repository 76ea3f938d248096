// What the system variables and functions see of the running player. The composition root
// implements it; quentool eval and tests pass one that lends nothing.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quen {

class TCallMan;
class TProject;
class TQuenBaseList;

// What the player lends to its system variables and functions. Each part answers for what it
// owns; a part that is missing leaves the default (nothing there, nothing changes).
class ISystemHost {
 public:
  virtual ~ISystemHost() = default;
  virtual TQuenBaseList* Registry() { return nullptr; }
  virtual TProject* Project() { return nullptr; }
  virtual TCallMan* CallMan() { return nullptr; }
  // The game's tick counter and the number of frame updates since start.
  virtual int32_t TickCount() { return 0; }
  virtual int32_t UpdateCount() { return 0; }
  // Moves the mouse pointer to panel coordinates.
  virtual void MoveMouse(int32_t /*x*/, int32_t /*y*/) {}
  virtual bool FullScreen() { return false; }
  virtual void SetFullScreen(bool /*on*/) {}
  // Display modes: count, the selected index (-1 none), selecting, and one mode's figures.
  virtual int32_t DisplayModeCount() { return 0; }
  virtual int32_t DisplayModeIndex() { return -1; }
  virtual void SetDisplayModeIndex(int32_t /*index*/) {}
  virtual bool DisplayMode(int32_t /*index*/, int32_t& /*width*/, int32_t& /*height*/,
                           int32_t& /*bits*/, int32_t& /*refresh*/) {
    return false;
  }
  // Hands a URL or folder to the desktop ("open"); headless players only report it.
  virtual void OpenUrl(const std::string& /*url*/) {}
  // The MIDI output ports ("MIDIマッパー" and the devices; none without MIDI), the chosen one
  // ("" without MIDI) and choosing one by name.
  virtual std::vector<std::string> MidiPorts() { return {}; }
  virtual std::string MidiPort() { return {}; }
  virtual void SetMidiPort(const std::string& /*name*/) {}
};

}  // namespace quen
