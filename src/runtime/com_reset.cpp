// Reset and PCReset: restart the game, or send the script to a place, from anywhere.
#include "base/error.h"
#include "components/quen_base_list.h"
#include "expr/param_collection.h"
#include "runtime/com_support.h"
#include "text/quen_history.h"

namespace quen {

namespace {

enum : int { kPage = 0, kTarget = 1, kFull = 2 };

class TComResetBase : public TCommand {
 public:
  using TCommand::TCommand;

 protected:
  // The stored page, brought into the cache first so that nothing is reset for a page that
  // cannot be opened; pc keeps its value. An empty name is the page of this command.
  TPage* OpenTarget(TCallMan& cm, int32_t& pc) {
    std::string name = fields[kPage].str;
    if (name.empty() && Page()) name = Page()->file_name;
    if (cm.page_available && !cm.page_available(name)) return nullptr;
    const int32_t next = pc;
    TPage* p = nullptr;
    try {
      p = cm.GetPage(name, false);
    } catch (const EQuenError&) {
      p = nullptr;
    }
    pc = next;
    name_ = name;
    return p;
  }
  const std::string& TargetName() const { return name_; }

  // Ends the command in progress in return frame i, when it had started and its pc lies in
  // its page (frames come from saves as well).
  static void AbortFrame(TCallMan& cm, int32_t i) {
    TStack& f = cm.Frames().At(i);
    if (!f.started || f.page_name.empty()) return;
    const int32_t pc = cm.pc;
    TPage* p = nullptr;
    try {
      p = cm.GetPage(f.page_name, false);
    } catch (const EQuenError&) {
      p = nullptr;
    }
    cm.pc = pc;
    if (!p || f.pc < 0 || f.pc >= p->Commands().Count()) return;
    TCommand* c = p->Commands().At(f.pc);
    try {
      if (f.state) {
        f.state->Seek(0, TSeekOrigin::soBeginning);
        c->LoadState(*f.state);
      }
      c->Abort();
    } catch (const EQuenError&) {
    }
  }

 private:
  std::string name_;
};

class TComReset : public TComResetBase {
 public:
  TComReset() : TComResetBase(41) {}
  void Execute(TCallMan& cm, TPage*& page, int32_t& pc) override {
    ++pc;
    if (!OpenTarget(cm, pc)) return;
    for (int32_t i = cm.Frames().Count() - 1; i >= 0; --i) AbortFrame(cm, i);
    cm.Registry().Reset();
    cm.Vars().ResetVariables();
    if (cm.reset_game) cm.reset_game();
    if (TQuenHistoryFormatManager* formats = HistoryFormats()) formats->Reset();
    page = cm.StartPage(TargetName());
    pc = fields[kTarget].num;
  }
};

class TComPCReset : public TComResetBase {
 public:
  TComPCReset() : TComResetBase(40) {}
  void Execute(TCallMan& cm, TPage*& page, int32_t& pc) override {
    ++pc;
    if (!OpenTarget(cm, pc)) return;
    TStackList& frames = cm.Frames();
    cm.Vars().DeleteOwnedBy(frames.Count());
    if (fields[kFull].num != 0) {
      // Every frame goes, and with it every command it had started.
      for (int32_t i = frames.Count() - 1; i >= 0; --i) {
        cm.Vars().DeleteOwnedBy(i);
        AbortFrame(cm, i);
      }
      page = cm.StartPage(TargetName());
      pc = fields[kTarget].num;
      cm.Events().Clear();
      return;
    }
    // The script below the lowest event handler is sent to the place; the running handler
    // goes on and later returns into it.
    int32_t point = -1;
    for (int32_t i = 0; i < frames.Count(); ++i)
      if (frames.At(i).sender) {
        point = i;
        break;
      }
    if (point < 0 && cm.sender) point = frames.Count();
    int32_t found = -1;
    for (int32_t i = point - 1; i >= 0; --i)
      if (!frames.At(i).sender) {
        found = i;
        break;
      }
    if (found >= 0) {
      cm.Vars().DeleteOwnedBy(found);
      AbortFrame(cm, found);
      TStack& f = frames.At(found);
      f.page_name = TargetName();
      f.pc = fields[kTarget].num;
      f.started = 0;
      f.result_name.clear();
      f.params.clear();
      f.state.reset();
    } else {
      page = cm.GetPage(TargetName(), true);
      pc = fields[kTarget].num;
    }
    cm.Events().RemoveRunning();
  }
};

}  // namespace

std::unique_ptr<TCommand> NewResetCommand(uint8_t code) {
  if (code == 40) return std::make_unique<TComPCReset>();
  if (code == 41) return std::make_unique<TComReset>();
  return nullptr;
}

}  // namespace quen
