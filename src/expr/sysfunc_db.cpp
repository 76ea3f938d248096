// The DB system functions (numbers 87 to 124). None of them raises an error of its own: a
// missing table, field or record gives FALSE, 0, -1 or the empty text.
#include <algorithm>
#include <string>
#include <vector>

#include "expr/db_manager.h"
#include "expr/param_collection.h"
#include "expr/param_types.h"
#include "expr/sys_func_man.h"
#include "expr/sysfunc_args.h"
#include "files/file_manager.h"

namespace quen {

namespace {

using sysarg::Bool;
using sysarg::Has;
using sysarg::Int;
using sysarg::Result;
using sysarg::Str;
void SetBool(TSysFuncCall& c, bool v) {
  sysarg::SetResultBool(c, v);
}

// The search given by the arguments from first on: names, values, partial, ignore case.
TDBSearch SearchFrom(const TSysFuncCall& c, size_t first) {
  TDBSearch q;
  if (Has(c, first + 1)) {
    q.names = c.args[first];
    q.values = c.args[first + 1];
  }
  q.partial = Bool(c, first + 2);
  q.ignore_case = Bool(c, first + 3);
  return q;
}

// The table named by argument 0 when given, otherwise the active one.
TDBCustomTable* NamedOrActive(const TSysFuncCall& c, TDBManager& db) {
  return Has(c, 0) ? db.Find(Str(c, 0)) : db.Active();
}

// DBDirect*: the first record of table a matching the search of arguments 1 to 4, and the
// index of field f in it; false when there is none.
bool DirectTarget(const TSysFuncCall& c, TDBManager& db, TDBCustomTable*& table, int32_t& record,
                  int32_t& field) {
  table = db.Find(Str(c, 0));
  if (!table) return false;
  field = table->Fields().IndexOf(Str(c, 5));
  if (field < 0) return false;
  std::vector<int32_t> found = table->Search(SearchFrom(c, 1));
  if (found.empty()) return false;
  record = found.front();
  return true;
}

}  // namespace

void RegisterDatabaseFunctions(TSysFuncMan& funcs, TDBManager& db) {
  funcs.Register("DBCreateTable", [&db](TSysFuncCall& c) {
    SetBool(c, db.CreateTable(Str(c, 0), Bool(c, 1) ? kDBStatusClass : kDBGameClass));
  });
  funcs.Register("DBSetActive", [&db](TSysFuncCall& c) { SetBool(c, db.SetActive(Str(c, 0))); });
  funcs.Register("DBAddField", [&db](TSysFuncCall& c) {
    TDBCustomTable* t = db.Active();
    SetBool(c, t && t->AddField(Str(c, 0), Int(c, 1), Int(c, 2)));
  });
  funcs.Register("DBSetRecNo", [&db](TSysFuncCall& c) {
    TDBCustomTable* t = db.Active();
    SetBool(c, t && t->SetRecNo(Int(c, 0)));
  });
  funcs.Register("DBInsert", [&db](TSysFuncCall& c) {
    TDBCustomTable* t = db.Active();
    if (!t || !t->Append()) return;
    const int32_t rec = t->RecNo();
    for (size_t i = 0; i < c.args.size() && i < static_cast<size_t>(t->Fields().Count()); ++i) {
      const TCustomParam* a = c.args[i];
      if (!a) continue;
      const int32_t f = static_cast<int32_t>(i);
      switch (a->GetValueType()) {
        case PT_INT:
          t->SetIntAt(rec, f, a->GetAsInteger());
          break;
        case PT_FLOAT:
          t->SetFloatAt(rec, f, a->GetAsFloat());
          break;
        case PT_BOOL:
          t->SetBoolAt(rec, f, a->GetAsBool());
          break;
        default:
          t->SetStrAt(rec, f, a->GetAsString());
      }
    }
    SetBool(c, true);
  });
  funcs.Register("DBDelete", [&db](TSysFuncCall& c) {
    TDBCustomTable* t = db.Active();
    SetBool(c, t && t->DeleteCurrent());
  });

  funcs.Register("DBGetInt", [&db](TSysFuncCall& c) {
    if (TDBCustomTable* t = db.Active())
      if (auto v = t->GetInt(Str(c, 0))) Result(c).SetAsInteger(*v);
  });
  funcs.Register("DBSetInt", [&db](TSysFuncCall& c) {
    TDBCustomTable* t = db.Active();
    SetBool(c, t && t->SetInt(Str(c, 0), Int(c, 1)));
  });
  funcs.Register("DBGetFloat", [&db](TSysFuncCall& c) {
    if (TDBCustomTable* t = db.Active())
      if (auto v = t->GetFloat(Str(c, 0))) Result(c).SetAsFloat(*v);
  });
  funcs.Register("DBSetFloat", [&db](TSysFuncCall& c) {
    TDBCustomTable* t = db.Active();
    SetBool(c, t && Has(c, 1) && t->SetFloat(Str(c, 0), c.args[1]->GetAsFloat()));
  });
  funcs.Register("DBGetBool", [&db](TSysFuncCall& c) {
    if (TDBCustomTable* t = db.Active())
      if (auto v = t->GetBool(Str(c, 0))) Result(c).SetAsBool(*v);
  });
  funcs.Register("DBSetBool", [&db](TSysFuncCall& c) {
    TDBCustomTable* t = db.Active();
    SetBool(c, t && t->SetBool(Str(c, 0), Bool(c, 1)));
  });
  funcs.Register("DBGetStr", [&db](TSysFuncCall& c) {
    if (TDBCustomTable* t = db.Active())
      if (auto v = t->GetStr(Str(c, 0))) Result(c).SetAsString(*v);
  });
  funcs.Register("DBSetStr", [&db](TSysFuncCall& c) {
    TDBCustomTable* t = db.Active();
    SetBool(c, t && t->SetStr(Str(c, 0), Str(c, 1)));
  });

  funcs.Register("DBRecordCount", [&db](TSysFuncCall& c) {
    TDBCustomTable* t = NamedOrActive(c, db);
    Result(c).SetAsInteger(t ? t->RecordCount() : -1);
  });
  funcs.Register("DBFindFirst", [&db](TSysFuncCall& c) {
    TDBCustomTable* t = db.Active();
    SetBool(c, t && t->First());
  });
  funcs.Register("DBFindLast", [&db](TSysFuncCall& c) {
    TDBCustomTable* t = db.Active();
    SetBool(c, t && t->Last());
  });
  funcs.Register("DBFindNext", [&db](TSysFuncCall& c) {
    TDBCustomTable* t = db.Active();
    SetBool(c, t && t->Next());
  });
  funcs.Register("DBFindPrior", [&db](TSysFuncCall& c) {
    TDBCustomTable* t = db.Active();
    SetBool(c, t && t->Prior());
  });
  funcs.Register("DBLocate", [&db](TSysFuncCall& c) {
    TDBCustomTable* t = db.Active();
    if (!t) return;
    std::vector<int32_t> found = t->Search(SearchFrom(c, 0));
    SetBool(c, !found.empty() && t->SetRecNo(found.front()));
  });
  funcs.Register("DBLoadTsvFile", [&db](TSysFuncCall& c) {
    TDBCustomTable* t = db.Active();
    const std::string name = Str(c, 0);
    if (!t || !HasFileManager() || !FileManager().FileExists(name)) return;
    TKvMemoryStream m;
    FileManager().LoadFile(m, name);
    SetBool(c, t->LoadTsvText(m.Data()));
  });

  funcs.Register("DBDirectGetInt", [&db](TSysFuncCall& c) {
    TDBCustomTable* t = nullptr;
    int32_t r = -1, f = -1;
    Result(c).SetAsInteger(DirectTarget(c, db, t, r, f) ? t->GetIntAt(r, f).value_or(0)
                                                        : Int(c, 6));
  });
  funcs.Register("DBDirectSetInt", [&db](TSysFuncCall& c) {
    TDBCustomTable* t = nullptr;
    int32_t r = -1, f = -1;
    SetBool(c, DirectTarget(c, db, t, r, f) && t->SetIntAt(r, f, Int(c, 6)));
  });
  funcs.Register("DBDirectGetFloat", [&db](TSysFuncCall& c) {
    TDBCustomTable* t = nullptr;
    int32_t r = -1, f = -1;
    if (DirectTarget(c, db, t, r, f))
      Result(c).SetAsFloat(t->GetFloatAt(r, f).value_or(0));
    else if (Has(c, 6))
      Result(c).SetAsFloat(c.args[6]->GetAsFloat());
  });
  funcs.Register("DBDirectSetFloat", [&db](TSysFuncCall& c) {
    TDBCustomTable* t = nullptr;
    int32_t r = -1, f = -1;
    SetBool(c, DirectTarget(c, db, t, r, f) && Has(c, 6) &&
                   t->SetFloatAt(r, f, c.args[6]->GetAsFloat()));
  });
  funcs.Register("DBDirectGetBool", [&db](TSysFuncCall& c) {
    TDBCustomTable* t = nullptr;
    int32_t r = -1, f = -1;
    SetBool(c, DirectTarget(c, db, t, r, f) ? t->GetBoolAt(r, f).value_or(false) : Bool(c, 6));
  });
  funcs.Register("DBDirectSetBool", [&db](TSysFuncCall& c) {
    TDBCustomTable* t = nullptr;
    int32_t r = -1, f = -1;
    SetBool(c, DirectTarget(c, db, t, r, f) && t->SetBoolAt(r, f, Bool(c, 6)));
  });
  funcs.Register("DBDirectGetStr", [&db](TSysFuncCall& c) {
    TDBCustomTable* t = nullptr;
    int32_t r = -1, f = -1;
    Result(c).SetAsString(DirectTarget(c, db, t, r, f) ? t->GetStrAt(r, f).value_or("")
                                                       : Str(c, 6));
  });
  funcs.Register("DBDirectSetStr", [&db](TSysFuncCall& c) {
    TDBCustomTable* t = nullptr;
    int32_t r = -1, f = -1;
    SetBool(c, DirectTarget(c, db, t, r, f) && t->SetStrAt(r, f, Str(c, 6)));
  });

  funcs.Register("DBCopyTable", [&db](TSysFuncCall& c) {
    TDBCustomTable* t = db.Active();
    if (!t) return;
    const std::string name = Str(c, 0);
    std::vector<int32_t> found = t->Search(SearchFrom(c, 1));
    // A table that exists already is overwritten with the copy; a new one gets the save
    // class of its source.
    if (!db.Find(name) && !db.CreateTable(name, t->SaveClass())) return;
    db.Find(name)->AssignRecords(*t, found);
    SetBool(c, true);
  });
  funcs.Register("DBDeleteTable", [&db](TSysFuncCall& c) {
    SetBool(c, Has(c, 0) ? db.DeleteTable(Str(c, 0)) : db.Remove(db.Active()));
  });
  funcs.Register("DBInsertTable", [&db](TSysFuncCall& c) {
    TDBCustomTable* source = db.Find(Str(c, 0));
    TDBCustomTable* t = db.Active();
    if (!source || !t) return;
    SetBool(c, t->AppendConverted(*source, source->Search(SearchFrom(c, 1))));
  });
  funcs.Register("DBCopy", [&db](TSysFuncCall& c) {
    TDBCustomTable* t = db.Active();
    TDBCustomTable* dest = db.Find(Str(c, 0));
    if (!t || !dest || t->RecNo() < 0 || !dest->Fields().SameAs(t->Fields())) return;
    SetBool(c, dest->AppendCopy(t->CurrentData()));
  });
  funcs.Register("DBClearTable", [&db](TSysFuncCall& c) {
    db.Clear();
    SetBool(c, true);
  });
  funcs.Register("DBSort", [&db](TSysFuncCall& c) {
    TDBCustomTable* t = db.Active();
    if (!t || !Has(c, 1)) return;
    const TCustomParam& names = *c.args[0];
    const TCustomParam& dirs = *c.args[1];
    const int32_t n = std::min(names.GetCount(), dirs.GetCount());
    std::vector<TDBSortKey> keys;
    for (int32_t i = 0; i < n; ++i) {
      const int32_t f = t->Fields().IndexOf(names.GetStrAt(i));
      if (f >= 0) keys.push_back({f, dirs.GetBoolAt(i)});
    }
    t->Sort(keys);
    SetBool(c, true);
  });
  funcs.Register("DBGetActive", [&db](TSysFuncCall& c) {
    if (TDBCustomTable* t = db.Active()) Result(c).SetAsString(t->Name());
  });
  funcs.Register("DBGetRecNo", [&db](TSysFuncCall& c) {
    TDBCustomTable* t = NamedOrActive(c, db);
    Result(c).SetAsInteger(t ? t->RecNo() : -1);
  });
  funcs.Register("DBClearRecord", [&db](TSysFuncCall& c) {
    TDBCustomTable* t = NamedOrActive(c, db);
    if (!t) return;
    t->ClearRecords();
    SetBool(c, true);
  });
}

}  // namespace quen
