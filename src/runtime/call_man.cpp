#include "runtime/call_man.h"

#include <cstdio>

#include "base/error.h"
#include "base/sjis.h"
#include "components/quen_base_list.h"
#include "expr/param_collection.h"
#include "expr/param_system.h"
#include "expr/quen_parser.h"
#include "runtime/interp_messages.h"

namespace quen {

namespace {

std::string NameOf(const TQuenBaseList& registry, TQuenHandle h) {
  const TQuenObject* o = registry.Resolve(h);
  return o ? o->Name() : std::string();
}

TQuenHandle HandleOf(const TQuenBaseList& registry, const std::string& name) {
  if (name.empty()) return {};
  const TQuenObject* o = registry.FindByName(name);
  return o ? o->Handle() : TQuenHandle{};
}

constexpr int kSvParamCount = 9;
constexpr int kSvParamStr = 10;
constexpr int kSvSender = 11;
constexpr int kSvStackCount = 50;

// @ParamStr[i]: the parameters of the current call.
class TParamStrValue : public TFunctionScalar {
 public:
  explicit TParamStrValue(const TCallMan& cm)
      : TFunctionScalar([&cm] { return cm.ParamStr(0); }), cm_(cm) {}
  std::string GetStrAt(int32_t i) const override { return cm_.ParamStr(i); }

 private:
  const TCallMan& cm_;
};

// @Result: the result value of the top frame; reads nothing and ignores writes without one.
class TResultValue : public TCustomParam {
 public:
  explicit TResultValue(TCallMan& cm) : cm_(cm) {}
  uint8_t GetValueType() const override { return T() ? T()->GetValueType() : PT_NONE; }
  int32_t GetCount() const override { return T() ? T()->GetCount() : 1; }
  bool GetAsBool() const override { return T() && T()->GetAsBool(); }
  long double GetAsFloat() const override { return T() ? T()->GetAsFloat() : 0; }
  int32_t GetAsInteger() const override { return T() ? T()->GetAsInteger() : 0; }
  std::string GetAsString() const override { return T() ? T()->GetAsString() : std::string(); }
  void SetAsBool(bool v) override {
    if (T()) T()->SetAsBool(v);
  }
  void SetAsFloat(long double v) override {
    if (T()) T()->SetAsFloat(v);
  }
  void SetAsInteger(int32_t v) override {
    if (T()) T()->SetAsInteger(v);
  }
  void SetAsString(std::string_view v) override {
    if (T()) T()->SetAsString(v);
  }
  int32_t GetIntAt(int32_t i) const override { return T() ? T()->GetIntAt(i) : 0; }
  void SetIntAt(int32_t i, int32_t v) override {
    if (T()) T()->SetIntAt(i, v);
  }
  long double GetFloatAt(int32_t i) const override { return T() ? T()->GetFloatAt(i) : 0; }
  void SetFloatAt(int32_t i, long double v) override {
    if (T()) T()->SetFloatAt(i, v);
  }
  bool GetBoolAt(int32_t i) const override { return T() && T()->GetBoolAt(i); }
  void SetBoolAt(int32_t i, bool v) override {
    if (T()) T()->SetBoolAt(i, v);
  }
  std::string GetStrAt(int32_t i) const override { return T() ? T()->GetStrAt(i) : std::string(); }
  void SetStrAt(int32_t i, std::string_view v) override {
    if (T()) T()->SetStrAt(i, v);
  }
  void AssignRaw(const TCustomParam& o) override {
    if (T()) T()->AssignRaw(o);
  }
  void CopyFromSameType(const TCustomParam& o) override {
    if (T()) T()->CopyFromSameType(o);
  }

 private:
  TCustomParam* T() const { return cm_.TopResult(); }
  TCallMan& cm_;
};

}  // namespace

std::string QuoteForExpression(const std::string& text) {
  std::string out = "\"";
  for (size_t i = 0; i < text.size();) {
    size_t n = sjis::CharLen(text, i);
    if (n == 1 && (text[i] == '"' || text[i] == '\\')) out += '\\';
    out.append(text, i, n);
    i += n;
  }
  out += '"';
  return out;
}

void TStack::SaveToStream(TStream& s, const TQuenBaseList& registry) const {
  WriteString(s, page_name);
  WriteInt32(s, pc);
  WriteByte(s, started);
  WriteByte(s, cont);
  WriteString(s, result_name);
  WriteStringList(s, params);
  WriteString(s, NameOf(registry, sender));
  const std::string empty;
  const std::string& st = state ? state->Data() : empty;
  WriteInt32(s, static_cast<int32_t>(st.size()));
  s.WriteBuffer(st.data(), static_cast<int64_t>(st.size()));
  if (result) {
    WriteByte(s, result->GetValueType());
    result->SaveToStream(s);
  } else {
    WriteByte(s, PT_NONE);
  }
}

void TStack::LoadFromStream(TStream& s, const TQuenBaseList& registry, TParamCollection& vars) {
  page_name = ReadString(s);
  pc = ReadInt32(s);
  started = ReadByte(s);
  cont = ReadByte(s);
  result_name = ReadString(s);
  params = ReadStringList(s);
  sender = HandleOf(registry, ReadString(s));
  int32_t n = ReadInt32(s);
  if (n < 0 || n > s.Remaining()) RaiseError("Stream read error");
  state.reset();
  if (n > 0) state = std::make_unique<TKvMemoryStream>(ReadBytes(s, n));
  uint8_t type = ReadByte(s);
  result.reset();
  if (type > PT_STR) RaiseError("Stream read error");
  if (type != PT_NONE) {
    result = NewParam(type, &vars);
    result->LoadFromStream(s);
  }
}

TStack& TStackList::Push() {
  items_.push_back(std::make_unique<TStack>());
  Renumber();
  return *items_.back();
}

TStack& TStackList::Pop() {
  if (items_.empty()) RaiseError(msg::kStackError);
  spare_ = std::move(*items_.back());
  items_.pop_back();
  Renumber();
  return spare_;
}

bool TStackList::Remove(int32_t i) {
  if (i < 0 || i >= Count()) return false;
  items_.erase(items_.begin() + i);
  Renumber();
  return true;
}

void TStackList::Clear() {
  items_.clear();
  Renumber();
}

void TStackList::Renumber() {
  vars_.SetCurrentFrameId(Count());
}

void TStackList::SaveToStream(TStream& s, const TQuenBaseList& registry) const {
  spare_.SaveToStream(s, registry);
  WriteInt32(s, Count());
  for (const auto& f : items_) f->SaveToStream(s, registry);
}

void TStackList::LoadFromStream(TStream& s, const TQuenBaseList& registry) {
  TStack spare;
  spare.LoadFromStream(s, registry, vars_);
  int32_t n = ReadInt32(s);
  // A frame holds at least its fixed fields: 8 Int32 and 3 bytes.
  if (n < 0 || n > s.Remaining() / 35) RaiseError("Stream read error");
  std::vector<std::unique_ptr<TStack>> items;
  for (int32_t i = 0; i < n; ++i) {
    items.push_back(std::make_unique<TStack>());
    items.back()->LoadFromStream(s, registry, vars_);
  }
  spare_ = std::move(spare);
  items_ = std::move(items);
  Renumber();
}

bool TCallMan::DeleteFrame(int32_t i) {
  if (i < 0 || i >= stack_.Count()) return false;
  vars_.DeleteOwnedBy(i);
  stack_.Remove(i);
  vars_.RenumberOwnersAbove(i);
  return true;
}

bool TCallMan::Idle() {
  const bool ended = !page || pc < 0 || pc >= page->Commands().Count();
  return ended && stack_.Count() == 0 && state == 0 && Events().Count() == 0;
}

TTimerList& TCallMan::Events() {
  return registry_.Events();
}

TCallMan::TCallMan(TParamCollection& vars, const TSysFuncMan& funcs, TQuenBaseList& registry)
    : vars_(vars), funcs_(funcs), registry_(registry), stack_(vars) {
  vars_.SetSystemValue(SV_RESULT, std::make_unique<TResultValue>(*this));
  vars_.SetSystemValue(kSvParamCount,
                       std::make_unique<TFunctionScalar>(PT_INT, [this] { return ParamCount(); }));
  vars_.SetSystemValue(kSvParamStr, std::make_unique<TParamStrValue>(*this));
  vars_.SetSystemValue(kSvSender,
                       std::make_unique<TFunctionScalar>([this] { return SenderName(); }));
  vars_.SetSystemValue(
      kSvStackCount, std::make_unique<TFunctionScalar>(PT_INT, [this] { return stack_.Count(); }));
}

TCallMan::~TCallMan() {
  for (int n : {int{SV_RESULT}, kSvParamCount, kSvParamStr, kSvSender, kSvStackCount})
    vars_.SetSystemValue(n, nullptr);
}

void TCallMan::Start(const std::string& name) {
  TCallManBase::Start(name);
  StartPage(name);
}

TPage* TCallMan::StartPage(const std::string& name) {
  page = GetPage(name, true);
  pc = 0;
  started = 0;
  params.clear();
  state = 0;
  stack_.Clear();
  sender = {};
  for (int32_t l = 1; l <= level; ++l) Events().RemoveLevel(l);
  level = 2;
  return page;
}

TPage* TCallMan::GetPage(const std::string& name, bool to_front) {
  for (auto it = pages_.begin(); it != pages_.end(); ++it) {
    if ((*it)->file_name != name) continue;
    if (to_front) {
      pages_.splice(pages_.begin(), pages_, it);
      pc = 0;
    }
    return pages_.front().get() == it->get() ? pages_.front().get() : it->get();
  }
  auto p = std::make_unique<TPage>();
  p->Load(name);
  ++page_loads;
  TPage* raw = p.get();
  if (!to_front) {
    pages_.push_back(std::move(p));
    return raw;
  }
  pages_.push_front(std::move(p));
  while (pages_.size() > kCachedPages) {
    if (pages_.back().get() == page) break;
    // A page still named by a return frame is reloaded by name when it is needed again.
    pages_.pop_back();
  }
  return raw;
}

std::string TCallMan::ParamStr(int32_t i) const {
  if (i < 0 || i >= ParamCount()) return {};
  return params[static_cast<size_t>(i)];
}

std::string TCallMan::SenderName() const {
  if (state == 0) return {};
  return NameOf(registry_, sender);
}

TCustomParam* TCallMan::TopResult() {
  TStack* top = stack_.Top();
  return top ? top->result.get() : nullptr;
}

bool TCallMan::EventsBlocked() const {
  return page && pc >= 0 && pc < page->Commands().Count() && started &&
         page->Commands().At(pc)->BlocksEvents();
}

void TCallMan::Trace(TCommand* c) {
  if (!trace || c == traced_) return;
  traced_ = c;
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.8x : ", static_cast<unsigned>(clock));
  trace(buf + page->file_name + "(" + std::to_string(c->line) + ")");
}

int TCallMan::StepCommand() {
  if (!page) {
    // Nothing to run: the frame must end, whatever the last command asked.
    cont = 0;
    return 0;
  }
  int result = 0;
  bool ended = false;
  last_step_raised = false;
  if (pc < 0 || pc >= page->Commands().Count()) {
    ended = true;
  } else {
    TCommand* c = page->Commands().At(pc);
    Trace(c);
    TPage* p = page;
    bool busy = false;
    const int32_t at = pc;
    try {
      if (!started) {
        if (c->GetDisabled()) {
          ++pc;
          return 0;
        }
        c->Start(*this);
        started = 1;
      }
      cont = c->GetContinue() ? 1 : 0;
      busy = c->IsBusy();
      int32_t before = pc;
      c->Execute(*this, p, pc);
      if (!(p == page && pc == before)) {
        started = 0;
        // A busy command that moved on (a Wait whose condition is false) no longer holds the
        // frame; the continue flag decides, as for any command.
        busy = false;
      }
    } catch (const EQuenError&) {
      // The command has no effect; pc and started stay where they were. A command that moved
      // past itself before it raised is not run again, and the next one starts afresh.
      last_step_raised = true;
      if (pc != at) started = 0;
    }
    result = busy ? 2 : 0;
    if (p) {
      page = p;
      return result;
    }
    ended = true;
  }
  if (!ended) return result;
  if (stack_.Count() == 0) {
    cont = 0;
    return result;
  }
  vars_.DeleteOwnedBy(stack_.Count());
  TStack& f = stack_.Pop();
  // A frame without a result value (a page returning nothing) leaves the variable alone.
  if (!f.result_name.empty() && f.result) {
    TParamCollectionItem* var = vars_.FindVariable(f.result_name);
    if (var && var->Value()) {
      TCustomParam& v = *var->Value();
      switch (v.GetValueType()) {
        case PT_INT:
          v.SetAsInteger(f.result->GetAsInteger());
          break;
        case PT_FLOAT:
          v.SetAsFloat(f.result->GetAsFloat());
          break;
        case PT_BOOL:
          v.SetAsBool(f.result->GetAsBool());
          break;
        default:
          v.SetAsString(f.result->GetAsString());
          break;
      }
    } else if (!var) {
      std::string text = f.result->GetAsString();
      RunText(f.result_name + " = " + QuoteForExpression(text), vars_, funcs_);
    }
  }
  // A caller's page that can no longer be loaded (or none, for an event that came while no
  // page ran) stops the script instead of failing the frame.
  page = nullptr;
  if (!f.page_name.empty()) {
    try {
      page = GetPage(f.page_name, true);
    } catch (const EQuenError&) {
      page = nullptr;
    }
  }
  pc = f.pc;
  started = f.started;
  cont = f.cont;
  params = std::move(f.params);
  sender = f.sender;
  if (!page) cont = 0;
  if (f.state && page && pc >= 0 && pc < page->Commands().Count()) {
    f.state->Seek(0, TSeekOrigin::soBeginning);
    page->Commands().At(pc)->LoadState(*f.state);
  }
  f.state.reset();
  if (!registry_.Resolve(sender)) return 1;
  return result == 2 ? 2 : -1;
}

void TCallMan::PushFrame(std::string result_name) {
  TStack& f = stack_.Push();
  f.page_name = page ? page->file_name : std::string();
  f.pc = pc;
  f.started = 0;
  f.result_name = std::move(result_name);
  f.cont = cont;
  f.sender = sender;
  f.params = params;
}

int TCallMan::Dispatch(int32_t lvl) {
  if (EventsBlocked()) return 0;
  TTimerData* ev = Events().FirstWaiting();
  if (!ev) return 0;
  // The label follows the last ":" that is not part of "\" or "." path text.
  const std::string& text = ev->EventText;
  size_t split = std::string::npos;
  for (size_t i = 0; i < text.size();) {
    size_t n = sjis::CharLen(text, i);
    if (n == 1 && text[i] == ':' &&
        !(i + 1 < text.size() && (text[i + 1] == '.' || text[i + 1] == '\\')))
      split = i;
    i += n;
  }
  std::string page_name = split == std::string::npos ? text : text.substr(0, split);
  std::string label = split == std::string::npos ? std::string() : text.substr(split + 1);
  if (page_name.size() >= 3) page_name.replace(page_name.size() - 3, 3, "qsb");
  if (!Available(page_name)) return 0;
  const int32_t here = pc;
  TPage* target = nullptr;
  try {
    target = GetPage(page_name, true);
  } catch (const EQuenError&) {
    target = nullptr;
  }
  pc = here;
  if (!target) return 0;
  TStack& f = stack_.Push();
  f.page_name = page ? page->file_name : std::string();
  f.pc = pc;
  f.started = started;
  f.cont = cont;
  f.params = params;
  f.sender = sender;
  if (started && page && pc >= 0 && pc < page->Commands().Count()) {
    std::unique_ptr<TStream> st;
    page->Commands().At(pc)->SaveState(st);
    if (st) {
      auto mem = std::make_unique<TKvMemoryStream>();
      st->Seek(0, TSeekOrigin::soBeginning);
      std::string data = ReadBytes(*st, st->GetSize());
      f.state = std::make_unique<TKvMemoryStream>(std::move(data));
    }
  }
  page = target;
  pc = label.empty() ? 0 : page->Commands().FindLabel(label);
  if (pc < 0) pc = 0;
  started = 0;
  if (trace && pc < page->Commands().Count()) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.8x : ", static_cast<unsigned>(clock));
    trace(buf + std::string("<Event>") + page->file_name + "(" +
          std::to_string(page->Commands().At(pc)->line) + ")");
    traced_ = page->Commands().At(pc);
  }
  ev->Level = lvl;
  params = ev->Args;
  sender = ev->Sender;
  state = 1;
  return 1;
}

void TCallMan::Run() {
  for (;;) {
    bool end_frame = false;
    switch (state) {
      case 0:
        if (Dispatch(1) == 1) break;
        // A busy command ends the frame even when it asks to continue: the clock does not
        // move within a frame. So does a command that raised, which would raise again.
        if (StepCommand() == 2 || last_step_raised) end_frame = true;
        break;
      case 1: {
        int r = StepCommand();
        if (r == 1) {
          Events().RemoveLevel(1);
          state = 0;
          cont = 1;
        } else if (r == 2) {
          level = 2;
          state = 2;
          end_frame = true;
        } else if (state != 1) {
          cont = 1;
        }
        if (last_step_raised) end_frame = true;
        break;
      }
      case 2:
        if (Dispatch(level) == 1) {
          ++level;
          state = 3;
        } else {
          state = level > 2 ? 3 : 1;
        }
        break;
      default: {
        int r = StepCommand();
        if (r == 1 || r == -1) {
          --level;
          Events().RemoveLevel(level);
          if (level <= 2) state = 2;
        } else if (r == 2) {
          state = 2;
          end_frame = true;
        }
        if (last_step_raised) end_frame = true;
        break;
      }
    }
    if (end_frame) break;
    if (!((cont || state != 0) && !TerminateFlag())) break;
  }
}

void TCallMan::RunToReturn() {
  // The end page at shut-down: run its commands until it ends, without frames or events.
  const int32_t depth = stack_.Count();
  for (int64_t guard = 0; page && guard < 10'000'000; ++guard) {
    if (pc < 0 || pc >= page->Commands().Count()) {
      if (stack_.Count() <= depth) break;
    }
    // No frames pass at shut-down: a command that waits or fails ends the run.
    if (StepCommand() == 2 || last_step_raised) break;
  }
}

void TCallMan::SaveToStream(TStream& s, int32_t save_version) {
  WriteString(s, page ? page->file_name : std::string());
  WriteInt32(s, pc);
  WriteByte(s, cont);
  WriteByte(s, started);
  WriteInt32(s, state);
  WriteString(s, NameOf(registry_, sender));
  WriteStringList(s, params);
  stack_.SaveToStream(s, registry_);
  if (save_version >= 116) WriteInt32(s, level);
  if (started && page && pc >= 0 && pc < page->Commands().Count()) {
    std::unique_ptr<TStream> st;
    page->Commands().At(pc)->SaveState(st);
    if (st) {
      st->Seek(0, TSeekOrigin::soBeginning);
      std::string data = ReadBytes(*st, st->GetSize());
      s.WriteBuffer(data.data(), static_cast<int64_t>(data.size()));
    }
  }
}

void TCallMan::LoadFromStream(TStream& s, int32_t save_version) {
  std::string name = ReadString(s);
  int32_t new_pc = ReadInt32(s);
  uint8_t new_cont = ReadByte(s);
  uint8_t new_started = ReadByte(s);
  int32_t new_state = ReadInt32(s);
  if (new_state < 0 || new_state > 3) RaiseError("Stream read error");
  std::string sender_name = ReadString(s);
  std::vector<std::string> new_params = ReadStringList(s);
  stack_.LoadFromStream(s, registry_);
  int32_t new_level = save_version >= 116 ? ReadInt32(s) : 2;
  page = name.empty() ? nullptr : GetPage(name, true);
  pc = new_pc;
  cont = new_cont;
  started = new_started;
  state = new_state;
  sender = HandleOf(registry_, sender_name);
  params = std::move(new_params);
  level = new_level;
  if (started && page && pc >= 0 && pc < page->Commands().Count())
    page->Commands().At(pc)->LoadState(s);
}

}  // namespace quen
