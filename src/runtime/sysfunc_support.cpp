#include "runtime/sysfunc_support.h"

#include "base/sjis.h"
#include "components/quen_base_list.h"
#include "expr/custom_param.h"
#include "platform/text_encoding.h"
#include "runtime/sysfunc_host.h"

namespace quen::sysfunc {

TQuenObject* Component(ISystemHost& host, const TCustomParam* name) {
  TQuenBaseList* r = host.Registry();
  if (!r || !name) return nullptr;
  const std::string n = name->GetAsString();
  return n.empty() ? nullptr : r->FindComponent(n);
}

void StoreList(TCustomParam& v, const std::vector<std::string>& items) {
  if (items.empty()) {
    v.MakeScalar();
    v.SetAsString("");
    return;
  }
  v.SetDims({static_cast<int32_t>(items.size())});
  for (size_t i = 0; i < items.size(); ++i) v.SetStrAt(static_cast<int32_t>(i), items[i]);
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::string cur;
  bool any = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char ch = text[i];
    if (ch == '\r' || ch == '\n') {
      lines.push_back(cur);
      cur.clear();
      any = false;
      if (ch == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      cur += ch;
      any = true;
    }
  }
  if (any) lines.push_back(cur);
  return lines;
}

std::string HostToScript(const std::string& utf8) {
  std::string sjis;
  if (!platform::TryUtf8ToCp932(utf8, sjis)) return {};
  for (char& ch : sjis)
    if (ch == '/') ch = '\\';
  return sjis;
}

std::string ScriptToHost(const std::string& sjis) {
  std::string utf8;
  if (!platform::TryCp932ToUtf8(sjis, utf8)) return {};
  for (char& ch : utf8)
    if (ch == '\\') ch = '/';
  return utf8;
}

bool MatchesMask(std::string_view name, std::string_view mask) {
  if (mask.empty()) return name.empty();
  if (mask[0] == '*') {
    for (size_t i = 0;; i += sjis::CharLen(name, i)) {
      if (MatchesMask(name.substr(i), mask.substr(1))) return true;
      if (i >= name.size()) return false;
    }
  }
  if (name.empty()) return false;
  const size_t n = sjis::CharLen(name, 0);
  const size_t m = sjis::CharLen(mask, 0);
  if (!(mask[0] == '?' || sjis::EqualsNoCase(name.substr(0, n), mask.substr(0, m)))) return false;
  return MatchesMask(name.substr(n), mask.substr(mask[0] == '?' ? 1 : m));
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && sjis::EqualsNoCase(s.substr(0, prefix.size()), prefix);
}

}  // namespace quen::sysfunc
