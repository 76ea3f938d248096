// A private folder for one test, removed afterwards.
#pragma once

#include <string>

#include "platform/host_fs.h"

namespace quen::testing {

class TempDir {
 public:
  TempDir() : path_(platform::MakePrivateTempDir("qptest-") + "/") {}
  ~TempDir() { platform::RemoveTree(path_); }
  const std::string& Path() const { return path_; }
  std::string operator/(const std::string& rel) const { return path_ + rel; }
  void Write(const std::string& rel, const std::string& data) const {
    platform::WriteFileAtomically(path_ + rel, data);
  }
  // The file's bytes, or "" when it cannot be read.
  std::string Read(const std::string& rel) const {
    std::string data;
    return platform::ReadWholeFile(path_ + rel, data) ? data : std::string();
  }

 private:
  std::string path_;
};

}  // namespace quen::testing
