#include "platform/process.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

namespace quen::platform {

bool RunAndWait(std::vector<std::string> args) {
  if (args.empty()) return false;
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), ::environ) != 0) return false;
  int status = 0;
  if (waitpid(pid, &status, 0) != pid) return false;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace quen::platform
