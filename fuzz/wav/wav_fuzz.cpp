// Our wave reader on any bytes: the chunks, the samples as 16 bits, the stored bytes as the wave
// output engine reads and converts them, and the text form.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "authoring/wave_text.h"
#include "media/mix_ops.h"
#include "media/riff_wave.h"
#include "media/wav_out.h"
#include "platform/byte_source.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  quen::platform::MemoryByteSource bytes(data, static_cast<int64_t>(size));
  quen::TRiffWave w;
  std::string why;
  if (quen::ReadRiffWave(bytes, w, &why) == quen::TRiffResult::kWave && w.Plain()) {
    auto d = quen::NewRiffPcmDecoder(bytes, w);
    std::vector<int16_t> s(static_cast<size_t>(1024 * w.Channels));
    int64_t total = 0;
    while (const int64_t n = d->Read(s.data(), 1024)) total += n;
    if (total != d->Frames()) __builtin_trap();
    d->Seek(d->Frames() / 2);
    d->Read(s.data(), 1024);
    const quen::TWavFormat f{w.Channels, w.Rate, w.Bits};
    if (const int32_t e = quen::TWavBuffer::Expansion(f)) {
      const int64_t n = std::min<int64_t>(w.DataSize, 4096);
      std::vector<uint8_t> in(static_cast<size_t>(n));
      bytes.Seek(w.DataOffset);
      const int64_t got = bytes.Read(in.data(), n);
      const int64_t whole = got - got % w.BlockAlign;
      std::vector<int16_t> out(static_cast<size_t>(whole) * e / 2), mix(out.size());
      quen::TWavBuffer::Convert(f, in.data(), static_cast<size_t>(whole), out.data());
      quen::MixOps().AddScaled(mix.data(), out.data(), out.size(), 100);
    }
  }
  std::string text;
  quen::DumpWaveText(std::string(reinterpret_cast<const char*>(data), size), text, why);
  return 0;
}
