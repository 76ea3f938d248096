// Sound and video speed next to anchors measured in the same run: 16 voices mixed against 16
// SDL_MixAudioFormat calls (and memcpy of the same bytes), the wave output engine's conversions
// as a multiple of real time, Ogg and Windows Media decoding against the bare library loops,
// a 640 x 480 picture into a surface against swscale alone, and the lateness of a periodic
// worker on the real clock. Read each figure as a ratio to its anchor.
#include <SDL.h>
#include <benchmark/benchmark.h>
#include <vorbis/vorbisfile.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "imaging/dibx.h"
#include "imaging/row_ops.h"
#include "media/mix_ops.h"
#include "media/sound_engine.h"
#include "media/sound_source.h"
#include "media/wav_out.h"
#include "platform/audio_device.h"
#include "platform/byte_source.h"
#include "platform/host_fs.h"
#include "platform/media_clock.h"
#include "platform/media_writer.h"
#include "platform/video_decoder.h"

namespace {

constexpr size_t kSecond = 44100;

std::vector<int16_t> Noise(size_t n, uint32_t seed) {
  std::vector<int16_t> v(n);
  uint32_t x = seed;
  for (auto& s : v) {
    x = x * 1664525u + 1013904223u;
    s = static_cast<int16_t>(x >> 16);
  }
  return v;
}

const std::vector<std::vector<int16_t>>& Voices() {
  static const auto v = [] {
    std::vector<std::vector<int16_t>> all;
    for (uint32_t i = 0; i < 16; ++i) all.push_back(Noise(kSecond * 2, i + 1));
    return all;
  }();
  return v;
}

// ---- mixing ----

void MixVoices(benchmark::State& state, bool scalar) {
  quen::SetForceScalar(scalar);
  const quen::TMixOps& ops = quen::MixOps();
  std::vector<int32_t> acc(kSecond * 2);
  std::vector<int16_t> out(kSecond * 2);
  for (auto _ : state) {
    std::fill(acc.begin(), acc.end(), 0);
    for (size_t v = 0; v < 16; ++v) {
      int32_t l, r;
      quen::StereoGains(-static_cast<int32_t>(v) * 150, static_cast<int32_t>(v) * 500 - 4000, l, r);
      ops.Accumulate(acc.data(), Voices()[v].data(), kSecond, l, r);
    }
    ops.Pack(out.data(), acc.data(), acc.size());
    benchmark::DoNotOptimize(out.data());
  }
  quen::SetForceScalar(false);
}
void BM_Mix16Voices(benchmark::State& s) {
  MixVoices(s, false);
}
void BM_Mix16VoicesScalar(benchmark::State& s) {
  MixVoices(s, true);
}
BENCHMARK(BM_Mix16Voices)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Mix16VoicesScalar)->Unit(benchmark::kMillisecond);

void BM_Anchor16SdlMixAudioFormat(benchmark::State& state) {
  SDL_Init(0);
  std::vector<int16_t> out(kSecond * 2);
  for (auto _ : state) {
    std::memset(out.data(), 0, out.size() * 2);
    for (size_t v = 0; v < 16; ++v)
      SDL_MixAudioFormat(reinterpret_cast<Uint8*>(out.data()),
                         reinterpret_cast<const Uint8*>(Voices()[v].data()), AUDIO_S16SYS,
                         static_cast<Uint32>(out.size() * 2), 100);
    benchmark::DoNotOptimize(out.data());
  }
}
BENCHMARK(BM_Anchor16SdlMixAudioFormat)->Unit(benchmark::kMillisecond);

void BM_AnchorMemcpy16Seconds(benchmark::State& state) {
  std::vector<int16_t> out(kSecond * 2);
  for (auto _ : state) {
    for (size_t v = 0; v < 16; ++v) std::memcpy(out.data(), Voices()[v].data(), out.size() * 2);
    benchmark::DoNotOptimize(out.data());
  }
}
BENCHMARK(BM_AnchorMemcpy16Seconds)->Unit(benchmark::kMillisecond);

// ---- the wave output engine's conversions, one second of each row ----

void BM_WavOutConvert(benchmark::State& state) {
  const quen::TWavFormat f{static_cast<int32_t>(state.range(0)),
                           static_cast<int32_t>(state.range(1)),
                           static_cast<int32_t>(state.range(2))};
  const int32_t e = quen::TWavBuffer::Expansion(f);
  const size_t out_bytes = kSecond * 4;
  const auto in = Noise(out_bytes / e / 2 + 1, 3);
  std::vector<int16_t> converted(out_bytes / 2), block(out_bytes / 2);
  for (auto _ : state) {
    quen::TWavBuffer::Convert(f, reinterpret_cast<const uint8_t*>(in.data()), out_bytes / e,
                              converted.data());
    quen::MixOps().AddScaled(block.data(), converted.data(), converted.size(), 200);
    benchmark::DoNotOptimize(block.data());
  }
  state.counters["x_realtime"] =
      benchmark::Counter(1.0, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_WavOutConvert)
    ->Args({2, 44100, 16})
    ->Args({1, 22050, 16})
    ->Args({2, 22050, 8})
    ->Args({1, 22050, 8})
    ->Unit(benchmark::kMicrosecond);

// ---- decoding: our voices against the bare loops ----

std::string EncodedFile(const char* ext, const char* codec) {
  static std::string folder = quen::platform::MakePrivateTempDir("qpbench-");
  const std::string path = folder + "/ten-seconds" + ext;
  if (!quen::platform::IsRegularFile(path)) {
    const auto s = Noise(kSecond * 2 * 10, 9);
    std::string why;
    quen::platform::WriteSoundFile(path, codec, s.data(), static_cast<int64_t>(kSecond * 10), 2,
                                   44100, &why);
  }
  std::string bytes;
  quen::platform::ReadWholeFile(path, bytes);
  return bytes;
}

// The engine with one voice, pulled in device-sized pieces until the file has ended.
void EngineDecode(benchmark::State& state, const std::string& file) {
  quen::platform::UseVirtualMediaTime();
  std::vector<int16_t> out(1024 * 2);
  for (auto _ : state) {
    quen::TSoundEngine engine(nullptr);
    std::string why;
    quen::TVoice* v = engine.AddVoice(
        quen::TSoundSource::Open(std::make_unique<quen::platform::MemoryByteSource>(
                                     file.data(), static_cast<int64_t>(file.size())),
                                 false, &why));
    v->Play();
    while (v->IsPlaying()) engine.Render(out.data(), 1024);
    benchmark::DoNotOptimize(out.data());
  }
}

void BM_OggVoice(benchmark::State& state) {
  EngineDecode(state, EncodedFile(".ogg", "libvorbis"));
}
BENCHMARK(BM_OggVoice)->Unit(benchmark::kMillisecond);

void BM_AnchorOvRead(benchmark::State& state) {
  const std::string file = EncodedFile(".ogg", "libvorbis");
  std::vector<char> buf(4096);
  for (auto _ : state) {
    quen::platform::MemoryByteSource src(file.data(), static_cast<int64_t>(file.size()));
    ov_callbacks cb{
        [](void* p, size_t size, size_t n, void* s) -> size_t {
          const int64_t got =
              static_cast<quen::platform::IByteSource*>(s)->Read(p, static_cast<int64_t>(size * n));
          return got > 0 ? static_cast<size_t>(got) / size : 0;
        },
        [](void* s, ogg_int64_t off, int whence) -> int {
          auto* b = static_cast<quen::platform::IByteSource*>(s);
          const int64_t base = whence == SEEK_CUR ? b->Tell() : whence == SEEK_END ? b->Size() : 0;
          return b->Seek(base + off) < 0 ? -1 : 0;
        },
        nullptr,
        [](void* s) -> long {
          return static_cast<long>(static_cast<quen::platform::IByteSource*>(s)->Tell());
        }};
    OggVorbis_File vf;
    ov_open_callbacks(&src, &vf, nullptr, 0, cb);
    int link;
    while (ov_read(&vf, buf.data(), static_cast<int>(buf.size()), 0, 2, 1, &link) > 0) {
    }
    ov_clear(&vf);
    benchmark::DoNotOptimize(buf.data());
  }
}
BENCHMARK(BM_AnchorOvRead)->Unit(benchmark::kMillisecond);

void BM_WmaVoice(benchmark::State& state) {
  EngineDecode(state, EncodedFile(".wma", "wmav2"));
}
BENCHMARK(BM_WmaVoice)->Unit(benchmark::kMillisecond);

// A bare FFmpeg loop over the same bytes: demux, decode, nothing else.
struct MemReader {
  const std::string* bytes;
  int64_t pos = 0;
};

AVFormatContext* OpenMemory(MemReader& r, AVIOContext*& io) {
  auto* buf = static_cast<uint8_t*>(av_malloc(1 << 15));
  io = avio_alloc_context(
      buf, 1 << 15, 0, &r,
      [](void* o, uint8_t* b, int n) -> int {
        auto* m = static_cast<MemReader*>(o);
        const int64_t left = static_cast<int64_t>(m->bytes->size()) - m->pos;
        if (left <= 0) return AVERROR_EOF;
        const int k = static_cast<int>(std::min<int64_t>(n, left));
        std::memcpy(b, m->bytes->data() + m->pos, static_cast<size_t>(k));
        m->pos += k;
        return k;
      },
      nullptr,
      [](void* o, int64_t off, int whence) -> int64_t {
        auto* m = static_cast<MemReader*>(o);
        if (whence & AVSEEK_SIZE) return static_cast<int64_t>(m->bytes->size());
        m->pos = (whence & 3) == SEEK_CUR   ? m->pos + off
                 : (whence & 3) == SEEK_END ? static_cast<int64_t>(m->bytes->size()) + off
                                            : off;
        return m->pos;
      });
  AVFormatContext* fmt = avformat_alloc_context();
  fmt->pb = io;
  avformat_open_input(&fmt, nullptr, nullptr, nullptr);
  avformat_find_stream_info(fmt, nullptr);
  return fmt;
}

void BM_AnchorFfmpegLoop(benchmark::State& state) {
  av_log_set_level(AV_LOG_QUIET);
  const std::string file = EncodedFile(".wma", "wmav2");
  for (auto _ : state) {
    MemReader r{&file};
    AVIOContext* io = nullptr;
    AVFormatContext* fmt = OpenMemory(r, io);
    const AVCodec* codec = nullptr;
    const int st = av_find_best_stream(fmt, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
    AVCodecContext* ctx = avcodec_alloc_context3(codec);
    avcodec_parameters_to_context(ctx, fmt->streams[st]->codecpar);
    avcodec_open2(ctx, codec, nullptr);
    AVPacket* pkt = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    while (av_read_frame(fmt, pkt) >= 0) {
      if (pkt->stream_index == st && avcodec_send_packet(ctx, pkt) >= 0)
        while (avcodec_receive_frame(ctx, frame) == 0) benchmark::DoNotOptimize(frame->data[0]);
      av_packet_unref(pkt);
    }
    av_frame_free(&frame);
    av_packet_free(&pkt);
    avcodec_free_context(&ctx);
    avformat_close_input(&fmt);
    av_freep(&io->buffer);
    avio_context_free(&io);
  }
}
BENCHMARK(BM_AnchorFfmpegLoop)->Unit(benchmark::kMillisecond);

// ---- a 640 x 480 picture into a surface ----

const std::string& VideoFile() {
  static const std::string bytes = [] {
    const std::string folder = quen::platform::MakePrivateTempDir("qpbench-");
    const std::string path = folder + "/clip.avi";
    std::string why;
    auto w = quen::platform::VideoWriter::Create(path, 640, 480, 10, 0, 0, &why);
    std::vector<uint32_t> px(640 * 480);
    for (size_t i = 0; i < px.size(); ++i) px[i] = static_cast<uint32_t>(i * 2654435761u);
    w->AddPicture(reinterpret_cast<const uint8_t*>(px.data()), 640 * 4);
    w->Finish(&why);
    std::string bytes;
    quen::platform::ReadWholeFile(path, bytes);
    return bytes;
  }();
  return bytes;
}

void BM_VideoPictureIntoSurface(benchmark::State& state) {
  quen::platform::MemoryByteSource src(VideoFile().data(),
                                       static_cast<int64_t>(VideoFile().size()));
  std::string why;
  auto d = quen::platform::OpenVideoDecoder(src, &why);
  d->ShowAt(0);
  quen::TDIBX surface;
  surface.SetSize(640, 480, 32);
  for (auto _ : state) {
    d->CopyPicture(surface.DIB().ScanLine(0), surface.DIB().Pitch(), 640, 480);
    benchmark::DoNotOptimize(surface.DIB().ScanLine(0));
  }
}
BENCHMARK(BM_VideoPictureIntoSurface)->Unit(benchmark::kMicrosecond);

void BM_AnchorSwsScale(benchmark::State& state) {
  MemReader r{&VideoFile()};
  AVIOContext* io = nullptr;
  AVFormatContext* fmt = OpenMemory(r, io);
  const AVCodec* codec = nullptr;
  const int st = av_find_best_stream(fmt, AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
  AVCodecContext* ctx = avcodec_alloc_context3(codec);
  avcodec_parameters_to_context(ctx, fmt->streams[st]->codecpar);
  avcodec_open2(ctx, codec, nullptr);
  AVPacket* pkt = av_packet_alloc();
  AVFrame* frame = av_frame_alloc();
  bool got = false;
  while (!got && av_read_frame(fmt, pkt) >= 0) {
    if (pkt->stream_index == st && avcodec_send_packet(ctx, pkt) >= 0)
      got = avcodec_receive_frame(ctx, frame) == 0;
    av_packet_unref(pkt);
  }
  SwsContext* sws = sws_getContext(640, 480, static_cast<AVPixelFormat>(frame->format), 640, 480,
                                   AV_PIX_FMT_BGR0, SWS_BILINEAR, nullptr, nullptr, nullptr);
  std::vector<uint8_t> out(640 * 480 * 4);
  uint8_t* planes[4] = {out.data(), nullptr, nullptr, nullptr};
  int pitches[4] = {640 * 4, 0, 0, 0};
  for (auto _ : state) {
    sws_scale(sws, frame->data, frame->linesize, 0, 480, planes, pitches);
    benchmark::DoNotOptimize(out.data());
  }
  sws_freeContext(sws);
  av_frame_free(&frame);
  av_packet_free(&pkt);
  avcodec_free_context(&ctx);
  avformat_close_input(&fmt);
  av_freep(&io->buffer);
  avio_context_free(&io);
}
BENCHMARK(BM_AnchorSwsScale)->Unit(benchmark::kMicrosecond);

// ---- a 10 ms worker on the real clock ----

void BM_TimerLateness(benchmark::State& state) {
  quen::platform::UseVirtualMediaTime(false);
  for (auto _ : state) {
    quen::platform::PeriodicTimer timer(10, [] {});
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    state.counters["ticks"] = static_cast<double>(timer.TickCount());
    state.counters["p99_lateness_us"] = static_cast<double>(timer.LatenessP99Micros());
  }
}
BENCHMARK(BM_TimerLateness)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
