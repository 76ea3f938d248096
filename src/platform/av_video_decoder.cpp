extern "C" {
#include <libavcodec/avcodec.h>
#include <libswscale/swscale.h>
}

#include <cstring>

#include "platform/av_io.h"
#include "platform/video_decoder.h"

namespace quen::platform {

namespace {

class AvVideoDecoder : public IVideoDecoder {
 public:
  ~AvVideoDecoder() override {
    if (sws_) sws_freeContext(sws_);
    av_frame_free(&current_);
    av_frame_free(&next_);
    av_packet_free(&packet_);
    avcodec_free_context(&ctx_);
  }

  bool Open(IByteSource& source, std::string* why) {
    if (!input_.Open(source, why)) return false;
    AVFormatContext* fmt = input_.Format();
    const AVCodec* codec = nullptr;
    stream_ = av_find_best_stream(fmt, AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
    if (stream_ < 0 || !codec) {
      if (why) *why = "no video stream";
      return false;
    }
    AVStream* st = fmt->streams[stream_];
    ctx_ = avcodec_alloc_context3(codec);
    if (!ctx_ || avcodec_parameters_to_context(ctx_, st->codecpar) < 0 ||
        avcodec_open2(ctx_, codec, nullptr) < 0) {
      if (why) *why = "the video codec does not open";
      return false;
    }
    if (ctx_->width < 1 || ctx_->height < 1 || ctx_->width > 8192 || ctx_->height > 8192) {
      if (why) *why = "unusable picture size";
      return false;
    }
    time_base_ = st->time_base;
    start_pts_ = st->start_time != AV_NOPTS_VALUE ? st->start_time : 0;
    if (st->duration != AV_NOPTS_VALUE && st->duration > 0) {
      duration_ms_ = av_rescale_q(st->duration, st->time_base, AVRational{1, 1000});
    } else if (fmt->duration != AV_NOPTS_VALUE && fmt->duration > 0) {
      duration_ms_ = av_rescale(fmt->duration, 1000, AV_TIME_BASE);
    }
    packet_ = av_packet_alloc();
    current_ = av_frame_alloc();
    next_ = av_frame_alloc();
    return packet_ && current_ && next_;
  }

  int32_t Width() const override { return ctx_->width; }
  int32_t Height() const override { return ctx_->height; }
  int64_t DurationMs() const override { return duration_ms_; }
  int64_t PictureSerial() const override { return serial_; }

  bool ShowAt(int64_t ms) override {
    if (has_current_ && ms < current_ms_) Rewind(ms);
    if (!has_current_) {
      if (!Take()) return false;
    }
    // Move on while the picture after the current one is due.
    while (PeekNext() && next_ms_ <= ms) Take();
    return has_current_;
  }

  void CopyPicture(uint8_t* dst, int32_t pitch, int32_t width, int32_t height) override {
    if (!has_current_ || width < 1 || height < 1) return;
    // Our own key: swscale's cache compares the formats it rewrote (the JPEG-range ones of
    // Motion JPEG), misses every time and builds the context anew for every picture.
    const int key[5] = {current_->width, current_->height, current_->format, width, height};
    if (!sws_ || std::memcmp(key, sws_key_, sizeof key) != 0) {
      if (sws_) sws_freeContext(sws_);
      sws_ = sws_getContext(key[0], key[1], static_cast<AVPixelFormat>(key[2]), width, height,
                            AV_PIX_FMT_BGR0, SWS_BILINEAR, nullptr, nullptr, nullptr);
      std::memcpy(sws_key_, key, sizeof key);
    }
    if (!sws_) return;
    uint8_t* planes[4] = {dst, nullptr, nullptr, nullptr};
    int pitches[4] = {pitch, 0, 0, 0};
    sws_scale(sws_, current_->data, current_->linesize, 0, current_->height, planes, pitches);
  }

 private:
  int64_t FrameMs(const AVFrame* f) const {
    const int64_t pts = f->best_effort_timestamp;
    if (pts == AV_NOPTS_VALUE) return last_ms_;
    return av_rescale_q(pts - start_pts_, time_base_, AVRational{1, 1000});
  }

  // Decodes the picture after the current one into next_; false at the end.
  bool PeekNext() {
    if (has_next_) return true;
    while (!ended_) {
      const int r = avcodec_receive_frame(ctx_, next_);
      if (r == 0) {
        if (next_->width != ctx_->width || next_->height != ctx_->height) {
          av_frame_unref(next_);
          continue;
        }
        next_ms_ = FrameMs(next_);
        last_ms_ = next_ms_;
        has_next_ = true;
        return true;
      }
      if (r != AVERROR(EAGAIN) || flushing_) {
        ended_ = true;
        break;
      }
      for (;;) {
        if (av_read_frame(input_.Format(), packet_) < 0) {
          avcodec_send_packet(ctx_, nullptr);
          flushing_ = true;
          break;
        }
        if (packet_->stream_index != stream_) {
          av_packet_unref(packet_);
          continue;
        }
        avcodec_send_packet(ctx_, packet_);
        av_packet_unref(packet_);
        break;
      }
    }
    return false;
  }

  bool Take() {
    if (!PeekNext()) return false;
    av_frame_unref(current_);
    av_frame_move_ref(current_, next_);
    current_ms_ = next_ms_;
    has_next_ = false;
    has_current_ = true;
    ++serial_;
    return true;
  }

  void Rewind(int64_t ms) {
    const int64_t ts = start_pts_ + av_rescale_q(ms, AVRational{1, 1000}, time_base_);
    if (av_seek_frame(input_.Format(), stream_, ts, AVSEEK_FLAG_BACKWARD) < 0)
      av_seek_frame(input_.Format(), stream_, start_pts_, AVSEEK_FLAG_BACKWARD);
    avcodec_flush_buffers(ctx_);
    av_frame_unref(current_);
    av_frame_unref(next_);
    has_current_ = has_next_ = false;
    ended_ = flushing_ = false;
  }

  av::Input input_;
  int stream_ = -1;
  AVCodecContext* ctx_ = nullptr;
  AVPacket* packet_ = nullptr;
  AVFrame* current_ = nullptr;
  AVFrame* next_ = nullptr;
  SwsContext* sws_ = nullptr;
  int sws_key_[5] = {};
  AVRational time_base_{1, 1000};
  int64_t start_pts_ = 0;
  int64_t duration_ms_ = 0;
  int64_t current_ms_ = 0;
  int64_t next_ms_ = 0;
  int64_t last_ms_ = 0;
  int64_t serial_ = 0;
  bool has_current_ = false;
  bool has_next_ = false;
  bool ended_ = false;
  bool flushing_ = false;
};

}  // namespace

std::unique_ptr<IVideoDecoder> OpenVideoDecoder(IByteSource& source, std::string* why) {
  auto d = std::make_unique<AvVideoDecoder>();
  if (!d->Open(source, why)) return nullptr;
  return d;
}

}  // namespace quen::platform
