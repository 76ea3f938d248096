// The synthesiser port as a sound source: silent without a font, the same samples on every run
// with one.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "media/midi_play_v.h"
#include "platform/midi_synth.h"
#include "support/smf_builder.h"
#include "support/temp_dir.h"

namespace quen {
namespace {

// Plays a chord for 300 ms of game time, rendering as the headless capture does (the samples of
// each 10 ms after the sequencer stepped to it).
std::vector<int16_t> RenderChord(const std::string& font, bool render) {
  platform::MidiSynthOptions o;
  o.sound_font = font;
  o.render = render;
  platform::MidiSynth synth(o);
  TMidiPlayV seq(synth, TMidiPlayV::TMode::kStepped);
  seq.LoadFromBytes(test::Smf(480, {"00 C000 00 903C60 00 404060 00 434060 8360 FF2F00"}));
  seq.OpenPort(-1);
  seq.SendSystemOn();
  seq.PlayFrom(0);
  std::vector<int16_t> out;
  int64_t frames_done = 0;
  for (int64_t t = 10; t <= 300; t += 10) {
    seq.Step(t);
    const int64_t frames = t * 441 / 10 - frames_done;
    out.resize(out.size() + static_cast<size_t>(frames) * 2);
    synth.Render(out.data() + frames_done * 2, static_cast<size_t>(frames));
    frames_done += frames;
  }
  return out;
}

TEST(MidiSynthPort, RendersTheSameSamplesEveryRun) {
  const std::string font = platform::MidiSynth::FindSoundFont("");
  if (font.empty()) GTEST_SKIP() << "no General MIDI sound font installed";
  const auto a = RenderChord(font, true);
  const auto b = RenderChord(font, true);
  ASSERT_EQ(a.size(), 300u * 441 / 10 * 2);
  EXPECT_EQ(a, b);
  int peak = 0;
  for (int16_t s : a) peak = std::max(peak, std::abs(int{s}));
  EXPECT_GT(peak, 1500);
}

TEST(MidiSynthPort, SilentWithoutAFont) {
  ::testing::internal::CaptureStderr();
  const auto missing = RenderChord("/nonexistent/none.sf2", true);
  const std::string said = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
  for (int16_t s : missing) ASSERT_EQ(s, 0);
  const auto log_only = RenderChord("", false);
  for (int16_t s : log_only) ASSERT_EQ(s, 0);
}

// The message log file holds what the port received, closed or not; nothing sent to a closed port.
TEST(MidiSynthPort, LogsEveryMessageToTheDumpFile) {
  quen::testing::TempDir dir;
  std::string lines;
  {
    platform::MidiSynthOptions o;
    o.render = false;
    o.dump_file = dir / "midi.txt";
    o.log_line = [&](const std::string& l) { lines += l + "\n"; };
    platform::MidiSynth synth(o);
    synth.ShortMessage(0x403C90, 5);
    int done = 0;
    ASSERT_TRUE(synth.Open(-1, [&](platform::MidiNotification n, uint64_t id) {
      done += n == platform::MidiNotification::kDone && id == 7;
    }));
    synth.ShortMessage(0x403C90, 10);
    synth.ShortMessage(0x05C1, 20);
    const uint8_t sysex[] = {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7};
    synth.LongMessage(7, sysex, sizeof sysex, 30);
    EXPECT_EQ(done, 1);
    synth.Close();
    synth.ShortMessage(0x403C90, 40);
  }
  EXPECT_EQ(lines, "10 903C40\n20 C105\n30 F07E7F0901F7\n");
  EXPECT_EQ(dir.Read("midi.txt"), lines);
}

}  // namespace
}  // namespace quen
