// quentool: the authoring and inspection tool. One verb per format.
#include <algorithm>
#include <cstdio>
#include <exception>

#include "base/error.h"
#include "platform/host_fs.h"
#include "platform/text_encoding.h"
#include "quentool/verb.h"

namespace quentool {

std::vector<Verb>& Verbs() {
  static std::vector<Verb> verbs;
  return verbs;
}

bool TakeOption(Args& args, const std::string& name, std::string& value) {
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] != name) continue;
    if (i + 1 >= args.size()) throw UsageError{name + " needs a value"};
    value = args[i + 1];
    args.erase(args.begin() + static_cast<long>(i), args.begin() + static_cast<long>(i) + 2);
    return true;
  }
  return false;
}

std::string ReadInputFile(const std::string& path) {
  std::string bytes;
  if (!quen::platform::ReadWholeFile(path, bytes, int64_t{1} << 30))
    throw UsageError{"cannot read " + path};
  return bytes;
}

void WriteOutputFile(const std::string& path, const std::string& bytes) {
  if (!quen::platform::WriteFileAtomically(path, bytes)) throw UsageError{"cannot write " + path};
}

bool TakeFlag(Args& args, const std::string& name) {
  auto it = std::find(args.begin(), args.end(), name);
  if (it == args.end()) return false;
  args.erase(it);
  return true;
}

}  // namespace quentool

namespace {

void PrintHelp() {
  auto verbs = quentool::Verbs();
  std::sort(verbs.begin(), verbs.end(), [](auto& a, auto& b) { return a.name < b.name; });
  std::fprintf(stderr, "usage: quentool VERB ARGS...\n\nverbs:\n");
  for (const auto& v : verbs) std::fprintf(stderr, "  %s\n", v.usage.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || std::string(argv[1]) == "--help" || std::string(argv[1]) == "help") {
    PrintHelp();
    return argc < 2 ? 2 : 0;
  }
  std::string name = argv[1];
  quentool::Args args(argv + 2, argv + argc);
  for (const auto& v : quentool::Verbs()) {
    if (v.name != name) continue;
    try {
      return v.run(args);
    } catch (const quentool::UsageError& e) {
      std::fprintf(stderr, "quentool %s: %s\nusage: %s\n", name.c_str(), e.message.c_str(),
                   v.usage.c_str());
      return 2;
    } catch (const quen::EQuenError& e) {
      std::fprintf(stderr, "quentool %s: %s\n", name.c_str(),
                   quen::platform::Cp932ToUtf8(e.Message()).c_str());
      return 1;
    } catch (const std::exception& e) {
      std::fprintf(stderr, "quentool %s: %s\n", name.c_str(), e.what());
      return 1;
    }
  }
  std::fprintf(stderr, "quentool: unknown verb \"%s\"\n", name.c_str());
  PrintHelp();
  return 2;
}
