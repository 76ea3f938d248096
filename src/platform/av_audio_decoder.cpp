// Sound through FFmpeg: the first sound stream of the container, decoded and turned into
// interleaved 16-bit samples at its own rate and channel count.
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/av_io.h"
#include "platform/pcm_decoder.h"

namespace quen::platform {

namespace {

class AvDecoder : public IPcmDecoder {
 public:
  ~AvDecoder() override { Release(); }

  bool Open(IByteSource& source, std::string* why) {
    source_ = &source;
    input_ = std::make_unique<av::Input>();
    if (!input_->Open(source, why)) return false;
    AVFormatContext* fmt = input_->Format();
    const AVCodec* codec = nullptr;
    stream_ = av_find_best_stream(fmt, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
    if (stream_ < 0 || !codec) {
      if (why) *why = "no sound stream";
      return false;
    }
    AVStream* st = fmt->streams[stream_];
    ctx_ = avcodec_alloc_context3(codec);
    if (!ctx_ || avcodec_parameters_to_context(ctx_, st->codecpar) < 0 ||
        avcodec_open2(ctx_, codec, nullptr) < 0) {
      if (why) *why = "the sound codec does not open";
      return false;
    }
    channels_ = ctx_->ch_layout.nb_channels;
    rate_ = ctx_->sample_rate;
    if (channels_ < 1 || channels_ > 8 || rate_ < 1000 || rate_ > 384000) {
      if (why) *why = "unusable sound format";
      return false;
    }
    bits_ = ctx_->bits_per_raw_sample > 0 ? ctx_->bits_per_raw_sample : 16;
    if (st->duration != AV_NOPTS_VALUE && st->duration > 0) {
      frames_ = av_rescale_q(st->duration, st->time_base, AVRational{1, rate_});
    } else if (fmt->duration != AV_NOPTS_VALUE && fmt->duration > 0) {
      frames_ = av_rescale(fmt->duration, rate_, AV_TIME_BASE);
    }
    start_pts_ = st->start_time != AV_NOPTS_VALUE ? st->start_time : 0;
    packet_ = av_packet_alloc();
    frame_ = av_frame_alloc();
    return packet_ && frame_;
  }

  int32_t Channels() const override { return channels_; }
  int32_t Rate() const override { return rate_; }
  int32_t SourceBits() const override { return bits_; }
  int64_t Frames() const override { return frames_; }

  int64_t Read(int16_t* out, int64_t frames) override {
    int64_t done = 0;
    while (done < frames) {
      if (pending_pos_ < pending_.size()) {
        const int64_t have = static_cast<int64_t>(pending_.size() - pending_pos_) / channels_;
        const int64_t n = std::min(have, frames - done);
        std::memcpy(out + done * channels_, pending_.data() + pending_pos_,
                    static_cast<size_t>(n * channels_) * sizeof(int16_t));
        pending_pos_ += static_cast<size_t>(n * channels_);
        done += n;
        continue;
      }
      if (!Decode()) break;
    }
    return done;
  }

  bool Seek(int64_t frame) override {
    if (frame < 0) frame = 0;
    AVStream* st = input_->Format()->streams[stream_];
    const int64_t ts = start_pts_ + av_rescale_q(frame, AVRational{1, rate_}, st->time_base);
    if (av_seek_frame(input_->Format(), stream_, ts, AVSEEK_FLAG_BACKWARD) < 0) {
      // Containers without an index still go back to their start by reopening.
      if (frame != 0 || !Reopen()) return false;
    } else {
      avcodec_flush_buffers(ctx_);
    }
    pending_.clear();
    pending_pos_ = 0;
    ended_ = false;
    flushing_ = false;
    skip_to_ = frame;
    next_frame_ = -1;
    return true;
  }

 private:
  void Release() {
    if (swr_) swr_free(&swr_);
    if (frame_) av_frame_free(&frame_);
    if (packet_) av_packet_free(&packet_);
    if (ctx_) avcodec_free_context(&ctx_);
  }

  bool Reopen() {
    Release();
    input_.reset();
    if (source_->Seek(0) < 0) return false;
    return Open(*source_, nullptr);
  }

  // Decodes the next piece into pending_; false at the end.
  bool Decode() {
    while (!ended_) {
      const int r = avcodec_receive_frame(ctx_, frame_);
      if (r == 0) {
        Convert();
        av_frame_unref(frame_);
        if (pending_pos_ < pending_.size()) return true;
        continue;
      }
      if (r == AVERROR_EOF || (r != AVERROR(EAGAIN))) {
        ended_ = true;
        break;
      }
      if (flushing_) {
        ended_ = true;
        break;
      }
      // Feed the next packet of our stream; at the end of the input, drain the decoder.
      for (;;) {
        const int rr = av_read_frame(input_->Format(), packet_);
        if (rr < 0) {
          avcodec_send_packet(ctx_, nullptr);
          flushing_ = true;
          break;
        }
        if (packet_->stream_index != stream_) {
          av_packet_unref(packet_);
          continue;
        }
        const int sr = avcodec_send_packet(ctx_, packet_);
        av_packet_unref(packet_);
        // A damaged packet is skipped; the decoder goes on with the next one.
        if (sr < 0 && sr != AVERROR(EAGAIN) && sr != AVERROR_INVALIDDATA) {
          ended_ = true;
        }
        break;
      }
    }
    return false;
  }

  void Convert() {
    const int n = frame_->nb_samples;
    if (n <= 0 || frame_->ch_layout.nb_channels != channels_ || frame_->sample_rate != rate_)
      return;
    if (!swr_ || frame_->format != swr_format_) {
      if (swr_) swr_free(&swr_);
      if (swr_alloc_set_opts2(&swr_, &frame_->ch_layout, AV_SAMPLE_FMT_S16, rate_,
                              &frame_->ch_layout, static_cast<AVSampleFormat>(frame_->format),
                              rate_, 0, nullptr) < 0 ||
          swr_init(swr_) < 0) {
        if (swr_) swr_free(&swr_);
        return;
      }
      swr_format_ = frame_->format;
    }
    pending_.resize(static_cast<size_t>(n) * static_cast<size_t>(channels_));
    pending_pos_ = 0;
    uint8_t* out[1] = {reinterpret_cast<uint8_t*>(pending_.data())};
    const int got =
        swr_convert(swr_, out, n, const_cast<const uint8_t**>(frame_->extended_data), n);
    pending_.resize(static_cast<size_t>(std::max(got, 0)) * static_cast<size_t>(channels_));
    // Where this piece starts: the frame's own time when it has one.
    int64_t start = next_frame_;
    const int64_t pts = frame_->best_effort_timestamp;
    if (pts != AV_NOPTS_VALUE) {
      AVStream* st = input_->Format()->streams[stream_];
      start = av_rescale_q(pts - start_pts_, st->time_base, AVRational{1, rate_});
    }
    if (start < 0 && next_frame_ < 0) start = 0;
    if (start < 0) start = next_frame_;
    next_frame_ = start + std::max(got, 0);
    // After a seek, the samples before the target go.
    if (skip_to_ > start) {
      const int64_t drop = std::min<int64_t>(skip_to_ - start, std::max(got, 0));
      pending_pos_ = static_cast<size_t>(drop * channels_);
      if (start + got >= skip_to_) skip_to_ = -1;
    } else {
      skip_to_ = -1;
    }
  }

  IByteSource* source_ = nullptr;
  std::unique_ptr<av::Input> input_;
  int stream_ = -1;
  AVCodecContext* ctx_ = nullptr;
  AVPacket* packet_ = nullptr;
  AVFrame* frame_ = nullptr;
  SwrContext* swr_ = nullptr;
  int swr_format_ = -1;
  int32_t channels_ = 0;
  int32_t rate_ = 0;
  int32_t bits_ = 16;
  int64_t frames_ = 0;
  int64_t start_pts_ = 0;
  int64_t skip_to_ = -1;
  int64_t next_frame_ = -1;
  bool ended_ = false;
  bool flushing_ = false;
  std::vector<int16_t> pending_;
  size_t pending_pos_ = 0;
};

}  // namespace

std::unique_ptr<IPcmDecoder> OpenAvDecoder(IByteSource& source, std::string* why) {
  auto d = std::make_unique<AvDecoder>();
  if (!d->Open(source, why)) return nullptr;
  return d;
}

}  // namespace quen::platform
