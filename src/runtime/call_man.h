// The interpreter: the page cache, the return frames, one frame of commands, and event
// dispatch from the queue.
#pragma once

#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <string>
#include <vector>

#include "base/stream.h"
#include "components/quen_handle.h"
#include "components/timer_list.h"
#include "expr/custom_param.h"
#include "runtime/command.h"
#include "runtime/project.h"

namespace quen {

class TParamCollection;
class TQuenBaseList;
class TSysFuncMan;

// One return frame.
struct TStack {
  std::string page_name;
  int32_t pc = 0;
  uint8_t started = 0;
  std::string result_name;
  std::vector<std::string> params;
  TQuenHandle sender;
  uint8_t cont = 0;
  std::unique_ptr<TKvMemoryStream> state;
  std::unique_ptr<TCustomParam> result;

  // The sender is stored by its name and found again by it.
  void SaveToStream(TStream& s, const TQuenBaseList& registry) const;
  void LoadFromStream(TStream& s, const TQuenBaseList& registry, TParamCollection& vars);
};

class TStackList {
 public:
  explicit TStackList(TParamCollection& vars) : vars_(vars) {}
  TStack& Push();
  // Moves the top frame into the spare frame and returns it; an empty list raises "スタックエラー".
  TStack& Pop();
  // Takes out frame number i (0 = oldest); false when there is none.
  bool Remove(int32_t i);
  void Clear();
  int32_t Count() const { return static_cast<int32_t>(items_.size()); }
  TStack& At(int32_t i) { return *items_[static_cast<size_t>(i)]; }
  TStack* Top() { return items_.empty() ? nullptr : items_.back().get(); }
  TStack& Spare() { return spare_; }
  void SaveToStream(TStream& s, const TQuenBaseList& registry) const;
  void LoadFromStream(TStream& s, const TQuenBaseList& registry);

 private:
  void Renumber();
  TParamCollection& vars_;
  std::vector<std::unique_ptr<TStack>> items_;
  TStack spare_;
};

class TCallMan : public TCallManBase {
 public:
  static constexpr size_t kCachedPages = 10;

  // Events come from the registry's queue; senders are its components.
  TCallMan(TParamCollection& vars, const TSysFuncMan& funcs, TQuenBaseList& registry);
  ~TCallMan() override;

  // TCallManBase: the project starts the start page and steps one frame at a time.
  void Start(const std::string& page) override;
  void Step() override { Run(); }
  void RunToReturn() override;

  TPage* StartPage(const std::string& name);
  TPage* GetPage(const std::string& name, bool to_front);
  // Executes one command: 0 normally, 2 when the command was busy, and when a page ended with
  // a return: 1 back in a script without sender, -1 back in a handler (2 if busy).
  int StepCommand();
  int Dispatch(int32_t level);
  void Run();

  int32_t ParamCount() const { return static_cast<int32_t>(params.size()); }
  std::string ParamStr(int32_t i) const;
  std::string SenderName() const;
  TCustomParam* TopResult();
  bool EventsBlocked() const;
  // DeleteStack: frees the variables frame number i owns, removes the frame and moves the
  // owners of later frames down by one; false without change when there is no such frame.
  bool DeleteFrame(int32_t i);
  // Nothing left to run: the page has ended (or there is none), no return frame, no event in
  // the queue.
  bool Idle();

  // Saves before version 116 have no level.
  void SaveToStream(TStream& s, int32_t save_version = 140);
  void LoadFromStream(TStream& s, int32_t save_version);

  // Pushes a call frame and enters the page (the Call command and event handlers).
  void PushFrame(std::string result_name);

  TParamCollection& Vars() { return vars_; }
  const TSysFuncMan& Funcs() const { return funcs_; }
  TTimerList& Events();
  TStackList& Frames() { return stack_; }
  TQuenBaseList& Registry() { return registry_; }
  const std::list<std::unique_ptr<TPage>>& Cache() const { return pages_; }

  // The state.
  TPage* page = nullptr;
  int32_t pc = 0;
  uint8_t cont = 0;
  uint8_t started = 0;
  std::vector<std::string> params;
  int32_t state = 0;
  TQuenHandle sender;
  int32_t level = 2;

  // What the rest of the player supplies. The game clock and the time the current frame
  // advanced it by (ms).
  int64_t clock = 0;
  int32_t frame_ms = 0;
  // True when a page can be opened (the installation's disk is present).
  std::function<bool(const std::string&)> page_available;
  // Resets what the Reset command restarts besides the registry and the variables: the table
  // database and the history formats.
  std::function<void()> reset_game;
  // Posts a close request to the main window (Terminate).
  std::function<void()> request_close;
  // One line of the command trace; unset when tracing is off.
  std::function<void(const std::string&)> trace;
  // Counts loads through the file manager (the cache's misses).
  int32_t page_loads = 0;
  // Commands run by Run since construction; an exception in a command ends the frame.
  bool last_step_raised = false;

 private:
  bool Available(const std::string& name) const { return !page_available || page_available(name); }
  void Trace(TCommand* c);

  TParamCollection& vars_;
  const TSysFuncMan& funcs_;
  TQuenBaseList& registry_;
  TStackList stack_;
  std::list<std::unique_ptr<TPage>> pages_;
  const TCommand* traced_ = nullptr;
};

// The text of a value made into a string literal of the expression language.
std::string QuoteForExpression(const std::string& text);

}  // namespace quen
