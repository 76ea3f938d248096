#include <gtest/gtest.h>

#include "authoring/wave_text.h"
#include "media/riff_wave.h"
#include "media/sound_source.h"
#include "platform/byte_source.h"

namespace quen {
namespace {

std::string Assemble(const std::string& text) {
  std::string wav, error;
  EXPECT_TRUE(AssembleWaveText(text, wav, error)) << error;
  return wav;
}

TRiffResult Read(const std::string& wav, TRiffWave& out) {
  platform::MemoryByteSource s(wav.data(), static_cast<int64_t>(wav.size()));
  return ReadRiffWave(s, out, nullptr);
}

TEST(WaveFile, DamagedRecordsAndSizes) {
  struct Case {
    const char* what;
    std::string text;
    TRiffResult result;
    int64_t data_size;
  } cases[] = {
      {"plain", "format 2 44100 16\nsamples 1 2 3 4\n", TRiffResult::kWave, 8},
      {"no channels", "fmtraw 0100 0000 44ac0000 10b10200 0400 1000\n", TRiffResult::kDamaged, 0},
      {"rate 0", "fmtraw 0100 0200 00000000 10b10200 0400 1000\n", TRiffResult::kDamaged, 0},
      {"block align that does not fit", "format 2 44100 16\nblockalign 3\nsamples 1 2\n",
       TRiffResult::kDamaged, 0},
      {"a RIFF size past the file", "format 1 8000 8\nsamples 128\nriffsize 999\n",
       TRiffResult::kWave, 1},
      {"data longer than the file plays what exists",
       "format 1 22050 16\nsamples 5 6 7\ndatasize 100000\n", TRiffResult::kWave, 6},
      {"odd chunk is padded", "format 1 8000 8\nchunk LIST 010203\nsamples 1 2 3\n",
       TRiffResult::kWave, 3},
      {"half a frame at the end goes", "format 2 8000 16\nsamples 1 2 3\n", TRiffResult::kWave, 4},
  };
  for (const Case& c : cases) {
    TRiffWave w;
    EXPECT_EQ(Read(Assemble(c.text), w), c.result) << c.what;
    if (c.result == TRiffResult::kWave) {
      EXPECT_EQ(w.DataSize, c.data_size) << c.what;
    }
  }
  TRiffWave w;
  // A chunk whose size runs past the file before any data: no data chunk, damaged.
  std::string wav = Assemble("format 1 8000 8\nchunk JUNK 00\nsamples 1\n");
  wav[43] = '\x10';  // the JUNK chunk's size: 0x10000001
  EXPECT_EQ(Read(wav, w), TRiffResult::kDamaged);
  EXPECT_EQ(Read("RIFX1234WAVE", w), TRiffResult::kNotRiff);
  EXPECT_EQ(Read("RIFF", w), TRiffResult::kNotRiff);
}

TEST(WaveFile, TextFormRoundTrip) {
  const std::string wav = Assemble(
      "format 1 22050 8\nchunk smpl 00112233\nsamples 0 128 255 7\ntone 441 10 20000\n"
      "chunk LIST 61\n");
  std::string text, error;
  ASSERT_TRUE(DumpWaveText(wav, text, error)) << error;
  EXPECT_EQ(Assemble(text), wav);
  EXPECT_FALSE(DumpWaveText(Assemble("fmtraw 0200 0100 401f0000 00100000 0100 0400\n"), text,
                            error));  // compressed records have no text form
}

TEST(WaveFile, PlainSamplesAsSixteenBits) {
  // 8-bit bytes widen, 16-bit samples pass, and the stored form stays byte for byte.
  const std::string wav = Assemble("format 2 22050 8\nsamples 0 128 255 64\n");
  std::string why;
  auto src = TSoundSource::Open(
      std::make_unique<platform::MemoryByteSource>(wav.data(), static_cast<int64_t>(wav.size())),
      false, &why);
  ASSERT_TRUE(src) << why;
  EXPECT_STREQ(src->Kind(), "wave");
  EXPECT_EQ(src->Frames(), 2);
  int16_t s[4];
  ASSERT_EQ(src->Decoder().Read(s, 4), 2);
  EXPECT_EQ(s[0], -32768);
  EXPECT_EQ(s[1], 0);
  EXPECT_EQ(s[2], 127 * 256);
  EXPECT_EQ(s[3], -64 * 256);
  EXPECT_EQ(src->RawBits(), 8);
  EXPECT_EQ(src->RawSize(), 4);
  ASSERT_TRUE(src->SetRawPosition(3));  // down to a whole frame
  EXPECT_EQ(src->RawPosition(), 2);
  uint8_t raw[4] = {};
  EXPECT_EQ(src->ReadRaw(raw, 4), 2);
  EXPECT_EQ(raw[0], 255);
  EXPECT_EQ(raw[1], 64);
  // Bytes that are no sound at all are refused, with a reason.
  const std::string junk(100, 'x');
  EXPECT_FALSE(TSoundSource::Open(
      std::make_unique<platform::MemoryByteSource>(junk.data(), static_cast<int64_t>(junk.size())),
      true, &why));
  EXPECT_FALSE(why.empty());
}

}  // namespace
}  // namespace quen
