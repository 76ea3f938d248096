#include "runtime/interp_host.h"

#include "expr/param_collection.h"
#include "platform/text_encoding.h"
#include "runtime/project.h"

namespace quen {

std::unique_ptr<TCallMan> NewProjectCallMan(TProject& project, TParamCollection& vars,
                                            const TSysFuncMan& funcs, TQuenBaseList& registry,
                                            std::function<void()> request_close) {
  auto cm = std::make_unique<TCallMan>(vars, funcs, registry);
  cm->page_available = [&project](const std::string& name) {
    return project.EnsureFileAvailable(name);
  };
  cm->request_close = std::move(request_close);
  return cm;
}

namespace {

std::string Utf8(const std::string& sjis) {
  std::string out;
  return platform::TryCp932ToUtf8(sjis, out) ? out : sjis;
}

}  // namespace

std::string DumpVariables(const TParamCollection& vars) {
  std::string out;
  for (int i = 0; i < vars.Count(); ++i) {
    const TParamCollectionItem* r = vars.Item(i);
    if (!r || r->IsSystem() || !r->Value()) continue;
    const TCustomParam& v = *r->Value();
    uint8_t type = v.GetValueType();
    const std::string label = ValueTypeLabel(type);
    out += Utf8(r->Name()) + "\t" + (label.empty() ? std::string("none") : Utf8(label));
    const std::vector<int32_t>& dims = v.GetDims();
    if (!dims.empty()) {
      out += "[";
      for (size_t k = 0; k < dims.size(); ++k) out += (k ? "," : "") + std::to_string(dims[k]);
      out += "]";
      for (int32_t k = 0; k < v.GetCount(); ++k) out += "\t" + Utf8(v.GetStrAt(k));
    } else {
      out += "\t" + Utf8(v.GetAsString());
    }
    out += "\n";
  }
  return out;
}

}  // namespace quen
