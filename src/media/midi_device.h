// One MIDI output device of the system, as the sequencer lists them at creation.
#pragma once

#include <cstdint>
#include <string>

#include "platform/midi_port.h"

namespace quen {

struct TMidiDevice {
  uint16_t manufacturer_id = 0;
  uint16_t product_id = 0;
  std::string driver_version;  // "%2.2d.%2.2d", major and minor
  std::string name;            // at most 32 characters
  uint16_t technology = 0;
  uint16_t voices = 0;
  uint16_t notes = 0;
  uint16_t channel_mask = 0;
  uint32_t support = 0;

  static TMidiDevice FromCaps(const platform::MidiOutCaps& caps);
};

}  // namespace quen
