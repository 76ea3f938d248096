// The system functions of the running game: Calc, the call stack, display modes, save captions
// and history counts; and the registration of every family.
#include "expr/db_manager.h"
#include "expr/param_collection.h"
#include "expr/quen_parser.h"
#include "expr/sys_func_man.h"
#include "expr/sysfunc_args.h"
#include "expr/sysfunc_register.h"
#include "runtime/call_man.h"
#include "runtime/sysfunc_files.h"
#include "runtime/sysfunc_register.h"
#include "runtime/sysfunc_support.h"
#include "text/quen_history.h"

namespace quen {

namespace {

using sysarg::SetResultBool;
using sysarg::SetResultInt;
using sysarg::SetResultStr;
using sysfunc::StoreList;

TParamCollectionItem* VariableArg(TSysFuncCall& c, size_t i) {
  return sysarg::Variable(c, i);
}

}  // namespace

void RegisterPlayerFunctions(TSysFuncMan& funcs, ISystemHost& host) {
  ISystemHost* h = &host;
  // Saves and their captions come with the save file; no slot holds a save yet.
  funcs.Register("GetSaveCaption", [](TSysFuncCall&) {});
  funcs.Register("ListSaveCaption", [](TSysFuncCall& c) {
    for (size_t i = 0; i < 2; ++i)
      if (TParamCollectionItem* v = VariableArg(c, i); v && v->Value()) StoreList(*v->Value(), {});
    SetResultInt(c, 0);
  });
  // History formats by exact name ("" the default); a missing one gives -1 or FALSE.
  auto history_of = [](TSysFuncCall& c) -> TQuenNewHistory* {
    TQuenHistoryFormatManager* f = HistoryFormats();
    TQuenHistoryFormat* format = f ? f->Find(c.args[0]->GetAsString()) : nullptr;
    return format ? &format->History() : nullptr;
  };
  funcs.Register("GetHistoryCount", [history_of](TSysFuncCall& c) {
    TQuenNewHistory* h = history_of(c);
    SetResultInt(c, h ? h->Count() : -1);
  });
  funcs.Register("GetHistoryMaxCount", [history_of](TSysFuncCall& c) {
    TQuenNewHistory* h = history_of(c);
    SetResultInt(c, h ? h->max_count : -1);
  });
  funcs.Register("SetHistoryMaxCount", [history_of](TSysFuncCall& c) {
    TQuenNewHistory* h = history_of(c);
    if (h) h->SetMaxCount(c.args[1]->GetAsInteger());
    SetResultBool(c, h != nullptr);
  });
  funcs.Register("GetDisplayMode", [h](TSysFuncCall& c) {
    int32_t w = 0, hh = 0, bits = 0, hz = 0;
    if (!h->DisplayMode(c.args[0]->GetAsInteger(), w, hh, bits, hz)) {
      SetResultBool(c, false);
      return;
    }
    const int32_t values[4] = {w, hh, bits, hz};
    for (size_t i = 0; i < 4; ++i)
      if (TParamCollectionItem* v = VariableArg(c, i + 1); v && v->Value())
        v->Value()->SetAsInteger(values[i]);
    SetResultBool(c, true);
  });
  funcs.Register("Calc", [](TSysFuncCall& c) {
    const std::string text = c.args[0]->GetAsString();
    if (RunText(text, c.vars, c.funcs)) SetResultStr(c, "TRUE");
  });
  funcs.Register("DeleteStack", [h](TSysFuncCall& c) {
    TCallMan* cm = h->CallMan();
    SetResultBool(c, cm && cm->DeleteFrame(c.args[0]->GetAsInteger()));
  });
}

void RegisterAllSystemFunctions(TSysFuncMan& funcs, ISystemHost& host, TDBManager& db,
                                TFileFuncHooks file_hooks) {
  RegisterTextFunctions(funcs);
  RegisterValueFunctions(funcs);
  RegisterComponentFunctions(funcs, host);
  RegisterPlayerFunctions(funcs, host);
  RegisterDesktopFunctions(funcs, host);
  RegisterFileFunctions(funcs, host, std::move(file_hooks));
  RegisterDatabaseFunctions(funcs, db);
}

}  // namespace quen
