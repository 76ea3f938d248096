// The system functions that hand over to the desktop: OpenUrl, the file choosers and
// ExtractFile (copies of game files in a folder of the user's).
#include <algorithm>

#include "base/error.h"
#include "base/sjis.h"
#include "expr/param_collection.h"
#include "expr/sys_func_man.h"
#include "expr/sysfunc_args.h"
#include "files/file_manager.h"
#include "files/host_path.h"
#include "platform/desktop.h"
#include "platform/dialogs.h"
#include "platform/host_fs.h"
#include "platform/text_encoding.h"
#include "runtime/messages.h"
#include "runtime/project.h"
#include "runtime/sysfunc_register.h"
#include "runtime/sysfunc_support.h"

namespace quen {

namespace {

using sysarg::SetResultBool;
using sysfunc::HostToScript;
using sysfunc::MatchesMask;
using sysfunc::ScriptToHost;
using sysfunc::StartsWithNoCase;

TParamCollectionItem* VariableArg(TSysFuncCall& c, size_t i) {
  return sysarg::Variable(c, i);
}

void ChooseInto(TSysFuncCall& c, platform::IDialogs::FileDialog kind) {
  TParamCollectionItem* var = VariableArg(c, 0);
  const std::string filter = c.args.size() > 1 ? c.args[1]->GetAsString() : std::string();
  std::string chosen;
  if (!platform::Dialogs().ChooseFile(kind, filter, platform::DocumentsFolder(), chosen)) return;
  std::string text = HostToScript(chosen);
  if (kind == platform::IDialogs::FileDialog::kFolder && (text.empty() || text.back() != '\\'))
    text += '\\';
  if (var && var->Value()) var->Value()->SetAsString(text);
  SetResultBool(c, true);
}

// Copies the game's files out to a folder of the user's.
void ExtractFiles(TSysFuncCall& c, ISystemHost& host) {
  SetResultBool(c, false);
  const bool confirm = c.args.size() > 1 ? c.args[1]->GetAsBool() : true;
  std::string dest;
  if (c.args.size() > 2) {
    dest = ScriptToHost(c.args[2]->GetAsString());
  } else {
    std::string chosen;
    if (!platform::Dialogs().ChooseFile(platform::IDialogs::FileDialog::kFolder, "",
                                        platform::DocumentsFolder(), chosen))
      return;
    dest = chosen;
  }
  if (dest.empty()) return;
  dest = WithSlash(dest);
  // The folder and every missing parent.
  for (size_t i = 1; i <= dest.size(); ++i)
    if (i == dest.size() || dest[i] == '/') platform::MakeDirectory(dest.substr(0, i));
  if (!platform::IsDirectory(dest)) return;

  const TCustomParam& a = *c.args[0];
  const int32_t elements = std::max<int32_t>(a.GetCount(), 1);
  const bool batch = elements >= 2;
  const std::string caption = host.Project() ? host.Project()->Title : std::string();
  bool yes_to_all = false, no_to_all = false;
  for (int32_t e = 0; e < elements; ++e) {
    const std::string pattern = a.GetStrAt(e);
    if (pattern.empty()) continue;
    std::vector<std::string> files;
    if (pattern.find_first_of("*?") == std::string::npos) {
      files.push_back(pattern);
    } else {
      const std::string folder = GameFolderPart(pattern);
      const std::string mask = GameFileNamePart(pattern);
      std::vector<std::string> listed;
      FileManager().ListFolder(folder, listed);
      for (const std::string& name : listed)
        if (MatchesMask(GameFileNamePart(name), mask))
          files.push_back(folder + GameFileNamePart(name));
    }
    for (const std::string& file : files) {
      if (!FileManager().FileExists(file)) continue;
      const std::string target = dest + ScriptToHost(GameFileNamePart(file));
      if (confirm && platform::PathExists(target) && !yes_to_all) {
        if (no_to_all) continue;
        const std::string question = Format(msg::kOverwriteQuestion, HostToScript(target).c_str());
        const platform::MsgAnswer answer = platform::Dialogs().MessageBox(
            caption, question, platform::MsgIcon::kQuestion,
            batch ? platform::MsgButtons::kYesNoAll : platform::MsgButtons::kYesNo);
        if (answer == platform::MsgAnswer::kNo) continue;
        if (answer == platform::MsgAnswer::kNoToAll) {
          no_to_all = true;
          continue;
        }
        if (answer == platform::MsgAnswer::kCancel) break;
        if (answer == platform::MsgAnswer::kYesToAll) yes_to_all = true;
      }
      TKvMemoryStream content;
      FileManager().LoadFile(content, file);
      if (platform::WriteFileAtomically(target, content.Data())) SetResultBool(c, true);
    }
  }
}

}  // namespace

void RegisterDesktopFunctions(TSysFuncMan& funcs, ISystemHost& host) {
  ISystemHost* h = &host;
  funcs.Register("OpenUrl", [h](TSysFuncCall& c) {
    const std::string url = c.args[0]->GetAsString();
    std::string host_path;
    if (StartsWithNoCase(url, "http") || StartsWithNoCase(url, "ftp") ||
        (!url.empty() && platform::TryCp932ToUtf8(url, host_path) &&
         platform::IsDirectory(host_path)))
      h->OpenUrl(url);
  });

  funcs.Register("SelectOpenFile",
                 [](TSysFuncCall& c) { ChooseInto(c, platform::IDialogs::FileDialog::kOpen); });
  funcs.Register("SelectSaveFile",
                 [](TSysFuncCall& c) { ChooseInto(c, platform::IDialogs::FileDialog::kSave); });
  funcs.Register("SelectDirectory",
                 [](TSysFuncCall& c) { ChooseInto(c, platform::IDialogs::FileDialog::kFolder); });
  funcs.Register("ExtractFile", [h](TSysFuncCall& c) { ExtractFiles(c, *h); });
}

}  // namespace quen
