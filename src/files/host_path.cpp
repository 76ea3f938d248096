#include "files/host_path.h"

#include "base/sjis.h"
#include "platform/host_fs.h"
#include "platform/text_encoding.h"

namespace quen {

std::vector<std::string> SplitGameName(const std::string& name) {
  std::vector<std::string> parts;
  std::string cur;
  sjis::ForEachChar(name, [&](size_t i, size_t n) {
    if (n == 1 && (name[i] == '\\' || name[i] == '/')) {
      if (!cur.empty()) parts.push_back(cur);
      cur.clear();
    } else {
      cur.append(name, i, n);
    }
  });
  if (!cur.empty()) parts.push_back(cur);
  return parts;
}

namespace {
size_t LastSeparator(const std::string& name) {
  size_t a = sjis::FindLastChar(name, '\\');
  size_t b = sjis::FindLastChar(name, '/');
  if (a == std::string::npos) return b;
  if (b == std::string::npos) return a;
  return std::max(a, b);
}

bool EqualsAsciiNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]);
    unsigned char y = static_cast<unsigned char>(b[i]);
    if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x + 32);
    if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y + 32);
    if (x != y) return false;
  }
  return true;
}
}  // namespace

std::string GameFolderPart(const std::string& name) {
  size_t p = LastSeparator(name);
  return p == std::string::npos ? std::string() : name.substr(0, p + 1);
}

std::string GameFileNamePart(const std::string& name) {
  size_t p = LastSeparator(name);
  return p == std::string::npos ? name : name.substr(p + 1);
}

std::string GameExtension(const std::string& name) {
  std::string file = GameFileNamePart(name);
  size_t dot = sjis::FindLastChar(file, '.');
  return dot == std::string::npos ? std::string() : file.substr(dot);
}

std::string WithSlash(const std::string& host_folder) {
  if (host_folder.empty() || host_folder.back() == '/') return host_folder;
  return host_folder + "/";
}

std::string ResolveGamePath(const std::string& root, const std::string& name, bool want_dir) {
  if (root.empty() || name.empty()) return {};
  std::string path = WithSlash(root);
  std::vector<std::string> parts = SplitGameName(name);
  if (parts.empty()) return {};
  for (size_t k = 0; k < parts.size(); ++k) {
    const std::string& part = parts[k];
    if (part == "." || part == "..") return {};
    std::string host = platform::Cp932ToUtf8(part);
    std::string candidate = path + host;
    bool last = k + 1 == parts.size();
    auto fits = [&](const std::string& p) {
      return last ? (want_dir ? platform::IsDirectory(p) : platform::IsRegularFile(p))
                  : platform::IsDirectory(p);
    };
    if (!fits(candidate)) {
      candidate.clear();
      for (const auto& e : platform::ListDirectory(path)) {
        if (EqualsAsciiNoCase(e.name, host) && fits(path + e.name)) {
          candidate = path + e.name;
          break;
        }
      }
      if (candidate.empty()) return {};
    }
    path = last ? candidate : candidate + "/";
  }
  return path;
}

std::string HostRelativeToGameName(const std::string& relative) {
  std::string s = platform::Utf8ToCp932(relative);
  std::string out;
  sjis::ForEachChar(s, [&](size_t i, size_t n) {
    if (n == 1 && s[i] == '/')
      out.push_back('\\');
    else
      out.append(s, i, n);
  });
  return out;
}

}  // namespace quen
