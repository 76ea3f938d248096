// quenplay: the player. All of its logic lives in the libraries; this only hands over the
// command line.
#include <cstdio>
#include <string>
#include <vector>

#include "files/file_manager.h"
#include "imaging/brix_hooks.h"
#include "shell/program_entry.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
    std::fputs(quen::UsageText().c_str(), stdout);
    return quen::kExitNormal;
  }
  quen::TProgramOptions options;
  std::string error;
  if (!quen::ParseCommandLine(args, options, error)) {
    std::fprintf(stderr, "quenplay: %s\n%s", error.c_str(), quen::UsageText().c_str());
    return quen::kExitUsage;
  }
  quen::InstallBrixHooks();
  quen::TRealProgramSystem system;
  int status = quen::RunProgram(options, system);
  // The file manager goes last: its temporary files are deleted with it.
  quen::SetFileManager(nullptr);
  return status;
}
