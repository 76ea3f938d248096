#include "expr/quen_parser.h"

#include <climits>

#include "base/error.h"
#include "expr/build_quen_parser.h"
#include "expr/messages.h"
#include "expr/param_collection.h"
#include "expr/param_convert.h"
#include "expr/param_var.h"
#include "expr/sys_func_man.h"

namespace quen {

std::string OpeName(uint8_t code) {
  static const char* const kNames[] = {
      "ocNone",  "ocTo",   "ocPlus",   "ocMinus",  "ocMul",    "ocDiv",      "ocMod",
      "ocOr",    "ocAnd",  "ocXor",    "ocDimTo",  "ocFunc",   "ocEqual",    "ocBig",
      "ocSmall", "ocEBig", "ocESmall", "ocShiftL", "ocShiftR", "ocComboStr", "ocNEqual"};
  return code <= kLastOpeCode ? kNames[code] : std::to_string(code);
}

namespace {

// Fewest bytes of a serialised record (operation, empty target, operand count) and operand.
constexpr int64_t kMinRecordBytes = 1 + 4 + 4;
constexpr int64_t kMinOperandBytes = 2;

// One run: its own temporaries, invisible to runs nested inside it (Calc).
struct TRun {
  TParamCollection& vars;
  const TSysFuncMan& funcs;
  TTempCollection temps;

  TParamCollectionItem* Find(const std::string& name) const {
    if (IsTempName(name))
      if (TParamCollectionItem* t = temps.Find(name)) return t;
    return vars.FindVariable(name);
  }

  TParamCollectionItem* Resolve(const std::string& name, TNameCache& cache) const {
    if (IsTempName(name))
      if (TParamCollectionItem* t = temps.Find(name)) return t;
    if (cache.table == &vars && cache.generation == vars.Generation()) return cache.item;
    TParamCollectionItem* r = vars.FindVariable(name);
    cache = {&vars, vars.Generation(), r};
    return r;
  }
};

// Detaches the operands from the variables they were resolved to, however the record ends.
struct TOperandRelease {
  std::vector<std::unique_ptr<TCustomParam>>& operands;
  ~TOperandRelease() {
    for (auto& o : operands)
      if (TParamVar* v = o->AsVar()) {
        v->ClearTarget();
        v->SetElementIndex(0);
      }
  }
};

[[noreturn]] void InvalidExpression(const TOpeData& rec) {
  std::string m = msg::kInvalidExpr;
  m += rec.target;
  m += msg::kInvalidExprOpType;
  m += OpeName(rec.op);
  for (const auto& o : rec.operands) {
    m += "\r\n";
    m += o->GetAsString();
  }
  RaiseError(m);
}

TCustomParam& Operand(const TOpeData& rec, size_t i) {
  if (i >= rec.operands.size()) InvalidExpression(rec);
  return *rec.operands[i];
}

int32_t AddressElement(const TParamVar& array, const TOpeData& rec) {
  std::vector<int32_t> subs;
  for (size_t i = 1; i < rec.operands.size(); ++i) subs.push_back(rec.operands[i]->GetAsInteger());
  auto prefix = [&] {
    std::string p = array.TargetName() + "[";
    for (size_t i = 0; i < subs.size(); ++i) {
      if (i) p += ',';
      p += std::to_string(subs[i]);
    }
    return p + "]\r\n";
  };
  if (static_cast<int32_t>(subs.size()) != array.GetDimCount())
    RaiseError(prefix() + msg::kSubscriptInvalid);
  // Row-major from the last subscript. Strides stay within kMaxArrayElements, but a long list
  // of subscripts may sum beyond 64 bits.
  __int128 flat = 0;
  int64_t stride = 1;
  for (size_t i = subs.size(); i-- > 0;) {
    flat += static_cast<__int128>(subs[i]) * stride;
    stride *= array.GetDimSize(static_cast<int32_t>(i));
  }
  // System arrays (the key flags, the parameters) answer any element themselves: outside their
  // count they read false or empty instead of failing the expression.
  const TParamCollectionItem* target = array.Target();
  const bool system = target && target->IsSystem();
  if (!system && flat >= array.GetCount()) RaiseError(prefix() + msg::kSubscriptBeyondCount);
  // A negative index passes here and fails at element access.
  return flat < 0 || flat > INT32_MAX ? -1 : static_cast<int32_t>(flat);
}

std::unique_ptr<TCustomParam> NewTemp(TRun& run, const TOpeData& rec) {
  auto type_of = [&](size_t i) { return Operand(rec, i).GetValueType(); };
  switch (rec.op) {
    case ocTo:
      return NewParam(type_of(0), &run.vars);
    case ocPlus:
      if (type_of(0) == PT_STR) return NewParam(PT_STR);
      [[fallthrough]];
    case ocMinus:
    case ocMul:
    case ocDiv:
      return NewParam(type_of(0) == PT_FLOAT || type_of(1) == PT_FLOAT ? PT_FLOAT : PT_INT);
    case ocDimTo: {
      TParamVar* array = Operand(rec, 0).AsVar();
      if (!array) InvalidExpression(rec);
      int32_t flat = AddressElement(*array, rec);
      auto ref = std::make_unique<TParamVar>(&run.vars, array->TargetName());
      ref->SetTarget(array->Target());
      ref->SetElementIndex(flat);
      return ref;
    }
    case ocFunc: {
      uint8_t type = rec.func < kSysFuncCount ? kSysFuncs[rec.func].result_type : PT_INT;
      if (rec.func == kSysFuncGetProp) {
        int code = Operand(rec, 1).GetAsInteger() & 0xFF;
        if (code >= kPropCount) RaiseError(msg::kGetPropArgInvalid);
        type = PropValueType(code);
      }
      return NewParam(type);
    }
    case ocEqual:
    case ocBig:
    case ocSmall:
    case ocEBig:
    case ocESmall:
    case ocNEqual:
      return NewParam(PT_BOOL);
    case ocComboStr:
      return NewParam(PT_STR);
    case ocMod:
    case ocOr:
    case ocAnd:
    case ocXor:
    case ocShiftL:
    case ocShiftR:
      return NewParam(PT_INT);
    default:
      InvalidExpression(rec);
  }
}

bool Compare(uint8_t op, const TCustomParam& a, const TCustomParam& b) {
  int c = 0;
  switch (a.GetValueType()) {
    case PT_STR: {
      std::string x = a.GetAsString(), y = b.GetAsString();
      c = x.compare(y);  // bytes as unsigned values, a shorter prefix first
      break;
    }
    case PT_FLOAT: {
      long double x = a.GetAsFloat(), y = b.GetAsFloat();
      c = x < y ? -1 : (x > y ? 1 : 0);
      break;
    }
    case PT_BOOL: {
      bool x = a.GetAsBool(), y = b.GetAsBool();
      c = x == y ? 0 : (x ? 1 : -1);
      break;
    }
    default: {
      int32_t x = a.GetAsInteger(), y = b.GetAsInteger();
      c = x < y ? -1 : (x > y ? 1 : 0);
      break;
    }
  }
  switch (op) {
    case ocEqual:
      return c == 0;
    case ocNEqual:
      return c != 0;
    case ocBig:
      return c > 0;
    case ocSmall:
      return c < 0;
    case ocEBig:
      return c >= 0;
    default:
      return c <= 0;
  }
}

// The record's name operands are bound to their variables for the duration of the record.
void RunRecord(TRun& run, TOpeData& rec) {
  auto& operands = rec.operands;
  TOperandRelease release{operands};
  if (rec.operand_cache.size() != operands.size()) rec.operand_cache.assign(operands.size(), {});
  for (size_t i = 0; i < operands.size(); ++i) {
    TParamVar* v = operands[i]->AsVar();
    if (!v) continue;
    TParamCollectionItem* r = run.Resolve(v->TargetName(), rec.operand_cache[i]);
    if (!r) RaiseErrorFmt(msg::kVariableMissing, v->TargetName().c_str());
    v->SetTarget(r);
    // An array-element temporary hands its element on.
    if (const TParamVar* ref = r->Value()->AsVar()) v->SetElementIndex(ref->ElementIndex());
  }
  TParamCollectionItem* target = run.Resolve(rec.target, rec.target_cache);
  if (!target && IsTempName(rec.target)) target = run.temps.Add(rec.target, NewTemp(run, rec));
  if (!target) RaiseErrorFmt(msg::kVariableMissing, rec.target.c_str());
  TCustomParam& t = *target->Value();

  switch (rec.op) {
    case ocTo: {
      const TCustomParam& a = Operand(rec, 0);
      switch (t.GetValueType()) {
        case PT_INT:
          t.SetAsInteger(a.GetAsInteger());
          break;
        case PT_FLOAT:
          t.SetAsFloat(a.GetAsFloat());
          break;
        case PT_BOOL:
          t.SetAsBool(a.GetAsBool());
          break;
        case PT_STR:
          t.SetAsString(a.GetAsString());
          break;
        default:
          break;
      }
      break;
    }
    case ocPlus:
    case ocMinus:
    case ocMul:
    case ocDiv: {
      const TCustomParam& a = Operand(rec, 0);
      const TCustomParam& b = Operand(rec, 1);
      if (t.GetValueType() == PT_FLOAT) {
        long double x = a.GetAsFloat(), y = b.GetAsFloat();
        t.SetAsFloat(rec.op == ocPlus    ? conv::FloatAdd(x, y)
                     : rec.op == ocMinus ? conv::FloatSub(x, y)
                     : rec.op == ocMul   ? conv::FloatMul(x, y)
                                         : conv::FloatDiv(x, y));
      } else {
        int32_t x = a.GetAsInteger(), y = b.GetAsInteger();
        t.SetAsInteger(rec.op == ocPlus    ? conv::IntAdd(x, y)
                       : rec.op == ocMinus ? conv::IntSub(x, y)
                       : rec.op == ocMul   ? conv::IntMul(x, y)
                                           : conv::IntDiv(x, y));
      }
      break;
    }
    case ocMod:
    case ocOr:
    case ocAnd:
    case ocXor:
    case ocShiftL:
    case ocShiftR: {
      int32_t x = Operand(rec, 0).GetAsInteger(), y = Operand(rec, 1).GetAsInteger();
      int32_t v = 0;
      switch (rec.op) {
        case ocMod:
          v = conv::IntMod(x, y);
          break;
        case ocOr:
          v = x | y;
          break;
        case ocAnd:
          v = x & y;
          break;
        case ocXor:
          v = x ^ y;
          break;
        case ocShiftL:
          v = conv::IntShl(x, y);
          break;
        default:
          v = conv::IntShr(x, y);
          break;
      }
      t.SetAsInteger(v);
      break;
    }
    case ocComboStr:
      t.SetAsString(Operand(rec, 0).GetAsString() + Operand(rec, 1).GetAsString());
      break;
    case ocEqual:
    case ocBig:
    case ocSmall:
    case ocEBig:
    case ocESmall:
    case ocNEqual:
      t.SetAsBool(Compare(rec.op, Operand(rec, 0), Operand(rec, 1)));
      break;
    case ocFunc: {
      // Constants go in as throw-away copies: a function that writes into its argument must
      // not change the compiled expression.
      std::vector<std::unique_ptr<TCustomParam>> copies;
      std::vector<TCustomParam*> args;
      for (auto& o : operands) {
        if (o->AsVar()) {
          args.push_back(o.get());
        } else {
          copies.push_back(o->Clone());
          args.push_back(copies.back().get());
        }
      }
      TSysFuncCall call{run.vars, run.funcs, *target, rec.func, args};
      run.funcs.Execute(call);
      break;
    }
    case ocDimTo:
      break;
    default:
      InvalidExpression(rec);
  }
}

}  // namespace

void TQuenParser::LoadFromStream(TStream& s) {
  records_.clear();
  result_.reset();
  int32_t count = ReadInt32(s);
  if (count < 0 || count > s.Remaining() / kMinRecordBytes) RaiseReadError();
  std::vector<TOpeData> records(static_cast<size_t>(count));
  for (TOpeData& rec : records) {
    rec.op = ReadByte(s);
    rec.target = ReadString(s);
    int32_t n = ReadInt32(s);
    if (n < 0 || n > s.Remaining() / kMinOperandBytes) RaiseReadError();
    if (rec.op == ocFunc) {
      rec.func = ReadByte(s);
      if (rec.func >= kSysFuncCount) RaiseErrorFmt(msg::kFuncNumberInvalid, rec.func);
      if (!SysFuncArgCountOk(rec.func, n))
        RaiseError(std::string(kSysFuncs[rec.func].name) + msg::kFuncArgCountInvalid);
    }
    rec.operands.reserve(static_cast<size_t>(n));
    for (int32_t i = 0; i < n; ++i) {
      uint8_t type = ReadByte(s);
      std::unique_ptr<TCustomParam> v;
      switch (type) {
        case PT_NONE:
          v = std::make_unique<TParamVar>(nullptr, ReadString(s));
          break;
        case PT_INT:
          v = NewParam(PT_INT);
          v->SetAsInteger(ReadInt32(s));
          break;
        case PT_FLOAT:
          v = NewParam(PT_FLOAT);
          v->SetAsFloat(ReadExtended(s));
          break;
        case PT_BOOL:
          v = NewParam(PT_BOOL);
          v->SetAsBool(ReadByte(s) != 0);
          break;
        case PT_STR:
          v = NewParam(PT_STR);
          v->SetAsString(ReadString(s));
          break;
        default:
          RaiseErrorFmt(msg::kOperandTypeInvalid, type);
      }
      rec.operands.push_back(std::move(v));
    }
  }
  records_ = std::move(records);
}

void TQuenParser::SaveToStream(TStream& s) const {
  TKvMemoryStream m;
  WriteInt32(m, static_cast<int32_t>(records_.size()));
  for (const TOpeData& rec : records_) {
    WriteByte(m, rec.op);
    WriteString(m, rec.target);
    WriteInt32(m, static_cast<int32_t>(rec.operands.size()));
    if (rec.op == ocFunc) WriteByte(m, rec.func);
    for (const auto& o : rec.operands) {
      if (const TParamVar* v = o->AsVar()) {
        WriteByte(m, PT_NONE);
        WriteString(m, v->TargetName());
        continue;
      }
      uint8_t type = o->GetValueType();
      WriteByte(m, type);
      switch (type) {
        case PT_INT:
          WriteInt32(m, o->GetAsInteger());
          break;
        case PT_FLOAT:
          WriteExtended(m, o->GetAsFloat());
          break;
        case PT_BOOL:
          WriteByte(m, o->GetAsBool() ? 1 : 0);
          break;
        default:
          WriteString(m, o->GetAsString());
          break;
      }
    }
  }
  s.WriteBuffer(m.Data().data(), static_cast<int64_t>(m.Data().size()));
}

void TQuenParser::Assign(const TQuenParser& other) {
  if (&other == this) return;
  std::vector<TOpeData> records;
  for (const TOpeData& rec : other.records_) {
    TOpeData copy;
    copy.op = rec.op;
    copy.target = rec.target;
    copy.func = rec.func;
    for (const auto& o : rec.operands) copy.operands.push_back(o->Clone());
    records.push_back(std::move(copy));
  }
  records_ = std::move(records);
  result_.reset();
}

void TQuenParser::Execute(TParamCollection& vars, const TSysFuncMan& funcs) {
  result_.reset();
  last_error_.clear();
  // A lone constant (most property values of a page) is its own result: the run would make a
  // temporary of the constant's type, copy the value in and detach it again.
  // (Unless a variable of the temporary's name exists: then the record writes into it.)
  if (records_.size() == 1) {
    TOpeData& only = records_.front();
    if (only.op == ocTo && only.operands.size() == 1 && !only.operands[0]->AsVar() &&
        only.target == kArgTemp) {
      TNameCache& c = only.target_cache;
      if (c.table != &vars || c.generation != vars.Generation())
        c = {&vars, vars.Generation(), vars.FindVariable(only.target)};
      if (!c.item) {
        result_ = only.operands[0]->Clone();
        return;
      }
    }
  }
  TRun run{vars, funcs, {}};
  try {
    for (TOpeData& rec : records_) RunRecord(run, rec);
  } catch (const EQuenError& e) {
    last_error_ = e.Message().empty() ? " " : e.Message();
  } catch (const std::exception& e) {
    last_error_ = e.what();
    if (last_error_.empty()) last_error_ = " ";
  }
  // "____arg" is the last record, so a run that failed never finished it: its temporary may
  // exist with the initial 0, but the run produced no result.
  if (!last_error_.empty()) return;
  if (records_.empty() || records_.back().op != ocTo || records_.back().target != kArgTemp) return;
  TParamCollectionItem* arg = run.Find(kArgTemp);
  if (!arg) return;
  result_ = DetachItemValue(*arg);
}

bool RunText(std::string_view text, TParamCollection& vars, const TSysFuncMan& funcs) {
  while (!text.empty() && static_cast<unsigned char>(text.front()) <= 0x20) text.remove_prefix(1);
  while (!text.empty() && static_cast<unsigned char>(text.back()) <= 0x20) text.remove_suffix(1);
  if (text.empty()) return false;
  try {
    TBuildQuenParser build;
    build.Build(text);
    TKvMemoryStream m;
    build.Write(m);
    m.SetPosition(0);
    TQuenParser parser;
    parser.LoadFromStream(m);
    parser.Execute(vars, funcs);
    return true;
  } catch (const EQuenError&) {
    return false;
  }
}

}  // namespace quen
