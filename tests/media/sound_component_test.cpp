// Sounds and videos of the registry playing through a headless media system: fades heard in
// the capture, MIDI fades as controller 7, play ends, pauses, loops and the stream tails.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "base/stream.h"
#include "components/media_host.h"
#include "components/quen_base_list.h"
#include "components/quen_kinds.h"
#include "media/sequencer.h"
#include "media_fixtures.h"

namespace quen {
namespace {

using testing::MediaWorld;
using testing::Noise;
using testing::Wave16;

class Host : public IMediaHost {
 public:
  explicit Host(TMediaSystem*& media) : media_(media) {}
  bool EnsureFileAvailable(const std::string& name) override {
    return !name.empty() && FileManager().FileExists(name);
  }
  TMediaSystem* Media() override { return media_; }

 private:
  TMediaSystem*& media_;
};

class SoundRun : public MediaWorld {
 protected:
  void TearDown() override {
    reg.reset();
    MediaWorld::TearDown();
  }
  void Begin(bool direct_sound = true) {
    reg.reset();
    media.reset();  // one media world at a time: the media time is the process's
    now = 0;
    events.clear();
    raw = &Start(direct_sound);
    reg = std::make_unique<TQuenBaseList>();
    reg->SetMediaHost(&host);
  }
  TQuenSound* Sound(const std::string& name, const std::string& file, int32_t volume,
                    int32_t delay) {
    auto* s = static_cast<TQuenSound*>(reg->CreateComponent(LT_SOUND));
    s->WriteProp(PR_NAME, TPropValue::OfStr(name));
    s->WriteProp(PR_SOURCE, TPropValue::OfStr(file));
    s->WriteProp(PR_VOLUME, TPropValue::OfInt(volume));
    s->WriteProp(PR_DELAY, TPropValue::OfInt(delay));
    return s;
  }
  // As the frame loop: media time, game clock, update pass; events are taken and handled.
  void Frame(int32_t ms = 10) {
    now += ms;
    media->Step(now);
    reg->SetGameClock(now);
    reg->UpdateAll(ms);
    while (TTimerData* e = reg->Events().FirstWaiting()) {
      const TQuenObject* from = reg->Resolve(e->Sender);
      events.push_back(std::to_string(now) + " " + (from ? from->Name() : "-") + " " +
                       PropInfo(e->Code).Ident);
      e->Level = 1;
      reg->Events().RemoveLevel(1);
    }
  }
  // Where a run of source frames first appears in the capture (frame index), or -1.
  int64_t Find(const std::vector<int16_t>& src, size_t frame, size_t frames) {
    const auto cap = Captured();
    const auto first = src.begin() + static_cast<std::ptrdiff_t>(frame * 2);
    auto it =
        std::search(cap.begin(), cap.end(), first, first + static_cast<std::ptrdiff_t>(frames * 2));
    return it == cap.end() ? -1 : (it - cap.begin()) / 2;
  }

  TMediaSystem* raw = nullptr;
  Host host{raw};
  std::unique_ptr<TQuenBaseList> reg;
  int64_t now = 0;
  std::vector<std::string> events;
};

TEST(SoundVolume, ConversionAndFadeSteps) {
  struct Case {
    int32_t volume, wave, midi;
  } cases[] = {{1000, 0, 0},        {500, -2500, -5000},  {1, -4995, -9990},
               {0, -10000, -10000}, {-7, -10000, -10070}, {1200, 0, 2000}};
  for (const Case& c : cases) {
    EXPECT_EQ(ConvertVolume(c.volume, false), c.wave) << c.volume;
    EXPECT_EQ(ConvertVolume(c.volume, true), c.midi) << c.volume;
  }
  // Wave fade-in starts half-way; MIDI climbs the whole way and never past the target.
  EXPECT_EQ(TQuenMixer::Interpolate(false, -10000, 0, 1, 1000), -4995);
  EXPECT_EQ(TQuenMixer::Interpolate(false, -10000, 0, 500, 1000), -2500);
  EXPECT_EQ(TQuenMixer::Interpolate(true, -10000, 0, 0, 1000), -10000);
  EXPECT_EQ(TQuenMixer::Interpolate(true, -10000, 0, 999, 1000), -10);
  EXPECT_EQ(TQuenMixer::Interpolate(false, 0, -10000, 500, 1000), -2500);  // falls half-way
  // A fade of 300 s: e * span passes 32 bits.
  EXPECT_EQ(TQuenMixer::Interpolate(true, -10000, 0, 250000, 300000), -1667);
}

TEST_F(SoundRun, FadeInThenExactSamplesVolumeBalanceAndOnePlayEnd) {
  const auto src = Noise(44100 * 2 * 2, 5);  // 2 s stereo
  dir.Write("bgm.wav", Wave16(2, 44100, src));
  dir.Write("se.wav", Wave16(2, 44100, Noise(22050 * 2, 6)));  // 500 ms
  Begin();
  TQuenSound* bgm = Sound("bgm", "bgm.wav", 1000, 1000);
  bgm->SetPlayMode(LP_PLAYFADE);
  ASSERT_TRUE(bgm->Item());
  std::vector<int32_t> levels;
  for (int i = 0; i < 110; ++i) {
    Frame();
    levels.push_back(bgm->Item()->GetVolume());
  }
  EXPECT_EQ(levels[0], -10000);  // the first step starts the item from silence
  EXPECT_NEAR(levels[1], -4950, 1);
  EXPECT_EQ(levels[50], -2500);  // linear in decibels
  EXPECT_EQ(levels[101], 0);
  EXPECT_FALSE(bgm->Fader());
  EXPECT_EQ(bgm->PropInt(PR_COUNT), 2000);
  EXPECT_NEAR(bgm->PropInt(PR_INDEX), 1100, 60);
  for (int i = 0; i < 40; ++i) Frame();
  // From full level on, the sound is the file's, sample for sample.
  EXPECT_GE(Find(src, 44100 * 12 / 10, 4410), 0);

  // Volume 500 is -25 dB; a balance of -10000 silences the right channel.
  TQuenSound* se = Sound("se", "se.wav", 500, 0);
  se->WriteProp(PR_BALANCE, TPropValue::OfInt(-20000));
  se->WriteProp(PR_ONPLAYEND, TPropValue::OfStr("end.qsb"));
  se->SetPlayMode(LP_PLAY);
  EXPECT_EQ(se->PropInt(PR_BALANCE), -10000);
  EXPECT_EQ(se->Item()->GetVolume(), -2500);
  bgm->WriteProp(PR_PAUSED, TPropValue::OfBool(true));
  const size_t from = Captured().size() + 44100 / 5;
  const int64_t started = now;
  for (int i = 0; i < 80; ++i) Frame();
  const auto part = Captured(from, 44100 / 5);
  ASSERT_FALSE(part.empty());
  int32_t left = 0, right = 0;
  for (size_t i = 0; i + 1 < part.size(); i += 2) {
    left = std::max(left, std::abs(int32_t{part[i]}));
    right = std::max(right, std::abs(int32_t{part[i + 1]}));
  }
  EXPECT_GT(left, 0);
  EXPECT_EQ(right, 0);
  // One play end, about 500 ms after the start; the sound stays (no auto-scrap).
  ASSERT_EQ(events.size(), 1u);
  const int64_t at = std::stoll(events[0]);
  EXPECT_GE(at - started, 450);
  EXPECT_LE(at - started, 620);
  EXPECT_TRUE(se->Finished());
  EXPECT_EQ(reg->FindComponent("se"), se);
}

TEST_F(SoundRun, StopFadeFreesTheNameFallsHalfWayAndGoes) {
  dir.Write("bgm.wav", Wave16(2, 44100, Noise(44100 * 2 * 2, 5)));
  Begin();
  TQuenSound* a = Sound("bgm", "bgm.wav", 1000, 0);
  a->SetPlayMode(LP_PLAY);
  Frame();
  a->WriteProp(PR_DELAY, TPropValue::OfInt(500));
  a->SetPlayMode(LP_STOPFADE);
  EXPECT_EQ(reg->FindComponent("bgm"), nullptr);
  TQuenSound* b = Sound("bgm", "bgm.wav", 1000, 0);
  b->SetPlayMode(LP_PLAY);
  b->WriteProp(PR_DELAY, TPropValue::OfInt(500));
  b->SetPlayMode(LP_STOPFADE);  // a second fade of the same name spares the first
  EXPECT_NE(a->Name(), b->Name());
  TDMediaItem* item = a->Item();
  std::vector<int32_t> levels;
  const TQuenHandle ha = a->Handle(), hb = b->Handle();
  while (reg->Resolve(ha)) {
    levels.push_back(item->GetVolume());
    Frame();
    ASSERT_LT(now, 2000);
  }
  EXPECT_EQ(levels.front(), 0);
  EXPECT_NEAR(levels.back(), -5000, 120);
  EXPECT_GE(now, 500);
  EXPECT_LE(now, 540);
  EXPECT_FALSE(reg->Resolve(hb));
  EXPECT_TRUE(raw->Ogg()->Items().empty());
}

TEST_F(SoundRun, RepeatPositionLoopsSampleForSampleOnBothEngines) {
  const auto src = Noise(4410 * 2, 9);  // 100 ms
  dir.Write("loop.wav", Wave16(2, 44100, src));
  for (bool direct_sound : {true, false}) {  // false: Sound/DirectSound=0, the wave output
    SCOPED_TRACE(direct_sound);
    Begin(direct_sound);
    TQuenSound* s = Sound("loop", "loop.wav", 1000, 0);
    s->WriteProp(PR_REPEAT, TPropValue::OfBool(true));
    s->WriteProp(PR_REPEATPOS, TPropValue::OfInt(50));
    s->SetPlayMode(LP_PLAY);
    for (int i = 0; i < 100; ++i) Frame();
    EXPECT_TRUE(events.empty());
    const int64_t start = Find(src, 0, 441);
    ASSERT_GE(start, 0);
    const auto cap = Captured(static_cast<size_t>(start) * 2);
    ASSERT_GE(cap.size(), 4410u * 2 * 4);
    const size_t n = 4410, r = 2205;
    for (size_t f = 0; f < n * 4; ++f) {
      const size_t sf = f < n ? f : r + (f - n) % (n - r);
      ASSERT_EQ(cap[2 * f], src[2 * sf]) << f;
    }
  }
}

TEST_F(SoundRun, PausesHoldTheFaderAndReplayRestarts) {
  dir.Write("bgm.wav", Wave16(2, 44100, Noise(44100 * 2, 5)));
  dir.Write("bgm.xyz", "no manager takes it");
  Begin();
  TQuenSound* s = Sound("bgm", "bgm.wav", 1000, 400);
  s->WriteProp(PR_ANIPAUSED, TPropValue::OfBool(true));
  EXPECT_FALSE(s->PropBool(PR_ANIPAUSED));  // write-only
  s->SetPlayMode(LP_PLAYFADE);
  for (int i = 0; i < 10; ++i) Frame();
  EXPECT_FALSE(s->Item()->IsPlaying());  // a held sound is never started by a fader
  s->WriteProp(PR_ANIPAUSED, TPropValue::OfBool(false));
  Frame();
  EXPECT_TRUE(s->Item()->IsPlaying());
  EXPECT_EQ(s->Item()->GetVolume(), -10000);
  s->WriteProp(PR_PAUSED, TPropValue::OfBool(true));
  EXPECT_FALSE(s->Item()->IsPlaying());
  s->WriteProp(PR_PAUSED, TPropValue::OfBool(false));
  ASSERT_TRUE(s->Fader());
  EXPECT_FALSE(s->Fader()->Started());  // the fade-in starts again from silence
  for (int i = 0; i < 50; ++i) Frame();
  s->Replay();
  EXPECT_EQ(s->Item()->GetVolume(), -10000);
  EXPECT_EQ(s->PropInt(PR_INDEX), 0);
  // A source that is missing plays nothing; with auto-scrap it goes.
  TQuenSound* gone = Sound("gone", "missing.wav", 1000, 0);
  gone->WriteProp(PR_AUTOSCRAP, TPropValue::OfBool(true));
  gone->SetPlayMode(LP_PLAY);
  EXPECT_TRUE(gone->IsScrapped());
  TQuenSound* odd = Sound("odd", "bgm.xyz", 1000, 0);
  odd->SetPlayMode(LP_PLAY);
  EXPECT_FALSE(odd->Item());
}

TEST_F(SoundRun, LoadResumesLongSoundsOnlyAndFadesOutAStoredFade) {
  dir.Write("short.wav", Wave16(2, 44100, Noise(44100 * 2 * 2, 1)));  // 2 s
  dir.Write("long.wav", Wave16(2, 44100, Noise(44100 * 3 * 2, 2)));   // 3 s
  Begin();
  for (const char* name : {"short", "long", "rewound"}) {
    TQuenSound* s = Sound(name, name[0] == 's' ? "short.wav" : "long.wav", 800, 0);
    s->WriteProp(PR_REWINDONLOAD, TPropValue::OfBool(name[0] == 'r'));
    s->SetPlayMode(LP_PLAY);
  }
  for (int i = 0; i < 50; ++i) Frame();
  TKvMemoryStream m;
  reg->SaveToStream(m, kQuenStreamVersion);
  const int32_t at = static_cast<TQuenSound*>(reg->FindComponent("long"))->PropInt(PR_INDEX);
  EXPECT_GT(at, 300);
  reg.reset();
  reg = std::make_unique<TQuenBaseList>();
  reg->SetMediaHost(&host);
  m.SetPosition(0);
  reg->LoadFromStream(m, kQuenStreamVersion);
  auto* shrt = static_cast<TQuenSound*>(reg->FindComponent("short"));
  auto* lng = static_cast<TQuenSound*>(reg->FindComponent("long"));
  auto* rew = static_cast<TQuenSound*>(reg->FindComponent("rewound"));
  ASSERT_TRUE(shrt && lng && rew);
  EXPECT_EQ(shrt->PlayMode(), LP_STOP);
  EXPECT_FALSE(shrt->Item());
  ASSERT_TRUE(lng->Item() && rew->Item());
  EXPECT_TRUE(lng->Item()->IsPlaying());
  EXPECT_NEAR(lng->PropInt(PR_INDEX), at, 20);
  EXPECT_LT(rew->PropInt(PR_INDEX), 20);
  EXPECT_EQ(lng->Item()->GetVolume(), -1000);
}

// Controller 7 of a MIDI fade, as the sequencer is told it.
class ScaleLog : public ISequencer {
 public:
  explicit ScaleLog(std::vector<int32_t>& scales) : scales_(scales) {}
  void LoadFromStream(TStream& /*s*/) override {}
  bool OpenPort(int32_t /*d*/) override { return open_ = true; }
  void ClosePort() override { open_ = false; }
  bool PortOpen() const override { return open_; }
  void SendSystemOn() override {}
  void PlayFrom(int32_t /*ms*/) override { playing_ = true; }
  void Stop() override { playing_ = false; }
  bool IsPlaying() const override { return playing_; }
  bool IsEnd() const override { return false; }
  int32_t Position() const override { return 0; }
  int32_t Length() const override { return 60000; }
  void SetControllerScale(int32_t c, int32_t p) override {
    if (c == 7) scales_.push_back(p);
  }
  bool Repeat() const override { return false; }
  void SetRepeat(bool /*on*/) override {}
  std::vector<std::string> DeviceNames() const override { return {}; }
  int32_t MeasureLength(const std::string& /*file*/) const override { return 60000; }

 private:
  std::vector<int32_t>& scales_;
  bool open_ = false, playing_ = false;
};

TEST_F(SoundRun, MidiFadesTheWholeRangeAndNeverHigher) {
  std::vector<int32_t> scales;
  SetSequencerFactory([&](platform::IAudioDevice&) { return std::make_unique<ScaleLog>(scales); });
  dir.Write("bgm.mid", "MThd");
  Begin();
  TQuenSound* s = Sound("bgm", "bgm.mid", 1000, 1000);
  s->SetPlayMode(LP_PLAYFADE);
  for (int i = 0; i < 110; ++i) Frame();
  ASSERT_GT(scales.size(), 50u);
  EXPECT_EQ(scales.front(), 0);
  EXPECT_EQ(scales.back(), 100);
  EXPECT_TRUE(std::is_sorted(scales.begin(), scales.end()));
  EXPECT_NEAR(scales[scales.size() / 2], 50, 6);
  s->WriteProp(PR_VOLUME, TPropValue::OfInt(500));
  EXPECT_EQ(scales.back(), 50);  // half of 127: 63
  reg.reset();
  SetSequencerFactory(nullptr);
}

}  // namespace
}  // namespace quen
