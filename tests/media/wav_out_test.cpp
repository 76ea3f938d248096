#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "media/wav_out.h"
#include "media_fixtures.h"
#include "platform/audio_device.h"
#include "platform/media_clock.h"

namespace quen {
namespace {

class MemStream : public IWavStream {
 public:
  explicit MemStream(std::vector<uint8_t> b) : bytes(std::move(b)) {}
  int64_t Read(void* buffer, int64_t count) override {
    const int64_t n = std::max<int64_t>(0, std::min<int64_t>(count, Size() - pos));
    std::memcpy(buffer, bytes.data() + pos, static_cast<size_t>(n));
    pos += n;
    return n;
  }
  int64_t Tell() override { return pos; }
  void Seek(int64_t p) override { pos = p; }
  int64_t Size() override { return static_cast<int64_t>(bytes.size()); }
  std::vector<uint8_t> bytes;
  int64_t pos = 0;
};

std::vector<uint8_t> Bytes16(const std::vector<int16_t>& s) {
  std::vector<uint8_t> b(s.size() * 2);
  std::memcpy(b.data(), s.data(), b.size());
  return b;
}

// The output of the whole row for a two-frame source, as the engine's table gives it.
TEST(WavOut, ConversionTable) {
  struct Row {
    TWavFormat f;
    std::vector<uint8_t> in;
    std::vector<int16_t> out;
  };
  const auto s16 = Bytes16({100, -200, 300, -400});
  const Row rows[] = {
      {{2, 44100, 16}, s16, {100, -200, 300, -400}},
      {{1, 44100, 16}, s16, {100, 100, -200, -200, 300, 300, -400, -400}},
      {{2, 22050, 16}, s16, {100, -200, 100, -200, 300, -400, 300, -400}},
      {{1, 22050, 16}, Bytes16({100, -200}), {100, 100, 100, 100, -200, -200, -200, -200}},
      {{2, 44100, 8}, {0, 128, 255, 1}, {-32768, 0, 32512, -32512}},
      {{1, 44100, 8}, {0, 255}, {-32768, -32768, 32512, 32512}},
      // Whole frames twice: left, right, left, right.
      {{2, 22050, 8}, {0, 255}, {-32768, 32512, -32768, 32512}},
      {{1, 22050, 8}, {64}, {-16384, -16384, -16384, -16384}},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(std::to_string(r.f.Channels) + " " + std::to_string(r.f.SamplesPerSec) + " " +
                 std::to_string(r.f.BitsPerSample));
    const int32_t e = TWavBuffer::Expansion(r.f);
    ASSERT_GT(e, 0);
    std::vector<int16_t> out(r.in.size() * e / 2, 12345);
    TWavBuffer::Convert(r.f, r.in.data(), r.in.size(), out.data());
    EXPECT_EQ(out, r.out);
  }
  EXPECT_EQ(TWavBuffer::Expansion({1, 11025, 16}), 0);
  EXPECT_EQ(TWavBuffer::Expansion({2, 44100, 24}), 0);
  EXPECT_EQ(TWavBuffer::Expansion({6, 44100, 16}), 0);
}

class WavOutRun : public ::testing::Test {
 protected:
  void SetUp() override { platform::UseVirtualMediaTime(); }
  void TearDown() override {
    out.reset();
    capture.reset();
  }
  void Start(int32_t delay) {
    capture = std::make_unique<platform::CaptureAudioDevice>();
    out = std::make_unique<TWavOut>(capture.get(), delay);
    ASSERT_TRUE(out->Open(true));
  }
  std::unique_ptr<platform::CaptureAudioDevice> capture;
  std::unique_ptr<TWavOut> out;
};

TEST_F(WavOutRun, BlocksAreStreamedAtMostTwoAhead) {
  Start(100);
  EXPECT_EQ(out->BlockSize(), 17640u);
  EXPECT_EQ(out->PumpPeriod(), 25);
  EXPECT_GE(out->PoolSize(), 4u);
  const auto src = testing::Noise(2 * 13230, 5);  // 300 ms
  MemStream stream(Bytes16(src));
  TWavBuffer* b = out->AddSource({2, 44100, 16}, &stream);
  int blocks = 0;
  out->SetBlockNotify([&](TWavOut&, const uint8_t*, uint32_t length) {
    EXPECT_EQ(length, 17640u);
    ++blocks;
  });
  b->Play();
  size_t most = 0;
  for (int t = 0; t <= 1000; t += 5) {
    platform::AdvanceMediaTime(t);
    most = std::max(most, out->QueuedBlocks());
  }
  EXPECT_EQ(most, 2u);
  EXPECT_EQ(blocks, 3);  // 300 ms in blocks of 100 ms
  // The first pump, a quarter of the delay in, hands the first block over; from there the
  // sound comes out unchanged.
  const auto& got = capture->Samples();
  const size_t start = 1102 * 2;
  for (size_t i = 0; i < start; ++i) ASSERT_EQ(got[i], 0) << i;
  ASSERT_GE(got.size(), start + src.size());
  EXPECT_TRUE(std::equal(src.begin(), src.end(), got.begin() + start));
  EXPECT_TRUE(b->Finished());
  EXPECT_TRUE(b->FinishedLongAgo());
}

TEST_F(WavOutRun, ClippingVolumeAndSeamlessLoops) {
  Start(100);
  // Two full-scale sources clip instead of wrapping.
  std::vector<int16_t> loud(2 * 4410, 30000);
  for (size_t i = 1; i < loud.size(); i += 2) loud[i] = -30000;
  MemStream a(Bytes16(loud)), c(Bytes16(loud));
  out->AddSource({2, 44100, 16}, &a)->Play();
  out->AddSource({2, 44100, 16}, &c)->Play();
  platform::AdvanceMediaTime(200);
  EXPECT_EQ(capture->Samples()[1102 * 2], 32767);
  EXPECT_EQ(capture->Samples()[1102 * 2 + 1], -32768);
  out.reset();
  capture.reset();
  platform::UseVirtualMediaTime();

  // Factor 128 halves (toward zero); 255 leaves the sound as it is.
  for (int32_t factor : {128, 255}) {
    Start(100);
    const auto src = testing::Noise(2 * 1000, 17, 32767);
    MemStream s(Bytes16(src));
    TWavBuffer* b = out->AddSource({2, 44100, 16}, &s);
    b->SetVolume(factor);
    b->Play();
    platform::AdvanceMediaTime(100);
    for (size_t i = 0; i < src.size(); ++i)
      ASSERT_EQ(capture->Samples()[1102 * 2 + i], factor == 255 ? src[i] : src[i] * 128 / 256)
          << factor << " " << i;
    out.reset();
    capture.reset();
    platform::UseVirtualMediaTime();
  }

  // A loop of 1000 frames from frame 300 on: the block holds the sound, then the loop, with
  // no gap, within the same block.
  Start(100);
  const auto src = testing::Noise(2000, 11);
  MemStream loop(Bytes16(src));
  TWavBuffer* l = out->AddSource({2, 44100, 16}, &loop);
  l->SetRepeat(true);
  l->SetRepeatPosition(300 * 4);
  l->Play();
  platform::AdvanceMediaTime(200);
  const auto& g = capture->Samples();
  const size_t at = 1102 * 2;
  for (size_t i = 0; i < 8000; ++i) {
    const size_t frame = i / 2, chan = i % 2;
    const size_t src_frame = frame < 1000 ? frame : 300 + (frame - 1000) % 700;
    ASSERT_EQ(g[at + i], src[src_frame * 2 + chan]) << "sample " << i;
  }
  EXPECT_FALSE(l->Finished());
  // A repeat position at or past the end loops to the start instead of spinning.
  l->SetRepeatPosition(1000 * 4);
  l->SetPosition(990 * 4);
  platform::AdvanceMediaTime(400);
  EXPECT_FALSE(l->Finished());
}

TEST(WavOutThread, ClosesWhilePumpingOnItsOwnThread) {
  // Real threads: Close frees the pump thread before it takes the lock the pump waits for.
  platform::UseVirtualMediaTime(false);
  auto device = platform::OpenSilentAudioDevice();
  const auto src = testing::Noise(2 * 44100, 3);
  for (int round = 0; round < 10; ++round) {
    TWavOut out(device.get(), 100);
    ASSERT_TRUE(out.Open(true));
    MemStream s(Bytes16(src));
    TWavBuffer* b = out.AddSource({2, 44100, 16}, &s);
    b->SetRepeat(true);
    b->Play();
    std::this_thread::sleep_for(std::chrono::milliseconds(30 + round));
    out.Close();
    EXPECT_FALSE(out.IsOpen());
  }
  platform::UseVirtualMediaTime();
}

}  // namespace
}  // namespace quen
