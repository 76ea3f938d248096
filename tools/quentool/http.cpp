// quentool http: one request component run to its completion, as a game would see it.
#include <cstdio>
#include <string>

#include "components/quen_base_list.h"
#include "components/quen_http.h"
#include "quentool/verb.h"

namespace {

int Http(const quentool::Args& in) {
  quentool::Args args = in;
  if (args.size() != 1) throw quentool::UsageError{"one URL is needed"};
  quen::TQuenBaseList registry;
  quen::TQuenHttp::SetWaitForCompletion(true);
  auto* request = static_cast<quen::TQuenHttp*>(registry.CreateComponent(quen::LT_HTTP));
  request->SetName("request");
  request->WriteProp(quen::PR_ONPLAYEND, quen::TPropValue::OfStr("done"));
  request->WriteProp(quen::PR_SOURCE, quen::TPropValue::OfStr(args[0]));
  // The completion comes in the first update pass after the transfer ended.
  while (registry.Events().Count() == 0) registry.UpdateAll(16);
  const std::string text = request->PropStr(quen::PR_TEXT);
  static const char kHex[] = "0123456789ABCDEF";
  std::string hex;
  for (unsigned char c : text) {
    if (!hex.empty()) hex += ' ';
    hex += kHex[c >> 4];
    hex += kHex[c & 15];
  }
  std::printf("%s\n", hex.c_str());
  return 0;
}

}  // namespace

QUENTOOL_VERB("http", "http URL   fetch URL as a request component and print PR_TEXT in hex", Http);
