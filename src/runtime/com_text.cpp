// The text commands: TextIns puts the message stored in the command into a message box, TextClr
// clears a box and ClrRead forgets what was read. The box reads the message by page file and
// command index through the text source, which is served here from the page cache.
#include "base/error.h"
#include "components/message_target.h"
#include "components/quen_base_list.h"
#include "runtime/com_support.h"
#include "runtime/text_pages.h"
#include "text/text_source.h"

namespace quen {

namespace {

using com::BoolOf;

constexpr uint8_t kCodeTextIns = 20;

IMessageTarget* BoxOf(TQuenObject* o) {
  return o && !o->IsRoot() ? dynamic_cast<IMessageTarget*>(o) : nullptr;
}

class TComTextIns : public TCommand {
 public:
  enum : int { kText = 0, kBox = 1, kRead = 2, kWait = 3, kBlock = 4 };
  TComTextIns() : TCommand(kCodeTextIns) {}

  void Start(TCallMan& cm) override {
    block_ = BoolOf(cm, *this, kBlock).value_or(false);
    target_ = {};
    target_name_.clear();
    wait_ = false;
    relink_ = false;
    if (fields[kText].str.empty()) return;
    TQuenObject* o = com::Named(cm, *this, kBox);
    IMessageTarget* box = BoxOf(o);
    if (!box) return;
    const TQuenHandle h = o->Handle();
    const std::string file = Page() ? Page()->file_name : std::string();
    const int32_t index = cm.pc;
    box->ClearReadTracking();
    const bool read = BoolOf(cm, *this, kRead).value_or(false);
    if (cm.Registry().Resolve(h) != o) return;
    if (read) box->StartReadTracking(file, index);
    box->InsertTextPart(file, index);
    if (cm.Registry().Resolve(h) != o) return;
    target_ = h;
    target_name_ = o->Name();
    wait_ = BoolOf(cm, *this, kWait).value_or(false);
  }
  void Execute(TCallMan& cm, TPage*&, int32_t& pc) override {
    if (Showing(cm)) {
      cm.cont = 0;
      return;
    }
    ++pc;
  }
  bool IsBusy() const override { return wait_ && static_cast<bool>(target_); }
  bool BlocksEvents() const override { return block_; }
  void Abort() override {
    wait_ = false;
    target_ = {};
  }
  void SaveState(std::unique_ptr<TStream>& s) override {
    if (!s) s = std::make_unique<TKvMemoryStream>();
    com::WriteStateTag(*s);
    WriteString(*s, target_name_);
    WriteByte(*s, wait_ ? 1 : 0);
    WriteByte(*s, block_ ? 1 : 0);
  }
  void LoadState(TStream& s) override {
    const int version = com::ReadStateTag(s);
    target_name_ = ReadString(s);
    wait_ = ReadByte(s) != 0;
    block_ = version > 99 ? ReadByte(s) != 0 : false;
    target_ = {};
    relink_ = true;
  }

 private:
  // The box is held by handle: a box deleted meanwhile ends the wait.
  bool Showing(TCallMan& cm) {
    TQuenBaseList& registry = cm.Registry();
    if (relink_) {
      relink_ = false;
      TQuenObject* o = target_name_.empty() ? nullptr : registry.FindComponent(target_name_);
      target_ = BoxOf(o) ? o->Handle() : TQuenHandle{};
    }
    TQuenObject* o = registry.Resolve(target_);
    IMessageTarget* box = o && !o->IsScrapped() ? BoxOf(o) : nullptr;
    if (!box) target_ = {};
    target_name_ = box ? o->Name() : std::string();
    return box && wait_ && box->IsShowingText();
  }

  TQuenHandle target_;
  std::string target_name_;
  bool wait_ = false;
  bool block_ = false;
  bool relink_ = false;
};

class TComTextClr : public TCommand {
 public:
  TComTextClr() : TCommand(28) {}
  void Execute(TCallMan& cm, TPage*&, int32_t& pc) override {
    ++pc;
    if (IMessageTarget* box = BoxOf(com::Named(cm, *this, 0))) box->ClearText();
  }
};

class TComClrRead : public TCommand {
 public:
  TComClrRead() : TCommand(47) {}
  void Execute(TCallMan&, TPage*&, int32_t& pc) override {
    ++pc;
    if (IReadList* list = ReadList()) list->Clear();
  }
};

}  // namespace

std::unique_ptr<TCommand> NewTextCommand(uint8_t code) {
  switch (code) {
    case kCodeTextIns:
      return std::make_unique<TComTextIns>();
    case 28:
      return std::make_unique<TComTextClr>();
    case 47:
      return std::make_unique<TComClrRead>();
    default:
      return nullptr;
  }
}

TPageTextSource::TPageTextSource(TCallMan& cm) : cm_(cm) {}

bool TPageTextSource::FetchText(const std::string& page_file, int32_t command_index,
                                std::string& content) {
  const TPage* page = nullptr;
  for (const auto& p : cm_.Cache())
    if (p->file_name == page_file) page = p.get();
  // A page no longer cached is read on its own, leaving the cache and the script as they are.
  std::unique_ptr<TPage> loaded;
  if (!page) {
    if (cm_.page_available && !cm_.page_available(page_file)) return false;
    try {
      loaded = std::make_unique<TPage>();
      loaded->Load(page_file);
    } catch (const EQuenError&) {
      return false;
    }
    page = loaded.get();
  }
  if (command_index < 0 || command_index >= page->Commands().Count()) return false;
  const TCommand* c = page->Commands().At(command_index);
  if (c->GetCode() != kCodeTextIns || c->fields.empty() || c->fields[0].str.empty()) return false;
  content = c->fields[0].str;
  return true;
}

}  // namespace quen
