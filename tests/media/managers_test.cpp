#include <gtest/gtest.h>

#include <map>

#include "base/error.h"

#include "media/messages.h"
#include "media/sequencer.h"
#include "media_fixtures.h"
#include "platform/trace.h"

namespace quen {
namespace {

using testing::MediaWorld;
using testing::Noise;
using testing::Wave16;

TEST(MediaRouting, ByExtensionThenCdNames) {
  struct Case {
    const char* name;
    TMediaRoute route;
  } cases[] = {
      {"BGM.MID", TMediaRoute::kMidi},        {"se\\a.sgt", TMediaRoute::kMidi},
      {"voice.WAV", TMediaRoute::kOgg},       {"bgm.ogg", TMediaRoute::kOgg},
      {"x.wma", TMediaRoute::kWmp},           {"x.Asf", TMediaRoute::kWmp},
      {"x.wmv", TMediaRoute::kWmp},           {"CD_12", TMediaRoute::kCdda},
      {"movie.avi", TMediaRoute::kNone},      {"cd_12", TMediaRoute::kNone},
      {"dir.ogg\\noext", TMediaRoute::kNone},
  };
  for (const Case& c : cases) EXPECT_EQ(RouteSoundFile(c.name), c.route) << c.name;
  EXPECT_EQ(TCddaManager::TrackNumber("CD_12"), 12);
  EXPECT_EQ(TCddaManager::TrackNumber("CD_"), 0);
}

TEST(MediaUnits, PositionsVolumesAndLevels) {
  // 176400 bytes a second: 1000 ms is byte 176400; 3 ms is 529.2 bytes, cut to a frame.
  EXPECT_EQ(MsToBytes(1000, 176400, 4), 176400);
  EXPECT_EQ(MsToBytes(3, 176400, 4), 528);
  EXPECT_EQ(MsToBytes(13000, 176400, 4), 2293200);  // past 32 bits in the product
  EXPECT_EQ(MsToBytes(-5, 176400, 4), 0);
  EXPECT_EQ(MsToBytes(7, 22050, 1), 154);
  EXPECT_EQ(BytesToMs(176400, 176400), 1000);
  EXPECT_EQ(BytesToMs(529, 176400), 3);
  for (auto [v, factor, level, scale] : {std::tuple{0, 256, 65535, 100},
                                         {-2500, 128, 32767, 75},
                                         {-5000, 0, 0, 50},
                                         {-10000, 0, 0, 0},
                                         {-20000, 0, 0, 0},
                                         {300, 256, 65535, 100}}) {
    EXPECT_EQ(WaveVolumeFactor(v), factor) << v;
    EXPECT_EQ(TCddaManager::LineLevel(v), level) << v;
    EXPECT_EQ(TMidiItem::VolumeScale(v), scale) << v;
  }
}

// An item that plays without a file.
class FakeItem : public TDMediaItem {
 public:
  using TDMediaItem::TDMediaItem;
  bool IsPlaying() override { return playing && !paused; }
  bool IsPaused() override { return paused; }
  bool PeekEnd() override { return end; }
  bool IsEnd() override { return std::exchange(end, false); }
  void Play() override {
    if (DeferPlay()) return;
    playing = true;
    paused = false;
    ++plays;
  }
  void Pause() override { paused = true; }
  bool playing = false, paused = false, end = false;
  int plays = 0;
};

class FakeManager : public TMediaManager {
 public:
  FakeManager() : TMediaManager("fake") {}
  TDMediaItem* Add(const std::string& name) override {
    return Append(std::make_unique<FakeItem>(*this, name));
  }
};

TEST(MediaManager, SuspendResumeAndEnabled) {
  FakeManager m;
  auto* playing = static_cast<FakeItem*>(m.Add("a"));
  auto* paused = static_cast<FakeItem*>(m.Add("b"));
  auto* ended = static_cast<FakeItem*>(m.Add("c"));
  playing->Play();
  paused->Play();
  paused->Pause();
  ended->Play();
  ended->end = true;
  m.Suspend();
  EXPECT_TRUE(m.Suspended());
  EXPECT_TRUE(playing->paused);
  EXPECT_TRUE(playing->ResumeMark());
  EXPECT_FALSE(paused->ResumeMark());
  EXPECT_FALSE(ended->ResumeMark());
  EXPECT_TRUE(ended->end);  // looked at, not used up: the component still sees the end
  m.Resume();
  EXPECT_EQ(playing->plays, 2);
  EXPECT_EQ(paused->plays, 1);
  EXPECT_FALSE(playing->ResumeMark());
  // Disabled, a play is only remembered and happens when sound comes back on.
  m.SetEnabled(false);
  EXPECT_TRUE(playing->paused);
  paused->Play();
  EXPECT_EQ(paused->plays, 1);
  m.SetEnabled(true);
  EXPECT_EQ(paused->plays, 2);
  EXPECT_EQ(playing->plays, 3);
  m.Remove(playing);
  EXPECT_EQ(m.Items().size(), 2u);
}

// Records what the MIDI manager asks of the sequencer.
struct SeqLog {
  std::vector<std::string> calls;
  int loads = 0;
  bool fail_load = false;
};

class FakeSequencer : public ISequencer {
 public:
  explicit FakeSequencer(SeqLog& log) : log_(log) {}
  void LoadFromStream(TStream& s) override {
    ++log_.loads;
    log_.calls.push_back("load " + std::to_string(s.GetSize()));
    if (log_.fail_load) throw EQuenError("bad file");
    length_ = static_cast<int32_t>(s.GetSize()) * 10;
  }
  bool OpenPort(int32_t d) override {
    log_.calls.push_back("open " + std::to_string(d));
    open_ = true;
    return true;
  }
  void ClosePort() override {
    log_.calls.push_back("close");
    open_ = false;
  }
  bool PortOpen() const override { return open_; }
  void SendSystemOn() override { log_.calls.push_back("on"); }
  void PlayFrom(int32_t ms) override {
    log_.calls.push_back("from " + std::to_string(ms));
    playing_ = true;
    pos_ = ms;
  }
  void Stop() override {
    log_.calls.push_back("stop");
    playing_ = false;
  }
  bool IsPlaying() const override { return playing_; }
  bool IsEnd() const override { return pos_ >= length_; }
  int32_t Position() const override { return pos_; }
  int32_t Length() const override { return length_; }
  void SetControllerScale(int32_t c, int32_t p) override {
    log_.calls.push_back("scale " + std::to_string(c) + " " + std::to_string(p));
  }
  bool Repeat() const override { return repeat_; }
  void SetRepeat(bool on) override { repeat_ = on; }
  std::vector<std::string> DeviceNames() const override { return {"Synth"}; }
  int32_t MeasureLength(const std::string& file) const override {
    log_.calls.push_back("measure " + std::to_string(file.size()));
    if (log_.fail_load) return 0;
    return static_cast<int32_t>(file.size()) * 10;
  }
  int32_t pos_ = 0;

 private:
  SeqLog& log_;
  bool open_ = false, playing_ = false, repeat_ = false;
  int32_t length_ = 0;
};

class MidiManagerRun : public MediaWorld {
 protected:
  void SetUp() override {
    MediaWorld::SetUp();
    SetSequencerFactory(
        [this](platform::IAudioDevice&) { return std::make_unique<FakeSequencer>(log); });
  }
  void TearDown() override {
    MediaWorld::TearDown();
    SetSequencerFactory(nullptr);
  }
  FakeSequencer& Seq() { return *static_cast<FakeSequencer*>(media->Midi()->Sequencer()); }
  SeqLog log;
};

TEST_F(MidiManagerRun, LoadsAtPlayAndTellsTheEndOnce) {
  dir.Write("a.mid", "0123456789");
  dir.Write("b.mid", "01234");
  TMediaSystem& m = Start();
  EXPECT_EQ(m.MidiPorts(), (std::vector<std::string>{msg::kMidiMapper, "Synth"}));
  EXPECT_EQ(m.MidiPort(), msg::kMidiMapper);
  TDMediaItem* a = m.Midi()->Add("a.mid");
  TDMediaItem* b = m.Midi()->Add("b.mid");
  ASSERT_TRUE(a && b);
  EXPECT_EQ(log.loads, 0);  // opening items loads nothing into the shared sequencer
  a->SetVolume(-5000);
  a->SetPosition(20);
  a->Play();
  EXPECT_EQ(log.calls,
            (std::vector<std::string>{"load 10", "open -1", "on", "from 20", "scale 7 50"}));
  // b's length comes from a sequencer of its own: the music plays on.
  log.calls.clear();
  EXPECT_EQ(b->GetLength(), 50);
  EXPECT_EQ(log.calls, (std::vector<std::string>{"measure 5"}));
  EXPECT_TRUE(a->IsPlaying());
  Seq().pos_ = 100;
  EXPECT_FALSE(a->IsPlaying());  // the timer runs on at the end; that is not playing
  EXPECT_TRUE(a->PeekEnd());
  EXPECT_TRUE(a->IsEnd());
  EXPECT_FALSE(a->IsEnd());
  EXPECT_FALSE(a->PeekEnd());
  // Choosing the synthesiser closes the mapper; playing opens device 0.
  m.SetMidiPort("Synth");
  EXPECT_EQ(m.MidiPort(), "Synth");
  m.SetMidiPort("nothing of that name");
  EXPECT_EQ(m.MidiPort(), "Synth");
  a->SetPosition(0);
  log.calls.clear();
  a->Play();
  EXPECT_EQ(log.calls[0], "open 0");
  // Around a screen switch the music stops with its port closed and goes on where it was.
  Seq().pos_ = 40;
  log.calls.clear();
  m.StopSynthMusic();
  m.RestartSynthMusic();
  EXPECT_EQ(log.calls, (std::vector<std::string>{"stop", "close", "open 0", "on", "from 40"}));
  // Freeing the playing item stops it and closes the port.
  log.calls.clear();
  m.Midi()->Remove(a);
  EXPECT_EQ(log.calls, (std::vector<std::string>{"stop", "close"}));
}

TEST_F(MidiManagerRun, RefusedFilesGiveNoItem) {
  dir.Write("bad.mid", "MThx");
  dir.Write("empty.mid", "");
  dir.Write("x.sgt", "segment");
  TMediaSystem& m = Start();
  EXPECT_FALSE(m.Midi()->Add("x.sgt"));
  EXPECT_FALSE(m.Midi()->Add("missing.mid"));
  log.fail_load = true;
  TDMediaItem* bad = m.Midi()->Add("bad.mid");
  ASSERT_TRUE(bad);
  EXPECT_EQ(bad->GetLength(), 0);  // a file that does not load is 0 long
  bad->Play();
  EXPECT_FALSE(bad->IsPlaying());
  TDMediaItem* empty = m.Midi()->Add("empty.mid");
  empty->Play();  // an empty file is ignored
  EXPECT_FALSE(empty->IsPlaying());
}

class CdRun : public MediaWorld {};

TEST_F(CdRun, TracksSecondsAndOneAtATime) {
  dir.Write("CD_02.wav", Wave16(2, 44100, std::vector<int16_t>(2 * 44100 * 12, 1000)));
  platform::MakeDirectory(dir / "cd");
  dir.Write("cd/Track03.wav", Wave16(1, 44100, std::vector<int16_t>(44100 * 2, 500)));
  EXPECT_EQ(TCddaManager::TrackFile(2), "CD_02.wav");
  EXPECT_EQ(TCddaManager::TrackFile(3), "cd\\Track03.wav");
  EXPECT_EQ(TCddaManager::TrackFile(4), "");
  TMediaSystem& m = Start();
  EXPECT_FALSE(m.Cdda()->Add("CD_04"));
  TDMediaItem* two = m.Cdda()->Add("CD_02");
  TDMediaItem* three = m.Cdda()->Add("CD_3");
  ASSERT_TRUE(two && three);
  EXPECT_EQ(two->GetLength(), 12000);
  two->Play();
  m.Step(10500);
  EXPECT_EQ(two->GetPosition(), 10000);  // whole seconds
  two->Pause();
  two->Play();  // paused at second 10, it goes on from second 9
  EXPECT_EQ(two->GetPosition(), 9000);
  three->Play();  // one track at a time
  EXPECT_TRUE(two->IsPaused());
  EXPECT_FALSE(two->IsPlaying());
  EXPECT_TRUE(three->IsPlaying());
  three->Pause();
  three->Play();  // paused at second 0, it starts from 0
  EXPECT_EQ(three->GetPosition(), 0);
  // Volume -5000 or lower is the line at 0: silence from the next frame on.
  three->SetVolume(-6000);
  m.Step(10600);
  const auto got = Captured(static_cast<size_t>(10550 * 44100 / 1000) * 2, 100);
  EXPECT_TRUE(std::all_of(got.begin(), got.end(), [](int16_t s) { return s == 0; }));
}

TEST_F(MediaWorld, WaveOutputItemsAndTheSystemSteps) {
  dir.Write("v.wav", Wave16(1, 22050, Noise(2205, 9)));
  dir.Write("bad.wav", std::string("RIFF\x04\0\0\0WAVEjunk", 16));
  platform::ClearTraceHistory();
  TMediaSystem& m = Start(false, 200);
  std::vector<std::string> points;
  for (const auto& t : platform::TraceHistory())
    if (t.rfind("MediaInit:", 0) == 0) points.push_back(t);
  ASSERT_EQ(points.size(), 10u);
  EXPECT_EQ(points.front(), "MediaInit:7");
  EXPECT_EQ(points.back(), "MediaInit:16");
  EXPECT_FALSE(m.Ogg()->Add("bad.wav"));  // damaged: no item
  TDMediaItem* v = m.Ogg()->Add("v.wav");
  ASSERT_TRUE(v);
  EXPECT_EQ(v->GetLength(), 100);
  v->SetVolume(-2500);
  v->Play();
  // It ends once its sound has been out for two delays and 10 ms; the end is told once.
  int64_t t = 0, ended_at = -1;
  int ends = 0;
  for (t = 10; t <= 2000; t += 10) {
    m.Step(t);
    if (v->IsEnd()) {
      ++ends;
      if (ended_at < 0) ended_at = t;
    }
  }
  EXPECT_EQ(ends, 1);
  EXPECT_EQ(ended_at, 470);  // mixed at the first pump (50 ms), told after 50 + 410
  EXPECT_FALSE(v->IsPlaying());
  // Sound off disables every sound manager; a play then waits for sound on.
  m.SetSoundOn(false);
  EXPECT_FALSE(m.Ogg()->Enabled());
  EXPECT_FALSE(m.Midi()->Enabled());
  v->SetPosition(0);
  v->Play();
  EXPECT_TRUE(v->ResumeMark());
  m.SetSoundOn(true);
  EXPECT_FALSE(v->ResumeMark());
  EXPECT_TRUE(v->IsPlaying());
  for (const char* step : {"VideoMan", "WaveMan", "WmpMan", "OggMan"}) m.MediaFinal(step);
  EXPECT_FALSE(m.Ogg());
  EXPECT_TRUE(m.Cdda());
}

}  // namespace
}  // namespace quen
