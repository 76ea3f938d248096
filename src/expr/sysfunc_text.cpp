// The text functions. Texts are Shift-JIS bytes: the plain functions count bytes, the "J" ones
// characters; positions are 1-based. Every scan walks characters, so a trail byte that looks
// like '\\', '.' or a letter is never taken for one.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "base/sjis.h"
#include "expr/hanzen.h"
#include "expr/param_collection.h"
#include "expr/param_convert.h"
#include "expr/sysfunc_args.h"
#include "expr/sysfunc_register.h"

namespace quen {

namespace {

// A digit count is a script's number: anything beyond this is a mistake, not a format.
constexpr int32_t kMaxDigits = 255;
// StringOfChar stops here so that a script cannot exhaust memory with one call.
constexpr size_t kMaxRepeatBytes = size_t{16} << 20;

constexpr size_t npos = std::string_view::npos;

using sysarg::Has;
using sysarg::Int;
using sysarg::Result;
using sysarg::Str;

// Text measured in bytes or in characters. Offset maps a 0-based unit index (clamped) to a byte
// offset, so every range below stays inside the text whatever the script passes.
template <bool kChars>
struct TUnits {
  static int64_t Count(std::string_view s) {
    return static_cast<int64_t>(kChars ? sjis::CharCount(s) : s.size());
  }
  static size_t Offset(std::string_view s, int64_t index) {
    if (index <= 0) return 0;
    if (static_cast<uint64_t>(index) >= s.size()) return s.size();
    return kChars ? sjis::ByteOffsetOfChar(s, static_cast<size_t>(index))
                  : static_cast<size_t>(index);
  }
};

// Copy: a position below 1 counts from the start; a negative count takes nothing.
template <bool kChars>
std::string CopyText(std::string_view s, int32_t pos, const int32_t* count) {
  using U = TUnits<kChars>;
  int64_t first = std::max<int64_t>(pos, 1) - 1;
  size_t from = U::Offset(s, first);
  size_t to = count ? U::Offset(s, first + std::max<int32_t>(*count, 0)) : s.size();
  return std::string(s.substr(from, to - from));
}

// Delete: nothing happens for a position outside the text or a count below 1.
template <bool kChars>
std::string DeleteText(std::string s, int32_t pos, const int32_t* count) {
  using U = TUnits<kChars>;
  if (pos < 1 || pos > U::Count(s) || (count && *count < 1)) return s;
  size_t from = U::Offset(s, pos - 1);
  size_t to = count ? U::Offset(s, int64_t{pos} - 1 + *count) : s.size();
  s.erase(from, to - from);
  return s;
}

// Insert: the position is clamped to the text, so a far position appends.
template <bool kChars>
std::string InsertText(std::string_view what, std::string s, int32_t pos) {
  using U = TUnits<kChars>;
  s.insert(U::Offset(s, int64_t{pos} - 1), what);
  return s;
}

// True when the bytes [i, i + n) of s hold whole characters (i being a character start).
bool EndsOnCharBoundary(std::string_view s, size_t i, size_t n) {
  size_t j = i;
  while (j < i + n) j += sjis::CharLen(s, j);
  return j == i + n;
}

// Byte offset of the first occurrence of what in s at or after from (a character start) that
// covers whole characters, or npos. An empty what is never found.
size_t FindWhole(std::string_view s, std::string_view what, size_t from = 0) {
  if (what.empty()) return npos;
  for (size_t i = from; i < s.size() && s.size() - i >= what.size(); i += sjis::CharLen(s, i))
    if (s.compare(i, what.size(), what) == 0 && EndsOnCharBoundary(s, i, what.size())) return i;
  return npos;
}

// Offset of the last single-byte character that is one of delims, or npos.
size_t LastDelimiter(std::string_view s, std::string_view delims) {
  size_t found = npos;
  sjis::ForEachChar(s, [&](size_t i, size_t n) {
    if (n == 1 && delims.find(s[i]) != npos) found = i;
  });
  return found;
}

// The byte at 1-based position pos is a whole single-byte character and one of the single-byte
// characters of delims (trail bytes on either side never count).
bool IsDelimiterAt(std::string_view delims, std::string_view s, int32_t pos) {
  if (pos < 1 || static_cast<size_t>(pos) > s.size()) return false;
  size_t i = static_cast<size_t>(pos) - 1;
  auto b = static_cast<unsigned char>(s[i]);
  if (sjis::IsLeadByte(b) || !sjis::IsCharStart(s, i)) return false;
  bool found = false;
  sjis::ForEachChar(delims, [&](size_t k, size_t) {
    if (static_cast<unsigned char>(delims[k]) == b) found = true;
  });
  return found;
}

size_t ExtStart(std::string_view s) {
  size_t i = LastDelimiter(s, ".\\:");
  return i != npos && s[i] == '.' ? i : s.size();
}

std::string IntToStrDigits(int32_t v, int32_t digits) {
  std::string text = conv::IntToText(v);
  size_t sign = text[0] == '-' ? 1 : 0;
  auto want = static_cast<size_t>(std::clamp(digits, 0, kMaxDigits));
  if (text.size() - sign < want) text.insert(sign, want - (text.size() - sign), '0');
  return text;
}

std::string IntToHex(int32_t v, int32_t digits) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%X", static_cast<unsigned>(static_cast<uint32_t>(v)));
  std::string text = buf;
  auto want = static_cast<size_t>(std::clamp(digits, 0, kMaxDigits));
  if (text.size() < want) text.insert(0, want - text.size(), '0');
  return text;
}

std::string JTrim(std::string_view s) {
  auto is_space = [&](size_t i, size_t n) {
    return (n == 1 && s[i] == ' ') || (n == 2 && s[i] == '\x81' && s[i + 1] == '\x40');
  };
  size_t first = s.size();
  size_t end = 0;
  sjis::ForEachChar(s, [&](size_t i, size_t n) {
    if (is_space(i, n)) return;
    if (first == s.size()) first = i;
    end = i + n;
  });
  return first < end ? std::string(s.substr(first, end - first)) : std::string();
}

std::string Trim(std::string_view s) {
  // Bytes up to the space are never trail bytes, so the ends can be cut byte by byte.
  size_t first = 0;
  size_t end = s.size();
  while (first < end && static_cast<unsigned char>(s[first]) <= ' ') ++first;
  while (end > first && static_cast<unsigned char>(s[end - 1]) <= ' ') --end;
  return std::string(s.substr(first, end - first));
}

std::string FixStr(std::string_view s) {
  size_t last = npos;
  sjis::ForEachChar(s, [&](size_t i, size_t) { last = i; });
  if (last != npos && last + 1 == s.size() && sjis::IsLeadByte(static_cast<unsigned char>(s[last])))
    s.remove_suffix(1);
  return std::string(s);
}

std::string StringOfChar(std::string_view s, int32_t count) {
  if (count <= 0 || s.empty()) return {};
  // One copy is always allowed: the text already exists.
  size_t n = std::min(static_cast<size_t>(count), std::max<size_t>(1, kMaxRepeatBytes / s.size()));
  std::string out;
  out.reserve(n * s.size());
  for (size_t k = 0; k < n; ++k) out.append(s);
  return out;
}

std::string StringReplace(const std::string& s, const std::string& from, std::string_view to,
                          bool all, bool ignore_case) {
  // Case folding keeps every byte offset and character boundary, so positions found in the
  // folded copies are positions in the originals.
  std::string hay = ignore_case ? sjis::LowerAscii(s) : s;
  std::string needle = ignore_case ? sjis::LowerAscii(from) : from;
  std::string out;
  size_t done = 0;
  for (size_t at = FindWhole(hay, needle); at != npos;) {
    out.append(s, done, at - done);
    out.append(to);
    done = at + needle.size();
    at = all ? FindWhole(hay, needle, done) : npos;
  }
  out.append(s, done);
  return out;
}

int32_t CompareBytes(std::string_view a, std::string_view b) {
  int r = a.compare(b);  // bytes as unsigned values, a shorter prefix first
  return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

// Delete and Insert write into the argument: the named variable, or for a constant the call's
// throw-away copy. Their own result stays empty.
template <bool kChars>
void RegisterRangeFunctions(TSysFuncMan& funcs, const char* copy, const char* del,
                            const char* insert) {
  funcs.Register(copy, [](TSysFuncCall& c) {
    int32_t count = Has(c, 2) ? Int(c, 2) : 0;
    Result(c).SetAsString(CopyText<kChars>(Str(c, 0), Int(c, 1), Has(c, 2) ? &count : nullptr));
  });
  funcs.Register(del, [](TSysFuncCall& c) {
    int32_t count = Has(c, 2) ? Int(c, 2) : 0;
    c.args[0]->SetAsString(DeleteText<kChars>(Str(c, 0), Int(c, 1), Has(c, 2) ? &count : nullptr));
  });
  funcs.Register(insert, [](TSysFuncCall& c) {
    c.args[1]->SetAsString(InsertText<kChars>(Str(c, 0), Str(c, 1), Int(c, 2)));
  });
}

}  // namespace

void RegisterTextFunctions(TSysFuncMan& funcs) {
  funcs.Register("IntToStr", [](TSysFuncCall& c) {
    Result(c).SetAsString(Has(c, 1) ? IntToStrDigits(Int(c, 0), Int(c, 1))
                                    : conv::IntToText(Int(c, 0)));
  });
  funcs.Register("IntToHex",
                 [](TSysFuncCall& c) { Result(c).SetAsString(IntToHex(Int(c, 0), Int(c, 1))); });
  funcs.Register("Length", [](TSysFuncCall& c) {
    Result(c).SetAsInteger(static_cast<int32_t>(TUnits<false>::Count(Str(c, 0))));
  });
  funcs.Register("JLength", [](TSysFuncCall& c) {
    Result(c).SetAsInteger(static_cast<int32_t>(TUnits<true>::Count(Str(c, 0))));
  });
  RegisterRangeFunctions<false>(funcs, "Copy", "Delete", "Insert");
  RegisterRangeFunctions<true>(funcs, "JCopy", "JDelete", "JInsert");
  funcs.Register("CompareStr", [](TSysFuncCall& c) {
    Result(c).SetAsInteger(CompareBytes(Str(c, 0), Str(c, 1)));
  });
  funcs.Register("CompareText", [](TSysFuncCall& c) {
    Result(c).SetAsInteger(sjis::CompareNoCase(Str(c, 0), Str(c, 1)));
  });
  funcs.Register("Pos", [](TSysFuncCall& c) {
    std::string what = Str(c, 0);
    size_t at = what.empty() ? npos : Str(c, 1).find(what);
    Result(c).SetAsInteger(at == npos ? 0 : static_cast<int32_t>(at + 1));
  });
  funcs.Register("JPos", [](TSysFuncCall& c) {
    std::string s = Str(c, 1);
    size_t at = FindWhole(s, Str(c, 0));
    Result(c).SetAsInteger(
        at == npos ? 0
                   : static_cast<int32_t>(sjis::CharCount(std::string_view(s).substr(0, at)) + 1));
  });
  funcs.Register("Trim", [](TSysFuncCall& c) { Result(c).SetAsString(Trim(Str(c, 0))); });
  funcs.Register("JTrim", [](TSysFuncCall& c) { Result(c).SetAsString(JTrim(Str(c, 0))); });
  funcs.Register("FixStr", [](TSysFuncCall& c) { Result(c).SetAsString(FixStr(Str(c, 0))); });
  funcs.Register("LowerCase",
                 [](TSysFuncCall& c) { Result(c).SetAsString(sjis::LowerAscii(Str(c, 0))); });
  funcs.Register("UpperCase",
                 [](TSysFuncCall& c) { Result(c).SetAsString(sjis::UpperAscii(Str(c, 0))); });
  funcs.Register("ExtractFilePath", [](TSysFuncCall& c) {
    std::string s = Str(c, 0);
    size_t i = LastDelimiter(s, "\\:");
    Result(c).SetAsString(i == npos ? std::string() : s.substr(0, i + 1));
  });
  funcs.Register("ExtractFileName", [](TSysFuncCall& c) {
    std::string s = Str(c, 0);
    size_t i = LastDelimiter(s, "\\:");
    Result(c).SetAsString(i == npos ? s : s.substr(i + 1));
  });
  funcs.Register("ExtractFileExt", [](TSysFuncCall& c) {
    std::string s = Str(c, 0);
    Result(c).SetAsString(s.substr(ExtStart(s)));
  });
  funcs.Register("IsPathDelimiter", [](TSysFuncCall& c) {
    Result(c).SetAsBool(IsDelimiterAt("\\", Str(c, 0), Int(c, 1)));
  });
  funcs.Register("AddBackSlash", [](TSysFuncCall& c) {
    std::string s = Str(c, 0);
    // A trail byte 0x5C at the end ("\x95\x5C") is not a separator.
    if (s.empty() || s.back() != '\\' || !sjis::IsCharStart(s, s.size() - 1)) s += '\\';
    Result(c).SetAsString(s);
  });
  funcs.Register("ChangeFileExt", [](TSysFuncCall& c) {
    std::string s = Str(c, 0);
    Result(c).SetAsString(s.substr(0, ExtStart(s)) + Str(c, 1));
  });
  funcs.Register("IsDelimiter", [](TSysFuncCall& c) {
    Result(c).SetAsBool(IsDelimiterAt(Str(c, 0), Str(c, 1), Int(c, 2)));
  });
  funcs.Register("StringOfChar", [](TSysFuncCall& c) {
    Result(c).SetAsString(StringOfChar(Str(c, 0), Int(c, 1)));
  });
  funcs.Register("StringReplace", [](TSysFuncCall& c) {
    bool all = Has(c, 3) && c.args[3]->GetAsBool();
    bool ignore_case = Has(c, 4) && c.args[4]->GetAsBool();
    Result(c).SetAsString(StringReplace(Str(c, 0), Str(c, 1), Str(c, 2), all, ignore_case));
  });
  funcs.Register("HanToZen", [](TSysFuncCall& c) { Result(c).SetAsString(HanToZen(Str(c, 0))); });
  funcs.Register("ZenToHan", [](TSysFuncCall& c) { Result(c).SetAsString(ZenToHan(Str(c, 0))); });
  // a is the delimiter, b the text being built: the delimiter follows only a non-empty text.
  funcs.Register("AddDelimiter", [](TSysFuncCall& c) {
    std::string text = Str(c, 1);
    Result(c).SetAsString(text.empty() ? text : text + Str(c, 0));
  });
  funcs.Register("StrToIntDef", [](TSysFuncCall& c) {
    auto v = conv::ParseInt(Str(c, 0));
    Result(c).SetAsInteger(v ? *v : Int(c, 1));
  });
  funcs.Register("StrToFloatDef", [](TSysFuncCall& c) {
    auto v = conv::ParseFloat(Str(c, 0));
    Result(c).SetAsFloat(v ? *v : c.args[1]->GetAsFloat());
  });
  funcs.Register("Chr", [](TSysFuncCall& c) {
    Result(c).SetAsString(std::string(1, static_cast<char>(Int(c, 0) & 0xFF)));
  });
  funcs.Register("Ord", [](TSysFuncCall& c) {
    std::string s = Str(c, 0);
    Result(c).SetAsInteger(s.empty() ? 0 : static_cast<unsigned char>(s[0]));
  });
}

}  // namespace quen
