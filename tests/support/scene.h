// A small harness: a registry driven frame by frame like the main window drives it, with an
// interpreter stand-in that runs (logs and removes) every queued event after the input pass.
#pragma once

#include <string>
#include <vector>

#include "components/quen_base_list.h"
#include "components/quen_kinds.h"

namespace quen::test {

struct Scene {
  TQuenBaseList reg;
  int32_t now = 0;
  int32_t frameMs = 16;
  std::vector<std::string> log;  // "time name EVENT args"

  Scene(int32_t w = 64, int32_t h = 48) { reg.SetSize(w, h); }

  template <typename T = TQuenBox>
  T* Make(const std::string& name, int32_t l, int32_t t, int32_t w, int32_t h,
          TQuenControl* parent = nullptr) {
    T* c = reg.Create<T>();
    c->WriteProp(PR_NAME, TPropValue::OfStr(name));
    c->SetParent(parent ? parent : &reg.ActiveRoot());
    c->SetBounds(l, t, w, h);
    return c;
  }
  static void On(TQuenObject* c, uint8_t code, const std::string& text = "ev") {
    c->WriteProp(code, TPropValue::OfStr(text));
  }

  void RunEvents() {
    while (TTimerData* e = reg.Events().FirstWaiting()) {
      const TQuenObject* s = reg.Resolve(e->Sender);
      std::string line =
          std::to_string(now) + " " + (s ? s->Name() : "-") + " " + PropInfo(e->Code).Ident;
      for (const auto& a : e->Args) line += " " + a;
      log.push_back(line);
      e->Level = 1;
      reg.Events().RemoveLevel(1);
    }
  }
  void Feed(TInputKind kind, int32_t x = 0, int32_t y = 0, TMouseButton b = TMouseButton::Left) {
    TInputEvent e;
    e.Kind = kind;
    e.X = x;
    e.Y = y;
    e.Button = b;
    reg.Feed(e);
  }
  void Key(bool down, int32_t key) {
    TInputEvent e;
    e.Kind = down ? TInputKind::KeyDown : TInputKind::KeyUp;
    e.Key = key;
    reg.Feed(e);
  }
  // One frame: input pass, events run, update pass, draw pass.
  void Frame(bool runEvents = true) {
    // As the frame loop: the game clock already counts this frame.
    reg.SetGameClock(now + frameMs);
    reg.ProcessInput(frameMs);
    if (runEvents) RunEvents();
    reg.UpdateAll(frameMs);
    reg.DrawAll();
    reg.ClearDirty();
    now += frameMs;
  }
  std::vector<std::string> Take() {
    std::vector<std::string> out;
    out.swap(log);
    return out;
  }
  std::vector<std::string> ChildNames(const TQuenControl& c) const {
    std::vector<std::string> out;
    for (auto* k : c.Children()) out.push_back(k->Name());
    return out;
  }
};

}  // namespace quen::test
