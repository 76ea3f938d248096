// The command classes: control flow, calculations, variables and waits run here; the commands
// of components, text, media, screens and resets come from their own files (com_support.h); the
// history and save commands keep their stored fields until their parts run them.
#include "base/error.h"
#include "expr/param_collection.h"
#include "runtime/call_man.h"
#include "runtime/com_support.h"
#include "runtime/interp_messages.h"

namespace quen {

namespace {

// Indices of fields in each layout.
enum : int { kJumpPage = 0, kJumpTarget = 1, kJumpCond = 2 };
enum : int { kCallPage = 0, kCallTarget = 1, kCallResult = 2, kCallCond = 3, kCallArgs = 4 };

}  // namespace

TCustomParam* TCommand::Eval(TCallMan& cm, int i) {
  TQuenParser& e = fields[static_cast<size_t>(i)].expr;
  e.Execute(cm.Vars(), cm.Funcs());
  return e.Result();
}

bool TCommand::CondTrue(TCallMan& cm, int i) {
  // The empty expression produces no value, and no value is not true.
  if (fields[static_cast<size_t>(i)].expr.Records().empty()) return false;
  TCustomParam* r = Eval(cm, i);
  return r && r->GetAsBool();
}

void TCommand::Execute(TCallMan&, TPage*&, int32_t& pc) {
  ++pc;
}

// Commands whose own fields are read now and run by later parts of the player.
class TComStored : public TCommand {
 public:
  using TCommand::TCommand;
  bool GetContinue() const override {
    // GameSave and GameLoad never continue.
    return code_ != 38 && code_ != 39 && TCommand::GetContinue();
  }
};

class TComIf : public TCommand {
 public:
  TComIf() : TCommand(0) {}
  void Execute(TCallMan& cm, TPage*& page, int32_t& pc) override {
    int32_t self = pc;
    ++pc;
    if (CondTrue(cm, 0)) return;
    const TComList& list = page->Commands();
    for (int32_t i = self + 1; i < list.Count(); ++i) {
      TCommand* c = list.At(i);
      if (c->indent > indent) continue;
      pc = i;
      if (c->indent < indent) return;
      uint8_t code = c->GetCode();
      if (code == 1) {
        if (c->CondTrue(cm, 0)) {
          pc = i + 1;
          return;
        }
        continue;
      }
      if (code == 2) pc = i + 1;
      return;
    }
    pc = list.Count();
  }
};

// Elseif and Else are reached at the end of a taken branch: skip the rest of the chain.
class TComElseif : public TCommand {
 public:
  explicit TComElseif(uint8_t code = 1) : TCommand(code) {}
  void Execute(TCallMan&, TPage*& page, int32_t& pc) override {
    const TComList& list = page->Commands();
    int32_t i = pc + 1;
    while (i < list.Count() && list.At(i)->indent > indent) ++i;
    pc = i;
  }
};

class TComElse : public TComElseif {
 public:
  TComElse() : TComElseif(2) {}
  bool GetContinue() const override { return true; }
};

class TComLabel : public TCommand {
 public:
  TComLabel() : TCommand(3) { continue_ = 1; }
  bool MatchesLabel(const std::string& name) const override { return fields[0].str == name; }
};

class TComComment : public TCommand {
 public:
  TComComment() : TCommand(27) {}
  bool GetDisabled() const override { return true; }
  bool GetContinue() const override { return false; }
};

class TComJump : public TCommand {
 public:
  TComJump() : TCommand(4) {}
  void Execute(TCallMan& cm, TPage*& page, int32_t& pc) override {
    ++pc;
    if (!CondTrue(cm, kJumpCond)) return;
    int32_t target = fields[kJumpTarget].num;
    TPage* p = Enter(cm, fields[kJumpPage].str, pc);
    if (!p || target < 0 || target > p->Commands().Count()) return;
    page = p;
    pc = target;
  }

 protected:
  explicit TComJump(uint8_t code) : TCommand(code) {}
  // The page to enter, brought to the front of the cache; null when it is missing. pc keeps
  // its value (the cache resets it when it brings a page forward).
  static TPage* Enter(TCallMan& cm, const std::string& name, int32_t& pc) {
    // An empty name names no page; the page text form writes the page's own name instead.
    if (name.empty()) return nullptr;
    if (cm.page_available && !cm.page_available(name)) return nullptr;
    const int32_t next = pc;
    TPage* p = nullptr;
    try {
      p = cm.GetPage(name, true);
    } catch (const EQuenError&) {
      p = nullptr;
    }
    pc = next;
    return p;
  }
};

class TComCall : public TComJump {
 public:
  TComCall() : TComJump(5) {}
  void Execute(TCallMan& cm, TPage*& page, int32_t& pc) override {
    ++pc;
    if (!CondTrue(cm, kCallCond)) return;
    int32_t target = fields[kCallTarget].num;
    std::vector<std::string> args;
    for (TQuenParser& e : fields[kCallArgs].list) {
      e.Execute(cm.Vars(), cm.Funcs());
      if (e.Result()) args.push_back(e.Result()->GetAsString());
    }
    TPage* p = Enter(cm, fields[kCallPage].str, pc);
    // A target outside the page would leave it unnoticed; treat it like a missing page.
    if (!p || target < 0 || target > p->Commands().Count()) return;
    // pc is the call manager's own counter, already past this command.
    cm.PushFrame(fields[kCallResult].str);
    cm.params = std::move(args);
    page = p;
    pc = target;
    // A page whose result type is none, or one the value table does not know, returns nothing.
    if (p->result_type >= PT_INT && p->result_type <= PT_STR)
      cm.Frames().Top()->result = NewParam(p->result_type, &cm.Vars());
  }
};

class TComExit : public TCommand {
 public:
  TComExit() : TCommand(6) {}
  void Execute(TCallMan& cm, TPage*& page, int32_t& pc) override {
    if (CondTrue(cm, 0))
      page = nullptr;
    else
      ++pc;
  }
};

class TComWait : public TCommand {
 public:
  TComWait() : TCommand(7) {}
  void Start(TCallMan& cm) override {
    TCustomParam* t = fields[1].expr.Records().empty() ? nullptr : Eval(cm, 1);
    remaining_ = t ? t->GetAsInteger() : 0;
    first_ = 1;
    block_ = 0;
    if (fields[2].present && !fields[2].expr.Records().empty()) {
      TCustomParam* b = Eval(cm, 2);
      block_ = b && b->GetAsBool();
    }
  }
  void Execute(TCallMan& cm, TPage*&, int32_t& pc) override {
    TCustomParam* c = fields[0].expr.Records().empty() ? nullptr : Eval(cm, 0);
    if (c && !c->GetAsBool()) {
      ++pc;
      return;
    }
    cm.cont = 0;
    if (remaining_ == 0) return;
    if (first_) {
      first_ = 0;
      return;
    }
    remaining_ -= cm.frame_ms;
    if (remaining_ <= 0) ++pc;
  }
  // The Wait stays on itself across frames, also inside a handler.
  bool IsBusy() const override { return true; }
  bool BlocksEvents() const override { return block_; }
  void SaveState(std::unique_ptr<TStream>& s) override {
    if (!s) s = std::make_unique<TKvMemoryStream>();
    s->WriteBuffer("quen100", 7);
    WriteInt32(*s, remaining_);
    WriteInt32(*s, first_);
    WriteByte(*s, block_ ? 1 : 0);
  }
  void LoadState(TStream& s) override {
    int version = ReadStateTag(s);
    remaining_ = ReadInt32(s);
    first_ = ReadInt32(s);
    block_ = version >= 100 ? ReadByte(s) != 0 : false;
  }
  void Abort() override { remaining_ = 0; }

  // Reads the "quen" tag and returns its version; without the tag the record is version 0
  // and is read from where it began.
  static int ReadStateTag(TStream& s) {
    int64_t at = s.GetPosition();
    char tag[7];
    if (s.Remaining() >= 7 && s.Read(tag, 7) == 7 && std::string(tag, 4) == "quen" &&
        tag[4] >= '0' && tag[4] <= '9' && tag[5] >= '0' && tag[5] <= '9' && tag[6] >= '0' &&
        tag[6] <= '9')
      return (tag[4] - '0') * 100 + (tag[5] - '0') * 10 + (tag[6] - '0');
    s.SetPosition(at);
    return 0;
  }

 private:
  int32_t remaining_ = 0;
  int32_t first_ = 0;
  bool block_ = false;
};

class TComCalc : public TCommand {
 public:
  explicit TComCalc(uint8_t code = 14) : TCommand(code) {}
  void Execute(TCallMan& cm, TPage*&, int32_t& pc) override {
    fields[0].expr.Execute(cm.Vars(), cm.Funcs());
    ++pc;
  }
};

class TComWhileInit : public TComCalc {
 public:
  TComWhileInit() : TComCalc(32) {}
  bool GetContinue() const override { return true; }
};

class TComWhile : public TCommand {
 public:
  TComWhile() : TCommand(31) {}
  void Execute(TCallMan& cm, TPage*&, int32_t& pc) override {
    ++pc;
    TQuenParser& e = fields[0].expr;
    e.Execute(cm.Vars(), cm.Funcs());
    if (!(e.Result() && e.Result()->GetAsBool())) pc = fields[1].num;
  }
};

class TComWhileLoop : public TCommand {
 public:
  TComWhileLoop() : TCommand(33) {}
  void Execute(TCallMan& cm, TPage*&, int32_t& pc) override {
    fields[0].expr.Execute(cm.Vars(), cm.Funcs());
    pc = fields[1].num;
  }
};

class TComBreak : public TCommand {
 public:
  explicit TComBreak(uint8_t code = 34) : TCommand(code) {}
  void Execute(TCallMan& cm, TPage*& page, int32_t& pc) override {
    bool go = CondTrue(cm, 0);
    if (code_ == 35) ++pc;
    if (!go) {
      if (code_ == 34) ++pc;
      return;
    }
    if (fields[1].num >= 0)
      pc = fields[1].num;
    else
      page = nullptr;
  }
};

class TComVarNew : public TCommand {
 public:
  TComVarNew() : TCommand(15) {}
  void Execute(TCallMan& cm, TPage*&, int32_t& pc) override {
    ++pc;
    bool evaluate = false;
    uint8_t type = static_cast<uint8_t>(fields[1].num);
    TParamCollectionItem* r =
        cm.Vars().Declare(fields[0].str, type, static_cast<uint8_t>(fields[3].num), evaluate);
    if (!r || !evaluate) return;
    TCustomParam* v = Eval(cm, 2);
    if (v) TParamCollection::StoreInitialValue(*r, type, *v);
  }
};

class TComVarDel : public TCommand {
 public:
  TComVarDel() : TCommand(16) {}
  void Execute(TCallMan& cm, TPage*&, int32_t& pc) override {
    ++pc;
    if (TParamCollectionItem* r = cm.Vars().FindVariable(fields[0].str))
      cm.Vars().DeleteVariable(r);
  }
};

class TComDoEvent : public TCommand {
 public:
  TComDoEvent() : TCommand(46) {}
  bool GetContinue() const override { return false; }
  bool IsBusy() const override { return true; }
};

class TComTerminate : public TCommand {
 public:
  TComTerminate() : TCommand(45) {}
  void Execute(TCallMan& cm, TPage*&, int32_t& pc) override {
    ++pc;
    SetTerminateFlag(true);
    if (cm.request_close) cm.request_close();
  }
};

std::unique_ptr<TCommand> NewCommand(uint8_t code) {
  switch (code) {
    case 0:
      return std::make_unique<TComIf>();
    case 1:
      return std::make_unique<TComElseif>();
    case 2:
      return std::make_unique<TComElse>();
    case 3:
      return std::make_unique<TComLabel>();
    case 4:
      return std::make_unique<TComJump>();
    case 5:
      return std::make_unique<TComCall>();
    case 6:
      return std::make_unique<TComExit>();
    case 7:
      return std::make_unique<TComWait>();
    case 14:
      return std::make_unique<TComCalc>();
    case 15:
      return std::make_unique<TComVarNew>();
    case 16:
      return std::make_unique<TComVarDel>();
    case 27:
      return std::make_unique<TComComment>();
    case 31:
      return std::make_unique<TComWhile>();
    case 32:
      return std::make_unique<TComWhileInit>();
    case 33:
      return std::make_unique<TComWhileLoop>();
    case 34:
      return std::make_unique<TComBreak>(34);
    case 35:
      return std::make_unique<TComBreak>(35);
    case 45:
      return std::make_unique<TComTerminate>();
    case 46:
      return std::make_unique<TComDoEvent>();
    default:
      for (auto make : {NewComponentCommand, NewScreenCommand, NewTextCommand, NewResetCommand})
        if (std::unique_ptr<TCommand> c = make(code)) return c;
      if (code < kCommandCount) return std::make_unique<TComStored>(code);
      RaiseError(msg::kBadCommand);
  }
}

}  // namespace quen
