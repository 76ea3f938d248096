// The commands that make components from their stored property lists, read, write and delete
// them, play and stop media and menus, animate properties and set groups aside in cabinets.
#include <array>

#include "base/error.h"
#include "components/quen_base_list.h"
#include "components/quen_kinds.h"
#include "expr/param_collection.h"
#include "files/file_manager.h"
#include "runtime/com_support.h"
#include "runtime/messages.h"

namespace quen {

namespace com {

TCustomParam* Value(TCallMan& cm, TCommand& c, int i) {
  if (i < 0 || static_cast<size_t>(i) >= c.fields.size()) return nullptr;
  TField& f = c.fields[static_cast<size_t>(i)];
  if (!f.present || f.expr.Records().empty()) return nullptr;
  return c.Eval(cm, i);
}

std::optional<int32_t> IntOf(TCallMan& cm, TCommand& c, int i) {
  TCustomParam* r = Value(cm, c, i);
  if (!r) return std::nullopt;
  return r->GetAsInteger();
}

std::optional<bool> BoolOf(TCallMan& cm, TCommand& c, int i) {
  TCustomParam* r = Value(cm, c, i);
  if (!r) return std::nullopt;
  return r->GetAsBool();
}

std::optional<long double> FloatOf(TCallMan& cm, TCommand& c, int i) {
  TCustomParam* r = Value(cm, c, i);
  if (!r) return std::nullopt;
  return r->GetAsFloat();
}

std::string TextOf(TCallMan& cm, TCommand& c, int i) {
  TCustomParam* r = Value(cm, c, i);
  return r ? r->GetAsString() : std::string();
}

TQuenObject* Named(TCallMan& cm, TCommand& c, int i) {
  const std::string name = TextOf(cm, c, i);
  if (name.empty()) return nullptr;
  return cm.Registry().FindComponent(name);
}

TQuenObject* NamedComponent(TCallMan& cm, TCommand& c, int i) {
  TQuenObject* o = Named(cm, c, i);
  return o && !o->IsRoot() ? o : nullptr;
}

std::unique_ptr<TQuenParser> CopyOf(const TQuenParser& e) {
  TKvMemoryStream m;
  e.SaveToStream(m);
  m.Seek(0, TSeekOrigin::soBeginning);
  auto copy = std::make_unique<TQuenParser>();
  copy->LoadFromStream(m);
  return copy;
}

void WriteStateTag(TStream& s) {
  s.WriteBuffer("quen100", 7);
}

int ReadStateTag(TStream& s) {
  const int64_t at = s.GetPosition();
  char tag[7];
  if (s.Remaining() >= 7 && s.Read(tag, 7) == 7 && std::string(tag, 4) == "quen" && tag[4] >= '0' &&
      tag[4] <= '9' && tag[5] >= '0' && tag[5] <= '9' && tag[6] >= '0' && tag[6] <= '9')
    return (tag[4] - '0') * 100 + (tag[5] - '0') * 10 + (tag[6] - '0');
  s.SetPosition(at);
  return 0;
}

}  // namespace com

namespace {

using com::BoolOf;
using com::FloatOf;
using com::IntOf;
using com::Named;
using com::NamedComponent;
using com::TextOf;

// The order a creation command applies its properties in: name, parent and source first,
// then zoom, size and position, so later properties see the final geometry.
const std::array<uint8_t, kPropCount>& ApplicationOrder() {
  static const std::array<uint8_t, kPropCount> order = [] {
    std::array<uint8_t, kPropCount> o{};
    size_t n = 0;
    auto add = [&](int id) { o[n++] = static_cast<uint8_t>(id); };
    auto range = [&](int a, int b) {
      for (int id = a; id <= b; ++id) add(id);
    };
    for (int id : {0, 1, 2, 7, 132, 100, 5, 6, 3, 4, 8, 157}) add(id);
    range(9, 14);
    add(159);
    add(160);
    range(15, 24);
    range(153, 156);
    range(25, 29);
    add(162);
    range(30, 79);
    add(161);
    range(80, 99);
    range(101, 131);
    range(133, 152);
    for (int id : {158, 163, 164}) add(id);
    return o;
  }();
  return order;
}

// What a property reads as when its expression produced no value.
TPropValue Fallback(uint8_t id) {
  TPropValue v;
  v.Type = PropInfo(id).Type;
  int32_t n = 0;
  switch (id) {
    case PR_ZOOMX:
    case PR_ZOOMY:
    case PR_TEXTDELAY:
      n = 256;
      break;
    case PR_COLOR:
    case PR_BORDERCOLOR:
    case PR_HOVERCOLOR:
      n = -1;
      break;
    case PR_ALPHA:
      n = 255;
      break;
    case PR_FONTHEIGHT:
      n = 16;
      break;
    case PR_VOLUME:
      n = 1000;
      break;
    case PR_WAVELEN:
      n = 100;
      break;
    case PR_VISIBLE:
    case PR_OVERLAY:
    case PR_COLCOUNT:
    case PR_ROWCOUNT:
    case PR_AMP:
    case PR_SMALLCHANGE:
    case PR_LARGECHANGE:
    case PR_GLYPHWIDTH:
    case PR_GLYPHHEIGHT:
      n = 1;
      break;
    default:
      break;
  }
  if (v.Type == TPropType::ptFloat)
    v.Float = n;
  else if (v.Type == TPropType::ptBool)
    v.Int = n != 0;
  else
    v.Int = n;
  return v;
}

TPropValue Read(uint8_t id, const TCustomParam* r) {
  if (!r) return Fallback(id);
  TPropValue v;
  v.Type = PropInfo(id).Type;
  switch (v.Type) {
    case TPropType::ptInt:
      v.Int = r->GetAsInteger();
      break;
    case TPropType::ptBool:
      v.Int = r->GetAsBool() ? 1 : 0;
      break;
    case TPropType::ptFloat:
      v.Float = r->GetAsFloat();
      break;
    case TPropType::ptStr:
      v.Str = r->GetAsString();
      break;
  }
  return v;
}

bool NotApplied(uint8_t id) {
  switch (id) {
    case PR_CARETX:
    case PR_CARETY:
    case PR_APPEARX:
    case PR_APPEARY:
    case PR_PLAYING:
    case PR_COMPOTYPE:
    case PR_PLUSX:
    case PR_PLUSY:
    case PR_CARETHEIGHT:
      return true;
    default:
      return false;
  }
}

// The commands with a stored property list: the components they create, Timer and Sound among
// them, and the cabinets, which take only the name from it.
class TComComponent : public TCommand {
 public:
  TComComponent(uint8_t code, uint8_t type) : TCommand(code), type_(type) {}

  void Execute(TCallMan& cm, TPage*&, int32_t& pc) override {
    ++pc;
    Create(cm);
  }

 protected:
  // The expression of property id, or null when the page's set has no slot for it.
  TQuenParser* Slot(uint8_t id) {
    if (fields.empty()) return nullptr;
    TField& f = fields[0];
    for (size_t k = 0; k < f.ids.size(); ++k)
      if (f.ids[k] == id) return &f.list[k];
    return nullptr;
  }
  TCustomParam* SlotValue(TCallMan& cm, uint8_t id) {
    TQuenParser* e = Slot(id);
    if (!e) return nullptr;
    e->Execute(cm.Vars(), cm.Funcs());
    return e->Result();
  }

  TQuenObject* Create(TCallMan& cm) {
    TQuenBaseList& registry = cm.Registry();
    TQuenObject* o = registry.CreateComponent(type_);
    if (!o) return nullptr;
    const TQuenHandle h = o->Handle();
    Before(*o);
    bool parented = false;
    // Where each property's expression sits in the page's set, looked up once.
    std::array<int16_t, 256> slot;
    slot.fill(-1);
    if (!fields.empty())
      for (size_t k = fields[0].ids.size(); k-- > 0;)
        slot[fields[0].ids[k]] = static_cast<int16_t>(k);
    for (uint8_t id : ApplicationOrder()) {
      if (slot[id] < 0) continue;
      // Each property on its own: one that raises leaves the others applied.
      try {
        TQuenParser& e = fields[0].list[static_cast<size_t>(slot[id])];
        e.Execute(cm.Vars(), cm.Funcs());
        const TPropValue v = Read(id, e.Result());
        if (!registry.IsRegistered(o) || registry.Resolve(h) != o) return nullptr;
        Apply(registry, *o, id, v, parented);
      } catch (const EQuenError&) {
      }
      if (registry.Resolve(h) != o) return nullptr;
    }
    // Without a parent slot in the page's set the control still needs a screen.
    if (TQuenControl* c = o->AsControl(); c && !parented && !c->Parent())
      c->SetParent(&registry.InactiveRoot());
    o->EndUpdate();
    After(*o);
    return o;
  }

  virtual void Before(TQuenObject&) {}
  virtual void After(TQuenObject&) {}

 private:
  static void Apply(TQuenBaseList& registry, TQuenObject& o, uint8_t id, const TPropValue& v,
                    bool& parented) {
    if (NotApplied(id)) return;
    switch (id) {
      case PR_NAME:
        if (!v.Str.empty()) o.SetName(v.Str);
        return;
      case PR_PARENT:
        if (TQuenControl* c = o.AsControl()) {
          TQuenControl* p = v.Str.empty() ? nullptr : registry.FindParentControl(v.Str);
          if (!p || p == c || c->IsAncestorOf(p)) p = &registry.InactiveRoot();
          c->SetParent(p);
          parented = true;
        }
        return;
      case PR_TAG:
        o.SetTag(v.Str);
        return;
      case PR_LEFT:
        if (auto* img = dynamic_cast<TQuenCustomImage*>(&o); img && img->SizeFollowsPicture())
          img->RecomputeSize();
        break;
      case PR_FONTSTYLE:
      case PR_FONTHOVERSTYLE: {
        TPropValue low = v;
        low.Int &= 15;
        o.WriteProp(id, low);
        return;
      }
      default:
        break;
    }
    o.WriteProp(id, v);
  }

  uint8_t type_;
};

class TComImgNew : public TComComponent {
 public:
  TComImgNew() : TComComponent(9, LT_IMAGES) {}

 protected:
  void Before(TQuenObject& o) override {
    if (auto* img = dynamic_cast<TQuenImages*>(&o))
      if (TQuenParser* e = Slot(PR_DELAY)) img->SetWaitExpression(com::CopyOf(*e));
  }
};

class TComParticleNew : public TComComponent {
 public:
  TComParticleNew() : TComComponent(36, LT_PARTICLE) {}

 protected:
  void Before(TQuenObject& o) override {
    auto* p = dynamic_cast<TQuenParticle*>(&o);
    if (!p) return;
    auto copy = [this](uint8_t id) {
      TQuenParser* e = Slot(id);
      return e ? com::CopyOf(*e) : nullptr;
    };
    p->SetEmitterExpressions(copy(PR_APPEARX), copy(PR_APPEARY), copy(PR_DELAY));
  }
};

// Movie and Sound start playing once made: fading in when they have a fade time.
class TComMedia : public TComComponent {
 public:
  TComMedia(uint8_t code, uint8_t type) : TComComponent(code, type) {}

 protected:
  void After(TQuenObject& o) override {
    o.SetPlayMode(o.PropInt(PR_DELAY) != 0 ? LP_PLAYFADE : LP_PLAY);
  }
};

class TComMenu : public TComComponent {
 public:
  TComMenu() : TComComponent(25, LT_MENU) {}
  TQuenHandle Menu() const { return menu_; }

 protected:
  void After(TQuenObject& o) override {
    o.SetPlayMode(LP_PLAYFADE);
    menu_ = o.Handle();
  }

 private:
  TQuenHandle menu_;
};

class TComGetProp : public TCommand {
 public:
  TComGetProp() : TCommand(17) {}
  void Execute(TCallMan& cm, TPage*&, int32_t& pc) override {
    ++pc;
    TQuenObject* o = Named(cm, *this, 0);
    if (!o) return;
    const std::optional<int32_t> code = IntOf(cm, *this, 1);
    if (!code) RaiseError(msg::kBadPropCode);
    TParamCollectionItem* var = cm.Vars().FindVariable(fields[2].str);
    if (var && var->Value()) GetProp(*o, *code, *var->Value());
  }
};

class TComSetProp : public TCommand {
 public:
  TComSetProp() : TCommand(18) {}
  void Execute(TCallMan& cm, TPage*&, int32_t& pc) override {
    ++pc;
    TQuenObject* o = Named(cm, *this, 0);
    if (!o) return;
    const std::optional<int32_t> code = IntOf(cm, *this, 1);
    if (!code) RaiseError(msg::kBadPropCode);
    const TQuenHandle h = o->Handle();
    TCustomParam* v = com::Value(cm, *this, 2);
    // The value's expression may have deleted the component.
    if (v && cm.Registry().Resolve(h) == o) SetProp(*o, *code, *v);
  }
};

class TComObjDel : public TCommand {
 public:
  TComObjDel() : TCommand(19) {}
  void Execute(TCallMan& cm, TPage*&, int32_t& pc) override {
    ++pc;
    if (TQuenObject* o = Named(cm, *this, 0)) cm.Registry().Scrap(o);
  }
};

class TComMenuClose : public TCommand {
 public:
  TComMenuClose() : TCommand(26) {}
  void Execute(TCallMan& cm, TPage*&, int32_t& pc) override {
    ++pc;
    if (TQuenObject* o = NamedComponent(cm, *this, 0)) o->SetPlayMode(LP_STOPFADE);
  }
};

class TComMediaPlay : public TCommand {
 public:
  TComMediaPlay() : TCommand(55) {}
  void Execute(TCallMan& cm, TPage*&, int32_t& pc) override {
    ++pc;
    if (TQuenObject* o = NamedComponent(cm, *this, 0)) o->Replay();
  }
};

class TComMovieStop : public TCommand {
 public:
  enum : int { kComp = 0, kFade = 1, kWait = 2, kBlock = 3 };
  TComMovieStop() : TCommand(21) {}

  void Start(TCallMan& cm) override {
    block_ = BoolOf(cm, *this, kBlock).value_or(false);
    waiting_ = false;
    target_ = {};
    target_name_.clear();
    relink_ = false;
    TQuenObject* o = NamedComponent(cm, *this, kComp);
    if (!o) return;
    TQuenBaseList& registry = cm.Registry();
    const TQuenHandle h = o->Handle();
    const int32_t fade = IntOf(cm, *this, kFade).value_or(0);
    if (registry.Resolve(h) != o) return;
    if (fade > 0) {
      const std::string source = o->PropStr(PR_SOURCE);
      const uint8_t mode = o->PlayMode();
      if (source.rfind("CD_", 0) != 0 && !FileManager().FileExists(source)) {
        target_ = {};
      } else if (mode != LP_PLAY && mode != LP_PLAYFADE) {
        target_ = {};
      } else {
        target_ = h;
        target_name_ = o->Name();
        o->WriteProp(PR_DELAY, TPropValue::OfInt(fade));
        o->SetPlayMode(LP_STOPFADE);
      }
    } else {
      o->SetPlayMode(LP_STOP);
      registry.Scrap(o);
    }
    if (std::optional<bool> w = BoolOf(cm, *this, kWait)) waiting_ = *w;
  }
  void Execute(TCallMan& cm, TPage*&, int32_t& pc) override {
    if (Waits(cm)) {
      cm.cont = 0;
      return;
    }
    ++pc;
  }
  bool IsBusy() const override { return waiting_ && static_cast<bool>(target_); }
  bool BlocksEvents() const override { return block_; }
  void Abort() override {
    waiting_ = false;
    target_ = {};
  }
  void SaveState(std::unique_ptr<TStream>& s) override {
    if (!s) s = std::make_unique<TKvMemoryStream>();
    com::WriteStateTag(*s);
    WriteString(*s, target_name_);
    WriteByte(*s, waiting_ ? 1 : 0);
    WriteByte(*s, block_ ? 1 : 0);
  }
  void LoadState(TStream& s) override {
    const int version = com::ReadStateTag(s);
    target_name_ = ReadString(s);
    waiting_ = ReadByte(s) != 0;
    block_ = version > 99 ? ReadByte(s) != 0 : false;
    target_ = {};
    relink_ = true;
  }

 private:
  bool Waits(TCallMan& cm) {
    TQuenBaseList& registry = cm.Registry();
    if (relink_) {
      relink_ = false;
      TQuenObject* o = target_name_.empty() ? nullptr : registry.FindComponent(target_name_);
      target_ = o && !o->IsRoot() ? o->Handle() : TQuenHandle{};
    }
    TQuenObject* o = registry.Resolve(target_);
    if (!o || o->IsScrapped()) target_ = {};
    target_name_ = o && target_ ? o->Name() : std::string();
    return target_ && waiting_;
  }

  TQuenHandle target_;
  std::string target_name_;
  bool waiting_ = false;
  bool block_ = false;
  bool relink_ = false;
};

class TComPropMotion : public TCommand {
 public:
  TComPropMotion() : TCommand(57) {}
  void Execute(TCallMan& cm, TPage*&, int32_t& pc) override {
    ++pc;
    const std::string name = TextOf(cm, *this, 0);
    const std::string target = TextOf(cm, *this, 1);
    // The property first: a motion without one is never made.
    const std::optional<int32_t> code = IntOf(cm, *this, 2);
    if (!code) RaiseError(msg::kBadPropCode);
    const std::optional<long double> value = FloatOf(cm, *this, 3);
    const std::optional<int32_t> duration = IntOf(cm, *this, 4);
    const std::optional<int32_t> type = IntOf(cm, *this, 5);
    const std::optional<bool> paused = BoolOf(cm, *this, 6);
    auto* m = static_cast<TQuenPropMotion*>(cm.Registry().CreateComponent(LT_PROPMOTION));
    if (!m) return;
    if (!name.empty()) m->SetName(name);
    m->SetMotion(target, *code, value.value_or(0), duration.value_or(0), type.value_or(MT_NORMAL));
    if (paused) m->WriteProp(PR_PAUSED, TPropValue::OfBool(*paused));
  }
};

// SaveCabinet and LoadCabinet: a cabinet named by the property list, a mode and name lists.
class TComCabinet : public TComComponent {
 public:
  enum : int { kMode = 1, kNames = 2 };
  explicit TComCabinet(uint8_t code) : TComComponent(code, LT_CABINET) {}

  void Execute(TCallMan& cm, TPage*&, int32_t& pc) override {
    ++pc;
    TQuenBaseList& registry = cm.Registry();
    TCustomParam* n = SlotValue(cm, PR_NAME);
    const std::string name = n ? n->GetAsString() : std::string();
    TQuenObject* found = name.empty() ? nullptr : registry.FindComponent(name);
    TQuenControl* cabinet = found && found->AsControl() && found->AsControl()->IsCabinet()
                                ? found->AsControl()
                                : nullptr;
    const bool saving = code_ == 59;
    if (!saving && !cabinet) return;
    const bool mode = BoolOf(cm, *this, kMode).value_or(false);
    std::vector<std::string> lists;
    for (TQuenParser& e : fields[kNames].list) {
      e.Execute(cm.Vars(), cm.Funcs());
      if (e.Result()) lists.push_back(e.Result()->GetAsString());
    }
    if (!cabinet) {
      auto* made = registry.CreateComponent(LT_CABINET);
      if (!made || !made->AsControl()) return;
      cabinet = made->AsControl();
      if (!name.empty()) cabinet->SetName(name);
      cabinet->SetParent(&registry.Root(0));
    }
    TQuenControl& from = saving ? static_cast<TQuenControl&>(registry.InactiveRoot()) : *cabinet;
    TQuenControl& to = saving ? *cabinet : static_cast<TQuenControl&>(registry.InactiveRoot());
    const std::vector<TQuenControl*> children = from.Children();
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
      TQuenControl* c = *it;
      if (c == cabinet || !registry.IsRegistered(c)) continue;
      bool matched = false;
      for (const std::string& l : lists) matched |= l == c->Name();
      if (matched != mode) c->SetParent(&to);
    }
    if (cabinet->Children().empty()) registry.Scrap(cabinet);
  }
};

}  // namespace

std::unique_ptr<TCommand> NewComponentCommand(uint8_t code) {
  auto make = [](uint8_t c, uint8_t type) { return std::make_unique<TComComponent>(c, type); };
  switch (code) {
    case 8:
      return make(code, LT_BOX);
    case 9:
      return std::make_unique<TComImgNew>();
    case 10:
      return make(code, LT_MES);
    case 11:
      return make(code, LT_TIMER);
    case 12:
      return std::make_unique<TComMedia>(code, LT_VIDEO);
    case 17:
      return std::make_unique<TComGetProp>();
    case 18:
      return std::make_unique<TComSetProp>();
    case 19:
      return std::make_unique<TComObjDel>();
    case 21:
      return std::make_unique<TComMovieStop>();
    case 23:
      return make(code, LT_CINEMA);
    case 24:
      return make(code, LT_LABEL);
    case 25:
      return std::make_unique<TComMenu>();
    case 26:
      return std::make_unique<TComMenuClose>();
    case 30:
      return make(code, LT_BUTTON);
    case 36:
      return std::make_unique<TComParticleNew>();
    case 37:
      return make(code, LT_FIRE);
    case 42:
      return std::make_unique<TComMedia>(code, LT_SOUND);
    case 43:
      return make(code, LT_EDIT);
    case 44:
      return make(code, LT_MEMO);
    case 48:
      return make(code, LT_MAPIMG);
    case 49:
      return make(code, LT_WAVE);
    case 50:
      return make(code, LT_TILE);
    case 51:
      return make(code, LT_SLIDER);
    case 52:
      return make(code, LT_SCROLLBAR);
    case 53:
      return make(code, LT_GAUGE);
    case 54:
      return make(code, LT_CGLABEL);
    case 55:
      return std::make_unique<TComMediaPlay>();
    case 56:
      return make(code, LT_PREVMENU);
    case 57:
      return std::make_unique<TComPropMotion>();
    case 59:
    case 60:
      return std::make_unique<TComCabinet>(code);
    default:
      return nullptr;
  }
}

}  // namespace quen
