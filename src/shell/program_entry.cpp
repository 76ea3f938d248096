#include "shell/program_entry.h"

#include <cstdio>
#include <cstdlib>

#include "base/sjis.h"
#include "expr/sysfunc_register.h"
#include "files/file_manager.h"
#include "files/host_path.h"
#include "media/media_system.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/host_fs.h"
#include "platform/http_client.h"
#include "platform/instance_lock.h"
#include "platform/outline_font.h"
#include "platform/trace.h"
#include "runtime/game_settings.h"
#include "runtime/project.h"
#include "shell/form_config.h"
#include "shell/form_view.h"
#include "shell/input_script.h"
#include "shell/messages.h"

namespace quen {

namespace {

bool IsConfig(const TProgramOptions& o) {
  return !o.Params.empty() && sjis::EqualsNoCase(o.Params[0], "/config");
}

// Reads the input script (docs/headless-input.md); false with a message when it cannot.
bool LoadInput(const std::string& path, TInputScript& script, std::string& error) {
  auto f = platform::HostFile::Open(path, platform::OpenMode::kRead);
  if (!f || f->Size() > (1 << 20)) {
    error = "cannot read the input file " + path;
    return false;
  }
  std::string text(static_cast<size_t>(f->Size()), '\0');
  if (f->ReadAt(text.data(), f->Size(), 0) != f->Size()) {
    error = "cannot read the input file " + path;
    return false;
  }
  std::string why;
  if (!ParseInputScript(text, script, why)) {
    error = path + ":" + why;
    return false;
  }
  return true;
}

}  // namespace

bool ParseDisplayModes(const std::string& list, std::vector<platform::DisplayMode>& out) {
  out.clear();
  size_t pos = 0;
  while (pos <= list.size()) {
    size_t comma = list.find(',', pos);
    const std::string item =
        list.substr(pos, comma == std::string::npos ? std::string::npos : comma - pos);
    pos = comma == std::string::npos ? list.size() + 1 : comma + 1;
    // W x H x BITS, optionally @ HZ: every number plain decimal, at most five digits.
    size_t i = 0;
    auto number = [&](int32_t& v) {
      const size_t b = i;
      v = 0;
      while (i < item.size() && i - b < 5 && item[i] >= '0' && item[i] <= '9')
        v = v * 10 + (item[i++] - '0');
      return i > b;
    };
    auto sep = [&](char c) { return i < item.size() && item[i] == c && ++i; };
    int32_t v[4] = {0, 0, 0, 0};
    if (!number(v[0]) || !sep('x') || !number(v[1]) || !sep('x') || !number(v[2])) return false;
    if (sep('@') && !number(v[3])) return false;
    if (i != item.size() || v[0] < 1 || v[1] < 1 || v[0] > 16384 || v[1] > 16384) return false;
    if (v[2] != 8 && v[2] != 15 && v[2] != 16 && v[2] != 24 && v[2] != 32) return false;
    out.push_back({v[0], v[1], v[2], v[3]});
  }
  return !out.empty();
}

std::string UsageText() {
  return "usage: quenplay [--headless] [--trace FILE] [--input FILE] [--frames N]\n"
         "                [--frame-ms N] [--dump-vars FILE] [--dump-tree FILE] [--seed N]\n"
         "                [--depth 15|16|32]\n"
         "                [--dump-frames DIR [--dump-every K]] [--display-modes LIST]\n"
         "                [--date YYYY-MM-DD[THH:MM[:SS]]] [--soundfont FILE] [--dump-midi FILE]\n"
         "                [--dump-sound FILE.wav]\n"
         "                [GAMEDIR [FOLDER|ARCHIVE]... | /config]\n"
         "  --headless        no window: a virtual clock, dialogs answered from --input\n"
         "  --input FILE      headless answers and timed input (docs/headless-input.md)\n"
         "  --frames N        close after N frames (headless default: until the script ends)\n"
         "  --frame-ms N      game time per headless frame (default 16)\n"
         "  --trace FILE      start-up steps and every command run\n"
         "  --dump-vars FILE  every variable at exit: name, type, value (UTF-8)\n"
         "  --dump-tree FILE  the component tree at exit, as the registry dumps it\n"
         "  --seed N          seed of the scripts' random numbers (headless default 0)\n"
         "  --depth 15|16|32  working colour depth (default: the desktop's; headless 32)\n"
         "  --dump-frames DIR every shown frame as DIR/frame-NNNNNN.png\n"
         "  --dump-every K    only every K-th frame (0: only \"@MS dump\" lines of --input)\n"
         "  --display-modes L headless monitor modes, WxHxBITS[@HZ] separated by commas\n"
         "  --date D          headless local date and time at start (default "
         "2000-01-01T09:00:00)\n"
         "  --soundfont FILE  General MIDI sound font for MIDI music (default: the system's)\n"
         "  --dump-midi FILE  every MIDI message sent, one \"MS HEX\" line each\n"
         "  --dump-sound FILE the sound of a headless run as a wave file (44.1 kHz stereo)\n";
}

bool ParseCommandLine(const std::vector<std::string>& args, TProgramOptions& out,
                      std::string& error) {
  out = TProgramOptions{};
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::string& target) {
      if (i + 1 >= args.size()) {
        error = a + " needs a value";
        return false;
      }
      target = args[++i];
      return true;
    };
    if (a == "--headless") {
      out.Headless = true;
    } else if (a == "--trace") {
      if (!value(out.TraceFile)) return false;
    } else if (a == "--input") {
      if (!value(out.InputFile)) return false;
    } else if (a == "--dump-frames") {
      if (!value(out.DumpFramesFolder)) return false;
    } else if (a == "--dump-sound") {
      if (!value(out.DumpSoundFile)) return false;
    } else if (a == "--dump-every") {
      std::string n;
      if (!value(n)) return false;
      char* end = nullptr;
      const long v = std::strtol(n.c_str(), &end, 10);
      if (n.empty() || *end != '\0' || v < 0 || v > 1000000) {
        error = "--dump-every needs a count (0: only on request)";
        return false;
      }
      out.DumpEvery = static_cast<int>(v);
    } else if (a == "--depth") {
      std::string n;
      if (!value(n)) return false;
      if (n != "15" && n != "16" && n != "32") {
        error = "--depth takes 15, 16 or 32";
        return false;
      }
      out.Depth = std::stoi(n);
    } else if (a == "--display-modes") {
      std::string list;
      if (!value(list)) return false;
      if (!ParseDisplayModes(list, out.DisplayModes)) {
        error = "--display-modes takes WxHxBITS[@HZ],... (for example 800x600x32@60)";
        return false;
      }
    } else if (a == "--date") {
      if (!value(out.Date)) return false;
      platform::LocalDateTime t;
      if (!platform::ParseLocalDateTime(out.Date, t)) {
        error = "--date takes YYYY-MM-DD, YYYY-MM-DDTHH:MM or YYYY-MM-DDTHH:MM:SS";
        return false;
      }
    } else if (a == "--seed") {
      std::string n;
      if (!value(n)) return false;
      char* end = nullptr;
      const unsigned long long v = std::strtoull(n.c_str(), &end, 10);
      if (n.empty() || *end != '\0' || n[0] == '-') {
        error = "--seed needs a number";
        return false;
      }
      out.Seed = v;
    } else if (a == "--dump-vars") {
      if (!value(out.DumpVarsFile)) return false;
    } else if (a == "--dump-tree") {
      if (!value(out.DumpTreeFile)) return false;
    } else if (a == "--soundfont") {
      if (!value(out.SoundFont)) return false;
    } else if (a == "--dump-midi") {
      if (!value(out.DumpMidiFile)) return false;
    } else if (a == "--frames" || a == "--frame-ms") {
      std::string n;
      if (!value(n)) return false;
      char* end = nullptr;
      long v = std::strtol(n.c_str(), &end, 10);
      const long low = a == "--frames" ? 0 : 1;
      // A frame longer than the counted gap would never run (see TFormView::Tick).
      const long high = a == "--frames" ? 100000000 : 300;
      if (n.empty() || *end != '\0' || v < low || v > high) {
        error = a + " needs a number from " + std::to_string(low) + " to " + std::to_string(high);
        return false;
      }
      (a == "--frames" ? out.Frames : out.FrameMs) = static_cast<int>(v);
    } else if (a.size() > 1 && a[0] == '-' && a[1] == '-') {
      error = "unknown option " + a;
      return false;
    } else {
      out.Params.push_back(a);
    }
  }
  if (!out.InputFile.empty() && !out.Headless) {
    error = "--input is for headless runs";
    return false;
  }
  if (!out.DumpSoundFile.empty() && !out.Headless) {
    error = "--dump-sound is for headless runs (a window plays to the sound device)";
    return false;
  }
  if (!out.Date.empty() && !out.Headless) {
    error = "--date is for headless runs (a window shows the real date)";
    return false;
  }
  if (!out.DisplayModes.empty() && !out.Headless) {
    error = "--display-modes is for headless runs (a window uses the monitor's)";
    return false;
  }
  return true;
}

std::string GameFolderKey(const std::string& folder) {
  std::string key = sjis::UpperAscii(folder);
  if (key.empty() || key.back() != '/') key += '/';
  for (char& c : key)
    if (c == '/' || c == '\\') c = '-';
  return key;
}

std::string TRealProgramSystem::ExecutablePath() {
  return platform::ExecutablePath();
}

std::string TRealProgramSystem::FileSystemTypeOf(const std::string& path) {
  return platform::FileSystemTypeOf(path);
}

std::unique_ptr<platform::IGameWindow> TRealProgramSystem::CreateWindow(std::string& error) {
  return platform::CreateSdlWindow(error);
}

bool TRealProgramSystem::SetUpNativeDialogs() {
  auto d = platform::CreateGtkDialogs();
  if (!d) return false;
  platform::SetDialogs(std::move(d));
  return true;
}

int RunProgram(const TProgramOptions& options, IProgramSystem& system) {
  const std::string exe = system.ExecutablePath();
  // Run from an installation disc the player would hold the drive; it refuses quietly.
  const std::string fs = system.FileSystemTypeOf(exe);
  if (fs == "iso9660" || fs == "udf") return kExitNormal;

  size_t slash = exe.rfind('/');
  const std::string exe_folder = slash == std::string::npos ? "./" : exe.substr(0, slash + 1);

  std::string folder = options.Params.empty() ? exe_folder : options.Params[0];
  if (!IsConfig(options)) {
    std::string canonical = platform::CanonicalPath(folder);
    if (!canonical.empty()) folder = canonical;
  }
  std::string lock_error;
  auto lock = platform::InstanceLock::Acquire(GameFolderKey(folder), lock_error);
  if (!lock) {
    std::fprintf(stderr, "quenplay: %s\n", lock_error.c_str());
    return kExitStartupEnded;
  }

  if (!options.TraceFile.empty() && !platform::SetTraceFile(options.TraceFile)) {
    std::fprintf(stderr, "quenplay: cannot write the trace file %s\n", options.TraceFile.c_str());
    return kExitUsage;
  }

  TInputScript script;
  if (options.Headless) {
    auto d = std::make_unique<platform::HeadlessDialogs>();
    std::string error;
    if (!options.InputFile.empty() && !LoadInput(options.InputFile, script, error)) {
      std::fprintf(stderr, "quenplay: %s\n", error.c_str());
      return kExitUsage;
    }
    for (const std::string& answer : script.Answers) d->QueueAnswer(answer);
    platform::SetDialogs(std::move(d));
  } else if (!system.SetUpNativeDialogs()) {
    std::fprintf(stderr, "quenplay: no display for the window (use --headless)\n");
    return kExitStartupEnded;
  } else {
    // A desktop player may use the user's fonts; headless runs keep the pinned ones so that
    // their frames are the same on every machine.
    platform::UseSystemFonts();
  }

  // The media library is bound by name at program initialisation; it is built in, so only a
  // build of the wrong version could fail here.
  if (std::string caption, text; !TMediaSystem::BindLibrary(caption, text)) {
    platform::Dialogs().MessageBox(caption, text, platform::MsgIcon::kWarning,
                                   platform::MsgButtons::kOk);
    return kExitStartupEnded;
  }

  if (IsConfig(options)) {
    // "/config GAMEDIR" edits the file the player of that game reads.
    const TSettingsPlace place =
        GameSettingsPlace(options.Params.size() > 1 ? options.Params[1] : exe_folder);
    TFormConfig config(place.Write, place.Read);
    platform::Dialogs().RunConfigDialog(config, TFormConfig::Texts());
    if (config.IsOpen()) config.Cancel();
    if (config.WriteFailed()) {
      std::fprintf(stderr, "quenplay: cannot write %s\n", config.Path().c_str());
      return kExitStartupEnded;
    }
    return kExitNormal;
  }

  std::unique_ptr<platform::IGameWindow> window;
  if (options.Headless) {
    auto headless = std::make_unique<platform::HeadlessWindow>();
    headless->Fake().modes = options.DisplayModes;
    window = std::move(headless);
  } else {
    std::string error;
    window = system.CreateWindow(error);
    if (!window) {
      // Start-up shows why it cannot go on and ends.
      std::fprintf(stderr, "quenplay: %s\n", error.c_str());
      platform::Dialogs().MessageBox(msg::kWindowDefaultCaption, msg::kDisplayInitFailed,
                                     platform::MsgIcon::kWarning, platform::MsgButtons::kOk);
      return kExitStartupEnded;
    }
  }

  // Headless runs keep time on the virtual clock, so they repeat exactly.
  if (options.Headless) {
    platform::LocalDateTime start;
    if (!platform::ParseLocalDateTime(
            options.Date.empty() ? platform::VirtualClock::kDefaultStart : options.Date, start))
      return kExitUsage;
    platform::SetClock(std::make_unique<platform::VirtualClock>(start));
  }
  if (options.Seed || options.Headless) SetRandomSeed(options.Seed.value_or(0));

  platform::InitHttp();
  TStartupContext context{options.Params, exe_folder, exe};
  int status = kExitNormal;
  {
    TFormView view(*window, context);
    view.Player().SetDumpVarsFile(options.DumpVarsFile);
    view.Player().SetDumpTreeFile(options.DumpTreeFile);
    view.Player().SetMidiOptions(options.SoundFont, options.DumpMidiFile);
    view.Player().SetForcedDepth(options.Depth);
    if (!options.DumpFramesFolder.empty()) {
      platform::MakeDirectory(options.DumpFramesFolder);
      view.SetFrameDump(options.DumpFramesFolder, options.DumpEvery);
    }
    view.SetInputScript(std::move(script.Actions));
    view.Create();
    if (view.StartupFailed()) {
      view.Close();
      status = kExitStartupEnded;
    } else {
      view.Run(options.Frames, options.FrameMs);
    }
    if (!options.DumpSoundFile.empty() && !view.Player().WriteSound(options.DumpSoundFile)) {
      std::fprintf(stderr, "quenplay: cannot write %s\n", options.DumpSoundFile.c_str());
      if (status == kExitNormal) status = kExitStartupEnded;
    }
  }
  platform::CloseTrace();
  platform::SetClock(nullptr);
  return status;
}

}  // namespace quen
