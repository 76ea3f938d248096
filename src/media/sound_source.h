// One sound file opened for playing: the decoder that suits its bytes (our wave reader for
// plain waves, libvorbisfile for Ogg, FFmpeg for the rest) and its bytes as the wave output
// engine reads them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/pcm_decoder.h"

namespace quen {

class TSoundSource {
 public:
  // Null (why set) when the bytes hold no sound we can play. is_ogg only says what to try
  // first; the bytes decide.
  static std::unique_ptr<TSoundSource> Open(std::unique_ptr<platform::IByteSource> bytes,
                                            bool is_ogg, std::string* why);
  ~TSoundSource();

  // 16-bit samples at the source's channels and rate.
  platform::IPcmDecoder& Decoder() { return *decoder_; }
  int32_t Channels() const { return decoder_->Channels(); }
  int32_t Rate() const { return decoder_->Rate(); }
  int64_t Frames() const { return frames_; }
  int64_t LengthMs() const;
  // "wave", "ogg" or "av": who decodes it.
  const char* Kind() const { return kind_; }

  // The stored form: plain 8- and 16-bit waves as their stored bytes, everything else as
  // decoded 16-bit samples. Bits per sample and the byte count of the whole sound.
  int32_t RawBits() const { return raw_bits_; }
  int32_t RawBlockAlign() const { return Channels() * raw_bits_ / 8; }
  int64_t RawSize() const;
  int64_t RawPosition() const { return raw_pos_; }
  // Moves to a byte position (cut down to whole frames and to the size); false on failure.
  bool SetRawPosition(int64_t bytes);
  // Up to count bytes from the position.
  int64_t ReadRaw(void* buffer, int64_t count);

 private:
  TSoundSource() = default;
  // Containers that do not tell their length are counted through once.
  void CountFrames();
  std::unique_ptr<platform::IByteSource> bytes_;
  std::unique_ptr<platform::IPcmDecoder> decoder_;
  const char* kind_ = "";
  int32_t raw_bits_ = 16;
  bool raw_stored_ = false;  // raw bytes read straight from the file
  int64_t data_offset_ = 0;
  int64_t data_size_ = 0;
  int64_t raw_pos_ = 0;
  int64_t frames_ = 0;
};

}  // namespace quen
