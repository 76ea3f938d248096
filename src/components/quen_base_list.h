// The registry of all components with its two screen roots: naming and lookup, deferred
// deletion, the update pass, the draw pass over dirty rectangles, input routing, keyboard
// state and focus, and the stream of the whole tree that game saves carry.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "components/dirty_list.h"
#include "components/input_event.h"
#include "components/quen_object.h"
#include "components/timer_list.h"
#include "imaging/custom_wipe.h"
#include "imaging/dibx.h"

namespace quen {

class TQuenBaseList;
class TParamCollection;
class TSysFuncMan;

// A screen root: its own surface and dirty list, and the mouse state of its screen.
class TQuenBase : public TQuenControl {
 public:
  TQuenBase(TQuenBaseList* owner, int index);
  const char* ClassName() const override { return "TQuenBase"; }
  bool IsRoot() const override { return true; }
  int Index() const { return index_; }

  void AddDirtyRect(const TRect& r);
  void AddFullDirtyRect() { AddDirtyRect(TRect{0, 0, Width(), Height()}); }
  TDirtyList& DirtyList() { return dirty_; }
  TDIBX& OwnSurface() { return surface_; }
  TCustomDIBX* GetSurface() override;
  // Repaints the dirty rectangles: fill with the root colour, then the children.
  void DrawRoot();
  void ResizeSurface();
  void ReleaseSurfaces() override { surface_.Clear(); }
  void RestoreSurfaces() override;

  // Mouse state, in panel client coordinates.
  int32_t MouseX = 0, MouseY = 0;
  bool LeftDown = false, RightDown = false, LeftPressed = false, RightPressed = false;
  bool Moved = false, WheelDown = false, WheelUp = false;
  uint8_t Capture = 0;  // 4: left captured, 8: right captured
  TQuenHandle MouseTarget;
  std::string CursorFile;
  bool ShowingFileCursor = false;

  void MousePass();

 protected:
  void WriteOwn(uint8_t code, const TPropValue& value) override;

 private:
  int index_;
  TDIBX surface_;
  TDirtyList dirty_;
};

class TScreenManager;
class IMediaHost;

// Makes the transition of a kind over target, from the first picture to the second
// (CreateWipe in the player); null for a kind it does not know.
using TTransitionFactory = std::function<std::unique_ptr<TCustomWipe>(
    int32_t kind, TCustomDIBX& target, TCustomDIBX& from, TCustomDIBX& to)>;

class TQuenBaseList : public TQuenComponent {
 public:
  static constexpr int32_t kRepeatDelay = 300;
  static constexpr int32_t kRepeatInterval = 50;
  static constexpr int kMaxNesting = 200;

  TQuenBaseList();
  ~TQuenBaseList() override;
  const char* ClassName() const override { return "TQuenBaseList"; }
  bool Carries(uint8_t code) const override;

  // --- components ---
  template <typename T>
  T* Create() {
    return static_cast<T*>(Adopt(std::make_unique<T>(this)));
  }
  // The factory: the code masked with 0x7F; null for codes that create nothing.
  TQuenObject* CreateComponent(uint8_t type);
  static std::unique_ptr<TQuenObject> MakeComponent(uint8_t type, TQuenBaseList* owner);
  TQuenObject* Resolve(TQuenHandle h) const;
  TQuenControl* ResolveControl(TQuenHandle h) const;
  bool IsRegistered(const TQuenObject* o) const { return o && Resolve(o->Handle()) == o; }
  TQuenObject* FindComponent(std::string_view name) const;
  TQuenControl* FindParentControl(std::string_view name) const;
  // Any registered component bearing the name, scrapped ones included (their name is empty).
  TQuenObject* FindByName(std::string_view name) const;
  std::string UniqueName(std::string_view stem) const;
  int32_t ListComponents(std::vector<std::string>& out, uint8_t type,
                         const TQuenObject* parent) const;
  int32_t ComponentCount() const { return static_cast<int32_t>(list_.size()); }
  TQuenObject* Component(int32_t i) const { return list_[static_cast<size_t>(i)]; }
  // Deferred deletion; roots refuse it.
  void Scrap(TQuenObject* o);
  const std::vector<TQuenHandle>& ScrapList() const { return scrap_; }

  // --- roots and screen ---
  TQuenBase& Root(int i) const { return *roots_[i & 1]; }
  int ActiveIndex() const { return active_; }
  TQuenBase& ActiveRoot() const { return *roots_[active_]; }
  TQuenBase& InactiveRoot() const { return *roots_[active_ ^ 1]; }
  static std::string RootName(int i) {
    return i == 0 ? "\x01"
                    "BASE0"
                  : "\x01"
                    "BASE1";
  }
  void SetSize(int32_t width, int32_t height);
  int32_t ScreenWidth() const { return width_; }
  int32_t ScreenHeight() const { return height_; }
  // The frame surface: the screen manager's back surface when set, else our own.
  TCustomDIBX& Screen() { return screen_ ? *screen_ : own_screen_; }
  void SetScreen(TCustomDIBX* screen) { screen_ = screen; }
  bool TransitionRunning() const { return transition_type_ != 0; }
  const TRect& TransitionRect() const { return transition_rect_; }
  // What the last draw pass changed on the screen: the running transition's rectangle while it
  // draws, else the shown root's dirty rectangles.
  std::vector<TRect> ChangedRects() const;
  // Cinema registries take the main registry's factory.
  void SetTransitionFactory(TTransitionFactory f) { transition_factory_ = std::move(f); }
  const TTransitionFactory& TransitionFactory() const { return transition_factory_; }
  // Makes index the shown root. When forced, or when a type is given and none runs, a new
  // transition of that type is made from the shown root's picture to the other's, with the
  // duration; true when one was made. param2 is the reverse flag, given to the running
  // transition on every call (films call this every frame); param1 is not used by any kind.
  bool StartTransition(int index, int32_t type, int32_t duration, bool force, int32_t param1,
                       int32_t param2);
  // The running transition or null. Drivers ask for it every frame and never keep it: a
  // screen switch, a reset or a film may free it between two frames.
  TCustomWipe* RunningTransition() const { return transition_.get(); }
  void EndTransition();

  // --- passes ---
  void Feed(const TInputEvent& e);
  void ProcessInput(int32_t frameMs);
  void UpdateAll(int32_t frameMs);
  void DrawAll();
  // Empties both roots' dirty lists once a frame was presented.
  void ClearDirty();
  // Hands what the last draw pass changed to the screen modes for presentation (none for a game
  // without a screen), then empties both dirty lists: the one place a drawn frame leaves the
  // registry.
  void PresentTo(TScreenManager* screen);
  void Reset();
  void ReleaseAllSurfaces();
  void RestoreAllSurfaces();

  // --- events, focus, keys ---
  TTimerList& Events() { return events_; }
  const TTimerList& Events() const { return events_; }
  TQuenControl* Focus() const { return ResolveControl(focus_); }
  void SetFocus(TQuenControl* c);
  void MarkFocusStale() { focus_stale_ = true; }
  bool FocusStale() const { return focus_stale_; }
  bool KeyPressed(int key) const { return key >= 0 && key < 256 && key_pressed_[key]; }
  // Forgets every key: pressed, pushed and repeat marks, repeat countdowns, the any-key flags
  // and the key lists (the window lost activation: releases will never come).
  void ClearKeyboardState();
  bool KeyPushedLastFrame(int key) const { return key >= 0 && key < 256 && key_pushed_last_[key]; }
  bool KeyRepeatLastFrame(int key) const { return key >= 0 && key < 256 && key_repeat_last_[key]; }
  // Where sounds and videos find their files and the media layer (none: they stay silent).
  void SetMediaHost(IMediaHost* host) { media_host_ = host; }
  IMediaHost* MediaHost() const { return media_host_; }
  void SetCursorHost(ICursorHost* host) { cursor_host_ = host; }
  void SetTextEntryHost(ITextEntryHost* host) { text_entry_host_ = host; }
  ITextEntryHost* TextEntryHost() const { return text_entry_host_; }
  ICursorHost* CursorHost() const { return cursor_host_; }
  void SetDefaultCursor(std::string file) { default_cursor_ = std::move(file); }
  const std::string& DefaultCursor() const { return default_cursor_; }
  bool SoundOn() const { return sound_on_; }
  // Switching sound is passed on to the media managers through the handler.
  void SetSoundOn(bool on) {
    sound_on_ = on;
    if (sound_on_handler_) sound_on_handler_(on);
  }
  void SetSoundOnHandler(std::function<void(bool)> handler) {
    sound_on_handler_ = std::move(handler);
  }
  int32_t FrameMs() const { return frame_ms_; }
  // The game clock (ms), handed over by the frame loop before its passes; faders and timers
  // count from it.
  int64_t GameClock() const { return game_clock_; }
  void SetGameClock(int64_t ms) { game_clock_ = ms; }
  // The variable table and system functions that the kinds' compiled expressions run against
  // (an image's wait, an emitter's positions) and that choices write (@SelStr, @SelIndex);
  // null in a registry without scripts.
  void SetScriptContext(TParamCollection* vars, const TSysFuncMan* funcs) {
    script_vars_ = vars;
    script_funcs_ = funcs;
  }
  TParamCollection* ScriptVars() const { return script_vars_; }
  const TSysFuncMan* ScriptFuncs() const { return script_funcs_; }

  // Right-click-scrap list (no duplicates).
  void SetRightClickScrap(TQuenControl* c, bool on);
  const std::vector<TQuenHandle>& RightClickScrapList() const { return rclick_; }

  // --- streams ---
  void SaveToStream(TStream& s, int32_t version) const override;
  void LoadFromStream(TStream& s, int32_t version) override;

  // A readable account of the tree for tests and for tracking down problems.
  std::string Dump() const;

  // Unregisters and frees at once (children first); used by the update pass.
  void Destroy(TQuenObject* o);

 protected:
  TPropValue ReadOwn(uint8_t code) const override;
  void WriteOwn(uint8_t code, const TPropValue& value) override;

 private:
  friend class TQuenObject;
  friend class TQuenControl;
  friend class TQuenBase;
  TQuenObject* Adopt(std::unique_ptr<TQuenObject> o);
  void MakeRoots();
  void FreeRoots();
  bool OwnsImageCache() const;
  void KeyDown(int key);
  void KeyUp(int key);
  void FireKeys();
  void LoadComponent(TStream& s, int32_t version);
  // Gives o a new name and keeps the name index true.
  void SetObjectName(TQuenObject& o, std::string name);
  void IndexName(TQuenObject& o, const std::string& old_name);

  struct TNameHash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
  };
  uint64_t next_id_ = 1;
  // Components of the list by name, each bucket in list order; unnamed ones are not held.
  std::unordered_map<std::string, std::vector<TQuenObject*>, TNameHash, std::equal_to<>> names_;
  // For each stem UniqueName was asked for: every stem + n below the hint is taken.
  mutable std::unordered_map<std::string, int64_t, TNameHash, std::equal_to<>> unique_hint_;
  std::unordered_map<uint64_t, TQuenObject*> by_id_;
  std::unordered_map<uint64_t, std::unique_ptr<TQuenObject>> owned_;
  std::vector<TQuenObject*> list_;
  std::array<std::unique_ptr<TQuenBase>, 2> roots_;
  int active_ = 0;
  int32_t width_ = 8, height_ = 8;
  TDIBX own_screen_;
  TCustomDIBX* screen_ = nullptr;
  int64_t game_clock_ = 0;
  int32_t transition_type_ = 0;
  std::unique_ptr<TCustomWipe> transition_;
  TTransitionFactory transition_factory_;
  TRect transition_rect_;
  TTimerList events_;
  std::vector<TQuenHandle> scrap_;
  size_t walk_ = 0;
  bool walking_ = false;
  bool resetting_ = false;
  bool loading_ = false;
  std::vector<TQuenHandle> rclick_;

  std::array<uint8_t, 256> key_pressed_{}, key_pushed_{}, key_pushed_last_{}, key_repeat_{},
      key_repeat_last_{};
  std::array<int32_t, 256> repeat_countdown_{};
  bool any_down_ = false, any_up_ = false, any_repeat_ = false;
  std::vector<int32_t> keys_down_, keys_up_, keys_repeated_;
  TQuenHandle focus_;
  bool focus_stale_ = false;
  bool sound_on_ = true;
  std::function<void(bool)> sound_on_handler_;
  ICursorHost* cursor_host_ = nullptr;
  ITextEntryHost* text_entry_host_ = nullptr;
  IMediaHost* media_host_ = nullptr;
  std::string default_cursor_;
  int32_t frame_ms_ = 0;
  TParamCollection* script_vars_ = nullptr;
  const TSysFuncMan* script_funcs_ = nullptr;
};

// Shared by the property commands and functions: raise the GetProp / SetProp errors.
class TCustomParam;
void GetProp(const TQuenObject& c, int32_t code, TCustomParam& holder);
void SetProp(TQuenObject& c, int32_t code, const TCustomParam& value);

}  // namespace quen
