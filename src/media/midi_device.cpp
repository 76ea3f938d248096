#include "media/midi_device.h"

#include "base/error.h"
#include "base/sjis.h"

namespace quen {

TMidiDevice TMidiDevice::FromCaps(const platform::MidiOutCaps& caps) {
  TMidiDevice d;
  d.manufacturer_id = caps.manufacturer_id;
  d.product_id = caps.product_id;
  d.driver_version = Format("%2.2d.%2.2d", caps.driver_major, caps.driver_minor);
  // The system's name field holds 31 bytes and its terminator; a double-byte character is
  // never cut in half.
  size_t n = 0;
  while (n < caps.name.size()) {
    const size_t step = sjis::IsLeadByte(static_cast<uint8_t>(caps.name[n])) ? 2 : 1;
    if (n + step > 31) break;
    n += step;
  }
  d.name = caps.name.substr(0, n);
  d.technology = caps.technology;
  d.voices = caps.voices;
  d.notes = caps.notes;
  d.channel_mask = caps.channel_mask;
  d.support = caps.support;
  return d;
}

}  // namespace quen
