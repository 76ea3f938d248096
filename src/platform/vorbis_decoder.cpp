#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cstring>

#include "platform/pcm_decoder.h"

namespace quen::platform {

namespace {

size_t ReadCb(void* ptr, size_t size, size_t nmemb, void* source) {
  if (size == 0 || nmemb == 0) return 0;
  const int64_t n =
      static_cast<IByteSource*>(source)->Read(ptr, static_cast<int64_t>(size * nmemb));
  return n <= 0 ? 0 : static_cast<size_t>(n) / size;
}

int SeekCb(void* source, ogg_int64_t offset, int whence) {
  auto* s = static_cast<IByteSource*>(source);
  int64_t base = 0;
  if (whence == SEEK_CUR) base = s->Tell();
  if (whence == SEEK_END) {
    base = s->Size();
    if (base < 0) return -1;
  }
  return s->Seek(base + offset) < 0 ? -1 : 0;
}

long TellCb(void* source) {
  return static_cast<long>(static_cast<IByteSource*>(source)->Tell());
}

class VorbisDecoder : public IPcmDecoder {
 public:
  ~VorbisDecoder() override {
    if (open_) ov_clear(&vf_);
  }
  bool Open(IByteSource& source, std::string* why) {
    const ov_callbacks cb{ReadCb, SeekCb, nullptr, TellCb};
    if (ov_open_callbacks(&source, &vf_, nullptr, 0, cb) != 0) {
      if (why) *why = "not an Ogg Vorbis stream";
      return false;
    }
    open_ = true;
    const vorbis_info* info = ov_info(&vf_, -1);
    if (!info || info->channels < 1 || info->channels > 8 || info->rate < 1000 ||
        info->rate > 384000) {
      if (why) *why = "unusable Ogg Vorbis format";
      return false;
    }
    channels_ = info->channels;
    rate_ = static_cast<int32_t>(info->rate);
    const ogg_int64_t total = ov_pcm_total(&vf_, -1);
    frames_ = total > 0 ? total : 0;
    return true;
  }
  int32_t Channels() const override { return channels_; }
  int32_t Rate() const override { return rate_; }
  int64_t Frames() const override { return frames_; }
  int64_t Read(int16_t* out, int64_t frames) override {
    int64_t done = 0;
    const int64_t frame_bytes = 2 * channels_;
    while (done < frames && !ended_) {
      int link = 0;
      const int64_t want = std::min<int64_t>((frames - done) * frame_bytes, 1 << 16);
      const long n = ov_read(&vf_, reinterpret_cast<char*>(out + done * channels_),
                             static_cast<int>(want), 0, 2, 1, &link);
      if (n == OV_HOLE) continue;  // a gap in the data: the samples after it follow
      if (n <= 0) {
        ended_ = true;
        break;
      }
      // A chained stream that changes its format ends here.
      const vorbis_info* info = ov_info(&vf_, link);
      if (!info || info->channels != channels_ || info->rate != rate_) {
        ended_ = true;
        break;
      }
      done += n / frame_bytes;
    }
    return done;
  }
  bool Seek(int64_t frame) override {
    ended_ = false;
    return ov_pcm_seek(&vf_, frame) == 0;
  }

 private:
  OggVorbis_File vf_{};
  bool open_ = false;
  bool ended_ = false;
  int32_t channels_ = 0;
  int32_t rate_ = 0;
  int64_t frames_ = 0;
};

}  // namespace

std::unique_ptr<IPcmDecoder> OpenVorbisDecoder(IByteSource& source, std::string* why) {
  auto d = std::make_unique<VorbisDecoder>();
  if (!d->Open(source, why)) return nullptr;
  return d;
}

}  // namespace quen::platform
