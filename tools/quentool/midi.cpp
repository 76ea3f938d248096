// midi dump / asm / events / play: MIDI files as text, their event times, and what the
// sequencer sends to the port when it plays them headless.
#include <cstdio>

#include "authoring/midi_text.h"
#include "base/error.h"
#include "media/midi_play_v.h"
#include "platform/midi_synth.h"
#include "quentool/verb.h"

namespace quentool {
namespace {

// Standard output for an empty path.
void WriteOut(const std::string& path, const std::string& bytes) {
  if (path.empty()) {
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
  } else {
    WriteOutputFile(path, bytes);
  }
}

int32_t IntOption(Args& args, const std::string& name, int32_t fallback, int32_t lo, int32_t hi) {
  std::string value;
  if (!TakeOption(args, name, value)) return fallback;
  try {
    size_t used = 0;
    const long long v = std::stoll(value, &used, 10);
    if (used != value.size() || v < lo || v > hi) throw std::out_of_range(value);
    return static_cast<int32_t>(v);
  } catch (const std::exception&) {
    throw UsageError{name + " needs a number from " + std::to_string(lo) + " to " +
                     std::to_string(hi)};
  }
}

std::string OneFile(const Args& args) {
  for (const auto& a : args)
    if (a.size() > 1 && a[0] == '-') throw UsageError{"unknown option " + a};
  if (args.size() != 1) throw UsageError{"one file is expected"};
  return args[0];
}

std::string Hex(std::string_view bytes) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (char c : bytes) {
    out += kHex[static_cast<uint8_t>(c) >> 4];
    out += kHex[static_cast<uint8_t>(c) & 15];
  }
  return out;
}

int Dump(Args args) {
  std::string out;
  TakeOption(args, "-o", out);
  WriteOut(out, quen::DumpMidiText(ReadInputFile(OneFile(args))));
  return 0;
}

int Asm(Args args) {
  std::string out;
  if (!TakeOption(args, "-o", out)) throw UsageError{"-o F.mid is required"};
  const std::string src = OneFile(args);
  std::string bytes;
  try {
    bytes = quen::AssembleMidiText(ReadInputFile(src));
  } catch (const quen::EQuenError& e) {
    throw quen::EQuenError(src + ":" + e.Message());
  }
  WriteOut(out, bytes);
  return 0;
}

int Events(Args args) {
  quen::TMidiV midi;
  midi.LoadFromBytes(ReadInputFile(OneFile(args)));
  std::string out;
  for (const auto& e : midi.Events()) {
    out += std::to_string(e.tick) + " " + std::to_string(e.time) + " " + Hex(midi.Bytes(e)) + "\n";
  }
  out += "length " + std::to_string(midi.Length()) + "\n";
  WriteOut("", out);
  return 0;
}

int Play(Args args) {
  const int32_t from = IntOption(args, "--from", 0, 0, INT32_MAX);
  const int32_t ms = IntOption(args, "--ms", -1, 0, INT32_MAX);
  const int32_t volume = IntOption(args, "--volume", 0, INT32_MIN, INT32_MAX);
  const bool repeat = TakeFlag(args, "--repeat");
  if (repeat && ms < 0) throw UsageError{"--repeat plays for ever: give --ms N"};
  const std::string bytes = ReadInputFile(OneFile(args));

  std::string out;
  quen::platform::MidiSynthOptions options;
  options.render = false;
  options.log_line = [&out](const std::string& line) { out += line + "\n"; };
  quen::platform::MidiSynth port(options);
  quen::TMidiPlayV seq(port, quen::TMidiPlayV::TMode::kStepped);
  seq.LoadFromBytes(bytes);
  // As a MIDI item plays: port, System On, the position, then the volume again.
  seq.OpenPort(-1);
  seq.SendSystemOn();
  seq.SetRepeat(repeat);
  seq.PlayFrom(from);
  seq.SetControllerScale(7, volume / 100 + 100);
  for (;;) {
    const int64_t next = seq.Timer().NextTickMs();
    if (ms >= 0 ? next > ms : seq.IsEnd()) break;
    seq.Step(next);
  }
  if (ms >= 0) seq.Step(ms);
  seq.Stop();
  seq.ClosePort();
  WriteOut("", out);
  return 0;
}

int Midi(const Args& all) {
  if (all.empty()) throw UsageError{"dump, asm, events or play"};
  Args args(all.begin() + 1, all.end());
  if (all[0] == "dump") return Dump(args);
  if (all[0] == "asm") return Asm(args);
  if (all[0] == "events") return Events(args);
  if (all[0] == "play") return Play(args);
  throw UsageError{"unknown midi verb " + all[0]};
}

}  // namespace

QUENTOOL_VERB("midi",
              "midi dump FILE [-o OUT] | midi asm SRC -o F.mid | midi events FILE | "
              "midi play FILE [--from MS] [--ms N] [--volume V] [--repeat]",
              Midi);

}  // namespace quentool
