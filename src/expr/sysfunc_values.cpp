// System functions on numbers, dates, arrays and the variable table.
#include <algorithm>
#include <array>
#include <cmath>
#include <mutex>
#include <numeric>
#include <string>
#include <vector>

#include "base/error.h"
#include "base/sjis.h"
#include "expr/date_serial.h"
#include "expr/messages.h"
#include "expr/param_collection.h"
#include "expr/param_convert.h"
#include "expr/param_var.h"
#include "expr/random_source.h"
#include "expr/sysfunc_args.h"
#include "expr/sysfunc_messages.h"
#include "expr/sysfunc_register.h"
#include "platform/clock.h"

namespace quen {

namespace {

// ---- Random numbers: xoshiro256** seeded through splitmix64, one generator per process.

class TRandomSource {
 public:
  void Seed(uint64_t seed) {
    for (uint64_t& word : s_) word = SplitMix(seed);
    seeded_ = true;
  }

  // Uniform in 0 <= r < bound (bound > 0): the multiply-and-shift method, rejecting the few
  // products that would favour some results over others.
  uint32_t Below(uint32_t bound) {
    if (!seeded_) SeedFromClock();
    uint64_t m = (Next() >> 32) * bound;
    auto low = static_cast<uint32_t>(m);
    if (low < bound) {
      uint32_t threshold = (0u - bound) % bound;
      while (low < threshold) {
        m = (Next() >> 32) * bound;
        low = static_cast<uint32_t>(m);
      }
    }
    return static_cast<uint32_t>(m >> 32);
  }

  double Unit() {
    if (!seeded_) SeedFromClock();
    return static_cast<double>(Next() >> 11) * 0x1.0p-53;
  }

 private:
  static uint64_t SplitMix(uint64_t& x) {
    uint64_t z = (x += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  static uint64_t Rotl(uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }

  uint64_t Next() {
    uint64_t result = Rotl(s_[1] * 5, 7) * 9;
    uint64_t t = s_[1] << 17;
    s_[2] ^= s_[0];
    s_[3] ^= s_[1];
    s_[1] ^= s_[2];
    s_[0] ^= s_[3];
    s_[2] ^= t;
    s_[3] = Rotl(s_[3], 45);
    return result;
  }

  void SeedFromClock() { Seed(platform::Clock().Entropy()); }

  std::array<uint64_t, 4> s_{};
  bool seeded_ = false;
};

std::mutex g_random_mutex;
TRandomSource g_random;

// ---- Arguments

// The variable record's value an argument names, or null for a constant (or a reference whose
// variable is gone).
TCustomParam* VarArg(TSysFuncCall& c, size_t i) {
  return sysarg::VariableValue(c, i);
}

// What a function writes into or reads as a whole: the named variable, or else the argument
// itself (a constant's throw-away copy).
TCustomParam& Whole(TSysFuncCall& c, size_t i) {
  TCustomParam* v = VarArg(c, i);
  return v ? *v : *c.args[i];
}

TCustomParam& Out(TSysFuncCall& c) {
  return sysarg::Result(c);
}

int32_t IntArg(TSysFuncCall& c, size_t i) {
  return sysarg::Int(c, i);
}
long double FloatArg(TSysFuncCall& c, size_t i) {
  return sysarg::Float(c, i);
}
std::string StrArg(TSysFuncCall& c, size_t i) {
  return sysarg::Str(c, i);
}
bool BoolArg(TSysFuncCall& c, size_t i, bool absent) {
  return sysarg::Bool(c, i, absent);
}

// ---- Element access by type, so that array edits keep the elements exactly.

template <typename T>
T GetAt(const TCustomParam& p, int32_t i);
template <>
int32_t GetAt(const TCustomParam& p, int32_t i) {
  return p.GetIntAt(i);
}
template <>
long double GetAt(const TCustomParam& p, int32_t i) {
  return p.GetFloatAt(i);
}
template <>
uint8_t GetAt(const TCustomParam& p, int32_t i) {
  return p.GetBoolAt(i) ? 1 : 0;
}
template <>
std::string GetAt(const TCustomParam& p, int32_t i) {
  return p.GetStrAt(i);
}

void SetAt(TCustomParam& p, int32_t i, int32_t v) {
  p.SetIntAt(i, v);
}
void SetAt(TCustomParam& p, int32_t i, long double v) {
  p.SetFloatAt(i, v);
}
void SetAt(TCustomParam& p, int32_t i, uint8_t v) {
  p.SetBoolAt(i, v != 0);
}
void SetAt(TCustomParam& p, int32_t i, const std::string& v) {
  p.SetStrAt(i, v);
}

// Calls f with a value of the element type of the value type; false for a value of no type.
template <typename F>
bool ByType(uint8_t type, F&& f) {
  switch (type) {
    case PT_INT:
      f(int32_t{});
      return true;
    case PT_FLOAT:
      f(static_cast<long double>(0));
      return true;
    case PT_BOOL:
      f(uint8_t{});
      return true;
    case PT_STR:
      f(std::string());
      return true;
    default:
      return false;
  }
}

// Rebuilds a as a one-dimensional array: its first `at` elements, every element of `ins`
// converted to a's type, then a's elements from at + removed on. Returns the element count the
// edit asked for. Everything is read before a changes, so a failed conversion or the size cap
// leaves a as it was, and ins may be a itself. A value never goes without elements: when the
// edit leaves none, a keeps one blank element while the result still says 0.
int32_t Splice(TCustomParam& a, int32_t at, int32_t removed, const TCustomParam* ins) {
  int64_t count = a.GetCount();
  int64_t added = ins ? ins->GetCount() : 0;
  int64_t total = count - removed + added;
  if (total > kMaxArrayElements)
    RaiseErrorFmt(msg::kArraySizeInvalid, std::to_string(total).c_str());
  auto kept = static_cast<int32_t>(std::max<int64_t>(total, 1));
  bool typed = ByType(a.GetValueType(), [&](auto tag) {
    using T = decltype(tag);
    std::vector<T> items;
    items.reserve(static_cast<size_t>(kept));
    for (int32_t i = 0; i < at; ++i) items.push_back(GetAt<T>(a, i));
    for (int64_t i = 0; i < added; ++i) items.push_back(GetAt<T>(*ins, static_cast<int32_t>(i)));
    for (int64_t i = int64_t{at} + removed; i < count; ++i)
      items.push_back(GetAt<T>(a, static_cast<int32_t>(i)));
    items.resize(static_cast<size_t>(kept));
    a.SetDims({kept});
    // A read-only system array keeps its own size.
    for (int32_t i = 0; i < kept && i < a.GetCount(); ++i)
      SetAt(a, i, items[static_cast<size_t>(i)]);
  });
  return typed ? static_cast<int32_t>(total) : a.GetCount();
}

// Bounds v to lo..hi; lo wins when the range is empty.
int32_t Clamp(int64_t v, int64_t lo, int64_t hi) {
  return static_cast<int32_t>(std::max(lo, std::min(v, hi)));
}

// ---- Text to array

std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find_first_of("\r\n", pos);  // CR and LF are never trail bytes
    if (end == std::string_view::npos) end = text.size();
    lines.emplace_back(text.substr(pos, end - pos));
    pos = end;
    if (pos < text.size() && text[pos] == '\r') ++pos;
    if (pos < text.size() && text[pos] == '\n') ++pos;
  }
  return lines;
}

// Cuts at every single-byte character that is one of the single-byte characters of delims;
// double-byte characters are never cut, and a final empty piece is dropped.
std::vector<std::string> SplitAt(std::string_view text, std::string_view delims) {
  std::array<bool, 256> is_delim{};
  sjis::ForEachChar(delims, [&](size_t i, size_t n) {
    if (n == 1) is_delim[static_cast<unsigned char>(delims[i])] = true;
  });
  std::vector<std::string> pieces;
  size_t start = 0;
  bool open = false;
  sjis::ForEachChar(text, [&](size_t i, size_t n) {
    open = true;
    if (n == 1 && is_delim[static_cast<unsigned char>(text[i])]) {
      pieces.emplace_back(text.substr(start, i - start));
      start = i + 1;
      open = false;
    }
  });
  if (open) pieces.emplace_back(text.substr(start));
  return pieces;
}

// ---- Dates

date::TDateParts DateArg(TSysFuncCall& c) {
  return date::Decode(FloatArg(c, 0));
}

constexpr std::array<const char*, 7> kWeekNames = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                                   "Thursday", "Friday", "Saturday"};
constexpr std::array<const char*, 7> kWeekJNames = {msg::kWeekJSun, msg::kWeekJMon, msg::kWeekJTue,
                                                    msg::kWeekJWed, msg::kWeekJThu, msg::kWeekJFri,
                                                    msg::kWeekJSat};

using TImpl = void (*)(TSysFuncCall&);

void Add(TSysFuncMan& funcs, const char* name, TImpl impl) {
  // Pages are checked when they load; a call made some other way with too few arguments does
  // nothing rather than read past them.
  funcs.Register(name, [impl](TSysFuncCall& c) {
    if (SysFuncArgCountOk(c.number, static_cast<int>(c.args.size()))) impl(c);
  });
}

void AddUnary(TSysFuncMan& funcs, const char* name, long double (*f)(long double)) {
  funcs.Register(name, [f](TSysFuncCall& c) {
    if (!c.args.empty()) Out(c).SetAsFloat(f(FloatArg(c, 0)));
  });
}

}  // namespace

int32_t RandomBelow(int32_t n) {
  if (n <= 0) return 0;
  std::lock_guard<std::mutex> lock(g_random_mutex);
  return static_cast<int32_t>(g_random.Below(static_cast<uint32_t>(n)));
}

double RandomUnit() {
  std::lock_guard<std::mutex> lock(g_random_mutex);
  return g_random.Unit();
}

void SetRandomSeed(uint64_t seed) {
  std::lock_guard<std::mutex> lock(g_random_mutex);
  g_random.Seed(seed);
}

void RegisterValueFunctions(TSysFuncMan& funcs) {
  // ---- Arrays

  Add(funcs, "GetArraySize", [](TSysFuncCall& c) {
    TCustomParam* a = VarArg(c, 0);
    if (!a) RaiseError(msg::kGetArraySizeNoVar);
    if (c.args.size() < 2) {
      Out(c).SetAsInteger(a->GetCount());
      return;
    }
    // Dimensions count from the last one; anything outside reads as size 1.
    int64_t dim = int64_t{a->GetDimCount()} - 1 - IntArg(c, 1);
    Out(c).SetAsInteger(a->GetDimSize(dim < 0 || dim > INT32_MAX ? -1 : static_cast<int32_t>(dim)));
  });

  Add(funcs, "SetArray", [](TSysFuncCall& c) {
    TCustomParam* a = VarArg(c, 0);
    if (!a) RaiseError(msg::kSetArrayNoVar);
    std::vector<int32_t> sizes;
    for (size_t i = 1; i < c.args.size(); ++i) sizes.push_back(IntArg(c, i));
    a->SetDims(sizes);
  });

  Add(funcs, "FillMem", [](TSysFuncCall& c) {
    TCustomParam* a = VarArg(c, 0);
    if (!a) RaiseError(msg::kFillMemNoVar);
    switch (a->GetValueType()) {
      case PT_INT:
        a->FillInt(IntArg(c, 1));
        break;
      case PT_FLOAT:
        a->FillFloat(FloatArg(c, 1));
        break;
      case PT_BOOL:
        a->FillBool(c.args[1]->GetAsBool());
        break;
      case PT_STR:
        a->FillStr(StrArg(c, 1));
        break;
      default:
        break;
    }
  });

  Add(funcs, "CopyMem", [](TSysFuncCall& c) {
    TCustomParam* a = VarArg(c, 0);
    TCustomParam* b = VarArg(c, 1);
    if (!a || !b) RaiseError(msg::kCopyMemNoVar);
    a->CopyFromSameType(*b);  // raises the type-mismatch message
  });

  Add(funcs, "ArrayToString", [](TSysFuncCall& c) {
    const TCustomParam& a = Whole(c, 0);
    std::string sep = c.args.size() > 1 ? StrArg(c, 1) : std::string("\r\n");
    std::string out;
    int32_t count = a.GetCount();
    for (int32_t i = 0; i < count; ++i) {
      if (i) out += sep;
      out += a.GetStrAt(i);
    }
    Out(c).SetAsString(out);
  });

  Add(funcs, "StringToArray", [](TSysFuncCall& c) {
    std::string text = StrArg(c, 0);  // read first: b may be the same variable
    std::string delims = c.args.size() > 2 ? StrArg(c, 2) : std::string("\r\n");
    std::vector<std::string> pieces = delims == "\r\n" ? SplitLines(text) : SplitAt(text, delims);
    TCustomParam& b = Whole(c, 1);
    if (pieces.empty()) {
      b.SetAsString("");
      return;
    }
    if (pieces.size() > static_cast<size_t>(kMaxArrayElements))
      RaiseErrorFmt(msg::kArraySizeInvalid, std::to_string(pieces.size()).c_str());
    auto n = static_cast<int32_t>(pieces.size());
    b.SetDims({n});
    for (int32_t i = 0; i < n && i < b.GetCount(); ++i)
      b.SetStrAt(i, pieces[static_cast<size_t>(i)]);
  });

  Add(funcs, "IndexOfStr", [](TSysFuncCall& c) {
    Out(c).SetAsInteger(
        c.args[0]->FindString(StrArg(c, 1), BoolArg(c, 2, true), BoolArg(c, 3, false)));
  });

  Add(funcs, "SortStr", [](TSysFuncCall& c) {
    TCustomParam& a = Whole(c, 0);
    int32_t count = a.GetCount();
    std::vector<std::string> keys(static_cast<size_t>(count));
    for (int32_t i = 0; i < count; ++i) keys[static_cast<size_t>(i)] = a.GetStrAt(i);
    std::vector<int32_t> order(static_cast<size_t>(count));
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int32_t x, int32_t y) {
      return sjis::CompareNoCase(keys[static_cast<size_t>(x)], keys[static_cast<size_t>(y)]) < 0;
    });
    // The elements themselves move, so reals keep every digit rather than pass through text.
    ByType(a.GetValueType(), [&](auto tag) {
      using T = decltype(tag);
      std::vector<T> items;
      items.reserve(order.size());
      for (int32_t i : order) items.push_back(GetAt<T>(a, i));
      for (int32_t i = 0; i < count; ++i) SetAt(a, i, items[static_cast<size_t>(i)]);
    });
  });

  Add(funcs, "AddArray", [](TSysFuncCall& c) {
    TCustomParam& a = Whole(c, 0);
    const TCustomParam& b = Whole(c, 1);
    if (a.GetDimCount() >= 2 || b.GetDimCount() >= 2) {
      Out(c).SetAsInteger(a.GetCount());
      return;
    }
    Out(c).SetAsInteger(Splice(a, a.GetCount(), 0, &b));
  });

  Add(funcs, "InsertArray", [](TSysFuncCall& c) {
    TCustomParam& a = Whole(c, 0);
    const TCustomParam& ins = Whole(c, 2);
    if (a.GetDimCount() >= 2 || ins.GetDimCount() >= 2) {
      Out(c).SetAsInteger(a.GetCount());
      return;
    }
    int32_t at = Clamp(IntArg(c, 1), 0, a.GetCount());
    Out(c).SetAsInteger(Splice(a, at, 0, &ins));
  });

  Add(funcs, "DeleteArray", [](TSysFuncCall& c) {
    TCustomParam& a = Whole(c, 0);
    int32_t count = a.GetCount();
    if (a.GetDimCount() >= 2 || count < 1) {  // a system array may be empty
      Out(c).SetAsInteger(count);
      return;
    }
    int32_t at = Clamp(IntArg(c, 1), 0, count - 1);
    int32_t n = Clamp(IntArg(c, 2), 0, int64_t{count} - at);
    Out(c).SetAsInteger(n == 0 ? count : Splice(a, at, n, nullptr));
  });

  Add(funcs, "CopyArray", [](TSysFuncCall& c) {
    Whole(c, 0).AssignConverted(Whole(c, 1));
    Out(c).SetAsBool(true);
  });

  // ---- Numbers

  Add(funcs, "Not", [](TSysFuncCall& c) { Out(c).SetAsBool(!c.args[0]->GetAsBool()); });

  Add(funcs, "Random", [](TSysFuncCall& c) {
    int32_t bound = IntArg(c, 0);
    if (bound <= 0) return;  // leaves 0
    std::lock_guard<std::mutex> lock(g_random_mutex);
    Out(c).SetAsInteger(static_cast<int32_t>(g_random.Below(static_cast<uint32_t>(bound))));
  });

  Add(funcs, "Int", [](TSysFuncCall& c) { Out(c).SetAsInteger(conv::FloatToInt(FloatArg(c, 0))); });
  Add(funcs, "Float", [](TSysFuncCall& c) { Out(c).SetAsFloat(FloatArg(c, 0)); });
  // A result that is not a number (ArcSin(2)) raises when it is stored, as the FPU trapped.
  AddUnary(funcs, "Sin", [](long double x) { return std::sin(x); });
  AddUnary(funcs, "Cos", [](long double x) { return std::cos(x); });
  AddUnary(funcs, "Tan", [](long double x) { return std::tan(x); });
  AddUnary(funcs, "ArcSin", [](long double x) { return std::asin(x); });
  AddUnary(funcs, "ArcCos", [](long double x) { return std::acos(x); });
  AddUnary(funcs, "ArcTan", [](long double x) { return std::atan(x); });
  AddUnary(funcs, "Fabs", [](long double x) { return std::fabs(x); });
  Add(funcs, "ArcTan2",
      [](TSysFuncCall& c) { Out(c).SetAsFloat(std::atan2(FloatArg(c, 0), FloatArg(c, 1))); });
  Add(funcs, "Hypot",
      [](TSysFuncCall& c) { Out(c).SetAsFloat(std::hypot(FloatArg(c, 0), FloatArg(c, 1))); });
  Add(funcs, "Abs", [](TSysFuncCall& c) {
    int32_t a = IntArg(c, 0);
    // The most negative integer stays itself, as on the original machine.
    Out(c).SetAsInteger(a < 0 ? static_cast<int32_t>(0u - static_cast<uint32_t>(a)) : a);
  });
  Add(funcs, "Min",
      [](TSysFuncCall& c) { Out(c).SetAsInteger(std::min(IntArg(c, 0), IntArg(c, 1))); });
  Add(funcs, "Max",
      [](TSysFuncCall& c) { Out(c).SetAsInteger(std::max(IntArg(c, 0), IntArg(c, 1))); });
  Add(funcs, "Fmin",
      [](TSysFuncCall& c) { Out(c).SetAsFloat(std::min(FloatArg(c, 0), FloatArg(c, 1))); });
  Add(funcs, "Fmax",
      [](TSysFuncCall& c) { Out(c).SetAsFloat(std::max(FloatArg(c, 0), FloatArg(c, 1))); });

  // ---- Dates

  Add(funcs, "EncodeDate", [](TSysFuncCall& c) {
    auto day = date::EncodeDay(IntArg(c, 0), IntArg(c, 1), IntArg(c, 2));
    if (!day) RaiseError(msg::kDateEncodeInvalid);
    Out(c).SetAsFloat(static_cast<long double>(*day));
  });
  Add(funcs, "EncodeTime", [](TSysFuncCall& c) {
    auto time = date::EncodeDayTime(IntArg(c, 0), IntArg(c, 1), IntArg(c, 2));
    if (!time) RaiseError(msg::kTimeEncodeInvalid);
    Out(c).SetAsFloat(*time);
  });
  Add(funcs, "DecodeDate", [](TSysFuncCall& c) {
    date::TDateParts p = DateArg(c);
    Whole(c, 1).SetAsInteger(p.year);
    Whole(c, 2).SetAsInteger(p.month);
    Whole(c, 3).SetAsInteger(p.day);
  });
  Add(funcs, "DecodeTime", [](TSysFuncCall& c) {
    date::TDateParts p = DateArg(c);
    Whole(c, 1).SetAsInteger(p.hour);
    Whole(c, 2).SetAsInteger(p.minute);
    Whole(c, 3).SetAsInteger(p.second);
  });
  Add(funcs, "GetYear", [](TSysFuncCall& c) { Out(c).SetAsInteger(DateArg(c).year); });
  Add(funcs, "GetMonth", [](TSysFuncCall& c) { Out(c).SetAsInteger(DateArg(c).month); });
  Add(funcs, "GetDay", [](TSysFuncCall& c) { Out(c).SetAsInteger(DateArg(c).day); });
  Add(funcs, "GetHour", [](TSysFuncCall& c) { Out(c).SetAsInteger(DateArg(c).hour); });
  Add(funcs, "GetMin", [](TSysFuncCall& c) { Out(c).SetAsInteger(DateArg(c).minute); });
  Add(funcs, "GetSec", [](TSysFuncCall& c) { Out(c).SetAsInteger(DateArg(c).second); });
  Add(funcs, "GetWeek", [](TSysFuncCall& c) { Out(c).SetAsInteger(DateArg(c).week); });
  // A date outside the calendar has no weekday: the texts stay empty.
  Add(funcs, "GetWeekStr", [](TSysFuncCall& c) {
    int32_t w = DateArg(c).week;
    if (w >= 1) Out(c).SetAsString(kWeekNames[static_cast<size_t>(w - 1)]);
  });
  Add(funcs, "GetWeekJStr", [](TSysFuncCall& c) {
    int32_t w = DateArg(c).week;
    if (w >= 1) Out(c).SetAsString(kWeekJNames[static_cast<size_t>(w - 1)]);
  });

  // ---- The variable table

  Add(funcs, "VarExists",
      [](TSysFuncCall& c) { Out(c).SetAsBool(c.vars.FindVariable(StrArg(c, 0)) != nullptr); });
  Add(funcs, "GetVarType", [](TSysFuncCall& c) { Out(c).SetAsInteger(c.args[0]->GetValueType()); });
  Add(funcs, "AssignTemp",
      [](TSysFuncCall& c) { Out(c).SetAsBool(c.vars.AssignTemp(StrArg(c, 0))); });
  Add(funcs, "PushVar", [](TSysFuncCall& c) {
    std::vector<std::string> names;
    for (size_t i = 0; i < c.args.size(); ++i) names.push_back(StrArg(c, i));
    c.vars.PushVariables(names);
    Out(c).SetAsBool(true);
  });
  Add(funcs, "PopVar", [](TSysFuncCall& c) {
    c.vars.PopVariables();
    Out(c).SetAsBool(true);
  });
}

}  // namespace quen
