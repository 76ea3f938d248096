// The sequencer playing through a logging port: what reaches the port, and when.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "base/error.h"
#include "media/midi_play_v.h"
#include "platform/midi_synth.h"
#include "platform/realtime_thread.h"
#include "support/smf_builder.h"

namespace quen {
namespace {

using test::Smf;

// A stepped sequencer on a port that only logs, lines "MS HEX".
struct Rig {
  std::vector<std::string> log;
  platform::MidiSynth port{[this] {
    platform::MidiSynthOptions o;
    o.render = false;
    o.log_line = [this](const std::string& l) { log.push_back(l); };
    return o;
  }()};
  TMidiPlayV seq{port, TMidiPlayV::TMode::kStepped};

  explicit Rig(const std::string& file) {
    seq.LoadFromBytes(file);
    seq.OpenPort(-1);
  }
  void RunTo(int64_t ms) {
    while (seq.Timer().NextTickMs() <= ms) seq.Step(seq.Timer().NextTickMs());
    seq.Step(ms);
  }
  // The log lines from index `from` on that are not the 16 all-notes-off messages.
  std::vector<std::string> Sent(size_t from = 0) const {
    std::vector<std::string> out;
    for (size_t i = from; i < log.size(); ++i)
      if (log[i].find(" B") == std::string::npos || log[i].substr(log[i].size() - 4) != "7B00")
        out.push_back(log[i]);
    return out;
  }
  int AllNotesOffCount() const {
    int n = 0;
    for (const auto& l : log) n += l.size() > 4 && l.substr(l.size() - 4) == "7B00";
    return n;
  }
};

const char kGs[] = "F00A4110421240007F0041F7";

// Division 480 at 500000: 480 ticks are 500 ms, 48 are 50 ms.
std::string Piece() {
  return Smf(480, {"00 B00764 00 C005 00 903C40 30 B00A20 30 803C00 " + std::string("00 ") + kGs +
                   " 8360 903E40 8360 803E00 00 FF2F00"});
}

TEST(MidiSequencer, PlaysEachEventOnTheTickAfterIt) {
  Rig r(Piece());
  r.seq.SendSystemOn();
  r.seq.PlayFrom(0);
  r.RunTo(2000);
  EXPECT_EQ(r.Sent(),
            (std::vector<std::string>{"0 F07E7F0901F7", "10 B00764", "10 C005", "10 903C40",
                                      "60 B00A20", "110 803C00", "110 F04110421240007F0041F7",
                                      "610 903E40", "1110 803E00"}));
  EXPECT_TRUE(r.seq.IsEnd());
  EXPECT_TRUE(r.seq.TakeEnd());
  EXPECT_FALSE(r.seq.TakeEnd());
  EXPECT_TRUE(r.seq.IsEnd());  // peeking does not use the end up
  r.seq.PlayFrom(0);
  EXPECT_FALSE(r.seq.TakeEnd());
}

TEST(MidiSequencer, PlayFromChasesWithoutNotes) {
  Rig r(Piece());
  r.seq.PlayFrom(0);
  r.RunTo(700);  // past the note at 600
  size_t mark = r.log.size();
  // Back to 80 ms: everything before the event at 50 again, then playing from there.
  r.seq.PlayFrom(80);
  EXPECT_EQ(r.AllNotesOffCount(), 16);
  EXPECT_EQ(r.Sent(mark), (std::vector<std::string>{"700 B00764", "700 C005"}));
  EXPECT_EQ(r.seq.Position(), 0);
  mark = r.log.size();
  r.RunTo(760);
  // The note at 0 was chased over, so it stays silent.
  EXPECT_EQ(r.Sent(mark), (std::vector<std::string>{"760 B00A20"}));

  // Beyond the end: from the start.
  r.seq.PlayFrom(99999);
  EXPECT_EQ(r.seq.Position(), 0);
  // Forward over a GS reset: one settling wait, no notes.
  Rig f(Smf(480, {"00 " + std::string(kGs) + " 00 903C40 00 " + kGs +
                  " 00 B00750 8360 803C00 00 FF2F00"}));
  f.seq.PlayFrom(500);
  EXPECT_EQ(f.seq.Timer().WaitedMs(), 10);
  EXPECT_EQ(f.Sent(), (std::vector<std::string>{"0 F04110421240007F0041F7",
                                                "0 F04110421240007F0041F7", "0 B00750"}));
}

TEST(MidiSequencer, VolumeScalesControllerSeven) {
  struct Case {
    int32_t volume;
    const char* sent;  // controller 7 of channel 0 after the file's 127
  };
  const Case cases[] = {{0, "B0077F"},      {-5000, "B0073F"}, {-10000, "B00700"},
                        {-30000, "B00700"}, {12000, "B0077F"}, {INT32_MIN, "B00700"}};
  for (const auto& c : cases) {
    Rig r(Smf(480, {"00 B0077F 8360 B0077F 00 FF2F00"}));
    r.seq.PlayFrom(0);
    r.RunTo(20);
    r.seq.SetControllerScale(7, c.volume / 100 + 100);
    EXPECT_EQ(r.log.back(), std::string("20 BF07") + (c.sent + 4)) << c.volume;
    r.RunTo(600);
    EXPECT_EQ(r.log.back(), std::string("510 ") + c.sent) << c.volume;
    for (const auto& l : r.log)
      for (size_t i = l.find(' ') + 3; i + 1 < l.size(); i += 2)
        EXPECT_LT(std::stoi(l.substr(i, 2), nullptr, 16), 0x80) << l;
  }
}

TEST(MidiSequencer, RepeatStartsAgainKeepingControllers) {
  Rig r(Smf(480, {"00 B00740 00 903C40 8360 803C00 8360 FF2F00"}));
  r.seq.SetRepeat(true);
  r.seq.PlayFrom(0);
  r.RunTo(1040);
  EXPECT_FALSE(r.seq.IsEnd());
  EXPECT_EQ(r.AllNotesOffCount(), 16);
  EXPECT_EQ(r.seq.ControllerValue(0, 7), 0x40);
  // The second round plays the first events again on the tick after the restart.
  EXPECT_EQ(r.Sent(), (std::vector<std::string>{"10 B00740", "10 903C40", "510 803C00",
                                                "1020 B00740", "1020 903C40"}));
  r.seq.Stop();
  EXPECT_EQ(r.AllNotesOffCount(), 32);
  EXPECT_FALSE(r.seq.IsPlaying());
}

TEST(MidiSequencer, RefusedFileLeavesASilentPiece) {
  Rig r(Piece());
  r.seq.PlayFrom(0);
  r.RunTo(30);
  EXPECT_THROW(r.seq.LoadFromBytes(Smf(0, {"00 FF2F00"})), EQuenError);
  EXPECT_EQ(r.seq.Length(), 0);
  EXPECT_FALSE(r.seq.IsPlaying());
  r.seq.PlayFrom(0);
  const size_t mark = r.log.size();
  r.RunTo(500);
  EXPECT_EQ(r.log.size(), mark);
  EXPECT_EQ(r.seq.PortNames().size(), 2u);
}

// The real timer thread: plays a short piece to its end while the main thread keeps changing
// the volume under the hold; every event arrives once, in order.
TEST(MidiSequencer, TimerThreadPlaysUnderTheHold) {
  std::mutex m;
  std::vector<std::string> log;
  platform::MidiSynthOptions o;
  o.render = false;
  o.log_line = [&](const std::string& l) {
    std::lock_guard<std::mutex> g(m);
    log.push_back(l.substr(l.find(' ') + 1));
  };
  platform::MidiSynth port(o);
  TMidiPlayV seq(port, TMidiPlayV::TMode::kThread);
  seq.LoadFromBytes(Smf(960, {"00 903C40 30 803C00 30 903E40 30 803E00 30 FF2F00"}));
  seq.OpenPort(0);
  seq.PlayFrom(0);
  const int64_t start = platform::MonotonicMicros();
  while (!seq.IsEnd() && platform::MonotonicMicros() - start < 5000000) {
    seq.SetControllerScale(10, 100);
    platform::SleepMillis(1);
  }
  seq.ClosePort();
  std::vector<std::string> notes;
  for (const auto& l : log)
    if (l[0] == '9' || l[0] == '8') notes.push_back(l);
  EXPECT_EQ(notes, (std::vector<std::string>{"903C40", "803C00", "903E40", "803E00"}));
}

}  // namespace
}  // namespace quen
