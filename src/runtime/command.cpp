#include "runtime/command.h"

#include "base/error.h"
#include "files/file_manager.h"
#include "runtime/interp_messages.h"
#include "runtime/project.h"

namespace quen {

namespace {

// Fewest bytes of a stored command: the code byte and the base record.
constexpr int64_t kMinCommandBytes = 1 + 4 + 1 + 1 + 4;
// Fewest bytes of a stored expression: its record count.
constexpr int64_t kMinExprBytes = 4;

[[noreturn]] void Damaged() {
  RaiseError("Stream read error");
}

TCommandInfo Props(const char* name) {
  return {name, {{FK_PROPS, "props"}}, -1};
}

std::vector<TCommandInfo> BuildInfos() {
  const TFieldSpec cond{FK_EXPR, "cond"};
  std::vector<TCommandInfo> t;
  t.push_back({"If", {cond}, 0});
  t.push_back({"Elseif", {cond}, 0});
  t.push_back({"Else", {}, -1});
  t.push_back({"Label", {{FK_STR, "name"}}, 0});
  t.push_back({"Jump", {{FK_STR, "page"}, {FK_INT, "target"}, cond}, 2});
  t.push_back(
      {"Call",
       {{FK_STR, "page"}, {FK_INT, "target"}, {FK_STR, "result"}, cond, {FK_EXPRLIST, "args"}},
       3});
  t.push_back({"Exit", {cond}, 0});
  t.push_back({"Wait", {cond, {FK_EXPR, "time"}, {FK_EXPR, "block", 106}}, 0});
  t.push_back(Props("BoxNew"));
  t.push_back(Props("ImgNew"));
  t.push_back(Props("MesNew"));
  t.push_back(Props("Timer"));
  t.push_back(Props("Movie"));
  t.push_back({"Flip",
               {{FK_EXPR, "kind"},
                {FK_EXPR, "time"},
                {FK_EXPR, "reverse"},
                {FK_EXPR, "mode"},
                {FK_EXPRLIST, "names"},
                {FK_EXPR, "clear"},
                {FK_EXPR, "param1"},
                {FK_EXPR, "param2"},
                {FK_EXPR, "text", 100},
                {FK_EXPR, "block", 106}},
               -1});
  t.push_back({"Calc", {{FK_EXPR, "expr"}}, 0});
  t.push_back(
      {"VarNew", {{FK_STR, "name"}, {FK_BYTE, "type"}, {FK_EXPR, "init"}, {FK_BYTE, "scope"}}, -1});
  t.push_back({"VarDel", {{FK_STR, "name"}}, 0});
  t.push_back({"GetProp", {{FK_EXPR, "comp"}, {FK_EXPR, "prop"}, {FK_STR, "var"}}, -1});
  t.push_back({"SetProp", {{FK_EXPR, "comp"}, {FK_EXPR, "prop"}, {FK_EXPR, "value"}}, -1});
  t.push_back({"ObjDel", {{FK_EXPR, "comp"}}, 0});
  t.push_back({"TextIns",
               {{FK_STR, "text"},
                {FK_EXPR, "box"},
                {FK_EXPR, "read"},
                {FK_EXPR, "wait"},
                {FK_EXPR, "block", 106}},
               0});
  t.push_back({"MovieStop",
               {{FK_EXPR, "comp"}, {FK_EXPR, "fade"}, {FK_EXPR, "wait"}, {FK_EXPR, "block", 106}},
               -1});
  t.push_back({"ClrHist", {}, -1});
  t.push_back(Props("Cinema"));
  t.push_back(Props("Caption"));
  t.push_back(Props("Menu"));
  t.push_back({"MenuClose", {{FK_EXPR, "e1"}}, 0});
  t.push_back({"Comment", {{FK_STR, "text"}}, 0});
  t.push_back({"TextClr", {{FK_EXPR, "e1"}}, 0});
  t.push_back(
      {"CallHist",
       {{FK_EXPR, "e1"}, {FK_EXPR, "e2"}, {FK_EXPR, "e3"}, {FK_EXPR, "e4"}, {FK_EXPR, "e5", 110}},
       -1});
  t.push_back(Props("Button"));
  t.push_back({"While", {cond, {FK_INT, "target"}}, 0});
  t.push_back({"WhileInit", {{FK_EXPR, "expr"}}, 0});
  t.push_back({"WhileLoop", {{FK_EXPR, "expr"}, {FK_INT, "target"}}, 0});
  t.push_back({"Break", {cond, {FK_INT, "target"}}, 0});
  t.push_back({"Continue", {cond, {FK_INT, "target"}}, 0});
  t.push_back(Props("ParticleNew"));
  t.push_back(Props("FireNew"));
  t.push_back({"GameSave",
               {{FK_EXPR, "slot"}, {FK_STR, "page"}, {FK_INT, "value", 104}, {FK_EXPR, "caption"}},
               -1});
  t.push_back({"GameLoad", {{FK_EXPR, "slot"}}, 0});
  t.push_back({"PCReset", {{FK_STR, "page"}, {FK_INT, "target"}, {FK_BYTE, "full"}}, -1});
  t.push_back({"Reset", {{FK_STR, "page"}, {FK_INT, "target"}, {FK_BYTE, "full"}}, -1});
  t.push_back(Props("Sound"));
  t.push_back(Props("EditNew"));
  t.push_back(Props("MemoNew"));
  t.push_back({"Terminate", {}, -1});
  t.push_back({"DoEvent", {}, -1});
  t.push_back({"ClrRead", {}, -1});
  t.push_back(Props("MapImgNew"));
  t.push_back(Props("WaveNew"));
  t.push_back(Props("TileNew"));
  t.push_back(Props("SliderNew"));
  t.push_back(Props("ScrollbarNew"));
  t.push_back(Props("GaugeNew"));
  t.push_back(Props("CGCaption"));
  t.push_back({"MediaPlay", {{FK_EXPR, "comp"}}, 0});
  t.push_back(Props("PrevMenuNew"));
  t.push_back({"PropMotion",
               {{FK_EXPR, "name"},
                {FK_EXPR, "target"},
                {FK_EXPR, "prop"},
                {FK_EXPR, "value"},
                {FK_EXPR, "time"},
                {FK_EXPR, "type"},
                {FK_EXPR, "paused", 107}},
               -1});
  t.push_back({"FormatHist", {{FK_EXPR, "e1"}, {FK_EXPR, "e2", 110}}, -1});
  for (const char* n : {"SaveCabinet", "LoadCabinet"})
    t.push_back({n, {{FK_PROPS, "props"}, {FK_EXPR, "e1"}, {FK_EXPRLIST, "list"}}, -1});
  return t;
}

const std::vector<TCommandInfo>& Infos() {
  static const std::vector<TCommandInfo> infos = BuildInfos();
  return infos;
}

TOldPageHandler g_old_page_handler;

}  // namespace

const TCommandInfo& CommandInfo(int code) {
  return Infos()[static_cast<size_t>(code)];
}

int CommandCode(const std::string& name) {
  for (int i = 0; i < kCommandCount; ++i)
    if (name == Infos()[static_cast<size_t>(i)].name) return i;
  return -1;
}

void SetOldPageHandler(TOldPageHandler h) {
  g_old_page_handler = std::move(h);
}

TPage* TCommand::Page() const {
  return list_ ? list_->Page() : nullptr;
}

void TCommand::LoadFromStream(TStream& s) {
  indent = ReadInt32(s);
  disabled_ = ReadByte(s);
  continue_ = ReadByte(s);
  line = ReadInt32(s);
  const TPage* page = Page();
  const int32_t version = page ? page->version : kMaxPageVersion;
  const TCommandInfo& info = CommandInfo(code_);
  fields.clear();
  fields.resize(info.fields.size());
  for (size_t i = 0; i < info.fields.size(); ++i) {
    const TFieldSpec& layout = info.fields[i];
    TField& f = fields[i];
    if (layout.above && version <= layout.above) {
      f.present = false;
      continue;
    }
    switch (layout.kind) {
      case FK_EXPR:
        f.expr.LoadFromStream(s);
        break;
      case FK_STR:
        f.str = ReadString(s);
        break;
      case FK_INT:
        f.num = ReadInt32(s);
        break;
      case FK_BYTE:
        f.num = ReadByte(s);
        break;
      case FK_EXPRLIST: {
        int32_t k = ReadInt32(s);
        if (k < 0 || k > s.Remaining() / kMinExprBytes) Damaged();
        f.list.resize(static_cast<size_t>(k));
        for (TQuenParser& e : f.list) e.LoadFromStream(s);
        break;
      }
      case FK_PROPS:
        for (int id = 0; id < kPropertyCount; ++id) {
          if (!page || !page->HasProp(code_, id)) continue;
          f.ids.push_back(static_cast<uint8_t>(id));
          f.list.emplace_back().LoadFromStream(s);
        }
        break;
    }
  }
}

void TCommand::SaveToStream(TStream& s) const {
  WriteByte(s, code_byte ? code_byte : code_);
  WriteInt32(s, indent);
  WriteByte(s, disabled_);
  WriteByte(s, continue_);
  WriteInt32(s, line);
  const TCommandInfo& info = CommandInfo(code_);
  const TPage* page = Page();
  const int32_t version = page ? page->version : kMaxPageVersion;
  for (size_t i = 0; i < info.fields.size() && i < fields.size(); ++i) {
    const TFieldSpec& layout = info.fields[i];
    const TField& f = fields[i];
    if (layout.above && version <= layout.above) continue;
    switch (layout.kind) {
      case FK_EXPR:
        f.expr.SaveToStream(s);
        break;
      case FK_STR:
        WriteString(s, f.str);
        break;
      case FK_INT:
        WriteInt32(s, f.num);
        break;
      case FK_BYTE:
        WriteByte(s, static_cast<uint8_t>(f.num));
        break;
      case FK_EXPRLIST:
        WriteInt32(s, static_cast<int32_t>(f.list.size()));
        for (const TQuenParser& e : f.list) e.SaveToStream(s);
        break;
      case FK_PROPS:
        // Exactly the page's set, whatever the command holds, so the reader finds its fields.
        for (int id = 0; id < kPropertyCount; ++id) {
          if (!page || !page->HasProp(code_, id)) continue;
          const TQuenParser* e = nullptr;
          for (size_t k = 0; k < f.ids.size(); ++k)
            if (f.ids[k] == id) e = &f.list[k];
          if (e) {
            e->SaveToStream(s);
          } else {
            TQuenParser empty;
            empty.SaveToStream(s);
          }
        }
        break;
    }
  }
}

void TComList::Add(std::unique_ptr<TCommand> c) {
  c->list_ = this;
  items_.push_back(std::move(c));
}

int32_t TComList::FindLabel(const std::string& name) const {
  for (size_t i = 0; i < items_.size(); ++i)
    if (items_[i]->MatchesLabel(name)) return static_cast<int32_t>(i);
  return -1;
}

void TPage::ApplyRawSets() {
  for (TPropSet& set : prop_sets) set.fill(0);
  for (size_t i = 0; i < raw_sets.size() && i < prop_sets.size(); ++i) {
    const std::string& r = raw_sets[i];
    for (size_t b = 0; b < r.size() && b < kPropSetBytes; ++b)
      prop_sets[i][b] = static_cast<uint8_t>(r[b]);
  }
}

void TPage::Load(const std::string& name) {
  list_.Clear();
  file_name = name;
  TKvMemoryStream mem;
  try {
    FileManager().LoadFile(mem, name);
    mem.Seek(0, TSeekOrigin::soBeginning);
    LoadFromStream(mem);
  } catch (const EQuenError& e) {
    RaiseNamingFile(e, name);
  }
}

void TPage::LoadFromStream(TStream& s) {
  list_.Clear();
  raw_sets.clear();
  for (TPropSet& set : prop_sets) set.fill(0);
  version = ReadInt32(s);
  if (version > kMaxPageVersion) return;
  if (version < kMinPageVersion) {
    // The window is closed by a request, never from inside the frame that loads the page.
    SetTerminateFlag(true);
    if (g_old_page_handler) g_old_page_handler(file_name);
    return;
  }
  // Any value type code: a page of a type the value table does not know returns nothing.
  result_type = ReadByte(s);
  int32_t n = ReadInt32(s);
  int32_t size = ReadInt32(s);
  // A record per command code at most a few hundred bytes long: larger counts are damage, and
  // a count of empty records would otherwise cost memory without reading a byte.
  if (n < 0 || size < 0 || n > kMaxPropSets || size > kMaxPropSetBytes ||
      static_cast<int64_t>(n) * size > s.Remaining())
    Damaged();
  raw_set_size = size;
  raw_sets.reserve(static_cast<size_t>(n));
  for (int32_t i = 0; i < n; ++i) raw_sets.push_back(ReadBytes(s, size));
  ApplyRawSets();
  int32_t m = ReadInt32(s);
  if (m < 0 || m > s.Remaining() / kMinCommandBytes) Damaged();
  for (int32_t i = 0; i < m; ++i) {
    uint8_t code_byte = ReadByte(s);
    std::unique_ptr<TCommand> c = NewCommand(code_byte & 0x7F);
    c->code_byte = code_byte;
    TCommand* raw = c.get();
    list_.Add(std::move(c));
    raw->LoadFromStream(s);
  }
  // Targets inside this page must lie in it (the index after the last command is the end).
  for (int32_t i = 0; i < m; ++i) {
    TCommand* c = list_.At(i);
    uint8_t code = c->GetCode();
    if (code == 31 || code == 33 || code == 34 || code == 35) {
      int32_t t = c->fields[1].num;
      bool may_leave = code == 34 || code == 35;
      if (t > m || (t < 0 && !may_leave)) RaiseError(msg::kBadPageField);
    } else if (code == 15) {
      int32_t type = c->fields[1].num, scope = c->fields[3].num;
      if (type < PT_INT || type > PT_STR || scope > 3) RaiseError(msg::kBadPageField);
    }
  }
}

void TPage::SaveToStream(TStream& s) const {
  WriteInt32(s, version);
  if (version > kMaxPageVersion || version < kMinPageVersion) return;
  WriteByte(s, result_type);
  WriteInt32(s, static_cast<int32_t>(raw_sets.size()));
  WriteInt32(s, raw_set_size);
  for (const std::string& r : raw_sets) {
    std::string rec = r;
    rec.resize(static_cast<size_t>(raw_set_size), '\0');
    s.WriteBuffer(rec.data(), static_cast<int64_t>(rec.size()));
  }
  WriteInt32(s, list_.Count());
  for (int32_t i = 0; i < list_.Count(); ++i) list_.At(i)->SaveToStream(s);
}

}  // namespace quen
