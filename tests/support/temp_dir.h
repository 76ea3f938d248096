// A private folder for one test, removed afterwards.
#pragma once

#include <fstream>
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
    std::ofstream(path_ + rel, std::ios::binary) << data;
  }
  std::string Read(const std::string& rel) const {
    std::ifstream in(path_ + rel, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

 private:
  std::string path_;
};

}  // namespace quen::testing
