#include "shell/player.h"

#include <cstdio>
#include <string_view>

#include "base/error.h"
#include "components/install_transitions.h"
#include "components/quen_http.h"
#include "expr/db_manager.h"
#include "expr/param_collection.h"
#include "expr/sys_func_man.h"
#include "files/file_manager.h"
#include "files/host_path.h"
#include "files/pe_resource.h"
#include "imaging/color_tables.h"
#include "platform/audio_device.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/host_fs.h"
#include "platform/text_encoding.h"
#include "platform/trace.h"
#include "runtime/call_man.h"
#include "runtime/interp_host.h"
#include "runtime/interp_messages.h"
#include "runtime/messages.h"
#include "runtime/sysfunc_register.h"
#include "runtime/text_pages.h"
#include "shell/messages.h"
#include "text/message_history.h"
#include "text/quen_history.h"
#include "text/text_source.h"

namespace quen {

namespace {

// Sounds and videos find their files through the project (a disc may be asked for) and play
// through the player's media layer.
class TPlayerMediaHost : public IMediaHost {
 public:
  explicit TPlayerMediaHost(TPlayer& player) : player_(player) {}
  bool EnsureFileAvailable(const std::string& name) override {
    TProject* project = player_.Project();
    return project && !name.empty() && project->EnsureFileAvailable(name);
  }
  TMediaSystem* Media() override { return player_.Media(); }

 private:
  TPlayer& player_;
};

constexpr char kLogFileName[] = "quenplay.log";

// The last two bytes of a file, or "" when it is shorter or unreadable.
std::string LastTwoBytes(platform::HostFile& f, int64_t offset, int64_t size) {
  if (size < 2) return {};
  char b[2];
  if (f.ReadAt(b, 2, offset + size - 2) != 2) return {};
  return std::string(b, 2);
}

bool EndsWithQn(const std::string& path) {
  auto f = platform::HostFile::Open(path, platform::OpenMode::kRead);
  return f && LastTwoBytes(*f, 0, f->Size()) == "qn";
}

bool HasArchiveResource(const std::string& path) {
  auto f = platform::HostFile::Open(path, platform::OpenMode::kRead);
  if (!f) return false;
  TPeResourceLocation loc;
  if (!FindPeResource(*f, "DUMMY", "BINTYPE", loc)) return false;
  return LastTwoBytes(*f, loc.offset, loc.size) == "vf";
}

// The folder a parameter stands for: an existing file's own folder, otherwise the parameter
// itself taken as a folder (a missing one then simply holds nothing).
std::string FolderOf(const std::string& path) {
  if (!platform::IsRegularFile(path)) return WithSlash(path);
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

// The shut-down steps of the component tree and of the media, in order.
const char* const kQuenFinalSteps[] = {
    "TextRead", "TextHistoryFormats", "Bases", "SelRectDIB", "TransBGDIB", "BrixMan", "ClipMan"};
const char* const kMediaFinalSteps[] = {"ScreenMan", "VideoMan", "WaveMan", "WmpMan",
                                        "OggMan",    "CddaMan",  "MidiMan", "quenFinal"};

}  // namespace

TPlayer::TPlayer(platform::IGameWindow& window, TStartupContext context)
    : window_(window), context_(std::move(context)) {
  context_.ExeFolder = WithSlash(context_.ExeFolder);
}

TPlayer::~TPlayer() {
  Free();
}

void TPlayer::Create() {
  // A game folder given on the command line stands where the executable's folder stands for a
  // player installed inside its game.
  const std::string game_folder =
      context_.Params.empty() ? context_.ExeFolder : FolderOf(context_.Params[0]);
  platform::RemoveFile(game_folder + kLogFileName);
  settings_ = TGameSettings::Load(GameSettingsPlace(game_folder).Read);

  FileManager().AddOverlay();
  if (shell_) shell_->ShowToolBar();
  // Damaged game data ends the start-up like a damaged project does.
  bool data_read = true;
  try {
    RegisterGameData();
  } catch (const EQuenError& e) {
    platform::Dialogs().MessageBox(msg::kCaptionWarning, e.Message(), platform::MsgIcon::kWarning,
                                   platform::MsgButtons::kOk);
    SetTerminateFlag(true);
    data_read = false;
  }

  platform::Trace("TBasePanel.Create");
  panel_ = std::make_unique<TBasePanel>();
  SetOldPageHandler([this](const std::string& name) { ShowOldPage(name); });

  vars_ = std::make_unique<TParamCollection>();
  sys_funcs_ = std::make_unique<TSysFuncMan>();
  RegisterSystemVariables(*vars_, *this);
  database_ = std::make_unique<TDBManager>();
  // The file functions load and forget pictures through the cache once it exists.
  TFileFuncHooks file_hooks;
  file_hooks.LoadPicture = [this](const std::string& name, TDIBSurface& picture) {
    return pictures_ && pictures_->LoadPicture(name, picture);
  };
  file_hooks.ForgetPicture = [this](const std::string& name) {
    if (pictures_) pictures_->Forget(name);
  };
  RegisterAllSystemFunctions(*sys_funcs_, *this, *database_, std::move(file_hooks));

  if (!data_read) return;
  try {
    StartProject();
  } catch (const EQuenError& e) {
    platform::Dialogs().MessageBox(msg::kCaptionWarning, e.Message(), platform::MsgIcon::kWarning,
                                   platform::MsgButtons::kOk);
    SetTerminateFlag(true);
  } catch (const std::exception& e) {
    platform::Dialogs().MessageBox(msg::kCaptionWarning, e.what(), platform::MsgIcon::kWarning,
                                   platform::MsgButtons::kOk);
    SetTerminateFlag(true);
  }
}

void TPlayer::RegisterGameData() {
  TVrFileManager& fm = FileManager();
  if (context_.Params.empty()) {
    fm.SetGameFolder(context_.ExeFolder);
    if (!context_.ExePath.empty()) {
      if (HasArchiveResource(context_.ExePath))
        fm.AddResourceArchive(context_.ExePath, "DUMMY", "BINTYPE");
      if (EndsWithQn(context_.ExePath)) fm.AddTrailerArchive(context_.ExePath);
    }
    return;
  }
  // A first parameter naming a file (an archive) puts the game data beside it.
  fm.SetGameFolder(FolderOf(context_.Params[0]));
  for (const auto& p : context_.Params) {
    std::string dat = ResolveGamePath(FolderOf(p), "game.dat");
    if (!dat.empty()) fm.AddArchive(dat);
    if (platform::IsRegularFile(p) && EndsWithQn(p)) fm.AddTrailerArchive(p);
  }
}

void TPlayer::StartProject() {
  // The media layer, and the sound device when DirectSound is on; a device that does not open
  // leaves the silent sink in its place. Headless, the sound goes to a capture instead.
  platform::Trace("DXSound.Initialize");
  TMediaOptions media;
  media.Headless = platform::Clock().IsVirtual();
  media.DirectSound = settings_.DirectSound;
  media.DelayTime = settings_.DelayTime;
  media.UseWmp = settings_.UseWMP;
  media.Midi = midi_options_;
  media_ = std::make_unique<TMediaSystem>(media);
  if (settings_.DirectSound) media_->InitializeSound();

  platform::Trace("QuenInitialize");
  cursor_host_ = std::make_unique<TWindowCursorHost>(window_);
  panel_->Registry().SetCursorHost(cursor_host_.get());
  text_entry_ = std::make_unique<TWindowTextEntry>(window_);
  panel_->Registry().SetTextEntryHost(text_entry_.get());
  media_host_ = std::make_unique<TPlayerMediaHost>(*this);
  panel_->Registry().SetMediaHost(media_host_.get());
  // Headless, a request's completion comes in the frame after it was asked for, every run.
  TQuenHttp::SetWaitForCompletion(platform::Clock().IsVirtual());
  pictures_ = std::make_unique<TBrixCollection>();
  // The pages of text already read, asked by message boxes and cleared by ClrRead.
  read_list_ = std::make_unique<TQuenReadList>();
  SetReadList(read_list_.get());
  // The message history, with its default format; every message box tells it its pages.
  history_formats_ = std::make_unique<TQuenHistoryFormatManager>();
  history_formats_->SetExpressionContext(vars_.get(), sys_funcs_.get());
  SetHistoryFormats(history_formats_.get());
  SetMessageHistory(history_formats_.get());
  panel_->Registry().SetScriptContext(vars_.get(), sys_funcs_.get());
  // Transitions of Flip (and their mask pictures, read with the project's key).
  InstallTransitions(panel_->Registry(), [this] { return project_ ? project_->IdCode : 0; });

  platform::Trace("TFontPixelManager.Create");
  glyphs_ = std::make_unique<TFontPixelManager>();

  platform::Trace("TProject.Create");
  project_ = std::make_unique<TProject>(context_, static_cast<IProjectHost*>(this), vars_.get());
  project_->Create();
  pictures_->SetImageKey(project_->IdCode);
  if (TerminateFlag()) return;

  platform::Trace("MediaInit");
  const int32_t w = project_->ScreenWidth, h = project_->ScreenHeight;
  // The screen modes exist only for a game with a screen; the registry composes on their frame
  // surface from now on.
  if (w > 0 && h > 0) {
    screen_ = std::make_unique<TScreenManager>(window_.Display(), window_, w, h,
                                               project_->FullScreenWidth,
                                               project_->FullScreenHeight, forced_depth_);
    panel_->Registry().SetScreen(&screen_->Frame());
    pictures_->SetScreenManager(screen_.get());
  }
  media_->MediaInit(&window_, screen_ != nullptr, [] { return TerminateFlag(); });
  // @SoundON switches every sound manager.
  panel_->Registry().SetSoundOnHandler([this](bool on) {
    if (media_) media_->SetSoundOn(on);
  });
  platform::Trace("QuenInitColor");
  QuenInitColor(screen_ ? screen_->WorkingDepth() : 32);

  if (w > 0 && h > 0) panel_->Registry().SetSize(w, h);
  if (shell_) shell_->FitToScreen(w, h);
}

void TPlayer::Free() {
  if (freed_) return;
  freed_ = true;
  SetTerminateFlag(true);
  platform::Trace("Project.Free");
  // The message boxes read no more texts from the pages that go with the project.
  if (text_source_ && TextSource() == text_source_.get()) SetTextSource(nullptr);
  if (project_) project_->Destroy();
  project_.reset();
  call_man_ = nullptr;
  platform::Trace("SysFuncMan.Free");
  // The components' expressions have nothing left to run against.
  if (panel_) panel_->Registry().SetScriptContext(nullptr, nullptr);
  if (history_formats_) history_formats_->SetExpressionContext(nullptr, nullptr);
  sys_funcs_.reset();
  database_.reset();
  DumpVariablesToFile();
  SetOldPageHandler(nullptr);
  platform::Trace("ParamMan.Free");
  vars_.reset();
  platform::Trace("QuenFinalize");
  for (const char* step : kQuenFinalSteps) {
    platform::Trace(step);
    if (std::string_view(step) == "TextRead") {
      SetReadList(nullptr);
      read_list_.reset();
    }
    if (std::string_view(step) == "TextHistoryFormats") {
      SetMessageHistory(nullptr);
      SetHistoryFormats(nullptr);
      history_formats_.reset();
    }
    if (std::string_view(step) == "Bases") {
      DumpTreeToFile();
      panel_.reset();
      cursor_host_.reset();
      text_entry_.reset();
    }
    // Every component has let its pictures go with the registry.
    if (std::string_view(step) == "BrixMan") pictures_.reset();
  }
  platform::Trace("MediaFinal");
  for (const char* step : kMediaFinalSteps) {
    platform::Trace(step);
    if (std::string_view(step) == "ScreenMan") screen_.reset();
    if (media_) media_->MediaFinal(step);
  }
  // Last: every caption and message box that drew glyphs is gone.
  glyphs_.reset();
}

std::unique_ptr<TCallManBase> TPlayer::CreateCallMan(TProject& project) {
  auto cm = NewProjectCallMan(project, *vars_, *sys_funcs_, panel_->Registry(),
                              [this] { window_.PostClose(); });
  if (platform::TraceFileOpen()) {
    cm->trace = [](const std::string& line) {
      std::string utf8;
      platform::TraceLine(platform::TryCp932ToUtf8(line, utf8) ? utf8 : line);
    };
  }
  cm->reset_game = [this] {
    if (database_) database_->Reset();
  };
  text_source_ = std::make_unique<TPageTextSource>(*cm);
  SetTextSource(text_source_.get());
  call_man_ = cm.get();
  return cm;
}

void TPlayer::TitleChanged(const std::string& title) {
  window_.SetCaption(title);
}

int32_t TPlayer::TickCount() {
  return shell_ ? static_cast<int32_t>(shell_->GameClock()) : 0;
}

void TPlayer::SetFullScreen(bool full) {
  if (shell_) shell_->SetFullScreen(full);
}

void TPlayer::SetDisplayModeIndex(int32_t index) {
  // Indices outside the list are refused; the choice is applied at once in full screen.
  if (screen_ && screen_->SetChosenModeIndex(index) && shell_) shell_->ApplyScreenMode();
}

bool TPlayer::DisplayMode(int32_t index, int32_t& width, int32_t& height, int32_t& bits,
                          int32_t& refresh) {
  platform::DisplayMode m;
  if (!screen_ || !screen_->GetMode(index, m)) return false;
  width = m.width;
  height = m.height;
  bits = m.bits;
  refresh = m.refresh;
  return true;
}

std::vector<std::string> TPlayer::MidiPorts() {
  return media_ ? media_->MidiPorts() : std::vector<std::string>();
}

std::string TPlayer::MidiPort() {
  return media_ ? media_->MidiPort() : std::string();
}

void TPlayer::SetMidiPort(const std::string& name) {
  if (media_) media_->SetMidiPort(name);
}

bool TPlayer::WriteSound(const std::string& host_path) const {
  // A run that ended before its media started heard nothing.
  if (!media_ || !media_->Capture())
    return platform::WriteFileAtomically(
        host_path, platform::EncodeWav16(nullptr, 0, 2, platform::kAudioRate));
  return media_->WriteCapture(host_path);
}

void TPlayer::OpenUrl(const std::string& url) {
  platform::Dialogs().OpenUrl(url);
}

void TPlayer::ShowOldPage(const std::string& file_name) {
  // The game cannot go on with a page this old: say which one, then close by request.
  platform::Dialogs().MessageBox(msg::kCaptionWarning, file_name + "\r\n" + msg::kRebuildPage,
                                 platform::MsgIcon::kWarning, platform::MsgButtons::kOk);
  window_.PostClose();
}

void TPlayer::DumpTreeToFile() {
  if (dump_tree_file_.empty() || !panel_) return;
  if (!platform::WriteFileAtomically(dump_tree_file_, panel_->Registry().Dump()))
    std::fprintf(stderr, "quenplay: cannot write %s\n", dump_tree_file_.c_str());
}

void TPlayer::DumpVariablesToFile() {
  if (dump_vars_file_.empty() || !vars_) return;
  if (!platform::WriteFileAtomically(dump_vars_file_, DumpVariables(*vars_)))
    std::fprintf(stderr, "quenplay: cannot write %s\n", dump_vars_file_.c_str());
}

}  // namespace quen
