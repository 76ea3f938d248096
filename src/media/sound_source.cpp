#include "media/sound_source.h"

#include <algorithm>
#include <cstring>

#include "media/riff_wave.h"

namespace quen {

TSoundSource::~TSoundSource() = default;

std::unique_ptr<TSoundSource> TSoundSource::Open(std::unique_ptr<platform::IByteSource> bytes,
                                                 bool is_ogg, std::string* why) {
  std::unique_ptr<TSoundSource> s(new TSoundSource());
  s->bytes_ = std::move(bytes);
  platform::IByteSource& b = *s->bytes_;
  uint8_t magic[4] = {};
  const bool has_magic = b.Seek(0) == 0 && b.Read(magic, 4) == 4;
  const bool ogg = has_magic && std::memcmp(magic, "OggS", 4) == 0;
  if (ogg || (is_ogg && !(has_magic && std::memcmp(magic, "RIFF", 4) == 0))) {
    b.Seek(0);
    s->decoder_ = platform::OpenVorbisDecoder(b, why);
    s->kind_ = "ogg";
    if (s->decoder_) {
      s->CountFrames();
      return s;
    }
    if (ogg) return nullptr;
  }
  TRiffWave wave;
  switch (ReadRiffWave(b, wave, why)) {
    case TRiffResult::kDamaged:
      return nullptr;
    case TRiffResult::kWave:
      if (wave.Plain()) {
        s->decoder_ = NewRiffPcmDecoder(b, wave);
        s->kind_ = "wave";
        s->raw_bits_ = wave.Bits;
        s->raw_stored_ = wave.FormatTag == TRiffWave::kPcm && (wave.Bits == 8 || wave.Bits == 16);
        s->data_offset_ = wave.DataOffset;
        s->data_size_ = wave.DataSize;
        s->frames_ = s->decoder_->Frames();
        return s;
      }
      break;  // a compressed wave: FFmpeg knows its codecs
    case TRiffResult::kNotRiff:
      break;
  }
  b.Seek(0);
  s->decoder_ = platform::OpenAvDecoder(b, why);
  s->kind_ = "av";
  if (!s->decoder_) return nullptr;
  s->CountFrames();
  return s;
}

void TSoundSource::CountFrames() {
  frames_ = decoder_->Frames();
  if (frames_ > 0) return;
  std::vector<int16_t> buf(static_cast<size_t>(4096 * std::max(1, Channels())));
  int64_t n = 0;
  while (const int64_t got = decoder_->Read(buf.data(), 4096)) n += got;
  frames_ = n;
  decoder_->Seek(0);
}

int64_t TSoundSource::LengthMs() const {
  const int32_t rate = Rate();
  return rate > 0 ? Frames() * 1000 / rate : 0;
}

int64_t TSoundSource::RawSize() const {
  return raw_stored_ ? data_size_ : Frames() * RawBlockAlign();
}

bool TSoundSource::SetRawPosition(int64_t bytes) {
  const int64_t align = RawBlockAlign();
  bytes = std::clamp<int64_t>(bytes, 0, RawSize());
  bytes -= bytes % align;
  if (!raw_stored_ && !decoder_->Seek(bytes / align)) return false;
  raw_pos_ = bytes;
  return true;
}

int64_t TSoundSource::ReadRaw(void* buffer, int64_t count) {
  const int64_t align = RawBlockAlign();
  count = std::min(count, RawSize() - raw_pos_);
  count -= count % align;
  if (count <= 0) return 0;
  int64_t got = 0;
  if (raw_stored_) {
    const int64_t at = data_offset_ + raw_pos_;
    if (bytes_->Seek(at) != at) return 0;
    got = std::max<int64_t>(0, bytes_->Read(buffer, count));
    got -= got % align;
  } else {
    // Decoded sound: 16-bit samples in the machine's (little-endian) order.
    got = decoder_->Read(static_cast<int16_t*>(buffer), count / align) * align;
  }
  raw_pos_ += got;
  return got;
}

}  // namespace quen
