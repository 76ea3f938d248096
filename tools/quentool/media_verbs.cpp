// quentool media: sound and video files as the player plays them. info reports what a manager
// makes of a file, render plays files headless into a wave, frames writes a video's pictures,
// video makes a Motion JPEG clip, and wave, dump and encode make the sounds tests and the
// demo use from their text form.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <thread>

#include "authoring/wave_text.h"
#include "base/error.h"
#include "files/file_manager.h"
#include "files/host_path.h"
#include "imaging/dibx.h"
#include "imaging/pixel_convert.h"
#include "imaging/png_codec.h"
#include "imaging/png_writer.h"
#include "media/media_streams.h"
#include "media/media_system.h"
#include "media/sound_source.h"
#include "platform/host_fs.h"
#include "platform/media_clock.h"
#include "platform/media_writer.h"
#include "platform/text_encoding.h"
#include "platform/video_decoder.h"
#include "quentool/verb.h"
#include "runtime/game_settings.h"

namespace {

using quentool::Args;
using quentool::UsageError;

std::string ReadHostFile(const std::string& path) {
  return quentool::ReadInputFile(path);
}

void WriteHostFile(const std::string& path, const std::string& bytes) {
  quentool::WriteOutputFile(path, bytes);
}

int32_t Number(const std::string& option, const std::string& text, int32_t low, int32_t high) {
  char* end = nullptr;
  const long v = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || v < low || v > high)
    throw UsageError{option + " takes a number from " + std::to_string(low) + " to " +
                     std::to_string(high)};
  return static_cast<int32_t>(v);
}

// Sets the file manager up for the game folder (with its "game.dat") and gives the game name
// of a file: the argument itself with --game, otherwise the file's own folder becomes the game
// folder.
std::string GameName(const std::string& file, const std::string& game) {
  std::string folder = game, base = file;
  if (game.empty()) {
    const size_t slash = file.rfind('/');
    folder = slash == std::string::npos ? "./" : file.substr(0, slash + 1);
    base = slash == std::string::npos ? file : file.substr(slash + 1);
  }
  quen::TVrFileManager& fm = quen::FileManager();
  if (fm.GameFolder().empty()) {
    fm.SetGameFolder(quen::WithSlash(folder));
    const std::string dat = quen::ResolveGamePath(quen::WithSlash(folder), "game.dat");
    if (!dat.empty()) fm.AddArchive(dat);
  }
  std::string sjis;
  if (!quen::platform::TryUtf8ToCp932(base, sjis)) throw quen::EQuenError("cannot name " + base);
  for (char& c : sjis)
    if (c == '/') c = '\\';
  return sjis;
}

bool IsVideoName(const std::string& name) {
  const std::string ext = quen::MediaExtension(name);
  return ext == ".avi" || ext == ".mpg" || ext == ".mpeg" || ext == ".mp4" || ext == ".mkv" ||
         ext == ".mov" || ext == ".webm";
}

// ---- info ----

int Info(Args args) {
  std::string game;
  quentool::TakeOption(args, "--game", game);
  const bool video = quentool::TakeFlag(args, "--video");
  if (args.size() != 1) throw UsageError{"one FILE"};
  const std::string name = GameName(args[0], game);
  quen::TMediaRoute route = quen::RouteSoundFile(name);
  std::string file = name;
  if (route == quen::TMediaRoute::kCdda && !video) {
    file = quen::TCddaManager::TrackFile(quen::TCddaManager::TrackNumber(name));
    if (file.empty()) throw quen::EQuenError("no file holds this CD track");
  }
  std::printf("manager %s\n", video ? "video" : quen::RouteName(route));
  auto stream = quen::OpenMediaStream(file);
  if (video) {
    quen::TStreamByteSource bytes(*stream);
    std::string why;
    auto d = quen::platform::OpenVideoDecoder(bytes, &why);
    if (!d) throw quen::EQuenError("no video: " + why);
    auto sound_stream = quen::OpenMediaStream(file);
    auto sound = quen::TSoundSource::Open(std::make_unique<quen::TStreamByteSource>(*sound_stream),
                                          false, &why);
    if (sound) {
      std::printf("channels %d\nrate %d\nbits %d\n", sound->Channels(), sound->Rate(),
                  sound->RawBits());
    }
    const int64_t length = std::max<int64_t>(d->DurationMs(), sound ? sound->LengthMs() : 0);
    std::printf("length %lld\nwidth %d\nheight %d\n", static_cast<long long>(length), d->Width(),
                d->Height());
    return 0;
  }
  if (route == quen::TMediaRoute::kMidi) {
    quen::TMediaOptions o;
    o.Headless = true;
    quen::TMediaSystem media(o);
    media.MediaInit(nullptr, false, nullptr);
    quen::TDMediaItem* item = media.Midi()->Add(name);
    if (!item) return 1;
    std::printf("length %d\n", item->GetLength());
    return 0;
  }
  if (route == quen::TMediaRoute::kNone) throw quen::EQuenError("no manager plays this file");
  std::string why;
  auto sound =
      quen::TSoundSource::Open(std::make_unique<quen::TStreamByteSource>(*stream), false, &why);
  if (!sound) throw quen::EQuenError("no sound: " + why);
  std::printf("channels %d\nrate %d\nbits %d\nlength %lld\n", sound->Channels(), sound->Rate(),
              sound->RawBits(), static_cast<long long>(sound->LengthMs()));
  return 0;
}

// ---- render ----

int Render(Args args) {
  std::string out, game, ms_text, from_text, volume_text, pan_text, repeat_pos_text, delay_text;
  // --device plays through the sound device in real time instead of writing a wave.
  const bool device = quentool::TakeFlag(args, "--device");
  if (!quentool::TakeOption(args, "-o", out) && !device)
    throw UsageError{"-o OUT.wav (or --device) is required"};
  quentool::TakeOption(args, "--game", game);
  quentool::TakeOption(args, "--ms", ms_text);
  quentool::TakeOption(args, "--from", from_text);
  quentool::TakeOption(args, "--volume", volume_text);
  quentool::TakeOption(args, "--pan", pan_text);
  quentool::TakeOption(args, "--repeat-pos", repeat_pos_text);
  quentool::TakeOption(args, "--delay", delay_text);
  const bool repeat = quentool::TakeFlag(args, "--repeat");
  const bool wavout = quentool::TakeFlag(args, "--wavout");
  if (args.empty()) throw UsageError{"FILE... to play"};
  if (!delay_text.empty() && !wavout) throw UsageError{"--delay goes with --wavout"};
  const int32_t ms = ms_text.empty() ? -1 : Number("--ms", ms_text, 0, 3600000);
  if (repeat && ms < 0) throw UsageError{"--repeat needs --ms"};
  const int32_t from = from_text.empty() ? 0 : Number("--from", from_text, 0, INT32_MAX);
  const int32_t volume = volume_text.empty() ? 0 : Number("--volume", volume_text, -10000, 0);
  const int32_t pan = pan_text.empty() ? 0 : Number("--pan", pan_text, -10000, 10000);
  const int32_t repeat_pos =
      repeat_pos_text.empty() ? 0 : Number("--repeat-pos", repeat_pos_text, 0, INT32_MAX);

  quen::TMediaOptions o;
  o.Headless = !device;
  o.DirectSound = !wavout;
  if (!delay_text.empty())
    o.DelayTime = quen::NormalizeDelayTime(Number("--delay", delay_text, 1, 100000));
  quen::TMediaSystem media(o);
  if (device) media.InitializeSound();
  media.MediaInit(nullptr, false, nullptr);
  std::vector<quen::TDMediaItem*> items;
  for (const std::string& file : args) {
    const std::string name = GameName(file, game);
    quen::TDMediaItem* item = nullptr;
    if (IsVideoName(name)) {
      item = media.Video()->AddVideo(name, true);
    } else if (quen::TMediaManager* m = media.ManagerFor(name)) {
      item = m->Add(name);
    } else {
      throw quen::EQuenError(file + ": no manager plays this file");
    }
    // The manager said why on standard error.
    if (!item) return 1;
    item->SetPan(pan);
    item->SetAutoRepeat(repeat);
    item->SetRepeatPos(repeat_pos);
    item->SetVolume(volume);
    if (from > 0) item->SetPosition(from);
    item->Play();
    items.push_back(item);
  }
  // In steps of 10 ms, until the time asked for or until every file has ended.
  std::vector<bool> ended(items.size(), false);
  int64_t t = 0;
  const int64_t limit = ms >= 0 ? ms : 3600000;
  const int64_t start = quen::platform::MediaNowMs();
  while (t < limit) {
    t = std::min<int64_t>(t + 10, limit);
    if (device) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      t = quen::platform::MediaNowMs() - start;
    }
    media.Step(t);
    bool all = true;
    for (size_t i = 0; i < items.size(); ++i) {
      if (!ended[i] && items[i]->IsEnd()) ended[i] = true;
      all = all && ended[i];
    }
    if (ms < 0 && all) break;
  }
  if (device) {
    // What the device still holds goes out before it closes.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    return 0;
  }
  if (!media.WriteCapture(out)) throw quen::EQuenError("cannot write " + out);
  return 0;
}

// ---- frames ----

int Frames(Args args) {
  std::string out, at, game;
  if (!quentool::TakeOption(args, "-o", out)) throw UsageError{"-o DIR is required"};
  if (!quentool::TakeOption(args, "--at", at)) throw UsageError{"--at MS,... is required"};
  quentool::TakeOption(args, "--game", game);
  if (args.size() != 1) throw UsageError{"one FILE"};
  std::vector<int32_t> times;
  std::istringstream list(at);
  std::string item;
  while (std::getline(list, item, ',')) times.push_back(Number("--at", item, 0, INT32_MAX));
  if (times.empty()) throw UsageError{"--at MS,..."};
  const std::string name = GameName(args[0], game);
  quen::TMediaOptions o;
  o.Headless = true;
  quen::TMediaSystem media(o);
  media.MediaInit(nullptr, false, nullptr);
  quen::TVideoItem* video = media.Video()->AddVideo(name, true);
  if (!video) return 1;
  quen::platform::MakeDirectory(out);
  for (int32_t ms : times) {
    video->SetPosition(ms);
    media.UpdateFrame();
    quen::TVideoFrame f;
    if (!video->GetPicture(f)) throw quen::EQuenError("no picture at " + std::to_string(ms));
    quen::TDIBX picture;
    picture.SetSize(f.Width, f.Height, 32);
    for (int32_t y = 0; y < f.Height; ++y)
      std::memcpy(picture.DIB().ScanLine(y), f.Pixels + static_cast<size_t>(y) * f.Width,
                  static_cast<size_t>(f.Width) * 4);
    WriteHostFile(quen::WithSlash(out) + "at-" + std::to_string(ms) + ".png",
                  quen::EncodePng(picture));
  }
  return 0;
}

// ---- video ----

int Video(Args args) {
  std::string out, fps_text, sound_file;
  if (!quentool::TakeOption(args, "-o", out)) throw UsageError{"-o OUT.avi is required"};
  if (!quentool::TakeOption(args, "--fps", fps_text)) throw UsageError{"--fps N is required"};
  quentool::TakeOption(args, "--sound", sound_file);
  const int32_t fps = Number("--fps", fps_text, 1, 120);
  if (args.empty()) throw UsageError{"PNG... pictures"};
  std::vector<quen::TDIBSurface> pictures(args.size());
  for (size_t i = 0; i < args.size(); ++i) {
    quen::TDIBSurface png;
    int32_t key = -1;
    quen::ReadPng(ReadHostFile(args[i]), png, key);
    pictures[i].SetSize(png.Width(), png.Height(), 32);
    quen::ConvertPixels(png, pictures[i]);
    if (pictures[i].Width() != pictures[0].Width() || pictures[i].Height() != pictures[0].Height())
      throw quen::EQuenError(args[i] + ": every picture must have the first one's size");
  }
  std::vector<int16_t> samples;
  int32_t channels = 0, rate = 0;
  if (!sound_file.empty()) {
    std::string why;
    auto bytes = quen::platform::OpenFileByteSource(sound_file);
    auto sound = bytes ? quen::TSoundSource::Open(std::move(bytes), false, &why) : nullptr;
    if (!sound) throw quen::EQuenError(sound_file + ": no sound " + why);
    channels = sound->Channels();
    rate = sound->Rate();
    samples.resize(static_cast<size_t>(sound->Frames() * channels));
    samples.resize(
        static_cast<size_t>(sound->Decoder().Read(samples.data(), sound->Frames()) * channels));
  }
  std::string why;
  auto writer = quen::platform::VideoWriter::Create(out, pictures[0].Width(), pictures[0].Height(),
                                                    fps, channels, rate, &why);
  if (!writer) throw quen::EQuenError(out + ": " + why);
  for (auto& p : pictures)
    if (!writer->AddPicture(p.ScanLine(0), p.Pitch())) throw quen::EQuenError("encoding failed");
  if (!samples.empty() && !writer->AddSound(samples.data(), samples.size() / channels))
    throw quen::EQuenError("sound encoding failed");
  if (!writer->Finish(&why)) throw quen::EQuenError(out + ": " + why);
  return 0;
}

// ---- wave, dump, encode ----

int Wave(Args args) {
  std::string out;
  if (!quentool::TakeOption(args, "-o", out)) throw UsageError{"-o OUT.wav is required"};
  if (args.size() != 1) throw UsageError{"one SRC text"};
  std::string wav, error;
  if (!quen::AssembleWaveText(ReadHostFile(args[0]), wav, error))
    throw quen::EQuenError(args[0] + ":" + error);
  WriteHostFile(out, wav);
  return 0;
}

int Dump(Args args) {
  std::string out;
  quentool::TakeOption(args, "-o", out);
  if (args.size() != 1) throw UsageError{"one FILE.wav"};
  std::string text, error;
  if (!quen::DumpWaveText(ReadHostFile(args[0]), text, error))
    throw quen::EQuenError(args[0] + ": " + error);
  if (out.empty()) {
    std::fwrite(text.data(), 1, text.size(), stdout);
  } else {
    WriteHostFile(out, text);
  }
  return 0;
}

int Encode(Args args) {
  std::string out, codec;
  if (!quentool::TakeOption(args, "-o", out)) throw UsageError{"-o OUT is required"};
  quentool::TakeOption(args, "--codec", codec);
  if (args.size() != 1) throw UsageError{"one IN sound"};
  if (codec.empty()) {
    const std::string ext = quen::MediaExtension(out);
    codec = ext == ".ogg"    ? "libvorbis"
            : ext == ".wma"  ? "wmav2"
            : ext == ".asf"  ? "wmav2"
            : ext == ".flac" ? "flac"
            : ext == ".wav"  ? "adpcm_ms"
                             : "";
    if (codec.empty()) throw UsageError{"--codec NAME for " + out};
  }
  std::string why;
  auto bytes = quen::platform::OpenFileByteSource(args[0]);
  auto sound = bytes ? quen::TSoundSource::Open(std::move(bytes), false, &why) : nullptr;
  if (!sound) throw quen::EQuenError(args[0] + ": no sound " + why);
  std::vector<int16_t> samples(static_cast<size_t>(sound->Frames() * sound->Channels()));
  const int64_t frames = sound->Decoder().Read(samples.data(), sound->Frames());
  if (!quen::platform::WriteSoundFile(out, codec, samples.data(), frames, sound->Channels(),
                                      sound->Rate(), &why))
    throw quen::EQuenError(out + ": " + why);
  return 0;
}

int RunMedia(const Args& all) {
  if (all.empty()) throw UsageError{"media info|render|frames|video|wave|dump|encode"};
  const std::string sub = all[0];
  Args args(all.begin() + 1, all.end());
  try {
    if (sub == "info") return Info(args);
    if (sub == "render") return Render(args);
    if (sub == "frames") return Frames(args);
    if (sub == "video") return Video(args);
    if (sub == "wave") return Wave(args);
    if (sub == "dump") return Dump(args);
    if (sub == "encode") return Encode(args);
  } catch (const quen::EQuenError& e) {
    std::string utf8;
    if (!quen::platform::TryCp932ToUtf8(e.Message(), utf8)) utf8 = e.Message();
    std::fprintf(stderr, "quentool media %s: %s\n", sub.c_str(), utf8.c_str());
    return 1;
  }
  throw UsageError{"unknown media verb " + sub};
}

}  // namespace

QUENTOOL_VERB("media",
              "media info FILE [--game DIR] [--video]\n"
              "  media render FILE... -o OUT.wav|--device [--game DIR] [--ms N] [--from MS]\n"
              "               [--volume V] [--pan P] [--repeat] [--repeat-pos MS]\n"
              "               [--wavout [--delay MS]]\n"
              "  media frames FILE -o DIR --at MS,... [--game DIR]\n"
              "  media video PNG... -o OUT.avi --fps N [--sound WAV]\n"
              "  media wave SRC.txt -o OUT.wav | media dump FILE.wav [-o OUT.txt]\n"
              "  media encode IN -o OUT.ogg|.wma|.flac|.wav [--codec NAME]",
              RunMedia);
