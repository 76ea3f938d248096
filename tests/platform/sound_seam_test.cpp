#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/audio_device.h"
#include "platform/media_clock.h"
#include "platform/media_writer.h"
#include "platform/pcm_decoder.h"
#include "support/temp_dir.h"

namespace quen::platform {
namespace {

// A source of one value, counting how it is pulled.
class Constant : public IAudioSource {
 public:
  explicit Constant(int16_t v) : v_(v) {}
  void Render(int16_t* s, size_t frames) override {
    for (size_t i = 0; i < frames * 2; ++i) s[i] = v_;
    pulled += frames;
  }
  int16_t v_;
  size_t pulled = 0;
};

TEST(MediaTime, TicksAndTheCaptureInTimeOrder) {
  UseVirtualMediaTime();
  CaptureAudioDevice capture;
  Constant a(20000), b(20000);
  capture.AddSource(&a);
  capture.AddSource(&b);
  std::vector<std::string> log;
  // Each tick sees the capture rendered up to its own time, never further.
  PeriodicTimer slow(25, [&] { log.push_back("25@" + std::to_string(capture.Frames())); });
  PeriodicTimer fast(10, [&] { log.push_back("10@" + std::to_string(capture.Frames())); });
  AdvanceMediaTime(50);
  EXPECT_EQ(log, (std::vector<std::string>{"10@441", "10@882", "25@1102", "10@1323", "10@1764",
                                           "25@2205", "10@2205"}));
  EXPECT_EQ(capture.Frames(), 2205);  // floor(50 * 44.1)
  EXPECT_EQ(MediaNowMs(), 50);
  EXPECT_EQ(capture.Samples()[0], 32767);  // two sources sum with saturation
  capture.RemoveSource(&b);
  AdvanceMediaTime(51);
  EXPECT_EQ(capture.Samples().back(), 20000);
  EXPECT_EQ(b.pulled, 2205u);
  AdvanceMediaTime(40);  // time never goes back
  EXPECT_EQ(MediaNowMs(), 51);
  const std::string wav = EncodeWav16(capture.Samples().data(), 3, 2, kAudioRate);
  EXPECT_EQ(wav.size(), 44u + 12u);
  EXPECT_EQ(wav.substr(0, 4), "RIFF");
}

TEST(SoundDecoders, SeekToTheFrameAndReadTheRest) {
  // Lossless FLAC through FFmpeg comes back sample for sample, after a seek too; Vorbis
  // keeps the length and the position.
  testing::TempDir dir;
  std::vector<int16_t> src(2 * 30000);
  uint32_t x = 5;
  for (auto& s : src) s = static_cast<int16_t>((x = x * 1664525u + 1013904223u) >> 16);
  std::string why;
  ASSERT_TRUE(WriteSoundFile(dir / "a.flac", "flac", src.data(), 30000, 2, 44100, &why)) << why;
  ASSERT_TRUE(WriteSoundFile(dir / "a.ogg", "libvorbis", src.data(), 30000, 2, 44100, &why)) << why;
  auto flac_bytes = OpenFileByteSource(dir / "a.flac");
  auto flac = OpenAvDecoder(*flac_bytes, &why);
  ASSERT_TRUE(flac) << why;
  EXPECT_EQ(flac->Channels(), 2);
  EXPECT_EQ(flac->Frames(), 30000);
  std::vector<int16_t> got(2 * 30000);
  ASSERT_EQ(flac->Read(got.data(), 30000), 30000);
  EXPECT_EQ(got, src);
  ASSERT_TRUE(flac->Seek(12345));
  ASSERT_EQ(flac->Read(got.data(), 100), 100);
  EXPECT_TRUE(std::equal(got.begin(), got.begin() + 200, src.begin() + 2 * 12345));
  ASSERT_TRUE(flac->Seek(0));
  EXPECT_EQ(flac->Read(got.data(), 10), 10);
  EXPECT_EQ(got[0], src[0]);

  auto ogg_bytes = OpenFileByteSource(dir / "a.ogg");
  auto ogg = OpenVorbisDecoder(*ogg_bytes, &why);
  ASSERT_TRUE(ogg) << why;
  EXPECT_EQ(ogg->Frames(), 30000);
  ASSERT_TRUE(ogg->Seek(29000));
  EXPECT_EQ(ogg->Read(got.data(), 5000), 1000);
  EXPECT_EQ(ogg->Read(got.data(), 5000), 0);
  // Neither reads the other's files.
  ogg_bytes->Seek(0);
  EXPECT_FALSE(OpenVorbisDecoder(*flac_bytes, &why));
}

}  // namespace
}  // namespace quen::platform
