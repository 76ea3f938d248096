// Feeds arbitrary bytes to the MIDI file reader. A file it accepts must dump to a text that
// assembles back to the same bytes, and then play (repeating or not, from a third of its
// length) through a port that only counts, for four seconds of stepped time.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "authoring/midi_text.h"
#include "base/error.h"
#include "media/midi_play_v.h"
#include "platform/midi_synth.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view file(reinterpret_cast<const char*>(data), size);
  std::string text;
  try {
    text = quen::DumpMidiText(file);
  } catch (const quen::EQuenError&) {
    return 0;
  }
  if (quen::AssembleMidiText(text) != file) std::abort();

  quen::platform::MidiSynthOptions options;
  options.render = false;
  quen::platform::MidiSynth port(options);
  quen::TMidiPlayV seq(port, quen::TMidiPlayV::TMode::kStepped);
  seq.LoadFromBytes(file);
  seq.OpenPort(-1);
  seq.SendSystemOn();
  seq.SetRepeat(size & 1);
  seq.PlayFrom(seq.Length() / 3);
  seq.SetControllerScale(7, -50);
  for (int64_t t = 10; t <= 4000; t += 10) seq.Step(t);
  seq.PlayFrom(0);
  seq.Step(4010);
  seq.ClosePort();
  return 0;
}
