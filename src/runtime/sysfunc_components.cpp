// The system functions that act on components and their items.
#include "components/prop_table.h"
#include "components/quen_base_list.h"
#include "components/quen_menu.h"
#include "components/quen_object.h"
#include "components/quen_prev_menu.h"
#include "expr/param_collection.h"
#include "expr/sys_func_man.h"
#include "expr/sysfunc_args.h"
#include "runtime/sysfunc_register.h"
#include "runtime/sysfunc_support.h"

namespace quen {

namespace {
using sysarg::SetResultBool;
using sysarg::SetResultInt;
using sysarg::SetResultStr;
using sysfunc::Component;
using sysfunc::StoreList;

TParamCollectionItem* VariableArg(TSysFuncCall& c, size_t i) {
  return sysarg::Variable(c, i);
}
}  // namespace

void RegisterComponentFunctions(TSysFuncMan& funcs, ISystemHost& host) {
  ISystemHost* h = &host;
  funcs.Register("GetProp", [h](TSysFuncCall& c) {
    if (TQuenObject* o = Component(*h, c.args[0]))
      if (TCustomParam* t = c.target.Value()) GetProp(*o, c.args[1]->GetAsInteger() & 0xFF, *t);
  });
  funcs.Register("SetProp", [h](TSysFuncCall& c) {
    if (TQuenObject* o = Component(*h, c.args[0]))
      SetProp(*o, c.args[1]->GetAsInteger(), *c.args[2]);
  });
  funcs.Register("Exists",
                 [h](TSysFuncCall& c) { SetResultBool(c, Component(*h, c.args[0]) != nullptr); });
  funcs.Register("ListCompo", [h](TSysFuncCall& c) {
    TParamCollectionItem* var = VariableArg(c, 0);
    TQuenBaseList* r = h->Registry();
    if (!r) return;
    int32_t type = c.args.size() > 1 ? c.args[1]->GetAsInteger() : 0;
    if (type < 1 || type > 27) type = 0;
    // The registry itself stands for "under any component".
    const TQuenObject* parent = r;
    if (c.args.size() > 2 && !c.args[2]->GetAsString().empty()) {
      parent = Component(*h, c.args[2]);
      if (!parent) {
        if (var && var->Value()) StoreList(*var->Value(), {});
        return;
      }
    }
    std::vector<std::string> names;
    const int32_t n = r->ListComponents(names, static_cast<uint8_t>(type), parent);
    if (var && var->Value()) StoreList(*var->Value(), names);
    SetResultInt(c, n);
  });
  auto convert = [h](bool to_client, bool x) {
    return [h, to_client, x](TSysFuncCall& c) {
      const int32_t v = c.args[1]->GetAsInteger();
      TQuenObject* o = Component(*h, c.args[0]);
      TQuenControl* ctl = o ? o->AsControl() : nullptr;
      if (!ctl) {
        SetResultInt(c, v);
        return;
      }
      const TPoint p = to_client ? ctl->ScreenToClient({v, v}) : ctl->ClientToScreen({v, v});
      SetResultInt(c, x ? p.X : p.Y);
    };
  };
  funcs.Register("ToClientX", convert(true, true));
  funcs.Register("ToClientY", convert(true, false));
  funcs.Register("ToScreenX", convert(false, true));
  funcs.Register("ToScreenY", convert(false, false));
  funcs.Register("InPrimary", [h](TSysFuncCall& c) {
    TQuenObject* o = Component(*h, c.args[0]);
    TQuenControl* ctl = o ? o->AsControl() : nullptr;
    TQuenBaseList* r = h->Registry();
    SetResultBool(c, ctl && r && ctl->Root() == &r->ActiveRoot() && !ctl->InCabinet());
  });
  funcs.Register("InCabinet", [h](TSysFuncCall& c) {
    TQuenObject* o = Component(*h, c.args[0]);
    SetResultBool(c, o && o->InCabinet());
  });
  // Item functions: check flags of list boxes and menus, the state arrays of preview menus
  // (whose items are given by number or by name). A missing component, or a kind without such
  // items, leaves the result unset.
  auto preview = [h](TSysFuncCall& c, int32_t& item) -> TQuenPrevMenu* {
    auto* p = dynamic_cast<TQuenPrevMenu*>(Component(*h, c.args[0]));
    if (p) item = p->IndexOf(c.args[1]->GetAsString());
    return p;
  };
  funcs.Register("GetCheck", [h, preview](TSysFuncCall& c) {
    int32_t i = -1;
    if (TQuenPrevMenu* p = preview(c, i))
      SetResultBool(c, p->CheckedFlag(i));
    else if (auto* l = dynamic_cast<TQuenCustomListBox*>(Component(*h, c.args[0])))
      SetResultBool(c, l->Check(c.args[1]->GetAsInteger()));
  });
  funcs.Register("SetCheck", [h, preview](TSysFuncCall& c) {
    int32_t i = -1;
    if (TQuenPrevMenu* p = preview(c, i))
      p->SetCheckedFlag(i, c.args[2]->GetAsBool());
    else if (auto* l = dynamic_cast<TQuenCustomListBox*>(Component(*h, c.args[0])))
      l->SetCheck(c.args[1]->GetAsInteger(), c.args[2]->GetAsBool());
  });
  auto getter = [preview](auto read) {
    return [preview, read](TSysFuncCall& c) {
      int32_t i = -1;
      if (TQuenPrevMenu* p = preview(c, i)) read(c, *p, i);
    };
  };
  auto setter = [preview](auto write) {
    return [preview, write](TSysFuncCall& c) {
      int32_t i = -1;
      if (TQuenPrevMenu* p = preview(c, i)) write(*p, i, c.args[2]->GetAsBool());
    };
  };
  funcs.Register("GetEnabled", getter([](TSysFuncCall& c, TQuenPrevMenu& p, int32_t i) {
                   SetResultBool(c, p.Enabled(i));
                 }));
  funcs.Register("SetEnabled",
                 setter([](TQuenPrevMenu& p, int32_t i, bool on) { p.SetEnabled(i, on); }));
  funcs.Register("GetVisible", getter([](TSysFuncCall& c, TQuenPrevMenu& p, int32_t i) {
                   SetResultBool(c, p.VisibleItem(i));
                 }));
  funcs.Register("SetVisible",
                 setter([](TQuenPrevMenu& p, int32_t i, bool on) { p.SetVisibleItem(i, on); }));
  funcs.Register("GetGroupIndex", getter([](TSysFuncCall& c, TQuenPrevMenu& p, int32_t i) {
                   SetResultInt(c, p.GroupOf(i));
                 }));
  funcs.Register("GetSelected", getter([](TSysFuncCall& c, TQuenPrevMenu& p, int32_t i) {
                   SetResultBool(c, p.IsChecked(i));
                 }));
  funcs.Register("SetSelected",
                 setter([](TQuenPrevMenu& p, int32_t i, bool on) { p.SetCheckedFlag(i, on); }));
  funcs.Register("IndexOfMenu", [h](TSysFuncCall& c) {
    int32_t index = -1;
    if (auto* l = dynamic_cast<TQuenCustomListBox*>(Component(*h, c.args[0]))) {
      const std::string line = c.args[1]->GetAsString();
      const std::vector<std::string>& items = l->Items();
      for (size_t i = 0; i < items.size() && index < 0; ++i)
        if (items[i] == line) index = static_cast<int32_t>(i);
    } else if (auto* p = dynamic_cast<TQuenPrevMenu*>(Component(*h, c.args[0]))) {
      const std::string line = c.args[1]->GetAsString();
      for (int32_t i = 0; i < p->ButtonCount() && index < 0; ++i)
        if (p->Layout().Buttons[static_cast<size_t>(i)].Name == line) index = i;
    }
    SetResultInt(c, index);
  });
}

}  // namespace quen
