extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/av_io.h"
#include "platform/media_writer.h"

namespace quen::platform {

namespace {

bool EndsWith(const std::string& s, const char* tail) {
  const size_t n = std::strlen(tail);
  if (s.size() < n) return false;
  for (size_t i = 0; i < n; ++i)
    if (std::tolower(static_cast<unsigned char>(s[s.size() - n + i])) != tail[i]) return false;
  return true;
}

// One output file with up to one picture and one sound stream.
class Muxer {
 public:
  ~Muxer() {
    if (sws_) sws_freeContext(sws_);
    if (swr_) swr_free(&swr_);
    av_frame_free(&vframe_);
    av_frame_free(&aframe_);
    av_packet_free(&packet_);
    avcodec_free_context(&vctx_);
    avcodec_free_context(&actx_);
    if (fmt_) {
      if (fmt_->pb && !(fmt_->oformat->flags & AVFMT_NOFILE)) avio_closep(&fmt_->pb);
      avformat_free_context(fmt_);
    }
  }

  bool Begin(const std::string& path, std::string* why) {
    av_log_set_level(AV_LOG_QUIET);
    avformat_alloc_output_context2(&fmt_, nullptr, nullptr, path.c_str());
    if (!fmt_) return Fail(why, "no container for " + path);
    path_ = path;
    packet_ = av_packet_alloc();
    return packet_ != nullptr;
  }

  bool AddVideo(const char* codec_name, AVPixelFormat pix, int32_t w, int32_t h, int32_t fps,
                std::string* why) {
    const AVCodec* codec = avcodec_find_encoder_by_name(codec_name);
    if (!codec) return Fail(why, std::string("no encoder ") + codec_name);
    vstream_ = avformat_new_stream(fmt_, nullptr);
    vctx_ = avcodec_alloc_context3(codec);
    if (!vstream_ || !vctx_) return Fail(why, "out of memory");
    vctx_->width = w;
    vctx_->height = h;
    vctx_->pix_fmt = pix;
    vctx_->time_base = AVRational{1, fps};
    vctx_->framerate = AVRational{fps, 1};
    vctx_->gop_size = 12;
    vctx_->bit_rate = 4000000;
    vctx_->flags |= AV_CODEC_FLAG_QSCALE;
    vctx_->global_quality = FF_QP2LAMBDA * 3;
    if (fmt_->oformat->flags & AVFMT_GLOBALHEADER) vctx_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (avcodec_open2(vctx_, codec, nullptr) < 0) return Fail(why, "the video encoder refused");
    avcodec_parameters_from_context(vstream_->codecpar, vctx_);
    vstream_->time_base = vctx_->time_base;
    vframe_ = av_frame_alloc();
    vframe_->format = pix;
    vframe_->width = w;
    vframe_->height = h;
    if (av_frame_get_buffer(vframe_, 0) < 0) return Fail(why, "out of memory");
    sws_ = sws_getContext(w, h, AV_PIX_FMT_BGR0, w, h, pix, SWS_BICUBIC, nullptr, nullptr, nullptr);
    return sws_ != nullptr || Fail(why, "no picture converter");
  }

  bool AddAudio(const char* codec_name, int32_t channels, int32_t rate, std::string* why) {
    const AVCodec* codec = avcodec_find_encoder_by_name(codec_name);
    if (!codec) return Fail(why, std::string("no encoder ") + codec_name);
    astream_ = avformat_new_stream(fmt_, nullptr);
    actx_ = avcodec_alloc_context3(codec);
    if (!astream_ || !actx_) return Fail(why, "out of memory");
    av_channel_layout_default(&actx_->ch_layout, channels);
    actx_->sample_rate = rate;
    actx_->sample_fmt = codec->sample_fmts ? codec->sample_fmts[0] : AV_SAMPLE_FMT_S16;
    actx_->bit_rate = 128000;
    actx_->time_base = AVRational{1, rate};
    actx_->strict_std_compliance = FF_COMPLIANCE_EXPERIMENTAL;
    if (fmt_->oformat->flags & AVFMT_GLOBALHEADER) actx_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (avcodec_open2(actx_, codec, nullptr) < 0) return Fail(why, "the sound encoder refused");
    avcodec_parameters_from_context(astream_->codecpar, actx_);
    astream_->time_base = actx_->time_base;
    channels_ = channels;
    frame_size_ = actx_->frame_size > 0 ? actx_->frame_size : 1024;
    // A short last frame keeps the length exact where the codec takes one.
    variable_ = (codec->capabilities &
                 (AV_CODEC_CAP_VARIABLE_FRAME_SIZE | AV_CODEC_CAP_SMALL_LAST_FRAME)) != 0;
    if (swr_alloc_set_opts2(&swr_, &actx_->ch_layout, actx_->sample_fmt, rate, &actx_->ch_layout,
                            AV_SAMPLE_FMT_S16, rate, 0, nullptr) < 0 ||
        swr_init(swr_) < 0)
      return Fail(why, "no sample converter");
    aframe_ = av_frame_alloc();
    return aframe_ != nullptr;
  }

  bool Open(std::string* why) {
    if (!(fmt_->oformat->flags & AVFMT_NOFILE) &&
        avio_open(&fmt_->pb, path_.c_str(), AVIO_FLAG_WRITE) < 0)
      return Fail(why, "cannot write " + path_);
    if (avformat_write_header(fmt_, nullptr) < 0) return Fail(why, "cannot write " + path_);
    return true;
  }

  bool Picture(const uint8_t* pixels, int32_t pitch) {
    if (av_frame_make_writable(vframe_) < 0) return false;
    const uint8_t* src[4] = {pixels, nullptr, nullptr, nullptr};
    const int pitches[4] = {pitch, 0, 0, 0};
    sws_scale(sws_, src, pitches, 0, vctx_->height, vframe_->data, vframe_->linesize);
    vframe_->pts = vpts_++;
    return Send(vctx_, vstream_, vframe_);
  }

  bool Sound(const int16_t* samples, int64_t frames) {
    pending_.insert(pending_.end(), samples, samples + frames * channels_);
    while (static_cast<int64_t>(pending_.size()) >= int64_t{frame_size_} * channels_)
      if (!SoundFrame(frame_size_)) return false;
    return true;
  }

  bool End(std::string* why) {
    if (actx_ && !pending_.empty()) {
      const int rest = static_cast<int>(pending_.size() / static_cast<size_t>(channels_));
      if (!variable_) pending_.resize(static_cast<size_t>(frame_size_ * channels_), 0);
      if (!SoundFrame(variable_ ? rest : frame_size_)) return Fail(why, "sound encoding failed");
      // Codecs that take only whole frames hold the last one back; a silent frame after it
      // brings it out.
      if (!variable_) {
        pending_.assign(static_cast<size_t>(frame_size_ * channels_), 0);
        if (!SoundFrame(frame_size_)) return Fail(why, "sound encoding failed");
      }
    }
    if (vctx_ && !Send(vctx_, vstream_, nullptr)) return Fail(why, "picture encoding failed");
    if (actx_ && !Send(actx_, astream_, nullptr)) return Fail(why, "sound encoding failed");
    if (av_write_trailer(fmt_) < 0) return Fail(why, "cannot finish " + path_);
    return true;
  }

 private:
  static bool Fail(std::string* why, const std::string& text) {
    if (why) *why = text;
    return false;
  }

  bool SoundFrame(int n) {
    av_frame_unref(aframe_);
    aframe_->nb_samples = n;
    aframe_->format = actx_->sample_fmt;
    aframe_->sample_rate = actx_->sample_rate;
    av_channel_layout_copy(&aframe_->ch_layout, &actx_->ch_layout);
    if (av_frame_get_buffer(aframe_, 0) < 0) return false;
    const uint8_t* in[1] = {reinterpret_cast<const uint8_t*>(pending_.data())};
    if (swr_convert(swr_, aframe_->data, n, in, n) < 0) return false;
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(n) * channels_);
    aframe_->pts = apts_;
    apts_ += n;
    return Send(actx_, astream_, aframe_);
  }

  bool Send(AVCodecContext* ctx, AVStream* st, AVFrame* frame) {
    if (avcodec_send_frame(ctx, frame) < 0) return false;
    for (;;) {
      const int r = avcodec_receive_packet(ctx, packet_);
      if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return true;
      if (r < 0) return false;
      av_packet_rescale_ts(packet_, ctx->time_base, st->time_base);
      packet_->stream_index = st->index;
      if (av_interleaved_write_frame(fmt_, packet_) < 0) return false;
    }
  }

  AVFormatContext* fmt_ = nullptr;
  std::string path_;
  AVPacket* packet_ = nullptr;
  AVStream* vstream_ = nullptr;
  AVCodecContext* vctx_ = nullptr;
  AVFrame* vframe_ = nullptr;
  SwsContext* sws_ = nullptr;
  int64_t vpts_ = 0;
  AVStream* astream_ = nullptr;
  AVCodecContext* actx_ = nullptr;
  AVFrame* aframe_ = nullptr;
  SwrContext* swr_ = nullptr;
  int32_t channels_ = 0;
  int frame_size_ = 1024;
  bool variable_ = false;
  int64_t apts_ = 0;
  std::vector<int16_t> pending_;
};

class AvVideoWriter : public VideoWriter {
 public:
  bool AddPicture(const uint8_t* pixels, int32_t pitch) override {
    return mux.Picture(pixels, pitch);
  }
  bool AddSound(const int16_t* samples, int64_t frames) override {
    return sound && mux.Sound(samples, frames);
  }
  bool Finish(std::string* why) override { return mux.End(why); }
  Muxer mux;
  bool sound = false;
};

}  // namespace

bool WriteSoundFile(const std::string& path, const std::string& codec, const int16_t* samples,
                    int64_t frames, int32_t channels, int32_t rate, std::string* why) {
  Muxer m;
  return m.Begin(path, why) && m.AddAudio(codec.c_str(), channels, rate, why) && m.Open(why) &&
         m.Sound(samples, frames) && m.End(why);
}

std::unique_ptr<VideoWriter> VideoWriter::Create(const std::string& path, int32_t width,
                                                 int32_t height, int32_t fps,
                                                 int32_t sound_channels, int32_t sound_rate,
                                                 std::string* why) {
  auto w = std::make_unique<AvVideoWriter>();
  const bool windows_media = EndsWith(path, ".wmv") || EndsWith(path, ".asf");
  if (!w->mux.Begin(path, why)) return nullptr;
  const bool ok = windows_media
                      ? w->mux.AddVideo("wmv2", AV_PIX_FMT_YUV420P, width, height, fps, why)
                      : w->mux.AddVideo("mjpeg", AV_PIX_FMT_YUVJ420P, width, height, fps, why);
  if (!ok) return nullptr;
  if (sound_channels > 0) {
    if (!w->mux.AddAudio(windows_media ? "wmav2" : "pcm_s16le", sound_channels, sound_rate, why))
      return nullptr;
    w->sound = true;
  }
  if (!w->mux.Open(why)) return nullptr;
  return w;
}

}  // namespace quen::platform
