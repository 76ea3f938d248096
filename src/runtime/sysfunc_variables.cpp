// The system variables that read and change the running player: mouse and keys, the screen,
// the clocks and the local date and time, fonts, full screen, display modes, sound, focus.
#include <functional>
#include <memory>

#include "components/brix_collection.h"
#include "components/quen_base_list.h"
#include "components/quen_object.h"
#include "expr/param_collection.h"
#include "expr/param_system.h"
#include "platform/clock.h"
#include "platform/font_list.h"
#include "platform/text_encoding.h"
#include "runtime/project.h"
#include "runtime/sysfunc_register.h"
#include "text/quen_history.h"

namespace quen {

namespace {

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

TQuenBase* InputBase(ISystemHost& host) {
  TQuenBaseList* r = host.Registry();
  return r ? &r->ActiveRoot() : nullptr;
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
  // The default message history (none without the history formats).
  integer(kSvHistoryCount, [] {
    TQuenHistoryFormatManager* f = HistoryFormats();
    return f ? f->Default().History().Count() : 0;
  });
  integer(
      kSvHistoryMaxCount,
      [] {
        TQuenHistoryFormatManager* f = HistoryFormats();
        return f ? f->Default().History().max_count : 0;
      },
      [](int32_t n) {
        if (TQuenHistoryFormatManager* f = HistoryFormats()) f->Default().History().SetMaxCount(n);
      });
  integer(kSvScrWidth, [h] { return h->Project() ? h->Project()->ScreenWidth : 0; });
  integer(kSvScrHeight, [h] { return h->Project() ? h->Project()->ScreenHeight : 0; });
  integer(kSvTickCount, [h] { return h->TickCount(); });
  integer(kSvPCTickCount, [] {
    // The system's millisecond counter, wrapping as a 32-bit value.
    return static_cast<int32_t>(static_cast<uint32_t>(platform::Clock().NowMs()));
  });
  integer(kSvUpdateCount, [h] { return h->UpdateCount(); });
  integer(kSvYear, [] { return platform::Clock().LocalNow().year; });
  integer(kSvYear + 1, [] { return platform::Clock().LocalNow().month; });
  integer(kSvYear + 2, [] { return platform::Clock().LocalNow().day; });
  integer(kSvWeek, [] { return platform::Clock().LocalNow().week_day + 1; });
  integer(kSvWeek + 1, [] { return platform::Clock().LocalNow().hour; });
  integer(kSvWeek + 2, [] { return platform::Clock().LocalNow().minute; });
  integer(kSvSec, [] { return platform::Clock().LocalNow().second; });
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
  // "The dithering setting of the component tree" is the picture cache's screen-depth decoding:
  // reading gives the mode, writing sets it and redraws both screens.
  vars.SetSystemValue(kSvCGDither, std::make_unique<TFunctionScalar>(
                                       PT_BOOL,
                                       [] {
                                         TBrixCollection* cache = BrixCollection();
                                         return cache && cache->ScreenDepthMode() ? 1 : 0;
                                       },
                                       [h](int32_t v) {
                                         if (TQuenBaseList* r = h->Registry())
                                           SetScreenDepthDecoding(*r, v != 0);
                                         else if (TBrixCollection* cache = BrixCollection())
                                           cache->SetScreenDepthMode(v != 0);
                                       }));
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
  vars.SetSystemValue(kSvMidiPort,
                      std::make_unique<TFunctionScalar>(
                          [h] { return h->MidiPort(); },
                          [h](std::string_view name) { h->SetMidiPort(std::string(name)); }));
  vars.SetSystemValue(kSvMidiPorts, std::make_unique<TStrArray>([h] { return h->MidiPorts(); }));
}

}  // namespace quen
