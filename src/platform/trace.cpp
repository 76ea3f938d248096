#include "platform/trace.h"

#include <cstdio>

namespace quen::platform {

namespace {
std::FILE*& File() {
  static std::FILE* f = nullptr;
  return f;
}
std::vector<std::string>& History() {
  static std::vector<std::string> h;
  return h;
}
}  // namespace

bool SetTraceFile(const std::string& host_path) {
  CloseTrace();
  File() = std::fopen(host_path.c_str(), "wb");
  return File() != nullptr;
}

void CloseTrace() {
  if (File()) std::fclose(File());
  File() = nullptr;
}

void Trace(std::string_view step) {
  History().emplace_back(step);
  if (std::FILE* f = File()) {
    std::fwrite(step.data(), 1, step.size(), f);
    std::fputc('\n', f);
    // A crash in the step that follows must not lose the name.
    std::fflush(f);
  }
}

bool TraceFileOpen() {
  return File() != nullptr;
}

void TraceLine(std::string_view line) {
  if (std::FILE* f = File()) {
    std::fwrite(line.data(), 1, line.size(), f);
    std::fputc('\n', f);
  }
}

const std::vector<std::string>& TraceHistory() {
  return History();
}
void ClearTraceHistory() {
  History().clear();
}

}  // namespace quen::platform
