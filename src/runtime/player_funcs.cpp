#include "runtime/player_funcs.h"

#include <chrono>
#include <ctime>
#include <functional>
#include <memory>

#include "base/error.h"
#include "base/sjis.h"
#include "components/prop_table.h"
#include "components/quen_base_list.h"
#include "components/quen_object.h"
#include "expr/param_collection.h"
#include "expr/param_system.h"
#include "expr/param_var.h"
#include "expr/quen_parser.h"
#include "expr/sys_func_args.h"
#include "expr/sys_funcs.h"
#include "files/file_manager.h"
#include "files/host_path.h"
#include "platform/dialogs.h"
#include "platform/font_list.h"
#include "platform/host_fs.h"
#include "platform/text_encoding.h"
#include "runtime/call_man.h"
#include "runtime/db_manager.h"
#include "runtime/messages.h"
#include "runtime/project.h"
#include "runtime/sysfunc_files.h"

namespace quen {

namespace {

// ---------------------------------------------------------------- system variables

enum : int {
  kSvLClick = 1,
  kSvRClick = 2,
  kSvLPush = 3,
  kSvRPush = 4,
  kSvMouseX = 5,
  kSvMouseY = 6,
  kSvHistoryCount = 8,
  kSvScrWidth = 12,
  kSvScrHeight = 13,
  kSvTickCount = 14,
  kSvPCTickCount = 15,
  kSvUpdateCount = 16,
  kSvYear = 17,
  kSvWeek = 20,
  kSvSec = 23,
  kSvFonts = 24,
  kSvFixedFonts = 25,
  kSvFullScr = 26,
  kSvCGDither = 31,
  kSvKeyPush = 35,
  kSvKeyClick = 36,
  kSvDisplayModeCount = 37,
  kSvDisplayModeIndex = 38,
  kSvTitle = 39,
  kSvSoundON = 40,
  kSvActiveCompo = 41,
  kSvKeyRepeat = 42,
  kSvHistoryMaxCount = 43,
  kSvMidiPort = 45,
  kSvMidiPorts = 46,
  kSvWheelDown = 47,
  kSvWheelUp = 48,
};

// The key arrays: 256 keys, then the wheel-down and wheel-up flags. Any other element, and the
// scalar, read false.
class TKeyArray : public TFunctionScalar {
 public:
  explicit TKeyArray(std::function<bool(int32_t)> element)
      : TFunctionScalar(PT_BOOL, [] { return 0; }), element_(std::move(element)) {}
  static constexpr int32_t kCount = 258;
  int32_t GetCount() const override { return kCount; }
  bool GetBoolAt(int32_t i) const override { return i >= 0 && i < kCount && element_(i); }
  int32_t GetIntAt(int32_t i) const override { return GetBoolAt(i) ? 1 : 0; }
  long double GetFloatAt(int32_t i) const override { return GetBoolAt(i) ? 1 : 0; }
  std::string GetStrAt(int32_t i) const override { return GetBoolAt(i) ? "TRUE" : "FALSE"; }

 private:
  std::function<bool(int32_t)> element_;
};

// A read-only string array (the MIDI ports); the scalar reads element 0.
class TStrArray : public TFunctionScalar {
 public:
  explicit TStrArray(std::function<std::vector<std::string>()> items)
      : TFunctionScalar([items] {
          auto v = items();
          return v.empty() ? std::string() : v[0];
        }),
        items_(std::move(items)) {}
  int32_t GetCount() const override { return static_cast<int32_t>(items_().size()); }
  std::string GetStrAt(int32_t i) const override {
    auto v = items_();
    return i >= 0 && i < static_cast<int32_t>(v.size()) ? v[static_cast<size_t>(i)] : std::string();
  }

 private:
  std::function<std::vector<std::string>()> items_;
};

std::tm LocalNow() {
  const std::time_t t = std::time(nullptr);
  std::tm tm{};
  localtime_r(&t, &tm);
  return tm;
}

int32_t PcTickCount() {
  // The monotonic millisecond counter, wrapping as a 32-bit value.
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                      std::chrono::steady_clock::now().time_since_epoch())
                      .count();
  return static_cast<int32_t>(static_cast<uint32_t>(ms));
}

TQuenBase* InputBase(ISystemHost& host) {
  TQuenBaseList* r = host.Registry();
  return r ? &r->ActiveRoot() : nullptr;
}

// ---------------------------------------------------------------- functions

TQuenObject* Component(ISystemHost& host, const TCustomParam* name) {
  TQuenBaseList* r = host.Registry();
  if (!r || !name) return nullptr;
  const std::string n = name->GetAsString();
  return n.empty() ? nullptr : r->FindComponent(n);
}

TParamCollectionItem* VariableArg(TSysFuncCall& c, size_t i) {
  return sysarg::Variable(c, i);
}
using sysarg::SetResultBool;
using sysarg::SetResultInt;
using sysarg::SetResultStr;

// Makes a variable a one-dimensional array of texts converted to its type; no text makes it a
// scalar holding the empty text.
void StoreList(TCustomParam& v, const std::vector<std::string>& items) {
  if (items.empty()) {
    v.MakeScalar();
    v.SetAsString("");
    return;
  }
  v.SetDims({static_cast<int32_t>(items.size())});
  for (size_t i = 0; i < items.size(); ++i) v.SetStrAt(static_cast<int32_t>(i), items[i]);
}

// Splits text into lines at CR, LF or CR LF; a last line without its break counts.
std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::string cur;
  bool any = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char ch = text[i];
    if (ch == '\r' || ch == '\n') {
      lines.push_back(cur);
      cur.clear();
      any = false;
      if (ch == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      cur += ch;
      any = true;
    }
  }
  if (any) lines.push_back(cur);
  return lines;
}

// Host paths reach scripts in Shift-JIS with "\" separators, and come back the same way.
std::string HostToScript(const std::string& utf8) {
  std::string sjis;
  if (!platform::TryUtf8ToCp932(utf8, sjis)) return {};
  for (char& ch : sjis)
    if (ch == '/') ch = '\\';
  return sjis;
}

std::string ScriptToHost(const std::string& sjis) {
  std::string utf8;
  if (!platform::TryCp932ToUtf8(sjis, utf8)) return {};
  for (char& ch : utf8)
    if (ch == '\\') ch = '/';
  return utf8;
}

// "*" and "?" against a file name, ignoring ASCII case, walking Shift-JIS characters.
bool MatchesMask(std::string_view name, std::string_view mask) {
  if (mask.empty()) return name.empty();
  if (mask[0] == '*') {
    for (size_t i = 0;; i += sjis::CharLen(name, i)) {
      if (MatchesMask(name.substr(i), mask.substr(1))) return true;
      if (i >= name.size()) return false;
    }
  }
  if (name.empty()) return false;
  const size_t n = sjis::CharLen(name, 0);
  const size_t m = sjis::CharLen(mask, 0);
  if (!(mask[0] == '?' || sjis::EqualsNoCase(name.substr(0, n), mask.substr(0, m)))) return false;
  return MatchesMask(name.substr(n), mask.substr(mask[0] == '?' ? 1 : m));
}

bool StartsWithNoCase(const std::string& s, std::string_view prefix) {
  return s.size() >= prefix.size() && sjis::EqualsNoCase(s.substr(0, prefix.size()), prefix);
}

}  // namespace

std::string FontListText(bool fixed_pitch) {
  std::vector<std::string> names;
  for (const std::string& utf8 : platform::InstalledFontFamilies(fixed_pitch)) {
    std::string sjis;
    if (platform::TryUtf8ToCp932(utf8, sjis)) names.push_back(sjis);
  }
  // The Windows families that the font substitution serves: games look for them by name.
  static const char* const kServed[] = {
      "\x82\x6C\x82\x72 \x83\x53\x83\x56\x83\x62\x83\x4E",          // ＭＳ ゴシック
      "\x82\x6C\x82\x72 \x82\x6F\x83\x53\x83\x56\x83\x62\x83\x4E",  // ＭＳ Ｐゴシック
      "\x82\x6C\x82\x72 \x96\xBE\x92\xA9",                          // ＭＳ 明朝
      "\x82\x6C\x82\x72 \x82\x6F\x96\xBE\x92\xA9",                  // ＭＳ Ｐ明朝
  };
  for (const char* n : kServed) {
    // The proportional ones are not fixed-pitch.
    if (fixed_pitch && std::string_view(n).find("\x82\x6F") != std::string_view::npos) continue;
    names.push_back(n);
  }
  std::string out;
  for (const std::string& n : names) {
    if (!out.empty()) out += "\r\n";
    out += n;
  }
  return out;
}

void RegisterSystemVariables(TParamCollection& vars, ISystemHost& host) {
  ISystemHost* h = &host;
  auto flag = [&](int n, std::function<bool(TQuenBase&)> read,
                  std::function<void(TQuenBase&, bool)> write = nullptr) {
    std::function<void(int32_t)> w;
    if (write) {
      w = [h, write](int32_t v) {
        if (TQuenBase* b = InputBase(*h)) write(*b, v != 0);
      };
    }
    vars.SetSystemValue(n, std::make_unique<TFunctionScalar>(
                               PT_BOOL,
                               [h, read] {
                                 TQuenBase* b = InputBase(*h);
                                 return b && read(*b) ? 1 : 0;
                               },
                               w));
  };
  auto integer = [&](int n, TFunctionScalar::TRead read,
                     std::function<void(int32_t)> write = nullptr) {
    vars.SetSystemValue(
        n, std::make_unique<TFunctionScalar>(PT_INT, std::move(read), std::move(write)));
  };
  flag(
      kSvLClick, [](TQuenBase& b) { return b.LeftPressed; },
      [](TQuenBase& b, bool v) { b.LeftPressed = v; });
  flag(
      kSvRClick, [](TQuenBase& b) { return b.RightPressed; },
      [](TQuenBase& b, bool v) { b.RightPressed = v; });
  flag(kSvLPush, [](TQuenBase& b) { return b.LeftDown; });
  flag(kSvRPush, [](TQuenBase& b) { return b.RightDown; });
  flag(kSvWheelDown, [](TQuenBase& b) { return b.WheelDown; });
  flag(kSvWheelUp, [](TQuenBase& b) { return b.WheelUp; });
  integer(
      kSvMouseX,
      [h] {
        TQuenBase* b = InputBase(*h);
        return b ? b->MouseX : 0;
      },
      [h](int32_t x) {
        TQuenBase* b = InputBase(*h);
        h->MoveMouse(x, b ? b->MouseY : 0);
      });
  integer(
      kSvMouseY,
      [h] {
        TQuenBase* b = InputBase(*h);
        return b ? b->MouseY : 0;
      },
      [h](int32_t y) {
        TQuenBase* b = InputBase(*h);
        h->MoveMouse(b ? b->MouseX : 0, y);
      });
  // The message history comes with the history formats; until then there is none.
  integer(kSvHistoryCount, [] { return 0; });
  integer(
      kSvHistoryMaxCount, [] { return 0; }, [](int32_t) {});
  integer(kSvScrWidth, [h] { return h->Project() ? h->Project()->ScreenWidth : 0; });
  integer(kSvScrHeight, [h] { return h->Project() ? h->Project()->ScreenHeight : 0; });
  integer(kSvTickCount, [h] { return h->TickCount(); });
  integer(kSvPCTickCount, [] { return PcTickCount(); });
  integer(kSvUpdateCount, [h] { return h->UpdateCount(); });
  integer(kSvYear, [] { return LocalNow().tm_year + 1900; });
  integer(kSvYear + 1, [] { return LocalNow().tm_mon + 1; });
  integer(kSvYear + 2, [] { return LocalNow().tm_mday; });
  integer(kSvWeek, [] { return LocalNow().tm_wday + 1; });
  integer(kSvWeek + 1, [] { return LocalNow().tm_hour; });
  integer(kSvWeek + 2, [] { return LocalNow().tm_min; });
  integer(kSvSec, [] { return std::min(LocalNow().tm_sec, 59); });
  vars.SetSystemValue(kSvFonts, std::make_unique<TFunctionScalar>([] {
                        static const std::string list = FontListText(false);
                        return list;
                      }));
  vars.SetSystemValue(kSvFixedFonts, std::make_unique<TFunctionScalar>([] {
                        static const std::string list = FontListText(true);
                        return list;
                      }));
  vars.SetSystemValue(kSvFullScr, std::make_unique<TFunctionScalar>(
                                      PT_BOOL, [h] { return h->FullScreen() ? 1 : 0; },
                                      [h](int32_t v) { h->SetFullScreen(v != 0); }));
  auto dither = std::make_shared<bool>(false);
  vars.SetSystemValue(kSvCGDither, std::make_unique<TFunctionScalar>(
                                       PT_BOOL, [dither] { return *dither ? 1 : 0; },
                                       [dither](int32_t v) { *dither = v != 0; }));
  auto keys = [&](int n, std::function<bool(const TQuenBaseList&, int32_t)> key) {
    vars.SetSystemValue(n, std::make_unique<TKeyArray>([h, key](int32_t i) {
                          TQuenBaseList* r = h->Registry();
                          if (!r) return false;
                          if (i < 256) return key(*r, i);
                          const TQuenBase& b = r->ActiveRoot();
                          return i == 256 ? b.WheelDown : b.WheelUp;
                        }));
  };
  keys(kSvKeyPush, [](const TQuenBaseList& r, int32_t k) { return r.KeyPressed(k); });
  keys(kSvKeyClick, [](const TQuenBaseList& r, int32_t k) { return r.KeyPushedLastFrame(k); });
  keys(kSvKeyRepeat, [](const TQuenBaseList& r, int32_t k) { return r.KeyRepeatLastFrame(k); });
  integer(kSvDisplayModeCount, [h] { return h->DisplayModeCount(); });
  integer(
      kSvDisplayModeIndex, [h] { return h->DisplayModeIndex(); },
      [h](int32_t i) { h->SetDisplayModeIndex(i); });
  vars.SetSystemValue(kSvTitle, std::make_unique<TFunctionScalar>([h] {
                        return h->Project() ? h->Project()->Title : std::string();
                      }));
  vars.SetSystemValue(kSvSoundON, std::make_unique<TFunctionScalar>(
                                      PT_BOOL,
                                      [h] {
                                        TQuenBaseList* r = h->Registry();
                                        return r && r->SoundOn() ? 1 : 0;
                                      },
                                      [h](int32_t v) {
                                        if (TQuenBaseList* r = h->Registry()) r->SetSoundOn(v != 0);
                                      }));
  vars.SetSystemValue(kSvActiveCompo, std::make_unique<TFunctionScalar>(
                                          [h] {
                                            TQuenBaseList* r = h->Registry();
                                            TQuenControl* f = r ? r->Focus() : nullptr;
                                            return f ? f->Name() : std::string();
                                          },
                                          [h](std::string_view name) {
                                            TQuenBaseList* r = h->Registry();
                                            if (!r || name.empty()) return;
                                            TQuenObject* o = r->FindComponent(std::string(name));
                                            TQuenControl* c = o ? o->AsControl() : nullptr;
                                            if (c && !c->IsRoot()) r->SetFocus(c);
                                          }));
  // No MIDI output here: no port is selected and none is listed.
  vars.SetSystemValue(kSvMidiPort, std::make_unique<TFunctionScalar>([] { return std::string(); },
                                                                     [](std::string_view) {}));
  vars.SetSystemValue(kSvMidiPorts,
                      std::make_unique<TStrArray>([] { return std::vector<std::string>(); }));
}

void RegisterPlayerFunctions(TSysFuncMan& funcs, ISystemHost& host) {
  ISystemHost* h = &host;
  funcs.Register("GetProp", [h](TSysFuncCall& c) {
    if (TQuenObject* o = Component(*h, c.args[0]))
      if (TCustomParam* t = c.target.Value()) GetProp(*o, c.args[1]->GetAsInteger() & 0xFF, *t);
  });
  funcs.Register("SetProp", [h](TSysFuncCall& c) {
    if (TQuenObject* o = Component(*h, c.args[0]))
      SetProp(*o, c.args[1]->GetAsInteger(), *c.args[2]);
  });
  funcs.Register("Exists",
                 [h](TSysFuncCall& c) { SetResultBool(c, Component(*h, c.args[0]) != nullptr); });
  funcs.Register("ListCompo", [h](TSysFuncCall& c) {
    TParamCollectionItem* var = VariableArg(c, 0);
    TQuenBaseList* r = h->Registry();
    if (!r) return;
    int32_t type = c.args.size() > 1 ? c.args[1]->GetAsInteger() : 0;
    if (type < 1 || type > 27) type = 0;
    // The registry itself stands for "under any component".
    const TQuenObject* parent = r;
    if (c.args.size() > 2 && !c.args[2]->GetAsString().empty()) {
      parent = Component(*h, c.args[2]);
      if (!parent) {
        if (var && var->Value()) StoreList(*var->Value(), {});
        return;
      }
    }
    std::vector<std::string> names;
    const int32_t n = r->ListComponents(names, static_cast<uint8_t>(type), parent);
    if (var && var->Value()) StoreList(*var->Value(), names);
    SetResultInt(c, n);
  });
  auto convert = [h](bool to_client, bool x) {
    return [h, to_client, x](TSysFuncCall& c) {
      const int32_t v = c.args[1]->GetAsInteger();
      TQuenObject* o = Component(*h, c.args[0]);
      TQuenControl* ctl = o ? o->AsControl() : nullptr;
      if (!ctl) {
        SetResultInt(c, v);
        return;
      }
      const TPoint p = to_client ? ctl->ScreenToClient({v, v}) : ctl->ClientToScreen({v, v});
      SetResultInt(c, x ? p.X : p.Y);
    };
  };
  funcs.Register("ToClientX", convert(true, true));
  funcs.Register("ToClientY", convert(true, false));
  funcs.Register("ToScreenX", convert(false, true));
  funcs.Register("ToScreenY", convert(false, false));
  funcs.Register("InPrimary", [h](TSysFuncCall& c) {
    TQuenObject* o = Component(*h, c.args[0]);
    TQuenControl* ctl = o ? o->AsControl() : nullptr;
    TQuenBaseList* r = h->Registry();
    SetResultBool(c, ctl && r && ctl->Root() == &r->ActiveRoot() && !ctl->InCabinet());
  });
  funcs.Register("InCabinet", [h](TSysFuncCall& c) {
    TQuenObject* o = Component(*h, c.args[0]);
    SetResultBool(c, o && o->InCabinet());
  });
  // Items of menus and lists come with those components: until then no component has items,
  // so the item functions leave their result unset, as for a missing component.
  for (const char* name : {"GetCheck", "SetCheck", "GetEnabled", "SetEnabled", "GetVisible",
                           "SetVisible", "GetGroupIndex", "GetSelected", "SetSelected"})
    funcs.Register(name, [](TSysFuncCall&) {});
  funcs.Register("IndexOfMenu", [](TSysFuncCall& c) { SetResultInt(c, -1); });
  // Saves and their captions come with the save file; no slot holds a save yet.
  funcs.Register("GetSaveCaption", [](TSysFuncCall&) {});
  funcs.Register("ListSaveCaption", [](TSysFuncCall& c) {
    for (size_t i = 0; i < 2; ++i)
      if (TParamCollectionItem* v = VariableArg(c, i); v && v->Value()) StoreList(*v->Value(), {});
    SetResultInt(c, 0);
  });
  // No message history yet: every format is missing.
  funcs.Register("GetHistoryCount", [](TSysFuncCall& c) { SetResultInt(c, -1); });
  funcs.Register("GetHistoryMaxCount", [](TSysFuncCall& c) { SetResultInt(c, -1); });
  funcs.Register("SetHistoryMaxCount", [](TSysFuncCall& c) { SetResultBool(c, false); });
  funcs.Register("GetDisplayMode", [h](TSysFuncCall& c) {
    int32_t w = 0, hh = 0, bits = 0, hz = 0;
    if (!h->DisplayMode(c.args[0]->GetAsInteger(), w, hh, bits, hz)) {
      SetResultBool(c, false);
      return;
    }
    const int32_t values[4] = {w, hh, bits, hz};
    for (size_t i = 0; i < 4; ++i)
      if (TParamCollectionItem* v = VariableArg(c, i + 1); v && v->Value())
        v->Value()->SetAsInteger(values[i]);
    SetResultBool(c, true);
  });
  funcs.Register("Calc", [](TSysFuncCall& c) {
    const std::string text = c.args[0]->GetAsString();
    if (RunText(text, c.vars, c.funcs)) SetResultStr(c, "TRUE");
  });
  funcs.Register("DeleteStack", [h](TSysFuncCall& c) {
    TCallMan* cm = h->CallMan();
    SetResultBool(c, cm && cm->DeleteFrame(c.args[0]->GetAsInteger()));
  });
  funcs.Register("FileExists", [](TSysFuncCall& c) {
    const std::string name = c.args[0]->GetAsString();
    SetResultBool(c, !name.empty() && FileManager().FileExists(name));
  });
  funcs.Register("LoadTextFile", [](TSysFuncCall& c) {
    TParamCollectionItem* var = VariableArg(c, 0);
    const std::string name = c.args[1]->GetAsString();
    if (name.empty() || !FileManager().FileExists(name)) {
      SetResultBool(c, false);
      return;
    }
    TKvMemoryStream m;
    FileManager().LoadFile(m, name);
    std::vector<std::string> lines = SplitLines(m.Data());
    if (lines.empty()) {
      SetResultBool(c, false);
      return;
    }
    if (var && var->Value()) StoreList(*var->Value(), lines);
    SetResultBool(c, true);
  });
  funcs.Register("OpenUrl", [h](TSysFuncCall& c) {
    const std::string url = c.args[0]->GetAsString();
    std::string host_path;
    if (StartsWithNoCase(url, "http") || StartsWithNoCase(url, "ftp") ||
        (!url.empty() && platform::TryCp932ToUtf8(url, host_path) &&
         platform::IsDirectory(host_path)))
      h->OpenUrl(url);
  });
}

namespace {

void ChooseInto(TSysFuncCall& c, platform::IDialogs::FileDialog kind) {
  TParamCollectionItem* var = VariableArg(c, 0);
  const std::string filter = c.args.size() > 1 ? c.args[1]->GetAsString() : std::string();
  std::string chosen;
  if (!platform::Dialogs().ChooseFile(kind, filter, platform::DocumentsFolder(), chosen)) return;
  std::string text = HostToScript(chosen);
  if (kind == platform::IDialogs::FileDialog::kFolder && (text.empty() || text.back() != '\\'))
    text += '\\';
  if (var && var->Value()) var->Value()->SetAsString(text);
  SetResultBool(c, true);
}

// Copies the game's files out to a folder of the user's.
void ExtractFiles(TSysFuncCall& c, ISystemHost& host) {
  SetResultBool(c, false);
  const bool confirm = c.args.size() > 1 ? c.args[1]->GetAsBool() : true;
  std::string dest;
  if (c.args.size() > 2) {
    dest = ScriptToHost(c.args[2]->GetAsString());
  } else {
    std::string chosen;
    if (!platform::Dialogs().ChooseFile(platform::IDialogs::FileDialog::kFolder, "",
                                        platform::DocumentsFolder(), chosen))
      return;
    dest = chosen;
  }
  if (dest.empty()) return;
  dest = WithSlash(dest);
  // The folder and every missing parent.
  for (size_t i = 1; i <= dest.size(); ++i)
    if (i == dest.size() || dest[i] == '/') platform::MakeDirectory(dest.substr(0, i));
  if (!platform::IsDirectory(dest)) return;

  const TCustomParam& a = *c.args[0];
  const int32_t elements = std::max<int32_t>(a.GetCount(), 1);
  const bool batch = elements >= 2;
  const std::string caption = host.Project() ? host.Project()->Title : std::string();
  bool yes_to_all = false, no_to_all = false;
  for (int32_t e = 0; e < elements; ++e) {
    const std::string pattern = a.GetStrAt(e);
    if (pattern.empty()) continue;
    std::vector<std::string> files;
    if (pattern.find_first_of("*?") == std::string::npos) {
      files.push_back(pattern);
    } else {
      const std::string folder = GameFolderPart(pattern);
      const std::string mask = GameFileNamePart(pattern);
      std::vector<std::string> listed;
      FileManager().ListFolder(folder, listed);
      for (const std::string& name : listed)
        if (MatchesMask(GameFileNamePart(name), mask))
          files.push_back(folder + GameFileNamePart(name));
    }
    for (const std::string& file : files) {
      if (!FileManager().FileExists(file)) continue;
      const std::string target = dest + ScriptToHost(GameFileNamePart(file));
      if (confirm && platform::PathExists(target) && !yes_to_all) {
        if (no_to_all) continue;
        const std::string question = Format(msg::kOverwriteQuestion, HostToScript(target).c_str());
        const platform::MsgAnswer answer = platform::Dialogs().MessageBox(
            caption, question, platform::MsgIcon::kQuestion,
            batch ? platform::MsgButtons::kYesNoAll : platform::MsgButtons::kYesNo);
        if (answer == platform::MsgAnswer::kNo) continue;
        if (answer == platform::MsgAnswer::kNoToAll) {
          no_to_all = true;
          continue;
        }
        if (answer == platform::MsgAnswer::kCancel) break;
        if (answer == platform::MsgAnswer::kYesToAll) yes_to_all = true;
      }
      TKvMemoryStream content;
      FileManager().LoadFile(content, file);
      if (platform::WriteFileAtomically(target, content.Data())) SetResultBool(c, true);
    }
  }
}

}  // namespace

void RegisterDesktopFunctions(TSysFuncMan& funcs, ISystemHost& host) {
  ISystemHost* h = &host;
  funcs.Register("SelectOpenFile",
                 [](TSysFuncCall& c) { ChooseInto(c, platform::IDialogs::FileDialog::kOpen); });
  funcs.Register("SelectSaveFile",
                 [](TSysFuncCall& c) { ChooseInto(c, platform::IDialogs::FileDialog::kSave); });
  funcs.Register("SelectDirectory",
                 [](TSysFuncCall& c) { ChooseInto(c, platform::IDialogs::FileDialog::kFolder); });
  funcs.Register("ExtractFile", [h](TSysFuncCall& c) { ExtractFiles(c, *h); });
}

void RegisterAllSystemFunctions(TSysFuncMan& funcs, ISystemHost& host, TDBManager& db) {
  RegisterTextFunctions(funcs);
  RegisterValueFunctions(funcs);
  RegisterPlayerFunctions(funcs, host);
  RegisterDesktopFunctions(funcs, host);
  RegisterFileFunctions(funcs, host);
  RegisterDatabaseFunctions(funcs, db);
}

}  // namespace quen
