#include "media/quen_lib.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "media/sound_engine.h"
#include "media/sound_source.h"
#include "media/video_playback.h"
#include "platform/audio_device.h"
#include "platform/byte_source.h"

namespace quen {

namespace {

// One of the player's streams; every reader of it keeps its own position, and a seek and the
// read after it go together, so pictures and sound of one video can read it from two threads.
struct TSharedStream {
  void* stream = nullptr;
  TQuenStreamCallbacks cb{};
  std::mutex mu;
};

class TCallbackSource : public platform::IByteSource {
 public:
  explicit TCallbackSource(std::shared_ptr<TSharedStream> s) : s_(std::move(s)) {}
  int64_t Read(void* buffer, int64_t count) override {
    if (count <= 0) return 0;
    std::lock_guard<std::mutex> lock(s_->mu);
    if (s_->cb.set_position(s_->stream, pos_) != pos_) return 0;
    const int64_t n = s_->cb.read(s_->stream, buffer, count);
    if (n < 0) return -1;
    pos_ += n;
    return n;
  }
  int64_t Seek(int64_t position) override {
    if (position < 0) return -1;
    pos_ = position;
    return pos_;
  }
  int64_t Tell() override { return pos_; }
  int64_t Size() override {
    std::lock_guard<std::mutex> lock(s_->mu);
    return s_->cb.get_size(s_->stream);
  }

 private:
  std::shared_ptr<TSharedStream> s_;
  int64_t pos_ = 0;
};

struct TQuenLib {
  platform::IAudioDevice* device = nullptr;
  TQuenStreamCallbacks cb{};
  std::unique_ptr<TSoundEngine> engine;
  bool use_thread = false;
  int32_t next = 1;
  std::map<int32_t, TVoice*> ogg;
  std::map<int32_t, TVoice*> wmp;
  std::map<int32_t, std::unique_ptr<TSoundSource>> decoders;
  std::map<int32_t, std::unique_ptr<TVideoPlayback>> videos;

  std::unique_ptr<platform::IByteSource> Reader(void* stream) {
    auto s = std::make_shared<TSharedStream>();
    s->stream = stream;
    s->cb = cb;
    return std::make_unique<TCallbackSource>(std::move(s));
  }
  int32_t NextHandle() {
    // Handles are never reused; after 2^31 - 1 of them the library refuses more.
    return next == INT32_MAX ? 0 : next++;
  }
};

std::unique_ptr<TQuenLib>& Lib() {
  static std::unique_ptr<TQuenLib> lib;
  return lib;
}

TVoice* Voice(std::map<int32_t, TVoice*>& m, int32_t h) {
  auto it = m.find(h);
  return it == m.end() ? nullptr : it->second;
}
TVoice* Ogg(int32_t h) {
  return Lib() ? Voice(Lib()->ogg, h) : nullptr;
}
TVoice* Wmp(int32_t h) {
  return Lib() ? Voice(Lib()->wmp, h) : nullptr;
}
// The wave output engine's thread reads decoded sound while the main thread adds and removes
// decoders.
std::mutex& DecoderLock() {
  static std::mutex mu;
  return mu;
}

TSoundSource* Decoder(int32_t h) {
  if (!Lib()) return nullptr;
  auto it = Lib()->decoders.find(h);
  return it == Lib()->decoders.end() ? nullptr : it->second.get();
}
TVideoPlayback* Video(int32_t h) {
  if (!Lib()) return nullptr;
  auto it = Lib()->videos.find(h);
  return it == Lib()->videos.end() ? nullptr : it->second.get();
}

int32_t ToInt32(int64_t v) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

int32_t AddVoice(std::map<int32_t, TVoice*>& m, std::unique_ptr<platform::IByteSource> bytes,
                 bool is_ogg) {
  TQuenLib& lib = *Lib();
  std::string why;
  auto source = TSoundSource::Open(std::move(bytes), is_ogg, &why);
  if (!source) return 0;
  const int32_t h = lib.NextHandle();
  if (h == 0) return 0;
  m[h] = lib.engine->AddVoice(std::move(source));
  return h;
}

void DelVoice(std::map<int32_t, TVoice*>& m, int32_t h) {
  auto it = m.find(h);
  if (it == m.end()) return;
  Lib()->engine->RemoveVoice(it->second);
  m.erase(it);
}

}  // namespace

int32_t quenVersion() {
  return kQuenLibVersion;
}

bool quenInit(platform::IAudioDevice* device, const TQuenStreamCallbacks* callbacks, bool) {
  if (!callbacks || !callbacks->get_size || !callbacks->read || !callbacks->get_position ||
      !callbacks->set_position)
    return false;
  quenFinal();
  auto lib = std::make_unique<TQuenLib>();
  lib->device = device;
  lib->cb = *callbacks;
  lib->engine = std::make_unique<TSoundEngine>(device);
  Lib() = std::move(lib);
  return true;
}

void quenFinal() {
  auto& lib = Lib();
  if (!lib) return;
  lib->videos.clear();
  for (auto& [h, v] : lib->ogg) lib->engine->RemoveVoice(v);
  for (auto& [h, v] : lib->wmp) lib->engine->RemoveVoice(v);
  lib->ogg.clear();
  lib->wmp.clear();
  {
    std::lock_guard<std::mutex> lock(DecoderLock());
    lib->decoders.clear();
  }
  lib->engine.reset();
  lib.reset();
}

// ---- ogg and wave sound ----

int32_t quenOggmanAdd(void* stream, bool is_ogg) {
  if (!Lib() || !stream) return 0;
  return AddVoice(Lib()->ogg, Lib()->Reader(stream), is_ogg);
}
void quenOggmanDel(int32_t handle) {
  if (Lib()) DelVoice(Lib()->ogg, handle);
}
void quenOggmanRestore() {
  if (Lib()) Lib()->engine->Restore();
}
void quenOggmanSetUseThread(bool on) {
  if (!Lib()) return;
  Lib()->use_thread = on;
  Lib()->engine->SetUseThread(on);
}
void quenOggmanUpdate() {
  if (Lib()) Lib()->engine->Update();
}
void quenOggPlay(int32_t h) {
  if (TVoice* v = Ogg(h)) v->Play();
}
void quenOggPause(int32_t h) {
  if (TVoice* v = Ogg(h)) v->Pause();
}
bool quenOggIsPaused(int32_t h) {
  TVoice* v = Ogg(h);
  return v && v->IsPaused();
}
bool quenOggIsPlaying(int32_t h) {
  TVoice* v = Ogg(h);
  return v && v->IsPlaying();
}
bool quenOggIsEnd(int32_t h) {
  TVoice* v = Ogg(h);
  return v && v->IsEnd();
}
int32_t quenOggGetLen(int32_t h) {
  TVoice* v = Ogg(h);
  return v ? v->LengthMs() : 0;
}
int32_t quenOggGetPosition(int32_t h) {
  TVoice* v = Ogg(h);
  return v ? v->PositionMs() : 0;
}
void quenOggSetPosition(int32_t h, int32_t ms) {
  if (TVoice* v = Ogg(h)) v->SetPositionMs(ms);
}
bool quenOggGetAutoRepeat(int32_t h) {
  TVoice* v = Ogg(h);
  return v && v->Repeat();
}
void quenOggSetAutoRepeat(int32_t h, bool on) {
  if (TVoice* v = Ogg(h)) v->SetRepeat(on);
}
int32_t quenOggGetRepeatPos(int32_t h) {
  TVoice* v = Ogg(h);
  return v ? v->RepeatPosMs() : 0;
}
void quenOggSetRepeatPos(int32_t h, int32_t ms) {
  if (TVoice* v = Ogg(h)) v->SetRepeatPosMs(ms);
}
int32_t quenOggGetPan(int32_t h) {
  TVoice* v = Ogg(h);
  return v ? v->Pan() : 0;
}
void quenOggSetPan(int32_t h, int32_t pan) {
  if (TVoice* v = Ogg(h)) v->SetPan(pan);
}
int32_t quenOggGetVol(int32_t h) {
  TVoice* v = Ogg(h);
  return v ? v->Volume() : 0;
}
void quenOggSetVol(int32_t h, int32_t volume) {
  if (TVoice* v = Ogg(h)) v->SetVolume(volume);
}

// ---- decoded sound for the wave output engine ----

int32_t quenOggStrmanAdd(void* stream, bool is_ogg) {
  std::lock_guard<std::mutex> lock(DecoderLock());
  if (!Lib() || !stream) return 0;
  std::string why;
  auto source = TSoundSource::Open(Lib()->Reader(stream), is_ogg, &why);
  if (!source) return 0;
  const int32_t h = Lib()->NextHandle();
  if (h != 0) Lib()->decoders[h] = std::move(source);
  return h;
}
void quenOggStrmanDel(int32_t handle) {
  std::lock_guard<std::mutex> lock(DecoderLock());
  if (Lib()) Lib()->decoders.erase(handle);
}
bool quenOggStrGetFormat(int32_t h, TQuenWaveFormat* format) {
  std::lock_guard<std::mutex> lock(DecoderLock());
  TSoundSource* s = Decoder(h);
  if (!s || !format) return false;
  format->format_tag = 1;
  format->channels = static_cast<uint16_t>(s->Channels());
  format->samples_per_sec = static_cast<uint32_t>(s->Rate());
  format->block_align = static_cast<uint16_t>(s->RawBlockAlign());
  format->avg_bytes_per_sec = format->samples_per_sec * format->block_align;
  format->bits_per_sample = static_cast<uint16_t>(s->RawBits());
  return true;
}
int32_t quenOggStrRead(int32_t h, void* buffer, int32_t count) {
  std::lock_guard<std::mutex> lock(DecoderLock());
  TSoundSource* s = Decoder(h);
  if (!s || !buffer || count <= 0) return 0;
  return ToInt32(s->ReadRaw(buffer, count));
}
int32_t quenOggStrGetPos(int32_t h) {
  std::lock_guard<std::mutex> lock(DecoderLock());
  TSoundSource* s = Decoder(h);
  return s ? ToInt32(s->RawPosition()) : 0;
}
void quenOggStrSetPos(int32_t h, int32_t bytes) {
  std::lock_guard<std::mutex> lock(DecoderLock());
  if (TSoundSource* s = Decoder(h)) s->SetRawPosition(bytes);
}
int32_t quenOggStrGetLen(int32_t h) {
  std::lock_guard<std::mutex> lock(DecoderLock());
  TSoundSource* s = Decoder(h);
  return s ? ToInt32(s->LengthMs()) : 0;
}
int32_t quenOggStrGetSize(int32_t h) {
  std::lock_guard<std::mutex> lock(DecoderLock());
  TSoundSource* s = Decoder(h);
  return s ? ToInt32(s->RawSize()) : 0;
}

// ---- Windows Media files ----

int32_t quenWmpmanAdd(const void* memory, int64_t size) {
  if (!Lib() || !memory || size <= 0) return 0;
  return AddVoice(Lib()->wmp, std::make_unique<platform::MemoryByteSource>(memory, size), false);
}
void quenWmpmanDel(int32_t handle) {
  if (Lib()) DelVoice(Lib()->wmp, handle);
}
void quenWmpmanProcessEvent() {
  // Without its own thread the engine decodes here, once a frame.
  if (Lib() && !Lib()->use_thread) Lib()->engine->Update();
}
void quenWmpmanRestore() {
  if (Lib()) Lib()->engine->Restore();
}
void quenWmpPlay(int32_t h) {
  if (TVoice* v = Wmp(h)) v->Play();
}
void quenWmpPause(int32_t h) {
  if (TVoice* v = Wmp(h)) v->Pause();
}
bool quenWmpIsPlaying(int32_t h) {
  TVoice* v = Wmp(h);
  return v && v->IsPlaying();
}
bool quenWmpIsPaused(int32_t h) {
  TVoice* v = Wmp(h);
  return v && v->IsPaused();
}
bool quenWmpIsEnd(int32_t h) {
  TVoice* v = Wmp(h);
  return v && v->IsEnd();
}
int32_t quenWmpGetLen(int32_t h) {
  TVoice* v = Wmp(h);
  return v ? v->LengthMs() : 0;
}
int32_t quenWmpGetPosition(int32_t h) {
  TVoice* v = Wmp(h);
  return v ? v->PositionMs() : 0;
}
void quenWmpSetPosition(int32_t h, int32_t ms) {
  if (TVoice* v = Wmp(h)) v->SetPositionMs(ms);
}
bool quenWmpGetAutoRepeat(int32_t h) {
  TVoice* v = Wmp(h);
  return v && v->Repeat();
}
void quenWmpSetAutoRepeat(int32_t h, bool on) {
  if (TVoice* v = Wmp(h)) v->SetRepeat(on);
}
int32_t quenWmpGetPan(int32_t h) {
  TVoice* v = Wmp(h);
  return v ? v->Pan() : 0;
}
void quenWmpSetPan(int32_t h, int32_t pan) {
  if (TVoice* v = Wmp(h)) v->SetPan(pan);
}
int32_t quenWmpGetVol(int32_t h) {
  TVoice* v = Wmp(h);
  return v ? v->Volume() : 0;
}
void quenWmpSetVol(int32_t h, int32_t volume) {
  if (TVoice* v = Wmp(h)) v->SetVolume(volume);
}

// ---- videos ----

int32_t quenVidmanAdd(const char* path, void* stream, bool capture) {
  if (!Lib() || (!stream && !path)) return 0;
  TQuenLib& lib = *Lib();
  TVideoPlayback::TOpenBytes open;
  if (stream) {
    auto shared = std::make_shared<TSharedStream>();
    shared->stream = stream;
    shared->cb = lib.cb;
    open = [shared]() -> std::unique_ptr<platform::IByteSource> {
      return std::make_unique<TCallbackSource>(shared);
    };
  } else {
    const std::string host(path);
    open = [host] { return platform::OpenFileByteSource(host); };
  }
  std::string why;
  auto video = TVideoPlayback::Open(open, lib.engine.get(), capture, &why);
  if (!video) return 0;
  const int32_t h = lib.NextHandle();
  if (h != 0) lib.videos[h] = std::move(video);
  return h;
}
void quenVidmanDel(int32_t handle) {
  if (Lib()) Lib()->videos.erase(handle);
}
void quenVidmanProcessEvent() {
  if (!Lib()) return;
  for (auto& [h, v] : Lib()->videos) v->ProcessFrame();
}
void quenVidmanSuspend() {
  if (!Lib()) return;
  for (auto& [h, v] : Lib()->videos) v->Suspend();
}
void quenVidmanResume() {
  if (!Lib()) return;
  for (auto& [h, v] : Lib()->videos) v->Resume();
}
void quenVideoPlay(int32_t h) {
  if (TVideoPlayback* v = Video(h)) v->Play();
}
void quenVideoPause(int32_t h) {
  if (TVideoPlayback* v = Video(h)) v->Pause();
}
bool quenVideoIsPaused(int32_t h) {
  TVideoPlayback* v = Video(h);
  return v && v->IsPaused();
}
bool quenVideoIsPlaying(int32_t h) {
  TVideoPlayback* v = Video(h);
  return v && v->IsPlaying();
}
bool quenVideoIsEnd(int32_t h) {
  TVideoPlayback* v = Video(h);
  return v && v->IsEnd();
}
int32_t quenVideoGetLen(int32_t h) {
  TVideoPlayback* v = Video(h);
  return v ? v->LengthMs() : 0;
}
int32_t quenVideoGetPosition(int32_t h) {
  TVideoPlayback* v = Video(h);
  return v ? v->PositionMs() : 0;
}
void quenVideoSetPosition(int32_t h, int32_t ms) {
  if (TVideoPlayback* v = Video(h)) v->SetPositionMs(ms);
}
void quenVideoSetRect(int32_t h, int32_t left, int32_t top, int32_t width, int32_t height) {
  if (TVideoPlayback* v = Video(h)) v->SetRect(left, top, width, height);
}
bool quenVideoGetVisible(int32_t h) {
  TVideoPlayback* v = Video(h);
  return v && v->Visible();
}
void quenVideoSetVisible(int32_t h, bool visible) {
  if (TVideoPlayback* v = Video(h)) v->SetVisible(visible);
}
int32_t quenVideoGetVol(int32_t h) {
  TVideoPlayback* v = Video(h);
  return v ? v->Volume() : 0;
}
void quenVideoSetVol(int32_t h, int32_t volume) {
  if (TVideoPlayback* v = Video(h)) v->SetVolume(volume);
}
int32_t quenVideoGetPan(int32_t h) {
  TVideoPlayback* v = Video(h);
  return v ? v->Pan() : 0;
}
void quenVideoSetPan(int32_t h, int32_t pan) {
  if (TVideoPlayback* v = Video(h)) v->SetPan(pan);
}
bool quenVideoGetAutoRepeat(int32_t h) {
  TVideoPlayback* v = Video(h);
  return v && v->Repeat();
}
void quenVideoSetAutoRepeat(int32_t h, bool on) {
  if (TVideoPlayback* v = Video(h)) v->SetRepeat(on);
}
int32_t quenVideoGetSourceWidth(int32_t h) {
  TVideoPlayback* v = Video(h);
  return v ? v->Width() : 0;
}
int32_t quenVideoGetSourceHeight(int32_t h) {
  TVideoPlayback* v = Video(h);
  return v ? v->Height() : 0;
}
bool quenVideoGetDC(int32_t h, TQuenPicture* picture) {
  TVideoPlayback* v = Video(h);
  if (!v || !picture || !v->HasPicture()) return false;
  picture->width = v->Width();
  picture->height = v->Height();
  picture->pixels = v->Pixels().data();
  v->TakePicture();
  return true;
}
bool quenVideoNeedPaint(int32_t h) {
  TVideoPlayback* v = Video(h);
  return v && v->NeedPaint();
}

// ---- binding by name ----

namespace {

struct TExport {
  const char* name;
  void* address;
};

#define QUEN_EXPORT(f)                \
  TExport {                           \
#f, reinterpret_cast < void*>(&f) \
  }

const TExport kExports[] = {
    QUEN_EXPORT(quenVersion),
    QUEN_EXPORT(quenInit),
    QUEN_EXPORT(quenFinal),
    QUEN_EXPORT(quenOggmanAdd),
    QUEN_EXPORT(quenOggmanDel),
    QUEN_EXPORT(quenOggmanRestore),
    QUEN_EXPORT(quenOggmanSetUseThread),
    QUEN_EXPORT(quenOggmanUpdate),
    QUEN_EXPORT(quenOggPlay),
    QUEN_EXPORT(quenOggPause),
    QUEN_EXPORT(quenOggIsPaused),
    QUEN_EXPORT(quenOggIsPlaying),
    QUEN_EXPORT(quenOggIsEnd),
    QUEN_EXPORT(quenOggGetLen),
    QUEN_EXPORT(quenOggGetPosition),
    QUEN_EXPORT(quenOggSetPosition),
    QUEN_EXPORT(quenOggGetAutoRepeat),
    QUEN_EXPORT(quenOggSetAutoRepeat),
    QUEN_EXPORT(quenOggGetRepeatPos),
    QUEN_EXPORT(quenOggSetRepeatPos),
    QUEN_EXPORT(quenOggGetPan),
    QUEN_EXPORT(quenOggSetPan),
    QUEN_EXPORT(quenOggGetVol),
    QUEN_EXPORT(quenOggSetVol),
    QUEN_EXPORT(quenOggStrmanAdd),
    QUEN_EXPORT(quenOggStrmanDel),
    QUEN_EXPORT(quenOggStrGetFormat),
    QUEN_EXPORT(quenOggStrRead),
    QUEN_EXPORT(quenOggStrGetPos),
    QUEN_EXPORT(quenOggStrSetPos),
    QUEN_EXPORT(quenOggStrGetLen),
    QUEN_EXPORT(quenOggStrGetSize),
    QUEN_EXPORT(quenWmpmanAdd),
    QUEN_EXPORT(quenWmpmanDel),
    QUEN_EXPORT(quenWmpmanProcessEvent),
    QUEN_EXPORT(quenWmpmanRestore),
    QUEN_EXPORT(quenWmpPlay),
    QUEN_EXPORT(quenWmpPause),
    QUEN_EXPORT(quenWmpIsPlaying),
    QUEN_EXPORT(quenWmpIsPaused),
    QUEN_EXPORT(quenWmpIsEnd),
    QUEN_EXPORT(quenWmpGetLen),
    QUEN_EXPORT(quenWmpGetPosition),
    QUEN_EXPORT(quenWmpSetPosition),
    QUEN_EXPORT(quenWmpGetAutoRepeat),
    QUEN_EXPORT(quenWmpSetAutoRepeat),
    QUEN_EXPORT(quenWmpGetPan),
    QUEN_EXPORT(quenWmpSetPan),
    QUEN_EXPORT(quenWmpGetVol),
    QUEN_EXPORT(quenWmpSetVol),
    QUEN_EXPORT(quenVidmanAdd),
    QUEN_EXPORT(quenVidmanDel),
    QUEN_EXPORT(quenVidmanProcessEvent),
    QUEN_EXPORT(quenVidmanSuspend),
    QUEN_EXPORT(quenVidmanResume),
    QUEN_EXPORT(quenVideoPlay),
    QUEN_EXPORT(quenVideoPause),
    QUEN_EXPORT(quenVideoIsPaused),
    QUEN_EXPORT(quenVideoIsPlaying),
    QUEN_EXPORT(quenVideoIsEnd),
    QUEN_EXPORT(quenVideoGetLen),
    QUEN_EXPORT(quenVideoGetPosition),
    QUEN_EXPORT(quenVideoSetPosition),
    QUEN_EXPORT(quenVideoSetRect),
    QUEN_EXPORT(quenVideoGetVisible),
    QUEN_EXPORT(quenVideoSetVisible),
    QUEN_EXPORT(quenVideoGetVol),
    QUEN_EXPORT(quenVideoSetVol),
    QUEN_EXPORT(quenVideoGetPan),
    QUEN_EXPORT(quenVideoSetPan),
    QUEN_EXPORT(quenVideoGetAutoRepeat),
    QUEN_EXPORT(quenVideoSetAutoRepeat),
    QUEN_EXPORT(quenVideoGetSourceWidth),
    QUEN_EXPORT(quenVideoGetSourceHeight),
    QUEN_EXPORT(quenVideoGetDC),
    QUEN_EXPORT(quenVideoNeedPaint),
};

const char* const* Names() {
  static const auto names = [] {
    std::array<const char*, std::size(kExports)> n{};
    for (size_t i = 0; i < std::size(kExports); ++i) n[i] = kExports[i].name;
    return n;
  }();
  return names.data();
}

}  // namespace

void* quenFindExport(const char* name) {
  if (!name) return nullptr;
  for (const TExport& e : kExports)
    if (std::strcmp(e.name, name) == 0) return e.address;
  return nullptr;
}

const char* const* quenExportNames(int32_t* count) {
  if (count) *count = static_cast<int32_t>(std::size(kExports));
  return Names();
}

}  // namespace quen
