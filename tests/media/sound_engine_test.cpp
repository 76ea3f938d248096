#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "media/quen_lib.h"
#include "media/sound_engine.h"
#include "media_fixtures.h"
#include "platform/byte_source.h"

namespace quen {
namespace {

using testing::MediaWorld;
using testing::Noise;
using testing::Wave16;

class SoundEngine : public MediaWorld {};

TEST_F(SoundEngine, FullVolumeIsBitExactAndLoopsAreSeamless) {
  const auto src = Noise(2 * 1000, 21, 32767);
  dir.Write("a.wav", Wave16(2, 44100, src));
  TMediaSystem& m = Start();
  TDMediaItem* once = m.Ogg()->Add("a.wav");
  ASSERT_TRUE(once);
  once->Play();
  m.Step(100);
  auto got = Captured();
  ASSERT_EQ(got.size(), 4410u * 2);
  EXPECT_TRUE(std::equal(src.begin(), src.end(), got.begin()));
  EXPECT_TRUE(std::all_of(got.begin() + src.size(), got.end(), [](int16_t s) { return s == 0; }));
  EXPECT_TRUE(once->IsEnd());
  EXPECT_FALSE(once->IsEnd());  // told once
  EXPECT_FALSE(once->IsPlaying());
  m.Ogg()->Remove(once);

  // From 10 ms (frame 441) on, again and again, with no gap at the joins.
  TDMediaItem* loop = m.Ogg()->Add("a.wav");
  loop->SetAutoRepeat(true);
  loop->SetRepeatPos(10);
  loop->Play();
  m.Step(200);
  got = Captured(4410 * 2);
  for (size_t i = 0; i < got.size(); ++i) {
    const size_t f = i / 2;
    const size_t sf = f < 1000 ? f : 441 + (f - 1000) % 559;
    ASSERT_EQ(got[i], src[sf * 2 + i % 2]) << i;
  }
  EXPECT_FALSE(loop->IsEnd());
}

TEST_F(SoundEngine, VolumePanMonoAndOtherRates) {
  const auto mono = Noise(4410, 4);
  dir.Write("m.wav", Wave16(1, 44100, mono));
  std::vector<int16_t> full(2 * 4410, 20000);
  dir.Write("f.wav", Wave16(2, 44100, full));
  dir.Write("h.wav", Wave16(2, 22050, std::vector<int16_t>(2 * 2205, 8000)));
  TMediaSystem& m = Start();
  TDMediaItem* a = m.Ogg()->Add("m.wav");
  a->Play();
  m.Step(100);
  auto got = Captured();
  for (size_t i = 0; i < mono.size(); ++i) {
    ASSERT_EQ(got[2 * i], mono[i]);
    ASSERT_EQ(got[2 * i + 1], mono[i]);
  }
  m.Ogg()->Remove(a);

  // -600 hundredths of a decibel is 0.501 of the level; a pan of -10000 silences the right.
  TDMediaItem* b = m.Ogg()->Add("f.wav");
  b->SetVolume(-600);
  b->SetPan(-10000);
  EXPECT_EQ(b->GetVolume(), -600);
  EXPECT_EQ(b->GetPan(), -10000);
  b->Play();
  m.Step(200);
  got = Captured(4410 * 2, 200);
  EXPECT_NEAR(got[0] / 20000.0, 0.501, 0.001);
  EXPECT_EQ(got[1], 0);
  m.Ogg()->Remove(b);

  // 22.05 kHz goes through the resampler: twice the frames, the same level once settled.
  TDMediaItem* c = m.Ogg()->Add("h.wav");
  EXPECT_EQ(c->GetLength(), 100);
  c->Play();
  m.Step(400);
  got = Captured(8820 * 2);
  size_t sounding = 0;
  for (size_t i = 0; i < got.size(); i += 2) sounding += got[i] != 0;
  EXPECT_NEAR(static_cast<double>(sounding), 4410.0, 64.0);
  EXPECT_NEAR(got[2000 * 2], 8000, 80);
}

TEST_F(SoundEngine, PositionsAndTheDecodedBuffer) {
  const auto src = Noise(2 * 44100 * 5, 8);  // five seconds
  dir.Write("long.wav", Wave16(2, 44100, src));
  TMediaSystem& m = Start();
  TDMediaItem* item = m.Ogg()->Add("long.wav");
  EXPECT_EQ(item->GetLength(), 5000);
  item->SetPosition(-50);  // negative becomes 0
  EXPECT_EQ(item->GetPosition(), 0);
  item->SetPosition(2000);
  item->Play();
  m.Step(100);
  EXPECT_EQ(item->GetPosition(), 2100);
  // The capture from here is the file from second two on.
  const auto got = Captured(0, 200);
  EXPECT_TRUE(std::equal(got.begin(), got.end(), src.begin() + 2 * 88200));
  item->Pause();
  m.Step(300);
  EXPECT_TRUE(item->IsPaused());
  EXPECT_FALSE(item->IsPlaying());
  EXPECT_EQ(item->GetPosition(), 2100);
}

TEST(SoundEngineBuffer, DecodesAheadAtMostASecond) {
  platform::UseVirtualMediaTime();
  const auto src = Noise(2 * 44100 * 4, 2);
  const std::string wav = Wave16(2, 44100, src);
  TSoundEngine engine(nullptr);
  std::string why;
  TVoice* v = engine.AddVoice(TSoundSource::Open(
      std::make_unique<platform::MemoryByteSource>(wav.data(), static_cast<int64_t>(wav.size())),
      false, &why));
  v->Play();
  for (int i = 0; i < 5; ++i) engine.Update();
  EXPECT_GT(v->BufferedFrames(), 0);
  EXPECT_LE(v->BufferedFrames(), TVoice::kMaxBufferedFrames);
  // A pull of three seconds at once is decoded as it goes, never more than the buffer at a time.
  std::vector<int16_t> out(2 * 44100 * 3);
  engine.Render(out.data(), 44100 * 3);
  EXPECT_TRUE(std::equal(out.begin(), out.end(), src.begin()));
  EXPECT_LE(v->BufferedFrames(), TVoice::kMaxBufferedFrames);
}

TEST(MediaLibrary, ExportsByNameAndHandles) {
  int32_t count = 0;
  const char* const* names = quenExportNames(&count);
  ASSERT_EQ(count, 76);
  for (int32_t i = 0; i < count; ++i) EXPECT_TRUE(quenFindExport(names[i])) << names[i];
  EXPECT_EQ(quenFindExport("quenVideoGetDC"), reinterpret_cast<void*>(&quenVideoGetDC));
  EXPECT_FALSE(quenFindExport("quen3DInit"));
  EXPECT_EQ(quenVersion(), 108);
  std::string caption, text;
  EXPECT_TRUE(TMediaSystem::BindLibrary(caption, text));
  // Before quenInit and for handles that are not there, calls answer 0 and false.
  EXPECT_EQ(quenOggmanAdd(nullptr, true), 0);
  EXPECT_FALSE(quenOggIsPlaying(12345));
  EXPECT_EQ(quenVideoGetLen(0), 0);
}

}  // namespace
}  // namespace quen
