#include "platform/midi_synth.h"

#include <fluidsynth.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/host_fs.h"

namespace quen::platform {

struct MidiSynth::Fluid {
  fluid_settings_t* settings = nullptr;
  fluid_synth_t* synth = nullptr;
  ~Fluid() {
    if (synth) delete_fluid_synth(synth);
    if (settings) delete_fluid_settings(settings);
  }
};

namespace {

constexpr const char* kFontFolder = "/usr/share/sounds/sf2/";
constexpr const char* kFontNames[] = {"default-GM.sf2", "FluidR3_GM.sf2", "TimGM6mb.sf2"};

// The library's own chatter would land on standard error; we say what matters ourselves.
void QuietLibraryLog() {
  static std::once_flag once;
  std::call_once(once, [] {
    for (int level = FLUID_PANIC; level < LAST_LOG_LEVEL; ++level)
      fluid_set_log_function(level, nullptr, nullptr);
  });
}

}  // namespace

std::string MidiSynth::FindSoundFont(const std::string& given) {
  if (!given.empty()) return given;
  for (const char* name : kFontNames) {
    std::string path = std::string(kFontFolder) + name;
    if (IsRegularFile(path)) return path;
  }
  return {};
}

MidiSynth::MidiSynth(MidiSynthOptions options) : options_(std::move(options)) {
  if (!options_.dump_file.empty()) {
    log_file_ = HostFile::Open(options_.dump_file, OpenMode::kCreate);
    if (!log_file_) {
      log_ok_ = false;
      std::fprintf(stderr, "quenplay: cannot write the MIDI log %s\n", options_.dump_file.c_str());
    }
  }
}

MidiSynth::~MidiSynth() = default;

std::vector<MidiOutCaps> MidiSynth::Devices() {
  MidiOutCaps caps;
  int major = 0, minor = 0, micro = 0;
  fluid_version(&major, &minor, &micro);
  caps.name = "FluidSynth";
  caps.driver_major = static_cast<uint8_t>(major);
  caps.driver_minor = static_cast<uint8_t>(minor);
  caps.technology = 7;  // a software synthesiser
  caps.voices = 256;
  caps.notes = 256;
  caps.channel_mask = 0xFFFF;
  caps.support = 0x0001 | 0x0002;  // volume, left and right volume
  return {caps};
}

// Loading a font takes a while: it happens outside the lock, so the mixer keeps rendering.
void MidiSynth::LoadSynth() {
  if (!options_.render) return;
  const std::string path = FindSoundFont(options_.sound_font);
  if (path.empty()) {
    std::fprintf(stderr,
                 "quenplay: no General MIDI sound font (give --soundfont FILE or install one in "
                 "%s): MIDI music stays silent\n",
                 kFontFolder);
    return;
  }
  QuietLibraryLog();
  auto f = std::make_unique<Fluid>();
  f->settings = new_fluid_settings();
  if (!f->settings) return;
  fluid_settings_setnum(f->settings, "synth.sample-rate", kSampleRate);
  fluid_settings_setint(f->settings, "synth.cpu-cores", 1);
  fluid_settings_setint(f->settings, "synth.threadsafe-api", 0);
  // The library's default gain is for many voices at once; music sounds faint beside the
  // game's waves with it.
  fluid_settings_setnum(f->settings, "synth.gain", 0.5);
  f->synth = new_fluid_synth(f->settings);
  if (!f->synth || fluid_synth_sfload(f->synth, path.c_str(), 1) == FLUID_FAILED) {
    std::fprintf(stderr, "quenplay: cannot load the sound font %s: MIDI music stays silent\n",
                 path.c_str());
    return;
  }
  std::lock_guard<std::mutex> hold(lock_);
  font_path_ = path;
  fluid_ = std::move(f);
}

bool MidiSynth::Open(int32_t device, Notify notify) {
  if (device < -1 || device > 0) return false;
  if (!tried_font_) {
    tried_font_ = true;
    LoadSynth();
  }
  {
    std::lock_guard<std::mutex> hold(lock_);
    open_ = true;
    notify_ = notify;
  }
  if (notify) notify(MidiNotification::kOpen, 0);
  return true;
}

void MidiSynth::Close() {
  Notify notify;
  {
    std::lock_guard<std::mutex> hold(lock_);
    if (!open_) return;
    open_ = false;
    notify = std::move(notify_);
    notify_ = nullptr;
  }
  if (notify) notify(MidiNotification::kClose, 0);
}

void MidiSynth::Log(int64_t at_ms, const uint8_t* bytes, size_t size) {
  if (!log_file_ && !options_.log_line) return;
  static const char kHex[] = "0123456789ABCDEF";
  std::string line = std::to_string(at_ms);
  line += ' ';
  for (size_t i = 0; i < size; ++i) {
    line += kHex[bytes[i] >> 4];
    line += kHex[bytes[i] & 15];
  }
  if (options_.log_line) options_.log_line(line);
  if (log_file_ && log_ok_) {
    line += '\n';
    const auto n = static_cast<int64_t>(line.size());
    if (log_file_->WriteAt(line.data(), n, log_offset_) != n) {
      log_ok_ = false;
      std::fprintf(stderr, "quenplay: cannot write the MIDI log %s\n", options_.dump_file.c_str());
    }
    log_offset_ += n;
  }
}

void MidiSynth::ShortMessage(uint32_t packed, int64_t at_ms) {
  const uint8_t status = packed & 0xFF;
  const uint8_t d1 = (packed >> 8) & 0x7F;
  const uint8_t d2 = (packed >> 16) & 0x7F;
  const int kind = status >> 4;
  const uint8_t bytes[3] = {status, d1, d2};
  std::lock_guard<std::mutex> hold(lock_);
  if (!open_ || status < 0x80 || status >= 0xF0) return;
  Log(at_ms, bytes, kind == 0xC || kind == 0xD ? 2 : 3);
  if (!fluid_) return;
  fluid_synth_t* s = fluid_->synth;
  const int ch = status & 15;
  switch (kind) {
    case 0x8:
      fluid_synth_noteoff(s, ch, d1);
      break;
    case 0x9:
      fluid_synth_noteon(s, ch, d1, d2);
      break;
    case 0xA:
      fluid_synth_key_pressure(s, ch, d1, d2);
      break;
    case 0xB:
      fluid_synth_cc(s, ch, d1, d2);
      break;
    case 0xC:
      fluid_synth_program_change(s, ch, d1);
      break;
    case 0xD:
      fluid_synth_channel_pressure(s, ch, d1);
      break;
    case 0xE:
      fluid_synth_pitch_bend(s, ch, d1 | (d2 << 7));
      break;
    default:
      break;
  }
}

void MidiSynth::LongMessage(uint64_t buffer, const uint8_t* bytes, size_t size, int64_t at_ms) {
  Notify notify;
  {
    std::lock_guard<std::mutex> hold(lock_);
    if (!open_) return;
    Log(at_ms, bytes, size);
    // The synthesiser takes what lies between F0 and the closing F7; an escaped F7 packet is
    // raw bytes for a wire, nothing a synthesiser acts on.
    if (fluid_ && size >= 2 && bytes[0] == 0xF0) {
      size_t n = size - 1;
      if (bytes[size - 1] == 0xF7) --n;
      fluid_synth_sysex(fluid_->synth, reinterpret_cast<const char*>(bytes + 1),
                        static_cast<int>(n), nullptr, nullptr, nullptr, 0);
    }
    notify = notify_;
  }
  if (notify) notify(MidiNotification::kDone, buffer);
}

void MidiSynth::Reset(int64_t) {
  std::lock_guard<std::mutex> hold(lock_);
  if (!open_ || !fluid_) return;
  for (int ch = 0; ch < 16; ++ch) {
    fluid_synth_cc(fluid_->synth, ch, 64, 0);
    fluid_synth_all_notes_off(fluid_->synth, ch);
  }
}

void MidiSynth::Render(int16_t* out, size_t frames) {
  std::unique_lock<std::mutex> hold(lock_);
  if (!fluid_) {
    hold.unlock();
    std::memset(out, 0, frames * 2 * sizeof(int16_t));
    return;
  }
  // Rendering goes on while the port is closed, so released notes fade out instead of clicking.
  size_t done = 0;
  while (done < frames) {
    const int n = static_cast<int>(std::min<size_t>(frames - done, 1 << 14));
    fluid_synth_write_s16(fluid_->synth, n, out + done * 2, 0, 2, out + done * 2, 1, 2);
    done += static_cast<size_t>(n);
  }
}

}  // namespace quen::platform
