// The system functions that act on components and their items.
#include "components/prop_table.h"
#include "components/quen_base_list.h"
#include "components/quen_object.h"
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
  // Items of menus and lists come with those components: until then no component has items,
  // so the item functions leave their result unset, as for a missing component.
  for (const char* name : {"GetCheck", "SetCheck", "GetEnabled", "SetEnabled", "GetVisible",
                           "SetVisible", "GetGroupIndex", "GetSelected", "SetSelected"})
    funcs.Register(name, [](TSysFuncCall&) {});
  funcs.Register("IndexOfMenu", [](TSysFuncCall& c) { SetResultInt(c, -1); });
}

}  // namespace quen
