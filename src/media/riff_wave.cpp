#include "media/riff_wave.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace quen {

namespace {

uint32_t U32(const uint8_t* p) {
  return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}
uint16_t U16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

bool ReadAt(platform::IByteSource& s, int64_t pos, void* buf, int64_t n) {
  return s.Seek(pos) == pos && s.Read(buf, n) == n;
}

TRiffResult Damaged(std::string* why, const char* text) {
  if (why) *why = text;
  return TRiffResult::kDamaged;
}

}  // namespace

bool TRiffWave::Plain() const {
  if (FormatTag == kPcm) return Bits == 8 || Bits == 16 || Bits == 24 || Bits == 32;
  return FormatTag == kFloat && Bits == 32;
}

TRiffResult ReadRiffWave(platform::IByteSource& source, TRiffWave& out, std::string* why) {
  out = TRiffWave{};
  uint8_t head[12];
  if (!ReadAt(source, 0, head, 12) || std::memcmp(head, "RIFF", 4) != 0 ||
      std::memcmp(head + 8, "WAVE", 4) != 0)
    return TRiffResult::kNotRiff;
  const int64_t file_size = source.Size();
  if (file_size < 12) return Damaged(why, "short file");
  // The RIFF size may claim more than the file has; the chunks are bounded by the file.
  const int64_t end = std::min<int64_t>(file_size, 8 + int64_t{U32(head + 4)});
  bool have_fmt = false, have_data = false;
  int64_t pos = 12;
  while (pos + 8 <= end && !(have_fmt && have_data)) {
    uint8_t ch[8];
    if (!ReadAt(source, pos, ch, 8)) return Damaged(why, "short chunk header");
    const int64_t size = U32(ch + 4);
    const int64_t body = pos + 8;
    if (std::memcmp(ch, "fmt ", 4) == 0) {
      if (size < 16 || size > end - body) return Damaged(why, "bad format chunk size");
      uint8_t f[40] = {};
      if (!ReadAt(source, body, f, std::min<int64_t>(size, 40)))
        return Damaged(why, "short format");
      out.FormatTag = U16(f);
      out.Channels = U16(f + 2);
      out.Rate = static_cast<int32_t>(std::min<uint32_t>(U32(f + 4), INT32_MAX));
      out.BlockAlign = U16(f + 12);
      out.Bits = U16(f + 14);
      // Extensible records name their real format in the first two bytes of the sub-format.
      if (out.FormatTag == 0xFFFE && size >= 40) out.FormatTag = U16(f + 24);
      if (out.Channels < 1 || out.Channels > 8) return Damaged(why, "bad channel count");
      if (out.Rate < 1000 || out.Rate > 384000) return Damaged(why, "bad sample rate");
      if (out.BlockAlign < 1) return Damaged(why, "bad block alignment");
      if ((out.FormatTag == TRiffWave::kPcm || out.FormatTag == TRiffWave::kFloat) &&
          (out.Bits < 8 || out.Bits % 8 != 0 || out.BlockAlign != out.Channels * out.Bits / 8))
        return Damaged(why, "block alignment does not fit the samples");
      have_fmt = true;
    } else if (std::memcmp(ch, "data", 4) == 0) {
      out.DataOffset = body;
      // A data chunk that runs past the file plays what exists.
      out.DataSize = std::min<int64_t>(size, file_size - body);
      have_data = true;
      if (size > end - body) break;
    } else if (size > end - body) {
      break;
    }
    pos = body + size + (size & 1);
  }
  if (!have_fmt) return Damaged(why, "no format chunk");
  if (!have_data) return Damaged(why, "no data chunk");
  out.DataSize -= out.DataSize % out.BlockAlign;
  return TRiffResult::kWave;
}

namespace {

class RiffPcmDecoder : public platform::IPcmDecoder {
 public:
  RiffPcmDecoder(platform::IByteSource& source, const TRiffWave& wave)
      : source_(source), wave_(wave), bytes_(wave.Bits / 8) {}
  int32_t Channels() const override { return wave_.Channels; }
  int32_t Rate() const override { return wave_.Rate; }
  int32_t SourceBits() const override { return wave_.Bits; }
  int64_t Frames() const override { return wave_.DataSize / wave_.BlockAlign; }
  int64_t Read(int16_t* out, int64_t frames) override {
    frames = std::min(frames, Frames() - frame_);
    if (frames <= 0) return 0;
    raw_.resize(static_cast<size_t>(frames * wave_.BlockAlign));
    const int64_t at = wave_.DataOffset + frame_ * wave_.BlockAlign;
    if (source_.Seek(at) != at) return 0;
    const int64_t got = source_.Read(raw_.data(), static_cast<int64_t>(raw_.size()));
    if (got <= 0) return 0;
    frames = got / wave_.BlockAlign;
    const int64_t n = frames * wave_.Channels;
    const uint8_t* p = raw_.data();
    for (int64_t i = 0; i < n; ++i, p += bytes_) out[i] = Sample(p);
    frame_ += frames;
    return frames;
  }
  bool Seek(int64_t frame) override {
    frame_ = std::clamp<int64_t>(frame, 0, Frames());
    return true;
  }

 private:
  int16_t Sample(const uint8_t* p) const {
    if (wave_.FormatTag == TRiffWave::kFloat) {
      float f;
      std::memcpy(&f, p, 4);
      if (!(f == f)) return 0;
      const float v = std::clamp(f * 32768.0f, -32768.0f, 32767.0f);
      return static_cast<int16_t>(v);
    }
    switch (bytes_) {
      case 1:
        return static_cast<int16_t>((p[0] - 128) * 256);
      case 2:
        return static_cast<int16_t>(p[0] | (p[1] << 8));
      default:  // 24 and 32 bits: the top two bytes
        return static_cast<int16_t>(p[bytes_ - 2] | (p[bytes_ - 1] << 8));
    }
  }

  platform::IByteSource& source_;
  TRiffWave wave_;
  int32_t bytes_;
  int64_t frame_ = 0;
  std::vector<uint8_t> raw_;
};

}  // namespace

std::unique_ptr<platform::IPcmDecoder> NewRiffPcmDecoder(platform::IByteSource& source,
                                                         const TRiffWave& wave) {
  return std::make_unique<RiffPcmDecoder>(source, wave);
}

}  // namespace quen
