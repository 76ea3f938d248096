// The text commands: TextIns puts the message stored in the command into a message box, TextClr
// clears a box and ClrRead forgets what was read; ClrHist, CallHist and FormatHist act on the
// message history. The box reads the message by page file and
// command index through the text source, which is served here from the page cache.
#include "base/error.h"
#include "base/sjis.h"
#include "components/message_target.h"
#include "components/quen_base_list.h"
#include "components/quen_mes.h"
#include "files/file_manager.h"
#include "runtime/com_support.h"
#include "runtime/text_pages.h"
#include "text/quen_history.h"
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

class TComClrHist : public TCommand {
 public:
  TComClrHist() : TCommand(22) {}
  void Execute(TCallMan&, TPage*&, int32_t& pc) override {
    ++pc;
    if (TQuenHistoryFormatManager* formats = HistoryFormats()) formats->ClearAll();
  }
};

class TComCallHist : public TCommand {
 public:
  enum : int { kBox = 0, kStart = 1, kCount = 2, kFlag = 3, kFormat = 4 };
  TComCallHist() : TCommand(29) {}
  void Execute(TCallMan& cm, TPage*&, int32_t& pc) override {
    ++pc;
    TQuenHistoryFormatManager* formats = HistoryFormats();
    TQuenObject* o = com::Named(cm, *this, kBox);
    auto* box = o && !o->IsRoot() ? dynamic_cast<TQuenMes*>(o) : nullptr;
    if (!formats || !box) return;
    const std::optional<int32_t> start = com::IntOf(cm, *this, kStart);
    if (!start) return;
    const int32_t first = std::max(*start, 0);
    int64_t count = com::IntOf(cm, *this, kCount).value_or(1);
    const bool flag = com::BoolOf(cm, *this, kFlag).value_or(false);
    const std::string name = static_cast<size_t>(kFormat) < fields.size() && fields[kFormat].present
                                 ? com::TextOf(cm, *this, kFormat)
                                 : std::string();
    if (cm.Registry().Resolve(box->Handle()) != box) return;
    TQuenHistoryFormat* format = formats->Find(name);
    if (!format) return;
    TQuenNewHistory& history = format->History();
    count = std::min<int64_t>(count, int64_t{history.Count()} - first);
    if (count <= 0) return;
    box->Layout().settings.history_mode = flag;
    history.Show(first, static_cast<int32_t>(count), *box);
  }
};

class TComFormatHist : public TCommand {
 public:
  TComFormatHist() : TCommand(58) {}
  void Execute(TCallMan& cm, TPage*&, int32_t& pc) override {
    ++pc;
    TQuenHistoryFormatManager* formats = HistoryFormats();
    TQuenObject* o = com::Named(cm, *this, 0);
    const std::string name =
        fields.size() > 1 && fields[1].present ? com::TextOf(cm, *this, 1) : std::string();
    if (!formats) return;
    auto* box = o && !o->IsRoot() ? dynamic_cast<TQuenMes*>(o) : nullptr;
    TQuenHistoryFormat& format = formats->FindOrAdd(name);
    if (box) {
      const THistoryTemplateSource t = box->HistoryTemplate();
      TQuenHistoryFormatManager::SetTemplate(format, &t);
    } else {
      TQuenHistoryFormatManager::SetTemplate(format, nullptr);
    }
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
    case 22:
      return std::make_unique<TComClrHist>();
    case 29:
      return std::make_unique<TComCallHist>();
    case 58:
      return std::make_unique<TComFormatHist>();
    default:
      return nullptr;
  }
}

TPageTextSource::TPageTextSource(TCallMan& cm) : cm_(cm) {}

bool TPageTextSource::FetchText(const std::string& page_file, int32_t command_index,
                                std::string& content) {
  const TPage* page = nullptr;
  for (const auto& p : cm_.Cache())
    if (sjis::EqualsNoCase(p->file_name, page_file)) page = p.get();
  // A page no longer cached is read on its own, leaving the cache and the script as they are.
  // A page too old to run counts as missing here: reading it for its text never ends the game.
  std::unique_ptr<TPage> loaded;
  if (!page) {
    if (page_file.empty() || (cm_.page_available && !cm_.page_available(page_file))) return false;
    try {
      TKvMemoryStream mem;
      FileManager().LoadFile(mem, page_file);
      mem.Seek(0, TSeekOrigin::soBeginning);
      if (mem.Remaining() < 4 || ReadInt32(mem) < kMinPageVersion) return false;
      mem.Seek(0, TSeekOrigin::soBeginning);
      loaded = std::make_unique<TPage>();
      loaded->file_name = page_file;
      loaded->LoadFromStream(mem);
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
